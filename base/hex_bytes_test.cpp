#include "base/hex_bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string_view>

namespace {

TEST(HexBytes, ReqIdIsTwoBytesInWireOrder) {
    std::array<std::uint8_t, 2> const expected{0x0a, 0x05};
    for (std::string_view const good : {"0a05", "0A:05", "0a 05"}) {
        EXPECT_EQ(parseReqId(good), expected) << '"' << good << '"';
    }
    for (std::string_view const bad : {"0a0", "0a0506", "0a", "0g05", "", "0x0a05"}) {
        EXPECT_FALSE(parseReqId(bad)) << '"' << bad << '"';
    }
}

}  // namespace
