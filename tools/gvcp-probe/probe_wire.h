// The datagrams the probe sends and the checks and decoding of the acknowledges it receives.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "gvcp/gvcp_header.h"
#include "tools/gvcp-probe/address_text.h"

namespace gvcp_probe {

using ReqId = std::array<std::uint8_t, 2>;

inline constexpr std::size_t kDiscoveryReplySize = QEL_Finder::kHeaderSize + 248;
inline constexpr std::size_t kForceIpRequestSize =
    QEL_Finder::kHeaderSize + QEL_Finder::kForceIpPayloadSize;

// Why a received datagram is not the acknowledge the probe waits for.
struct Rejection {
    std::string reason;
};

// What a discovery acknowledge says about its device; addresses in network order.
struct DeviceDescription {
    MacAddress mac{};
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    std::uint32_t gateway = 0;
    std::uint32_t ipConfigCurrent = 0;
    std::string manufacturer;
    std::string model;
    std::string serial;
};

struct ForceIpAck {
    std::uint16_t status = 0;
};

// DISCOVERY_CMD, acknowledge required, with the broadcast-acknowledge flag when asked.
std::array<std::uint8_t, QEL_Finder::kHeaderSize> buildDiscoveryRequest(ReqId reqId,
                                                                        bool allowBroadcastAck);

// FORCEIP_CMD with its 56-byte payload, acknowledge required, broadcast acknowledge when asked.
std::array<std::uint8_t, kForceIpRequestSize> buildForceIpRequest(
    ReqId reqId, bool allowBroadcastAck, QEL_Finder::ForceIpPayload const& payload);

// A 256-byte successful DISCOVERY_ACK answering reqId, decoded; anything else is rejected with
// the reason. Text fields end at their first zero byte or at the end of the field.
std::variant<DeviceDescription, Rejection> decodeDiscoveryReply(std::span<std::uint8_t const> bytes,
                                                                ReqId reqId);

// An 8-byte FORCEIP_ACK answering reqId, whatever its status; anything else is rejected.
std::variant<ForceIpAck, Rejection> decodeForceIpAck(std::span<std::uint8_t const> bytes,
                                                     ReqId reqId);

// True for a datagram of kDiscoveryReplySize bytes that begins with the request's bytes: the
// answer of the benchmark's bare UDP responder, which knows nothing of the protocol.
bool isPaddedEcho(std::span<std::uint8_t const> bytes, std::span<std::uint8_t const> request);

// "dhcp", "static", "link-local" or "none", from the IP config current bits.
std::string_view ipConfigModeName(std::uint32_t ipConfigCurrent);

}  // namespace gvcp_probe
