#include "service/packet_loop.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/process_state.h"
#include "gvcp/packet_handler.h"
#include "net/deferred_datagrams.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// One scripted receive: a datagram, or an errno (EAGAIN plays the time-out the manager maps to
// an empty success).
struct Receive {
    Bytes datagram;
    int error = 0;
};

// Plays the script the way the kernel fills the record, records how each receive found the
// record, and clears _running with the last step so the loop ends.
class ScriptedManager : public QEL_Finder::SocketManager {
  public:
    explicit ScriptedManager(std::vector<Receive> script) : script_(std::move(script)) {}

    bool recvmsg(int, msghdr* message, int, unsigned long* received) override {
        freshRecord.push_back(message->msg_controllen == 512 && message->msg_flags == 0 &&
                              message->msg_namelen == sizeof(sockaddr_in));
        Receive const step = script_.at(attempts++);
        if (attempts == script_.size()) {
            _running.store(false);
        }
        *received = 0;
        if (step.error != 0) {
            errno = step.error;
            return step.error == EAGAIN;
        }
        std::size_t offset = 0;
        for (std::size_t i = 0; i < message->msg_iovlen; ++i) {
            std::size_t const count =
                std::min(message->msg_iov[i].iov_len, step.datagram.size() - offset);
            if (count == 0) {
                break;  // an empty vector's data() may be null, which memcpy must not see
            }
            std::memcpy(message->msg_iov[i].iov_base, step.datagram.data() + offset, count);
            offset += count;
        }
        *received = offset;
        message->msg_flags = offset < step.datagram.size() ? MSG_TRUNC : 0;
        message->msg_controllen = 32;
        static_cast<sockaddr_in*>(message->msg_name)->sin_addr.s_addr = htonl(0xC0000201);
        return true;
    }
    int setsockopt(int, int, int name, void const*, unsigned int) override {
        if (name == SO_RCVTIMEO && failTimeout) {
            errno = EBADF;
            return -1;
        }
        return 0;
    }
    bool getIpAddressFromInterfaceName(char const*, unsigned int&, unsigned int&) override {
        throw std::out_of_range("handle outside the list");
    }
    std::string getError() override { return std::strerror(errno); }

    unsigned int getDefaultGateway() override { return 0; }
    int getsockopt(int, int, int, void*, unsigned int*) override { return -1; }
    long sendto(int, char const*, unsigned long, int, sockaddr const*, int) override { return -1; }
    long recvfrom(int, void*, unsigned long, int, sockaddr*, unsigned int*) override { return -1; }
    long sendmsg(int, msghdr*, int) override { return -1; }
    bool wasBroadcastMessage(msghdr*) override { return false; }
    int getInterfaceIndex(msghdr*) override { return -1; }
    void closeSocket(int) override {}
    int getSocketUDP() override { return -1; }
    int bindSocket(int, sockaddr*) override { return -1; }
    int connectSocket(int, sockaddr const*) override { return -1; }

    std::vector<bool> freshRecord;
    std::size_t attempts = 0;
    bool failTimeout = false;

  private:
    std::vector<Receive> script_;
};

// What the loop handed on for one datagram.
struct Handled {
    unsigned long received;
    Bytes header;
    Bytes payload;
    bool requesterIsTheName;
    std::uint32_t requester;
};
std::vector<Handled> handled;

void recordingHandler(QEL_Finder::DiscoveryAck*, QEL_Finder::SocketManager*, msghdr* message,
                      unsigned long received, sockaddr_in* requester, std::string) {
    auto const* header = static_cast<std::uint8_t const*>(message->msg_iov[0].iov_base);
    auto const* payload = static_cast<std::uint8_t const*>(message->msg_iov[1].iov_base);
    handled.push_back({received,
                       {header, header + message->msg_iov[0].iov_len},
                       {payload, payload + message->msg_iov[1].iov_len},
                       static_cast<void*>(requester) == message->msg_name,
                       ntohl(requester->sin_addr.s_addr)});
}

void throwingHandler(QEL_Finder::DiscoveryAck*, QEL_Finder::SocketManager*, msghdr*, unsigned long,
                     sockaddr_in*, std::string) {
    throw 42;
}

// Key 0x42, broadcast-ack flag, DISCOVERY_CMD, no payload, req_id 1.
Bytes const kDiscovery{0x42, 0x11, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01};

class PacketLoop : public testing::Test {
  protected:
    void SetUp() override {
        _running.store(true);
        Verbose = true;
        handled.clear();
    }
    void TearDown() override {
        _running.store(true);
        Verbose = false;
    }

