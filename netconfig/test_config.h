// Test helper: an InterfaceConfig from dotted text, as tests and fuzz targets write requests.
#pragma once

#include "base/ipv4_address.h"
#include "netconfig/interface_config.h"

namespace QEL_Finder::testing {

// A fresh record with the three addresses; text that is not an address leaves its word 0.
inline InterfaceConfig configFrom(char const* address, char const* netmask, char const* gateway) {
    return makeInterfaceConfig(parseIpv4(address).value_or(0), parseIpv4(netmask).value_or(0),
                               parseIpv4(gateway).value_or(0));
}

}  // namespace QEL_Finder::testing
