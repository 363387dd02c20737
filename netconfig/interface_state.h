// Readers of the served interface's present state.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// MAC address from "/sys/class/net/<name>/address"; six zero octets (after one line on standard
// error when the file is missing or malformed) when it cannot be read.
std::array<std::uint8_t, 6> getMacFromInterfaceName(std::string_view name);

// True when "/etc/network/interfaces" configures the interface's inet stanza by dhcp.
bool isDHCPEnabled(std::string name);
