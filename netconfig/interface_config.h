// One requested IPv4 configuration: a shared block of five 32-bit words with views into it.
// Address 255.255.255.255 means dhcp, 0.0.0.0 means restart only; gateway 0.0.0.0 means none.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>

#include "base/ipv4_address.h"

namespace QEL_Finder {

inline constexpr std::uint32_t kDhcpAddress =
    kLimitedBroadcast;                            // the address word asking for dhcp
inline constexpr std::uint32_t kRestartOnly = 0;  // the address word asking for a restart alone

struct InterfaceConfig {
    std::shared_ptr<std::uint32_t[]> storage;
    std::uint32_t* address = nullptr;  // word 0, network byte order
    std::uint32_t* netmask = nullptr;  // word 1
    std::uint32_t* gateway = nullptr;  // word 2
    std::uint8_t* mac = nullptr;       // bytes 14..19 of the block, first octet first
};

// A record with its own zeroed block and all four views set.
InterfaceConfig makeInterfaceConfig();

// "Address: ", "Netmask: ", "Gateway: " and "MAC:     " lines; no line end after the last.
std::ostream& operator<<(std::ostream& out, InterfaceConfig const& config);

}  // namespace QEL_Finder
