#include "gvcp/force_ip.h"

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <optional>
#include <variant>

#include "base/hex_text.h"
#include "base/ipv4_address.h"
#include "base/process_state.h"
#include "gvcp/byte_order.h"
#include "gvcp/force_ip_payload.h"
#include "gvcp/reply_message.h"
#include "gvcp/send_reply.h"
#include "netconfig/config_checks.h"
#include "netconfig/stanza_in_force.h"

namespace QEL_Finder {

namespace {

// A PC tool that sends each request twice (to 255.255.255.255 and to the subnet's broadcast, with
// a new req_id each) has its second dhcp copy waiting while the first is carried out; a lease in
// hand is no proof that the stanza was not changed by hand since, so the window is short.
constexpr auto kDhcpCopyWindow = std::chrono::seconds(10);

bool isRepeatOfLast(Request const& request) {
    auto const& last = request.serving.lastForceIp;
    return last && last->reqId == request.header.reqId &&
           last->requester.sin_addr.s_addr == request.requester.sin_addr.s_addr &&
           last->requester.sin_port == request.requester.sin_port;
}

// The acknowledge of a request carried out, from the interface's address.
AckHeader forceIpAck(Request const& request) {
    return ackFor(request, kStatusSuccess, kForceIpAckCode, 0);
}

// The requester may be on another subnet and unable to reach the new address yet.
sockaddr_in acknowledgeDestination(Request const& request) {
    sockaddr_in destination = request.requester;
    if ((request.header.flag & kFlagBroadcastAck) != 0) {
        destination.sin_addr.s_addr = kLimitedBroadcast;
    }
    return destination;
}

// Sends the acknowledge of the last force-IP again, to where it went. From the interface's
// current address: the same one unless the interface changed since, and then the one the PC
// finds the device at.
void answerAgain(Request const& request, LastForceIp const& last) {
    if (Verbose) {
        std::cout << "Force IP repeated, answered as before" << std::endl;
    }
    if (!last.acknowledgedTo) {
        return;
    }
    ReplyMessage reply(*last.acknowledgedTo, forceIpAck(request));
    sendReply(request.serving, reply, [&last](ReplyMessage&, InterfaceAddress const& own) {
        if (last.sentFrom != 0 && own.address != last.sentFrom) {
            std::cout << "Repeated force IP acknowledged from " << formatIpv4(own.address) << ": "
                      << formatIpv4(last.sentFrom) << " is no longer the interface's address"
                      << std::endl;
        }
    });
}

bool isLinkLocal(std::uint32_t address) {
    return (ntohl(address) >> 16) == 0xA9FE;  // 169.254.0.0/16
}

// The interface runs as asked already (static: its address and mask; dhcp: a lease, right after
// a dhcp request was carried out) and its stanza says so: a second copy of a request, or a second
// click on "apply", must not take the link down again.
bool alreadyInForce(Request const& request, InterfaceConfig const& config,
                    std::string_view fileText) {
    Serving& serving = request.serving;
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    if (config.kind == ForceIpKind::Restart || !serving.sockets.getIpAddressFromInterfaceName(
                                                   serving.interfaceName.c_str(), address, mask)) {
        return false;
    }
    if (config.kind == ForceIpKind::Dhcp) {
        auto const& last = serving.lastForceIp;
        bool const justDone =
            last && last->dhcpDoneAt &&
            std::chrono::steady_clock::now() - *last->dhcpDoneAt < kDhcpCopyWindow;
        if (!justDone || isLinkLocal(address)) {
            return false;
        }
    } else if (address != *config.address || mask != *config.netmask) {
        return false;
    }
    return stanzaSays(fileText, serving.interfaceName, config);
}

bool isForThisDevice(DiscoveryAck const& record, std::array<std::uint8_t, 6> const& mac) {
    return recordMac(record) == mac;
}

InterfaceConfig requestedConfig(ForceIpPayload const& payload) {
    InterfaceConfig config = makeInterfaceConfig(payload.address, payload.netmask, payload.gateway);
    std::copy(payload.mac.begin(), payload.mac.end(), config.mac);
    return config;
}

// The link-local bit stays as it is: that address survives either mode.
void recordAppliedMode(DiscoveryAck& record, ApplyOutcome applied) {
    auto* field = reinterpret_cast<std::uint8_t*>(&record.ipConfigCurrent);
    std::uint32_t bits = loadBe32(field);
    if (applied == ApplyOutcome::Dhcp) {
        bits = (bits & ~kIpConfigPersistent) | kIpConfigDhcp;
    } else if (applied == ApplyOutcome::Static) {
        bits = (bits & ~kIpConfigDhcp) | kIpConfigPersistent;
    }
    storeBe32(field, bits);
}

// Two hosts answering ARP for one address leave both unreachable, so a static address another
// host answers for is refused (RFC 5227). The interface's own address needs no probe, and dhcp
// and a restart name none. A probe that cannot run lets the request go ahead: a camera must stay
// re-addressable.
std::string holderRefusal(Serving& serving, InterfaceConfig const& config) {
    std::uint32_t const address = *config.address;
    unsigned int current = 0;
    unsigned int mask = 0;
    if (config.kind != ForceIpKind::Static || (serving.sockets.getIpAddressFromInterfaceName(
                                                   serving.interfaceName.c_str(), current, mask) &&
                                               current == address)) {
        return {};
    }
    AddressProbe const probe = serving.sockets.probeAddress(serving.interfaceName.c_str(),
                                                            recordMac(serving.record), address);
    if (!probe.error.empty()) {
        std::cerr << "Probing " << formatIpv4(address) << " by ARP failed, " << probe.error
                  << "; applying the force IP unprobed" << std::endl;
    }
    if (!probe.holder) {
        return {};
    }
    return "Refusing force IP: address " + formatIpv4(address) + " is in use by MAC " +
           formatMac(*probe.holder);
}

}  // namespace

std::optional<LastForceIp> answerForceIp(Request const& request) {
    DecodedForceIpPayload const decoded = decodeForceIpPayload(request.payload);
    // Without a payload there is no MAC address to match: treated like one for another device.
    if (std::holds_alternative<NoForceIpPayload>(decoded)) {
        return std::nullopt;
    }
    // A cut-off request is reported unless its MAC names another device.
    auto const* cut = std::get_if<ForceIpConfigurationCutOff>(&decoded);
    if (cut != nullptr && !isForThisDevice(request.serving.record, cut->mac)) {
        return std::nullopt;
    }
    if (!std::holds_alternative<ForceIpPayload>(decoded)) {
        std::cerr << "Ignoring force IP from " << formatIpv4(request.requester.sin_addr.s_addr)
                  << ": " << request.payload.size() << " of " << kForceIpPayloadSize
                  << " payload bytes" << std::endl;
        return std::nullopt;
    }
    ForceIpPayload const payload = std::get<ForceIpPayload>(decoded);
    Serving& serving = request.serving;
    if (!isForThisDevice(serving.record, payload.mac)) {
        return std::nullopt;
    }
    if (Verbose) {
        std::cout << "Force IP received from " << formatIpv4(request.requester.sin_addr.s_addr)
                  << std::endl;
    }
    if (isRepeatOfLast(request)) {
        answerAgain(request, *serving.lastForceIp);
        return std::nullopt;
    }
    InterfaceConfig const config = requestedConfig(payload);
    // What is judged is what is rewritten: the file is read once. A restart rewrites nothing.
    InterfacesFileText const file = config.kind == ForceIpKind::Restart
                                        ? InterfacesFileText{}
                                        : serving.interface.readInterfacesFile();
    // Refused before anything changes: a bad static stanza would leave the device unreachable.
    std::string why =
        forceIpRefusal({config, request.requester.sin_addr.s_addr, serving.interfaceName, file});
    if (why.empty()) {
        why = holderRefusal(serving, config);
    }
    if (!why.empty()) {
        std::cerr << why << std::endl;
        return std::nullopt;
    }
    sockaddr_in const destination = acknowledgeDestination(request);
    if (alreadyInForce(request, config, file.text)) {
        // From the interface's address, without a restart or a link wait: nothing changed.
        std::cout << "Force IP: " << serving.interfaceName
                  << " has this configuration already, acknowledged without a restart" << std::endl;
        ReplyMessage reply(destination, forceIpAck(request));
        sendReply(serving, reply);
        return std::nullopt;
    }
    std::cout << "New interface parameters are:\n" << config << std::endl;
    ApplyOutcome const applied = serving.interface.apply(config, file.text);
    recordAppliedMode(serving.record, applied);
    // A restart changes nothing to confirm, and a configuration that could not be written must
    // not tell the PC the device moved.
    bool const acknowledged = applied == ApplyOutcome::Dhcp || applied == ApplyOutcome::Static;
    LastForceIp carried{request.requester, request.header.reqId,
                        acknowledged ? std::optional(destination) : std::nullopt, 0};
    if (!acknowledged) {
        return carried;
    }
    // From the new address once the link runs; without it, no acknowledge can leave.
    ReplyMessage reply(destination, forceIpAck(request));
    auto const sentFrom = sendReply(
        serving, reply,
        [&serving](ReplyMessage&, InterfaceAddress const&) { serving.interface.waitForLink(); });
    carried.sentFrom = sentFrom ? sentFrom->address : 0;
    if (applied == ApplyOutcome::Dhcp) {
        carried.dhcpDoneAt = std::chrono::steady_clock::now();
    }
    return carried;
}

}  // namespace QEL_Finder
