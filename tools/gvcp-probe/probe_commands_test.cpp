#include "tools/gvcp-probe/probe_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <vector>

#include "base/hex_text.h"

#include "gvcp/test_loopback_device.h"
#include "net/private_network.h"

namespace gvcp_probe {
namespace {

using QEL_Finder::Endpoint;
using QEL_Finder::testing::Bytes;
using QEL_Finder::testing::discoveryReply;
using QEL_Finder::testing::LoopbackDevice;

Bytes ack(Bytes const& request, std::uint8_t statusHigh, std::uint8_t statusLow,
          std::uint8_t answer) {
    return Bytes{statusHigh, statusLow, 0x00, answer, 0x00, 0x00, request.at(6), request.at(7)};
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Runs the command, sent to `to` when given (the stand-in device's port is not 3956).
Outcome run(std::vector<char const*> args, std::optional<Endpoint> to,
            Display display = Display::Lines) {
    auto parsed = parseCommandLine(args);
    EXPECT_TRUE(std::holds_alternative<ProbeOptions>(parsed));
    ProbeOptions options = std::get<ProbeOptions>(parsed);
    if (to) {
        options.to = to;
    }
    std::ostringstream out;
    std::ostringstream err;
    int status = -1;
    if (options.command == Command::Discover) {
        status = runDiscover(options, out, err);
    } else {
        status = runForceIp(options, out, err, display);
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
    LoopbackDevice device(1, [](Bytes const& request, int) {
        Bytes otherId = discoveryReply(request, 0x01);
        otherId[7] = static_cast<std::uint8_t>(otherId[7] + 1);
        Bytes cut = discoveryReply(request, 0x02);
        cut.resize(100);
        return std::vector<Bytes>{otherId, cut, discoveryReply(request, 0x5E),
                                  discoveryReply(request, 0x5E), discoveryReply(request, 0x5F)};
    });
    Outcome const r =
        run({"discover", "--json", "--verbose", "--timeout-ms", "2000"}, device.endpoint());
    ASSERT_EQ(device.finish().size(), 1U);
    Bytes const& request = device.finish()[0];

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
                         std::to_string(device.endpoint().port) + ", \"interface\": \"lo\"}"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("wrong ack_id"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("wrong length 100"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("second reply for 00:1a:2b:3c:4d:5e"), std::string::npos) << r.err;
}

TEST(DiscoverCommand, NoDeviceIsExitStatusOne) {
    LoopbackDevice silent(1, [](Bytes const&, int) { return std::vector<Bytes>{}; });
    Outcome const r = run({"discover", "--timeout-ms", "100"}, silent.endpoint());
    EXPECT_EQ(r.status, kExitNoAnswer);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "gvcp-probe: no device answered within 100 ms\n"
              "gvcp-probe: hint: a firewall on this PC may drop the replies, or the camera is in "
              "another subnet (try --allow-broadcast-ack)\n");
}

// Without --to the request leaves by every interface that is up, from the interface's own
// address (tveth1 has only an alias's), and --interface keeps it to the named ones.
TEST(DiscoverCommand, AsksOnEveryInterfaceOrTheNamedOnes) {
    QEL_Finder::testing::runTestInPrivateNetwork([] {
        // The sources of the requests a device on port 3956 got, sorted.
        auto const senders = [](int expected, std::vector<char const*> const& args) {
            LoopbackDevice device(
                expected,
                [](Bytes const& request, int) {
                    return std::vector<Bytes>{discoveryReply(request, 0x5E)};
                },
                Endpoint{0, QEL_Finder::kGvcpPort});
            EXPECT_EQ(run(args, std::nullopt).status, kExitSuccess);
            device.finish();
            std::vector<std::string> sources = device.senders();
            std::sort(sources.begin(), sources.end());
            return sources;
        };
        EXPECT_EQ(senders(2, {"discover", "--timeout-ms", "300"}),
                  (std::vector<std::string>{"192.0.2.1", "198.51.100.7"}));
        EXPECT_EQ(senders(1, {"discover", "--interface", "tveth1", "--timeout-ms", "300"}),
                  (std::vector<std::string>{"198.51.100.7"}));
    });
}

FoundDevice found(std::uint8_t lastMacOctet, char const* serial, char const* interface) {
    FoundDevice f;
    f.device.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, lastMacOctet};
    f.device.serial = serial;
    f.interface = interface;
    return f;
}

// --serial or --mac must name one device; one that answered on two interfaces is one.
TEST(ForceIpCommand, ChoosesTheOneDeviceNamed) {
    std::vector<FoundDevice> const devices{found(0x5E, "SN1", "eth0"), found(0x5E, "SN1", "eth1"),
                                           found(0x5F, "SN1", "eth1"), found(0x60, "SN2", "eth1")};
    struct Case {
        std::vector<FoundDevice> found;
        std::vector<char const*> args;
        int status;          // 0: chosen
        std::string result;  // the chosen MAC and interface, or the message
    };
    std::vector<Case> const cases{
        {devices, {"--mac", "00:1a:2b:3c:4d:5e"}, 0, "00:1a:2b:3c:4d:5e eth0"},
        {devices, {"--serial", "SN2"}, 0, "00:1a:2b:3c:4d:60 eth1"},
        {devices,
         {"--serial", "SN1"},
         kExitSeveral,
         "several devices answered with serial 'SN1': 00:1a:2b:3c:4d:5e on eth0, 00:1a:2b:3c:4d:5e "
         "on eth1, 00:1a:2b:3c:4d:5f on eth1; choose one with --mac"},
        {devices,
         {"--serial", "sn2"},
         kExitNoAnswer,
         "no device with serial 'sn2' answered within 1000 ms (3 others did: see 'gvcp-probe "
         "discover')"},
        {{},
         {"--serial", "SN1"},
         kExitNoAnswer,
         "no device with serial 'SN1' answered within 1000 ms"},
    };
    for (Case const& c : cases) {
        std::vector<char const*> args{"force-ip", "dhcp"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto const options = parseCommandLine(args);
        ASSERT_TRUE(std::holds_alternative<ProbeOptions>(options)) << c.args.back();
        auto const chosen = chooseDevice(c.found, std::get<ProbeOptions>(options));
        if (auto const* device = std::get_if<FoundDevice>(&chosen)) {
            EXPECT_EQ(c.status, 0) << c.args.back();
            EXPECT_EQ(formatMac(device->device.mac) + ' ' + device->interface, c.result);
        } else {
            EXPECT_EQ(std::get<Refusal>(chosen).status, c.status) << c.args.back();
            EXPECT_EQ(std::get<Refusal>(chosen).message, c.result);
        }
    }
}

TEST(ForceIpCommand, ExitStatusFollowsTheAcknowledge) {
    LoopbackDevice refusing(1, [](Bytes const& request, int) {
        return std::vector<Bytes>{ack(request, 0x00, 0x00, 0x03), ack(request, 0x80, 0x06, 0x05)};
    });
    Outcome const refused =
        run({"force-ip", "--allow-broadcast-ack", "00:1a:2b:3c:4d:5e", "192.0.2.20",
             "255.255.255.0", "192.0.2.1", "--timeout-ms", "20000"},
            refusing.endpoint());
    ASSERT_EQ(refusing.finish().size(), 1U);
    Bytes const& request = refusing.finish()[0];
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
        1, [](Bytes const& got, int) { return std::vector<Bytes>{ack(got, 0x00, 0x00, 0x05)}; });
    Outcome const accepted = run({"force-ip", "00:1a:2b:3c:4d:5e", "255.255.255.255", "0.0.0.0",
                                  "0.0.0.0", "--timeout-ms", "20000"},
                                 accepting.endpoint());
    EXPECT_EQ(accepted.status, kExitSuccess) << accepted.err;
    EXPECT_NE(accepted.out.find("Asking 00:1a:2b:3c:4d:5e to use dhcp"), std::string::npos);
    EXPECT_NE(
        accepted.out.find("Acknowledge from 127.0.0.1:" +
                          std::to_string(accepting.endpoint().port) + " on lo, status 0x0000"),
        std::string::npos)
        << accepted.out;
    EXPECT_EQ(accepted.err, "");
}

TEST(ForceIpCommand, SilenceIsAFailureExceptForARestart) {
    LoopbackDevice silent(1, [](Bytes const&, int) { return std::vector<Bytes>{}; });
    Outcome const staticRequest = run({"force-ip", "00:1a:2b:3c:4d:5e", "192.0.2.20",
                                       "255.255.255.0", "0.0.0.0", "--timeout-ms", "100"},
                                      silent.endpoint());
    EXPECT_EQ(staticRequest.status, kExitNoAnswer);
    EXPECT_EQ(staticRequest.out.substr(staticRequest.out.find('\n') + 1),
              "Waiting up to 100 ms for the acknowledge\n");
    EXPECT_EQ(staticRequest.err,
              "gvcp-probe: no acknowledge within 100 ms; the device may have moved all the same: "
              "run 'gvcp-probe discover' to find it\n");

    // On a terminal the wait counts its seconds on one line.
    LoopbackDevice slow(1, [](Bytes const&, int) { return std::vector<Bytes>{}; });
    Outcome const counted = run({"force-ip", "00:1a:2b:3c:4d:5e", "255.255.255.255", "0.0.0.0",
                                 "0.0.0.0", "--timeout-ms", "2500"},
                                slow.endpoint(), Display::Terminal);
    std::string const waiting = "Waiting up to 2500 ms for the acknowledge";
    EXPECT_EQ(counted.out.substr(counted.out.find('\n') + 1),
              waiting + "\r" + waiting + ": 1 s\r" + waiting + ": 2 s\n");

    LoopbackDevice restarting(1, [](Bytes const&, int) { return std::vector<Bytes>{}; });
    Outcome const restart = run(
        {"force-ip", "00:1a:2b:3c:4d:5e", "0.0.0.0", "0.0.0.0", "0.0.0.0", "--timeout-ms", "100"},
        restarting.endpoint());
    EXPECT_EQ(restart.status, kExitSuccess);
    EXPECT_NE(restart.out.find("No acknowledge within 100 ms, as expected"), std::string::npos);
    EXPECT_EQ(restart.err, "");
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
