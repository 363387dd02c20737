#include "gvcp/ack_match.h"

#include <vector>

#include <gtest/gtest.h>

namespace QEL_Finder {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr ReqId kId{0x12, 0x34};

// The acknowledge of a force-IP with req_id 12 34, matched field by field; "" accepts.
TEST(AckMatch, EachFieldOfTheHeaderIsChecked) {
    struct Case {
        Bytes bytes;
        AckStatus status;
        char const* reason;
    } const cases[] = {
        {{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x12, 0x34}, AckStatus::MustSucceed, ""},
        {{0x80, 0x06, 0x00, 0x05, 0x00, 0x00, 0x12, 0x34}, AckStatus::Any, ""},
        {{0x80, 0x06, 0x00, 0x05, 0x00, 0x00, 0x12, 0x34}, AckStatus::MustSucceed, "status 0x8006"},
        {{0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x12, 0x34},
         AckStatus::Any,
         "wrong answer code 0x0003"},
        {{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x43, 0x21}, AckStatus::Any, "wrong ack_id 0x4321"},
        {{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x12, 0x34, 0x00}, AckStatus::Any, "wrong length 9"},
        {{0x00, 0x00, 0x00, 0x05, 0x00, 0x04, 0x12, 0x34}, AckStatus::Any, "wrong length 8"},
        {{0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x12}, AckStatus::Any, "wrong length 7"},
    };
    for (Case const& c : cases) {
        auto const matched = matchAck(c.bytes, {kStatusSuccess, kForceIpAckCode, 0, kId}, c.status);
        std::string const reason =
            std::holds_alternative<Rejection>(matched) ? std::get<Rejection>(matched).reason : "";
        EXPECT_EQ(reason.substr(0, std::string(c.reason).size()), c.reason) << reason;
        EXPECT_EQ(reason.empty(), std::string(c.reason).empty()) << reason;
        // The force-IP decoder takes any status of the same acknowledge.
        if (c.status == AckStatus::Any) {
            EXPECT_EQ(std::holds_alternative<std::uint16_t>(decodeForceIpAck(c.bytes, kId)),
                      reason.empty());
        }
    }
    auto const refused =
        decodeForceIpAck(Bytes{0x80, 0x06, 0x00, 0x05, 0x00, 0x00, 0x12, 0x34}, kId);
    EXPECT_EQ(std::get<std::uint16_t>(refused), 0x8006);
}

}  // namespace
}  // namespace QEL_Finder
