#include "net/socket_address.h"

#include <arpa/inet.h>

#include "base/ipv4_address.h"

namespace QEL_Finder::testing {

sockaddr_in socketAddress(in_addr address, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr = address;
    return result;
}

sockaddr_in socketAddress(char const* address, std::uint16_t port) {
    return socketAddress(in_addr{parseIpv4(address).value_or(0)}, port);
}

std::string addressText(sockaddr_in const& address) {
    return formatIpv4(address.sin_addr.s_addr) + ":" + std::to_string(ntohs(address.sin_port));
}

msghdr messageHeader(sockaddr_in& address, std::span<iovec> data,
                     std::span<unsigned char> control) {
    msghdr message{};
    message.msg_name = &address;
    message.msg_namelen = sizeof address;
    message.msg_iov = data.data();
    message.msg_iovlen = data.size();
    if (!control.empty()) {
        message.msg_control = control.data();
        message.msg_controllen = control.size();
    }
    return message;
}

}  // namespace QEL_Finder::testing
