#include "gvcp/force_ip.h"

#include <algorithm>
#include <iostream>
#include <optional>

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

// The MAC ends at payload byte 8; the configuration needs the whole payload.
constexpr std::size_t kMacEnd = 8;

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
    // Without a payload there is no MAC address to match: treated like one for another device.
    if (request.payload.empty()) {
        return;
    }
    // A cut-off request would be read with zeros for the missing fields: a restart, or worse.
    if (request.payload.size() < kForceIpPayloadSize) {
        if (request.payload.size() < kMacEnd ||
            isForThisDevice(request.serving.record, parseForceIpPayload(request.payload).mac)) {
            std::cerr << "Ignoring force IP from " << formatIpv4(request.requester.sin_addr.s_addr)
                      << ": " << request.payload.size() << " of " << kForceIpPayloadSize
                      << " payload bytes" << std::endl;
        }
        return;
    }
    ForceIpPayload const payload = parseForceIpPayload(request.payload);
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
}

}  // namespace QEL_Finder
