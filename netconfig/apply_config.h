// Applying a configuration through ifupdown.
#pragma once

#include <string>
#include <string_view>

#include "netconfig/interface_config.h"
#include "netconfig/interface_control.h"

// ifdown, rewrite of the stanza in fileText (unless restart only), resolver and IPv6 settings for a
// static address, ifup. The kind applied (a failing command does not change it), or NotApplied when
// the interfaces file could not be rewritten (reported on standard error): the interface then came
// back up with its old configuration.
QEL_Finder::ApplyOutcome initNetworkInterface(QEL_Finder::InterfaceConfig const& config,
                                              std::string name, std::string_view fileText);
