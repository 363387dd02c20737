#include "base/ipv4_address.h"

#include <arpa/inet.h>

#include <array>

std::string formatIpv4(std::uint32_t networkOrder) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &networkOrder, text, sizeof text);
    return text;
}

std::optional<std::uint32_t> parseIpv4(std::string_view text) {
    std::array<std::uint8_t, 4> octets{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
        std::size_t const start = pos;
        unsigned value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
        }
        std::size_t const digits = pos - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) {
            return std::nullopt;
        }
        octets[i] = static_cast<std::uint8_t>(value);
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    std::uint32_t const hostOrder = (std::uint32_t{octets[0]} << 24) |
                                    (std::uint32_t{octets[1]} << 16) |
                                    (std::uint32_t{octets[2]} << 8) | std::uint32_t{octets[3]};
    return htonl(hostOrder);
}
