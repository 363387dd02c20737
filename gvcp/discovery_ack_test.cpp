#include "gvcp/discovery_ack.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ipv4_address.h"

namespace QEL_Finder {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint8_t, 6> kMac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

// A record filled over leftover bytes, so fields the fill forgets to clear show up.
Bytes filledImage(bool dhcp, std::string const& model, std::string const& serial) {
    DiscoveryAck record;
    std::memset(&record, 0xAA, sizeof record);
    fillDiscoveryAck(record, kMac, dhcp, model, serial);
    auto const* bytes = reinterpret_cast<std::uint8_t const*>(&record);
    return Bytes(bytes, bytes + sizeof record);
}

Bytes range(Bytes const& image, std::size_t first, std::size_t end) {
    return Bytes(image.begin() + static_cast<long>(first), image.begin() + static_cast<long>(end));
}

Bytes textField(std::string const& text, std::size_t size) {
    Bytes field(size, 0);
    std::copy(text.begin(), text.end(), field.begin());
    return field;
}

void put(Bytes& bytes, std::size_t offset, Bytes const& values) {
    std::copy(values.begin(), values.end(), bytes.begin() + static_cast<long>(offset));
}

// A discovery acknowledge as a device sends it, for req_id 12 34. Offsets below are the
// datagram's, that is 8 more than the record's.
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
    put(reply, 80, textField("TELVO Technologies", 18));
    put(reply, 112, textField("Tarn C1", 7));
    put(reply, 224, textField("SN-000042", 9));
    return reply;
}

constexpr ReqId kId{0x12, 0x34};

TEST(FillDiscoveryAck, FieldOffsetsAndZeroPadding) {
    Bytes const image = filledImage(false, "Tarn C1", "SN-0042");
    // version 1.2, device mode B0000001, reserved, MAC 00 1A | 2B 3C 4D 5E, options 7, current 5
    EXPECT_EQ(range(image, 0, 24),
              (Bytes{0x00, 0x01, 0x00, 0x02, 0xB0, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x1A,
                     0x2B, 0x3C, 0x4D, 0x5E, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x05}));
    // Address, mask and gateway start at zero; the reply socket fills them in.
    EXPECT_EQ(range(image, 24, 72), Bytes(48, 0));
    EXPECT_EQ(range(image, 72, 104), textField("TELVO Technologies", 32));
    EXPECT_EQ(range(image, 104, 136), textField("Tarn C1", 32));
    EXPECT_EQ(range(image, 136, 216), Bytes(80, 0));
    EXPECT_EQ(range(image, 216, 232), textField("SN-0042", 16));
    EXPECT_EQ(range(image, 232, 248), Bytes(16, 0));
}

TEST(FillDiscoveryAck, DhcpSelectsTheDhcpBitBesideLinkLocal) {
    EXPECT_EQ(range(filledImage(true, "m", "s"), 20, 24), (Bytes{0x00, 0x00, 0x00, 0x06}));
}

TEST(FillDiscoveryAck, LongTextsAreCutSoTheFieldEndsInZero) {
    std::string const model31(31, 'M');
    EXPECT_EQ(range(filledImage(false, model31, ""), 104, 136), textField(model31, 32));
    Bytes const cut = filledImage(false, model31 + "X", std::string(20, 'S'));
    EXPECT_EQ(range(cut, 104, 136), textField(model31, 32));
    EXPECT_EQ(range(cut, 216, 232), textField(std::string(15, 'S'), 16));
    EXPECT_EQ(range(cut, 232, 248), Bytes(16, 0)) << "serial must not spill into the next field";
}

TEST(DiscoveryAckDecoding, ReadsEveryFieldOfAWellFormedReply) {
    auto decoded = decodeDiscoveryAck(discoveryReply(), kId);
    ASSERT_TRUE(std::holds_alternative<DeviceDescription>(decoded))
        << std::get<Rejection>(decoded).reason;
    DeviceDescription const& device = std::get<DeviceDescription>(decoded);
    EXPECT_EQ(device.mac, kMac);
    EXPECT_EQ(formatIpv4(device.address), "192.0.2.10");
    EXPECT_EQ(formatIpv4(device.mask), "255.255.255.0");
    EXPECT_EQ(formatIpv4(device.gateway), "192.0.2.1");
    EXPECT_EQ(device.ipConfigCurrent, 5U);
    EXPECT_EQ(ipConfigModeName(device.ipConfigCurrent), "static");
    EXPECT_EQ(device.manufacturer, "TELVO Technologies");
    EXPECT_EQ(device.model, "Tarn C1");
    EXPECT_EQ(device.serial, "SN-000042");
}

TEST(DiscoveryAckDecoding, TextFieldsThatFillTheirWholeFieldStayWithinIt) {
    Bytes reply = discoveryReply();
    put(reply, 112, Bytes(32, 'M'));  // model without a terminating zero
    put(reply, 224, Bytes(16, 'S'));  // serial likewise, followed by the user name
    put(reply, 240, textField("user", 4));
    auto decoded = decodeDiscoveryAck(reply, kId);
    ASSERT_TRUE(std::holds_alternative<DeviceDescription>(decoded));
    EXPECT_EQ(std::get<DeviceDescription>(decoded).model, std::string(32, 'M'));
    EXPECT_EQ(std::get<DeviceDescription>(decoded).serial, std::string(16, 'S'));
}

TEST(DiscoveryAckDecoding, IpConfigModes) {
    Bytes reply = discoveryReply();
    put(reply, 28, {0x00, 0x00, 0x00, 0x06});
    auto decoded = decodeDiscoveryAck(reply, kId);
    ASSERT_TRUE(std::holds_alternative<DeviceDescription>(decoded));
    EXPECT_EQ(ipConfigModeName(std::get<DeviceDescription>(decoded).ipConfigCurrent), "dhcp");
    EXPECT_EQ(ipConfigModeName(0x4), "link-local");
    EXPECT_EQ(ipConfigModeName(0x0), "none");
}

TEST(DiscoveryAckDecoding, RejectsRepliesThatAreNotOurAcknowledge) {
    struct Case {
        char const* what;
        Bytes reply;
        char const* reason;
    };
    std::vector<Case> cases;
    auto const changed = [](std::size_t offset, Bytes const& values) {
        Bytes r = discoveryReply();
        put(r, offset, values);
        return r;
    };
    cases.push_back({"force-ip answer code", changed(2, {0x00, 0x05}), "wrong answer code 0x0005"});
    cases.push_back({"another request's id", changed(6, {0x12, 0x35}),
                     "wrong ack_id 0x1235 (expected 0x1234)"});
    cases.push_back({"error status", changed(0, {0x80, 0x06}), "status 0x8006"});
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
    cases.push_back({"length field 0", changed(4, {0x00, 0x00}), "length field 0"});
    cases.push_back(
        {"header only", Bytes{0x00, 0x00, 0x00, 0x03, 0x00, 0xF8, 0x12, 0x34}, "wrong length 8"});
    cases.push_back({"shorter than a header", Bytes{0x00, 0x00, 0x00, 0x03, 0x00, 0xF8, 0x12},
                     "wrong length 7"});
    cases.push_back({"empty", Bytes{}, "wrong length 0"});

    for (Case const& c : cases) {
        auto decoded = decodeDiscoveryAck(c.reply, kId);
        ASSERT_TRUE(std::holds_alternative<Rejection>(decoded)) << c.what;
        EXPECT_NE(std::get<Rejection>(decoded).reason.find(c.reason), std::string::npos)
            << c.what << ": " << std::get<Rejection>(decoded).reason;
    }
}

}  // namespace
}  // namespace QEL_Finder
