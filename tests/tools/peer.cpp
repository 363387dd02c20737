#include "tests/tools/peer.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "base/ipv4_address.h"
#include "base/whole_number.h"
#include "net/control_message.h"
#include "net/socket_address.h"

namespace udp_peer {

std::optional<std::string> parseOptions(Args args, std::vector<Option> const& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view const name = args[i];
        auto const option = std::find_if(options.begin(), options.end(),
                                         [&](Option const& o) { return o.name == name; });
        if (option == options.end()) {
            return "unknown argument " + std::string(name);
        }
        if (option->flag) {
            option->take({});
            continue;
        }
        if (i + 1 == args.size()) {
            return "missing value after " + std::string(name);
        }
        std::string_view const value = args[++i];
        if (!option->take(value)) {
            return "bad value " + std::string(value) + " for " + std::string(name);
        }
    }
    return std::nullopt;
}

std::function<bool(std::string_view)> numberInto(int& out, int min, int max) {
    return [&out, min, max](std::string_view text) {
        std::optional<int> const number = parseWholeNumber(text, min, max);
        out = number.value_or(out);
        return number.has_value();
    };
}

std::function<bool(std::string_view)> addressInto(std::optional<std::uint32_t>& out) {
    return [&out](std::string_view text) {
        out = parseIpv4(text);
        return out.has_value();
    };
}

std::function<bool(std::string_view)> setFlag(bool& out) {
    return [&out](std::string_view) { return out = true; };
}

int usageError(std::string_view message) {
    std::cerr << "udp_peer: " << message << "\n"
              << "usage: udp_peer send --to ADDR [--port P] [--from ADDR] [--from-port N] "
                 "[--broadcast] (--hex HEX | --size N | --empty) [--listen-ms MS]\n"
                 "       udp_peer hold --bind ADDR --port P --seconds S\n"
                 "       udp_peer burst --to ADDR [--count N] [--timeout-ms MS]\n"
                 "       udp_peer flood --to ADDR [--count N] [--settle-ms MS]\n"
                 "       udp_peer hex discovery REQ_ID [--broadcast-ack]\n"
                 "       udp_peer hex force-ip REQ_ID MAC ADDR MASK GATEWAY [--broadcast-ack]\n"
                 "       udp_peer hex record MAC ADDR MASK GATEWAY static|dhcp MODEL SERIAL"
              << std::endl;
    return kUsageError;
}

int socketError(std::string_view what) {
    std::cerr << "udp_peer: " << what << ": " << lastError().message() << std::endl;
    return kSocketError;
}

std::string toHex(std::span<std::uint8_t const> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0f];
    }
    return text;
}

Fd boundSocket(std::uint32_t address, std::uint16_t port,
               std::vector<std::pair<int, int>> const& options) {
    Fd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket) {
        socketError("socket");
        return socket;
    }
    int const on = 1;
    for (auto const& [level, option] : options) {
        if (::setsockopt(socket.get(), level, option, &on, sizeof on) != 0) {
            socketError("setsockopt");
            return Fd();
        }
    }
    sockaddr_in local = QEL_Finder::testing::socketAddress(in_addr{address}, port);
    if (::bind(socket.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        socketError("bind");
        return Fd();
    }
    return socket;
}

bool sendToDevice(int fd, std::uint32_t address, std::span<std::uint8_t const> bytes) {
    sockaddr_in const to =
        QEL_Finder::testing::socketAddress(in_addr{address}, QEL_Finder::kGvcpPort);
    return ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr const*>(&to),
                    sizeof to) == static_cast<ssize_t>(bytes.size());
}

Received receiveUntil(int fd, Clock::time_point deadline,
                      std::function<bool(Datagram const&)> const& handle) {
    // Larger than any UDP datagram, so nothing is cut; left unfilled, as every flood reply
    // comes through here.
    std::array<std::uint8_t, 65536> buffer;
    for (;;) {
        auto const left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return Received::DeadlinePassed;
        }
        pollfd waiting{fd, POLLIN, 0};
        int const ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            socketError("poll");
            return Received::Failed;
        }
        if (ready <= 0) {
            continue;
        }
        Datagram datagram{{}, {}, std::nullopt};
        iovec data{buffer.data(), buffer.size()};
        alignas(cmsghdr) std::array<unsigned char, 256> control{};
        msghdr message = QEL_Finder::testing::messageHeader(datagram.from, {&data, 1}, control);
        ssize_t const received = ::recvmsg(fd, &message, 0);
        if (received < 0) {
            socketError("receiving");
            return Received::Failed;
        }
        datagram.bytes = {buffer.data(), static_cast<std::size_t>(received)};
        if (auto const info = QEL_Finder::findPacketInfo(message)) {
            datagram.to = info->ipi_addr;
        }
        if (handle(datagram)) {
            return Received::Stopped;
        }
    }
}

}  // namespace udp_peer
