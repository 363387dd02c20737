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
#include "net/recording_socket_manager.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

using QEL_Finder::testing::RecordingSocketManager;
using Receive = RecordingSocketManager::Receive;

// A manager that plays the script and clears _running with its last step, so the loop ends; its
// interface look-up throws, so the real handler has an error to let escape.
RecordingSocketManager scripted(std::vector<Receive> script) {
    RecordingSocketManager manager;
    manager.receives = std::move(script);
    manager.onLastReceive = [] { _running.store(false); };
    manager.lookupThrows = "handle outside the list";
    return manager;
}

// Per receive, whether the loop handed over the record as set up for the kernel to fill.
std::vector<bool> freshRecords(RecordingSocketManager const& manager) {
    std::vector<bool> fresh;
    for (auto const& call : manager.receiveCalls) {
        fresh.push_back(call.controlLength == 512 && call.flags == 0 &&
                        call.nameLength == sizeof(sockaddr_in));
    }
    return fresh;
}

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

    int run(RecordingSocketManager& manager, DatagramHandler handler) {
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
    RecordingSocketManager manager =
        scripted({{Bytes(600, 0xAB)}, {{}, EAGAIN}, {{}, ENETDOWN}, {}, {kDiscovery}});
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
    EXPECT_EQ(freshRecords(manager), std::vector<bool>(5, true));

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
    RecordingSocketManager manager = scripted({{early}, {{}, EAGAIN}, {kDiscovery}, {{}, EAGAIN}});
    QEL_Finder::deferQueuedDatagrams(manager, 7);
    EXPECT_EQ(manager.receiveCalls.size(), 2U);
    EXPECT_EQ(run(manager, recordingHandler), 0);
    EXPECT_EQ(manager.receiveCalls.size(), 4U);
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
    RecordingSocketManager manager = scripted({{{}, ECONNREFUSED}});
    EXPECT_EQ(run(manager, recordingHandler), 0);
    EXPECT_EQ(out, std::string(std::strerror(ECONNREFUSED)) + "\n");
    EXPECT_EQ(manager.receiveCalls.size(), 1U);
}

TEST_F(PacketLoop, ErrorsEscapingTheHandlerAbandonOnlyThatDatagram) {
    RecordingSocketManager manager = scripted({{kDiscovery}, {{}, EAGAIN}, {kDiscovery}});
    EXPECT_EQ(run(manager, onPacketArrives), 0);
    EXPECT_EQ(manager.receiveCalls.size(), 3U);
    EXPECT_EQ(err,
              "Error while handling a datagram: handle outside the list\n"
              "Error while handling a datagram: handle outside the list\n");
    EXPECT_EQ(out.find("Message processing done"), std::string::npos) << out;

    _running.store(true);
    RecordingSocketManager other = scripted({{kDiscovery}, {kDiscovery}});
    EXPECT_EQ(run(other, throwingHandler), 0);
    EXPECT_EQ(other.receiveCalls.size(), 2U);
    EXPECT_EQ(err,
              "Error while handling a datagram: unknown error\n"
              "Error while handling a datagram: unknown error\n");
}

TEST_F(PacketLoop, TimeoutThatCannotBeSetEndsWithStatusOne) {
    RecordingSocketManager manager = scripted({{kDiscovery}});
    manager.optionsFail = true;
    manager.optionsErrno = EBADF;
    EXPECT_EQ(run(manager, recordingHandler), 1);
    EXPECT_EQ(err, "Setting the timout on a socket: " + std::string(std::strerror(EBADF)) + "\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(manager.receiveCalls.size(), 0U);
}

}  // namespace
