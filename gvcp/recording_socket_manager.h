// Test double: a SocketManager without sockets that records every call, answers the two network
// look-ups from its settings and fails on request.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/socket_manager.h"

namespace QEL_Finder::testing {

// An IPv4 socket address from dotted text and a port in host order.
sockaddr_in socketAddress(char const* address, unsigned short port);
// Dotted text and port of an IPv4 socket address, "a.b.c.d:port".
std::string addressText(sockaddr_in const& address);

class RecordingSocketManager : public SocketManager {
  public:
    struct Sent {
        int handle;
        sockaddr_in destination;
        std::vector<std::vector<std::uint8_t>> buffers;  // bytes of each data buffer
        bool hasControl;
        int flags;
    };

    // The interface's address and mask, dotted; without this call it has no IPv4 address.
    void setInterfaceAddress(char const* address, char const* mask);

    // Settings.
    unsigned int gateway = 0;  // network byte order
    int sendErrno = 0;         // non-zero: sendmsg fails with this errno
    int bindErrno = 0;         // non-zero: bindSocket fails with this errno

    // What happened, in order: "socket 0", "bind 0 192.0.2.10:3956", "send 0", "close 0", and
    // whatever a test appends.
    std::vector<std::string> events;
    std::vector<Sent> sent;
    std::vector<std::string> lookups;  // names given to getIpAddressFromInterfaceName

    unsigned int getDefaultGateway() override;
    int setsockopt(int handle, int level, int name, void const* value,
                   unsigned int length) override;
    int getsockopt(int handle, int level, int name, void* value, unsigned int* length) override;
    long sendto(int handle, char const* data, unsigned long length, int flags,
                sockaddr const* destination, int destinationLength) override;
    long recvfrom(int handle, void* buffer, unsigned long size, int flags, sockaddr* source,
                  unsigned int* sourceLength) override;
    long sendmsg(int handle, msghdr* message, int flags) override;
    bool recvmsg(int handle, msghdr* message, int flags, unsigned long* received) override;
    bool wasBroadcastMessage(msghdr* message) override;
    int getInterfaceIndex(msghdr* message) override;
    void closeSocket(int handle) override;
    int getSocketUDP() override;
    int bindSocket(int handle, sockaddr* address) override;
    bool getIpAddressFromInterfaceName(char const* name, unsigned int& address,
                                       unsigned int& mask) override;
    std::string getError() override;
    int connectSocket(int handle, sockaddr const* peer) override;

  private:
    std::optional<in_addr> address_;
    in_addr mask_{};
    int nextHandle_ = 0;
    int lastErrno_ = 0;
};

}  // namespace QEL_Finder::testing
