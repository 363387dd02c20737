#include "gvcp/inbox.h"

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

void Inbox::refill(Sender& sender, Clock::time_point now) {
    std::chrono::duration<double> const since = now - sender.refilled;
    sender.tokens = std::min(kThrottledBurst, sender.tokens + since.count() * kThrottledRate);
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

std::optional<Datagram> Inbox::next(Clock::time_point now) {
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
