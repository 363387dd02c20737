#include "gvcp/force_ip.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include "base/ipv4_address.h"
#include "base/process_state.h"
#include "gvcp/byte_order.h"
#include "gvcp/link_wait.h"
#include "gvcp/reply_message.h"
#include "gvcp/send_reply.h"
#include "net/reply_socket.h"
#include "netconfig/apply_config.h"
#include "netconfig/config_checks.h"

namespace QEL_Finder {

namespace {

// Results of applying a configuration that changed it (0 is a restart only).
constexpr int kAppliedDhcp = 1;
constexpr int kAppliedStatic = 2;

ForceIpSteps steps{forceIpRefusal, initNetworkInterface, waitForLink};

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

void answerForceIp(Request& request) {
    // Without a payload there is no MAC address to match: treated like one for another device.
    if (request.payload.empty()) {
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
    InterfaceConfig config = requestedConfig(payload);
    // Refused before anything changes: a bad static stanza would leave the device unreachable.
    if (std::string const why = steps.refusal(config, request.interfaceName); !why.empty()) {
        std::cerr << why << std::endl;
        return;
    }
    // The requester may be on another subnet and unable to reach the new address yet.
    if ((request.header.flag & kFlagBroadcastAck) != 0) {
        request.requester->sin_addr.s_addr = kLimitedBroadcast;
    }
    std::cout << "New interface parameters are:\n" << config << std::endl;
    int const applied = steps.applyConfig(config, request.interfaceName);
    recordAppliedMode(*request.record, applied);
    // A restart changes nothing to confirm, and a configuration that could not be written must
    // not tell the PC the device moved.
    if (applied != kAppliedDhcp && applied != kAppliedStatic) {
        return;
    }
    ReplyMessage reply(request.requester, ackFor(request, kStatusSuccess, kForceIpAckCode, 0));
    int const handle = openReplySocket(request.record, request.manager, request.interfaceName);
    if (handle == -1) {
        return;
    }
    steps.waitForLink(request.interfaceName);
    sendOnReplySocket(*request.manager, handle, reply);
}

}  // namespace QEL_Finder
