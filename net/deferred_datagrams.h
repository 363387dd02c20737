// Datagrams that a reply socket took in before it was connected. The socket lives for one reply,
// so what it queued would be lost when it closes; the packet loop serves them first instead.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "net/socket_manager.h"

namespace QEL_Finder {

struct DeferredDatagram {
    sockaddr_in sender;
    std::vector<std::uint8_t> bytes;  // at most the 576 bytes the packet loop takes
};

// Receives, without waiting, what the handle has queued and keeps it for the packet loop. Stops
// at the first empty receive; keeps at most a socket's worth, the rest is dropped as a full
// receive queue would drop it.
void deferQueuedDatagrams(SocketManager& manager, int handle);

// The oldest kept datagram, removed from the store; nothing when none is waiting.
std::optional<DeferredDatagram> takeDeferredDatagram();

}  // namespace QEL_Finder
