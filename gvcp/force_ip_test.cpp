#include "gvcp/force_ip.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/process_state.h"
#include "gvcp/force_ip_payload.h"
#include "gvcp/test_datagram.h"
#include "netconfig/config_checks.h"
#include "netconfig/test_config.h"

namespace QEL_Finder {
namespace {

using testing::addressText;
using testing::datagramOf;
using Bytes = std::vector<std::uint8_t>;
using Events = std::vector<std::string>;

constexpr std::array<std::uint8_t, 6> kDeviceMac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

Bytes forceIpPayload(std::array<std::uint8_t, 6> mac, char const* address, char const* mask,
                     char const* gateway) {
    ForceIpPayload payload;
    payload.mac = mac;
    payload.address = parseIpv4(address).value_or(0);
    payload.netmask = parseIpv4(mask).value_or(0);
    payload.gateway = parseIpv4(gateway).value_or(0);
    auto const bytes = buildForceIpPayload(payload);
    return Bytes(bytes.begin(), bytes.end());
}

Bytes ipConfigCurrent(DiscoveryAck const& record) {
    auto const* bytes = reinterpret_cast<std::uint8_t const*>(&record.ipConfigCurrent);
    return Bytes(bytes, bytes + 4);
}

// Device eth0 at 192.168.1.10/24, MAC 00:1A:2B:3C:4D:5E, configured by dhcp at start.
class ForceIp : public ::testing::Test {
  protected:
    void SetUp() override {
        fillDiscoveryAck(record, kDeviceMac, true, "Tarn C1", "SN1");
        manager.setInterfaceAddress("192.168.1.10", "255.255.255.0");
        fake.log = &manager.events;
        fake.onApply = [this](InterfaceConfig const&) {
            if (newAddress != nullptr) {
                manager.setInterfaceAddress(newAddress, "255.255.255.0");
            }
        };
        Verbose = false;
    }
    void TearDown() override { Verbose = false; }

    // Sends a force-IP from 192.168.1.50; returns standard output and error.
    std::pair<std::string, std::string> deliver(Bytes const& payload, std::uint8_t flag = 0,
                                                std::uint16_t length = 56,
                                                unsigned short port = testing::kRequesterPort) {
        return device.deliver(datagramOf({kGvcpKey, flag, kForceIpCmd, length, {0x56, 0x78}},
                                         payload, "192.168.1.50", port));
    }

    void expectUntouched(DiscoveryAck const& before) {
        EXPECT_TRUE(manager.events.empty());
        EXPECT_TRUE(fake.applied.empty());
        EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0);
    }

