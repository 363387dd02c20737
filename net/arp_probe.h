// Probing whether another host on the link holds an IPv4 address, by ARP (RFC 5227).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "net/arp_frame.h"

namespace QEL_Finder {

// What a probe found: a holder's MAC, none, or why it could not run.
struct AddressProbe {
    std::optional<MacAddress> holder;  // the first host seen holding or probing for the address
    std::string error;                 // non-empty: no probe went out or none could be heard
};

// The short probe that keeps a force-IP's acknowledge within the PC tools' 2.5 s: two probes
// 200 ms apart, listening 500 ms from the first.
struct ProbeTiming {
    int count = 2;
    std::chrono::milliseconds interval{200};
    std::chrono::milliseconds listen{500};
};

// Broadcasts ARP probes for address (network byte order) from own on the named interface and
// listens for a host that holds it, returning at the first one. The error names the step that
// failed (an interface without a link fails the send) with the system's text.
AddressProbe probeAddressWithArp(char const* interfaceName, MacAddress const& own,
                                 std::uint32_t address, ProbeTiming const& timing = {});

}  // namespace QEL_Finder
