#include "tools/gvcp-probe/probe_wire.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace gvcp_probe {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& bytes, std::size_t offset, std::initializer_list<std::uint8_t> values) {
    std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void putText(Bytes& bytes, std::size_t offset, std::string const& text) {
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

// A discovery acknowledge as a device sends it, for req_id 12 34. Offsets below are the
// datagram's, that is 8 more than the payload's.
Bytes discoveryReply() {
    Bytes reply(256, 0);
    put(reply, 0, {0x00, 0x00, 0x00, 0x03, 0x00, 0xF8, 0x12, 0x34});  // success, ack, 248, id
    put(reply, 8, {0x00, 0x01, 0x00, 0x02, 0xB0, 0x00, 0x00, 0x01});  // version 1.2, mode
    put(reply, 18, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});             // MAC
    put(reply, 24, {0x00, 0x00, 0x00, 0x07});                         // IP config options
    put(reply, 28, {0x00, 0x00, 0x00, 0x05});                         // current: persistent
    put(reply, 44, {192, 0, 2, 10});                                  // current address
    put(reply, 60, {255, 255, 255, 0});                               // mask
    put(reply, 76, {192, 0, 2, 1});                                   // gateway
    putText(reply, 80, "TELVO Technologies");
    putText(reply, 112, "Tarn C1");
    putText(reply, 224, "SN-000042");
    return reply;
}

constexpr ReqId kId{0x12, 0x34};

template <std::size_t N>
Bytes bytesOf(std::array<std::uint8_t, N> const& array) {
    return Bytes(array.begin(), array.end());
}

TEST(ProbeRequests, DiscoveryAsksForAnAcknowledgeAndOptionallyABroadcastOne) {
    EXPECT_EQ(bytesOf(buildDiscoveryRequest(kId, false)),
              (Bytes{0x42, 0x01, 0x00, 0x02, 0x00, 0x00, 0x12, 0x34}));
    EXPECT_EQ(bytesOf(buildDiscoveryRequest(ReqId{0xAB, 0xCD}, true)),
              (Bytes{0x42, 0x11, 0x00, 0x02, 0x00, 0x00, 0xAB, 0xCD}));
}

