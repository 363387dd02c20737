// A raw datagram peer for the integration suites: sends one datagram of exactly the bytes a test
// asks for (an empty one included) and prints every datagram that comes back with the address it
// was sent to, so a test can tell a unicast reply from a broadcast one. "hold" keeps a UDP port
// bound without address reuse, so a test can make the daemon's bind fail.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr int kUsageError = 2;
constexpr int kSocketError = 3;
constexpr std::uint16_t kGvcpPort = 3956;

struct SendRequest {
    in_addr to{};
    std::uint16_t port = kGvcpPort;
    std::uint16_t fromPort = 0;
    std::optional<in_addr> from;
    bool broadcast = false;
    std::vector<std::uint8_t> payload;
    bool payloadGiven = false;
    int listenMs = 1000;
};

struct HoldRequest {
    in_addr bind{};
    std::uint16_t port = kGvcpPort;
    int seconds = 10;
};

void printUsage() {
    std::cerr << "usage: udp_peer send --to ADDR [--port P] [--from ADDR] [--from-port N] "
                 "[--broadcast] (--hex HEX | --size N | --empty) [--listen-ms MS]\n"
                 "       udp_peer hold --bind ADDR --port P --seconds S"
              << std::endl;
}

std::string errorText(std::string_view what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// Spaces and colons are allowed between bytes so tests can write fields apart.
std::optional<std::vector<std::uint8_t>> parseHex(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ':') {
            continue;
        }
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
            return std::nullopt;
        }
        digits += c;
    }
    if (digits.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::optional<long> parseNumber(std::string_view text, long min, long max) {
    try {
        std::size_t used = 0;
        long value = std::stol(std::string(text), &used, 10);
        if (used != text.size() || value < min || value > max) {
            return std::nullopt;
        }
        return value;
    } catch (std::exception const&) {
        return std::nullopt;
    }
}

std::optional<in_addr> parseAddress(std::string_view text) {
    in_addr address{};
    if (inet_pton(AF_INET, std::string(text).c_str(), &address) != 1) {
        return std::nullopt;
    }
    return address;
}

std::string formatAddress(in_addr address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

std::string toHex(std::uint8_t const* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0f];
    }
    return text;
}

// Returns the error message, or nullopt when every argument was understood.
std::optional<std::string> parseSend(std::vector<std::string_view> const& args, SendRequest& req) {
    bool toGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= args.size()) {
                return std::nullopt;
            }
            return args[++i];
        };
        if (arg == "--broadcast") {
            req.broadcast = true;
            continue;
        }
        if (arg == "--empty") {
            req.payload.clear();
            req.payloadGiven = true;
            continue;
        }
        auto text = value();
        if (!text) {
            return "missing value after " + std::string(arg);
        }
        if (arg == "--to" || arg == "--from") {
            auto address = parseAddress(*text);
            if (!address) {
                return "bad address " + std::string(*text);
            }
            if (arg == "--to") {
                req.to = *address;
                toGiven = true;
            } else {
                req.from = address;
            }
        } else if (arg == "--port" || arg == "--from-port") {
            auto port = parseNumber(*text, arg == "--port" ? 1 : 0, 65535);
            if (!port) {
                return "bad port " + std::string(*text);
            }
            (arg == "--port" ? req.port : req.fromPort) = static_cast<std::uint16_t>(*port);
        } else if (arg == "--hex") {
            auto bytes = parseHex(*text);
            if (!bytes) {
                return "bad hex " + std::string(*text);
            }
            req.payload = *bytes;
            req.payloadGiven = true;
        } else if (arg == "--size") {
            auto size = parseNumber(*text, 0, 65507);
            if (!size) {
                return "bad size " + std::string(*text);
            }
            req.payload.assign(static_cast<std::size_t>(*size), 0);
            req.payloadGiven = true;
        } else if (arg == "--listen-ms") {
            auto ms = parseNumber(*text, 0, 600000);
            if (!ms) {
                return "bad time " + std::string(*text);
            }
            req.listenMs = static_cast<int>(*ms);
        } else {
            return "unknown argument " + std::string(arg);
        }
    }
    if (!toGiven) {
        return std::string("--to is required");
    }
    if (!req.payloadGiven) {
        return std::string("one of --hex, --size, --empty is required");
    }
    return std::nullopt;
}

std::optional<std::string> parseHold(std::vector<std::string_view> const& args, HoldRequest& req) {
    bool bindGiven = false;
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        std::string_view arg = args[i];
        std::string_view text = args[i + 1];
        if (arg == "--bind") {
            auto address = parseAddress(text);
            if (!address) {
                return "bad address " + std::string(text);
            }
            req.bind = *address;
            bindGiven = true;
        } else if (arg == "--port") {
            auto port = parseNumber(text, 1, 65535);
            if (!port) {
                return "bad port " + std::string(text);
            }
            req.port = static_cast<std::uint16_t>(*port);
        } else if (arg == "--seconds") {
            auto seconds = parseNumber(text, 0, 3600);
            if (!seconds) {
                return "bad time " + std::string(text);
            }
            req.seconds = static_cast<int>(*seconds);
        } else {
            return "unknown argument " + std::string(arg);
        }
    }
    if (args.size() % 2 != 0) {
        return "missing value after " + std::string(args.back());
    }
    if (!bindGiven) {
        return std::string("--bind is required");
    }
    return std::nullopt;
}

