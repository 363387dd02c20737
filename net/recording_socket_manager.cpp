#include "net/recording_socket_manager.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace QEL_Finder::testing {

namespace {

sockaddr_in copyOf(sockaddr const* address) {
    sockaddr_in copy{};
    std::memcpy(&copy, address, sizeof copy);
    return copy;
}

}  // namespace

sockaddr_in socketAddress(char const* address, unsigned short port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    inet_pton(AF_INET, address, &result.sin_addr);
    return result;
}

std::string addressText(sockaddr_in const& address) {
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

void RecordingSocketManager::setInterfaceAddress(char const* address, char const* mask) {
    inet_pton(AF_INET, address, &interfaceAddress);
    inet_pton(AF_INET, mask, &interfaceMask);
    interfaceFound = true;
}

int RecordingSocketManager::setsockopt(int handle, int level, int name, void const* value,
                                       unsigned int length) {
    int recorded = 0;
    std::memcpy(&recorded, value, std::min<std::size_t>(length, sizeof recorded));
    optionsSet.push_back({handle, level, name, recorded});
    return optionsFail ? -1 : 0;
}

int RecordingSocketManager::getsockopt(int, int, int, void* value, unsigned int* length) {
    std::memset(value, 0, *length);
    return 0;
}

long RecordingSocketManager::sendto(int, char const*, unsigned long, int, sockaddr const*, int) {
    events.push_back("sendto");
    return -1;
}

long RecordingSocketManager::recvfrom(int, void*, unsigned long, int, sockaddr*, unsigned int*) {
    events.push_back("recvfrom");
    return -1;
}

long RecordingSocketManager::sendmsg(int handle, msghdr* message, int flags) {
    events.push_back("send " + std::to_string(handle));
    Sent record{
        handle, {}, {}, message->msg_control != nullptr || message->msg_controllen != 0, flags};
    std::memcpy(&record.destination, message->msg_name,
                std::min<std::size_t>(message->msg_namelen, sizeof record.destination));
    long total = 0;
    for (std::size_t i = 0; i < message->msg_iovlen; ++i) {
        auto const* bytes = static_cast<std::uint8_t const*>(message->msg_iov[i].iov_base);
        record.buffers.emplace_back(bytes, bytes + message->msg_iov[i].iov_len);
        total += static_cast<long>(message->msg_iov[i].iov_len);
    }
    sent.push_back(std::move(record));
    if (sendErrno != 0) {
        lastErrno_ = sendErrno;
        return -1;
    }
    return total;
}

bool RecordingSocketManager::recvmsg(int, msghdr*, int, unsigned long* received) {
    events.push_back("recvmsg");
    *received = 0;
    return false;
}

void RecordingSocketManager::closeSocket(int handle) {
    events.push_back("close " + std::to_string(handle));
    closed.push_back(handle);
}

int RecordingSocketManager::getSocketUDP() {
    if (nextHandle < 0) {
        return -1;
    }
    events.push_back("socket " + std::to_string(nextHandle));
    created.push_back(nextHandle);
    return nextHandle++;
}

int RecordingSocketManager::bindSocket(int handle, sockaddr* address) {
    binds.push_back({handle, copyOf(address)});
    events.push_back("bind " + std::to_string(handle) + " " + addressText(binds.back().address));
    if (bindErrno != 0) {
        lastErrno_ = bindErrno;
        return -1;
    }
    return 0;
}

int RecordingSocketManager::connectSocket(int handle, sockaddr const* peer) {
    connects.push_back({handle, copyOf(peer)});
    events.push_back("connect " + std::to_string(handle) + " " +
                     addressText(connects.back().address));
    return 0;
}

bool RecordingSocketManager::getIpAddressFromInterfaceName(char const* name, unsigned int& address,
                                                           unsigned int& mask) {
    lookups.emplace_back(name);
    if (!interfaceFound) {
        return false;
    }
    address = interfaceAddress;
    mask = interfaceMask;
    return true;
}

std::string RecordingSocketManager::getError() {
    return lastErrno_ != 0 ? std::strerror(lastErrno_) : "fake failure";
}

}  // namespace QEL_Finder::testing
