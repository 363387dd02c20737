// The checks a force-IP request and the interface name pass before anything is changed or run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "netconfig/interface_config.h"
#include "netconfig/interfaces_file.h"

// Empty when a force-IP request may be applied; otherwise the one-line reason it is refused: a
// static configuration with a zero or non-contiguous mask, an address no interface can have or
// that is its subnet's network or broadcast address, or a gateway that ifup cannot route through
// (not unicast, the address itself, the subnet's broadcast). Gateway 0.0.0.0 means none.
// 255.255.255.255 and 0.0.0.0 are always acceptable.
std::string configRejection(QEL_Finder::InterfaceConfig const& config);

// Everything a force-IP request is judged on.
struct ForceIpCase {
    QEL_Finder::InterfaceConfig const& config;
    std::uint32_t requester;  // the PC's address, network byte order
    std::string_view interfaceName;
    QEL_Finder::InterfacesFileText const& file;  // "/etc/network/interfaces", read once
};

// Why a force-IP request must be refused before anything is changed or run, or empty: the
// configRejection reason; the requester's own address asked for; or for a new configuration an
// unreadable interfaces file or the interface's inet stanza standing in a file that it sources,
// where a rewrite of the main file cannot replace it.
std::string forceIpRefusal(ForceIpCase const& request);

// True for names of 1..15 characters made of letters, digits, '.', '-', '_' only: safe in the
// "ifup "/"ifdown " command lines and in an ifreq name field.
bool isSafeInterfaceName(std::string_view name);
