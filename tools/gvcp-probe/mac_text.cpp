#include "tools/gvcp-probe/mac_text.h"

#include <cstdio>

#include "base/hex_digit.h"

namespace gvcp_probe {

std::optional<MacAddress> parseMac(std::string_view text) {
    // "xx:xx:xx:xx:xx:xx" is exactly 17 characters.
    if (text.size() != 17) {
        return std::nullopt;
    }
    char const separator = text[2];
    if (separator != ':' && separator != '-') {
        return std::nullopt;
    }
    MacAddress mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        std::size_t const at = i * 3;
        if (i > 0 && text[at - 1] != separator) {
            return std::nullopt;
        }
        std::optional<unsigned> const high = hexDigit(text[at]);
        std::optional<unsigned> const low = hexDigit(text[at + 1]);
        if (!high || !low) {
            return std::nullopt;
        }
        mac[i] = static_cast<std::uint8_t>(*high * 16 + *low);
    }
    return mac;
}

std::string formatMac(MacAddress const& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

}  // namespace gvcp_probe
