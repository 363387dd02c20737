#include "net/datagram.h"

namespace QEL_Finder {

DatagramBatch::DatagramBatch() {
    for (std::size_t i = 0; i < kBatchSize; ++i) {
        data_[i] = {datagrams_[i].bytes.data(), kMaxDatagram};
    }
}

bool DatagramBatch::receive(SocketManager& sockets, int handle, int flags) {
    // The kernel shrinks the name length and sets the flags of every header it fills.
    for (std::size_t i = 0; i < kBatchSize; ++i) {
        msghdr& message = headers_[i].msg_hdr;
        message = {};
        message.msg_name = &datagrams_[i].sender;
        message.msg_namelen = sizeof datagrams_[i].sender;
        message.msg_iov = &data_[i];
        message.msg_iovlen = 1;
        message.msg_control = controls_[i].bytes;
        message.msg_controllen = sizeof controls_[i].bytes;
        headers_[i].msg_len = 0;
    }
    int const count = sockets.recvmmsg(handle, headers_.data(), kBatchSize, flags);
    count_ = count > 0 ? static_cast<std::size_t>(count) : 0;
    for (std::size_t i = 0; i < count_; ++i) {
        datagrams_[i].size = headers_[i].msg_len;
        auto const info = findPacketInfo(headers_[i].msg_hdr);
        datagrams_[i].arrivalIndex = info ? info->ipi_ifindex : 0;
    }
    return count >= 0;
}

}  // namespace QEL_Finder
