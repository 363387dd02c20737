#include "gvcp/force_ip_payload.h"

#include <vector>

#include <gtest/gtest.h>

#include "base/ipv4_address.h"

namespace QEL_Finder {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint8_t, 6> kMac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

// A payload image as a PC sends it, one byte more than the payload to show extra bytes ignored.
Bytes payloadImage() {
    Bytes image(kForceIpPayloadSize + 1, 0);
    auto const put = [&](std::size_t offset, Bytes const& values) {
        std::copy(values.begin(), values.end(), image.begin() + static_cast<long>(offset));
    };
    put(2, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});  // MAC
    put(20, {192, 168, 2, 20});                    // static IP
    put(36, {255, 255, 255, 0});                   // mask
    put(52, {192, 168, 2, 1});                     // gateway
    image.back() = 0xEE;
    return image;
}

TEST(ForceIpPayload, FieldsAtTheirOffsetsInNetworkOrder) {
    Bytes const image = payloadImage();
    ForceIpPayload const fields{kMac, *parseIpv4("192.168.2.20"), *parseIpv4("255.255.255.0"),
                                *parseIpv4("192.168.2.1")};

    auto const built = buildForceIpPayload(fields);
    EXPECT_EQ(Bytes(built.begin(), built.end()), Bytes(image.begin(), image.end() - 1));
    for (std::size_t size : {kForceIpPayloadSize, image.size()}) {
        auto const decoded =
            decodeForceIpPayload(Bytes(image.begin(), image.begin() + static_cast<long>(size)));
        ASSERT_TRUE(std::holds_alternative<ForceIpPayload>(decoded)) << size;
        auto const& parsed = std::get<ForceIpPayload>(decoded);
        EXPECT_EQ(parsed.mac, fields.mac) << size;
        EXPECT_EQ(parsed.address, fields.address) << size;
        EXPECT_EQ(parsed.netmask, fields.netmask) << size;
        EXPECT_EQ(parsed.gateway, fields.gateway) << size;
    }
}

// A payload cut off anywhere is refused, with the MAC once it is all there.
TEST(ForceIpPayload, CutOffPayloadsAreRefusedWithWhatTheyHold) {
    struct Case {
        std::size_t size;
        DecodedForceIpPayload expected;
    };
    Case const cases[] = {
        {0, NoForceIpPayload{}},
        {1, ForceIpMacCutOff{}},                 // a reserved byte only
        {7, ForceIpMacCutOff{}},                 // one MAC byte short
        {8, ForceIpConfigurationCutOff{kMac}},   // the MAC, nothing after it
        {24, ForceIpConfigurationCutOff{kMac}},  // an address, no mask
        {55, ForceIpConfigurationCutOff{kMac}},  // the gateway one byte short
        {56, ForceIpPayload{}},
    };
    Bytes const image = payloadImage();
    for (Case const& c : cases) {
        auto const decoded =
            decodeForceIpPayload(Bytes(image.begin(), image.begin() + static_cast<long>(c.size)));
        EXPECT_EQ(decoded.index(), c.expected.index()) << c.size;
        if (auto const* cut = std::get_if<ForceIpConfigurationCutOff>(&decoded)) {
            EXPECT_EQ(cut->mac, kMac) << c.size;
        }
    }
}

}  // namespace
}  // namespace QEL_Finder
