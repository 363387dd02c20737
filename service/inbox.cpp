#include "service/inbox.h"

#include <algorithm>

#include "gvcp/byte_order.h"

namespace QEL_Finder {

namespace {

// What a newer request replaces: the same key and command; anything too short to name one is
// ignored by the handler, so such datagrams replace each other too.
std::uint32_t commandOf(Datagram const& datagram) {
    if (datagram.size < 4) {
        return 0xFFFFFFFF;
    }
    return std::uint32_t{datagram.bytes[0]} << 16 | loadBe16(&datagram.bytes[2]);
}

bool isForceIp(Datagram const& datagram) {
    return commandOf(datagram) == (std::uint32_t{kGvcpKey} << 16 | kForceIpCmd);
}

bool sameAddress(sockaddr_in const& a, sockaddr_in const& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

}  // namespace

double Inbox::tokensAt(Sender const& sender, Clock::time_point now) {
    std::chrono::duration<double> const since = now - sender.refilled;
    return std::min(kThrottledBurst, sender.tokens + since.count() * kThrottledRate);
}

void Inbox::refill(Sender& sender, Clock::time_point now) {
    sender.tokens = tokensAt(sender, now);
    sender.refilled = now;
}

Inbox::Sender* Inbox::senderFor(sockaddr_in const& address, Clock::time_point now) {
    for (Sender& sender : senders_) {
        if (sameAddress(sender.address, address)) {
            return &sender;
        }
    }
    Sender fresh{address, {}, false, kThrottledBurst, now, now};
    if (senders_.size() < kMaxSenders) {
        return &senders_.emplace_back(std::move(fresh));
    }
    // The sender heard from longest ago among those with nothing waiting makes room.
    Sender* idle = nullptr;
    for (Sender& sender : senders_) {
        if (sender.waiting.empty() && (idle == nullptr || sender.lastSeen < idle->lastSeen)) {
            idle = &sender;
        }
    }
    if (idle != nullptr) {
        *idle = std::move(fresh);
    }
    return idle;
}

void Inbox::add(Datagram const& datagram, Clock::time_point now) {
    // An empty datagram asks nothing.
    if (datagram.size == 0) {
        return;
    }
    Sender* sender = senderFor(datagram.sender, now);
    if (sender == nullptr) {
        return;
    }
    sender->lastSeen = now;
    if (sender->waiting.empty()) {
        // Calm again once its allowance has filled up while it waited for its answers.
        refill(*sender, now);
        sender->throttled = sender->throttled && sender->tokens < kThrottledBurst;
    } else {
        sender->throttled = true;
    }
    if (!isForceIp(datagram)) {
        auto const same = std::find_if(sender->waiting.begin(), sender->waiting.end(),
                                       [&datagram](Datagram const& waiting) {
                                           return commandOf(waiting) == commandOf(datagram);
                                       });
        if (same != sender->waiting.end()) {
            *same = datagram;
            return;
        }
    }
    if (sender->waiting.size() < kMaxWaitingPerSender && waiting_ < kMaxWaiting) {
        sender->waiting.push_back(datagram);
        ++waiting_;
    }
}

void Inbox::forgetCalm(Clock::time_point now) {
    std::size_t kept = 0;
    std::size_t turn = 0;
    for (std::size_t i = 0; i < senders_.size(); ++i) {
        Sender& sender = senders_[i];
        if (sender.waiting.empty()) {
            refill(sender, now);
            if (!sender.throttled || sender.tokens >= kThrottledBurst) {
                continue;
            }
        }
        // The turn stays with the same sender, or passes to the next one kept.
        turn += i < turn_ ? 1 : 0;
        if (kept != i) {
            senders_[kept] = std::move(sender);
        }
        ++kept;
    }
    senders_.erase(senders_.begin() + static_cast<std::ptrdiff_t>(kept), senders_.end());
    turn_ = turn;
}

std::optional<Inbox::Clock::duration> Inbox::untilDue(Clock::time_point now) const {
    std::optional<Clock::duration> soonest;
    for (Sender const& sender : senders_) {
        if (sender.waiting.empty()) {
            continue;
        }
        Clock::duration wait = Clock::duration::zero();
        if (sender.throttled) {
            double const tokens = tokensAt(sender, now);
            if (tokens < 1) {
                wait = std::chrono::ceil<Clock::duration>(
                    std::chrono::duration<double>((1 - tokens) / kThrottledRate));
            }
        }
        soonest = soonest ? std::min(*soonest, wait) : wait;
    }
    return soonest;
}

std::optional<Datagram> Inbox::next(Clock::time_point now) {
    forgetCalm(now);
    for (std::size_t i = 0; i < senders_.size(); ++i) {
        std::size_t const at = (turn_ + i) % senders_.size();
        Sender& sender = senders_[at];
        if (sender.waiting.empty()) {
            continue;
        }
        if (sender.throttled) {
            refill(sender, now);
            if (sender.tokens < 1) {
                continue;
            }
            sender.tokens -= 1;
        }
        Datagram datagram = sender.waiting.front();
        sender.waiting.pop_front();
        --waiting_;
        turn_ = (at + 1) % senders_.size();
        return datagram;
    }
    return std::nullopt;
}

}  // namespace QEL_Finder
