#include "gvcp/packet_handler.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/process_state.h"
#include "gvcp/test_datagram.h"

namespace QEL_Finder {
namespace {

using testing::addressText;
using testing::datagramOf;
using Bytes = std::vector<std::uint8_t>;
using Events = std::vector<std::string>;
using namespace std::string_literals;

CommandHeader command(std::uint16_t code, std::uint8_t flag = 0, std::uint8_t key = kGvcpKey) {
    return {key, flag, code, 0, {0x12, 0x34}};
}

// Device eth0 at 192.168.1.10/24 with MAC 00:1A:2B:3C:4D:5E.
class PacketHandler : public ::testing::Test {
  protected:
    void SetUp() override {
        fillDiscoveryAck(device.record, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, false, "Tarn C1",
                         "SN1");
        manager.setInterfaceAddress("192.168.1.10", "255.255.255.0");
        Verbose = false;
    }
    void TearDown() override { Verbose = false; }

    // Delivers a datagram without payload; returns what went to standard output and error.
    std::pair<std::string, std::string> deliver(CommandHeader const& header, char const* from) {
        return device.deliver(datagramOf(header, {}, from));
    }

    testing::TestDevice device;
    testing::RecordingSocketManager& manager = device.sockets;
    DiscoveryAck& record = device.record;
};

TEST_F(PacketHandler, DatagramsThatAreNotGvcpCommandsLeaveNoTrace) {
    Verbose = true;
    EXPECT_EQ(deliver(command(kDiscoveryCmd, 0, 0x43), "10.0.0.5"), std::make_pair(""s, ""s));

    // Fewer bytes than a header.
    Datagram truncated = datagramOf(command(kDiscoveryCmd), {}, "10.0.0.5");
    truncated.size = 4;
    EXPECT_EQ(device.deliver(truncated), std::make_pair(""s, ""s));
    EXPECT_TRUE(manager.events.empty());
}

TEST_F(PacketHandler, DiscoveryIsBroadcastOnlyToRequestersOutsideTheSubnetThatAllowIt) {
    struct Case {
        char const* from;
        std::uint8_t flag;
        std::string destination;
    };
    std::string const port = ":" + std::to_string(testing::kRequesterPort);
    for (Case const& c :
         {Case{"192.168.1.50", 0x10, "192.168.1.50" + port},
          Case{"10.0.0.5", 0x10, "255.255.255.255" + port},
          Case{"10.0.0.5", 0x11, "255.255.255.255" + port},
          Case{"10.0.0.5", 0x00, "10.0.0.5" + port}, Case{"10.0.0.5", 0x01, "10.0.0.5" + port}}) {
        manager.sent.clear();
        deliver(command(kDiscoveryCmd, c.flag), c.from);
        ASSERT_EQ(manager.sent.size(), 1U) << c.from;
        EXPECT_EQ(addressText(manager.sent[0].destination), c.destination)
            << c.from << " flag " << int{c.flag};
    }
}

TEST_F(PacketHandler, DiscoveryAcknowledgeIsHeaderAndRecordFromTheInterfaceAddress) {
    inet_pton(AF_INET, "192.168.1.1", &manager.gateway);
    deliver(command(kDiscoveryCmd), "192.168.1.50");

    EXPECT_EQ(manager.events,
              (Events{"socket 0", "bind 0 192.168.1.10:3956", "connect 0 255.255.255.255:3956",
                      "recvmmsg 0", "send 0", "close 0"}));
    EXPECT_EQ(manager.lookups, std::vector<std::string>{"eth0"}) << "one look-up per reply";
    ASSERT_EQ(manager.sent.size(), 1U);
    auto const& sent = manager.sent[0];
    EXPECT_EQ(sent.flags, 0);
    EXPECT_FALSE(sent.hasControl);
    ASSERT_EQ(sent.buffers.size(), 2U);
    EXPECT_EQ(sent.buffers[0], (Bytes{0x00, 0x00, 0x00, 0x03, 0x00, 0xF8, 0x12, 0x34}));
    // The record as sent carries the address, mask and gateway read for this reply.
    Bytes const& payload = sent.buffers[1];
    ASSERT_EQ(payload.size(), 248U);
    EXPECT_EQ(Bytes(payload.begin() + 36, payload.begin() + 40), (Bytes{192, 168, 1, 10}));
    EXPECT_EQ(Bytes(payload.begin() + 52, payload.begin() + 56), (Bytes{255, 255, 255, 0}));
    EXPECT_EQ(Bytes(payload.begin() + 68, payload.begin() + 72), (Bytes{192, 168, 1, 1}));
    EXPECT_EQ(std::memcmp(payload.data(), &record, sizeof record), 0);
}

TEST_F(PacketHandler, VerboseDiscoveryLinesComeInOrder) {
    Verbose = true;
    auto const [out, err] = deliver(command(kDiscoveryCmd, 0x10), "10.0.0.5");
    EXPECT_EQ(out,
              "Discovery received from 10.0.0.5\n"
              "Opening socket on local IP 192.168.1.10\n"
              "Sending ACK\n");
    EXPECT_EQ(err, "");
}

TEST_F(PacketHandler, DiscoveryWithoutAnInterfaceAddressIsReportedOnceAndUnanswered) {
    manager.interfaceFound = false;
    DiscoveryAck const before = record;
    EXPECT_EQ(deliver(command(kDiscoveryCmd), "10.0.0.5").second,
              "Could not get the ip address for the interface eth0\n");
    EXPECT_TRUE(manager.events.empty());
    EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0);
}

TEST_F(PacketHandler, FailedSendIsReportedWithItsDestinationAndTheSocketStillClosed) {
    manager.sendErrno = ENETUNREACH;
    auto const [out, err] = deliver(command(kDiscoveryCmd, 0x10), "10.0.0.5");
    EXPECT_EQ(err, "sending reply message: " + std::string(std::strerror(ENETUNREACH)) +
                       "\nDestination address: 255.255.255.255\n");
    EXPECT_EQ(manager.events.back(), "close 0");

    // The next datagram is served as usual, on a new handle.
    manager.sendErrno = 0;
    EXPECT_EQ(deliver(command(kDiscoveryCmd), "192.168.1.50").second, "");
    EXPECT_EQ(manager.events.back(), "close 1");
}

TEST_F(PacketHandler, UnknownCommandsGetNotImplementedAddressedToTheRequester) {
    deliver({kGvcpKey, 0x10, 0x0080, 0, {0x00, 0x07}}, "10.0.0.5");
    deliver({kGvcpKey, 0x00, 0xFFFF, 0, {0xAB, 0xCD}}, "10.0.0.5");
    ASSERT_EQ(manager.sent.size(), 2U);
    EXPECT_EQ(manager.sent[0].buffers,
              (std::vector<Bytes>{{0x80, 0x06, 0x00, 0x81, 0x00, 0x00, 0x00, 0x07}}));
    EXPECT_EQ(addressText(manager.sent[0].destination),
              "10.0.0.5:" + std::to_string(testing::kRequesterPort));
    EXPECT_EQ(manager.sent[1].buffers,
              (std::vector<Bytes>{{0x80, 0x06, 0x00, 0x00, 0x00, 0x00, 0xAB, 0xCD}}));
}

// Requests the reply socket received before it was connected are the listening socket's: they
// go back to the responder, in the order they came.
TEST_F(PacketHandler, WhatTheReplySocketTookInIsKeptInOrder) {
    manager.receives = {{{0x42, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02}},
                        {{0x42, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03},
                         0,
                         testing::socketAddress("192.168.1.61", 4000)},
                        {{}, EAGAIN}};
    deliver(command(kDiscoveryCmd), "192.168.1.50");
    std::vector<int> next;
    for (Datagram const& datagram : device.kept) {
        next.push_back(datagram.bytes[7]);
    }
    EXPECT_EQ(next, (std::vector<int>{2, 3}));
}

}  // namespace
}  // namespace QEL_Finder
