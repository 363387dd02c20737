// The requests the PC side sends: a discovery and a force-IP, acknowledge required.
#pragma once

#include <array>
#include <cstdint>

#include "gvcp/force_ip_payload.h"
#include "gvcp/gvcp_header.h"

namespace QEL_Finder {

// Each asks for its acknowledge by broadcast too when allowBroadcastAck.
std::array<std::uint8_t, kHeaderSize> buildDiscoveryCmd(ReqId reqId, bool allowBroadcastAck);
std::array<std::uint8_t, kForceIpCmdSize> buildForceIpCmd(ReqId reqId, bool allowBroadcastAck,
                                                          ForceIpPayload const& payload);

}  // namespace QEL_Finder
