#include "service/inbox.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gvcp/test_datagram.h"

namespace QEL_Finder {
namespace {

using std::chrono::milliseconds;
using testing::datagramOf;

struct Arrival {
    char sender;  // 'A' is 10.0.0.1, 'B' 10.0.0.2, ...
    std::uint16_t command;
    std::uint8_t reqId;
};

Datagram arrival(Arrival const& a) {
    std::string const from = "10.0.0." + std::to_string(a.sender - 'A' + 1);
    return datagramOf({kGvcpKey, 0x01, a.command, 0, {0x00, a.reqId}}, {}, from.c_str());
}

// The req_ids of what the inbox hands out, in order, until nothing is due.
std::vector<int> drain(Inbox& inbox, Inbox::Clock::time_point now) {
    std::vector<int> served;
    while (auto const next = inbox.next(now)) {
        served.push_back(next->bytes[7]);
    }
    return served;
}

TEST(Inbox, KeepsTheNewestOfACommandEveryForceIpAndServesSendersInTurn) {
    constexpr std::uint16_t kDiscovery = kDiscoveryCmd;
    constexpr std::uint16_t kForceIp = kForceIpCmd;
    constexpr std::uint16_t kOther = 0x0080;
    struct Case {
        char const* what;
        std::vector<Arrival> arrivals;
        std::vector<int> served;
    };
    for (Case const& c : std::vector<Case>{
             {"discoveries collapse into the newest",
              {{'A', kDiscovery, 1}, {'A', kDiscovery, 2}, {'A', kDiscovery, 3}},
              {3}},
             {"force-IPs are kept each, in order",
              {{'A', kForceIp, 1}, {'A', kForceIp, 2}, {'A', kDiscovery, 3}, {'A', kForceIp, 4}},
              {1, 2, 3, 4}},
             {"each command keeps its place",
              {{'A', kDiscovery, 1}, {'A', kOther, 2}, {'A', kDiscovery, 3}},
              {3, 2}},
             {"senders take turns",
              {{'A', kDiscovery, 1}, {'A', kForceIp, 2}, {'B', kDiscovery, 3}, {'C', kOther, 4}},
              {1, 3, 4, 2}},
         }) {
        Inbox inbox;
        auto const now = Inbox::Clock::now();
        for (Arrival const& a : c.arrivals) {
            inbox.add(arrival(a), now);
        }
        EXPECT_EQ(drain(inbox, now), c.served) << c.what;
    }
}

// A, throttled after two requests at once, keeps its place with nothing waiting: the turn passes
// over it to B, and after B to C, not back to B.
TEST(Inbox, TheTurnPassesToTheSenderAfterTheOneServed) {
    Inbox inbox;
    auto const now = Inbox::Clock::now();
    for (Arrival const& a : std::vector<Arrival>{{'A', kDiscoveryCmd, 1},
                                                 {'A', kDiscoveryCmd, 2},
                                                 {'B', kDiscoveryCmd, 3},
                                                 {'C', kDiscoveryCmd, 4}}) {
        inbox.add(arrival(a), now);
    }
    EXPECT_EQ(drain(inbox, now), (std::vector<int>{2, 3, 4}));
    inbox.add(arrival({'B', kDiscoveryCmd, 5}), now);
    inbox.add(arrival({'C', kDiscoveryCmd, 6}), now);
    EXPECT_EQ(inbox.next(now)->bytes[7], 5);
    inbox.add(arrival({'B', kDiscoveryCmd, 7}), now);
    EXPECT_EQ(drain(inbox, now), (std::vector<int>{6, 7}));
}

// Over 2 s, one sender keeps 50 discoveries coming every millisecond, one asks every 200 ms and
// one asks again the moment it was answered.
TEST(Inbox, AFloodingSenderIsBoundedWhileOneThatWaitsForItsAnswerNeverWaits) {
    Inbox inbox;
    auto const start = Inbox::Clock::now();
    int flooderServed = 0;
    int politeAsked = 0;
    int politeServed = 0;
    int eagerServed = 0;
    bool eagerWaiting = false;
    for (int ms = 0; ms < 2000; ++ms) {
        auto const now = start + milliseconds(ms);
        for (int i = 0; i < 50; ++i) {
            inbox.add(arrival({'A', kDiscoveryCmd, static_cast<std::uint8_t>(i)}), now);
        }
        if (ms % 200 == 0) {
            inbox.add(arrival({'B', kDiscoveryCmd, 1}), now);
            ++politeAsked;
        }
        if (!eagerWaiting) {
            inbox.add(arrival({'C', kDiscoveryCmd, 1}), now);
            eagerWaiting = true;
        }
        // Each millisecond serves what is due, as the loop does between reads.
        while (auto const next = inbox.next(now)) {
            std::uint32_t const from = ntohl(next->sender.sin_addr.s_addr) & 0xFF;
            flooderServed += from == 1 ? 1 : 0;
            politeServed += from == 2 ? 1 : 0;
            if (from == 3) {
                ++eagerServed;
                eagerWaiting = false;
            }
        }
        ASSERT_FALSE(eagerWaiting) << "the eager sender waited at " << ms << " ms";
        // What the loop sleeps on: nothing, or the flooder's allowance, no longer than its refill.
        auto const due = inbox.untilDue(now);
        ASSERT_TRUE(!due || (*due > milliseconds(0) && *due <= milliseconds(500))) << ms << " ms";
        ASSERT_EQ(politeServed, politeAsked) << "the polite sender waited at " << ms << " ms";
    }
    EXPECT_EQ(eagerServed, 2000);
    auto const bound = Inbox::kThrottledBurst + 2 * Inbox::kThrottledRate + 1;
    EXPECT_LE(flooderServed, bound);
    EXPECT_GE(flooderServed, bound - 2) << "the flooder is still answered";
}

TEST(Inbox, ASenderKeepsItsShareAndOneBeyondTheTableTakesTheLongestIdlePlace) {
    Inbox inbox;
    auto const now = Inbox::Clock::now();
    for (std::uint8_t i = 0; i < 2 * Inbox::kMaxWaitingPerSender; ++i) {
        inbox.add(arrival({'A', kForceIpCmd, i}), now);
    }
    inbox.add(arrival({'B', kDiscoveryCmd, 99}), now);
    auto shares = drain(inbox, now);
    ASSERT_GE(shares.size(), 2U);
    EXPECT_EQ(shares[1], 99) << "the flood of force-IPs crowded out another sender";
    std::size_t later = 0;  // the throttled rest, a few each second
    for (int second = 1; second <= 2 * static_cast<int>(Inbox::kMaxWaitingPerSender); ++second) {
        later += drain(inbox, now + std::chrono::seconds(second)).size();
    }
    EXPECT_EQ(shares.size() + later, Inbox::kMaxWaitingPerSender + 1);

    // In all, kMaxWaiting are kept: the first past them is not.
    inbox = Inbox{};
    for (std::size_t i = 0; i < Inbox::kMaxWaiting; ++i) {
        inbox.add(arrival({static_cast<char>('A' + i / Inbox::kMaxWaitingPerSender), kForceIpCmd,
                           static_cast<std::uint8_t>(i)}),
                  now);
    }
    inbox.add(arrival({'Z', kDiscoveryCmd, 1}), now);
    std::size_t all = 0;
    for (int second = 0; second <= 30; ++second) {  // the throttled senders' allowance refills
        all += drain(inbox, now + std::chrono::seconds(second)).size();
    }
    EXPECT_EQ(all, Inbox::kMaxWaiting);

    inbox = Inbox{};

    auto const from = [](std::size_t i) {
        Datagram d = arrival({'A', kDiscoveryCmd, 1});
        d.sender.sin_port = htons(static_cast<std::uint16_t>(1000 + i));
        return d;
    };
    for (std::size_t i = 0; i < Inbox::kMaxSenders; ++i) {
        inbox.add(from(i), now);
    }
    inbox.add(from(Inbox::kMaxSenders), now);
    EXPECT_EQ(drain(inbox, now).size(), Inbox::kMaxSenders) << "no place for the newcomer";
    inbox.add(from(Inbox::kMaxSenders), now + milliseconds(1));
    auto const next = inbox.next(now + milliseconds(1));
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(ntohs(next->sender.sin_port), 1000 + Inbox::kMaxSenders);
}

}  // namespace
}  // namespace QEL_Finder
