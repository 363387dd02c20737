// Dotted-decimal IPv4 addresses and MAC addresses as the probe reads and prints them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/ipv4_address.h"

namespace gvcp_probe {

using MacAddress = std::array<std::uint8_t, 6>;

// A UDP peer: address in network order, port in host order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// "192.0.2.10:3956".
std::string formatEndpoint(Endpoint const& endpoint);

// Six two-digit hex octets separated by all ':' or all '-', either case; nullopt otherwise.
std::optional<MacAddress> parseMac(std::string_view text);

// Lower-case, colon separated: "00:1a:2b:3c:4d:5e".
std::string formatMac(MacAddress const& mac);

}  // namespace gvcp_probe
