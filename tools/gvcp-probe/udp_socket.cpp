#include "tools/gvcp-probe/udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

namespace gvcp_probe {

namespace {

SocketError lastError(char const* what) {
    return SocketError{std::string(what) + ": " + std::strerror(errno)};
}

sockaddr_in toSockaddr(Endpoint endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = endpoint.address;
    address.sin_port = htons(endpoint.port);
    return address;
}

}  // namespace

std::variant<UdpSocket, SocketError> UdpSocket::open(Endpoint local) {
    int const fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        return lastError("creating socket");
    }
    UdpSocket socket(fd);
    int const on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        return lastError("enabling broadcast");
    }
    sockaddr_in const address = toSockaddr(local);
    if (::bind(fd, reinterpret_cast<sockaddr const*>(&address), sizeof address) != 0) {
        return lastError("binding socket");
    }
    return socket;
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

UdpSocket::~UdpSocket() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

Endpoint UdpSocket::localEndpoint() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return {};
    }
    return Endpoint{address.sin_addr.s_addr, ntohs(address.sin_port)};
}

std::optional<SocketError> UdpSocket::sendTo(Endpoint to,
                                             std::span<std::uint8_t const> bytes) const {
    sockaddr_in const address = toSockaddr(to);
    ssize_t sent = -1;
    do {
        sent = ::sendto(fd_, bytes.data(), bytes.size(), 0,
                        reinterpret_cast<sockaddr const*>(&address), sizeof address);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        return lastError(("sending to " + formatEndpoint(to)).c_str());
    }
    if (static_cast<std::size_t>(sent) != bytes.size()) {
        return SocketError{"sending to " + formatEndpoint(to) + ": only " + std::to_string(sent) +
                           " of " + std::to_string(bytes.size()) + " bytes sent"};
    }
    return std::nullopt;
}

std::variant<Datagram, TimedOut, SocketError> UdpSocket::receive(std::span<std::uint8_t> buffer,
                                                                 Deadline deadline) const {
    using std::chrono::milliseconds;
    for (;;) {
        auto const left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            return TimedOut{};
        }
        // Rounded up so the wait never ends just before the deadline and spins.
        auto const waitMs = std::chrono::ceil<milliseconds>(left).count();
        pollfd ready{fd_, POLLIN, 0};
        int const polled = ::poll(&ready, 1, static_cast<int>(waitMs));
        if (polled < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError("waiting for replies");
        }
        if (polled == 0) {
            continue;
        }
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        // MSG_TRUNC makes the result the datagram's real length, so an oversized reply is seen
        // as such rather than as a valid one cut to fit.
        ssize_t const received = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_TRUNC,
                                            reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (received < 0) {
            // A port-unreachable answer to an earlier unicast request only means that no
            // device listens there; keep waiting for the others.
            if (errno == EINTR || errno == EAGAIN || errno == ECONNREFUSED) {
                continue;
            }
            return lastError("receiving reply");
        }
        return Datagram{static_cast<std::size_t>(received),
                        Endpoint{from.sin_addr.s_addr, ntohs(from.sin_port)}};
    }
}

}  // namespace gvcp_probe
