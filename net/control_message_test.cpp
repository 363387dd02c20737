#include "net/control_message.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

#include "net/linux_socket_manager.h"
#include "net/private_network.h"
#include "net/socket_address.h"

namespace QEL_Finder {
namespace {

// A control buffer laid out as the kernel does: headers and data on 8-byte boundaries.
struct ControlBuffer {
    alignas(cmsghdr) unsigned char bytes[256] = {};
    msghdr message{};
    std::size_t used = 0;

    ControlBuffer() {
        message.msg_control = bytes;
        message.msg_controllen = sizeof bytes;
    }
    void append(int level, int type, void const* data, std::size_t length) {
        auto* header = reinterpret_cast<cmsghdr*>(bytes + used);
        header->cmsg_level = level;
        header->cmsg_type = type;
        header->cmsg_len = CMSG_LEN(length);
        std::memcpy(CMSG_DATA(header), data, length);
        used += CMSG_SPACE(length);
        message.msg_controllen = used;
    }
};

in_pktinfo packetInfo(int index, char const* destination) {
    in_pktinfo info{};
    info.ipi_ifindex = index;
    ::inet_pton(AF_INET, destination, &info.ipi_addr);
    return info;
}

TEST(ControlMessage, FindsPacketInfoBehindOtherMessages) {
    ControlBuffer buffer;
    int const ttl = 64;
    buffer.append(IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
    in_pktinfo const sent = packetInfo(7, "255.255.255.255");
    buffer.append(IPPROTO_IP, IP_PKTINFO, &sent, sizeof sent);

    auto const found = findPacketInfo(buffer.message);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->ipi_ifindex, 7);
    LinuxSocketManager manager;
    EXPECT_TRUE(manager.wasBroadcastMessage(&buffer.message));
    EXPECT_EQ(manager.getInterfaceIndex(&buffer.message), 7);
}

TEST(ControlMessage, FindsNothingInShortOrBrokenBuffers) {
    ControlBuffer buffer;
    in_pktinfo const sent = packetInfo(3, "255.255.255.255");
    buffer.append(IPPROTO_IP, IP_PKTINFO, &sent, sizeof sent);
    LinuxSocketManager manager;

    buffer.message.msg_controllen = sizeof(cmsghdr) - 1;
    EXPECT_FALSE(findPacketInfo(buffer.message).has_value());
    EXPECT_FALSE(manager.wasBroadcastMessage(&buffer.message));
    EXPECT_EQ(manager.getInterfaceIndex(&buffer.message), -1);

    buffer.message.msg_controllen = buffer.used;
    buffer.message.msg_control = nullptr;
    EXPECT_FALSE(findPacketInfo(buffer.message).has_value());

    // A header claiming less than its own size ends the walk before the packet information.
    ControlBuffer broken;
    int const ttl = 1;
    broken.append(IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
    broken.append(IPPROTO_IP, IP_PKTINFO, &sent, sizeof sent);
    reinterpret_cast<cmsghdr*>(broken.bytes)->cmsg_len = sizeof(cmsghdr) - 1;
    EXPECT_FALSE(findPacketInfo(broken.message).has_value());

    // A packet information message cut off by the end of the buffer is not read.
    buffer.message.msg_control = buffer.bytes;
    buffer.message.msg_controllen = CMSG_LEN(sizeof(in_pktinfo)) - 4;
    EXPECT_FALSE(findPacketInfo(buffer.message).has_value());
}

using testing::messageHeader;
using testing::socketAddress;

struct Arrival {
    bool broadcast = false;
    int interfaceIndex = -2;
    unsigned long bytes = 0;
};

// Sends one datagram from the private address to destination and reads how it arrived.
Arrival sendAndReceive(LinuxSocketManager& manager, int receiver, char const* destination) {
    int const sender = manager.getSocketUDP();
    int const on = 1;
    manager.setsockopt(sender, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in source = socketAddress(testing::kPrivateAddress, 0);
    EXPECT_EQ(manager.bindSocket(sender, reinterpret_cast<sockaddr*>(&source)), 0);
    sockaddr_in target = socketAddress(destination, 3956);
    char const payload[] = "ping";
    EXPECT_EQ(manager.sendto(sender, payload, sizeof payload, 0,
                             reinterpret_cast<sockaddr*>(&target), sizeof target),
              static_cast<long>(sizeof payload))
        << manager.getError();
    manager.closeSocket(sender);

    char data[64];
    iovec part{data, sizeof data};
    sockaddr_in from{};
    alignas(cmsghdr) unsigned char control[512];
    msghdr message = messageHeader(from, {&part, 1}, control);
    Arrival arrival;
    EXPECT_TRUE(manager.recvmsg(receiver, &message, 0, &arrival.bytes)) << manager.getError();
    arrival.broadcast = manager.wasBroadcastMessage(&message);
    arrival.interfaceIndex = manager.getInterfaceIndex(&message);
    return arrival;
}

TEST(ControlMessage, TellsLimitedBroadcastFromOtherDestinations) {
    testing::runTestInPrivateNetwork([] {
        LinuxSocketManager manager;
        int const receiver = manager.getSocketUDP();
        sockaddr_in any = socketAddress("0.0.0.0", 3956);
        ASSERT_EQ(manager.bindSocket(receiver, reinterpret_cast<sockaddr*>(&any)), 0);
        int const on = 1;
        manager.setsockopt(receiver, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
        timeval const wait{10, 0};
        manager.setsockopt(receiver, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);

        Arrival const limited = sendAndReceive(manager, receiver, "255.255.255.255");
        EXPECT_EQ(limited.bytes, 5U);
        EXPECT_TRUE(limited.broadcast);
        EXPECT_EQ(limited.interfaceIndex, static_cast<int>(::if_nametoindex("tveth0")));

        Arrival const own = sendAndReceive(manager, receiver, testing::kPrivateAddress);
        EXPECT_EQ(own.bytes, 5U);
        EXPECT_FALSE(own.broadcast);
        EXPECT_GT(own.interfaceIndex, 0);

        Arrival const subnet = sendAndReceive(manager, receiver, testing::kPrivateSubnetBroadcast);
        EXPECT_EQ(subnet.bytes, 5U);
        EXPECT_FALSE(subnet.broadcast);
    });
}

}  // namespace
}  // namespace QEL_Finder
