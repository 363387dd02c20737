#include "netconfig/interface_config.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iomanip>
#include <sstream>

#include "netconfig/test_config.h"

using QEL_Finder::InterfaceConfig;

namespace {

InterfaceConfig configOf(char const* address, char const* netmask, char const* gateway,
                         std::array<std::uint8_t, 6> const& mac) {
    InterfaceConfig config = QEL_Finder::testing::configFrom(address, netmask, gateway);
    std::copy(mac.begin(), mac.end(), config.mac);
    return config;
}

}  // namespace

TEST(InterfaceConfig, MacViewMatchesTheDiscoveryWordSplit) {
    InterfaceConfig const config =
        configOf("0.0.0.0", "0.0.0.0", "0.0.0.0", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    EXPECT_EQ(ntohl(config.storage[3]), 0x0000001Au);
    EXPECT_EQ(ntohl(config.storage[4]), 0x2B3C4D5Eu);
}

TEST(InterfaceConfigPrinter, PrintsFourLinesWithPaddedUppercaseMac) {
    InterfaceConfig const config =
        configOf("192.168.0.10", "255.255.255.0", "0.0.0.0", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x0A});
    std::ostringstream out;
    out << config;
    EXPECT_EQ(out.str(),
              "Address: 192.168.0.10\nNetmask: 255.255.255.0\nGateway: 0.0.0.0\n"
              "MAC:     00::1A::2B::3C::4D::0A");
}

TEST(InterfaceConfigPrinter, LeavesTheStreamFormatAsItFoundIt) {
    InterfaceConfig const config =
        configOf("10.0.0.1", "255.0.0.0", "10.0.0.254", {1, 2, 3, 4, 5, 6});
    std::ostringstream out;
    out << std::showpos << std::setfill('*');
    std::ios_base::fmtflags const before = out.flags();
    out << config;
    EXPECT_EQ(out.flags(), before);
    out.str("");
    out << std::setw(5) << 42;
    EXPECT_EQ(out.str(), "**+42");
}
