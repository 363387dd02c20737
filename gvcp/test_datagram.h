// Test helper: a received datagram laid out as the packet loop hands it to the handler.
#pragma once

#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "gvcp/gvcp_header.h"
#include "gvcp/packet_handler.h"
#include "net/recording_socket_manager.h"
#include "net/socket_address.h"

namespace QEL_Finder::testing {

inline constexpr unsigned short kRequesterPort = 50123;

struct Datagram {
    // The header and payload bytes as received from address:kRequesterPort; received counts both.
    Datagram(CommandHeader const& command, std::span<std::uint8_t const> body, char const* from)
        : header(buildCommandHeader(command)),
          requester(socketAddress(from, kRequesterPort)),
          received(kHeaderSize + body.size()) {
        std::copy_n(body.begin(), std::min(body.size(), payload.size()), payload.begin());
        buffers[0] = {header.data(), header.size()};
        buffers[1] = {payload.data(), payload.size()};
        message.msg_name = &requester;
        message.msg_namelen = sizeof requester;
        message.msg_iov = buffers.data();
        message.msg_iovlen = buffers.size();
    }
    Datagram(Datagram const&) = delete;
    Datagram& operator=(Datagram const&) = delete;

    // Hands the datagram to the handler, as the loop does.
    void deliver(DiscoveryAck& record, SocketManager& manager, std::string name = "eth0") {
        onPacketArrives(&record, &manager, &message, received, &requester, std::move(name));
    }
    // Hands it to the handler on eth0; what the handler wrote on standard output and error.
    std::pair<std::string, std::string> deliverCapturingOutput(DiscoveryAck& record,
                                                               SocketManager& manager) {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        deliver(record, manager);
        std::string out = ::testing::internal::GetCapturedStdout();
        return {out, ::testing::internal::GetCapturedStderr()};
    }

    std::array<std::uint8_t, kHeaderSize> header;
    std::array<std::uint8_t, 568> payload{};
    std::array<iovec, 2> buffers{};
    msghdr message{};
    sockaddr_in requester;
    unsigned long received;
};

}  // namespace QEL_Finder::testing
