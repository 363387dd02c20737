// Test helper: a receiving socket on a loopback address of its own, for the tests that send
// themselves datagrams through the real socket layer.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include "net/linux_socket_manager.h"
#include "net/socket_address.h"

namespace QEL_Finder::testing {

// Binds a new socket to a spare port of a loopback address no other test uses, with a receive
// time-out; address is where it listens.
inline int boundLoopbackSocket(LinuxSocketManager& manager, long timeoutMicroseconds,
                               sockaddr_in& address) {
    int const handle = manager.getSocketUDP();
    for (unsigned short port = 40000; port < 40200; ++port) {
        address = socketAddress("127.83.41.10", port);
        if (manager.bindSocket(handle, reinterpret_cast<sockaddr*>(&address)) == 0) {
            break;
        }
    }
    timeval const timeout{timeoutMicroseconds / 1000000, timeoutMicroseconds % 1000000};
    EXPECT_EQ(manager.setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout), 0);
    return handle;
}

}  // namespace QEL_Finder::testing
