// Test double: a SocketManager without sockets that records every call, plays scripted receives,
// answers the two network look-ups from its settings and fails on request. Serves every test that
// needs a manager.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/socket_address.h"
#include "net/socket_manager.h"

namespace QEL_Finder::testing {

class RecordingSocketManager : public SocketManager {
  public:
    // One scripted receive: a datagram from 192.0.2.1 (or from), or an errno (EAGAIN plays the
    // time-out, which the real manager turns into no datagram).
    struct Receive {
        std::vector<std::uint8_t> datagram;
        int error = 0;
        sockaddr_in from = socketAddress("192.0.2.1", 50000);
    };
    // How a receive found the message header: what the kernel would overwrite.
    struct ReceiveCall {
        unsigned int nameLength;
        std::size_t controlLength;
        int flags;
    };
    struct Sent {
        int handle;
        sockaddr_in destination;
        std::vector<std::vector<std::uint8_t>> buffers;  // bytes of each data buffer
        bool hasControl;
        int flags;
    };
    struct Option {
        int handle;
        int level;
        int name;
        int value;
    };
    struct Address {  // a bind or a connect
        int handle;
        sockaddr_in address;
    };

    // The interface's address and mask, dotted; sets interfaceFound.
    void setInterfaceAddress(char const* address, char const* mask);

    // Settings. Addresses are in network byte order.
    bool interfaceFound = false;  // without an address the look-up fails
    unsigned int interfaceAddress = 0;
    unsigned int interfaceMask = 0;
    unsigned int gateway = 0;
    int nextHandle = 0;        // the next socket's handle; -1 makes creation fail
    bool optionsFail = false;  // setsockopt fails
    int optionsErrno = 0;      // non-zero: the errno a failing setsockopt sets
    int bindErrno = 0;         // non-zero: bindSocket fails with this errno
    int sendErrno = 0;         // non-zero: sendmsg fails with this errno
    std::string lookupThrows;  // non-empty: the look-up throws std::out_of_range with this text
    // The host's interfaces by index, for the two name look-ups.
    std::vector<std::string> interfaceNames{"", "lo", "eth0", "eth1"};
    // What recvmsg plays, one call each, filled in as the kernel does; recvmmsg takes the
    // datagrams up to the next errno, or that errno alone when it comes first. Once they are used
    // up, both fail as with nothing queued.
    std::vector<Receive> receives;
    std::function<void()> onLastReceive;  // runs as the last scripted receive is played
    AddressProbe probeFinds;              // what every address probe answers

    // What happened, in order: "socket 0", "bind 0 192.0.2.10:3956", "connect 0 ...", "recvmsg",
    // "recvmmsg 0" (the handle), "send 0", "close 0", and whatever a test appends.
    std::vector<std::string> events;
    std::vector<std::string> lookups;  // names given to getIpAddressFromInterfaceName
    std::vector<int> created;
    std::vector<Option> optionsSet;
    std::vector<Address> binds;
    std::vector<Address> connects;
    std::vector<Sent> sent;
    std::vector<int> closed;
    std::vector<ReceiveCall> receiveCalls;
    std::vector<int> batchReceiveFlags;  // the flags of each recvmmsg
    std::vector<std::string> probes;     // "eth0 192.0.2.20 from 00:1a:2b:3c:4d:5e" per probe

    unsigned int getDefaultGateway() override { return gateway; }
    int setsockopt(int handle, int level, int name, void const* value,
                   unsigned int length) override;
    // Every option reads as off.
    int getsockopt(int handle, int level, int name, void* value, unsigned int* length) override;
    long sendto(int handle, char const* data, unsigned long length, int flags,
                sockaddr const* destination, int destinationLength) override;
    long recvfrom(int handle, void* buffer, unsigned long size, int flags, sockaddr* source,
                  unsigned int* sourceLength) override;
    long sendmsg(int handle, msghdr* message, int flags) override;
    // The next scripted receive; false once there is none.
    bool recvmsg(int handle, msghdr* message, int flags, unsigned long* received) override;
    int recvmmsg(int handle, mmsghdr* messages, unsigned int count, int flags) override;
    bool wasBroadcastMessage(msghdr*) override { return false; }
    int getInterfaceIndex(msghdr*) override { return -1; }
    unsigned int interfaceIndex(char const* name) override;
    std::string interfaceName(unsigned int index) override;
    void closeSocket(int handle) override;
    int getSocketUDP() override;
    int bindSocket(int handle, sockaddr* address) override;
    bool getIpAddressFromInterfaceName(char const* name, unsigned int& address,
                                       unsigned int& mask) override;
    // The text of the errno a configured failure set, or "fake failure" for one without errno,
    // so expected messages do not depend on the process's errno.
    std::string getError() override;
    int connectSocket(int handle, sockaddr const* peer) override;
    AddressProbe probeAddress(char const* interfaceName, MacAddress const& own,
                              std::uint32_t address) override;

  private:
    // The next scripted receive, counted as played; null once there is none.
    Receive const* play();

    int lastErrno_ = 0;
    std::size_t played_ = 0;
};

}  // namespace QEL_Finder::testing
