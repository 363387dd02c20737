#include "base/hex_bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace {

using ReqId = std::array<std::uint8_t, 2>;

TEST(HexBytes, ReqIdIsTwoBytesInWireOrder) {
    struct Case {
        std::string_view text;
        std::optional<ReqId> reqId;
    } const cases[] = {
        {"0a05", ReqId{0x0a, 0x05}}, {"0A:05", ReqId{0x0a, 0x05}}, {"ff 01", ReqId{0xff, 0x01}},
        {"0a0", std::nullopt},       {"0a0506", std::nullopt},     {"0a", std::nullopt},
        {"0g05", std::nullopt},      {"", std::nullopt},           {"0x0a05", std::nullopt},
    };
    for (Case const& c : cases) {
        EXPECT_EQ(parseReqId(c.text), c.reqId) << '"' << c.text << '"';
    }
    EXPECT_EQ(parseHexBytes("42 11:0002"), (std::vector<std::uint8_t>{0x42, 0x11, 0x00, 0x02}));
}

}  // namespace
