#include <arpa/inet.h>

#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "base/ipv4_address.h"
#include "gvcp/gvcp_header.h"

namespace QEL_Finder {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes toBytes(std::array<std::uint8_t, N> const& array) {
    return Bytes(array.begin(), array.end());
}

TEST(AckHeader, ByteImagesOfTheThreeAcknowledges) {
    // Discovery acknowledge for req_id 12 34.
    EXPECT_EQ(toBytes(buildAckHeader(
                  {kStatusSuccess, kDiscoveryAckCode, kDiscoveryAckLength, {0x12, 0x34}})),
              (Bytes{0x00, 0x00, 0x00, 0x03, 0x00, 0xF8, 0x12, 0x34}));
    // Force-IP acknowledge, no payload.
    EXPECT_EQ(toBytes(buildAckHeader({kStatusSuccess, kForceIpAckCode, 0, {0xAB, 0xCD}})),
              (Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0xAB, 0xCD}));
    // Unknown command 0x0080 with req_id 00 07.
    EXPECT_EQ(toBytes(buildAckHeader({kStatusAccessDeniedSentForNotImplemented,
                                      notImplementedAnswer(0x0080),
                                      0,
                                      {0x00, 0x07}})),
              (Bytes{0x80, 0x06, 0x00, 0x81, 0x00, 0x00, 0x00, 0x07}));
}

TEST(AckHeader, NotImplementedAnswerWrapsIn16Bits) {
    EXPECT_EQ(notImplementedAnswer(0xFFFF), 0x0000);
    EXPECT_EQ(notImplementedAnswer(0x0000), 0x0001);
}

TEST(AckHeader, ParseRoundTripsAndRejectsShortInput) {
    Bytes const image{0x80, 0x06, 0x12, 0x35, 0x00, 0xF8, 0xBE, 0xEF};
    auto const header = parseAckHeader(image);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->status, 0x8006);
    EXPECT_EQ(header->answer, 0x1235);
    EXPECT_EQ(header->length, 0x00F8);
    EXPECT_EQ(toBytes(buildAckHeader(*header)), image);
    EXPECT_FALSE(parseAckHeader(Bytes(7, 0)).has_value());
}

TEST(CommandHeader, FieldsAreBigEndianAndReqIdIsCopiedUnchanged) {
    // key 42, flag 11, command 0x0002, length 0x0008, req_id 12 34
    Bytes const image{0x42, 0x11, 0x00, 0x02, 0x00, 0x08, 0x12, 0x34};
    auto const header = parseCommandHeader(image);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->key, kGvcpKey);
    EXPECT_EQ(header->flag, 0x11);
    EXPECT_EQ(header->command, kDiscoveryCmd);
    EXPECT_EQ(header->length, 8);
    EXPECT_EQ(header->reqId, (std::array<std::uint8_t, 2>{0x12, 0x34}));
    EXPECT_EQ(toBytes(buildCommandHeader(*header)), image);
    EXPECT_FALSE(parseCommandHeader(Bytes(3, 0x42)).has_value());
}

