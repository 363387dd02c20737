// The one socket interface of the daemon. Callers hold handles, never descriptors, so the
// datagram handler can be exercised against a recording fake without a network.
#pragma once

#include <cstdint>
#include <string>

#include "net/arp_probe.h"

struct mmsghdr;
struct msghdr;
struct sockaddr;

namespace QEL_Finder {

class SocketManager {
  public:
    virtual ~SocketManager() = default;

    // First default IPv4 gateway of the host in network byte order; 0 when there is none.
    virtual unsigned int getDefaultGateway() = 0;
    // System setsockopt on the handle's descriptor; -1 for a handle past the last one given out.
    virtual int setsockopt(int handle, int level, int name, void const* value,
                           unsigned int length) = 0;
    // System getsockopt on the handle's descriptor; -1 for a handle past the last one given out.
    virtual int getsockopt(int handle, int level, int name, void* value, unsigned int* length) = 0;
    virtual long sendto(int handle, char const* data, unsigned long length, int flags,
                        sockaddr const* destination, int destinationLength) = 0;
    virtual long recvfrom(int handle, void* buffer, unsigned long size, int flags, sockaddr* source,
                          unsigned int* sourceLength) = 0;
    // Bytes sent, or -1 with errno kept for getError().
    virtual long sendmsg(int handle, msghdr* message, int flags) = 0;
    // False only for a real receive error; a time-out or a signal gives true with 0 bytes.
    virtual bool recvmsg(int handle, msghdr* message, int flags, unsigned long* received) = 0;
    // System recvmmsg without a time-out of its own: the number of datagrams received, each
    // header's msg_len set; 0 when the socket's time-out, a signal or MSG_DONTWAIT found none;
    // -1 for a real receive error, with errno kept for getError().
    virtual int recvmmsg(int handle, mmsghdr* messages, unsigned int count, int flags) = 0;
    // True when the datagram's IP_PKTINFO says it was sent to 255.255.255.255.
    virtual bool wasBroadcastMessage(msghdr* message) = 0;
    // Index of the arrival interface from IP_PKTINFO, or -1.
    virtual int getInterfaceIndex(msghdr* message) = 0;
    // Index of the named interface; 0 when there is none.
    virtual unsigned int interfaceIndex(char const* name) = 0;
    // Name of the interface with that index; empty when there is none.
    virtual std::string interfaceName(unsigned int index) = 0;
    // Closes the handle's descriptor; the handle then acts as a closed descriptor.
    virtual void closeSocket(int handle) = 0;
    // A new UDP socket's handle (0, 1, 2, ... never reused), or -1 with errno kept.
    virtual int getSocketUDP() = 0;
    // System bind with a 16-byte IPv4 address: 0 or -1.
    virtual int bindSocket(int handle, sockaddr* address) = 0;
    // First non-loopback IPv4 address and mask of the named interface (or of one of its
    // "name:label" aliases), in network byte order; false leaves both outputs untouched.
    virtual bool getIpAddressFromInterfaceName(char const* name, unsigned int& address,
                                               unsigned int& mask) = 0;
    // strerror(errno), nothing added.
    virtual std::string getError() = 0;
    // System connect with a 16-byte IPv4 address: 0 or -1. A connected UDP socket receives only
    // from its peer and still sends to any destination a message names.
    virtual int connectSocket(int handle, sockaddr const* peer) = 0;
    // ARP probes for address (network byte order) on the named interface from own, as
    // probeAddressWithArp sends them: the holder's MAC, none, or why the probe could not run.
    virtual AddressProbe probeAddress(char const* interfaceName, MacAddress const& own,
                                      std::uint32_t address) = 0;
};

}  // namespace QEL_Finder
