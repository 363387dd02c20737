#include "netconfig/config_checks.h"

#include <gtest/gtest.h>

#include <string>

#include "netconfig/test_config.h"

namespace {

using QEL_Finder::testing::configFrom;

}  // namespace

TEST(ForceIpValidation, RefusesMasksAddressesAndGatewaysNoInterfaceCanUse) {
    struct Case {
        char const* address;
        char const* netmask;
        std::string rejection;
        char const* gateway = "0.0.0.0";
    } const cases[] = {
        {"255.255.255.255", "0.0.0.0", ""},
        {"0.0.0.0", "255.0.255.0", ""},
        {"192.168.0.10", "255.255.255.0", ""},
        {"10.1.2.3", "255.255.255.255", ""},
        {"223.255.255.1", "255.255.255.128", ""},
        {"192.168.0.10", "0.0.0.0", "Refusing force IP: netmask 0.0.0.0 is empty"},
        {"192.168.0.10", "255.0.255.0", "Refusing force IP: netmask 255.0.255.0 is not contiguous"},
        {"192.168.0.10", "0.255.255.255",
         "Refusing force IP: netmask 0.255.255.255 is not contiguous"},
        {"0.1.2.3", "255.0.0.0", "Refusing force IP: address 0.1.2.3 is in 0.0.0.0/8"},
        {"127.0.0.5", "255.0.0.0", "Refusing force IP: address 127.0.0.5 is a loopback address"},
        {"224.0.0.9", "255.255.255.0",
         "Refusing force IP: address 224.0.0.9 is a multicast or reserved address"},
        {"255.255.255.254", "255.255.255.0",
         "Refusing force IP: address 255.255.255.254 is a multicast or reserved address"},
        {"192.0.2.255", "255.255.255.0",
         "Refusing force IP: address 192.0.2.255 is its subnet's broadcast address"},
        {"192.0.2.0", "255.255.255.0",
         "Refusing force IP: address 192.0.2.0 is its subnet's network address"},
        {"192.0.2.2", "255.255.255.252", ""},
        {"192.0.2.4", "255.255.255.252",
         "Refusing force IP: address 192.0.2.4 is its subnet's network address"},
        {"192.0.2.7", "255.255.255.252",
         "Refusing force IP: address 192.0.2.7 is its subnet's broadcast address"},
        {"192.0.2.255", "255.255.255.254", ""},
        {"192.0.2.254", "255.255.255.254", ""},
        {"192.0.2.20", "255.255.255.0", "", "198.51.100.1"},
        {"192.0.2.20", "255.255.255.0",
         "Refusing force IP: gateway 224.0.0.9 is a multicast or reserved address", "224.0.0.9"},
        {"192.0.2.20", "255.255.255.0",
         "Refusing force IP: gateway 127.0.0.1 is a loopback address", "127.0.0.1"},
        {"192.0.2.20", "255.255.255.0", "Refusing force IP: gateway 0.0.0.1 is in 0.0.0.0/8",
         "0.0.0.1"},
        {"192.0.2.20", "255.255.255.0",
         "Refusing force IP: gateway 192.0.2.20 is the requested address", "192.0.2.20"},
        {"192.0.2.20", "255.255.255.0",
         "Refusing force IP: gateway 192.0.2.255 is the subnet's broadcast address", "192.0.2.255"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(std::string(c.address) + "/" + c.netmask + " via " + c.gateway);
        EXPECT_EQ(configRejection(configFrom(c.address, c.netmask, c.gateway)), c.rejection);
    }
}

TEST(InterfaceNameValidation, AcceptsOnlyShortPlainNames) {
    for (char const* name : {"eth0", "enp0s31f6", "br-lan_1.5", "abcdefghijklmno"}) {
        EXPECT_TRUE(isSafeInterfaceName(name)) << name;
    }
    for (char const* name :
         {"", "abcdefghijklmnop", "eth0;reboot", "eth 0", "eth0\n", "../eth0", "$(id)"}) {
        EXPECT_FALSE(isSafeInterfaceName(name)) << name;
    }
}
