// The stanza texts a force-IP writes for the interface.
#pragma once

#include <string>
#include <string_view>

#include "netconfig/interface_config.h"

// "iface <name> inet dhcp\n"
std::string getDynamicInterfaceDef(std::string_view name);
// "iface <name> inet static" with address, netmask and (when not 0.0.0.0) gateway lines.
std::string getStaticInterfaceDef(QEL_Finder::InterfaceConfig const& config, std::string_view name);
// The stanza a dhcp or static configuration asks for.
std::string interfaceStanza(QEL_Finder::InterfaceConfig const& config, std::string_view name);
