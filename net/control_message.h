// Reading the packet information the kernel attaches to a received datagram.
#pragma once

#include <netinet/in.h>

#include <optional>

struct msghdr;

namespace QEL_Finder {

// The first IPPROTO_IP/IP_PKTINFO control message of a received message; empty when the control
// buffer is missing, shorter than one header, or holds no such message.
std::optional<in_pktinfo> findPacketInfo(msghdr const& message);

}  // namespace QEL_Finder
