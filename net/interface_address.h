// Finding a network interface's IPv4 address by the interface's name.
#pragma once

#include <cstdint>
#include <string_view>

namespace QEL_Finder {

// An interface's IPv4 address and mask, network byte order.
struct InterfaceAddress {
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
};

// True when entryName is requested itself or one of its address aliases ("eth0:1" for "eth0");
// an empty request matches nothing.
bool interfaceNameMatches(std::string_view entryName, std::string_view requested);

// First non-loopback IPv4 address and mask (network byte order) of the named interface under its
// own label, or else of its first alias ("eth0:1"); false when there is none or the address list
// cannot be read, leaving both outputs untouched.
bool findInterfaceAddress(char const* name, unsigned int& address, unsigned int& mask);

}  // namespace QEL_Finder
