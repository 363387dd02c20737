#include "net/linux_socket_manager.h"

#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/control_message.h"
#include "net/default_gateway.h"
#include "net/interface_address.h"

namespace QEL_Finder {

LinuxSocketManager::~LinuxSocketManager() {
    for (int const fd : handles_.openDescriptors()) {
        ::close(fd);
    }
}

unsigned int LinuxSocketManager::getDefaultGateway() {
    return readDefaultGateway();
}

int LinuxSocketManager::setsockopt(int handle, int level, int name, void const* value,
                                   unsigned int length) {
    if (handle >= 0 && !handles_.givenOut(handle)) {
        return -1;
    }
    return ::setsockopt(handles_.descriptor(handle), level, name, value, length);
}

int LinuxSocketManager::getsockopt(int handle, int level, int name, void* value,
                                   unsigned int* length) {
    if (handle >= 0 && !handles_.givenOut(handle)) {
        return -1;
    }
    return ::getsockopt(handles_.descriptor(handle), level, name, value, length);
}

long LinuxSocketManager::sendto(int handle, char const* data, unsigned long length, int flags,
                                sockaddr const* destination, int destinationLength) {
    return ::sendto(handles_.descriptor(handle), data, length, flags, destination,
                    static_cast<socklen_t>(destinationLength));
}

long LinuxSocketManager::recvfrom(int handle, void* buffer, unsigned long size, int flags,
                                  sockaddr* source, unsigned int* sourceLength) {
    return ::recvfrom(handles_.descriptor(handle), buffer, size, flags, source, sourceLength);
}

long LinuxSocketManager::sendmsg(int handle, msghdr* message, int flags) {
    return ::sendmsg(handles_.descriptor(handle), message, flags);
}

bool LinuxSocketManager::recvmsg(int handle, msghdr* message, int flags, unsigned long* received) {
    long const count = ::recvmsg(handles_.descriptor(handle), message, flags);
    if (count >= 0) {
        *received = static_cast<unsigned long>(count);
        return true;
    }
    *received = 0;
    // A receive time-out or a stop signal is not an error: the caller re-checks its run flag.
    return errno == EAGAIN || errno == EINTR;  // EWOULDBLOCK is EAGAIN on Linux
}

int LinuxSocketManager::recvmmsg(int handle, mmsghdr* messages, unsigned int count, int flags) {
    int const received = ::recvmmsg(handles_.descriptor(handle), messages, count, flags, nullptr);
    if (received >= 0) {
        return received;
    }
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

bool LinuxSocketManager::wasBroadcastMessage(msghdr* message) {
    if (message == nullptr) {
        return false;
    }
    auto const info = findPacketInfo(*message);
    return info.has_value() && info->ipi_addr.s_addr == INADDR_BROADCAST;
}

int LinuxSocketManager::getInterfaceIndex(msghdr* message) {
    if (message == nullptr) {
        return -1;
    }
    auto const info = findPacketInfo(*message);
    return info.has_value() ? info->ipi_ifindex : -1;
}

unsigned int LinuxSocketManager::interfaceIndex(char const* name) {
    return ::if_nametoindex(name);
}

std::string LinuxSocketManager::interfaceName(unsigned int index) {
    char name[IF_NAMESIZE] = {};
    return ::if_indextoname(index, name) != nullptr ? std::string(name) : std::string();
}

void LinuxSocketManager::closeSocket(int handle) {
    int const fd = handles_.release(handle);
    if (fd >= 0) {
        ::close(fd);
    }
}

int LinuxSocketManager::getSocketUDP() {
    int const fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        return -1;
    }
    int const handle = handles_.add(fd);
    if (handle < 0) {
        ::close(fd);
        errno = EMFILE;
    }
    return handle;
}

int LinuxSocketManager::bindSocket(int handle, sockaddr* address) {
    return ::bind(handles_.descriptor(handle), address, sizeof(sockaddr_in));
}

bool LinuxSocketManager::getIpAddressFromInterfaceName(char const* name, unsigned int& address,
                                                       unsigned int& mask) {
    return findInterfaceAddress(name, address, mask);
}

std::string LinuxSocketManager::getError() {
    return std::strerror(errno);
}

int LinuxSocketManager::connectSocket(int handle, sockaddr const* peer) {
    return ::connect(handles_.descriptor(handle), peer, sizeof(sockaddr_in));
}

// The probe's socket lives for the probe alone: it never becomes a handle.
AddressProbe LinuxSocketManager::probeAddress(char const* interfaceName, MacAddress const& own,
                                              std::uint32_t address) {
    return probeAddressWithArp(interfaceName, own, address);
}

}  // namespace QEL_Finder
