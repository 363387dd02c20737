// Reading the packet information the kernel attaches to a received datagram.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <optional>

namespace QEL_Finder {

// The first IPPROTO_IP/IP_PKTINFO control message of a received message; empty when the control
// buffer is missing, shorter than one header, or holds no such message.
std::optional<in_pktinfo> findPacketInfo(msghdr const& message);

// Room for one IP_PKTINFO control message, aligned as the kernel reads it.
struct PacketInfoControl {
    alignas(cmsghdr) unsigned char bytes[CMSG_SPACE(sizeof(in_pktinfo))];
};

// Makes info the message's only control message, held in control, so a send leaves by
// info.ipi_ifindex (when not 0) from the source address info.ipi_spec_dst (when not 0).
void attachPacketInfo(msghdr& message, PacketInfoControl& control, in_pktinfo const& info);

}  // namespace QEL_Finder
