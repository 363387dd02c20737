// Applying a configuration through ifupdown.
#pragma once

#include <string>

#include "netconfig/interface_config.h"

// The result of initNetworkInterface when the interfaces file could not be rewritten (reported on
// standard error): the interface came back up with its old configuration.
inline constexpr int kNotApplied = -1;

// ifdown, rewrite (unless restart only), resolver and IPv6 settings for a static address, ifup.
// 0 restart only, 1 dhcp, 2 static: the kind applied (a failing command does not change it), or
// kNotApplied.
int initNetworkInterface(QEL_Finder::InterfaceConfig& config, std::string name);
