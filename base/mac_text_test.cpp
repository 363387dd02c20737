#include "base/mac_text.h"

#include <gtest/gtest.h>

#include "base/hex_text.h"

namespace {

TEST(MacText, AcceptsColonsOrDashesInEitherCase) {
    std::array<std::uint8_t, 6> const expected{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(parseMac("00:1a:2b:3c:4d:5e"), expected);
    EXPECT_EQ(parseMac("00-1A-2B-3C-4D-5E"), expected);
    EXPECT_EQ(parseMac("00:1A:2b:3C:4d:5E"), expected);
    EXPECT_EQ(formatMac(expected), "00:1a:2b:3c:4d:5e");
    EXPECT_EQ(formatMac(*parseMac("ff:ff:ff:ff:ff:ff")), "ff:ff:ff:ff:ff:ff");
}

TEST(MacText, RejectsMalformedAddresses) {
    for (char const* text : {"", "00:1a:2b:3c:4d", "00:1a:2b:3c:4d:5e:6f", "00:1a:2b-3c:4d:5e",
                             "00-1a-2b-3c-4d:5e", "001a2b3c4d5e", "00:1a:2b:3c:4d:5g",
                             "0:1a:2b:3c:4d:5e0", "00.1a.2b.3c.4d.5e", "00:1a:2b:3c:4d:5e "}) {
        EXPECT_FALSE(parseMac(text).has_value()) << '"' << text << '"';
    }
}

}  // namespace
