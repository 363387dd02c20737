#include "netconfig/stanza_in_force.h"

#include <gtest/gtest.h>

#include "netconfig/test_config.h"

namespace {

// As cameras ship them: indented or not, CRLF, a mask as a prefix, an address with its prefix.
// The request is 192.0.2.10/24 with the gateway given, or dhcp (address "dhcp") or a restart.
TEST(StanzaInForce, SaysWhatIfupdownWouldSetUp) {
    struct Row {
        char const* stanza;
        char const* gateway;
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
        {"iface eth0 inet static\n  address 192.0.2.10\n", "0.0.0.0", false},
        {"iface eth0 inet static\n  address 192.0.2.11/24\n", "0.0.0.0", false},
        // ifupdown sets up both addresses.
        {"iface eth0 inet static\n  address 192.0.2.10/24\n  address 192.0.2.11/24\n", "0.0.0.0",
         false},
        // The stanza ends at the next one.
        {"iface eth0 inet static\n  address 192.0.2.10/24\nauto eth1\n  gateway 192.0.2.1\n",
         "0.0.0.0", true},
        {"iface eth0 inet dhcp\n", "0.0.0.0", false},
        {"auto eth0\niface eth0 inet dhcp\n  hostname cam\n", "dhcp", true},
        {"iface eth0 inet static\n  address 192.0.2.10/24\n", "dhcp", false},
        {"iface eth0 inet dhcp\n", "restart", false},
    };
    for (Row const& row : rows) {
        std::string const gateway = row.gateway;
        auto const config =
            gateway == "dhcp"
                ? QEL_Finder::testing::configFrom("255.255.255.255", "0.0.0.0", "0.0.0.0")
            : gateway == "restart"
                ? QEL_Finder::testing::configFrom("0.0.0.0", "0.0.0.0", "0.0.0.0")
                : QEL_Finder::testing::configFrom("192.0.2.10", "255.255.255.0", row.gateway);
        EXPECT_EQ(stanzaSays(row.stanza, "eth0", config), row.says) << row.stanza << gateway;
    }
}

}  // namespace
