#include "net/recording_socket_manager.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "base/hex_text.h"
#include "base/ipv4_address.h"

namespace QEL_Finder::testing {

namespace {

sockaddr_in copyOf(sockaddr const* address) {
    sockaddr_in copy{};
    std::memcpy(&copy, address, sizeof copy);
    return copy;
}

}  // namespace

void RecordingSocketManager::setInterfaceAddress(char const* address, char const* mask) {
    interfaceAddress = parseIpv4(address).value_or(0);
    interfaceMask = parseIpv4(mask).value_or(0);
    interfaceFound = true;
}

int RecordingSocketManager::setsockopt(int handle, int level, int name, void const* value,
                                       unsigned int length) {
    int recorded = 0;
    std::memcpy(&recorded, value, std::min<std::size_t>(length, sizeof recorded));
    optionsSet.push_back({handle, level, name, recorded});
    if (!optionsFail) {
        return 0;
    }
    if (optionsErrno != 0) {
        lastErrno_ = optionsErrno;
    }
    return -1;
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

RecordingSocketManager::Receive const* RecordingSocketManager::play() {
    if (played_ >= receives.size()) {
        return nullptr;
    }
    if (played_ + 1 == receives.size() && onLastReceive) {
        onLastReceive();
    }
    return &receives[played_++];
}

bool RecordingSocketManager::recvmsg(int, msghdr* message, int, unsigned long* received) {
    events.push_back("recvmsg");
    receiveCalls.push_back({message->msg_namelen, message->msg_controllen, message->msg_flags});
    *received = 0;
    Receive const* next = play();
    if (next == nullptr) {
        return false;
    }
    if (next->error != 0) {
        lastErrno_ = next->error;
        return next->error == EAGAIN;
    }
    std::size_t offset = 0;
    for (std::size_t i = 0; i < message->msg_iovlen; ++i) {
        std::size_t const count =
            std::min(message->msg_iov[i].iov_len, next->datagram.size() - offset);
        if (count == 0) {
            break;  // an empty vector's data() may be null, which memcpy must not see
        }
        std::memcpy(message->msg_iov[i].iov_base, next->datagram.data() + offset, count);
        offset += count;
    }
    *received = offset;
    message->msg_flags = offset < next->datagram.size() ? MSG_TRUNC : 0;
    // The kernel shrinks the lengths to what it wrote; IP_PKTINFO takes 32 bytes.
    message->msg_controllen = message->msg_control != nullptr ? 32 : 0;
    static_cast<sockaddr_in*>(message->msg_name)->sin_addr = next->from.sin_addr;
    return true;
}

int RecordingSocketManager::recvmmsg(int handle, mmsghdr* messages, unsigned int count, int flags) {
    events.push_back("recvmmsg " + std::to_string(handle));
    batchReceiveFlags.push_back(flags);
    unsigned int taken = 0;
    while (taken < count && played_ < receives.size() &&
           (receives[played_].error == 0 || taken == 0)) {
        Receive const& next = *play();
        if (next.error != 0) {
            lastErrno_ = next.error;
            return next.error == EAGAIN || next.error == EINTR ? 0 : -1;
        }
        msghdr& message = messages[taken].msg_hdr;
        std::size_t const size = std::min(message.msg_iov[0].iov_len, next.datagram.size());
        if (size > 0) {
            std::memcpy(message.msg_iov[0].iov_base, next.datagram.data(), size);
        }
        std::memcpy(message.msg_name, &next.from, sizeof next.from);
        message.msg_controllen = 0;  // no packet information: the arrival is unknown
        messages[taken].msg_len = static_cast<unsigned int>(size);
        ++taken;
    }
    return static_cast<int>(taken);
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

AddressProbe RecordingSocketManager::probeAddress(char const* interfaceName, MacAddress const& own,
                                                  std::uint32_t address) {
    probes.push_back(std::string(interfaceName) + " " + formatIpv4(address) + " from " +
                     formatMac(own));
    return probeFinds;
}

bool RecordingSocketManager::getIpAddressFromInterfaceName(char const* name, unsigned int& address,
                                                           unsigned int& mask) {
    lookups.emplace_back(name);
    if (!lookupThrows.empty()) {
        throw std::out_of_range(lookupThrows);
    }
    if (!interfaceFound) {
        return false;
    }
    address = interfaceAddress;
    mask = interfaceMask;
    return true;
}

unsigned int RecordingSocketManager::interfaceIndex(char const* name) {
    auto const found = std::find(interfaceNames.begin(), interfaceNames.end(), name);
    return found == interfaceNames.end() || found->empty()
               ? 0
               : static_cast<unsigned int>(found - interfaceNames.begin());
}

std::string RecordingSocketManager::interfaceName(unsigned int index) {
    return index < interfaceNames.size() ? interfaceNames[index] : std::string();
}

std::string RecordingSocketManager::getError() {
    return lastErrno_ != 0 ? std::strerror(lastErrno_) : "fake failure";
}

}  // namespace QEL_Finder::testing
