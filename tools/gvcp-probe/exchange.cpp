#include "tools/gvcp-probe/exchange.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <random>

#include "base/ipv4_address.h"

namespace gvcp_probe {

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
    sockaddr_in address = toSockaddr(local);
    if (sockets.bindSocket(handle, reinterpret_cast<sockaddr*>(&address)) != 0) {
        return failed(sockets, "binding socket");
    }
    return handle;
}

std::optional<SocketError> sendDatagram(SocketManager& sockets, int handle, Endpoint to,
                                        std::span<std::uint8_t const> bytes) {
    sockaddr_in const address = toSockaddr(to);
    if (sockets.sendto(handle, reinterpret_cast<char const*>(bytes.data()), bytes.size(), 0,
                       reinterpret_cast<sockaddr const*>(&address), sizeof address) < 0) {
        return failed(sockets, "sending to " + formatEndpoint(to));
    }
    return std::nullopt;
}

std::optional<SocketError> exchange(SocketManager& sockets, int handle, Endpoint to,
                                    std::span<std::uint8_t const> request, Deadline deadline,
                                    AnswerHandler const& onAnswer, WaitHandler const& onWait) {
    if (auto error = sendDatagram(sockets, handle, to, request)) {
        return error;
    }
    auto const sent = std::chrono::steady_clock::now();
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
        unsigned int fromLength = sizeof from;
        long const received = sockets.recvfrom(handle, buffer.data(), buffer.size(), 0,
                                               reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (received < 0) {
            // A time-out ends at the deadline check; ECONNREFUSED, a port-unreachable answer to
            // an earlier unicast request, only means that no device listens there.
            if (errno == EAGAIN || errno == EINTR || errno == ECONNREFUSED) {
                continue;
            }
            return failed(sockets, "receiving reply");
        }
        std::span<std::uint8_t const> const answer(buffer.data(),
                                                   static_cast<std::size_t>(received));
        if (onAnswer(answer, Endpoint{from.sin_addr.s_addr, ntohs(from.sin_port)}) ==
            Wanted::Enough) {
            return std::nullopt;
        }
    }
}

QEL_Finder::ReqId newReqId() {
    std::random_device source;
    unsigned const id = std::uniform_int_distribution<unsigned>(1, 0xFFFF)(source);
    return QEL_Finder::ReqId{static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id)};
}

}  // namespace gvcp_probe
