// The serving phase: one datagram at a time from the listening socket to the handler.
#pragma once

#include <string>

#include "gvcp/discovery_ack.h"
#include "net/socket_manager.h"

struct msghdr;
struct sockaddr_in;

// The shape of onPacketArrives, so tests can watch what the loop hands on.
using DatagramHandler = void (*)(QEL_Finder::DiscoveryAck* record,
                                 QEL_Finder::SocketManager* manager, msghdr* message,
                                 unsigned long received, sockaddr_in* requester,
                                 std::string interfaceName);

// Gives the listening socket a 1 s receive time-out and IP_PKTINFO, then receives until a receive
// attempt ends with _running cleared, passing every non-empty datagram (8 header and up to 568
// payload bytes) to handler. A receive error is printed on standard output; an error escaping the
// handler is reported on standard error and the loop goes on. Returns 0, or 1 when the time-out
// cannot be set (after one line on standard error). Does not close the listening handle.
int runPacketLoop(QEL_Finder::SocketManager& manager, int listeningHandle,
                  QEL_Finder::DiscoveryAck& record, std::string const& interfaceName,
                  DatagramHandler handler);
