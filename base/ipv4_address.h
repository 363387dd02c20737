// IPv4 addresses as the daemon and the probe keep them: words in network byte order, and their
// dotted-decimal text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// 255.255.255.255, the same word in either byte order.
inline constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFF;

// "a.b.c.d" for an address word in network byte order; never fails.
std::string formatIpv4(std::uint32_t networkOrder);

// Four decimal octets 0-255 ("192.0.2.10") to a network-order word; nullopt for anything else,
// including leading zeros ("010.0.0.1"), which some tools would read as octal.
std::optional<std::uint32_t> parseIpv4(std::string_view text);
