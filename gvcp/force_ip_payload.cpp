#include "gvcp/force_ip_payload.h"

#include <algorithm>
#include <cstring>

namespace QEL_Finder {

namespace {
constexpr std::size_t kMacOffset = 2;
constexpr std::size_t kMacEnd = kMacOffset + 6;
constexpr std::size_t kAddressOffset = 20;
constexpr std::size_t kNetmaskOffset = 36;
constexpr std::size_t kGatewayOffset = 52;

std::array<std::uint8_t, 6> macOf(std::span<std::uint8_t const> bytes) {
    std::array<std::uint8_t, 6> mac{};
    std::copy_n(&bytes[kMacOffset], mac.size(), mac.begin());
    return mac;
}
}  // namespace

DecodedForceIpPayload decodeForceIpPayload(std::span<std::uint8_t const> bytes) {
    if (bytes.empty()) {
        return NoForceIpPayload{};
    }
    if (bytes.size() < kMacEnd) {
        return ForceIpMacCutOff{};
    }
    // Missing fields must not read as zero: a zero address asks for a restart.
    if (bytes.size() < kForceIpPayloadSize) {
        return ForceIpConfigurationCutOff{macOf(bytes)};
    }
    ForceIpPayload payload;
    payload.mac = macOf(bytes);
    // Addresses stay in network byte order: copied, never converted.
    std::memcpy(&payload.address, &bytes[kAddressOffset], 4);
    std::memcpy(&payload.netmask, &bytes[kNetmaskOffset], 4);
    std::memcpy(&payload.gateway, &bytes[kGatewayOffset], 4);
    return payload;
}

std::array<std::uint8_t, kForceIpPayloadSize> buildForceIpPayload(ForceIpPayload const& payload) {
    std::array<std::uint8_t, kForceIpPayloadSize> bytes{};
    std::copy(payload.mac.begin(), payload.mac.end(), &bytes[kMacOffset]);
    std::memcpy(&bytes[kAddressOffset], &payload.address, 4);
    std::memcpy(&bytes[kNetmaskOffset], &payload.netmask, 4);
    std::memcpy(&bytes[kGatewayOffset], &payload.gateway, 4);
    return bytes;
}

}  // namespace QEL_Finder
