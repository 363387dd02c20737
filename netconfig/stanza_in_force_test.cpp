#include "netconfig/stanza_in_force.h"

#include <gtest/gtest.h>

#include "netconfig/test_config.h"

namespace {

using QEL_Finder::testing::configFrom;

// As cameras ship them: indented or not, CRLF, a mask as a prefix, an address with its prefix.
TEST(StanzaInForce, StaticMatchesWhatIfupdownWouldSetUp) {
    struct Row {
        char const* stanza;
        char const* gateway;  // of the request; the request is 192.0.2.10/24 unless dhcp
        bool says;
    };
    Row const rows[] = {
        {"iface eth0 inet static\n  address 192.0.2.10\n  netmask 255.255.255.0\n"
         "  gateway 192.0.2.1\n",
         "192.0.2.1", true},
        {"iface eth0 inet static\r\naddress 192.0.2.10/24\r\ngateway 192.0.2.1\r\n", "192.0.2.1",
         true},
        {"iface eth0 inet static\n\taddress 192.0.2.10\n\tnetmask 24\n", "0.0.0.0", true},
        {"iface eth0 inet static\n  address 192.0.2.10\n  netmask 24\n", "192.0.2.1", false},
        {"iface eth0 inet static\n  address 192.0.2.10\n  netmask 255.255.0.0\n", "0.0.0.0", false},
        {"iface eth0 inet static\n  address 192.0.2.10\n", "0.0.0.0", false},
        {"iface eth0 inet static\n  address 192.0.2.11/24\n", "0.0.0.0", false},
        // ifupdown sets up both addresses.
        {"iface eth0 inet static\n  address 192.0.2.10/24\n  address 192.0.2.11/24\n", "0.0.0.0",
         false},
        // The stanza ends at the next one; another interface's or inet6's are not eth0's.
        {"iface eth0 inet static\n  address 192.0.2.10/24\nauto eth1\n  gateway 192.0.2.1\n",
         "0.0.0.0", true},
        {"iface eth1 inet static\n  address 192.0.2.10/24\n", "0.0.0.0", false},
        {"iface eth0 inet6 static\n  address 192.0.2.10/24\n", "0.0.0.0", false},
        {"iface eth0 inet dhcp\n", "0.0.0.0", false},
    };
    for (Row const& row : rows) {
        EXPECT_EQ(
            stanzaSays(row.stanza, "eth0", configFrom("192.0.2.10", "255.255.255.0", row.gateway)),
            row.says)
            << row.stanza << "gateway " << row.gateway;
    }
}

TEST(StanzaInForce, DhcpMatchesADhcpStanzaAndARestartNothing) {
    auto const dhcp = configFrom("255.255.255.255", "0.0.0.0", "0.0.0.0");
    auto const restart = configFrom("0.0.0.0", "0.0.0.0", "0.0.0.0");
    EXPECT_TRUE(stanzaSays("auto eth0\niface eth0 inet dhcp\n  hostname cam\n", "eth0", dhcp));
    EXPECT_FALSE(stanzaSays("iface eth0 inet static\n  address 192.0.2.10/24\n", "eth0", dhcp));
    EXPECT_FALSE(stanzaSays("", "eth0", dhcp));
    EXPECT_FALSE(stanzaSays("iface eth0 inet dhcp\n", "eth0", restart));
}

}  // namespace
