// Test support for the probe's and the benchmark's exchanges: a stand-in device on loopback.
#pragma once

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/ipv4_address.h"
#include "gvcp/exchange.h"
#include "net/linux_socket_manager.h"

namespace QEL_Finder::testing {

using Bytes = std::vector<std::uint8_t>;

// Answers every request it receives, in turn, with what the case makes of it and its index,
// until it has received `expected` requests (or waited 20 s for one).
class LoopbackDevice {
  public:
    using Answer = std::function<std::vector<Bytes>(Bytes const& request, int index)>;

    // at: where it listens; none for 127.0.0.1 on a free port.
    LoopbackDevice(int expected, Answer answer, std::optional<Endpoint> at = std::nullopt) {
        // The socket layer does not tell which port the system chose, so the device takes the
        // first free one from a random start, clear of the ephemeral range.
        std::uint32_t const loopback = *parseIpv4("127.0.0.1");
        auto port = static_cast<std::uint16_t>(20000 + std::random_device()() % 10000);
        for (int tries = 0; tries < 100 && handle_ < 0; ++tries, ++port) {
            Endpoint const local = at.value_or(Endpoint{loopback, port});
            auto opened = openUdpSocket(sockets_, local);
            if (auto* handle = std::get_if<int>(&opened)) {
                handle_ = *handle;
                endpoint_ = local;
            }
        }
        timeval const wait{20, 0};
        if (handle_ < 0 ||
            sockets_.setsockopt(handle_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0) {
            ADD_FAILURE() << "no loopback socket: " << sockets_.getError();
            return;
        }
        thread_ = std::thread([this, expected, answer = std::move(answer)] {
            Bytes buffer(2048);
            for (int index = 0; index < expected; ++index) {
                sockaddr_in from{};
                unsigned int fromLength = sizeof from;
                long const size =
                    sockets_.recvfrom(handle_, buffer.data(), buffer.size(), 0,
                                      reinterpret_cast<sockaddr*>(&from), &fromLength);
                if (size < 0) {
                    return;
                }
                Bytes request(buffer.begin(), buffer.begin() + size);
                for (Bytes const& reply : answer(request, index)) {
                    Endpoint const to{from.sin_addr.s_addr, ntohs(from.sin_port)};
                    if (auto error = sendDatagram(sockets_, handle_, to, reply)) {
                        ADD_FAILURE() << *error;
                    }
                }
                requests_.push_back(std::move(request));
                senders_.push_back(formatIpv4(from.sin_addr.s_addr));
            }
        });
    }

    ~LoopbackDevice() { finish(); }

    Endpoint endpoint() const { return endpoint_; }

    // Waits for the device to have answered and returns the requests it got.
    std::vector<Bytes> const& finish() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return requests_;
    }

    // The source address of each request, once finish() has returned.
    std::vector<std::string> const& senders() const { return senders_; }

  private:
    LinuxSocketManager sockets_;
    int handle_ = -1;
    Endpoint endpoint_;
    std::thread thread_;
    std::vector<Bytes> requests_;
    std::vector<std::string> senders_;
};

// A successful discovery acknowledge to the request, for the MAC 00:1a:2b:3c:4d:NN, dhcp,
// address 127.0.0.1.
inline Bytes discoveryReply(Bytes const& request, std::uint8_t lastMacOctet) {
    Bytes reply(256, 0);
    reply[3] = 0x03;
    reply[5] = 0xF8;
    reply[6] = request.at(6);
    reply[7] = request.at(7);
    std::uint8_t const mac[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, lastMacOctet};
    std::copy(std::begin(mac), std::end(mac), reply.begin() + 18);
    reply[31] = 0x06;
    std::uint8_t const address[] = {127, 0, 0, 1};
    std::copy(std::begin(address), std::end(address), reply.begin() + 44);
    return reply;
}

}  // namespace QEL_Finder::testing
