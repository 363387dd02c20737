// Rewriting the served interface's stanza in "/etc/network/interfaces".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "netconfig/interface_config.h"

// ifupdown's configuration, the one file the daemon rewrites.
inline constexpr char kInterfacesFile[] = "/etc/network/interfaces";

// An interfaces file and the names a rewrite and the start-up recovery use beside it.
struct InterfacesFiles {
    std::filesystem::path config;
    std::filesystem::path temporary;  // written and renamed over config, never left behind
    std::filesystem::path backup;     // the configuration before the last rewrite
};

// file, file + ".tmp", file + ".bak"; when file is a symbolic link (a read-only root keeps the
// file on a data partition), the same names at its final target, so a rewrite keeps the link and
// replaces the file that persists. A link that cannot be followed gives file's own names.
InterfacesFiles interfacesFilesAt(std::filesystem::path const& file);

// "iface <name> inet dhcp\n"
std::string getDynamicInterfaceDef(std::string_view name);
// "iface <name> inet static" with address, netmask and (when not 0.0.0.0) gateway lines.
std::string getStaticInterfaceDef(QEL_Finder::InterfaceConfig const& config, std::string_view name);
// Replaces the interface's inet stanza (dhcp when the address is 255.255.255.255), keeping the
// previous file as ".bak". False, with the configuration file untouched, after one line on
// standard error when anything fails.
bool update_interfaces_file(QEL_Finder::InterfaceConfig& config, std::string name);

// The same rewrite of the interfaces file at any path (tests use temporary directories): uses
// file + ".tmp" and keeps file + ".bak". False, with the file untouched, after one line on
// standard error when anything fails.
bool updateInterfacesFileAt(std::filesystem::path const& file,
                            QEL_Finder::InterfaceConfig const& config, std::string_view name);
