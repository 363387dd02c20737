// Whether the interfaces file already says what a force-IP asks for.
#pragma once

#include <string_view>

#include "netconfig/interface_config.h"

// True when the interface's first inet stanza in the file text says what config asks: dhcp, or
// static with the same address, netmask (dotted, a prefix length, or the address's "/prefix")
// and gateway (none for 0.0.0.0). A restart is never in force; nor is anything when the stanza
// gives one of those options twice.
bool stanzaSays(std::string_view text, std::string_view name,
                QEL_Finder::InterfaceConfig const& config);
