// The checks a force-IP request and the interface name pass before anything is changed or run.
#pragma once

#include <string>
#include <string_view>

#include "netconfig/interface_config.h"

// Empty when a force-IP request may be applied; otherwise the one-line reason it is refused: a
// static configuration with a zero or non-contiguous mask, an address no interface can have or
// that is its subnet's network or broadcast address, or a gateway that ifup cannot route through
// (not unicast, the address itself, the subnet's broadcast). Gateway 0.0.0.0 means none.
// 255.255.255.255 and 0.0.0.0 are always acceptable.
std::string configRejection(QEL_Finder::InterfaceConfig const& config);

// Why a force-IP request must be refused before anything is changed or run, or empty: the
// configRejection reason, or for a new configuration an unreadable "/etc/network/interfaces" or
// the interface's inet stanza standing in a file that it sources, where a rewrite of the main
// file cannot replace it.
std::string forceIpRefusal(QEL_Finder::InterfaceConfig const& config, std::string const& name);

// True for names of 1..15 characters made of letters, digits, '.', '-', '_' only: safe in the
// "ifup "/"ifdown " command lines and in an ifreq name field.
bool isSafeInterfaceName(std::string_view name);
