// An interface's flags (SIOCGIFFLAGS, SIOCSIFFLAGS): the one wrapper of these ioctls, for the
// start-up check, the link wait and the address lookup.
#pragma once

#include <string_view>
#include <system_error>

#include "base/fd.h"

namespace QEL_Finder {

// A socket to query interfaces through; an empty Fd and the error in ec when none can be opened.
Fd openInterfaceQuery(std::error_code& ec);

// The interface's flags (the name cut to what an ifreq holds); the ioctl's error, or none, with
// flags then untouched.
std::error_code readInterfaceFlags(Fd const& query, std::string_view name, short& flags);

// Sets the interface's flags; the ioctl's error, or none.
std::error_code writeInterfaceFlags(Fd const& query, std::string_view name, short flags);

}  // namespace QEL_Finder
