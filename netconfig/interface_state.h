// Readers of the served interface's present state.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// MAC address from "/sys/class/net/<name>/address"; six zero octets (after one line on standard
// error when the file is missing or malformed) when it cannot be read.
std::array<std::uint8_t, 6> getMacFromInterfaceName(std::string_view name);

// True when an inet stanza of the interface, in "/etc/network/interfaces" or a file it sources,
// configures it by dhcp.
bool isDHCPEnabled(std::string name);

// The same two readers on any path, so that tests run on temporary directories.
// Six octets from the sysfs address file at that path; six zeros when the file is empty, and six
// zeros after one line on standard error when it is missing or malformed.
std::array<std::uint8_t, 6> readMacAddressFile(std::filesystem::path const& file);

// True when an inet stanza of the interface, in the interfaces file at that path or a file it
// sources, configures it by dhcp; false (after one line on standard error) when the file cannot
// be opened.
bool configuresDhcpAt(std::filesystem::path const& file, std::string_view name);
