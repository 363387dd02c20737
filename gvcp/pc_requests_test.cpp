#include "gvcp/pc_requests.h"

#include <vector>

#include <gtest/gtest.h>

#include "base/ipv4_address.h"

namespace QEL_Finder {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes toBytes(std::array<std::uint8_t, N> const& array) {
    return Bytes(array.begin(), array.end());
}

TEST(PcRequests, FlagAsksForAnAcknowledgeAndOptionallyABroadcastOne) {
    EXPECT_EQ(toBytes(buildDiscoveryCmd({0x12, 0x34}, false)),
              (Bytes{0x42, 0x01, 0x00, 0x02, 0x00, 0x00, 0x12, 0x34}));
    EXPECT_EQ(toBytes(buildDiscoveryCmd({0xAB, 0xCD}, true)),
              (Bytes{0x42, 0x11, 0x00, 0x02, 0x00, 0x00, 0xAB, 0xCD}));
    EXPECT_EQ(buildForceIpCmd({0x12, 0x34}, false, {})[1], 0x01);
}

TEST(PcRequests, ForceIpIsAHeaderOfLength56AndThePayload) {
    ForceIpPayload const payload{{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E},
                                 *parseIpv4("192.0.2.20"),
                                 *parseIpv4("255.255.255.0"),
                                 *parseIpv4("192.0.2.1")};
    Bytes expected{0x42, 0x11, 0x00, 0x04, 0x00, 0x38, 0x12, 0x34};
    auto const body = buildForceIpPayload(payload);
    expected.insert(expected.end(), body.begin(), body.end());
    EXPECT_EQ(toBytes(buildForceIpCmd({0x12, 0x34}, true, payload)), expected);
}

}  // namespace
}  // namespace QEL_Finder
