// Preparation of port-3956 sockets: the listening socket and the per-reply socket.
#pragma once

#include <string>

#include "net/socket_manager.h"

struct sockaddr;

namespace QEL_Finder {
struct DiscoveryAck;
}

// Creates the socket when handle is -1 (writing the new handle back), enables SO_BROADCAST and
// SO_REUSEADDR and binds it. False after the cause is reported on standard error.
bool setupSocket(int& handle, sockaddr* address, QEL_Finder::SocketManager* manager);

// Refreshes the record's current address, mask and gateway and returns a socket bound to the
// interface's address on port 3956, or -1 after reporting why (no descriptor is left open).
int openReplySocket(QEL_Finder::DiscoveryAck* record, QEL_Finder::SocketManager* manager,
                    std::string& interfaceName);
