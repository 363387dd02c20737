// One received command as the handler's branches see it.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <span>
#include <string>

#include "gvcp/discovery_ack.h"
#include "gvcp/gvcp_header.h"
#include "net/socket_manager.h"

namespace QEL_Finder {

// Lives for one call of the handler.
struct Request {
    DiscoveryAck* record;
    SocketManager* manager;
    sockaddr_in* requester;  // also the reply's destination, changed in place for a broadcast
    std::string& interfaceName;
    CommandHeader header;
    std::span<std::uint8_t const> payload;  // empty when the length field is zero
};

}  // namespace QEL_Finder
