// A raw datagram peer for the integration suites: sends one datagram of exactly the bytes a test
// asks for (an empty one included) and prints every datagram that comes back with the address it
// was sent to, so a test can tell a unicast reply from a broadcast one. "hold" keeps a UDP port
// bound without address reuse, so a test can make the daemon's bind fail. "burst" sends
// discoveries back to back, each the moment the previous answer arrived; "flood" sends a mix of
// good and bad datagrams as fast as it can and checks every answer against what was sent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "base/hex_text.h"
#include "base/ipv4_address.h"
#include "gvcp/gvcp_header.h"
#include "net/socket_address.h"

namespace {

using QEL_Finder::testing::messageHeader;
using QEL_Finder::testing::socketAddress;

constexpr int kUsageError = 2;
constexpr int kSocketError = 3;
using QEL_Finder::kGvcpPort;

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

struct BurstRequest {
    in_addr to{};
    long count = 100;
    int timeoutMs = 1000;
};

struct FloodRequest {
    in_addr to{};
    long count = 100000;
    std::array<std::uint8_t, 6> otherMac{0x02, 0, 0, 0, 0, 1};
    int settleMs = 3000;
};

struct HoldRequest {
    in_addr bind{};
    std::uint16_t port = kGvcpPort;
    int seconds = 10;
};

void printUsage() {
    std::cerr << "usage: udp_peer send --to ADDR [--port P] [--from ADDR] [--from-port N] "
                 "[--broadcast] (--hex HEX | --size N | --empty) [--listen-ms MS]\n"
                 "       udp_peer hold --bind ADDR --port P --seconds S\n"
                 "       udp_peer burst --to ADDR [--count N] [--timeout-ms MS]\n"
                 "       udp_peer flood --to ADDR [--count N] [--settle-ms MS]"
              << std::endl;
}

std::string errorText(std::string_view what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// Spaces and colons are allowed between bytes so tests can write fields apart.
std::optional<std::vector<std::uint8_t>> parseHex(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c != ' ' && c != ':') {
            digits += c;
        }
    }
    if (digits.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        std::optional<unsigned> const high = hexDigit(digits[i]);
        std::optional<unsigned> const low = hexDigit(digits[i + 1]);
        if (!high || !low) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(*high * 16 + *low));
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
    std::optional<std::uint32_t> const parsed = parseIpv4(text);
    if (!parsed) {
        return std::nullopt;
    }
    return in_addr{*parsed};
}