TEST(ProbeRequests, ForceIpCarriesMacAndAddressesAtTheirOffsets) {
    QEL_Finder::ForceIpPayload payload;
    payload.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    payload.address = *parseIpv4("192.0.2.20");
    payload.netmask = *parseIpv4("255.255.255.0");
    payload.gateway = *parseIpv4("192.0.2.1");

    Bytes expected(64, 0);
    put(expected, 0, {0x42, 0x11, 0x00, 0x04, 0x00, 0x38, 0x12, 0x34});  // length 56
    put(expected, 10, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    put(expected, 28, {192, 0, 2, 20});
    put(expected, 44, {255, 255, 255, 0});
    put(expected, 60, {192, 0, 2, 1});
    EXPECT_EQ(bytesOf(buildForceIpRequest(kId, true, payload)), expected);
    EXPECT_EQ(buildForceIpRequest(kId, false, payload)[1], 0x01);
}

TEST(DiscoveryReplyDecoding, ReadsEveryFieldOfAWellFormedReply) {
    auto decoded = decodeDiscoveryReply(discoveryReply(), kId);
    ASSERT_TRUE(std::holds_alternative<DeviceDescription>(decoded))
        << std::get<Rejection>(decoded).reason;
    DeviceDescription const& device = std::get<DeviceDescription>(decoded);
    EXPECT_EQ(formatMac(device.mac), "00:1a:2b:3c:4d:5e");
    EXPECT_EQ(formatIpv4(device.address), "192.0.2.10");
    EXPECT_EQ(formatIpv4(device.mask), "255.255.255.0");
    EXPECT_EQ(formatIpv4(device.gateway), "192.0.2.1");
    EXPECT_EQ(device.ipConfigCurrent, 5U);
    EXPECT_EQ(ipConfigModeName(device.ipConfigCurrent), "static");
    EXPECT_EQ(device.manufacturer, "TELVO Technologies");
    EXPECT_EQ(device.model, "Tarn C1");
    EXPECT_EQ(device.serial, "SN-000042");
}

TEST(DiscoveryReplyDecoding, TextFieldsThatFillTheirWholeFieldStayWithinIt) {
    Bytes reply = discoveryReply();
    putText(reply, 112, std::string(32, 'M'));  // model without a terminating zero
    putText(reply, 224, std::string(16, 'S'));  // serial likewise, followed by the user name
    putText(reply, 240, "user");
    auto decoded = decodeDiscoveryReply(reply, kId);
    ASSERT_TRUE(std::holds_alternative<DeviceDescription>(decoded));
    EXPECT_EQ(std::get<DeviceDescription>(decoded).model, std::string(32, 'M'));
    EXPECT_EQ(std::get<DeviceDescription>(decoded).serial, std::string(16, 'S'));
}

TEST(DiscoveryReplyDecoding, IpConfigModes) {
    Bytes reply = discoveryReply();
    put(reply, 28, {0x00, 0x00, 0x00, 0x06});
    auto decoded = decodeDiscoveryReply(reply, kId);
    ASSERT_TRUE(std::holds_alternative<DeviceDescription>(decoded));
    EXPECT_EQ(ipConfigModeName(std::get<DeviceDescription>(decoded).ipConfigCurrent), "dhcp");
    EXPECT_EQ(ipConfigModeName(0x4), "link-local");
    EXPECT_EQ(ipConfigModeName(0x0), "none");
}

TEST(DiscoveryReplyDecoding, RejectsRepliesThatAreNotOurAcknowledge) {
    struct Case {
        char const* what;
        Bytes reply;
        char const* reason;
    };
    std::vector<Case> cases;
    {
        Bytes r = discoveryReply();
        put(r, 2, {0x00, 0x05});
        cases.push_back({"force-ip answer code", r, "wrong answer code 0x0005"});
    }
    {
        Bytes r = discoveryReply();
        put(r, 6, {0x12, 0x35});
        cases.push_back({"another request's id", r, "wrong ack_id 0x1235 (expected 0x1234)"});
    }
    {
        Bytes r = discoveryReply();
        put(r, 0, {0x80, 0x06});
        cases.push_back({"error status", r, "status 0x8006"});
    }
    {
        Bytes r = discoveryReply();
        r.pop_back();
        cases.push_back({"one byte short", r, "wrong length 255"});
    }
    {
        Bytes r = discoveryReply();
        r.push_back(0);
        cases.push_back({"one byte long", r, "wrong length 257"});
    }
    {
        Bytes r = discoveryReply();
        put(r, 4, {0x00, 0x00});
        cases.push_back({"length field 0", r, "length field 0"});
    }
    cases.push_back(
        {"header only", Bytes{0x00, 0x00, 0x00, 0x03, 0x00, 0xF8, 0x12, 0x34}, "wrong length 8"});
    cases.push_back({"shorter than a header", Bytes{0x00, 0x00, 0x00, 0x03, 0x00, 0xF8, 0x12},
                     "wrong length 7"});
    cases.push_back({"empty", Bytes{}, "wrong length 0"});

    for (Case const& c : cases) {
        auto decoded = decodeDiscoveryReply(c.reply, kId);
        ASSERT_TRUE(std::holds_alternative<Rejection>(decoded)) << c.what;
        EXPECT_NE(std::get<Rejection>(decoded).reason.find(c.reason), std::string::npos)
            << c.what << ": " << std::get<Rejection>(decoded).reason;
    }
}

TEST(PaddedEcho, OnlyAFullSizeDatagramThatStartsWithTheRequestCounts) {
    Bytes const request = bytesOf(buildDiscoveryRequest(kId, false));
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
    EXPECT_FALSE(isPaddedEcho(discoveryReply(), request));
}

TEST(ForceIpAckDecoding, ReportsTheStatusOfOurAcknowledgeAndRejectsOthers) {
    auto ok = decodeForceIpAck(Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x12, 0x34}, kId);
    ASSERT_TRUE(std::holds_alternative<ForceIpAck>(ok));
    EXPECT_EQ(std::get<ForceIpAck>(ok).status, 0x0000);

    auto refused = decodeForceIpAck(Bytes{0x80, 0x06, 0x00, 0x05, 0x00, 0x00, 0x12, 0x34}, kId);
    ASSERT_TRUE(std::holds_alternative<ForceIpAck>(refused));
    EXPECT_EQ(std::get<ForceIpAck>(refused).status, 0x8006);

    for (Bytes const& other : {
             Bytes{0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x12, 0x34},        // discovery answer
             Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x43, 0x21},        // another id
             Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x12, 0x34, 0x00},  // trailing byte
             Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x04, 0x12, 0x34},        // length field 4
             Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x12},              // short
         }) {
        EXPECT_TRUE(std::holds_alternative<Rejection>(decodeForceIpAck(other, kId)))
            << other.size() << " bytes";
    }
}

}  // namespace
}  // namespace gvcp_probe
