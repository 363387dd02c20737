// Test helpers: IPv4 socket addresses, and the message header that carries one through sendmsg and
// recvmsg. Shared by the unit tests and the integration suites' udp_peer.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <cstdint>
#include <span>
#include <string>

namespace QEL_Finder::testing {

// An IPv4 socket address of address and a port in host order.
sockaddr_in socketAddress(in_addr address, std::uint16_t port);
// The same from dotted text; the address is 0.0.0.0 when the text is none.
sockaddr_in socketAddress(char const* address, std::uint16_t port);
// Dotted text and port of an IPv4 socket address, "a.b.c.d:port".
std::string addressText(sockaddr_in const& address);

// A message header naming address, the data buffers and the control buffer (none when empty).
msghdr messageHeader(sockaddr_in& address, std::span<iovec> data,
                     std::span<unsigned char> control = {});

}  // namespace QEL_Finder::testing
