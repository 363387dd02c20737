#include "base/hex_bytes.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "base/hex_text.h"

std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text) {
    std::string digits;
    std::copy_if(text.begin(), text.end(), std::back_inserter(digits),
                 [](char c) { return c != ' ' && c != ':'; });
    if (digits.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        std::optional<unsigned> const high = hexDigit(digits[i]);
        std::optional<unsigned> const low = hexDigit(digits[i + 1]);
        if (!high || !low) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(*high * 16 + *low));
    }
    return bytes;
}

std::optional<std::array<std::uint8_t, 2>> parseReqId(std::string_view text) {
    std::optional<std::vector<std::uint8_t>> const bytes = parseHexBytes(text);
    if (!bytes || bytes->size() != 2) {
        return std::nullopt;
    }
    return std::array<std::uint8_t, 2>{(*bytes)[0], (*bytes)[1]};
}
