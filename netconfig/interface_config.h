// One requested IPv4 configuration: a shared block of five 32-bit words with views into it, and
// what kind of force-IP it asks for. Address 255.255.255.255 means dhcp, 0.0.0.0 means restart
// only; gateway 0.0.0.0 means none.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>

#include "base/ipv4_address.h"

namespace QEL_Finder {

inline constexpr std::uint32_t kDhcpAddress =
    kLimitedBroadcast;                            // the address word asking for dhcp
inline constexpr std::uint32_t kRestartOnly = 0;  // the address word asking for a restart alone

// What a force-IP asks the interface for, told by its address word.
enum class ForceIpKind {
    Restart,  // the interface restarted with the configuration it has
    Dhcp,
    Static,
};

struct InterfaceConfig {
    ForceIpKind kind = ForceIpKind::Restart;
    std::shared_ptr<std::uint32_t[]> storage;
    std::uint32_t* address = nullptr;  // word 0, network byte order
    std::uint32_t* netmask = nullptr;  // word 1
    std::uint32_t* gateway = nullptr;  // word 2
    std::uint8_t* mac = nullptr;       // bytes 14..19 of the block, first octet first
};

// A record with its own zeroed block and all four views set: a restart.
InterfaceConfig makeInterfaceConfig();

// A record holding the three words (network byte order), its kind told by the address word: the
// one place where that word is read for its meaning.
InterfaceConfig makeInterfaceConfig(std::uint32_t address, std::uint32_t netmask,
                                    std::uint32_t gateway);

// "Address: ", "Netmask: ", "Gateway: " and "MAC:     " lines; no line end after the last.
std::ostream& operator<<(std::ostream& out, InterfaceConfig const& config);

}  // namespace QEL_Finder
