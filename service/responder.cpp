#include "service/responder.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <iostream>
#include <string>
#include <thread>

#include "base/ipv4_address.h"
#include "base/process_state.h"
#include "gvcp/packet_handler.h"
#include "service/serving_status.h"

namespace {

// About 2,700 small datagrams once the kernel has doubled it: 15 ms of a flood at full speed.
constexpr int kListeningQueueBytes = 1 << 20;
// While only a throttled sender's request waits, its flood gathers this long in the queue and is
// then read in full batches, instead of the loop waking for every datagram or two. Well within
// what the queue holds, and nothing to a PC that waits a second for its answer.
constexpr auto kGatherPause = std::chrono::milliseconds(4);
// Reads in a row before a request is served: more than the queue holds.
constexpr std::size_t kMaxBatchesInARow = 128;
// An interface removed and added again (a USB adapter) comes back under a new index; a flood on
// another interface looks the index up no more often than this.
constexpr auto kServedIndexLifetime = std::chrono::seconds(1);

}  // namespace

Responder::Responder(std::unique_ptr<QEL_Finder::SocketManager> sockets,
                     std::unique_ptr<QEL_Finder::InterfaceControl> interface,
                     QEL_Finder::DiscoveryAck const& record, std::string interfaceName)
    : sockets_(std::move(sockets)),
      interface_(std::move(interface)),
      record_(record),
      interfaceName_(std::move(interfaceName)),
      serving_{record_, *sockets_, *interface_, interfaceName_, lastForceIp_, takenIn_},
      batch_(std::make_unique<QEL_Finder::DatagramBatch>()),
      servedIndex_(sockets_->interfaceIndex(interfaceName_.c_str())),
      loopbackIndex_(sockets_->interfaceIndex("lo")),
      servedIndexRead_(std::chrono::steady_clock::now()) {}

bool Responder::cameOnServedInterface(QEL_Finder::Datagram const& datagram) {
    auto const index = static_cast<unsigned int>(datagram.arrivalIndex);
    if (index == 0 || index == servedIndex_ || index == loopbackIndex_) {
        return true;
    }
    auto const now = std::chrono::steady_clock::now();
    if (servedIndexMayHaveMoved_ || now - servedIndexRead_ >= kServedIndexLifetime) {
        servedIndexMayHaveMoved_ = false;
        servedIndexRead_ = now;
        servedIndex_ = sockets_->interfaceIndex(interfaceName_.c_str());
        if (index == servedIndex_) {
            return true;
        }
    }
    if (Verbose) {
        std::string const name = sockets_->interfaceName(index);
        std::cout << "Ignoring a datagram from " << formatIpv4(datagram.sender.sin_addr.s_addr)
                  << " on " << (name.empty() ? "interface " + std::to_string(index) : name)
                  << ": it is not " << interfaceName_ << std::endl;
    }
    return false;
}

void Responder::handle(QEL_Finder::Datagram const& datagram) {
    if (Verbose) {
        std::cout << "Received message: " << datagram.size << std::endl;
    }
    // A PC on another network (an office network on a second port) must neither see the camera
    // network's interface nor move it.
    if (!cameOnServedInterface(datagram)) {
        return;
    }
    // A force-IP on a bridge deletes the interface and builds it again under a new index, and
    // the PC asks at once whether the camera has its new address.
    servedIndexMayHaveMoved_ = true;
    // One bad datagram must not take the device off the network: whatever escapes the handler
    // abandons this datagram only.
    try {
        if (auto carried = onPacketArrives(serving_, datagram)) {
            lastForceIp_ = *carried;
            if (carried->acknowledgedTo) {
                QEL_Finder::reportForceIpApplied(interfaceName_, record_,
                                                 carried->requester.sin_addr.s_addr);
            }
        }
    } catch (std::exception const& error) {
        std::cerr << "Error while handling a datagram: " << error.what() << std::endl;
        return;
    } catch (...) {
        std::cerr << "Error while handling a datagram: unknown error" << std::endl;
        return;
    }
    if (Verbose) {
        std::cout << "Message processing done" << std::endl;
    }
}

int Responder::serve(int listeningHandle, Watchdog& watchdog) {
    timeval const timeout{1, 0};
    if (sockets_->setsockopt(listeningHandle, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) ==
        -1) {
        std::cerr << "Setting the timout on a socket: " << sockets_->getError() << std::endl;
        return 1;
    }
    // A flood fills the default receive queue within the milliseconds one answer takes, and a
    // request that arrives then, another PC's, is lost; a larger queue rides that out. Only root
    // may pass the system's limit; without it the default queue still serves.
    int const queueBytes = kListeningQueueBytes;
    if (sockets_->setsockopt(listeningHandle, SOL_SOCKET, SO_RCVBUFFORCE, &queueBytes,
                             sizeof(queueBytes)) == -1) {
        sockets_->setsockopt(listeningHandle, SOL_SOCKET, SO_RCVBUF, &queueBytes,
                             sizeof(queueBytes));
    }
    if (Verbose) {
        std::cout << "Starting package processing loop" << std::endl;
    }
    int const enable = 1;
    sockets_->setsockopt(listeningHandle, IPPROTO_IP, IP_PKTINFO, &enable, sizeof(enable));

    bool served = false;
    do {
        // Every turn, at least once a second by the receive time-out; sent only at a quarter of
        // the watchdog's interval.
        watchdog.feed();
        // After a reply, take what came meanwhile without waiting, so every sender's newest
        // request is in the inbox before the next one is chosen; with nothing served and nothing
        // waiting, wait.
        int flags = MSG_DONTWAIT;
        if (!served) {
            auto const due = inbox_.untilDue(QEL_Finder::Inbox::Clock::now());
            if (due) {
                std::this_thread::sleep_for(
                    std::min<QEL_Finder::Inbox::Clock::duration>(*due, kGatherPause));
            } else {
                flags = MSG_WAITFORONE;
            }
        }
        takeQueued(listeningHandle, flags);
        auto const next = inbox_.next(QEL_Finder::Inbox::Clock::now());
        served = next.has_value();
        if (next) {
            handle(*next);
            auto const now = QEL_Finder::Inbox::Clock::now();
            for (QEL_Finder::Datagram const& datagram : takenIn_) {
                inbox_.add(datagram, now);
            }
            takenIn_.clear();
        }
    } while (_running.load(std::memory_order_acquire));
    return 0;
}

void Responder::takeQueued(int listeningHandle, int flags) {
    for (std::size_t batches = 0; batches < kMaxBatchesInARow; ++batches) {
        if (!batch_->receive(*sockets_, listeningHandle, flags)) {
            std::cout << sockets_->getError() << std::endl;
            return;
        }
        auto const now = QEL_Finder::Inbox::Clock::now();
        for (QEL_Finder::Datagram const& datagram : batch_->received()) {
            inbox_.add(datagram, now);
        }
        if (batch_->received().size() < QEL_Finder::DatagramBatch::kBatchSize) {
            return;
        }
        flags = MSG_DONTWAIT;
    }
}
