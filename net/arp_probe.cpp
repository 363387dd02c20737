#include "net/arp_probe.h"

#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/fd.h"

namespace QEL_Finder {

namespace {

using Clock = std::chrono::steady_clock;

AddressProbe failed(char const* step) {
    return {std::nullopt, std::string(step) + ": " + std::strerror(errno)};
}

// A datagram packet socket: the kernel adds and strips the Ethernet header, and the socket hears
// ARP on this interface only. Non-blocking, so that waiting is poll's alone and keeps the deadline.
// Opened for no protocol, so it hears nothing until the bind names ARP and the interface: no frame
// of another interface gets in first, and the kernel has no receive hook to take down again at
// the bind, which waits for an RCU grace period (about 10 ms).
Fd openArpSocket(int interfaceIndex) {
    Fd socket(::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket) {
        return socket;
    }
    sockaddr_ll local{};
    local.sll_family = AF_PACKET;
    local.sll_protocol = htons(ETH_P_ARP);
    local.sll_ifindex = interfaceIndex;
    if (::bind(socket.get(), reinterpret_cast<sockaddr const*>(&local), sizeof local) != 0) {
        int const cause = errno;
        socket = Fd();
        errno = cause;
    }
    return socket;
}

bool sendProbe(Fd const& socket, int interfaceIndex, MacAddress const& own, std::uint32_t address) {
    auto const frame = encodeArpProbe(own, address);
    sockaddr_ll broadcast{};
    broadcast.sll_family = AF_PACKET;
    broadcast.sll_protocol = htons(ETH_P_ARP);
    broadcast.sll_ifindex = interfaceIndex;
    broadcast.sll_halen = ETH_ALEN;
    std::fill_n(broadcast.sll_addr, ETH_ALEN, 0xFF);
    return ::sendto(socket.get(), frame.data(), frame.size(), 0,
                    reinterpret_cast<sockaddr const*>(&broadcast),
                    sizeof broadcast) == static_cast<long>(frame.size());
}

// Reads every queued frame; the first holder, or none once the queue is empty. False in ok for a
// receive error.
std::optional<MacAddress> readHolder(Fd const& socket, MacAddress const& own, std::uint32_t address,
                                     bool& ok) {
    std::array<std::uint8_t, 64> buffer{};
    for (;;) {
        long const size = ::recv(socket.get(), buffer.data(), buffer.size(), 0);
        if (size < 0) {
            ok = errno == EAGAIN || errno == EINTR;
            return std::nullopt;
        }
        auto const message = decodeArp(std::span(buffer.data(), static_cast<std::size_t>(size)));
        if (message) {
            if (auto const holder = arpConflict(*message, own, address)) {
                return holder;
            }
        }
    }
}

}  // namespace

AddressProbe probeAddressWithArp(char const* interfaceName, MacAddress const& own,
                                 std::uint32_t address, ProbeTiming const& timing) {
    int const index = static_cast<int>(::if_nametoindex(interfaceName));
    if (index == 0) {
        return failed("finding the interface");
    }
    Fd const socket = openArpSocket(index);
    if (!socket) {
        return failed("opening the ARP socket");
    }
    Clock::time_point const start = Clock::now();
    Clock::time_point const deadline = start + timing.listen;
    int sent = 0;
    for (;;) {
        Clock::time_point const now = Clock::now();
        if (sent < timing.count && now >= start + sent * timing.interval) {
            if (!sendProbe(socket, index, own, address)) {
                return failed("sending the ARP probe");
            }
            ++sent;
            continue;
        }
        if (now >= deadline) {
            return {};
        }
        Clock::time_point wake = deadline;
        if (sent < timing.count) {
            wake = std::min(wake, start + sent * timing.interval);
        }
        auto const wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now);
        pollfd ready{socket.get(), POLLIN, 0};
        int const polled = ::poll(&ready, 1, static_cast<int>(wait.count()));
        if (polled < 0 && errno != EINTR) {
            return failed("waiting for ARP");
        }
        if (polled <= 0) {
            continue;
        }
        bool ok = true;
        auto const holder = readHolder(socket, own, address, ok);
        if (!ok) {
            return failed("receiving ARP");
        }
        if (holder) {
            return {holder, {}};
        }
    }
}

}  // namespace QEL_Finder
