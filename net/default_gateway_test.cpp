#include "net/default_gateway.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/ipv4_address.h"
#include "base/temp_dir.h"
#include "net/linux_socket_manager.h"

namespace QEL_Finder {
namespace {

// Puts an "ip" that prints a fixed route table first on PATH for the life of the fixture.
class FakeRouteTable : public ::testing::Test {
  protected:
    void SetUp() override {
        char const* const path = std::getenv("PATH");
        oldPath_ = path == nullptr ? "" : path;
        ::setenv("PATH", (directory_.path().string() + ":" + oldPath_).c_str(), 1);
    }
    void TearDown() override { ::setenv("PATH", oldPath_.c_str(), 1); }
    void routesAre(std::string const& text) {
        auto const script = directory_.path() / "ip";
        std::ofstream(script) << "#!/bin/sh\ncat <<'ROUTES'\n" << text << "ROUTES\n";
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }
    unsigned int gateway() { return LinuxSocketManager().getDefaultGateway(); }

  private:
    TempDir directory_;
    std::string oldPath_;
};

TEST_F(FakeRouteTable, TakesTheFirstDefaultRoute) {
    routesAre(
        "10.0.0.0/24 dev eth1 proto kernel scope link src 10.0.0.5\n"
        "default via 10.0.0.1 dev eth1 proto dhcp metric 100\n"
        "default via 192.168.1.1 dev eth0 proto static\n");
    EXPECT_EQ(gateway(), *parseIpv4("10.0.0.1"));
}

TEST_F(FakeRouteTable, GivesZeroWithoutAUsableDefaultRoute) {
    routesAre("192.168.1.0/24 dev eth0 proto kernel scope link src 192.168.1.10\n");
    EXPECT_EQ(gateway(), 0U);
    routesAre("default dev ppp0 scope link\n");
    EXPECT_EQ(gateway(), 0U);
    // The first default route decides even when its address is unusable.
    routesAre("default via gateway.example dev eth0\ndefault via 10.0.0.1 dev eth1\n");
    EXPECT_EQ(gateway(), 0U);
    routesAre("");
    EXPECT_EQ(gateway(), 0U);
}

TEST(RouteLine, ReadsOnlyDefaultViaLines) {
    EXPECT_EQ(gatewayFromRouteLine("default via 192.168.1.1 dev eth0 proto static\n"),
              *parseIpv4("192.168.1.1"));
    EXPECT_EQ(gatewayFromRouteLine("default via 10.0.0.1 dev eth1"), *parseIpv4("10.0.0.1"));
    EXPECT_EQ(gatewayFromRouteLine("default via  dev eth0\n"), 0U);
    EXPECT_EQ(gatewayFromRouteLine("default via 10.0.0.256 dev eth0\n"), 0U);
    EXPECT_EQ(gatewayFromRouteLine("10.0.0.0/8 via 10.0.0.1 dev eth0\n"), 0U);
    EXPECT_FALSE(isDefaultRouteLine("default dev ppp0 scope link\n"));
    EXPECT_TRUE(isDefaultRouteLine("default via 10.0.0.1 dev eth1\n"));
}

}  // namespace
}  // namespace QEL_Finder