sockaddr_in socketAddress(in_addr address, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr = address;
    return result;
}

class Socket {
  public:
    explicit Socket(int fd) : fd_(fd) {}
    Socket(Socket const&) = delete;
    Socket& operator=(Socket const&) = delete;
    ~Socket() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

bool enableOption(int fd, int level, int option) {
    int on = 1;
    return setsockopt(fd, level, option, &on, sizeof on) == 0;
}

// The source address, when asked for, travels as packet information, so the socket itself stays
// bound to the wildcard address and still receives broadcast replies.
bool sendDatagram(int fd, SendRequest const& req) {
    sockaddr_in to = socketAddress(req.to, req.port);
    iovec data{const_cast<std::uint8_t*>(req.payload.data()), req.payload.size()};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    if (req.from) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst = *req.from;
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }
    return sendmsg(fd, &message, 0) == static_cast<ssize_t>(req.payload.size());
}

std::optional<in_addr> destinationOf(msghdr& message) {
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            return info.ipi_addr;
        }
    }
    return std::nullopt;
}

// Prints one line per datagram until the listening time is over; false on a receive error.
bool printReplies(int fd, int listenMs) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(listenMs);
    std::vector<std::uint8_t> buffer(65536);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return true;
        }
        pollfd waiting{fd, POLLIN, 0};
        int ready = poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            std::cerr << "udp_peer: " << errorText("poll") << std::endl;
            return false;
        }
        if (ready == 0) {
            return true;
        }
        sockaddr_in from{};
        iovec data{buffer.data(), buffer.size()};
        alignas(cmsghdr) unsigned char control[256] = {};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        ssize_t received = recvmsg(fd, &message, 0);
        if (received < 0) {
            std::cerr << "udp_peer: " << errorText("receiving") << std::endl;
            return false;
        }
        auto to = destinationOf(message);
        auto size = static_cast<std::size_t>(received);
        std::cout << "from=" << formatAddress(from.sin_addr) << ':' << ntohs(from.sin_port)
                  << " to=" << (to ? formatAddress(*to) : std::string("?")) << " len=" << size
                  << " hex=" << toHex(buffer.data(), size) << std::endl;
    }
}

int runSend(SendRequest const& req) {
    Socket socket(::socket(AF_INET, SOCK_DGRAM, 0));
    if (!socket) {
        std::cerr << "udp_peer: " << errorText("socket") << std::endl;
        return kSocketError;
    }
    if (!enableOption(socket.get(), IPPROTO_IP, IP_PKTINFO) ||
        (req.broadcast && !enableOption(socket.get(), SOL_SOCKET, SO_BROADCAST))) {
        std::cerr << "udp_peer: " << errorText("setsockopt") << std::endl;
        return kSocketError;
    }
    sockaddr_in local = socketAddress(in_addr{htonl(INADDR_ANY)}, req.fromPort);
    if (bind(socket.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        std::cerr << "udp_peer: " << errorText("bind") << std::endl;
        return kSocketError;
    }
    if (!sendDatagram(socket.get(), req)) {
        std::cerr << "udp_peer: " << errorText("sending") << std::endl;
        return kSocketError;
    }
    return printReplies(socket.get(), req.listenMs) ? 0 : kSocketError;
}

int runHold(HoldRequest const& req) {
    Socket socket(::socket(AF_INET, SOCK_DGRAM, 0));
    if (!socket) {
        std::cerr << "udp_peer: " << errorText("socket") << std::endl;
        return kSocketError;
    }
    sockaddr_in local = socketAddress(req.bind, req.port);
    if (bind(socket.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        std::cerr << "udp_peer: " << errorText("bind") << std::endl;
        return kSocketError;
    }
    std::cout << "holding " << formatAddress(req.bind) << ':' << req.port << std::endl;
    std::this_thread::sleep_for(std::chrono::seconds(req.seconds));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) {
        printUsage();
        return kUsageError;
    }
    std::string_view mode = args.front();
    args.erase(args.begin());
    std::optional<std::string> error;
    if (mode == "send") {
        SendRequest req;
        error = parseSend(args, req);
        if (!error) {
            return runSend(req);
        }
    } else if (mode == "hold") {
        HoldRequest req;
        error = parseHold(args, req);
        if (!error) {
            return runHold(req);
        }
    } else {
        error = "unknown mode " + std::string(mode);
    }
    std::cerr << "udp_peer: " << *error << std::endl;
    printUsage();
    return kUsageError;
}
