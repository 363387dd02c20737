#include "bench/round_trips.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "gvcp/test_loopback_device.h"

namespace bench {
namespace {

using QEL_Finder::Endpoint;
using QEL_Finder::testing::Bytes;
using QEL_Finder::testing::discoveryReply;
using QEL_Finder::testing::LoopbackDevice;

RoundTripOptions parsed(std::vector<char const*> args) {
    auto result = parseRoundTripOptions(args);
    if (auto* error = std::get_if<std::string>(&result)) {
        ADD_FAILURE() << *error;
        return {};
    }
    return std::get<RoundTripOptions>(result);
}

std::string usageError(std::vector<char const*> args) {
    auto result = parseRoundTripOptions(args);
    if (!std::holds_alternative<std::string>(result)) {
        ADD_FAILURE() << "accepted";
        return {};
    }
    return std::get<std::string>(result);
}

TEST(RoundTripOptions, NeedsATarget) {
    RoundTripOptions const bench = parsed({"--count", "50", "--to", "192.0.2.10"});
    EXPECT_EQ(bench.count, 50);
    EXPECT_EQ(formatEndpoint(bench.to), "192.0.2.10:3956");
    EXPECT_NE(usageError({}).find("--to"), std::string::npos);
}

TEST(RoundTripOptions, TimingOptions) {
    RoundTripOptions const plain = parsed({"--to", "192.0.2.10"});
    EXPECT_EQ(plain.count, 1000);
    EXPECT_EQ(plain.warmup, 20);
    EXPECT_EQ(plain.gapUs, 0);
    EXPECT_FALSE(plain.echoReply);
    EXPECT_EQ(plain.samplesPath, "");

    // --port before --to must survive --to setting the address.
    RoundTripOptions const full = parsed({"--port", "3957", "--to", "192.0.2.10", "--warmup=0",
                                          "--gap-us", "2000", "--echo", "--samples", "/tmp/rtt"});
    EXPECT_EQ(formatEndpoint(full.to), "192.0.2.10:3957");
    EXPECT_EQ(full.warmup, 0);
    EXPECT_EQ(full.gapUs, 2000);
    EXPECT_TRUE(full.echoReply);
    EXPECT_EQ(full.samplesPath, "/tmp/rtt");

    struct Case {
        std::vector<char const*> args;
        char const* message;
    };
    std::vector<Case> const cases{
        {{"--to", "192.0.2.10", "--port", "0"}, "bad value for --port: '0'"},
        {{"--to", "192.0.2.10", "--port", "65536"}, "bad value for --port"},
        {{"--to", "192.0.2.10", "--warmup", "-1"}, "bad value for --warmup"},
        {{"--to", "192.0.2.10", "--gap-us", "1000001"}, "bad value for --gap-us"},
        {{"--to", "192.0.2.10", "--samples="}, "needs a file name"},
        {{"--to", "192.0.2.10", "--echo=1"}, "'--echo' takes no value"},
        {{"--to", "192.0.2"}, "bad address for --to: '192.0.2'"},
    };
    for (Case const& c : cases) {
        std::string const message = usageError(c.args);
        EXPECT_NE(message.find(c.message), std::string::npos)
            << "got: " << message << ", wanted: " << c.message;
    }
}

TEST(PaddedEcho, OnlyAFullSizeDatagramThatStartsWithTheRequestCounts) {
    Bytes const request{0x42, 0x01, 0x00, 0x02, 0x00, 0x00, 0x12, 0x34};
    Bytes echo(256, 0);
    std::copy(request.begin(), request.end(), echo.begin());
    EXPECT_TRUE(isPaddedEcho(echo, request));

    Bytes otherId = echo;
    otherId[7] = 0x35;  // the answer to the next request
    EXPECT_FALSE(isPaddedEcho(otherId, request));
    EXPECT_FALSE(isPaddedEcho(Bytes(echo.begin(), echo.end() - 1), request));
    Bytes longer = echo;
    longer.push_back(0);
    EXPECT_FALSE(isPaddedEcho(longer, request));
    EXPECT_FALSE(isPaddedEcho(request, request)) << "a plain echo is not the acknowledge's size";
    // A real acknowledge does not begin with the request's key and flag.
    EXPECT_FALSE(isPaddedEcho(discoveryReply(request, 0x5E), request));
}

Bytes paddedEcho(Bytes const& request) {
    Bytes reply(256, 0);
    std::copy(request.begin(), request.end(), reply.begin());
    return reply;
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome runBench(std::vector<char const*> args) {
    std::ostringstream out;
    std::ostringstream err;
    int const status = timeRoundTrips(args, out, err);
    return Outcome{status, out.str(), err.str()};
}

std::vector<std::string> linesOf(std::string const& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(DiscoveryRoundTrips, WarmUpIsSentButNotTimedAndEverySampleIsWritten) {
    LoopbackDevice device(8, [](Bytes const& request, int) {
        return std::vector<Bytes>{discoveryReply(request, 0x5E)};
    });
    std::string const samples = ::testing::TempDir() + "bench_samples_warmup";
    (void)std::remove(samples.c_str());
    std::string const port = std::to_string(device.endpoint().port);
    Outcome const r = runBench({"--to", "127.0.0.1", "--port", port.c_str(), "--count", "5",
                                "--warmup", "3", "--samples", samples.c_str()});
    std::vector<Bytes> const& requests = device.finish();

    EXPECT_EQ(r.status, kExitSuccess) << r.err;
    EXPECT_EQ(r.out.rfind("answered=5 lost=0 warmup=3 median_us=", 0), 0U) << r.out;
    ASSERT_EQ(requests.size(), 8U);
    auto const idOf = [](Bytes const& request) {
        return static_cast<unsigned>((request[6] << 8) | request[7]);
    };
    for (std::size_t i = 1; i < requests.size(); ++i) {
        unsigned const previous = idOf(requests[i - 1]);
        unsigned const current = idOf(requests[i]);
        EXPECT_EQ(current, previous == 0xFFFF ? 1U : previous + 1) << "request " << i;
    }
    std::vector<std::string> const lines = linesOf(samples);
    ASSERT_EQ(lines.size(), 5U);
    for (std::string const& line : lines) {
        EXPECT_GT(std::stod(line), 0.0) << line;
    }
    (void)std::remove(samples.c_str());
}

TEST(DiscoveryRoundTrips, UnansweredRequestsAreLostAndStaleAnswersSkipped) {
    // Warm-up request 0; request 2 gets no answer, request 3 first gets request 2's late one.
    LoopbackDevice device(5, [](Bytes const& request, int index) {
        if (index == 2) {
            return std::vector<Bytes>{};
        }
        std::vector<Bytes> replies;
        if (index == 3) {
            Bytes stale = discoveryReply(request, 0x5E);
            stale[7] = static_cast<std::uint8_t>(stale[7] - 1);
            replies.push_back(stale);
        }
        replies.push_back(discoveryReply(request, 0x5E));
        return replies;
    });
    std::string const port = std::to_string(device.endpoint().port);
    Outcome const r = runBench({"--to", "127.0.0.1", "--port", port.c_str(), "--count", "4",
                                "--warmup", "1", "--timeout-ms", "200"});
    device.finish();
    EXPECT_EQ(r.status, kExitSuccess) << r.err;
    EXPECT_EQ(r.out.rfind("answered=3 lost=1 ", 0), 0U) << r.out;
}

TEST(DiscoveryRoundTrips, EchoModeTakesOnlyPaddedEchoes) {
    LoopbackDevice echoing(
        3, [](Bytes const& request, int) { return std::vector<Bytes>{paddedEcho(request)}; });
    std::string const echoPort = std::to_string(echoing.endpoint().port);
    Outcome const echoed = runBench({"--to", "127.0.0.1", "--port", echoPort.c_str(), "--echo",
                                     "--count", "3", "--warmup", "0"});
    echoing.finish();
    EXPECT_EQ(echoed.status, kExitSuccess) << echoed.err;
    EXPECT_EQ(echoed.out.rfind("answered=3 lost=0 ", 0), 0U) << echoed.out;

    // Each kind of target only satisfies its own mode.
    LoopbackDevice acknowledging(1, [](Bytes const& request, int) {
        return std::vector<Bytes>{discoveryReply(request, 0x5E)};
    });
    std::string const ackPort = std::to_string(acknowledging.endpoint().port);
    Outcome const mismatched = runBench({"--to", "127.0.0.1", "--port", ackPort.c_str(), "--echo",
                                         "--count", "1", "--warmup", "0", "--timeout-ms", "100"});
    acknowledging.finish();
    EXPECT_EQ(mismatched.status, kExitNoAnswer);
    EXPECT_EQ(mismatched.out.rfind("answered=0 lost=1 ", 0), 0U) << mismatched.out;
    EXPECT_EQ(mismatched.err, "discovery_round_trips: no discovery was answered\n");

    LoopbackDevice echoingOnce(
        1, [](Bytes const& request, int) { return std::vector<Bytes>{paddedEcho(request)}; });
    std::string const oncePort = std::to_string(echoingOnce.endpoint().port);
    Outcome const notAnAck = runBench({"--to", "127.0.0.1", "--port", oncePort.c_str(), "--count",
                                       "1", "--warmup", "0", "--timeout-ms", "100"});
    echoingOnce.finish();
    EXPECT_EQ(notAnAck.status, kExitNoAnswer);
}

TEST(DiscoveryRoundTrips, PausesBetweenRequests) {
    LoopbackDevice device(
        4, [](Bytes const& request, int) { return std::vector<Bytes>{paddedEcho(request)}; });
    std::string const port = std::to_string(device.endpoint().port);
    auto const start = std::chrono::steady_clock::now();
    Outcome const r = runBench({"--to", "127.0.0.1", "--port", port.c_str(), "--echo", "--count",
                                "3", "--warmup", "1", "--gap-us", "50000"});
    auto const elapsed = std::chrono::steady_clock::now() - start;
    device.finish();
    EXPECT_EQ(r.status, kExitSuccess) << r.err;
    // Three pauses between four requests; the warm-up request is paced like the others.
    EXPECT_GE(elapsed, std::chrono::milliseconds(150));
}

TEST(DiscoveryRoundTrips, AnUnwritableSamplesFileStopsBeforeSending) {
    LoopbackDevice device(
        1, [](Bytes const& request, int) { return std::vector<Bytes>{paddedEcho(request)}; });
    std::string const port = std::to_string(device.endpoint().port);
    std::string const samples = ::testing::TempDir() + "no_such_dir/samples";
    Outcome const r = runBench(
        {"--to", "127.0.0.1", "--port", port.c_str(), "--echo", "--samples", samples.c_str()});
    EXPECT_EQ(r.status, kExitSocketError);
    EXPECT_EQ(r.err, "discovery_round_trips: cannot write samples to " + samples + "\n");
    EXPECT_EQ(r.out, "");
    // Releases the responder: the first datagram it sees must be this one, not the probe's.
    QEL_Finder::LinuxSocketManager sockets;
    auto opened = openUdpSocket(sockets, Endpoint{0, 0});
    ASSERT_TRUE(std::holds_alternative<int>(opened));
    EXPECT_FALSE(sendDatagram(sockets, std::get<int>(opened), device.endpoint(), Bytes{0x42}));
    EXPECT_EQ(device.finish().front(), Bytes{0x42}) << "the probe sent a request";
}

}  // namespace
}  // namespace bench
