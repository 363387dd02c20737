// hex: the GVCP bytes a suite needs, built by the same wire code the daemon and the probe use.
#include <cstring>
#include <iostream>

#include "base/hex_bytes.h"
#include "base/ipv4_address.h"
#include "base/mac_text.h"
#include "gvcp/discovery_ack.h"
#include "gvcp/pc_requests.h"
#include "tests/tools/peer.h"

namespace udp_peer {

using namespace QEL_Finder;

namespace {

template <std::size_t N>
Bytes bytesOf(std::array<std::uint8_t, N> const& array) {
    return Bytes(array.begin(), array.end());
}

// MAC ADDRESS MASK GATEWAY; none when any is malformed.
std::optional<ForceIpPayload> configurationOf(std::span<std::string_view const> words) {
    auto const mac = parseMac(words[0]);
    auto const address = parseIpv4(words[1]);
    auto const mask = parseIpv4(words[2]);
    auto const gateway = parseIpv4(words[3]);
    if (!mac || !address || !mask || !gateway) {
        return std::nullopt;
    }
    return ForceIpPayload{*mac, *address, *mask, *gateway};
}

// The record a device with this configuration, mode and identity sends.
Bytes recordOf(ForceIpPayload const& configuration, bool dhcp, std::string const& model,
               std::string const& serial) {
    DiscoveryAck ack{};
    fillDiscoveryAck(ack, configuration.mac, dhcp, model, serial);
    ack.currentIp = configuration.address;
    ack.currentSubnetMask = configuration.netmask;
    ack.defaultGateway = configuration.gateway;
    Bytes bytes(sizeof ack);
    std::memcpy(bytes.data(), &ack, sizeof ack);
    return bytes;
}

}  // namespace

int runHex(Args args) {
    bool broadcastAck = false;
    std::vector<std::string_view> words;
    for (std::string_view const arg : args) {
        broadcastAck |= arg == "--broadcast-ack";
        if (arg != "--broadcast-ack") {
            words.push_back(arg);
        }
    }
    std::string_view const what = words.empty() ? "" : words[0];
    std::optional<ReqId> const reqId = words.size() > 1 ? parseReqId(words[1]) : std::nullopt;
    bool const hasReqId = reqId.has_value();
    ReqId const id = reqId.value_or(ReqId{});
    std::optional<ForceIpPayload> configuration;
    std::optional<Bytes> bytes;
    if (what == "discovery" && words.size() == 2 && hasReqId) {
        bytes = bytesOf(buildDiscoveryCmd(id, broadcastAck));
    } else if (what == "force-ip" && words.size() == 6 && hasReqId &&
               (configuration = configurationOf(std::span(words).subspan(2)))) {
        bytes = bytesOf(buildForceIpCmd(id, broadcastAck, *configuration));
    } else if (what == "record" && words.size() == 8 && !broadcastAck &&
               (words[5] == "static" || words[5] == "dhcp") &&
               (configuration = configurationOf(std::span(words).subspan(1)))) {
        bytes = recordOf(*configuration, words[5] == "dhcp", std::string(words[6]),
                         std::string(words[7]));
    }
    if (!bytes) {
        return usageError("bad arguments for hex");
    }
    std::cout << toHex(*bytes) << std::endl;
    return 0;
}

}  // namespace udp_peer
