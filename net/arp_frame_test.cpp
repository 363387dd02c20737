#include "net/arp_frame.h"

#include <vector>

#include <gtest/gtest.h>

#include "base/ipv4_address.h"

namespace QEL_Finder {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr MacAddress kOwn{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
constexpr MacAddress kOther{0x02, 0x00, 0x5E, 0x10, 0x00, 0x01};
std::uint32_t const kTarget = parseIpv4("192.0.2.60").value_or(0);

// The probe for 192.0.2.60 as the device sends it.
Bytes const kProbe{
    0x00, 0x01, 0x08, 0x00, 0x06, 0x04,  // Ethernet, IPv4, lengths 6 and 4
    0x00, 0x01,                          // request
    0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E,  // sender MAC: the device's
    0x00, 0x00, 0x00, 0x00,              // sender address 0.0.0.0
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // target MAC unknown
    192,  0,    2,    60,                // target address
};

// The holder's answer to the probe for 192.0.2.60, padded to the Ethernet minimum.
Bytes const kReply{
    0x00, 0x01, 0x08, 0x00, 0x06, 0x04,  // Ethernet, IPv4, lengths 6 and 4
    0x00, 0x02,                          // reply
    0x02, 0x00, 0x5E, 0x10, 0x00, 0x01,  // sender MAC: the holder's
    192,  0,    2,    60,                // sender address: the probed one
    0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E,  // target MAC: the device's
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // target address 0.0.0.0, then padding
};

TEST(ArpFrame, ProbeAndReplyMatchTheirBytes) {
    using enum ArpOperation;
    auto const encoded = encodeArpProbe(kOwn, kTarget);
    EXPECT_EQ(Bytes(encoded.begin(), encoded.end()), kProbe);
    EXPECT_EQ(decodeArp(kProbe), (ArpMessage{Request, kOwn, 0, {}, kTarget}));
    EXPECT_EQ(decodeArp(kReply), (ArpMessage{Reply, kOther, kTarget, kOwn, 0}));
    // Cut short, a RARP operation, IPv6, IEEE 802 hardware: not ARP a probe can hear.
    EXPECT_EQ(decodeArp(Bytes(kReply.begin(), kReply.begin() + 27)), std::nullopt);
    for (auto const& [offset, value] :
         {std::pair<std::size_t, std::uint8_t>{7, 0x03}, {2, 0x86}, {1, 0x06}}) {
        Bytes changed = kReply;
        changed[offset] = value;
        EXPECT_EQ(decodeArp(changed), std::nullopt) << offset;
    }
}

TEST(ArpFrame, OnlyAnotherHostUsingOrProbingTheAddressIsAConflict) {
    auto const seen = [](ArpOperation op, MacAddress sender, char const* from, char const* to) {
        return arpConflict({op, sender, *parseIpv4(from), {}, *parseIpv4(to)}, kOwn, kTarget);
    };
    using enum ArpOperation;
    EXPECT_EQ(seen(Reply, kOther, "192.0.2.60", "0.0.0.0"), kOther);        // the holder's reply
    EXPECT_EQ(seen(Request, kOther, "192.0.2.60", "192.0.2.1"), kOther);    // the holder asking
    EXPECT_EQ(seen(Request, kOther, "0.0.0.0", "192.0.2.60"), kOther);      // another host's probe
    EXPECT_EQ(seen(Request, kOwn, "0.0.0.0", "192.0.2.60"), std::nullopt);  // our probe echoed
    EXPECT_EQ(seen(Reply, kOwn, "192.0.2.60", "0.0.0.0"), std::nullopt);    // from our MAC
    EXPECT_EQ(seen(Request, kOther, "192.0.2.1", "192.0.2.60"), std::nullopt);  // someone asks
    EXPECT_EQ(seen(Reply, kOther, "192.0.2.61", "192.0.2.1"), std::nullopt);    // unrelated
}

}  // namespace
}  // namespace QEL_Finder
