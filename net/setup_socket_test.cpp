#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cstring>

#include "net/linux_socket_manager.h"
#include "net/private_network.h"
#include "net/recording_socket_manager.h"
#include "net/setup_socket.h"

namespace {

using QEL_Finder::LinuxSocketManager;
using QEL_Finder::testing::socketAddress;

constexpr std::uint16_t kPort = 3956;  // the daemon's, shared by its listening and reply sockets

int option(LinuxSocketManager& manager, int handle, int name) {
    int value = -1;
    unsigned int length = sizeof value;
    EXPECT_EQ(manager.getsockopt(handle, SOL_SOCKET, name, &value, &length), 0);
    return value;
}

TEST(SetupSocket, CreatesOneSocketOnlyWhenAskedTo) {
    LinuxSocketManager manager;
    int handle = -1;
    sockaddr_in address = socketAddress("127.0.0.1", 0);
    ASSERT_TRUE(setupSocket(handle, reinterpret_cast<sockaddr*>(&address), &manager));
    EXPECT_EQ(handle, 0);
    EXPECT_NE(option(manager, 0, SO_BROADCAST), 0);
    EXPECT_NE(option(manager, 0, SO_REUSEADDR), 0);
    EXPECT_EQ(manager.getSocketUDP(), 1) << "exactly one socket was made";

    handle = 1;
    ASSERT_TRUE(setupSocket(handle, reinterpret_cast<sockaddr*>(&address), &manager));
    EXPECT_EQ(handle, 1);
    EXPECT_NE(option(manager, 1, SO_REUSEADDR), 0);
    EXPECT_EQ(manager.getSocketUDP(), 2) << "a given handle is used, not replaced";
}

TEST(SetupSocket, ReportsAFailedBindAndKeepsTheHandle) {
    LinuxSocketManager manager;
    int handle = -1;
    // TEST-NET-3 is configured on no host interface, so the bind fails without any traffic.
    sockaddr_in address = socketAddress("203.0.113.9", 0);
    ::testing::internal::CaptureStderr();
    bool const bound = setupSocket(handle, reinterpret_cast<sockaddr*>(&address), &manager);
    std::string const printed = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(bound);
    EXPECT_EQ(printed, std::string("binding socket: ") + std::strerror(EADDRNOTAVAIL) + "\n");
    EXPECT_EQ(handle, 0);
}

TEST(SetupSocket, OptionFailuresAreReportedButTheBindDecides) {
    QEL_Finder::testing::RecordingSocketManager manager;
    manager.optionsFail = true;
    int handle = 3;
    sockaddr_in address = socketAddress("192.0.2.1", kPort);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(setupSocket(handle, reinterpret_cast<sockaddr*>(&address), &manager));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "setting socket option broadcast: fake failure\n"
              "setting socket option reuse port: fake failure\n");
    ASSERT_EQ(manager.optionsSet.size(), 2U);
    EXPECT_EQ(manager.optionsSet[0].name, SO_BROADCAST);
    EXPECT_EQ(manager.optionsSet[1].name, SO_REUSEADDR);
    EXPECT_EQ(manager.optionsSet[1].value, 1);
    ASSERT_EQ(manager.binds.size(), 1U);
    EXPECT_EQ(manager.binds[0].handle, 3);
    EXPECT_TRUE(manager.created.empty());
}

TEST(SetupSocket, FailedCreationLeavesNoHandle) {
    QEL_Finder::testing::RecordingSocketManager manager;
    manager.nextHandle = -1;
    int handle = -1;
    sockaddr_in address = socketAddress("0.0.0.0", kPort);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(setupSocket(handle, reinterpret_cast<sockaddr*>(&address), &manager));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "getting socket: fake failure\n");
    EXPECT_EQ(handle, -1);
    EXPECT_TRUE(manager.binds.empty());
}

TEST(SetupSocket, ReplySocketSharesThePortWithTheListeningSocket) {
    QEL_Finder::testing::runTestInPrivateNetwork([] {
        LinuxSocketManager manager;
        int listening = -1;
        sockaddr_in any = socketAddress("0.0.0.0", kPort);
        ASSERT_TRUE(setupSocket(listening, reinterpret_cast<sockaddr*>(&any), &manager));
        int reply = -1;
        sockaddr_in own = socketAddress("127.0.0.1", kPort);
        EXPECT_TRUE(setupSocket(reply, reinterpret_cast<sockaddr*>(&own), &manager));
        EXPECT_EQ(reply, 1);

        // Without address reuse the same pair of binds is refused.
        int const plain = manager.getSocketUDP();
        sockaddr_in other = socketAddress(QEL_Finder::testing::kPrivateAddress, kPort);
        EXPECT_EQ(manager.bindSocket(plain, reinterpret_cast<sockaddr*>(&other)), -1);
    });
}

}  // namespace
