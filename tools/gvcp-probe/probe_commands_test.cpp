#include "tools/gvcp-probe/probe_commands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "tools/gvcp-probe/udp_socket.h"

namespace gvcp_probe {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t const kLoopback = *parseIpv4("127.0.0.1");

// A stand-in device on loopback: takes one request and sends back whatever the case makes of it.
class LoopbackDevice {
  public:
    using Answer = std::function<std::vector<Bytes>(Bytes const& request)>;

    explicit LoopbackDevice(Answer answer) {
        auto opened = UdpSocket::open(Endpoint{kLoopback, 0});
        if (auto* error = std::get_if<SocketError>(&opened)) {
            ADD_FAILURE() << error->text;
            return;
        }
        socket_ = std::make_unique<UdpSocket>(std::move(std::get<UdpSocket>(opened)));
        endpoint_ = socket_->localEndpoint();
        thread_ = std::thread([this, answer = std::move(answer)] {
            Bytes buffer(2048);
            auto received = socket_->receive(
                buffer, std::chrono::steady_clock::now() + std::chrono::seconds(20));
            if (auto* datagram = std::get_if<Datagram>(&received)) {
                request_.assign(buffer.begin(),
                                buffer.begin() + static_cast<std::ptrdiff_t>(datagram->size));
                for (Bytes const& reply : answer(request_)) {
                    if (auto error = socket_->sendTo(datagram->from, reply)) {
                        ADD_FAILURE() << error->text;
                    }
                }
            }
        });
    }

    ~LoopbackDevice() { finish(); }

    Endpoint endpoint() const { return endpoint_; }

    // Waits for the device to have answered and returns the request it got.
    Bytes const& finish() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return request_;
    }

  private:
    std::unique_ptr<UdpSocket> socket_;
    Endpoint endpoint_;
    std::thread thread_;
    Bytes request_;
};

Bytes discoveryReply(Bytes const& request, std::uint8_t lastMacOctet) {
    Bytes reply(256, 0);
    reply[3] = 0x03;
    reply[5] = 0xF8;
    reply[6] = request.at(6);
    reply[7] = request.at(7);
    std::uint8_t const mac[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, lastMacOctet};
    std::copy(std::begin(mac), std::end(mac), reply.begin() + 18);
    reply[31] = 0x06;
    std::uint8_t const address[] = {127, 0, 0, 1};
    std::copy(std::begin(address), std::end(address), reply.begin() + 44);
    return reply;
}

