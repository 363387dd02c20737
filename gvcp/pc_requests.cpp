#include "gvcp/pc_requests.h"

#include <algorithm>

namespace QEL_Finder {

namespace {

std::array<std::uint8_t, kHeaderSize> commandFor(std::uint16_t command, std::uint16_t length,
                                                 ReqId reqId, bool allowBroadcastAck) {
    auto const flag = kFlagAckRequired | (allowBroadcastAck ? kFlagBroadcastAck : 0);
    return buildCommandHeader({kGvcpKey, static_cast<std::uint8_t>(flag), command, length, reqId});
}

}  // namespace

std::array<std::uint8_t, kHeaderSize> buildDiscoveryCmd(ReqId reqId, bool allowBroadcastAck) {
    return commandFor(kDiscoveryCmd, 0, reqId, allowBroadcastAck);
}

std::array<std::uint8_t, kForceIpCmdSize> buildForceIpCmd(ReqId reqId, bool allowBroadcastAck,
                                                          ForceIpPayload const& payload) {
    std::array<std::uint8_t, kForceIpCmdSize> bytes{};
    auto const header = commandFor(kForceIpCmd, kForceIpPayloadSize, reqId, allowBroadcastAck);
    auto const body = buildForceIpPayload(payload);
    std::copy(header.begin(), header.end(), bytes.begin());
    std::copy(body.begin(), body.end(), bytes.begin() + kHeaderSize);
    return bytes;
}

}  // namespace QEL_Finder
