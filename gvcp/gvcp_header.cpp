#include "gvcp/gvcp_header.h"

#include <algorithm>
#include <cstring>

#include "gvcp/byte_order.h"

namespace QEL_Finder {

std::optional<CommandHeader> parseCommandHeader(std::span<std::uint8_t const> bytes) {
    if (bytes.size() < kHeaderSize) {
        return std::nullopt;
    }
    CommandHeader header;
    header.key = bytes[0];
    header.flag = bytes[1];
    header.command = loadBe16(&bytes[2]);
    header.length = loadBe16(&bytes[4]);
    header.reqId = {bytes[6], bytes[7]};
    return header;
}

std::array<std::uint8_t, kHeaderSize> buildCommandHeader(CommandHeader const& header) {
    std::array<std::uint8_t, kHeaderSize> bytes{};
    bytes[0] = header.key;
    bytes[1] = header.flag;
    storeBe16(&bytes[2], header.command);
    storeBe16(&bytes[4], header.length);
    bytes[6] = header.reqId[0];
    bytes[7] = header.reqId[1];
    return bytes;
}

std::optional<AckHeader> parseAckHeader(std::span<std::uint8_t const> bytes) {
    if (bytes.size() < kHeaderSize) {
        return std::nullopt;
    }
    AckHeader header;
    header.status = loadBe16(&bytes[0]);
    header.answer = loadBe16(&bytes[2]);
    header.length = loadBe16(&bytes[4]);
    header.ackId = {bytes[6], bytes[7]};
    return header;
}

std::array<std::uint8_t, kHeaderSize> buildAckHeader(AckHeader const& header) {
    std::array<std::uint8_t, kHeaderSize> bytes{};
    storeBe16(&bytes[0], header.status);
    storeBe16(&bytes[2], header.answer);
    storeBe16(&bytes[4], header.length);
    bytes[6] = header.ackId[0];
    bytes[7] = header.ackId[1];
    return bytes;
}

namespace {
// Offsets inside the force-IP payload.
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
