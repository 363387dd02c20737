#include "gvcp/force_ip_payload.h"

#include <algorithm>
#include <cstring>

namespace QEL_Finder {

namespace {
constexpr std::size_t kMacOffset = 2;
constexpr std::size_t kAddressOffset = 20;
constexpr std::size_t kNetmaskOffset = 36;
constexpr std::size_t kGatewayOffset = 52;
}  // namespace

ForceIpPayload parseForceIpPayload(std::span<std::uint8_t const> bytes) {
    std::array<std::uint8_t, kForceIpPayloadSize> padded{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), padded.size()), padded.begin());
    ForceIpPayload payload;
    std::copy_n(&padded[kMacOffset], payload.mac.size(), payload.mac.begin());
    // Addresses stay in network byte order: copied, never converted.
    std::memcpy(&payload.address, &padded[kAddressOffset], 4);
    std::memcpy(&payload.netmask, &padded[kNetmaskOffset], 4);
    std::memcpy(&payload.gateway, &padded[kGatewayOffset], 4);
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
