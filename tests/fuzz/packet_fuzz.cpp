// Arbitrary datagrams, as the responder keeps them, into the handler of device
// eth0 (192.168.1.10/24, MAC 00:1A:2B:3C:4D:5E). Input: sender address (4 bytes) and port (2),
// then the datagram. The network configuration is the tests' fake, so nothing is run and no file
// is touched.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "base/process_state.h"
#include "gvcp/byte_order.h"
#include "gvcp/force_ip_payload.h"
#include "gvcp/gvcp_header.h"
#include "gvcp/packet_handler.h"
#include "net/recording_socket_manager.h"
#include "netconfig/config_checks.h"
#include "netconfig/fake_interface_control.h"

namespace {

using namespace QEL_Finder;

constexpr std::array<std::uint8_t, 6> kDeviceMac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
constexpr std::size_t kSenderBytes = 6;
// The record's fields a datagram may change: current IP configuration, address, mask, gateway.
constexpr std::array<std::size_t, 4> kMutableFields{20, 36, 52, 68};

void check(bool holds, char const* what) {
    if (!holds) {
        std::fprintf(stderr, "packet_fuzz: %s\n", what);
        __builtin_trap();
    }
}

// The decoder's contract: a refusal for anything shorter than a whole payload, the MAC once it is
// all there, and fields that build back into the bytes they came from.
void checkDecoded(std::span<std::uint8_t const> bytes, DecodedForceIpPayload const& decoded) {
    // Index in DecodedForceIpPayload; the MAC ends at byte 8.
    std::size_t const kind = bytes.empty()                        ? 1
                             : bytes.size() < 8                   ? 2
                             : bytes.size() < kForceIpPayloadSize ? 3
                                                                  : 0;
    check(decoded.index() == kind, "force-IP payload decoded as the wrong kind for its size");
    std::array<std::uint8_t, 6> mac{};
    if (auto const* cut = std::get_if<ForceIpConfigurationCutOff>(&decoded)) {
        mac = cut->mac;
    }
    auto const* whole = std::get_if<ForceIpPayload>(&decoded);
    if (whole != nullptr) {
        mac = whole->mac;
        auto const built = buildForceIpPayload(*whole);
        for (std::size_t i = 0; i < built.size(); ++i) {
            check(built[i] == 0 || built[i] == bytes[i], "force-IP payload does not build back");
        }
        auto const again = decodeForceIpPayload(built);
        auto const* same = std::get_if<ForceIpPayload>(&again);
        check(same != nullptr && same->mac == whole->mac && same->address == whole->address &&
                  same->netmask == whole->netmask && same->gateway == whole->gateway,
              "a built force-IP payload decodes differently");
    }
    if (kind == 0 || kind == 3) {
        check(std::equal(mac.begin(), mac.end(), bytes.begin() + 2),
              "force-IP MAC not the payload's bytes 2 to 7");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Verbose = true;  // its lines are built, then dropped with all the others
    std::cout.rdbuf(nullptr);
    std::cerr.rdbuf(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    std::array<std::uint8_t, kSenderBytes + kMaxDatagram> input{};
    std::copy_n(data, std::min(size, input.size()), input.begin());
    std::uint8_t const* const datagram = input.data() + kSenderBytes;

    Datagram received{};
    std::memcpy(&received.sender.sin_addr, input.data(), 4);
    std::memcpy(&received.sender.sin_port, input.data() + 4, 2);
    received.sender.sin_family = AF_INET;
    std::uint16_t const senderPort = received.sender.sin_port;
    received.size = size - std::min(size, kSenderBytes);
    received.size = std::min(received.size, kMaxDatagram);
    std::copy_n(datagram, received.size, received.bytes.begin());

    // Each input on its own, not as a copy of the one before.
    DiscoveryAck record{};
    fillDiscoveryAck(record, kDeviceMac, true, "Tarn C1", "SN1");
    DiscoveryAck const before = record;
    testing::RecordingSocketManager manager;
    manager.setInterfaceAddress("192.168.1.10", "255.255.255.0");
    testing::FakeInterfaceControl network;
    bool otherMac = false;
    network.onApply = [&network, &otherMac](InterfaceConfig const& config) {
        otherMac = !std::equal(kDeviceMac.begin(), kDeviceMac.end(), config.mac);
        network.outcome = config.kind == ForceIpKind::Restart ? ApplyOutcome::RestartOnly
                          : config.kind == ForceIpKind::Dhcp  ? ApplyOutcome::Dhcp
                                                              : ApplyOutcome::Static;
    };
    std::string const name = "eth0";
    std::optional<LastForceIp> const last;
    std::vector<Datagram> takenIn;
    Serving serving{record, manager, network, name, last, takenIn};
    onPacketArrives(serving, received);

    bool const keyed = received.size >= kHeaderSize && datagram[0] == kGvcpKey;
    std::uint16_t const command = loadBe16(datagram + 2);
    bool const forceIp = keyed && command == kForceIpCmd;
    std::span<std::uint8_t const> payload;
    if (keyed && loadBe16(datagram + 4) != 0) {
        payload = {datagram + kHeaderSize, received.size - kHeaderSize};
    }
    auto const decoded = decodeForceIpPayload(payload);
    checkDecoded(payload, decoded);
    auto const* whole = std::get_if<ForceIpPayload>(&decoded);
    bool const forUs = forceIp && whole != nullptr && whole->mac == kDeviceMac;
    std::uint32_t const address = whole != nullptr ? whole->address : 0;
    // The sender as received; the handler may have turned its copy into the broadcast destination.
    bool const requestersAddress =
        address == received.sender.sin_addr.s_addr && address != 0 && address != 0xFFFFFFFF;
    InterfaceConfig const asked =
        whole != nullptr ? makeInterfaceConfig(whole->address, whole->netmask, whole->gateway)
                         : makeInterfaceConfig();
    check(network.fileReads == (forUs && asked.kind != ForceIpKind::Restart ? 1 : 0),
          "the interfaces file not read once for a whole force-IP for us, or read for another");
    bool const carriedOut = forUs && configRejection(asked).empty() && !requestersAddress;
    std::size_t const applies = network.applied.size();
    check(applies == (carriedOut ? 1U : 0U) && !otherMac,
          "apply called for another MAC, a refused or cut-off request or twice");
    bool const acked = carriedOut && network.outcome != ApplyOutcome::RestartOnly;
    check(manager.sent.size() == (keyed && (!forceIp || acked) ? 1U : 0U),
          "a reply without key 0x42, more than one, or a force-IP acknowledged wrongly");
    for (auto const& reply : manager.sent) {
        std::size_t bytes = 0;
        for (auto const& buffer : reply.buffers) {
            bytes += buffer.size();
        }
        check(bytes == kHeaderSize || (bytes == 256 && command == kDiscoveryCmd),
              "a reply neither 8 bytes nor a 256-byte discovery answer");
        auto const ack = parseAckHeader(reply.buffers.front());
        check(ack && ack->ackId[0] == datagram[6] && ack->ackId[1] == datagram[7],
              "ack_id is not the request's req_id");
        check(ack->answer == notImplementedAnswer(command) && ack->length == bytes - kHeaderSize,
              "answer code or length field wrong");
        check(reply.destination.sin_port == senderPort, "reply to another port");
    }
    auto const* was = reinterpret_cast<std::uint8_t const*>(&before);
    auto const* is = reinterpret_cast<std::uint8_t const*>(&record);
    for (std::size_t i = 0; i < sizeof record; ++i) {
        bool const mutableByte = std::any_of(kMutableFields.begin(), kMutableFields.end(),
                                             [i](std::size_t at) { return i - at < 4; });
        check(mutableByte || was[i] == is[i], "record changed outside its address fields");
    }
    check(((was[23] ^ is[23]) & kIpConfigLinkLocal) == 0, "link-local bit changed");
    check(applies != 0 || std::memcmp(was + 20, is + 20, 4) == 0, "mode changed unapplied");
    return 0;
}
