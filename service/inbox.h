// The requests waiting to be served, kept so that one sender flooding the device cannot crowd out
// the others.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

#include "gvcp/gvcp_header.h"
#include "net/datagram.h"

namespace QEL_Finder {

// Requests by sender (address and port), served one sender after the other. While a sender has a
// request waiting, a newer one of the same command takes its place, so a sender flooding with
// discoveries has one waiting, answered with its newest req_id. Force-IPs are kept each, in order,
// up to a sender's share, so that a flood of them cannot crowd out the other senders either.
// A sender that has had more than one request waiting is served at kThrottledRate until it calms
// down; one that waits for each answer before it asks again never is.
class Inbox {
  public:
    using Clock = std::chrono::steady_clock;

    // Each answer costs a route query (a fork and two execs), during which a flood overruns the
    // receive queue and other PCs' requests are lost: a flooder is answered only now and then.
    static constexpr double kThrottledRate = 2;  // requests a second
    static constexpr double kThrottledBurst = 4;
    static constexpr std::size_t kMaxSenders = 64;
    static constexpr std::size_t kMaxWaitingPerSender = 16;
    static constexpr std::size_t kMaxWaiting = 128;

    // Keeps the datagram, received at now. An empty one asks nothing and is dropped; so is one
    // whose sender has kMaxWaitingPerSender waiting, or when kMaxWaiting wait in all, or when
    // kMaxSenders other senders all have requests waiting, as a full receive queue would.
    void add(Datagram const& datagram, Clock::time_point now);
    // The next request to serve, taken out; none when none waits or every waiting sender is over
    // its rate.
    std::optional<Datagram> next(Clock::time_point now);
    // How long until next can hand out a request: none when nothing waits, zero when one is due.
    std::optional<Clock::duration> untilDue(Clock::time_point now) const;

  private:
    struct Sender {
        sockaddr_in address;
        std::deque<Datagram> waiting;  // oldest first
        bool throttled = false;
        double tokens = kThrottledBurst;
        Clock::time_point refilled;
        Clock::time_point lastSeen;
    };

    // The sender's allowance at now, without taking note of it.
    static double tokensAt(Sender const& sender, Clock::time_point now);
    static void refill(Sender& sender, Clock::time_point now);
    Sender* senderFor(sockaddr_in const& address, Clock::time_point now);
    // Drops the senders with nothing waiting whose allowance is full again: kept, they would only
    // be what a newcomer is anyway, and the table would grow with every PC that ever asked.
    void forgetCalm(Clock::time_point now);

    std::vector<Sender> senders_;
    std::size_t turn_ = 0;  // the sender whose turn comes next
    std::size_t waiting_ = 0;
};

}  // namespace QEL_Finder
