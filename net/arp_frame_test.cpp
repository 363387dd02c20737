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

// The holder's answer, padded to the Ethernet minimum as a switch delivers it.
Bytes const kReply{
    0x00, 0x01, 0x08, 0x00, 0x06, 0x04,  // Ethernet, IPv4, lengths 6 and 4
    0x00, 0x02,                          // reply
    0x02, 0x00, 0x5E, 0x10, 0x00, 0x01,  // sender MAC: the holder's
    192,  0,    2,    60,                // sender address: the probed one
    0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E,  // target MAC: the device's
    0x00, 0x00, 0x00, 0x00,              // target address 0.0.0.0
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // padding
};

ArpMessage message(ArpOperation operation, MacAddress sender, char const* senderAddress,
                   char const* targetAddress) {
    return {operation,
            sender,
            parseIpv4(senderAddress).value_or(0),
            {},
            parseIpv4(targetAddress).value_or(0)};
}

TEST(ArpFrame, ProbeIsARequestFromNoAddress) {
    auto const probe = encodeArpProbe(kOwn, kTarget);
    EXPECT_EQ(Bytes(probe.begin(), probe.end()), kProbe);
}

TEST(ArpFrame, ReplyIsReadFieldByField) {
    auto const read = decodeArp(kReply);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->operation, ArpOperation::Reply);
    EXPECT_EQ(read->senderMac, kOther);
    EXPECT_EQ(formatIpv4(read->senderAddress), "192.0.2.60");
    EXPECT_EQ(read->targetMac, kOwn);
    EXPECT_EQ(formatIpv4(read->targetAddress), "0.0.0.0");
    EXPECT_EQ(decodeArp(kProbe)->operation, ArpOperation::Request);
}

TEST(ArpFrame, WhatIsNotEthernetIpv4RequestOrReplyIsRefused) {
    Bytes const shortReply(kReply.begin(), kReply.begin() + 27);
    Bytes otherOperation = kReply;
    otherOperation[7] = 0x03;  // a RARP request
    Bytes otherProtocol = kReply;
    otherProtocol[2] = 0x86;  // 0x86dd: IPv6
    Bytes otherHardware = kReply;
    otherHardware[1] = 0x06;  // IEEE 802
    for (Bytes const& bytes : {shortReply, otherOperation, otherProtocol, otherHardware}) {
        EXPECT_FALSE(decodeArp(bytes)) << ::testing::PrintToString(bytes);
    }
}

TEST(ArpFrame, OnlyAnotherHostUsingOrProbingTheAddressIsAConflict) {
    struct Case {
        char const* what;
        ArpMessage seen;
        bool conflict;
    };
    Case const cases[] = {
        {"a reply from the holder", message(ArpOperation::Reply, kOther, "192.0.2.60", "0.0.0.0"),
         true},
        {"the holder asking for a neighbour",
         message(ArpOperation::Request, kOther, "192.0.2.60", "192.0.2.1"), true},
        {"another host's probe", message(ArpOperation::Request, kOther, "0.0.0.0", "192.0.2.60"),
         true},
        {"our own probe echoed", message(ArpOperation::Request, kOwn, "0.0.0.0", "192.0.2.60"),
         false},
        {"a reply from our MAC", message(ArpOperation::Reply, kOwn, "192.0.2.60", "0.0.0.0"),
         false},
        {"a host asking for the address",
         message(ArpOperation::Request, kOther, "192.0.2.1", "192.0.2.60"), false},
        {"an unrelated reply", message(ArpOperation::Reply, kOther, "192.0.2.61", "192.0.2.1"),
         false},
    };
    for (Case const& c : cases) {
        auto const holder = arpConflict(c.seen, kOwn, kTarget);
        EXPECT_EQ(holder.has_value(), c.conflict) << c.what;
        if (holder) {
            EXPECT_EQ(*holder, kOther) << c.what;
        }
    }
}

}  // namespace
}  // namespace QEL_Finder
