// The probe's UDP socket and its one exchange: send a request, collect the answers until a
// deadline. Every system call on the socket is made here.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "base/fd.h"
#include "gvcp/gvcp_header.h"

namespace gvcp_probe {

using Deadline = std::chrono::steady_clock::time_point;

// A UDP peer: address in network order, port in host order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// "192.0.2.10:3956".
std::string formatEndpoint(Endpoint const& endpoint);

// A failed system call: what was done and the system's text, e.g. "binding socket: ...".
struct SocketError {
    std::string text;
};

// One received datagram. size is its real length, larger than the buffer when it did not fit.
struct Datagram {
    std::size_t size = 0;
    Endpoint from;
};

struct TimedOut {};

// A socket bound to local (0.0.0.0:0 for any address and an ephemeral port) with SO_BROADCAST
// enabled; the failing call's error otherwise.
std::variant<Fd, SocketError> openUdpSocket(Endpoint local);

// The address and port the socket is bound to; port 0 when it cannot be read.
Endpoint localEndpoint(Fd const& socket);

// Sends one datagram; the error when the system refuses it or sends only part of it.
std::optional<SocketError> sendDatagram(Fd const& socket, Endpoint to,
                                        std::span<std::uint8_t const> bytes);

// Waits for one datagram until the deadline. A datagram longer than the buffer is cut, its size
// still telling the real length.
std::variant<Datagram, TimedOut, SocketError> receiveDatagram(Fd const& socket,
                                                              std::span<std::uint8_t> buffer,
                                                              Deadline deadline);

enum class Wanted { More, Enough };
using AnswerHandler = std::function<Wanted(std::span<std::uint8_t const> answer, Endpoint from)>;

// Sends the request, then hands every datagram received before the deadline to onAnswer until
// it has had enough. The socket's error, or none.
std::optional<SocketError> exchange(Fd const& socket, Endpoint to,
                                    std::span<std::uint8_t const> request, Deadline deadline,
                                    AnswerHandler const& onAnswer);

// Devices answer with our req_id, so a fresh random one keeps answers to an earlier run of the
// probe (or to another PC) out of this one. Never zero, which is not a valid identifier.
QEL_Finder::ReqId newReqId();

}  // namespace gvcp_probe