std::string formatAddress(in_addr address) {
    return formatIpv4(address.s_addr);
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

// One "--name value" option of the hold, burst and flood modes: false from take means a bad value.
struct PairOption {
    std::string_view name;
    std::function<bool(std::string_view)> take;
};

template <typename Number>
std::function<bool(std::string_view)> numberInto(Number& out, long min, long max) {
    return [&out, min, max](std::string_view text) {
        auto number = parseNumber(text, min, max);
        out = static_cast<Number>(number.value_or(0));
        return number.has_value();
    };
}

std::function<bool(std::string_view)> addressInto(in_addr& out, bool& given) {
    return [&out, &given](std::string_view text) {
        auto address = parseAddress(text);
        out = address.value_or(in_addr{});
        given = address.has_value();
        return given;
    };
}

// Parses args as "--name value" pairs of these options; the error, or nullopt.
std::optional<std::string> parsePairs(std::vector<std::string_view> const& args,
                                      std::vector<PairOption> const& options) {
    if (args.size() % 2 != 0) {
        return "missing value after " + std::string(args.back());
    }
    for (std::size_t i = 0; i < args.size(); i += 2) {
        auto const option = std::find_if(options.begin(), options.end(),
                                         [&](PairOption const& o) { return o.name == args[i]; });
        if (option == options.end()) {
            return "unknown argument " + std::string(args[i]);
        }
        if (!option->take(args[i + 1])) {
            return "bad value " + std::string(args[i + 1]) + " for " + std::string(args[i]);
        }
    }
    return std::nullopt;
}

std::optional<std::string> parseHold(std::vector<std::string_view> const& args, HoldRequest& req) {
    bool bindGiven = false;
    auto error = parsePairs(args, {{"--bind", addressInto(req.bind, bindGiven)},
                                   {"--port", numberInto(req.port, 1, 65535)},
                                   {"--seconds", numberInto(req.seconds, 0, 3600)}});
    if (!error && !bindGiven) {
        error = "--bind is required";
    }
    return error;
}

// --to, --count and one time option (named timeName) of the burst and flood modes.
std::optional<std::string> parseRepeated(std::vector<std::string_view> const& args, in_addr& to,
                                         long& count, std::string_view timeName, int& ms) {
    bool toGiven = false;
    auto error = parsePairs(args, {{"--to", addressInto(to, toGiven)},
                                   {"--count", numberInto(count, 1, 10000000)},
                                   {timeName, numberInto(ms, 0, 600000)}});
    if (!error && !toGiven) {
        error = "--to is required";
    }
    return error;
}

class Socket {
  public:
    explicit Socket(int fd) : fd_(fd) {}
    Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
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
    msghdr message = messageHeader(to, {&data, 1});
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
        msghdr message = messageHeader(from, {&data, 1}, control);
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

// A socket bound to an ephemeral port that may send broadcasts; an empty Socket after a message.
Socket clientSocket() {
    Socket socket(::socket(AF_INET, SOCK_DGRAM, 0));
    if (!socket || !enableOption(socket.get(), SOL_SOCKET, SO_BROADCAST)) {
        std::cerr << "udp_peer: " << errorText("socket") << std::endl;
        return Socket(-1);
    }
    return socket;
}

std::vector<std::uint8_t> discoveryCommand(std::uint16_t reqId) {
    return {0x42,
            0x11,
            0x00,
            0x02,
            0x00,
            0x00,
            static_cast<std::uint8_t>(reqId >> 8),
            static_cast<std::uint8_t>(reqId)};
}

std::uint16_t ackIdOf(std::uint8_t const* bytes) {
    return static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
}

bool isDiscoveryAck(std::uint8_t const* bytes, std::size_t size) {
    return size == 256 && std::memcmp(bytes, "\x00\x00\x00\x03\x00\xf8", 6) == 0;
}

// Each discovery is sent the moment the answer to the one before has arrived.
int runBurst(BurstRequest const& req) {
    Socket socket = clientSocket();
    if (!socket) {
        return kSocketError;
    }
    sockaddr_in to = socketAddress(req.to, kGvcpPort);
    long answered = 0;
    std::uint8_t buffer[1024];
    for (long i = 0; i < req.count; ++i) {
        auto const reqId = static_cast<std::uint16_t>(i % 0xFFFF + 1);
        std::vector<std::uint8_t> const command = discoveryCommand(reqId);
        if (sendto(socket.get(), command.data(), command.size(), 0,
                   reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
            std::cerr << "udp_peer: " << errorText("sending") << std::endl;
            return kSocketError;
        }
        auto const deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(req.timeoutMs);
        for (;;) {
            auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd waiting{socket.get(), POLLIN, 0};
            if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            ssize_t const got = recv(socket.get(), buffer, sizeof buffer, 0);
            if (got > 0 && isDiscoveryAck(buffer, static_cast<std::size_t>(got)) &&
                ackIdOf(buffer) == reqId) {
                ++answered;
                break;
            }
        }
    }
    std::cout << "sent=" << req.count << " answered=" << answered
              << " lost=" << req.count - answered << std::endl;
    return 0;
}

// The kinds of datagram a flood mixes, chosen by req_id modulo their number; which of them the
// daemon must answer, and how.
enum class FloodKind {
    UnicastDiscovery,
    BroadcastDiscovery,
    UnknownCommand,
    WrongKey,
    Empty,
    Truncated,
    Oversized,
    ForceIpForAnother,
};
constexpr std::array<char const*, 8> kFloodKindNames = {
    "unicast-discovery", "broadcast-discovery", "unknown-command",   "wrong-key", "empty",
    "truncated",         "oversized",           "force-ip-other-mac"};

FloodKind floodKindOf(std::uint16_t reqId) {
    return static_cast<FloodKind>(reqId % kFloodKindNames.size());
}

std::vector<std::uint8_t> floodDatagram(FloodKind kind, std::uint16_t reqId,
                                        std::array<std::uint8_t, 6> const& otherMac) {
    std::vector<std::uint8_t> bytes = discoveryCommand(reqId);
    switch (kind) {
        case FloodKind::UnicastDiscovery:
        case FloodKind::BroadcastDiscovery:
            break;
        case FloodKind::UnknownCommand:
            bytes[3] = 0x80;
            break;
        case FloodKind::WrongKey:
            bytes[0] = 0x43;
            break;
        case FloodKind::Empty:
            bytes.clear();
            break;
        case FloodKind::Truncated:
            bytes.resize(5);
            break;
        case FloodKind::Oversized:
            // More than the daemon's 576-byte buffers, with a length field that says so.
            bytes[4] = 0x02;
            bytes[5] = 0xb4;
            bytes.resize(700, 0xa5);
            break;
        case FloodKind::ForceIpForAnother:
            bytes[3] = 0x04;
            bytes[5] = 0x38;
            bytes.resize(8 + 56, 0);
            std::copy(otherMac.begin(), otherMac.end(), bytes.begin() + 8 + 2);
            // A usable static request, 192.0.2.77/24 via 192.0.2.1, that only the MAC refuses.
            for (auto const& [offset, word] :
                 {std::pair{std::size_t{20}, 0xc000024dU}, std::pair{std::size_t{36}, 0xffffff00U},
                  std::pair{std::size_t{52}, 0xc0000201U}}) {
                for (std::size_t i = 0; i < 4; ++i) {
                    bytes[8 + offset + i] = static_cast<std::uint8_t>(word >> (24 - 8 * i));
                }
            }
            break;
    }
    return bytes;
}

// True when the reply is the one answer the daemon owes a datagram of this kind.
bool isOwedAnswer(FloodKind kind, std::uint8_t const* bytes, std::size_t size) {
    switch (kind) {
        case FloodKind::UnicastDiscovery:
        case FloodKind::BroadcastDiscovery:
        case FloodKind::Oversized:
            return isDiscoveryAck(bytes, size);
        case FloodKind::UnknownCommand:
            return size == 8 && std::memcmp(bytes, "\x80\x06\x00\x81\x00\x00", 6) == 0;
        default:
            return false;
    }
}

// Sends the mix as fast as the socket takes it while a second thread collects the answers, then
// listens settleMs more. Prints one line per kind and a summary; any answer the daemon did not
// owe is counted as unexpected (and the first few are shown on standard error).
int runFlood(FloodRequest const& req) {
    Socket socket = clientSocket();
    if (!socket) {
        return kSocketError;
    }
    int const big = 8 << 20;
    setsockopt(socket.get(), SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big);
    std::array<long, kFloodKindNames.size()> sent{};
    std::array<long, kFloodKindNames.size()> answered{};
    long unexpected = 0;
    std::atomic<bool> sending{true};
    using Clock = std::chrono::steady_clock;
    Clock::time_point const start = Clock::now();
    Clock::time_point lastReply = start;

    std::thread receiver([&] {
        std::uint8_t buffer[2048];
        Clock::time_point quietFrom = Clock::now();
        for (;;) {
            if (!sending.load() &&
                Clock::now() - quietFrom > std::chrono::milliseconds(req.settleMs)) {
                return;
            }
            pollfd waiting{socket.get(), POLLIN, 0};
            if (poll(&waiting, 1, 50) <= 0) {
                if (sending.load()) {
                    quietFrom = Clock::now();
                }
                continue;
            }
            ssize_t const got = recv(socket.get(), buffer, sizeof buffer, 0);
            if (got < 0) {
                continue;
            }
            auto const size = static_cast<std::size_t>(got);
            lastReply = Clock::now();
            quietFrom = lastReply;
            FloodKind const kind = size >= 8 ? floodKindOf(ackIdOf(buffer)) : FloodKind::Empty;
            if (isOwedAnswer(kind, buffer, size)) {
                ++answered[static_cast<std::size_t>(kind)];
            } else if (++unexpected <= 5) {
                std::cerr << "udp_peer: unexpected answer len=" << size
                          << " hex=" << toHex(buffer, std::min<std::size_t>(size, 16)) << std::endl;
            }
        }
    });

    sockaddr_in unicast = socketAddress(req.to, kGvcpPort);
    sockaddr_in broadcast = socketAddress(in_addr{htonl(INADDR_BROADCAST)}, kGvcpPort);
    for (long i = 0; i < req.count; ++i) {
        auto const reqId = static_cast<std::uint16_t>(i & 0xFFFF);
        FloodKind const kind = floodKindOf(reqId);
        std::vector<std::uint8_t> const bytes = floodDatagram(kind, reqId, req.otherMac);
        sockaddr_in* to = kind == FloodKind::BroadcastDiscovery ? &broadcast : &unicast;
        if (sendto(socket.get(), bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(to),
                   sizeof *to) >= 0) {
            ++sent[static_cast<std::size_t>(kind)];
        }
    }
    Clock::time_point const sentAll = Clock::now();
    sending.store(false);
    receiver.join();

    long total = 0;
    long totalSent = 0;
    for (std::size_t kind = 0; kind < kFloodKindNames.size(); ++kind) {
        std::cout << "kind=" << kFloodKindNames[kind] << " sent=" << sent[kind]
                  << " answered=" << answered[kind] << std::endl;
        if (answered[kind] > sent[kind]) {
            unexpected += answered[kind] - sent[kind];
        }
        total += answered[kind];
        totalSent += sent[kind];
    }
    auto const seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    double const answering = seconds(lastReply - start);
    std::cout << "sent=" << totalSent << " answered=" << total << " unexpected=" << unexpected
              << " send_seconds=" << seconds(sentAll - start) << " answer_seconds=" << answering
              << " replies_per_second="
              << (answering > 0 ? static_cast<double>(total) / answering : 0) << std::endl;
    return 0;
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
    } else if (mode == "burst") {
        BurstRequest req;
        error = parseRepeated(args, req.to, req.count, "--timeout-ms", req.timeoutMs);
        if (!error) {
            return runBurst(req);
        }
    } else if (mode == "flood") {
        FloodRequest req;
        error = parseRepeated(args, req.to, req.count, "--settle-ms", req.settleMs);
        if (!error) {
            return runFlood(req);
        }
    } else {
        error = "unknown mode " + std::string(mode);
    }
    std::cerr << "udp_peer: " << *error << std::endl;
    printUsage();
    return kUsageError;
}
