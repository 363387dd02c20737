// What systemd shows about the daemon: when it serves, what it serves, when it stops.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "gvcp/discovery_ack.h"
#include "net/interface_address.h"

namespace QEL_Finder {

// "eth0 192.0.2.10/24 static" (the address and its prefix), with "; last force-IP from 192.0.2.1"
// behind it after one; "eth0 no IPv4 address, dhcp" while the interface has none. The mode is the
// record's.
std::string servingStatus(std::string_view interfaceName, std::optional<InterfaceAddress> address,
                          std::uint32_t ipConfigCurrent,
                          std::optional<std::uint32_t> lastForceIpFrom);

// Tells systemd the daemon serves (READY=1) and what (STATUS=, the interface's address read now).
// A failure is one line on standard error; the daemon goes on without systemd knowing.
void reportServing(std::string const& interfaceName, DiscoveryAck const& record);

// After a force-IP from requester (network byte order) was applied: the new status line.
void reportForceIpApplied(std::string const& interfaceName, DiscoveryAck const& record,
                          std::uint32_t requester);

// Tells systemd the daemon is stopping (STOPPING=1).
void reportStopping();

}  // namespace QEL_Finder
