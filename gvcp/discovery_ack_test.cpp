#include "gvcp/discovery_ack.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace QEL_Finder {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint8_t, 6> kMac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

// A record filled over leftover bytes, so fields the fill forgets to clear show up.
Bytes filledImage(bool dhcp, std::string const& model, std::string const& serial) {
    DiscoveryAck record;
    std::memset(&record, 0xAA, sizeof record);
    fillDiscoveryAck(record, kMac, dhcp, model, serial);
    auto const* bytes = reinterpret_cast<std::uint8_t const*>(&record);
    return Bytes(bytes, bytes + sizeof record);
}

Bytes range(Bytes const& image, std::size_t first, std::size_t end) {
    return Bytes(image.begin() + static_cast<long>(first), image.begin() + static_cast<long>(end));
}

Bytes textField(std::string const& text, std::size_t size) {
    Bytes field(size, 0);
    std::copy(text.begin(), text.end(), field.begin());
    return field;
}

TEST(FillDiscoveryAck, FieldOffsetsAndZeroPadding) {
    Bytes const image = filledImage(false, "Tarn C1", "SN-0042");
    // version 1.2, device mode B0000001, reserved, MAC 00 1A | 2B 3C 4D 5E, options 7, current 5
    EXPECT_EQ(range(image, 0, 24),
              (Bytes{0x00, 0x01, 0x00, 0x02, 0xB0, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x1A,
                     0x2B, 0x3C, 0x4D, 0x5E, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x05}));
    // Address, mask and gateway start at zero; the reply socket fills them in.
    EXPECT_EQ(range(image, 24, 72), Bytes(48, 0));
    EXPECT_EQ(range(image, 72, 104), textField("TELVO Technologies", 32));
    EXPECT_EQ(range(image, 104, 136), textField("Tarn C1", 32));
    EXPECT_EQ(range(image, 136, 216), Bytes(80, 0));
    EXPECT_EQ(range(image, 216, 232), textField("SN-0042", 16));
    EXPECT_EQ(range(image, 232, 248), Bytes(16, 0));
}

TEST(FillDiscoveryAck, DhcpSelectsTheDhcpBitBesideLinkLocal) {
    EXPECT_EQ(range(filledImage(true, "m", "s"), 20, 24), (Bytes{0x00, 0x00, 0x00, 0x06}));
}

TEST(FillDiscoveryAck, LongTextsAreCutSoTheFieldEndsInZero) {
    std::string const model31(31, 'M');
    EXPECT_EQ(range(filledImage(false, model31, ""), 104, 136), textField(model31, 32));
    Bytes const cut = filledImage(false, model31 + "X", std::string(20, 'S'));
    EXPECT_EQ(range(cut, 104, 136), textField(model31, 32));
    EXPECT_EQ(range(cut, 216, 232), textField(std::string(15, 'S'), 16));
    EXPECT_EQ(range(cut, 232, 248), Bytes(16, 0)) << "serial must not spill into the next field";
}

}  // namespace
}  // namespace QEL_Finder