TEST(ForceIpPayload, FieldOffsetsAndNetworkOrder) {
    ForceIpPayload request;
    request.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    inet_pton(AF_INET, "192.168.2.20", &request.address);
    inet_pton(AF_INET, "255.255.255.0", &request.netmask);
    inet_pton(AF_INET, "192.168.2.1", &request.gateway);

    auto const bytes = buildForceIpPayload(request);
    EXPECT_EQ(Bytes(bytes.begin() + 2, bytes.begin() + 8),
              (Bytes{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    EXPECT_EQ(Bytes(bytes.begin() + 20, bytes.begin() + 24), (Bytes{192, 168, 2, 20}));
    EXPECT_EQ(Bytes(bytes.begin() + 36, bytes.begin() + 40), (Bytes{255, 255, 255, 0}));
    EXPECT_EQ(Bytes(bytes.begin() + 52, bytes.begin() + 56), (Bytes{192, 168, 2, 1}));
    // Reserved ranges stay zero.
    for (std::size_t i : {0U, 1U, 8U, 19U, 24U, 35U, 40U, 51U}) {
        EXPECT_EQ(bytes[i], 0) << "byte " << i;
    }

    auto const parsed = parseForceIpPayload(bytes);
    EXPECT_EQ(parsed.mac, request.mac);
    EXPECT_EQ(parsed.address, request.address);
    EXPECT_EQ(parsed.netmask, request.netmask);
    EXPECT_EQ(parsed.gateway, request.gateway);
}

TEST(ForceIpPayload, ShortPayloadReadsMissingBytesAsZero) {
    Bytes const shortPayload{0x00, 0x00, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0,  0, 0, 0,
                             0,    0,    0,    0,    0,    0,    0,    0,    10, 0, 0, 5};
    auto const parsed = parseForceIpPayload(shortPayload);
    EXPECT_EQ(parsed.mac, (std::array<std::uint8_t, 6>{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    in_addr address{};
    address.s_addr = parsed.address;
    EXPECT_STREQ(inet_ntoa(address), "10.0.0.5");
    EXPECT_EQ(parsed.netmask, 0U);
    EXPECT_EQ(parsed.gateway, 0U);
}

constexpr ReqId kId{0x12, 0x34};

TEST(Requests, DiscoveryAsksForAnAcknowledgeAndOptionallyABroadcastOne) {
    EXPECT_EQ(toBytes(buildDiscoveryCmd(kId, false)),
              (Bytes{0x42, 0x01, 0x00, 0x02, 0x00, 0x00, 0x12, 0x34}));
    EXPECT_EQ(toBytes(buildDiscoveryCmd(ReqId{0xAB, 0xCD}, true)),
              (Bytes{0x42, 0x11, 0x00, 0x02, 0x00, 0x00, 0xAB, 0xCD}));
}

TEST(Requests, ForceIpCarriesMacAndAddressesAtTheirOffsets) {
    ForceIpPayload payload;
    payload.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    payload.address = *parseIpv4("192.0.2.20");
    payload.netmask = *parseIpv4("255.255.255.0");
    payload.gateway = *parseIpv4("192.0.2.1");

    Bytes expected(64, 0);
    auto const put = [&](std::size_t offset, Bytes const& values) {
        std::copy(values.begin(), values.end(), expected.begin() + static_cast<long>(offset));
    };
    put(0, {0x42, 0x11, 0x00, 0x04, 0x00, 0x38, 0x12, 0x34});  // length 56
    put(10, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    put(28, {192, 0, 2, 20});
    put(44, {255, 255, 255, 0});
    put(60, {192, 0, 2, 1});
    EXPECT_EQ(toBytes(buildForceIpCmd(kId, true, payload)), expected);
    EXPECT_EQ(buildForceIpCmd(kId, false, payload)[1], 0x01);
}

TEST(ForceIpAckDecoding, ReportsTheStatusOfOurAcknowledgeAndRejectsOthers) {
    auto ok = decodeForceIpAck(Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x12, 0x34}, kId);
    ASSERT_TRUE(std::holds_alternative<std::uint16_t>(ok));
    EXPECT_EQ(std::get<std::uint16_t>(ok), 0x0000);

    auto refused = decodeForceIpAck(Bytes{0x80, 0x06, 0x00, 0x05, 0x00, 0x00, 0x12, 0x34}, kId);
    ASSERT_TRUE(std::holds_alternative<std::uint16_t>(refused));
    EXPECT_EQ(std::get<std::uint16_t>(refused), 0x8006);

    for (Bytes const& other : {
             Bytes{0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x12, 0x34},        // discovery answer
             Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x43, 0x21},        // another id
             Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x12, 0x34, 0x00},  // trailing byte
             Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x04, 0x12, 0x34},        // length field 4
             Bytes{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x12},              // short
         }) {
        EXPECT_TRUE(std::holds_alternative<Rejection>(decodeForceIpAck(other, kId)))
            << other.size() << " bytes";
    }
}

}  // namespace
}  // namespace QEL_Finder
