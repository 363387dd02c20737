// The serving phase: what the loop works with, built once in main, and the loop itself.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/watchdog.h"
#include "gvcp/discovery_ack.h"
#include "gvcp/request.h"
#include "net/datagram.h"
#include "net/socket_manager.h"
#include "netconfig/interface_control.h"
#include "service/inbox.h"

class Responder {
  public:
    Responder(std::unique_ptr<QEL_Finder::SocketManager> sockets,
              std::unique_ptr<QEL_Finder::InterfaceControl> interface,
              QEL_Finder::DiscoveryAck const& record, std::string interfaceName);
    Responder(Responder const&) = delete;
    Responder& operator=(Responder const&) = delete;

    // Gives the listening socket a 1 s receive time-out and IP_PKTINFO, then reads what it has
    // queued, in batches, into the inbox and serves one request from the inbox after each read,
    // feeding watchdog and telling systemd of each force-IP carried out, until a read ends with
    // _running cleared. A receive error is printed on standard output; an error escaping the
    // handler is reported on standard error and the loop goes on. Returns 0, or 1 when the
    // time-out cannot be set (after one line on standard error). Does not close the handle.
    int serve(int listeningHandle, Watchdog& watchdog);

    QEL_Finder::SocketManager& sockets() { return *sockets_; }

  private:
    void handle(QEL_Finder::Datagram const& datagram);
    // True for a datagram that came in on the served interface (its aliases and link-local
    // address included) or on loopback, or whose arrival is unknown.
    bool cameOnServedInterface(QEL_Finder::Datagram const& datagram);
    // Reads batches into the inbox until one comes back short (the first with flags, as for
    // recvmmsg; the rest without waiting). A receive error is printed and ends the reading.
    void takeQueued(int listeningHandle, int flags);

    std::unique_ptr<QEL_Finder::SocketManager> sockets_;
    std::unique_ptr<QEL_Finder::InterfaceControl> interface_;
    QEL_Finder::DiscoveryAck record_;
    std::string const interfaceName_;
    QEL_Finder::Inbox inbox_;
    std::optional<QEL_Finder::LastForceIp> lastForceIp_;
    std::vector<QEL_Finder::Datagram> takenIn_;  // by reply sockets, for the inbox
    QEL_Finder::Serving serving_;
    std::unique_ptr<QEL_Finder::DatagramBatch> batch_;  // 20 KiB: kept off the stack
    unsigned int servedIndex_ = 0;
    unsigned int loopbackIndex_ = 0;
    std::chrono::steady_clock::time_point servedIndexRead_;
    // Set by whatever was served, which may have restarted the interface; the next datagram from
    // elsewhere then looks the index up again at once.
    bool servedIndexMayHaveMoved_ = true;
};
