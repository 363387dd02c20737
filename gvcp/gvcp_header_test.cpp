#include "gvcp/gvcp_header.h"

#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace QEL_Finder {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes toBytes(std::array<std::uint8_t, kHeaderSize> const& array) {
    return Bytes(array.begin(), array.end());
}

TEST(GvcpHeader, AcknowledgeImagesRoundTrip) {
    struct Case {
        AckHeader header;
        Bytes image;
    } const cases[] = {
        {{kStatusSuccess, kDiscoveryAckCode, kDiscoveryAckLength, {0x12, 0x34}},
         {0x00, 0x00, 0x00, 0x03, 0x00, 0xF8, 0x12, 0x34}},
        {{kStatusSuccess, kForceIpAckCode, 0, {0xAB, 0xCD}},
         {0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0xAB, 0xCD}},
        {{kStatusAccessDeniedSentForNotImplemented, notImplementedAnswer(0x0080), 0, {0x00, 0x07}},
         {0x80, 0x06, 0x00, 0x81, 0x00, 0x00, 0x00, 0x07}},
        // The answer code wraps around in 16 bits.
        {{kStatusAccessDeniedSentForNotImplemented, notImplementedAnswer(0xFFFF), 0, {0xAB, 0xCD}},
         {0x80, 0x06, 0x00, 0x00, 0x00, 0x00, 0xAB, 0xCD}},
    };
    for (Case const& c : cases) {
        EXPECT_EQ(toBytes(buildAckHeader(c.header)), c.image);
        auto const parsed = parseAckHeader(c.image);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(toBytes(buildAckHeader(*parsed)), c.image);
    }
    EXPECT_FALSE(parseAckHeader(Bytes(7, 0)).has_value());
}

TEST(GvcpHeader, CommandFieldsAreBigEndianAndReqIdIsCopiedUnchanged) {
    // key 42, flag 11, command 0x0002, length 0x0008, req_id 12 34
    Bytes const image{0x42, 0x11, 0x00, 0x02, 0x00, 0x08, 0x12, 0x34};
    auto const header = parseCommandHeader(image);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->key, kGvcpKey);
    EXPECT_EQ(header->flag, 0x11);
    EXPECT_EQ(header->command, kDiscoveryCmd);
    EXPECT_EQ(header->length, 8);
    EXPECT_EQ(header->reqId, (ReqId{0x12, 0x34}));
    EXPECT_EQ(toBytes(buildCommandHeader(*header)), image);
    EXPECT_FALSE(parseCommandHeader(Bytes(7, 0x42)).has_value());
}

}  // namespace
}  // namespace QEL_Finder
