#include "net/control_message.h"

#include <sys/socket.h>

#include <cstddef>
#include <cstring>

namespace QEL_Finder {

std::optional<in_pktinfo> findPacketInfo(msghdr const& message) {
    if (message.msg_control == nullptr || message.msg_controllen < sizeof(cmsghdr)) {
        return std::nullopt;
    }
    // The walk macros take a mutable message; they only read it.
    auto* walked = const_cast<msghdr*>(&message);
    auto const* const end =
        static_cast<unsigned char const*>(message.msg_control) + message.msg_controllen;
    for (cmsghdr* header = CMSG_FIRSTHDR(walked); header != nullptr;
         header = CMSG_NXTHDR(walked, header)) {
        // The first header is not checked against the buffer's end by CMSG_FIRSTHDR.
        auto const* const start = reinterpret_cast<unsigned char const*>(header);
        if (header->cmsg_len < sizeof(cmsghdr) ||
            header->cmsg_len > static_cast<std::size_t>(end - start)) {
            break;
        }
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO &&
            header->cmsg_len >= CMSG_LEN(sizeof(in_pktinfo))) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            return info;
        }
    }
    return std::nullopt;
}

void attachPacketInfo(msghdr& message, PacketInfoControl& control, in_pktinfo const& info) {
    control = PacketInfoControl{};
    message.msg_control = control.bytes;
    message.msg_controllen = sizeof control.bytes;
    cmsghdr* const header = CMSG_FIRSTHDR(&message);
    if (header == nullptr) {  // never: the room is set just above
        return;
    }
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof info);
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
}

}  // namespace QEL_Finder
