#include "gvcp/exchange.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <random>

#include "base/ipv4_address.h"
#include "net/control_message.h"

namespace QEL_Finder {

namespace {

// Larger than any UDP datagram, so nothing a device sends is cut.
constexpr std::size_t kReceiveBufferSize = 65536;

SocketError failed(SocketManager& sockets, std::string const& what) {
    return what + ": " + sockets.getError();
}

sockaddr_in toSockaddr(Endpoint endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = endpoint.address;
    address.sin_port = htons(endpoint.port);
    return address;
}

}  // namespace

std::string formatEndpoint(Endpoint const& endpoint) {
    return formatIpv4(endpoint.address) + ':' + std::to_string(endpoint.port);
}

std::variant<int, SocketError> openUdpSocket(SocketManager& sockets, Endpoint local) {
    int const handle = sockets.getSocketUDP();
    if (handle < 0) {
        return failed(sockets, "creating socket");
    }
    int const on = 1;
    if (sockets.setsockopt(handle, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        return failed(sockets, "enabling broadcast");
    }
    if (sockets.setsockopt(handle, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
        return failed(sockets, "asking for packet information");
    }
    sockaddr_in address = toSockaddr(local);
    if (sockets.bindSocket(handle, reinterpret_cast<sockaddr*>(&address)) != 0) {
        return failed(sockets, "binding socket");
    }
    return handle;
}

// The socket stays bound to the wildcard address, so that a device's broadcast answer still
// reaches it; the interface and source of each request travel as packet information instead.
std::optional<SocketError> sendDatagram(SocketManager& sockets, int handle, Endpoint to,
                                        std::span<std::uint8_t const> bytes, Via via) {
    sockaddr_in address = toSockaddr(to);
    iovec data{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    msghdr message{};
    message.msg_name = &address;
    message.msg_namelen = sizeof address;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    PacketInfoControl control;
    if (via.interfaceIndex != 0) {
        in_pktinfo info{};
        info.ipi_ifindex = via.interfaceIndex;
        info.ipi_spec_dst.s_addr = via.source;
        attachPacketInfo(message, control, info);
    }
    if (sockets.sendmsg(handle, &message, 0) < 0) {
        return failed(sockets, "sending to " + formatEndpoint(to));
    }
    return std::nullopt;
}

std::optional<SocketError> collectAnswers(SocketManager& sockets, int handle,
                                          std::chrono::steady_clock::time_point sent,
                                          Deadline deadline, AnswerHandler const& onAnswer,
                                          WaitHandler const& onWait) {
    long secondsTold = 0;
    // Left unfilled: each request of a benchmark run comes through here.
    std::array<std::uint8_t, kReceiveBufferSize> buffer;
    for (;;) {
        auto const now = std::chrono::steady_clock::now();
        Deadline wakeUp = deadline;
        if (onWait) {
            long const seconds = std::chrono::floor<std::chrono::seconds>(now - sent).count();
            if (seconds > secondsTold) {
                secondsTold = seconds;
                onWait(seconds);
            }
            wakeUp = std::min(deadline, sent + std::chrono::seconds(secondsTold + 1));
        }
        if (now >= deadline) {
            return std::nullopt;
        }
        // Rounded up, and never 0 (wakeUp is later than now), which would wait for ever.
        auto const left = std::chrono::ceil<std::chrono::microseconds>(wakeUp - now).count();
        timeval const wait{left / 1000000, left % 1000000};
        if (sockets.setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0) {
            return failed(sockets, "waiting for replies");
        }
        sockaddr_in from{};
        iovec data{buffer.data(), buffer.size()};
        PacketInfoControl control{};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control.bytes;
        message.msg_controllen = sizeof control.bytes;
        unsigned long received = 0;
        if (!sockets.recvmsg(handle, &message, 0, &received)) {
            // ECONNREFUSED, a port-unreachable answer to an earlier unicast request, only means
            // that no device listens there.
            if (errno == ECONNREFUSED) {
                continue;
            }
            return failed(sockets, "receiving reply");
        }
        // A time-out or a signal leaves the sender unset; the deadline check ends the wait.
        if (from.sin_family != AF_INET) {
            continue;
        }
        int const index = sockets.getInterfaceIndex(&message);
        Arrival const arrival{Endpoint{from.sin_addr.s_addr, ntohs(from.sin_port)},
                              index < 0 ? 0 : index};
        if (onAnswer(std::span<std::uint8_t const>(buffer.data(), received), arrival) ==
            Wanted::Enough) {
            return std::nullopt;
        }
    }
}

std::optional<SocketError> exchange(SocketManager& sockets, int handle, Endpoint to,
                                    std::span<std::uint8_t const> request, Deadline deadline,
                                    AnswerHandler const& onAnswer, WaitHandler const& onWait) {
    if (auto error = sendDatagram(sockets, handle, to, request)) {
        return error;
    }
    return collectAnswers(sockets, handle, std::chrono::steady_clock::now(), deadline, onAnswer,
                          onWait);
}

ReqId newReqId() {
    std::random_device source;
    unsigned const id = std::uniform_int_distribution<unsigned>(1, 0xFFFF)(source);
    return reqIdOf(static_cast<std::uint16_t>(id));
}

}  // namespace QEL_Finder
