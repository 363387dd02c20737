// The probe's one UDP socket: every system call on it is made here.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "tools/gvcp-probe/address_text.h"

namespace gvcp_probe {

using Deadline = std::chrono::steady_clock::time_point;

// A failed system call: what was done and the system's text, e.g. "binding socket: ...".
struct SocketError {
    std::string text;
};

// One received datagram. size is its real length, which is larger than the buffer when it
// did not fit.
struct Datagram {
    std::size_t size = 0;
    Endpoint from;
};

struct TimedOut {};

class UdpSocket {
  public:
    // A socket bound to the given local endpoint (0.0.0.0:0 for any address and an ephemeral
    // port) with SO_BROADCAST enabled; the failing call's error otherwise.
    static std::variant<UdpSocket, SocketError> open(Endpoint local);

    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(UdpSocket const&) = delete;
    UdpSocket& operator=(UdpSocket const&) = delete;
    ~UdpSocket();

    // The address and port the socket is bound to; port 0 when it cannot be read.
    Endpoint localEndpoint() const;

    // Sends one datagram; the error when the system refuses it or sends only part of it.
    std::optional<SocketError> sendTo(Endpoint to, std::span<std::uint8_t const> bytes) const;

    // Waits for one datagram until the deadline. A datagram longer than the buffer is cut,
    // its size still telling the real length.
    std::variant<Datagram, TimedOut, SocketError> receive(std::span<std::uint8_t> buffer,
                                                          Deadline deadline) const;

  private:
    explicit UdpSocket(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace gvcp_probe
