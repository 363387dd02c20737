// The floor of the discovery benchmark: answers every datagram on a UDP port with one datagram of
// the size of the daemon's discovery acknowledge, the received bytes followed by zeros. It knows
// nothing of the protocol, so its round trip is what the network path and the two system calls
// cost. Runs for a bounded time.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <optional>

#include "base/whole_number.h"

namespace {

// The daemon's acknowledge: an 8-byte header and the 248-byte record.
constexpr std::size_t kReplySize = 256;

int fail(char const* what) {
    std::cerr << "bare_responder: " << what << ": " << std::strerror(errno) << std::endl;
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: bare_responder PORT SECONDS" << std::endl;
        return 2;
    }
    std::optional<int> const portGiven = parseWholeNumber(argv[1], 1, 65535);
    std::optional<int> const secondsGiven =
        parseWholeNumber(argv[2], 1, std::numeric_limits<int>::max());
    if (!portGiven || !secondsGiven) {
        std::cerr << "bare_responder: bad port or time" << std::endl;
        return 2;
    }
    int const port = *portGiven;
    int const seconds = *secondsGiven;
    int const fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return fail("creating socket");
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        return fail("binding");
    }
    // Wakes up now and then so the time limit holds when nobody sends.
    timeval const tick{1, 0};
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tick, sizeof tick) != 0) {
        return fail("setting receive time-out");
    }

    std::cout << "bare_responder: serving on port " << port << std::endl;
    auto const end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::array<std::uint8_t, kReplySize> reply{};
    std::array<std::uint8_t, 2048> request{};
    while (std::chrono::steady_clock::now() < end) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t const received = ::recvfrom(fd, request.data(), request.size(), 0,
                                            reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (received <= 0) {
            continue;
        }
        auto const kept = std::min(static_cast<std::size_t>(received), reply.size());
        std::fill(std::copy_n(request.begin(), kept, reply.begin()), reply.end(), 0);
        if (::sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from),
                     fromLength) < 0) {
            fail("sending reply");
        }
    }
    ::close(fd);
    return 0;
}
