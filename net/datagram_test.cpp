#include "net/datagram.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/linux_socket_manager.h"
#include "net/loopback_socket.h"

namespace QEL_Finder {
namespace {

using testing::boundLoopbackSocket;

// The loop's batch read: what is queued in one call, each cut to the daemon's size; then a
// time-out is no datagram, and only a real error is false.
TEST(DatagramBatch, ReceiveTakesWhatIsQueuedInOrder) {
    LinuxSocketManager manager;
    sockaddr_in address{};
    int const receiver = boundLoopbackSocket(manager, 200000, address);
    int const on = 1;
    ASSERT_EQ(manager.setsockopt(receiver, IPPROTO_IP, IP_PKTINFO, &on, sizeof on), 0);
    int const sender = manager.getSocketUDP();
    std::string const sizes[] = {std::string(8, 'a'), std::string(600, 'b'), std::string()};
    for (std::string const& datagram : sizes) {
        ASSERT_EQ(manager.sendto(sender, datagram.data(), datagram.size(), 0,
                                 reinterpret_cast<sockaddr*>(&address), sizeof address),
                  static_cast<long>(datagram.size()));
    }
    DatagramBatch batch;
    ASSERT_TRUE(batch.receive(manager, receiver, MSG_WAITFORONE)) << manager.getError();
    ASSERT_EQ(batch.received().size(), 3U);
    EXPECT_EQ(batch.received()[0].size, 8U);
    EXPECT_EQ(batch.received()[1].size, kMaxDatagram);
    EXPECT_EQ(batch.received()[1].bytes.back(), 'b');
    EXPECT_EQ(batch.received()[2].size, 0U);
    EXPECT_EQ(batch.received()[0].sender.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(static_cast<unsigned int>(batch.received()[2].arrivalIndex),
              manager.interfaceIndex("lo"));
    EXPECT_NE(manager.interfaceIndex("lo"), 0U);
    EXPECT_EQ(manager.interfaceName(manager.interfaceIndex("lo")), "lo");

    EXPECT_TRUE(batch.receive(manager, receiver, MSG_WAITFORONE));
    EXPECT_TRUE(batch.received().empty());
    manager.closeSocket(receiver);
    EXPECT_FALSE(batch.receive(manager, receiver, MSG_WAITFORONE));
    EXPECT_EQ(manager.getError(), std::strerror(EBADF));
}

}  // namespace
}  // namespace QEL_Finder
