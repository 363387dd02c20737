// The FORCEIP_CMD payload: the MAC address of the device asked and the configuration it is given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

#include "gvcp/gvcp_header.h"

namespace QEL_Finder {

inline constexpr std::size_t kForceIpPayloadSize = 56;
inline constexpr std::size_t kForceIpCmdSize = kHeaderSize + kForceIpPayloadSize;

// Addresses are in network byte order, exactly as in a sockaddr_in.
struct ForceIpPayload {
    std::array<std::uint8_t, 6> mac{};
    std::uint32_t address = 0;
    std::uint32_t netmask = 0;
    std::uint32_t gateway = 0;
};

// Why a payload was not decoded. Without any byte there is no MAC to match; a payload cut off
// inside the MAC cannot be matched either; one cut off after it names its device but not the
// configuration.
struct NoForceIpPayload {};
struct ForceIpMacCutOff {};
struct ForceIpConfigurationCutOff {
    std::array<std::uint8_t, 6> mac{};
};

using DecodedForceIpPayload =
    std::variant<ForceIpPayload, NoForceIpPayload, ForceIpMacCutOff, ForceIpConfigurationCutOff>;

// The payload from its first 56 bytes (any after them are ignored), or why it is not there.
DecodedForceIpPayload decodeForceIpPayload(std::span<std::uint8_t const> bytes);
// The 56 bytes, reserved ones zero.
std::array<std::uint8_t, kForceIpPayloadSize> buildForceIpPayload(ForceIpPayload const& payload);

}  // namespace QEL_Finder
