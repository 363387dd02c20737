// The datagram handler: key check, dispatch, discovery, force-IP and not-implemented replies.
#pragma once

#include <string>

#include "gvcp/discovery_ack.h"
#include "net/socket_manager.h"

struct msghdr;
struct sockaddr_in;

// Handles one received datagram (header in iov[0], payload in iov[1]) and sends any reply
// itself, reporting its own failures.
void onPacketArrives(QEL_Finder::DiscoveryAck* record, QEL_Finder::SocketManager* manager,
                     msghdr* message, unsigned long received, sockaddr_in* requester,
                     std::string interfaceName);
