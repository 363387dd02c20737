#include "net/bound_socket.h"

#include <sys/socket.h>

#include "net/setup_socket.h"

namespace QEL_Finder {

ReplySocket openBoundReplySocket(SocketManager& sockets, sockaddr_in const& local) {
    ReplySocket socket;
    sockaddr_in address = local;
    if (!setupSocket(socket.handle, reinterpret_cast<sockaddr*>(&address), &sockets)) {
        // One reply per request: a bind that keeps failing must not pile up open descriptors.
        if (socket.handle != -1) {
            sockets.closeSocket(socket.handle);
        }
        return {};
    }
    int const on = 1;
    sockets.setsockopt(socket.handle, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    // Bound to the interface's address, the socket would win unicast requests from the listening
    // socket and lose them when it closes. Connected, it receives only from its peer, and the
    // limited broadcast address is never a datagram's source; replies still name their
    // destination. A failed connect costs only that steering, so the reply goes out regardless.
    sockaddr_in nobody = local;
    nobody.sin_addr.s_addr = INADDR_BROADCAST;
    sockets.connectSocket(socket.handle, reinterpret_cast<sockaddr*>(&nobody));
    DatagramBatch batch;
    if (batch.receive(sockets, socket.handle, MSG_DONTWAIT)) {
        socket.takenIn.assign(batch.received().begin(), batch.received().end());
    }
    return socket;
}

}  // namespace QEL_Finder
