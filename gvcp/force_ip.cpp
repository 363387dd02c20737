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
#include "gvcp/serving_status.h"

namespace QEL_Finder {

namespace {

// A PC tool that sends each request twice (to 255.255.255.255 and to the subnet's broadcast, with
// a new req_id each) has its second dhcp copy waiting while the first is carried out; a lease in
// hand is no proof that the stanza was not changed by hand since, so the window is short.
constexpr auto kDhcpCopyWindow = std::chrono::seconds(10);

bool isRepeatOfLast(Request const& request) {
    auto const& last = request.serving.inbox.lastForceIp;
    return last && last->reqId == request.header.reqId &&
           last->requester.sin_addr.s_addr == request.requester.sin_addr.s_addr &&
           last->requester.sin_port == request.requester.sin_port;
}

// Sends the acknowledge of the last force-IP again, to where it went. From the interface's
// current address: the same one unless the interface changed since, and then the one the PC
// finds the device at.
void answerAgain(Request& request, LastForceIp const& last) {
    if (Verbose) {
        std::cout << "Force IP repeated, answered as before" << std::endl;
    }
    if (!last.acknowledgedTo) {
        return;
    }
    sockaddr_in destination = *last.acknowledgedTo;
    ReplyMessage reply(&destination, ackFor(request, kStatusSuccess, kForceIpAckCode, 0));
    auto const own = openOwnReplySocket(request.serving);
    if (!own) {
        return;
    }
    if (last.sentFrom != 0 && own->address != last.sentFrom) {
        std::cout << "Repeated force IP acknowledged from " << formatIpv4(own->address) << ": "
                  << formatIpv4(last.sentFrom) << " is no longer the interface's address"
                  << std::endl;
    }
    sendOnReplySocket(request.serving.sockets, own->handle, reply);
}

// The requester's own address given to the device would take the PC's address from it: the
// acknowledge goes nowhere and the device answers ARP for the PC.
std::string requesterRefusal(InterfaceConfig const& config, sockaddr_in const& requester) {
    if (*config.address != requester.sin_addr.s_addr || *config.address == kDhcpAddress ||
        *config.address == kRestartOnly) {
        return {};
    }
    return "Refusing force IP: address " + formatIpv4(*config.address) +
           " is the requester's address";
}

// From the new address once the link runs; without it, no acknowledge can leave.
void acknowledgeApplied(Request& request, LastForceIp& last) {
    ReplyMessage reply(&request.requester, ackFor(request, kStatusSuccess, kForceIpAckCode, 0));
    auto const own = openOwnReplySocket(request.serving);
    if (!own) {
        return;
    }
    last.sentFrom = own->address;
    request.serving.network.waitForLink(request.serving.interfaceName);
    sendOnReplySocket(request.serving.sockets, own->handle, reply);
}

bool isLinkLocal(std::uint32_t address) {
    return (ntohl(address) >> 16) == 0xA9FE;  // 169.254.0.0/16
}

// The interface runs as asked already (static: its address and mask; dhcp: a lease, right after
// a dhcp request was carried out) and its stanza says so: a second copy of a request, or a second
// click on "apply", must not take the link down again.
bool alreadyInForce(Request const& request, InterfaceConfig const& config) {
    Serving& serving = request.serving;
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    if (*config.address == kRestartOnly || !serving.sockets.getIpAddressFromInterfaceName(
                                               serving.interfaceName.c_str(), address, mask)) {
        return false;
    }
    if (*config.address == kDhcpAddress) {
        auto const& last = serving.inbox.lastForceIp;
        bool const justDone =
            last && last->dhcpDoneAt && Inbox::Clock::now() - *last->dhcpDoneAt < kDhcpCopyWindow;
        if (!justDone || isLinkLocal(address)) {
            return false;
        }
    } else if (address != *config.address || mask != *config.netmask) {
        return false;
    }
    return serving.network.stanzaSays(config, serving.interfaceName);
}

// From the interface's address, without a restart or a link wait: nothing changed.
void acknowledgeInForce(Request& request) {
    std::cout << "Force IP: " << request.serving.interfaceName
              << " has this configuration already, acknowledged without a restart" << std::endl;
    if ((request.header.flag & kFlagBroadcastAck) != 0) {
        request.requester.sin_addr.s_addr = kLimitedBroadcast;
    }
    ReplyMessage reply(&request.requester, ackFor(request, kStatusSuccess, kForceIpAckCode, 0));
    sendReply(request, reply);
}

bool isForThisDevice(DiscoveryAck const& record, std::array<std::uint8_t, 6> const& mac) {
    return recordMac(record) == mac;
}

InterfaceConfig requestedConfig(ForceIpPayload const& payload) {
    InterfaceConfig config = makeInterfaceConfig();
    *config.address = payload.address;
    *config.netmask = payload.netmask;
    *config.gateway = payload.gateway;
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
std::string holderRefusal(Serving& serving, std::uint32_t address) {
    unsigned int current = 0;
    unsigned int mask = 0;
    if (address == kDhcpAddress || address == kRestartOnly ||
        (serving.sockets.getIpAddressFromInterfaceName(serving.interfaceName.c_str(), current,
                                                       mask) &&
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

void answerForceIp(Request& request) {
    DecodedForceIpPayload const decoded = decodeForceIpPayload(request.payload);
    // Without a payload there is no MAC address to match: treated like one for another device.
    if (std::holds_alternative<NoForceIpPayload>(decoded)) {
        return;
    }
    // A cut-off request is reported unless its MAC names another device.
    auto const* cut = std::get_if<ForceIpConfigurationCutOff>(&decoded);
    if (cut != nullptr && !isForThisDevice(request.serving.record, cut->mac)) {
        return;
    }
    if (!std::holds_alternative<ForceIpPayload>(decoded)) {
        std::cerr << "Ignoring force IP from " << formatIpv4(request.requester.sin_addr.s_addr)
                  << ": " << request.payload.size() << " of " << kForceIpPayloadSize
                  << " payload bytes" << std::endl;
        return;
    }
    ForceIpPayload const payload = std::get<ForceIpPayload>(decoded);
    Serving& serving = request.serving;
    if (!isForThisDevice(serving.record, payload.mac)) {
        return;
    }
    if (Verbose) {
        std::cout << "Force IP received from " << formatIpv4(request.requester.sin_addr.s_addr)
                  << std::endl;
    }
    if (isRepeatOfLast(request)) {
        answerAgain(request, *serving.inbox.lastForceIp);
        return;
    }
    InterfaceConfig config = requestedConfig(payload);
    // Refused before anything changes: a bad static stanza would leave the device unreachable.
    std::string why = serving.network.refusal(config, serving.interfaceName);
    if (why.empty()) {
        why = requesterRefusal(config, request.requester);
    }
    if (!why.empty()) {
        std::cerr << why << std::endl;
        return;
    }
    if (std::string const held = holderRefusal(serving, *config.address); !held.empty()) {
        std::cerr << held << std::endl;
        return;
    }
    if (alreadyInForce(request, config)) {
        acknowledgeInForce(request);
        return;
    }
    sockaddr_in const requester = request.requester;
    // The requester may be on another subnet and unable to reach the new address yet.
    if ((request.header.flag & kFlagBroadcastAck) != 0) {
        request.requester.sin_addr.s_addr = kLimitedBroadcast;
    }
    std::cout << "New interface parameters are:\n" << config << std::endl;
    ApplyOutcome const applied = serving.network.apply(config, serving.interfaceName);
    recordAppliedMode(serving.record, applied);
    // A restart changes nothing to confirm, and a configuration that could not be written must
    // not tell the PC the device moved.
    bool const acknowledged = applied == ApplyOutcome::Dhcp || applied == ApplyOutcome::Static;
    LastForceIp& last = serving.inbox.lastForceIp.emplace(
        LastForceIp{requester, request.header.reqId,
                    acknowledged ? std::optional(request.requester) : std::nullopt, 0});
    if (!acknowledged) {
        return;
    }
    reportForceIpApplied(serving.interfaceName, serving.record, requester.sin_addr.s_addr);
    acknowledgeApplied(request, last);
    if (applied == ApplyOutcome::Dhcp) {
        last.dhcpDoneAt = Inbox::Clock::now();
    }
}

}  // namespace QEL_Finder
