#include "gvcp/force_ip.h"

#include <algorithm>
#include <iostream>
#include <optional>
#include <utility>

#include "base/ipv4_address.h"
#include "base/process_state.h"
#include "gvcp/byte_order.h"
#include "gvcp/force_ip_payload.h"
#include "gvcp/link_wait.h"
#include "gvcp/reply_message.h"
#include "gvcp/send_reply.h"
#include "gvcp/serving_status.h"
#include "net/reply_socket.h"
#include "netconfig/apply_config.h"
#include "netconfig/config_checks.h"

namespace QEL_Finder {

namespace {

// Results of applying a configuration that changed it (0 is a restart only).
constexpr int kAppliedDhcp = 1;
constexpr int kAppliedStatic = 2;

// The MAC ends at payload byte 8; the configuration needs the whole payload.
constexpr std::size_t kMacEnd = 8;

ForceIpSteps steps{forceIpRefusal, initNetworkInterface, waitForLink};

// The last force-IP carried out. A PC that missed its acknowledge (it gave up during a long dhcp
// wait) sends the same request again; run again, every copy would restart the interface anew.
struct LastForceIp {
    sockaddr_in requester;  // address and port it came from
    ReqId reqId;
    // Where the acknowledge went (the requester, or broadcast at its port); none for a restart
    // only or a failed rewrite.
    std::optional<sockaddr_in> acknowledgedTo;
    std::uint32_t sentFrom;  // the interface's address the acknowledge left from; 0: none left
};
std::optional<LastForceIp> lastForceIp;

bool isRepeatOfLast(Request const& request) {
    return lastForceIp && lastForceIp->reqId == request.header.reqId &&
           lastForceIp->requester.sin_addr.s_addr == request.requester->sin_addr.s_addr &&
           lastForceIp->requester.sin_port == request.requester->sin_port;
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
    int const handle = openReplySocket(request.record, request.manager, request.interfaceName);
    if (handle == -1) {
        return;
    }
    if (last.sentFrom != 0 && request.record->currentIp != last.sentFrom) {
        std::cout << "Repeated force IP acknowledged from " << formatIpv4(request.record->currentIp)
                  << ": " << formatIpv4(last.sentFrom) << " is no longer the interface's address"
                  << std::endl;
    }
    sendOnReplySocket(*request.manager, handle, reply);
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
void recordAppliedMode(DiscoveryAck& record, int applied) {
    auto* field = reinterpret_cast<std::uint8_t*>(&record.ipConfigCurrent);
    std::uint32_t bits = loadBe32(field);
    if (applied == kAppliedDhcp) {
        bits = (bits & ~kIpConfigPersistent) | kIpConfigDhcp;
    } else if (applied == kAppliedStatic) {
        bits = (bits & ~kIpConfigDhcp) | kIpConfigPersistent;
    }
    storeBe32(field, bits);
}

}  // namespace

ForceIpSteps const& forceIpSteps() {
    return steps;
}

ForceIpSteps replaceForceIpSteps(ForceIpSteps replacement) {
    return std::exchange(steps, replacement);
}

void forgetLastForceIp() {
    lastForceIp.reset();
}

void answerForceIp(Request& request) {
    // Without a payload there is no MAC address to match: treated like one for another device.
    if (request.payload.empty()) {
        return;
    }
    // A cut-off request would be read with zeros for the missing fields: a restart, or worse.
    if (request.payload.size() < kForceIpPayloadSize) {
        if (request.payload.size() < kMacEnd ||
            isForThisDevice(*request.record, parseForceIpPayload(request.payload).mac)) {
            std::cerr << "Ignoring force IP from " << formatIpv4(request.requester->sin_addr.s_addr)
                      << ": " << request.payload.size() << " of " << kForceIpPayloadSize
                      << " payload bytes" << std::endl;
        }
        return;
    }
    ForceIpPayload const payload = parseForceIpPayload(request.payload);
    if (!isForThisDevice(*request.record, payload.mac)) {
        return;
    }
    if (Verbose) {
        std::cout << "Force IP received from " << formatIpv4(request.requester->sin_addr.s_addr)
                  << std::endl;
    }
    if (isRepeatOfLast(request)) {
        answerAgain(request, *lastForceIp);
        return;
    }
    InterfaceConfig config = requestedConfig(payload);
    // Refused before anything changes: a bad static stanza would leave the device unreachable.
    std::string why = steps.refusal(config, request.interfaceName);
    if (why.empty()) {
        why = requesterRefusal(config, *request.requester);
    }
    if (!why.empty()) {
        std::cerr << why << std::endl;
        return;
    }
    sockaddr_in const requester = *request.requester;
    // The requester may be on another subnet and unable to reach the new address yet.
    if ((request.header.flag & kFlagBroadcastAck) != 0) {
        request.requester->sin_addr.s_addr = kLimitedBroadcast;
    }
    std::cout << "New interface parameters are:\n" << config << std::endl;
    int const applied = steps.applyConfig(config, request.interfaceName);
    recordAppliedMode(*request.record, applied);
    // A restart changes nothing to confirm, and a configuration that could not be written must
    // not tell the PC the device moved.
    bool const acknowledged = applied == kAppliedDhcp || applied == kAppliedStatic;
    LastForceIp& last = lastForceIp.emplace(
        LastForceIp{requester, request.header.reqId,
                    acknowledged ? std::optional(*request.requester) : std::nullopt, 0});
    if (!acknowledged) {
        return;
    }
    reportForceIpApplied(request.interfaceName, *request.record, requester.sin_addr.s_addr);
    ReplyMessage reply(request.requester, ackFor(request, kStatusSuccess, kForceIpAckCode, 0));
    int const handle = openReplySocket(request.record, request.manager, request.interfaceName);
    if (handle == -1) {
        return;
    }
    last.sentFrom = request.record->currentIp;
    steps.waitForLink(request.interfaceName);
    sendOnReplySocket(*request.manager, handle, reply);
}

}  // namespace QEL_Finder