    testing::TestDevice device;
    DiscoveryAck& record = device.record;
    testing::RecordingSocketManager& manager = device.sockets;
    testing::FakeInterfaceControl& fake = device.network;
    char const* newAddress = nullptr;  // the interface's address once the config is applied
};

TEST_F(ForceIp, RequestsNotForThisDeviceLeaveNoTrace) {
    Verbose = true;
    DiscoveryAck const before = record;
    Bytes const otherHigh = forceIpPayload({0x00, 0x1B, 0x2B, 0x3C, 0x4D, 0x5E}, "192.168.2.20",
                                           "255.255.255.0", "0.0.0.0");
    Bytes const otherLow = forceIpPayload({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F}, "192.168.2.20",
                                          "255.255.255.0", "0.0.0.0");
    Bytes const ours = forceIpPayload(kDeviceMac, "192.168.2.20", "255.255.255.0", "0.0.0.0");
    EXPECT_EQ(deliver(otherHigh), std::make_pair(std::string(), std::string()));
    EXPECT_EQ(deliver(otherLow), std::make_pair(std::string(), std::string()));
    EXPECT_EQ(deliver(Bytes(otherLow.begin(), otherLow.begin() + 8)),
              std::make_pair(std::string(), std::string()));
    expectUntouched(before);
}

TEST_F(ForceIp, TruncatedRequestsAreIgnoredWithOneLine) {
    DiscoveryAck const before = record;
    Bytes const ours = forceIpPayload(kDeviceMac, "192.168.2.20", "255.255.255.0", "0.0.0.0");
    // Too short to carry the MAC (cut after it: on the wire). A zero length field announces no
    // payload at all: a request for no device, left without a trace.
    EXPECT_EQ(deliver(Bytes(ours.begin(), ours.begin() + 5)).second,
              "Ignoring force IP from 192.168.1.50: 5 of 56 payload bytes\n");
    EXPECT_EQ(deliver(ours, 0, 0), std::make_pair(std::string(), std::string()));
    expectUntouched(before);
}

TEST_F(ForceIp, RefusedConfigurationIsReportedAndNothingIsRun) {
    Verbose = true;
    DiscoveryAck const before = record;
    Bytes const payload = forceIpPayload(kDeviceMac, "192.168.2.20", "255.0.255.0", "0.0.0.0");
    InterfaceConfig const refused = testing::configFrom("192.168.2.20", "255.0.255.0", "0.0.0.0");
    std::string const why = configRejection(refused);
    ASSERT_FALSE(why.empty());

    auto const [out, err] = deliver(payload, 0x10);
    EXPECT_EQ(out, "Force IP received from 192.168.1.50\n");
    EXPECT_EQ(err, why + "\n");
    expectUntouched(before);
}

// Every probe finds a holder: only what is probed is refused.
TEST_F(ForceIp, AStaticAddressAnotherHostAnswersForIsRefusedAndNothingIsRun) {
    DiscoveryAck const before = record;
    manager.probeFinds.holder = MacAddress{0x02, 0x00, 0x5E, 0x10, 0x00, 0x01};
    Bytes const held = forceIpPayload(kDeviceMac, "192.168.1.60", "255.255.255.0", "0.0.0.0");
    EXPECT_EQ(deliver(held).second,
              "Refusing force IP: address 192.168.1.60 is in use by MAC 02:00:5e:10:00:01\n");
    EXPECT_EQ(manager.probes, (Events{"eth0 192.168.1.60 from 00:1a:2b:3c:4d:5e"}));
    expectUntouched(before);
    // The interface's own address, dhcp and a restart are not probed.
    for (char const* address : {"192.168.1.10", "255.255.255.255", "0.0.0.0"}) {
        device.lastForceIp.reset();  // each one a request of its own
        Bytes const payload = forceIpPayload(kDeviceMac, address, "255.255.255.0", "0.0.0.0");
        EXPECT_EQ(deliver(payload).second, "") << address;
    }
    EXPECT_EQ(fake.applied.size(), 3U);
    // A probe that cannot run does not keep the camera from being re-addressed.
    device.lastForceIp.reset();
    manager.probeFinds = {std::nullopt, "sending the ARP probe: Network is down"};
    EXPECT_EQ(deliver(held).second,
              "Probing 192.168.1.60 by ARP failed, sending the ARP probe: "
              "Network is down; applying the force IP unprobed\n");
    EXPECT_EQ(fake.applied.size(), 4U);
}

TEST_F(ForceIp, StaticAddressIsPrintedAppliedAndAcknowledgedFromTheNewAddressAfterTheWait) {
    newAddress = "192.168.2.20";
    auto const [out, err] =
        deliver(forceIpPayload(kDeviceMac, "192.168.2.20", "255.255.255.0", "192.168.2.1"));
    std::string const config =
        "Address: 192.168.2.20\nNetmask: 255.255.255.0\nGateway: 192.168.2.1\n"
        "MAC:     00::1A::2B::3C::4D::5E";
    EXPECT_EQ(out, "New interface parameters are:\n" + config + "\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(fake.applied, (std::vector<std::string>{config + " on eth0"}));
    // What was judged is what is rewritten: the file is read once.
    EXPECT_EQ(fake.fileReads, 1);
    EXPECT_EQ(fake.appliedTexts, (std::vector<std::string>{fake.file.text}));
    EXPECT_EQ(manager.events, (Events{"apply", "socket 0", "bind 0 192.168.2.20:3956",
                                      "connect 0 255.255.255.255:3956", "recvmmsg 0", "wait eth0",
                                      "send 0", "close 0"}));
    ASSERT_EQ(manager.sent.size(), 1U);
    EXPECT_EQ(manager.sent[0].buffers,
              (std::vector<Bytes>{{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x56, 0x78}}));
    EXPECT_EQ(addressText(manager.sent[0].destination),
              "192.168.1.50:" + std::to_string(testing::kRequesterPort));
    EXPECT_EQ(ipConfigCurrent(record), (Bytes{0x00, 0x00, 0x00, 0x05}));
}

TEST_F(ForceIp, DhcpSetsItsBitAndTheBroadcastFlagWidensEvenWithinTheSubnet) {
    fillDiscoveryAck(record, kDeviceMac, false, "Tarn C1", "SN1");
    fake.outcome = ApplyOutcome::Dhcp;
    Verbose = true;
    auto const [out, err] =
        deliver(forceIpPayload(kDeviceMac, "255.255.255.255", "0.0.0.0", "0.0.0.0"), 0x10);
    EXPECT_EQ(out.rfind("Force IP received from 192.168.1.50\nNew interface parameters are:\n", 0),
              0U)
        << out;
    EXPECT_NE(out.find("Sending ACK\n"), std::string::npos);
    EXPECT_EQ(ipConfigCurrent(record), (Bytes{0x00, 0x00, 0x00, 0x06}));
    ASSERT_EQ(manager.sent.size(), 1U);
    EXPECT_EQ(addressText(manager.sent[0].destination),
              "255.255.255.255:" + std::to_string(testing::kRequesterPort));
}

TEST_F(ForceIp, NoAcknowledgeForARestartAFailedRewriteOrWithoutAReplySocket) {
    for (ApplyOutcome const outcome : {ApplyOutcome::RestartOnly, ApplyOutcome::NotApplied}) {
        device.lastForceIp.reset();  // each one a request of its own
        manager.events.clear();
        fake.outcome = outcome;
        deliver(forceIpPayload(kDeviceMac,
                               outcome == ApplyOutcome::RestartOnly ? "0.0.0.0" : "192.168.2.20",
                               "255.255.255.0", "0.0.0.0"));
        EXPECT_EQ(manager.events, (Events{"apply"}));
        EXPECT_EQ(ipConfigCurrent(record), (Bytes{0x00, 0x00, 0x00, 0x06}));
    }

    // The new configuration stays applied and recorded even when no reply socket can be had.
    device.lastForceIp.reset();
    manager.events.clear();
    fake.outcome = ApplyOutcome::Static;
    manager.bindErrno = EADDRNOTAVAIL;
    auto const err =
        deliver(forceIpPayload(kDeviceMac, "192.168.2.20", "255.255.255.0", "0.0.0.0")).second;
    EXPECT_NE(err.find("binding socket: "), std::string::npos) << err;
    EXPECT_TRUE(manager.sent.empty());
    EXPECT_EQ(std::count(manager.events.begin(), manager.events.end(), "wait eth0"), 0);
    EXPECT_EQ(ipConfigCurrent(record), (Bytes{0x00, 0x00, 0x00, 0x05}));
}

TEST_F(ForceIp, ACopyOfTheLastRequestIsOnlyAcknowledgedAgain) {
    newAddress = "192.168.2.20";
    Bytes const payload = forceIpPayload(kDeviceMac, "192.168.2.20", "255.255.255.0", "0.0.0.0");
    deliver(payload, 0x10);
    manager.events.clear();
    deliver(payload, 0x10);
    EXPECT_EQ(manager.events,
              (Events{"socket 1", "bind 1 192.168.2.20:3956", "connect 1 255.255.255.255:3956",
                      "recvmmsg 1", "send 1", "close 1"}));
    ASSERT_EQ(manager.sent.size(), 2U);
    EXPECT_EQ(manager.sent[1].buffers, manager.sent[0].buffers);
    EXPECT_EQ(addressText(manager.sent[1].destination), addressText(manager.sent[0].destination));

    // The address it was sent from is gone: the acknowledge leaves from the current one.
    manager.setInterfaceAddress("192.168.2.30", "255.255.255.0");
    EXPECT_EQ(deliver(payload, 0x10).first,
              "Repeated force IP acknowledged from 192.168.2.30: 192.168.2.20 is no longer the "
              "interface's address\n");
    EXPECT_EQ(fake.applied.size(), 1U);

    // The same req_id from another port, or from another PC at the same port, is another request.
    deliver(payload, 0x10, 56, testing::kRequesterPort + 1);
    EXPECT_EQ(fake.applied.size(), 2U);
    device.deliver(datagramOf({kGvcpKey, 0x10, kForceIpCmd, 56, {0x56, 0x78}}, payload,
                              "192.168.1.51", testing::kRequesterPort + 1));
    EXPECT_EQ(fake.applied.size(), 3U);

    // A restart is not acknowledged, and its copy is not run again either.
    fake.outcome = ApplyOutcome::RestartOnly;
    Bytes const restart = forceIpPayload(kDeviceMac, "0.0.0.0", "0.0.0.0", "0.0.0.0");
    deliver(restart);
    manager.events.clear();
    deliver(restart);
    EXPECT_EQ(fake.applied.size(), 4U);
    EXPECT_TRUE(manager.events.empty());
}

// Static: in force when the interface has the address and mask and the stanza says the same.
// Dhcp: only right after a dhcp request was carried out, and with a lease, not link-local alone.
TEST_F(ForceIp, AConfigurationAlreadyInForceIsAcknowledgedWithoutARestart) {
    struct Row {
        char const* address;
        char const* mask;
        char const* interfaceAddress;
        bool stanzaSays;
        bool inForce;
    };
    Row const rows[] = {
        {"192.168.1.10", "255.255.255.0", "192.168.1.10", true, true},
        {"192.168.1.10", "255.255.0.0", "192.168.1.10", true, false},
        {"192.168.1.10", "255.255.255.0", "192.168.1.10", false, false},
        {"255.255.255.255", "0.0.0.0", "192.168.1.10", true, false},  // no dhcp carried out yet
        {"255.255.255.255", "0.0.0.0", "192.168.1.10", true, true},   // the first just was
        {"255.255.255.255", "0.0.0.0", "169.254.7.8", true, false},
        {"0.0.0.0", "0.0.0.0", "192.168.1.10", true, false},
    };
    unsigned short port = testing::kRequesterPort;
    for (Row const& row : rows) {
        SCOPED_TRACE(std::string(row.address) + " " + row.mask + " at " + row.interfaceAddress);
        manager.setInterfaceAddress(row.interfaceAddress, "255.255.255.0");
        bool const dhcp = std::string(row.address) == "255.255.255.255";
        fake.file.text = !row.stanzaSays ? "iface eth0 inet manual\n"
                         : dhcp          ? "iface eth0 inet dhcp\n"
                                : std::string("iface eth0 inet static\n  address ") + row.address +
                                      "\n  netmask " + row.mask + "\n";
        fake.outcome = dhcp ? ApplyOutcome::Dhcp : ApplyOutcome::Static;
        std::size_t const applied = fake.applied.size();
        std::size_t const sent = manager.sent.size();
        // Each from a port of its own: a copy with a new req_id, not a repeat.
        std::string const out =
            deliver(forceIpPayload(kDeviceMac, row.address, row.mask, "0.0.0.0"), 0x10, 56, ++port)
                .first;
        EXPECT_EQ(fake.applied.size() - applied, row.inForce ? 0U : 1U);
        EXPECT_EQ(out ==
                      "Force IP: eth0 has this configuration already, acknowledged without a "
                      "restart\n",
                  row.inForce)
            << out;
        if (row.inForce) {
            ASSERT_EQ(manager.sent.size(), sent + 1);
            EXPECT_EQ(addressText(manager.sent.back().destination),
                      "255.255.255.255:" + std::to_string(port));
        }
    }
}

}  // namespace
}  // namespace QEL_Finder
