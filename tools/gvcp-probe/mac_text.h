// MAC addresses as the probe reads and prints them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gvcp_probe {

using MacAddress = std::array<std::uint8_t, 6>;

// Six two-digit hex octets separated by all ':' or all '-', either case; nullopt otherwise.
std::optional<MacAddress> parseMac(std::string_view text);

// Lower-case, colon separated: "00:1a:2b:3c:4d:5e".
std::string formatMac(MacAddress const& mac);

}  // namespace gvcp_probe
