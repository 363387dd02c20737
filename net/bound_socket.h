// The socket each acknowledge is sent from, bound to the interface's own address.
#pragma once

#include <netinet/in.h>

#include <vector>

#include "net/datagram.h"
#include "net/socket_manager.h"

namespace QEL_Finder {

struct ReplySocket {
    int handle = -1;  // -1: none could be opened
    // Requests the socket received between its bind and its connect, oldest first: they are the
    // listening socket's to serve, and would be lost when the reply socket closes.
    std::vector<Datagram> takenIn;
};

// A UDP socket bound to local (address and port) with SO_BROADCAST, SO_REUSEADDR and
// IP_PKTINFO, receiving from nobody. Handle -1 after setupSocket has reported why; no descriptor
// is then left open.
ReplySocket openBoundReplySocket(SocketManager& sockets, sockaddr_in const& local);

}  // namespace QEL_Finder
