// A received datagram kept for later, and a batch of them taken from a socket in one call.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "net/control_message.h"
#include "net/socket_manager.h"

namespace QEL_Finder {

// The most of a datagram the daemon takes, header included; a longer one is cut to this size.
inline constexpr std::size_t kMaxDatagram = 576;

struct Datagram {
    sockaddr_in sender{};
    int arrivalIndex = 0;  // the interface it came in on, from IP_PKTINFO; 0 when unknown
    std::size_t size = 0;
    std::array<std::uint8_t, kMaxDatagram> bytes{};

    std::span<std::uint8_t const> data() const { return {bytes.data(), size}; }
};

// Up to kBatchSize datagrams received in one system call. Not copyable: the message headers point
// into the object itself.
class DatagramBatch {
  public:
    static constexpr std::size_t kBatchSize = 32;

    DatagramBatch();
    DatagramBatch(DatagramBatch const&) = delete;
    DatagramBatch& operator=(DatagramBatch const&) = delete;

    // Receives what the handle has queued, up to a batch (flags as for recvmmsg: MSG_WAITFORONE
    // waits for the first, MSG_DONTWAIT for none). False only for a receive error, with errno
    // kept; a time-out, a signal or nothing queued gives true and an empty batch.
    bool receive(SocketManager& sockets, int handle, int flags);
    // What the last receive took, oldest first.
    std::span<Datagram const> received() const { return {datagrams_.data(), count_}; }

  private:
    std::array<Datagram, kBatchSize> datagrams_{};
    std::array<iovec, kBatchSize> data_{};
    std::array<PacketInfoControl, kBatchSize> controls_{};
    std::array<mmsghdr, kBatchSize> headers_{};
    std::size_t count_ = 0;
};

}  // namespace QEL_Finder
