// What the handler works with: the responder's parts for the whole run, and one received command.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gvcp/discovery_ack.h"
#include "gvcp/gvcp_header.h"
#include "net/datagram.h"
#include "net/socket_manager.h"
#include "netconfig/interface_control.h"

namespace QEL_Finder {

// The last force-IP carried out. A PC that missed its acknowledge (it gave up during a long dhcp
// wait) sends the same request again; run again, every copy would restart the interface anew.
struct LastForceIp {
    sockaddr_in requester;  // address and port it came from
    ReqId reqId;
    // Where the acknowledge went (the requester, or broadcast at its port); none for a restart
    // only or a failed rewrite.
    std::optional<sockaddr_in> acknowledgedTo;
    std::uint32_t sentFrom;  // the interface's address the acknowledge left from; 0: none left
    // When a dhcp request was carried out, for copies of it that a PC sent another way.
    std::optional<std::chrono::steady_clock::time_point> dhcpDoneAt{};
};

// Owned by the responder; the same for every datagram, so what the handler changes in the record
// stays for later ones.
struct Serving {
    DiscoveryAck& record;
    SocketManager& sockets;
    InterfaceControl& interface;
    std::string const& interfaceName;
    std::optional<LastForceIp> const& lastForceIp;  // what the responder remembers
    // What reply sockets received before they were ready: the listening socket's requests, for
    // the responder to serve after this one.
    std::vector<Datagram>& takenIn;
};

// Lives for one call of the handler.
struct Request {
    Serving& serving;
    sockaddr_in requester;
    CommandHeader header;
    std::span<std::uint8_t const> payload;  // empty when the length field is zero
};

}  // namespace QEL_Finder
