// Hexadecimal text: the value of one digit, for every reader of hex text (MAC addresses, test
// bytes), and the one form 16-bit codes and ids are shown in.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

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

// "0x0a05": four lower-case digits, as codes, statuses and request ids are shown.
inline std::string hex16(std::uint16_t value) {
    char text[8];
    static_cast<void>(std::snprintf(text, sizeof text, "0x%04x", value));
    return text;
}

// Lower-case, colon separated: "00:1a:2b:3c:4d:5e", as MAC addresses are shown everywhere.
inline std::string formatMac(std::array<std::uint8_t, 6> const& mac) {
    char text[18];
    static_cast<void>(std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0],
                                    mac[1], mac[2], mac[3], mac[4], mac[5]));
    return text;
}
