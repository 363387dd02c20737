// Dotted-decimal text of IPv4 words kept in network byte order.
#pragma once

#include <cstdint>
#include <string>

// "a.b.c.d" for an address word in network byte order; never fails.
std::string formatIpv4(std::uint32_t networkOrder);
