// Test helpers: a device to hand datagrams to, and a received datagram as the responder keeps it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "gvcp/gvcp_header.h"
#include "gvcp/packet_handler.h"
#include "gvcp/request.h"
#include "net/datagram.h"
#include "net/recording_socket_manager.h"
#include "net/socket_address.h"
#include "netconfig/fake_interface_control.h"

namespace QEL_Finder::testing {

inline constexpr unsigned short kRequesterPort = 50123;

// What the handler serves with: a record, recording sockets, a fake interface, and what the
// responder keeps: the last force-IP carried out and what reply sockets took in.
struct TestDevice {
    DiscoveryAck record{};
    RecordingSocketManager sockets;
    FakeInterfaceControl network;
    std::optional<LastForceIp> lastForceIp;
    std::vector<Datagram> kept;
    std::string interfaceName = "eth0";
    Serving serving{record, sockets, network, interfaceName, lastForceIp, kept};

    // Hands the datagram to the handler, remembering what it carried out; what it wrote on
    // standard output and error.
    std::pair<std::string, std::string> deliver(Datagram const& datagram) {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        if (auto carried = onPacketArrives(serving, datagram)) {
            lastForceIp = *carried;
        }
        std::string out = ::testing::internal::GetCapturedStdout();
        return {out, ::testing::internal::GetCapturedStderr()};
    }
};

// The header and payload bytes as received from address:port.
inline Datagram datagramOf(CommandHeader const& command, std::span<std::uint8_t const> body,
                           char const* from, std::uint16_t port = kRequesterPort) {
    Datagram datagram;
    datagram.sender = socketAddress(from, port);
    auto const header = buildCommandHeader(command);
    std::copy(header.begin(), header.end(), datagram.bytes.begin());
    std::size_t const bodySize = std::min(body.size(), kMaxDatagram - kHeaderSize);
    std::copy_n(body.begin(), bodySize, datagram.bytes.begin() + kHeaderSize);
    datagram.size = kHeaderSize + bodySize;
    return datagram;
}

}  // namespace QEL_Finder::testing
