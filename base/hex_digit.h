// The value of one hexadecimal digit, for every reader of hex text (MAC addresses, test bytes).
#pragma once

#include <optional>

// 0-15 for '0'-'9', 'a'-'f' and 'A'-'F'; nullopt for any other character.
constexpr std::optional<unsigned> hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<unsigned>(c - 'a' + 10);
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<unsigned>(c - 'A' + 10);
    }
    return std::nullopt;
}
