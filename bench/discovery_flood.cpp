// discovery_flood: one socket sends discoveries as fast as it can for SECONDS, never reading an
// answer (a PC application stuck in a discovery loop), while a second socket asks every 200 ms
// and counts the answers that come within 1 s of their request (a PC tool searching the segment).
// Prints "sent=N per_second=R asked=A answered=B".
// Usage: discovery_flood ADDRESS SECONDS
#include <sys/socket.h>

#include <array>
#include <chrono>
#include <iostream>
#include <map>
#include <thread>

#include "base/ipv4_address.h"
#include "base/whole_number.h"
#include "gvcp/exchange.h"
#include "gvcp/gvcp_header.h"
#include "gvcp/pc_requests.h"
#include "net/linux_socket_manager.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kAskEvery = std::chrono::milliseconds(200);
constexpr auto kAnswerWithin = std::chrono::seconds(1);
constexpr int kSendsBetweenLooks = 64;  // the flood runs hot: the clock is read now and then

}  // namespace

int main(int argc, char** argv) {
    auto const address = argc == 3 ? parseIpv4(argv[1]) : std::nullopt;
    auto const seconds = argc == 3 ? parseWholeNumber(argv[2], 1, 3600) : std::nullopt;
    if (!address || !seconds) {
        std::cerr << "usage: discovery_flood ADDRESS SECONDS" << std::endl;
        return 2;
    }
    QEL_Finder::LinuxSocketManager sockets;
    auto const flooder = QEL_Finder::openUdpSocket(sockets, {});
    auto const asker = QEL_Finder::openUdpSocket(sockets, {});
    for (auto const* opened : {&flooder, &asker}) {
        if (auto const* error = std::get_if<QEL_Finder::SocketError>(opened)) {
            std::cerr << "discovery_flood: " << *error << std::endl;
            return 3;
        }
    }
    QEL_Finder::Endpoint const to{*address, QEL_Finder::kGvcpPort};
    std::map<std::uint16_t, Clock::time_point> asked;  // req_id → when
    long answered = 0;
    auto const takeAnswers = [&] {
        std::array<std::uint8_t, 600> answer{};
        for (;;) {
            long const size = sockets.recvfrom(std::get<int>(asker), answer.data(), answer.size(),
                                               MSG_DONTWAIT, nullptr, nullptr);
            if (size < 0) {
                return;
            }
            auto const ack = QEL_Finder::parseAckHeader({answer.data(), std::size_t(size)});
            if (!ack || ack->answer != QEL_Finder::kDiscoveryAckCode) {
                continue;
            }
            auto const at = asked.find(std::uint16_t(ack->ackId[0] << 8 | ack->ackId[1]));
            if (at != asked.end() && Clock::now() - at->second <= kAnswerWithin) {
                ++answered;
                asked.erase(at);
            }
        }
    };

    auto const start = Clock::now();
    auto const end = start + std::chrono::seconds(*seconds);
    auto nextAsk = start;
    std::uint16_t askId = 0;
    long sent = 0;
    for (std::uint16_t reqId = 1;; reqId = reqId == 0xFFFF ? 1 : reqId + 1) {
        if (reqId % kSendsBetweenLooks == 0) {
            auto const now = Clock::now();
            if (now >= end) {
                break;
            }
            if (now >= nextAsk) {
                ++askId;
                asked[askId] = now;
                QEL_Finder::sendDatagram(
                    sockets, std::get<int>(asker), to,
                    QEL_Finder::buildDiscoveryCmd(QEL_Finder::reqIdOf(askId), false));
                nextAsk += kAskEvery;
            }
            takeAnswers();
        }
        // A full send queue only slows the flood down; it goes on.
        if (!QEL_Finder::sendDatagram(
                sockets, std::get<int>(flooder), to,
                QEL_Finder::buildDiscoveryCmd(QEL_Finder::reqIdOf(reqId), false))) {
            ++sent;
        }
    }
    std::chrono::duration<double> const took = Clock::now() - start;
    // The last requests have their second too.
    for (auto const wait = Clock::now() + kAnswerWithin; Clock::now() < wait;) {
        takeAnswers();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::cout << "sent=" << sent
              << " per_second=" << static_cast<long>(static_cast<double>(sent) / took.count())
              << " asked=" << askId << " answered=" << answered << std::endl;
    return 0;
}
