#include "base/mac_text.h"

#include "base/hex_text.h"

std::optional<std::array<std::uint8_t, 6>> parseMac(std::string_view text) {
    // "xx:xx:xx:xx:xx:xx", the separator of the first pair throughout.
    if (text.size() != 17 || (text[2] != ':' && text[2] != '-')) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 6> mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        std::optional<unsigned> const high = hexDigit(text[i * 3]);
        std::optional<unsigned> const low = hexDigit(text[i * 3 + 1]);
        if (!high || !low || (i > 0 && text[i * 3 - 1] != text[2])) {
            return std::nullopt;
        }
        mac[i] = static_cast<std::uint8_t>(*high * 16 + *low);
    }
    return mac;
}
