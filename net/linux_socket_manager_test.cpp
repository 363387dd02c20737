#include "net/linux_socket_manager.h"

#include <arpa/inet.h>
#include <signal.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "net/datagram.h"
#include "net/loopback_socket.h"
#include "net/socket_address.h"

namespace QEL_Finder {
namespace {

using testing::boundLoopbackSocket;
using testing::socketAddress;

long openDescriptorCount() {
    long count = 0;
    for ([[maybe_unused]] auto const& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

TEST(LinuxSocketManager, HandlesFollowEachOtherAndClosedOnesActAsClosedDescriptors) {
    LinuxSocketManager manager;
    EXPECT_EQ(manager.getSocketUDP(), 0);
    EXPECT_EQ(manager.getSocketUDP(), 1);
    manager.closeSocket(0);
    EXPECT_EQ(manager.getSocketUDP(), 2);

    int value = 1;
    errno = 0;
    EXPECT_EQ(manager.setsockopt(0, SOL_SOCKET, SO_BROADCAST, &value, sizeof value), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_NO_THROW(manager.closeSocket(0));
    sockaddr_in address = socketAddress("127.0.0.1", 0);
    errno = 0;
    EXPECT_EQ(manager.bindSocket(0, reinterpret_cast<sockaddr*>(&address)), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(manager.bindSocket(1, reinterpret_cast<sockaddr*>(&address)), 0);
}

TEST(LinuxSocketManager, HandlesNeverGivenOut) {
    LinuxSocketManager manager;
    manager.getSocketUDP();
    int value = 1;
    unsigned int length = sizeof value;
    errno = EDOM;
    EXPECT_EQ(manager.setsockopt(1, SOL_SOCKET, SO_BROADCAST, &value, sizeof value), -1);
    EXPECT_EQ(manager.getsockopt(1, SOL_SOCKET, SO_BROADCAST, &value, &length), -1);
    EXPECT_EQ(errno, EDOM) << "no system call may be made for a handle past the last";

    EXPECT_THROW(manager.setsockopt(-1, SOL_SOCKET, SO_BROADCAST, &value, sizeof value),
                 std::out_of_range);
    EXPECT_THROW(manager.getsockopt(-1, SOL_SOCKET, SO_BROADCAST, &value, &length),
                 std::out_of_range);
    EXPECT_THROW(manager.closeSocket(1), std::out_of_range);
    EXPECT_THROW(manager.closeSocket(-1), std::out_of_range);
    sockaddr_in address = socketAddress("127.0.0.1", 0);
    EXPECT_THROW(manager.bindSocket(5, reinterpret_cast<sockaddr*>(&address)), std::out_of_range);
    msghdr message{};
    unsigned long received = 0;
    EXPECT_THROW(manager.sendmsg(1, &message, 0), std::out_of_range);
    EXPECT_THROW(manager.recvmsg(-1, &message, 0, &received), std::out_of_range);
}

TEST(LinuxSocketManager, DestructorClosesExactlyTheOpenDescriptors) {
    long const before = openDescriptorCount();
    {
        LinuxSocketManager manager;
        manager.getSocketUDP();
        manager.getSocketUDP();
        manager.getSocketUDP();
        manager.closeSocket(1);
        EXPECT_EQ(openDescriptorCount(), before + 2);
    }
    EXPECT_EQ(openDescriptorCount(), before);
}

// A receive message split in two: an 8-byte header part and the rest of the daemon's datagram.
struct ReceiveMessage {
    char header[8] = {};
    char rest[kMaxDatagram - 8] = {};
    iovec parts[2] = {{header, sizeof header}, {rest, sizeof rest}};
    sockaddr_in source{};
    alignas(cmsghdr) unsigned char control[512] = {};
    msghdr message = testing::messageHeader(source, parts, control);
};

TEST(LinuxSocketManager, ReceiveSplitsTheDatagramAndReportsItsArrival) {
    LinuxSocketManager manager;
    sockaddr_in address{};
    int const receiver = boundLoopbackSocket(manager, 5000000, address);
    int const on = 1;
    ASSERT_EQ(manager.setsockopt(receiver, IPPROTO_IP, IP_PKTINFO, &on, sizeof on), 0);
    int const sender = manager.getSocketUDP();
    char const datagram[] = "0123456789abcdef";
    ASSERT_EQ(manager.sendto(sender, datagram, sizeof datagram, 0,
                             reinterpret_cast<sockaddr*>(&address), sizeof address),
              static_cast<long>(sizeof datagram))
        << manager.getError();

    ReceiveMessage in;
    unsigned long received = 0;
    ASSERT_TRUE(manager.recvmsg(receiver, &in.message, 0, &received)) << manager.getError();
    EXPECT_EQ(received, sizeof datagram);
    EXPECT_EQ(std::string(in.header, 8), "01234567");
    EXPECT_STREQ(in.rest, "89abcdef");
    EXPECT_EQ(in.source.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_FALSE(manager.wasBroadcastMessage(&in.message));
    EXPECT_EQ(manager.getInterfaceIndex(&in.message), 1) << "loopback is interface 1";
}

TEST(LinuxSocketManager, ReceiveTimeOutIsNothingToProcess) {
    LinuxSocketManager manager;
    sockaddr_in address{};
    int const receiver = boundLoopbackSocket(manager, 200000, address);
    ReceiveMessage in;
    unsigned long received = 99;
    EXPECT_TRUE(manager.recvmsg(receiver, &in.message, 0, &received));
    EXPECT_EQ(received, 0U);
}

void ignoreAlarm(int) {}

TEST(LinuxSocketManager, ReceiveInterruptedBySignalIsNothingToProcess) {
    struct sigaction alarm {};
    alarm.sa_handler = ignoreAlarm;
    alarm.sa_flags = 0;  // no SA_RESTART: the wait must end with EINTR
    sigemptyset(&alarm.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGALRM, &alarm, &previous), 0);

    LinuxSocketManager manager;
    sockaddr_in address{};
    int const receiver = boundLoopbackSocket(manager, 30000000, address);
    itimerval const once{{0, 0}, {0, 200000}};
    ::setitimer(ITIMER_REAL, &once, nullptr);
    ReceiveMessage in;
    unsigned long received = 99;
    auto const start = std::chrono::steady_clock::now();
    bool const result = manager.recvmsg(receiver, &in.message, 0, &received);
    auto const waited = std::chrono::steady_clock::now() - start;
    itimerval const off{};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigaction(SIGALRM, &previous, nullptr);

    EXPECT_TRUE(result);
    EXPECT_EQ(received, 0U);
    EXPECT_LT(waited, std::chrono::seconds(20)) << "the signal, not the time-out, ended the wait";
}

TEST(LinuxSocketManager, ReceiveOnClosedHandleIsAnError) {
    LinuxSocketManager manager;
    int const handle = manager.getSocketUDP();
    manager.closeSocket(handle);
    ReceiveMessage in;
    unsigned long received = 99;
    EXPECT_FALSE(manager.recvmsg(handle, &in.message, 0, &received));
    EXPECT_EQ(manager.getError(), std::strerror(EBADF));
    EXPECT_EQ(received, 0U);
}

}  // namespace
}  // namespace QEL_Finder
