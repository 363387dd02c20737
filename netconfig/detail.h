// Path-taking forms of the file readers and of the rewrite, so that tests run on temporary
// directories; the public functions pass the fixed system paths.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "netconfig/interface_config.h"

namespace detail {

// Six octets from a sysfs address file; six zeros when the file is empty, and six zeros after
// one line on standard error when it is missing or malformed.
std::array<std::uint8_t, 6> readMacAddress(std::filesystem::path const& file);

// True when the interfaces file at that path configures the interface's inet stanza by dhcp;
// false (after one line on standard error) when it cannot be opened.
bool configuresDhcp(std::filesystem::path const& file, std::string_view name);

// Rewrites the interface's stanza in the file, using file + ".tmp" and keeping file + ".bak".
// False, with the file untouched, after one line on standard error when anything fails.
bool updateInterfacesFile(std::filesystem::path const& file,
                          QEL_Finder::InterfaceConfig const& config, std::string_view name);

}  // namespace detail
