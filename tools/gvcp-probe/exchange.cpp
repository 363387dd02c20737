#include "tools/gvcp-probe/exchange.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "base/ipv4_address.h"

namespace gvcp_probe {

namespace {

// Large enough for any UDP datagram, so nothing a device sends is cut.
constexpr std::size_t kReceiveBufferSize = 65536;

SocketError lastSocketError(std::string const& what) {
    return SocketError{what + ": " + std::strerror(errno)};
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

std::variant<Fd, SocketError> openUdpSocket(Endpoint local) {
    Fd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    if (!socket) {
        return lastSocketError("creating socket");
    }
    int const on = 1;
    if (::setsockopt(socket.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        return lastSocketError("enabling broadcast");
    }
    sockaddr_in const address = toSockaddr(local);
    if (::bind(socket.get(), reinterpret_cast<sockaddr const*>(&address), sizeof address) != 0) {
        return lastSocketError("binding socket");
    }
    return socket;
}

Endpoint localEndpoint(Fd const& socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return {};
    }
    return Endpoint{address.sin_addr.s_addr, ntohs(address.sin_port)};
}

std::optional<SocketError> sendDatagram(Fd const& socket, Endpoint to,
                                        std::span<std::uint8_t const> bytes) {
    sockaddr_in const address = toSockaddr(to);
    ssize_t sent = -1;
    do {
        sent = ::sendto(socket.get(), bytes.data(), bytes.size(), 0,
                        reinterpret_cast<sockaddr const*>(&address), sizeof address);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        return lastSocketError("sending to " + formatEndpoint(to));
    }
    if (static_cast<std::size_t>(sent) != bytes.size()) {
        return SocketError{"sending to " + formatEndpoint(to) + ": only " + std::to_string(sent) +
                           " of " + std::to_string(bytes.size()) + " bytes sent"};
    }
    return std::nullopt;
}

std::variant<Datagram, TimedOut, SocketError> receiveDatagram(Fd const& socket,
                                                              std::span<std::uint8_t> buffer,
                                                              Deadline deadline) {
    for (;;) {
        auto const left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            return TimedOut{};
        }
        // Rounded up so the wait never ends just before the deadline and spins.
        auto const waitMs = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        pollfd ready{socket.get(), POLLIN, 0};
        int const polled = ::poll(&ready, 1, static_cast<int>(waitMs));
        if (polled < 0 && errno != EINTR) {
            return lastSocketError("waiting for replies");
        }
        if (polled <= 0) {
            continue;
        }
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        // MSG_TRUNC makes the result the datagram's real length, so an oversized reply is seen
        // as such rather than as a valid one cut to fit.
        ssize_t const received = ::recvfrom(socket.get(), buffer.data(), buffer.size(), MSG_TRUNC,
                                            reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (received < 0) {
            // A port-unreachable answer to an earlier unicast request only means that no
            // device listens there; keep waiting for the others.
            if (errno == EINTR || errno == EAGAIN || errno == ECONNREFUSED) {
                continue;
            }
            return lastSocketError("receiving reply");
        }
        return Datagram{static_cast<std::size_t>(received),
                        Endpoint{from.sin_addr.s_addr, ntohs(from.sin_port)}};
    }
}

std::optional<SocketError> exchange(Fd const& socket, Endpoint to,
                                    std::span<std::uint8_t const> request, Deadline deadline,
                                    AnswerHandler const& onAnswer) {
    if (auto error = sendDatagram(socket, to, request)) {
        return error;
    }
    std::vector<std::uint8_t> buffer(kReceiveBufferSize);
    for (;;) {
        auto received = receiveDatagram(socket, buffer, deadline);
        if (std::holds_alternative<TimedOut>(received)) {
            return std::nullopt;
        }
        if (auto* error = std::get_if<SocketError>(&received)) {
            return std::move(*error);
        }
        Datagram const& datagram = std::get<Datagram>(received);
        std::span<std::uint8_t const> const answer(buffer.data(), datagram.size);
        if (onAnswer(answer, datagram.from) == Wanted::Enough) {
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
