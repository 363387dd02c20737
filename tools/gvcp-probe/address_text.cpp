#include "tools/gvcp-probe/address_text.h"

#include <arpa/inet.h>

#include <cstdio>

namespace gvcp_probe {

namespace {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

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

std::string formatIpv4(std::uint32_t networkOrder) {
    std::uint32_t const h = ntohl(networkOrder);
    return std::to_string(h >> 24) + '.' + std::to_string((h >> 16) & 0xFF) + '.' +
           std::to_string((h >> 8) & 0xFF) + '.' + std::to_string(h & 0xFF);
}

std::string formatEndpoint(Endpoint const& endpoint) {
    return formatIpv4(endpoint.address) + ':' + std::to_string(endpoint.port);
}

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
        int const high = hexDigitValue(text[at]);
        int const low = hexDigitValue(text[at + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
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
