// send and hold: one datagram out and every answer shown; a port kept bound.
#include <netinet/in.h>
#include <sys/socket.h>

#include <iostream>
#include <thread>

#include "base/hex_bytes.h"
#include "base/ipv4_address.h"
#include "gvcp/gvcp_header.h"
#include "net/control_message.h"
#include "net/socket_address.h"
#include "tests/tools/peer.h"

namespace udp_peer {

using namespace QEL_Finder;

namespace {

struct SendRequest {
    std::optional<std::uint32_t> to;
    int port = kGvcpPort;
    std::optional<std::uint32_t> from;
    int fromPort = 0;
    bool broadcast = false;
    std::optional<Bytes> payload;
    int listenMs = 1000;
    // A second datagram right behind the first, from the same port, as PC tools send copies.
    std::optional<std::uint32_t> thenTo;
    std::optional<Bytes> thenPayload;
};

std::function<bool(std::string_view)> payloadFrom(std::optional<Bytes>& out, bool hex) {
    return [&out, hex](std::string_view text) {
        int size = 0;
        if (hex) {
            out = parseHexBytes(text);
        } else if (numberInto(size, 0, 65507)(text)) {
            out = Bytes(static_cast<std::size_t>(size), 0);
        }
        return out.has_value();
    };
}

// The source address, when asked for, travels as packet information, so the socket itself stays
// bound to the wildcard address and still receives broadcast replies.
bool sendDatagram(int fd, SendRequest const& req) {
    sockaddr_in to = testing::socketAddress(in_addr{*req.to}, static_cast<std::uint16_t>(req.port));
    iovec data{const_cast<std::uint8_t*>(req.payload->data()), req.payload->size()};
    msghdr message = testing::messageHeader(to, {&data, 1}, std::span<unsigned char>());
    QEL_Finder::PacketInfoControl control;
    if (req.from) {
        in_pktinfo info{};
        info.ipi_spec_dst.s_addr = *req.from;
        QEL_Finder::attachPacketInfo(message, control, info);
    }
    return ::sendmsg(fd, &message, 0) == static_cast<ssize_t>(req.payload->size());
}

}  // namespace

int runSend(Args args) {
    SendRequest req;
    std::optional<std::string> error = parseOptions(
        args,
        {{"--to", addressInto(req.to)},
         {"--port", numberInto(req.port, 1, 65535)},
         {"--from", addressInto(req.from)},
         {"--from-port", numberInto(req.fromPort, 0, 65535)},
         {"--broadcast", setFlag(req.broadcast), true},
         {"--hex", payloadFrom(req.payload, true)},
         {"--size", payloadFrom(req.payload, false)},
         {"--empty", [&](std::string_view) { return (req.payload = Bytes()).has_value(); }, true},
         {"--listen-ms", numberInto(req.listenMs, 0, 600000)},
         {"--then-to", addressInto(req.thenTo)},
         {"--then-hex", payloadFrom(req.thenPayload, true)}});
    if (!error && !req.to) {
        error = "--to is required";
    }
    if (!error && !req.payload) {
        error = "one of --hex, --size, --empty is required";
    }
    if (!error && req.thenTo.has_value() != req.thenPayload.has_value()) {
        error = "--then-to and --then-hex go together";
    }
    if (error) {
        return usageError(*error);
    }
    std::vector<std::pair<int, int>> options{{IPPROTO_IP, IP_PKTINFO}};
    if (req.broadcast) {
        options.emplace_back(SOL_SOCKET, SO_BROADCAST);
    }
    Fd const socket = boundSocket(INADDR_ANY, static_cast<std::uint16_t>(req.fromPort), options);
    if (!socket) {
        return kSocketError;
    }
    if (!sendDatagram(socket.get(), req)) {
        return socketError("sending");
    }
    if (req.thenTo) {
        SendRequest then = req;
        then.to = req.thenTo;
        then.payload = req.thenPayload;
        if (!sendDatagram(socket.get(), then)) {
            return socketError("sending");
        }
    }
    Received const received = receiveUntil(
        socket.get(), Clock::now() + std::chrono::milliseconds(req.listenMs),
        [](Datagram const& datagram) {
            std::cout << "from=" << testing::addressText(datagram.from)
                      << " to=" << (datagram.to ? formatIpv4(datagram.to->s_addr) : "?")
                      << " len=" << datagram.bytes.size() << " hex=" << toHex(datagram.bytes)
                      << std::endl;
            return false;
        });
    return received == Received::Failed ? kSocketError : 0;
}

int runHold(Args args) {
    std::optional<std::uint32_t> bind;
    int port = kGvcpPort;
    int seconds = 10;
    std::optional<std::string> error =
        parseOptions(args, {{"--bind", addressInto(bind)},
                            {"--port", numberInto(port, 1, 65535)},
                            {"--seconds", numberInto(seconds, 0, 3600)}});
    if (error || !bind) {
        return usageError(error.value_or("--bind is required"));
    }
    Fd const socket = boundSocket(*bind, static_cast<std::uint16_t>(port), {});
    if (!socket) {
        return kSocketError;
    }
    std::cout << "holding " << formatIpv4(*bind) << ':' << port << std::endl;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return 0;
}

}  // namespace udp_peer
