// The PC side's one exchange, through the daemon's socket layer: send a request, collect the
// answers until a deadline. The probe and the benchmarks ask devices through it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "gvcp/gvcp_header.h"
#include "net/socket_manager.h"

namespace QEL_Finder {

using Deadline = std::chrono::steady_clock::time_point;

// A UDP peer: address in network order, port in host order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// "192.0.2.10:3956".
std::string formatEndpoint(Endpoint const& endpoint);

// What was done and the system's text, e.g. "binding socket: Address already in use".
using SocketError = std::string;

// A new socket's handle, bound to local (0.0.0.0:0: any address, an ephemeral port) with
// broadcast enabled and told each datagram's arrival interface; the failing call's error
// otherwise. The manager closes it when destroyed.
std::variant<int, SocketError> openUdpSocket(SocketManager& sockets, Endpoint local);

// The interface a datagram leaves by and its source address; index 0 leaves both to the routes.
struct Via {
    int interfaceIndex = 0;
    std::uint32_t source = 0;
};

// Sends one datagram; the error when the system refuses it.
std::optional<SocketError> sendDatagram(SocketManager& sockets, int handle, Endpoint to,
                                        std::span<std::uint8_t const> bytes, Via via = {});

// Who sent a datagram and the index of the interface it came in on (0 when unknown).
struct Arrival {
    Endpoint from;
    int interfaceIndex = 0;
};

enum class Wanted { More, Enough };
using AnswerHandler =
    std::function<Wanted(std::span<std::uint8_t const> answer, Arrival const& arrival)>;
// Told the whole seconds since the request was sent, once each second of the wait.
using WaitHandler = std::function<void(long seconds)>;

// Hands every datagram received before the deadline to onAnswer until it has had enough, and
// tells onWait (when given) each second that passes since sent. The socket's error, or none.
std::optional<SocketError> collectAnswers(SocketManager& sockets, int handle,
                                          std::chrono::steady_clock::time_point sent,
                                          Deadline deadline, AnswerHandler const& onAnswer,
                                          WaitHandler const& onWait = {});

// Sends the request to one destination, then collects the answers as collectAnswers does.
std::optional<SocketError> exchange(SocketManager& sockets, int handle, Endpoint to,
                                    std::span<std::uint8_t const> request, Deadline deadline,
                                    AnswerHandler const& onAnswer, WaitHandler const& onWait = {});

// Devices answer with our req_id, so a fresh random one keeps answers to an earlier run of the
// probe (or to another PC) out of this one. Never zero, which is not a valid identifier.
ReqId newReqId();

}  // namespace QEL_Finder
