#include "base/ipv4_address.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Ipv4Text, ParsesIntoNetworkOrderAndFormatsBack) {
    auto const address = parseIpv4("192.0.2.10");
    ASSERT_TRUE(address.has_value());
    std::uint8_t bytes[4];
    std::memcpy(bytes, &*address, 4);
    EXPECT_EQ(bytes[0], 0xC0);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[2], 0x02);
    EXPECT_EQ(bytes[3], 0x0A);
    EXPECT_EQ(formatIpv4(*address), "192.0.2.10");

    for (char const* text : {"0.0.0.0", "255.255.255.255", "10.0.0.1", "198.51.100.200"}) {
        auto const parsed = parseIpv4(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_EQ(formatIpv4(*parsed), text);
    }
    EXPECT_EQ(parseIpv4("255.255.255.255"), 0xFFFFFFFFU);
    EXPECT_EQ(parseIpv4("0.0.0.0"), 0U);
}

TEST(Ipv4Text, RejectsAnythingButFourDecimalOctets) {
    for (char const* text :
         {"", "1.2.3", "1.2.3.4.5", "256.0.0.1", "1.2.3.4 ", " 1.2.3.4", "1..2.3", "1.2.3.",
          "a.b.c.d", "010.0.0.1", "1.2.3.0x4", "1234.1.1.1", "-1.2.3.4", "1.2.3.4/24", "::1"}) {
        EXPECT_FALSE(parseIpv4(text).has_value()) << '"' << text << '"';
    }
}

}  // namespace
