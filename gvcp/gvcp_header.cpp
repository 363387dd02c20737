#include "gvcp/gvcp_header.h"

#include "gvcp/byte_order.h"

namespace QEL_Finder {

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

}  // namespace QEL_Finder
