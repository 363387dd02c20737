// Test support for the probe's and the benchmark's exchanges: a stand-in device on loopback.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "base/ipv4_address.h"
#include "tools/gvcp-probe/exchange.h"

namespace gvcp_probe::testing {

using Bytes = std::vector<std::uint8_t>;

// Answers every request it receives, in turn, with what the case makes of it and its index,
// until it has received `expected` requests (or 20 s have passed).
class LoopbackDevice {
  public:
    using Answer = std::function<std::vector<Bytes>(Bytes const& request, int index)>;

    LoopbackDevice(int expected, Answer answer) {
        auto opened = openUdpSocket(Endpoint{*parseIpv4("127.0.0.1"), 0});
        if (auto* error = std::get_if<SocketError>(&opened)) {
            ADD_FAILURE() << error->text;
            return;
        }
        socket_ = std::move(std::get<Fd>(opened));
        endpoint_ = localEndpoint(socket_);
        thread_ = std::thread([this, expected, answer = std::move(answer)] {
            Bytes buffer(2048);
            auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            for (int index = 0; index < expected; ++index) {
                auto received = receiveDatagram(socket_, buffer, deadline);
                auto* datagram = std::get_if<Datagram>(&received);
                if (datagram == nullptr) {
                    return;
                }
                Bytes request(buffer.begin(),
                              buffer.begin() + static_cast<std::ptrdiff_t>(datagram->size));
                for (Bytes const& reply : answer(request, index)) {
                    if (auto error = sendDatagram(socket_, datagram->from, reply)) {
                        ADD_FAILURE() << error->text;
                    }
                }
                requests_.push_back(std::move(request));
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

  private:
    Fd socket_;
    Endpoint endpoint_;
    std::thread thread_;
    std::vector<Bytes> requests_;
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

}  // namespace gvcp_probe::testing
