// The host's default IPv4 gateway, as iproute2 reports it.
#pragma once

#include <string_view>

namespace QEL_Finder {

// Gateway (network byte order) of a "default via <address> dev ..." route line; 0 for any other
// line or when the address text is not an IPv4 address.
unsigned int gatewayFromRouteLine(std::string_view line);

// True for the first line of "ip route show" that decides the gateway.
bool isDefaultRouteLine(std::string_view line);

// Gateway of the first default route printed by "ip route show"; 0 when the command cannot be
// run, prints no default route, or that route has no usable address.
unsigned int readDefaultGateway();

}  // namespace QEL_Finder
