#include "gvcp/force_ip_payload.h"

#include <vector>

#include <gtest/gtest.h>

#include "base/ipv4_address.h"

namespace QEL_Finder {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A payload image and the fields it holds; bytes missing at its end read as zero.
TEST(ForceIpPayload, FieldsAtTheirOffsetsInNetworkOrder) {
    Bytes image(kForceIpPayloadSize, 0);
    auto const put = [&](std::size_t offset, Bytes const& values) {
        std::copy(values.begin(), values.end(), image.begin() + static_cast<long>(offset));
    };
    put(2, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});  // MAC
    put(20, {192, 168, 2, 20});                    // static IP
    put(36, {255, 255, 255, 0});                   // mask
    put(52, {192, 168, 2, 1});                     // gateway
    ForceIpPayload const fields{{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E},
                                *parseIpv4("192.168.2.20"),
                                *parseIpv4("255.255.255.0"),
                                *parseIpv4("192.168.2.1")};

    auto const built = buildForceIpPayload(fields);
    EXPECT_EQ(Bytes(built.begin(), built.end()), image);
    for (std::size_t size : {kForceIpPayloadSize, std::size_t{40}, std::size_t{24}}) {
        ForceIpPayload const parsed =
            parseForceIpPayload(Bytes(image.begin(), image.begin() + static_cast<long>(size)));
        EXPECT_EQ(parsed.mac, fields.mac) << size;
        EXPECT_EQ(parsed.address, fields.address) << size;
        EXPECT_EQ(parsed.netmask, size > 36 ? fields.netmask : 0U) << size;
        EXPECT_EQ(parsed.gateway, size > 52 ? fields.gateway : 0U) << size;
    }
}

}  // namespace
}  // namespace QEL_Finder
