// burst: discoveries back to back, each sent the moment the answer to the one before arrived.
#include <sys/socket.h>

#include <iostream>
#include <variant>

#include "gvcp/discovery_ack.h"
#include "gvcp/pc_requests.h"
#include "tests/tools/peer.h"

namespace udp_peer {

int runBurst(Args args) {
    std::optional<std::uint32_t> to;
    int count = 100;
    int timeoutMs = 1000;
    std::optional<std::string> error =
        parseOptions(args, {{"--to", addressInto(to)},
                            {"--count", numberInto(count, 1, 10000000)},
                            {"--timeout-ms", numberInto(timeoutMs, 0, 600000)}});
    if (error || !to) {
        return usageError(error.value_or("--to is required"));
    }
    Fd const socket = boundSocket(INADDR_ANY, 0, {{SOL_SOCKET, SO_BROADCAST}});
    if (!socket) {
        return kSocketError;
    }
    int answered = 0;
    for (int i = 0; i < count; ++i) {
        QEL_Finder::ReqId const reqId = reqIdOf(static_cast<std::uint16_t>(i % 0xFFFF + 1));
        if (!sendToDevice(socket.get(), *to, QEL_Finder::buildDiscoveryCmd(reqId, true))) {
            return socketError("sending");
        }
        auto const isAnswer = [&](Datagram const& datagram) {
            return std::holds_alternative<QEL_Finder::DeviceDescription>(
                QEL_Finder::decodeDiscoveryAck(datagram.bytes, reqId));
        };
        auto const deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        answered += receiveUntil(socket.get(), deadline, isAnswer) == Received::Stopped ? 1 : 0;
    }
    std::cout << "sent=" << count << " answered=" << answered << " lost=" << count - answered
              << std::endl;
    return 0;
}

}  // namespace udp_peer
