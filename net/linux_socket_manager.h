// The Linux implementation of SocketManager.
#pragma once

#include "net/handle_table.h"
#include "net/socket_manager.h"

namespace QEL_Finder {

class LinuxSocketManager : public SocketManager {
  public:
    LinuxSocketManager() = default;
    LinuxSocketManager(LinuxSocketManager const&) = delete;
    LinuxSocketManager& operator=(LinuxSocketManager const&) = delete;
    // Closes every descriptor that is still open.
    ~LinuxSocketManager() override;

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
    int recvmmsg(int handle, mmsghdr* messages, unsigned int count, int flags) override;
    bool wasBroadcastMessage(msghdr* message) override;
    int getInterfaceIndex(msghdr* message) override;
    unsigned int interfaceIndex(char const* name) override;
    std::string interfaceName(unsigned int index) override;
    void closeSocket(int handle) override;
    int getSocketUDP() override;
    int bindSocket(int handle, sockaddr* address) override;
    bool getIpAddressFromInterfaceName(char const* name, unsigned int& address,
                                       unsigned int& mask) override;
    std::string getError() override;
    int connectSocket(int handle, sockaddr const* peer) override;
    AddressProbe probeAddress(char const* interfaceName, MacAddress const& own,
                              std::uint32_t address) override;

  private:
    HandleTable handles_;
};

}  // namespace QEL_Finder
