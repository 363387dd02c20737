// Waiting for an interface that has just been restarted to report a running link.
#pragma once

#include <string>

namespace QEL_Finder {

// Polls the interface's IFF_RUNNING flag every millisecond for a little more than 5 seconds;
// prints "Link is ready" (then pauses 0.1 s) or "Waiting for link timeout". A failed flag read
// is reported on standard error ("SIOCGIFFLAGS failed: " and the system's text) and ends the
// wait; without a probe socket it returns at once, silently.
void waitForLink(std::string const& interfaceName);

}  // namespace QEL_Finder
