// What the handler works with: the responder's parts for the whole run, and one received command.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <span>
#include <string>

#include "gvcp/discovery_ack.h"
#include "gvcp/gvcp_header.h"
#include "gvcp/inbox.h"
#include "net/socket_manager.h"
#include "netconfig/network_configuration.h"

namespace QEL_Finder {

// Owned by the responder; the same for every datagram, so what the handler changes in the record
// and the inbox stays for later ones.
struct Serving {
    DiscoveryAck& record;
    SocketManager& sockets;
    NetworkConfiguration& network;
    Inbox& inbox;  // also takes what a reply socket received
    std::string const& interfaceName;
};

// Lives for one call of the handler.
struct Request {
    Serving& serving;
    sockaddr_in requester;  // also the reply's destination, changed for a broadcast
    CommandHeader header;
    std::span<std::uint8_t const> payload;  // empty when the length field is zero
};

}  // namespace QEL_Finder
