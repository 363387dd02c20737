// The socket each acknowledge is sent from.
#pragma once

#include <string>

#include "net/socket_manager.h"

namespace QEL_Finder {
struct DiscoveryAck;
}

// Refreshes the record's current address, mask and gateway and returns a socket bound to the
// interface's address on port 3956, or -1 after reporting why (no descriptor is left open).
int openReplySocket(QEL_Finder::DiscoveryAck* record, QEL_Finder::SocketManager* manager,
                    std::string& interfaceName);
