#include "service/packet_loop.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <iostream>

#include "base/process_state.h"
#include "net/deferred_datagrams.h"

namespace {

constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kPayloadBytes = 568;
constexpr std::size_t kControlBytes = 512;

// Everything one receive writes into, set up once and reused for every datagram.
struct ReceiveBuffers {
    sockaddr_in sender{};
    std::array<std::uint8_t, kHeaderBytes> header{};
    std::array<std::uint8_t, kPayloadBytes> payload{};
    alignas(cmsghdr) std::array<std::uint8_t, kControlBytes> control{};
    std::array<iovec, 2> data{};
    msghdr message{};

    ReceiveBuffers() {
        data[0] = {header.data(), header.size()};
        data[1] = {payload.data(), payload.size()};
        message.msg_name = &sender;
        message.msg_namelen = sizeof(sender);
        message.msg_iov = data.data();
        message.msg_iovlen = data.size();
        message.msg_control = control.data();
        message.msg_controllen = control.size();
    }
    ReceiveBuffers(ReceiveBuffers const&) = delete;
    ReceiveBuffers& operator=(ReceiveBuffers const&) = delete;

    // The kernel shrinks the name and control lengths to what it wrote and sets flags; the
    // handler reads payload bytes past a short datagram, which must read as zero.
    void prepareForReceive() {
        payload.fill(0);
        message.msg_namelen = sizeof(sender);
        message.msg_controllen = control.size();
        message.msg_flags = 0;
    }

    // Lays out a datagram a reply socket took in as a receive would have; its byte count.
    unsigned long place(QEL_Finder::DeferredDatagram const& datagram) {
        sender = datagram.sender;
        std::size_t const headerBytes = std::min(datagram.bytes.size(), header.size());
        std::copy_n(datagram.bytes.begin(), headerBytes, header.begin());
        std::copy_n(datagram.bytes.begin() + static_cast<long>(headerBytes),
                    std::min(datagram.bytes.size() - headerBytes, payload.size()), payload.begin());
        message.msg_controllen = 0;
        return datagram.bytes.size();
    }
};

void handleDatagram(DatagramHandler handler, QEL_Finder::DiscoveryAck& record,
                    QEL_Finder::SocketManager& manager, ReceiveBuffers& buffers,
                    unsigned long received, std::string const& interfaceName) {
    if (Verbose) {
        std::cout << "Received message: " << received << std::endl;
    }
    // One bad datagram must not take the device off the network: whatever escapes the handler
    // abandons this datagram only.
    try {
        handler(&record, &manager, &buffers.message, received, &buffers.sender, interfaceName);
    } catch (std::exception const& error) {
        std::cerr << "Error while handling a datagram: " << error.what() << std::endl;
        return;
    } catch (...) {
        std::cerr << "Error while handling a datagram: unknown error" << std::endl;
        return;
    }
    if (Verbose) {
        std::cout << "Message processing done" << std::endl;
    }
}

}  // namespace

int runPacketLoop(QEL_Finder::SocketManager& manager, int listeningHandle,
                  QEL_Finder::DiscoveryAck& record, std::string const& interfaceName,
                  DatagramHandler handler) {
    timeval const timeout{1, 0};
    if (manager.setsockopt(listeningHandle, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) ==
        -1) {
        std::cerr << "Setting the timout on a socket: " << manager.getError() << std::endl;
        return 1;
    }
    if (Verbose) {
        std::cout << "Starting package processing loop" << std::endl;
    }
    int const enable = 1;
    manager.setsockopt(listeningHandle, IPPROTO_IP, IP_PKTINFO, &enable, sizeof(enable));

    ReceiveBuffers buffers;
    do {
        buffers.prepareForReceive();
        unsigned long received = 0;
        // What a reply socket took in came before anything still queued on the listening one.
        if (auto const deferred = QEL_Finder::takeDeferredDatagram()) {
            received = buffers.place(*deferred);
        } else if (!manager.recvmsg(listeningHandle, &buffers.message, 0, &received)) {
            std::cout << manager.getError() << std::endl;
        }
        if (received > 0) {
            handleDatagram(handler, record, manager, buffers, received, interfaceName);
        }
    } while (_running.load(std::memory_order_acquire));
    return 0;
}
