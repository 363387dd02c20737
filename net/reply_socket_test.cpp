#include <arpa/inet.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "base/ipv4_address.h"
#include "base/process_state.h"
#include "gvcp/discovery_ack.h"
#include "net/recording_socket_manager.h"
#include "net/reply_socket.h"

namespace {

using QEL_Finder::DiscoveryAck;
using QEL_Finder::testing::RecordingSocketManager;

// A record whose every byte is 0xAB, so any write shows.
DiscoveryAck staleRecord() {
    DiscoveryAck record;
    std::memset(&record, 0xAB, sizeof record);
    return record;
}

class ReplySocket : public ::testing::Test {
  protected:
    void SetUp() override {
        manager.setInterfaceAddress("192.168.1.10", "255.255.255.0");
        manager.gateway = *parseIpv4("192.168.1.1");
        manager.nextHandle = 4;
    }
    void TearDown() override { Verbose = false; }

    RecordingSocketManager manager;
    DiscoveryAck record = staleRecord();
    std::string interfaceName = "eth0";
};

TEST_F(ReplySocket, RefreshesTheRecordAndBindsToTheInterfaceAddress) {
    Verbose = true;
    ::testing::internal::CaptureStdout();
    int const handle = openReplySocket(&record, &manager, interfaceName);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Opening socket on local IP 192.168.1.10\n");

    EXPECT_EQ(handle, 4);
    EXPECT_EQ(manager.lookups, std::vector<std::string>{"eth0"});
    auto const* bytes = reinterpret_cast<unsigned char const*>(&record);
    EXPECT_EQ(std::memcmp(bytes + 36, "\xc0\xa8\x01\x0a", 4), 0);
    EXPECT_EQ(std::memcmp(bytes + 52, "\xff\xff\xff\x00", 4), 0);
    EXPECT_EQ(std::memcmp(bytes + 68, "\xc0\xa8\x01\x01", 4), 0);
    DiscoveryAck const stale = staleRecord();
    EXPECT_EQ(std::memcmp(bytes, &stale, 36), 0) << "fields before the address are kept";
    EXPECT_EQ(std::memcmp(record.manufacturerName, stale.manufacturerName, 176), 0)
        << "fields after the gateway are kept";

    ASSERT_EQ(manager.binds.size(), 1U);
    sockaddr_in const& bound = manager.binds[0].address;
    EXPECT_EQ(manager.binds[0].handle, 4);
    EXPECT_EQ(bound.sin_family, AF_INET);
    auto const* port = reinterpret_cast<unsigned char const*>(&bound.sin_port);
    EXPECT_EQ(port[0], 0x0F);
    EXPECT_EQ(port[1], 0x74);
    EXPECT_EQ(bound.sin_addr.s_addr, *parseIpv4("192.168.1.10"));
    EXPECT_EQ(std::memcmp(bound.sin_zero, "\0\0\0\0\0\0\0\0", 8), 0);

    bool packetInfo = false;
    for (auto const& option : manager.optionsSet) {
        if (option.level == IPPROTO_IP && option.name == IP_PKTINFO) {
            packetInfo = option.handle == 4 && option.value == 1;
        }
    }
    EXPECT_TRUE(packetInfo) << "replies need the arrival information enabled";
    EXPECT_TRUE(manager.closed.empty());

    // Connected to a source no datagram has, it leaves every request to the listening socket.
    ASSERT_EQ(manager.connects.size(), 1U);
    EXPECT_EQ(manager.connects[0].handle, 4);
    EXPECT_EQ(manager.connects[0].address.sin_addr.s_addr, INADDR_BROADCAST);
    EXPECT_EQ(ntohs(manager.connects[0].address.sin_port), 3956);
}

TEST_F(ReplySocket, EveryReplyGetsANewSocketAndCurrentFields) {
    int const first = openReplySocket(&record, &manager, interfaceName);
    manager.interfaceAddress = *parseIpv4("10.1.2.3");
    manager.gateway = 0;  // the default route went away
    int const second = openReplySocket(&record, &manager, interfaceName);

    EXPECT_NE(first, second);
    EXPECT_EQ(record.currentIp, *parseIpv4("10.1.2.3"));
    EXPECT_EQ(record.defaultGateway, 0U);
    ASSERT_EQ(manager.binds.size(), 2U);
    EXPECT_EQ(manager.binds[1].address.sin_addr.s_addr, *parseIpv4("10.1.2.3"));
}

TEST_F(ReplySocket, UnknownInterfaceLeavesRecordAndSocketsAlone) {
    manager.interfaceFound = false;
    interfaceName = "eth7";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(openReplySocket(&record, &manager, interfaceName), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Could not get the ip address for the interface eth7\n");

    DiscoveryAck const stale = staleRecord();
    EXPECT_EQ(std::memcmp(&record, &stale, sizeof record), 0);
    EXPECT_TRUE(manager.created.empty());
}

TEST_F(ReplySocket, FailedBindClosesTheNewSocket) {
    manager.bindErrno = EADDRNOTAVAIL;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(openReplySocket(&record, &manager, interfaceName), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              std::string("binding socket: ") + std::strerror(EADDRNOTAVAIL) + "\n");
    EXPECT_EQ(manager.closed, std::vector<int>{4});
}

TEST_F(ReplySocket, FailedCreationClosesNothing) {
    manager.nextHandle = -1;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(openReplySocket(&record, &manager, interfaceName), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "getting socket: fake failure\n");
    EXPECT_TRUE(manager.closed.empty()) << "closing handle -1 would throw in the real manager";
    EXPECT_TRUE(manager.binds.empty());
}

}  // namespace
