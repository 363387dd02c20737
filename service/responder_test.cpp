#include "service/responder.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/process_state.h"
#include "net/recording_socket_manager.h"
#include "netconfig/fake_interface_control.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

using QEL_Finder::testing::RecordingSocketManager;
using Receive = RecordingSocketManager::Receive;

// Key 0x42, broadcast-ack flag, DISCOVERY_CMD, no payload, req_id 1.
Bytes const kDiscovery{0x42, 0x11, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01};

class ResponderLoop : public testing::Test {
  protected:
    void SetUp() override {
        _running.store(true);
        Verbose = true;
    }
    void TearDown() override {
        _running.store(true);
        Verbose = false;
    }

    // Serves the script on eth0 at 192.0.2.10/24 until its last receive has been played.
    int serve(std::vector<Receive> script, bool timeoutFails = false,
              std::string const& lookupThrows = "") {
        auto owned = std::make_unique<RecordingSocketManager>();
        sockets = owned.get();
        sockets->setInterfaceAddress("192.0.2.10", "255.255.255.0");
        sockets->receives = std::move(script);
        sockets->onLastReceive = [] { _running.store(false); };
        sockets->nextHandle = 1;
        sockets->lookupThrows = lookupThrows;
        if (timeoutFails) {
            sockets->optionsFail = true;
            sockets->optionsErrno = EBADF;
        }
        Responder responder(std::move(owned),
                            std::make_unique<QEL_Finder::testing::FakeInterfaceControl>(),
                            QEL_Finder::DiscoveryAck{}, "eth0");
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        Watchdog watchdog;
        int const status = responder.serve(0, watchdog);
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        sent = sockets->sent;
        events = sockets->events;
        batchReceiveFlags = sockets->batchReceiveFlags;
        return status;
    }

    RecordingSocketManager* sockets = nullptr;  // the responder's, while it serves
    std::vector<RecordingSocketManager::Sent> sent;
    std::vector<std::string> events;
    std::vector<int> batchReceiveFlags;
    std::string out;
    std::string err;
};

TEST_F(ResponderLoop, ServesNonEmptyDatagramsAndPrintsReceiveErrors) {
    // A long datagram of no protocol, a time-out, an error, an empty datagram, a discovery.
    EXPECT_EQ(serve({{Bytes(600, 0xAB)}, {{}, EAGAIN}, {{}, ENETDOWN}, {}, {kDiscovery}}), 0);
    EXPECT_EQ(out,
              "Starting package processing loop\n"
              "Received message: 576\n"
              "Message processing done\n" +
                  std::string(std::strerror(ENETDOWN)) +
                  "\n"
                  "Received message: 8\n"
                  "Discovery received from 192.0.2.1\n"
                  "Opening socket on local IP 192.0.2.10\n"
                  "Sending ACK\n"
                  "Message processing done\n");
    EXPECT_EQ(err, "");
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].buffers[0], (Bytes{0x00, 0x00, 0x00, 0x03, 0x00, 0xF8, 0x00, 0x01}));
}

TEST_F(ResponderLoop, AStopBeforeTheLoopStillLetsOneReadThrough) {
    Verbose = false;
    _running.store(false);
    EXPECT_EQ(serve({{{}, ECONNREFUSED}}), 0);
    EXPECT_EQ(out, std::string(std::strerror(ECONNREFUSED)) + "\n");
    EXPECT_EQ(events, std::vector<std::string>{"recvmmsg 0"});
}

TEST_F(ResponderLoop, ErrorsEscapingTheHandlerAbandonOnlyThatDatagram) {
    EXPECT_EQ(serve({{kDiscovery}, {{}, EAGAIN}, {kDiscovery}}, false, "handle outside the list"),
              0);
    EXPECT_EQ(err,
              "Error while handling a datagram: handle outside the list\n"
              "Error while handling a datagram: handle outside the list\n");
    EXPECT_EQ(out.find("Message processing done"), std::string::npos) << out;
}

// A flood waiting in the queue is read to its end before anything is chosen: the flooder is
// answered with its newest req_id, and the other PC behind the flood is answered too.
TEST_F(ResponderLoop, ReadsWhatIsQueuedToItsEndBeforeServing) {
    Verbose = false;
    std::vector<Receive> script;
    for (std::uint8_t i = 1; i <= 70; ++i) {
        Bytes discovery = kDiscovery;
        discovery[7] = i;
        script.push_back({discovery});
    }
    script.push_back({kDiscovery, 0, QEL_Finder::testing::socketAddress("192.0.2.2", 50000)});
    // The first answer's reply socket takes a look at what it received, too.
    script.insert(script.end(), 2, {{}, EAGAIN});
    EXPECT_EQ(serve(std::move(script)), 0);
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[0].buffers[0][7], 70) << "the flooder's newest";
    EXPECT_EQ(sent[1].buffers[0][7], 1) << "the other PC's";
    EXPECT_EQ(std::count(events.begin(), events.end(), "recvmmsg 0"), 4)
        << "32 + 32 + 7, then the empty queue after the first answer";
}

// The reads after a full batch take only what is queued: one that waited for the receive time-out
// would hold every request read so far for a second.
TEST_F(ResponderLoop, ReadsAfterAFullBatchNeverWait) {
    Verbose = false;
    std::vector<Receive> script(QEL_Finder::DatagramBatch::kBatchSize + 1, {kDiscovery});
    script.push_back({{}, EAGAIN});
    EXPECT_EQ(serve(std::move(script)), 0);
    ASSERT_GE(batchReceiveFlags.size(), 3U);
    EXPECT_EQ(batchReceiveFlags[0], MSG_WAITFORONE) << "nothing queued yet: the first read waits";
    for (std::size_t i = 1; i < batchReceiveFlags.size(); ++i) {
        EXPECT_EQ(batchReceiveFlags[i], MSG_DONTWAIT) << "read " << i;
    }
}

TEST_F(ResponderLoop, TimeoutThatCannotBeSetEndsWithStatusOne) {
    EXPECT_EQ(serve({{kDiscovery}}, true), 1);
    EXPECT_EQ(err, "Setting the timout on a socket: " + std::string(std::strerror(EBADF)) + "\n");
    EXPECT_EQ(out, "");
    EXPECT_TRUE(sent.empty());
}

}  // namespace