Bytes ack(Bytes const& request, std::uint8_t statusHigh, std::uint8_t statusLow,
          std::uint8_t answer) {
    return Bytes{statusHigh, statusLow, 0x00, answer, 0x00, 0x00, request.at(6), request.at(7)};
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome run(std::vector<char const*> args, Endpoint to) {
    auto parsed = parseCommandLine(args);
    EXPECT_TRUE(std::holds_alternative<ProbeOptions>(parsed));
    ProbeOptions options = std::get<ProbeOptions>(parsed);
    options.to = to;
    std::ostringstream out;
    std::ostringstream err;
    int status = -1;
    if (options.command == Command::Discover) {
        status = runDiscover(options, out, err);
    } else {
        status = runForceIp(options, out, err);
    }
    return Outcome{status, out.str(), err.str()};
}

std::size_t count(std::string const& text, std::string const& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST(DiscoverCommand, ListsEachAnsweringDeviceOnceAndSkipsForeignReplies) {
    LoopbackDevice device([](Bytes const& request) {
        Bytes otherId = discoveryReply(request, 0x01);
        otherId[7] = static_cast<std::uint8_t>(otherId[7] + 1);
        Bytes cut = discoveryReply(request, 0x02);
        cut.resize(100);
        return std::vector<Bytes>{otherId, cut, discoveryReply(request, 0x5E),
                                  discoveryReply(request, 0x5E), discoveryReply(request, 0x5F)};
    });
    Outcome const r =
        run({"discover", "--json", "--verbose", "--timeout-ms", "2000"}, device.endpoint());
    Bytes const& request = device.finish();

    ASSERT_EQ(request.size(), 8U);
    EXPECT_EQ(Bytes(request.begin(), request.begin() + 6),
              (Bytes{0x42, 0x01, 0x00, 0x02, 0x00, 0x00}));
    EXPECT_NE(request[6] | request[7], 0) << "req_id 0 is not a valid identifier";

    EXPECT_EQ(r.status, kExitSuccess) << r.err;
    EXPECT_EQ(count(r.out, "\"mac\""), 2U) << r.out;
    EXPECT_EQ(count(r.out, "00:1a:2b:3c:4d:5e"), 1U);
    EXPECT_EQ(count(r.out, "00:1a:2b:3c:4d:5f"), 1U);
    EXPECT_EQ(count(r.out, "00:1a:2b:3c:4d:01"), 0U);
    EXPECT_EQ(count(r.out, "00:1a:2b:3c:4d:02"), 0U);
    EXPECT_NE(r.out.find("\"from\": \"127.0.0.1\", \"from_port\": " +
                         std::to_string(device.endpoint().port)),
              std::string::npos);
    EXPECT_NE(r.err.find("wrong ack_id"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("wrong length 100"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("second reply for 00:1a:2b:3c:4d:5e"), std::string::npos) << r.err;
}

TEST(DiscoverCommand, NoDeviceIsExitStatusOne) {
    LoopbackDevice silent([](Bytes const&) { return std::vector<Bytes>{}; });
    Outcome const r = run({"discover", "--timeout-ms", "100"}, silent.endpoint());
    EXPECT_EQ(r.status, kExitNoAnswer);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "gvcp-probe: no device answered within 100 ms\n");
}

TEST(ForceIpCommand, ExitStatusFollowsTheAcknowledge) {
    LoopbackDevice refusing([](Bytes const& request) {
        return std::vector<Bytes>{ack(request, 0x00, 0x00, 0x03), ack(request, 0x80, 0x06, 0x05)};
    });
    Outcome const refused =
        run({"force-ip", "--allow-broadcast-ack", "00:1a:2b:3c:4d:5e", "192.0.2.20",
             "255.255.255.0", "192.0.2.1", "--timeout-ms", "20000"},
            refusing.endpoint());
    Bytes const& request = refusing.finish();
    ASSERT_EQ(request.size(), 64U);
    EXPECT_EQ(Bytes(request.begin(), request.begin() + 6),
              (Bytes{0x42, 0x11, 0x00, 0x04, 0x00, 0x38}));
    EXPECT_EQ(Bytes(request.begin() + 10, request.begin() + 16),
              (Bytes{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    EXPECT_EQ(Bytes(request.begin() + 28, request.begin() + 32), (Bytes{192, 0, 2, 20}));
    EXPECT_EQ(refused.status, kExitRefused);
    EXPECT_NE(refused.out.find("status 0x8006"), std::string::npos) << refused.out;
    EXPECT_EQ(count(refused.err, "\n"), 1U) << refused.err;

    LoopbackDevice accepting(
        [](Bytes const& got) { return std::vector<Bytes>{ack(got, 0x00, 0x00, 0x05)}; });
    Outcome const accepted = run({"force-ip", "00:1a:2b:3c:4d:5e", "255.255.255.255", "0.0.0.0",
                                  "0.0.0.0", "--timeout-ms", "20000"},
                                 accepting.endpoint());
    EXPECT_EQ(accepted.status, kExitSuccess) << accepted.err;
    EXPECT_NE(accepted.out.find("Asking 00:1a:2b:3c:4d:5e to use dhcp"), std::string::npos);
    EXPECT_NE(accepted.out.find("Acknowledge from 127.0.0.1:" +
                                std::to_string(accepting.endpoint().port) + ", status 0x0000"),
              std::string::npos)
        << accepted.out;
    EXPECT_EQ(accepted.err, "");
}

TEST(ForceIpCommand, SilenceIsAFailureExceptForARestart) {
    LoopbackDevice silent([](Bytes const&) { return std::vector<Bytes>{}; });
    Outcome const staticRequest = run({"force-ip", "00:1a:2b:3c:4d:5e", "192.0.2.20",
                                       "255.255.255.0", "0.0.0.0", "--timeout-ms", "100"},
                                      silent.endpoint());
    EXPECT_EQ(staticRequest.status, kExitNoAnswer);
    EXPECT_EQ(staticRequest.err, "gvcp-probe: no acknowledge within 100 ms\n");

    LoopbackDevice restarting([](Bytes const&) { return std::vector<Bytes>{}; });
    Outcome const restart = run(
        {"force-ip", "00:1a:2b:3c:4d:5e", "0.0.0.0", "0.0.0.0", "0.0.0.0", "--timeout-ms", "100"},
        restarting.endpoint());
    EXPECT_EQ(restart.status, kExitSuccess);
    EXPECT_NE(restart.out.find("No acknowledge within 100 ms, as expected"), std::string::npos);
    EXPECT_EQ(restart.err, "");
}

// A stand-in for the benchmark's targets: answers every request, in turn, with what the case
// makes of it and its index, until the case has sent `expected` requests.
class LoopbackResponder {
  public:
    using Answer = std::function<std::vector<Bytes>(Bytes const& request, int index)>;

    LoopbackResponder(int expected, Answer answer) {
        auto opened = UdpSocket::open(Endpoint{kLoopback, 0});
        if (auto* error = std::get_if<SocketError>(&opened)) {
            ADD_FAILURE() << error->text;
            return;
        }
        socket_ = std::make_unique<UdpSocket>(std::move(std::get<UdpSocket>(opened)));
        port_ = socket_->localEndpoint().port;
        thread_ = std::thread([this, expected, answer = std::move(answer)] {
            Bytes buffer(2048);
            auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            for (int index = 0; index < expected; ++index) {
                auto received = socket_->receive(buffer, deadline);
                auto* datagram = std::get_if<Datagram>(&received);
                if (datagram == nullptr) {
                    return;
                }
                Bytes request(buffer.begin(),
                              buffer.begin() + static_cast<std::ptrdiff_t>(datagram->size));
                for (Bytes const& reply : answer(request, index)) {
                    if (auto error = socket_->sendTo(datagram->from, reply)) {
                        ADD_FAILURE() << error->text;
                    }
                }
                requests_.push_back(std::move(request));
            }
        });
    }

    ~LoopbackResponder() { finish(); }

    std::string port() const { return std::to_string(port_); }

    std::vector<Bytes> const& finish() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return requests_;
    }

  private:
    std::unique_ptr<UdpSocket> socket_;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::vector<Bytes> requests_;
};

Bytes paddedEcho(Bytes const& request) {
    Bytes reply(256, 0);
    std::copy(request.begin(), request.end(), reply.begin());
    return reply;
}

Outcome runBench(std::vector<char const*> args) {
    std::ostringstream out;
    std::ostringstream err;
    int const status = runProbe(args, out, err);
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

TEST(BenchDiscoveryCommand, WarmUpIsSentButNotTimedAndEverySampleIsWritten) {
    LoopbackResponder device(8, [](Bytes const& request, int) {
        return std::vector<Bytes>{discoveryReply(request, 0x5E)};
    });
    std::string const samples = ::testing::TempDir() + "bench_samples_warmup";
    std::remove(samples.c_str());
    std::string const port = device.port();
    Outcome const r = runBench({"bench-discovery", "--to", "127.0.0.1", "--port", port.c_str(),
                                "--count", "5", "--warmup", "3", "--samples", samples.c_str()});
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
    std::remove(samples.c_str());
}

TEST(BenchDiscoveryCommand, UnansweredRequestsAreLostAndStaleAnswersSkipped) {
    // Warm-up request 0; request 2 gets no answer, request 3 first gets request 2's late one.
    LoopbackResponder device(5, [](Bytes const& request, int index) {
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
    std::string const port = device.port();
    Outcome const r = runBench({"bench-discovery", "--to", "127.0.0.1", "--port", port.c_str(),
                                "--count", "4", "--warmup", "1", "--timeout-ms", "200"});
    device.finish();
    EXPECT_EQ(r.status, kExitSuccess) << r.err;
    EXPECT_EQ(r.out.rfind("answered=3 lost=1 ", 0), 0U) << r.out;
}

TEST(BenchDiscoveryCommand, EchoModeTakesOnlyPaddedEchoes) {
    LoopbackResponder echoing(
        3, [](Bytes const& request, int) { return std::vector<Bytes>{paddedEcho(request)}; });
    std::string const echoPort = echoing.port();
    Outcome const echoed = runBench({"bench-discovery", "--to", "127.0.0.1", "--port",
                                     echoPort.c_str(), "--echo", "--count", "3", "--warmup", "0"});
    echoing.finish();
    EXPECT_EQ(echoed.status, kExitSuccess) << echoed.err;
    EXPECT_EQ(echoed.out.rfind("answered=3 lost=0 ", 0), 0U) << echoed.out;

    // Each kind of target only satisfies its own mode.
    LoopbackResponder acknowledging(1, [](Bytes const& request, int) {
        return std::vector<Bytes>{discoveryReply(request, 0x5E)};
    });
    std::string const ackPort = acknowledging.port();
    Outcome const mismatched =
        runBench({"bench-discovery", "--to", "127.0.0.1", "--port", ackPort.c_str(), "--echo",
                  "--count", "1", "--warmup", "0", "--timeout-ms", "100"});
    acknowledging.finish();
    EXPECT_EQ(mismatched.status, kExitNoAnswer);
    EXPECT_EQ(mismatched.out.rfind("answered=0 lost=1 ", 0), 0U) << mismatched.out;
    EXPECT_EQ(mismatched.err, "gvcp-probe: no discovery was answered\n");

    LoopbackResponder echoingOnce(
        1, [](Bytes const& request, int) { return std::vector<Bytes>{paddedEcho(request)}; });
    std::string const oncePort = echoingOnce.port();
    Outcome const notAnAck =
        runBench({"bench-discovery", "--to", "127.0.0.1", "--port", oncePort.c_str(), "--count",
                  "1", "--warmup", "0", "--timeout-ms", "100"});
    echoingOnce.finish();
    EXPECT_EQ(notAnAck.status, kExitNoAnswer);
}

TEST(BenchDiscoveryCommand, PausesBetweenRequests) {
    LoopbackResponder device(
        4, [](Bytes const& request, int) { return std::vector<Bytes>{paddedEcho(request)}; });
    std::string const port = device.port();
    auto const start = std::chrono::steady_clock::now();
    Outcome const r = runBench({"bench-discovery", "--to", "127.0.0.1", "--port", port.c_str(),
                                "--echo", "--count", "3", "--warmup", "1", "--gap-us", "50000"});
    auto const elapsed = std::chrono::steady_clock::now() - start;
    device.finish();
    EXPECT_EQ(r.status, kExitSuccess) << r.err;
    // Three pauses between four requests; the warm-up request is paced like the others.
    EXPECT_GE(elapsed, std::chrono::milliseconds(150));
}

TEST(BenchDiscoveryCommand, AnUnwritableSamplesFileStopsBeforeSending) {
    LoopbackResponder device(
        1, [](Bytes const& request, int) { return std::vector<Bytes>{paddedEcho(request)}; });
    std::string const port = device.port();
    std::string const samples = ::testing::TempDir() + "no_such_dir/samples";
    Outcome const r = runBench({"bench-discovery", "--to", "127.0.0.1", "--port", port.c_str(),
                                "--echo", "--samples", samples.c_str()});
    EXPECT_EQ(r.status, kExitSocketError);
    EXPECT_EQ(r.err, "gvcp-probe: cannot write samples to " + samples + "\n");
    EXPECT_EQ(r.out, "");
    // Releases the responder: the first datagram it sees must be this one, not the probe's.
    auto opened = UdpSocket::open(Endpoint{kLoopback, 0});
    ASSERT_TRUE(std::holds_alternative<UdpSocket>(opened));
    EXPECT_FALSE(std::get<UdpSocket>(opened).sendTo(
        Endpoint{kLoopback, static_cast<std::uint16_t>(std::stoi(port))}, Bytes{0x42}));
    EXPECT_EQ(device.finish().front(), Bytes{0x42}) << "the probe sent a request";
}

TEST(ProbeEntry, UsageErrorsAndHelp) {
    std::ostringstream out;
    std::ostringstream err;
    std::vector<char const*> const bad{"force-ip", "00:1a:2b:3c:4d:5e", "1.2.3.4"};
    EXPECT_EQ(runProbe(bad, out, err), kExitUsage);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str().rfind("gvcp-probe: ", 0), 0U);
    EXPECT_EQ(count(err.str(), "\n"), 1U);

    std::ostringstream helpOut;
    std::ostringstream helpErr;
    std::vector<char const*> const help{"--help"};
    EXPECT_EQ(runProbe(help, helpOut, helpErr), kExitSuccess);
    EXPECT_NE(helpOut.str().find("4  force-ip acknowledged with a non-zero status"),
              std::string::npos);
    EXPECT_EQ(helpErr.str(), "");
}

}  // namespace
}  // namespace gvcp_probe
