// Dotted-decimal IPv4 addresses and MAC addresses as the probe reads and prints them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gvcp_probe {

using MacAddress = std::array<std::uint8_t, 6>;

// A UDP peer: address in network order, port in host order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// Four decimal octets 0-255 ("192.0.2.10") to a network-order value; nullopt for anything else,
// including leading zeros ("010.0.0.1"), which some tools would read as octal.
std::optional<std::uint32_t> parseIpv4(std::string_view text);

// A network-order address as dotted decimal.
std::string formatIpv4(std::uint32_t networkOrder);

// "192.0.2.10:3956".
std::string formatEndpoint(Endpoint const& endpoint);

// Six two-digit hex octets separated by all ':' or all '-', either case; nullopt otherwise.
std::optional<MacAddress> parseMac(std::string_view text);

// Lower-case, colon separated: "00:1a:2b:3c:4d:5e".
std::string formatMac(MacAddress const& mac);

}  // namespace gvcp_probe
