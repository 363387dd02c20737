// The start-up fill of the one discovery record.
#pragma once

#include <string>

#include "gvcp/discovery_ack.h"

// Fills the record from the interface's MAC address and dhcp state and the device identity,
// printing the untruncated serial number and model name when verbose. Never fails: unreadable
// sources give their neutral values.
void prepareDiscoveryAck(QEL_Finder::DiscoveryAck& record, std::string const& interfaceName);
