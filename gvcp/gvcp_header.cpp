#include "gvcp/gvcp_header.h"

#include <algorithm>
#include <cstring>

#include "base/hex_text.h"
#include "gvcp/byte_order.h"

namespace QEL_Finder {

namespace {

std::string hexId(ReqId id) {
    return hex16(loadBe16(id.data()));
}

std::array<std::uint8_t, kHeaderSize> commandFor(std::uint16_t command, std::uint16_t length,
                                                 ReqId reqId, bool allowBroadcastAck) {
    auto const flag = kFlagAckRequired | (allowBroadcastAck ? kFlagBroadcastAck : 0);
    return buildCommandHeader({kGvcpKey, static_cast<std::uint8_t>(flag), command, length, reqId});
}

}  // namespace

namespace {

// Both headers are three big-endian 16-bit words and an id; the command header's first word
// holds its key and flag bytes.
struct HeaderWords {
    std::uint16_t first = 0;
    std::uint16_t code = 0;
    std::uint16_t length = 0;
    ReqId id{};
};

std::optional<HeaderWords> readHeaderWords(std::span<std::uint8_t const> bytes) {
    if (bytes.size() < kHeaderSize) {
        return std::nullopt;
    }
    return HeaderWords{
        loadBe16(&bytes[0]), loadBe16(&bytes[2]), loadBe16(&bytes[4]), {bytes[6], bytes[7]}};
}

std::array<std::uint8_t, kHeaderSize> writeHeaderWords(HeaderWords const& words) {
    std::array<std::uint8_t, kHeaderSize> bytes{};
    storeBe16(&bytes[0], words.first);
    storeBe16(&bytes[2], words.code);
    storeBe16(&bytes[4], words.length);
    bytes[6] = words.id[0];
    bytes[7] = words.id[1];
    return bytes;
}

}  // namespace

std::optional<CommandHeader> parseCommandHeader(std::span<std::uint8_t const> bytes) {
    std::optional<HeaderWords> const words = readHeaderWords(bytes);
    if (!words) {
        return std::nullopt;
    }
    return CommandHeader{static_cast<std::uint8_t>(words->first >> 8),
                         static_cast<std::uint8_t>(words->first), words->code, words->length,
                         words->id};
}

std::array<std::uint8_t, kHeaderSize> buildCommandHeader(CommandHeader const& header) {
    return writeHeaderWords({static_cast<std::uint16_t>((header.key << 8) | header.flag),
                             header.command, header.length, header.reqId});
}

std::optional<AckHeader> parseAckHeader(std::span<std::uint8_t const> bytes) {
    std::optional<HeaderWords> const words = readHeaderWords(bytes);
    if (!words) {
        return std::nullopt;
    }
    return AckHeader{words->first, words->code, words->length, words->id};
}

std::array<std::uint8_t, kHeaderSize> buildAckHeader(AckHeader const& header) {
    return writeHeaderWords({header.status, header.answer, header.length, header.ackId});
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

std::variant<AckHeader, Rejection> matchAck(std::span<std::uint8_t const> bytes,
                                            AckHeader const& expected, AckStatus status) {
    std::optional<AckHeader> const header = parseAckHeader(bytes);
    if (!header) {
        return Rejection{"wrong length " + std::to_string(bytes.size()) +
                         ", shorter than a header"};
    }
    if (header->answer != expected.answer) {
        return Rejection{"wrong answer code " + hex16(header->answer) + " (expected " +
                         hex16(expected.answer) + ")"};
    }
    if (header->ackId != expected.ackId) {
        return Rejection{"wrong ack_id " + hexId(header->ackId) + " (expected " +
                         hexId(expected.ackId) + ")"};
    }
    if (status == AckStatus::MustSucceed && header->status != kStatusSuccess) {
        return Rejection{"status " + hex16(header->status)};
    }
    if (bytes.size() != kHeaderSize + expected.length || header->length != expected.length) {
        return Rejection{"wrong length " + std::to_string(bytes.size()) + " bytes, length field " +
                         std::to_string(header->length) + " (expected " +
                         std::to_string(kHeaderSize + expected.length) + " and " +
                         std::to_string(expected.length) + ")"};
    }
    return *header;
}

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

std::variant<std::uint16_t, Rejection> decodeForceIpAck(std::span<std::uint8_t const> bytes,
                                                        ReqId reqId) {
    auto matched = matchAck(bytes, {kStatusSuccess, kForceIpAckCode, 0, reqId}, AckStatus::Any);
    if (auto* rejection = std::get_if<Rejection>(&matched)) {
        return std::move(*rejection);
    }
    return std::get<AckHeader>(matched).status;
}

}  // namespace QEL_Finder
