#include "gvcp/ack_match.h"

#include <optional>
#include <utility>

#include "base/hex_text.h"
#include "gvcp/byte_order.h"

namespace QEL_Finder {

namespace {

std::string hexId(ReqId id) {
    return hex16(loadBe16(id.data()));
}

}  // namespace

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

std::variant<std::uint16_t, Rejection> decodeForceIpAck(std::span<std::uint8_t const> bytes,
                                                        ReqId reqId) {
    auto matched = matchAck(bytes, {kStatusSuccess, kForceIpAckCode, 0, reqId}, AckStatus::Any);
    if (auto* rejection = std::get_if<Rejection>(&matched)) {
        return std::move(*rejection);
    }
    return std::get<AckHeader>(matched).status;
}

}  // namespace QEL_Finder
