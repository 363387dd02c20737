// flood: a mix of good and bad datagrams sent as fast as the socket takes them, every answer
// checked against what the daemon owes.
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <iostream>
#include <thread>
#include <variant>

#include "base/ipv4_address.h"
#include "gvcp/byte_order.h"
#include "gvcp/discovery_ack.h"
#include "gvcp/pc_requests.h"
#include "tests/tools/peer.h"

namespace udp_peer {

using namespace QEL_Finder;

namespace {

enum class Owed { Nothing, DiscoveryAck, NotImplemented };
constexpr std::uint16_t kUnknownCommand = 0x0080;

Bytes discovery(ReqId id) {
    auto const bytes = buildDiscoveryCmd(id, true);
    return Bytes(bytes.begin(), bytes.end());
}

// The kinds of datagram a flood mixes, chosen by req_id modulo their number, and the answer the
// daemon owes each.
struct Kind {
    char const* name;
    Owed owed;
    Bytes (*make)(ReqId);
};
std::array<Kind, 8> const kKinds = {{
    {"unicast-discovery", Owed::DiscoveryAck, discovery},
    {"broadcast-discovery", Owed::DiscoveryAck, discovery},
    {"unknown-command", Owed::NotImplemented,
     [](ReqId id) {
         Bytes bytes = discovery(id);
         storeBe16(&bytes[2], kUnknownCommand);
         return bytes;
     }},
    {"wrong-key", Owed::Nothing,
     [](ReqId id) {
         Bytes bytes = discovery(id);
         bytes[0] = 0x43;
         return bytes;
     }},
    {"empty", Owed::Nothing, [](ReqId) { return Bytes(); }},
    {"truncated", Owed::Nothing,
     [](ReqId id) {
         Bytes bytes = discovery(id);
         bytes.resize(5);
         return bytes;
     }},
    // More than the daemon's 576-byte buffers, with a length field that says so.
    {"oversized", Owed::DiscoveryAck,
     [](ReqId id) {
         Bytes bytes = discovery(id);
         storeBe16(&bytes[4], 700 - kHeaderSize);
         bytes.resize(700, 0xa5);
         return bytes;
     }},
    // A usable static request, 192.0.2.77/24 via 192.0.2.1, that only the MAC refuses.
    {"force-ip-other-mac", Owed::Nothing,
     [](ReqId id) {
         auto const bytes = buildForceIpCmd(
             id, true,
             {{0x02, 0, 0, 0, 0, 1}, htonl(0xc000024d), htonl(0xffffff00), htonl(0xc0000201)});
         return Bytes(bytes.begin(), bytes.end());
     }},
}};
std::size_t const kBroadcastKind = 1;

bool isOwedAnswer(Owed owed, std::span<std::uint8_t const> bytes, ReqId id) {
    if (owed == Owed::DiscoveryAck) {
        return std::holds_alternative<DeviceDescription>(decodeDiscoveryAck(bytes, id));
    }
    auto const notImplemented = buildAckHeader(
        {kStatusAccessDeniedSentForNotImplemented, notImplementedAnswer(kUnknownCommand), 0, id});
    return owed == Owed::NotImplemented && std::ranges::equal(bytes, notImplemented);
}

}  // namespace

// A second thread collects the answers while the mix is sent, then listens until none has come
// for settleMs. Prints one line per kind and a summary; an answer the daemon did not owe counts
// as unexpected (the first few are shown on standard error).
int runFlood(Args args) {
    std::optional<std::uint32_t> to;
    int count = 100000;
    int settleMs = 3000;
    std::optional<std::string> error =
        parseOptions(args, {{"--to", addressInto(to)},
                            {"--count", numberInto(count, 1, 10000000)},
                            {"--settle-ms", numberInto(settleMs, 0, 600000)}});
    if (error || !to) {
        return usageError(error.value_or("--to is required"));
    }
    Fd const socket = boundSocket(INADDR_ANY, 0, {{SOL_SOCKET, SO_BROADCAST}});
    if (!socket) {
        return kSocketError;
    }
    int const big = 8 << 20;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big);
    std::array<long, kKinds.size()> sent{};
    std::array<long, kKinds.size()> answered{};
    long unexpected = 0;
    std::atomic<bool> sending{true};
    Clock::time_point const start = Clock::now();
    Clock::time_point lastReply = start;

    std::thread receiver([&] {
        auto const tally = [&](Datagram const& datagram) {
            lastReply = Clock::now();
            std::optional<AckHeader> const header = parseAckHeader(datagram.bytes);
            std::size_t const kind = header ? loadBe16(header->ackId.data()) % kKinds.size() : 0;
            if (header && isOwedAnswer(kKinds[kind].owed, datagram.bytes, header->ackId)) {
                ++answered[kind];
            } else if (++unexpected <= 5) {
                std::cerr << "udp_peer: unexpected answer len=" << datagram.bytes.size() << " hex="
                          << toHex(datagram.bytes.first(
                                 std::min<std::size_t>(datagram.bytes.size(), 16)))
                          << std::endl;
            }
            return true;
        };
        for (;;) {
            bool const settling = !sending.load();
            auto const wait = std::chrono::milliseconds(settling ? settleMs : 50);
            Received const received = receiveUntil(socket.get(), Clock::now() + wait, tally);
            if (received == Received::Failed ||
                (settling && received == Received::DeadlinePassed)) {
                return;
            }
        }
    });

    for (int i = 0; i < count; ++i) {
        auto const id = static_cast<std::uint16_t>(i & 0xFFFF);
        std::size_t const kind = id % kKinds.size();
        if (sendToDevice(socket.get(), kind == kBroadcastKind ? kLimitedBroadcast : *to,
                         kKinds[kind].make(reqIdOf(id)))) {
            ++sent[kind];
        }
    }
    Clock::time_point const sentAll = Clock::now();
    sending.store(false);
    receiver.join();

    long total = 0;
    long totalSent = 0;
    for (std::size_t kind = 0; kind < kKinds.size(); ++kind) {
        std::cout << "kind=" << kKinds[kind].name << " sent=" << sent[kind]
                  << " answered=" << answered[kind] << std::endl;
        unexpected += std::max(0L, answered[kind] - sent[kind]);
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

}  // namespace udp_peer
