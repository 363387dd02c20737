#include "net/bound_socket.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "base/ipv4_address.h"
#include "net/recording_socket_manager.h"
#include "net/socket_address.h"

namespace {

using QEL_Finder::openBoundReplySocket;
using QEL_Finder::testing::addressText;
using QEL_Finder::testing::RecordingSocketManager;
using QEL_Finder::testing::socketAddress;
using Bytes = std::vector<std::uint8_t>;

class BoundReplySocket : public ::testing::Test {
  protected:
    void SetUp() override { manager.nextHandle = 4; }

    RecordingSocketManager manager;
    sockaddr_in const local = socketAddress("192.168.1.10", 3956);
};

TEST_F(BoundReplySocket, IsBoundToTheAddressAndReceivesFromNobody) {
    auto const socket = openBoundReplySocket(manager, local);
    EXPECT_EQ(socket.handle, 4);
    EXPECT_TRUE(socket.takenIn.empty());
    EXPECT_EQ(manager.events,
              (std::vector<std::string>{"socket 4", "bind 4 192.168.1.10:3956",
                                        "connect 4 255.255.255.255:3956", "recvmmsg 4"}));
    bool packetInfo = false;
    for (auto const& option : manager.optionsSet) {
        if (option.level == IPPROTO_IP && option.name == IP_PKTINFO) {
            packetInfo = option.handle == 4 && option.value == 1;
        }
    }
    EXPECT_TRUE(packetInfo) << "replies need the arrival information enabled";
    EXPECT_TRUE(manager.closed.empty());
}

// What it took in before the connect belongs to the listening socket, in the order it came.
TEST_F(BoundReplySocket, HandsOverWhatItTookInOldestFirst) {
    manager.receives = {
        {{0x42, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01}},
        {{0x42, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02}, 0, socketAddress("192.168.1.60", 4000)},
        {{}, EAGAIN}};
    auto const socket = openBoundReplySocket(manager, local);
    ASSERT_EQ(socket.takenIn.size(), 2U);
    EXPECT_EQ(socket.takenIn[0].bytes[7], 1);
    EXPECT_EQ(Bytes(socket.takenIn[1].data().begin(), socket.takenIn[1].data().end()),
              (Bytes{0x42, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02}));
    EXPECT_EQ(addressText(socket.takenIn[1].sender), "192.168.1.60:4000");
}

TEST_F(BoundReplySocket, FailuresLeaveNoSocketOpen) {
    manager.bindErrno = EADDRNOTAVAIL;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(openBoundReplySocket(manager, local).handle, -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              std::string("binding socket: ") + std::strerror(EADDRNOTAVAIL) + "\n");
    EXPECT_EQ(manager.closed, std::vector<int>{4});

    RecordingSocketManager full;
    full.nextHandle = -1;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(openBoundReplySocket(full, local).handle, -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "getting socket: fake failure\n");
    EXPECT_TRUE(full.closed.empty()) << "closing handle -1 would throw in the real manager";
}

}  // namespace