    int run(ScriptedManager& manager, DatagramHandler handler) {
        QEL_Finder::DiscoveryAck record{};
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int const status = runPacketLoop(manager, 0, record, "eth0", handler);
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        return status;
    }

    std::string out;
    std::string err;
};

TEST_F(PacketLoop, HandsOnNonEmptyDatagramsAndPrintsReceiveErrors) {
    ScriptedManager manager({{Bytes(600, 0xAB)}, {{}, EAGAIN}, {{}, ENETDOWN}, {}, {kDiscovery}});
    EXPECT_EQ(run(manager, recordingHandler), 0);
    EXPECT_EQ(out,
              "Starting package processing loop\n"
              "Received message: 576\n"
              "Message processing done\n" +
                  std::string(std::strerror(ENETDOWN)) +
                  "\n"
                  "Received message: 8\n"
                  "Message processing done\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(manager.freshRecord, std::vector<bool>(5, true));

    ASSERT_EQ(handled.size(), 2U);
    EXPECT_EQ(handled[0].received, 576U);
    EXPECT_EQ(handled[0].header, Bytes(8, 0xAB));
    EXPECT_EQ(handled[0].payload, Bytes(568, 0xAB));
    EXPECT_EQ(handled[1].received, 8U);
    EXPECT_EQ(handled[1].header, kDiscovery);
    // Nothing of the long datagram before may show through behind a short one.
    EXPECT_EQ(handled[1].payload, Bytes(568, 0));
    EXPECT_TRUE(handled[1].requesterIsTheName);
    EXPECT_EQ(handled[1].requester, 0xC0000201U);
}

// A datagram a reply socket queued before it was connected is served before the next receive.
TEST_F(PacketLoop, DatagramsTakenInByAReplySocketAreServedFirst) {
    Bytes const early{0x42, 0x01, 0x00, 0x80, 0x00, 0x00, 0x00, 0x09, 0x5A};
    ScriptedManager manager({{early}, {{}, EAGAIN}, {kDiscovery}, {{}, EAGAIN}});
    QEL_Finder::deferQueuedDatagrams(manager, 7);
    EXPECT_EQ(manager.attempts, 2U);
    EXPECT_EQ(run(manager, recordingHandler), 0);
    EXPECT_EQ(manager.attempts, 4U);
    ASSERT_EQ(handled.size(), 2U);
    EXPECT_EQ(handled[0].received, 9U);
    EXPECT_EQ(handled[0].header, Bytes(early.begin(), early.begin() + 8));
    EXPECT_EQ(handled[0].payload[0], 0x5A);
    EXPECT_EQ(handled[0].payload[1], 0);
    EXPECT_EQ(handled[0].requester, 0xC0000201U);
    EXPECT_EQ(handled[1].header, kDiscovery);
}

TEST_F(PacketLoop, VerboseOffLeavesOnlyReceiveErrors) {
    Verbose = false;
    _running.store(false);  // a stop before the loop still lets one attempt through
    ScriptedManager manager({{{}, ECONNREFUSED}});
    EXPECT_EQ(run(manager, recordingHandler), 0);
    EXPECT_EQ(out, std::string(std::strerror(ECONNREFUSED)) + "\n");
    EXPECT_EQ(manager.attempts, 1U);
}

TEST_F(PacketLoop, ErrorsEscapingTheHandlerAbandonOnlyThatDatagram) {
    ScriptedManager manager({{kDiscovery}, {{}, EAGAIN}, {kDiscovery}});
    EXPECT_EQ(run(manager, onPacketArrives), 0);
    EXPECT_EQ(manager.attempts, 3U);
    EXPECT_EQ(err,
              "Error while handling a datagram: handle outside the list\n"
              "Error while handling a datagram: handle outside the list\n");
    EXPECT_EQ(out.find("Message processing done"), std::string::npos) << out;

    _running.store(true);
    ScriptedManager other({{kDiscovery}, {kDiscovery}});
    EXPECT_EQ(run(other, throwingHandler), 0);
    EXPECT_EQ(other.attempts, 2U);
    EXPECT_EQ(err,
              "Error while handling a datagram: unknown error\n"
              "Error while handling a datagram: unknown error\n");
}

TEST_F(PacketLoop, TimeoutThatCannotBeSetEndsWithStatusOne) {
    ScriptedManager manager({{kDiscovery}});
    manager.failTimeout = true;
    EXPECT_EQ(run(manager, recordingHandler), 1);
    EXPECT_EQ(err, "Setting the timout on a socket: " + std::string(std::strerror(EBADF)) + "\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(manager.attempts, 0U);
}

}  // namespace
