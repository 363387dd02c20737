#include "net/deferred_datagrams.h"

#include <sys/socket.h>
#include <sys/uio.h>

#include <array>
#include <deque>

namespace QEL_Finder {

namespace {

constexpr std::size_t kDatagramBytes = 576;
constexpr std::size_t kMaxKept = 64;

std::deque<DeferredDatagram>& store() {
    static std::deque<DeferredDatagram> kept;
    return kept;
}

}  // namespace

void deferQueuedDatagrams(SocketManager& manager, int handle) {
    for (std::size_t taken = 0; taken < kMaxKept; ++taken) {
        DeferredDatagram datagram{};
        std::array<std::uint8_t, kDatagramBytes> buffer{};
        iovec data{buffer.data(), buffer.size()};
        msghdr message{};
        message.msg_name = &datagram.sender;
        message.msg_namelen = sizeof datagram.sender;
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        unsigned long received = 0;
        if (!manager.recvmsg(handle, &message, MSG_DONTWAIT, &received) || received == 0) {
            return;
        }
        datagram.bytes.assign(buffer.begin(), buffer.begin() + static_cast<long>(received));
        if (store().size() < kMaxKept) {
            store().push_back(std::move(datagram));
        }
    }
}

std::optional<DeferredDatagram> takeDeferredDatagram() {
    if (store().empty()) {
        return std::nullopt;
    }
    DeferredDatagram datagram = std::move(store().front());
    store().pop_front();
    return datagram;
}

}  // namespace QEL_Finder
