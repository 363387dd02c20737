#include "netconfig/stanza_scan.h"

#include <gtest/gtest.h>

#include "netconfig/interfaces_file.h"
#include "netconfig/test_config.h"

namespace {

QEL_Finder::InterfaceConfig const kDhcp =
    QEL_Finder::makeInterfaceConfig(QEL_Finder::kDhcpAddress, 0, 0);

QEL_Finder::InterfaceConfig staticConfig(char const* gateway) {
    return QEL_Finder::testing::configFrom("192.168.0.10", "255.255.255.0", gateway);
}

}  // namespace

TEST(StanzaBuilders, StaticStanzaOmitsAZeroGateway) {
    EXPECT_EQ(getStaticInterfaceDef(staticConfig("192.168.0.1"), "eth0"),
              "iface eth0 inet static\n  address 192.168.0.10\n  netmask 255.255.255.0\n"
              "  gateway 192.168.0.1\n");
    EXPECT_EQ(getStaticInterfaceDef(staticConfig("0.0.0.0"), "eth0"),
              "iface eth0 inet static\n  address 192.168.0.10\n  netmask 255.255.255.0\n");
    EXPECT_EQ(getDynamicInterfaceDef("eth1"), "iface eth1 inet dhcp\n");
}

TEST(StanzaReplacement, StaticWorkedExampleByteForByte) {
    std::string const input =
        "auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet dhcp\n\n"
        "auto wlan0\niface wlan0 inet dhcp\n";
    EXPECT_EQ(replaceInterfaceStanza(input, "eth0", staticConfig("192.168.0.1")),
              "auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet static\n"
              "  address 192.168.0.10\n  netmask 255.255.255.0\n  gateway 192.168.0.1\n\n"
              "auto wlan0\niface wlan0 inet dhcp\n");
    // Under static, dhcp's client options and scope stay too.
    std::string const stanza = getStaticInterfaceDef(staticConfig("0.0.0.0"), "eth0");
    EXPECT_EQ(replaceInterfaceStanza("iface eth0 inet dhcp\n  hostname cam\n  scope link\n", "eth0",
                                     staticConfig("0.0.0.0")),
              "auto eth0\n" + stanza + "  hostname cam\n  scope link\n\n");
}

// Each case is also rewritten a second time: a repeated request must not change the file again.
TEST(StanzaReplacement, KeepsEverythingOutsideTheOldStanzaAndIsStable) {
    struct Case {
        char const* what;
        std::string input;
        std::string expected;
    } const cases[] = {
        {"dhcp worked example", "auto lo\niface lo inet loopback\n",
         "auto lo\niface lo inet loopback\nauto eth0\niface eth0 inet dhcp\n\n"},
        {"empty file", "", "auto eth0\niface eth0 inet dhcp\n\n"},
        {"allow-hotplug brings it up", "allow-hotplug eth0\niface eth0 inet static\n",
         "allow-hotplug eth0\niface eth0 inet dhcp\n\n"},
        {"allow-auto after the stanza brings it up",
         "iface eth0 inet static\n  address 10.0.0.2\nallow-auto lo eth0\n",
         "iface eth0 inet dhcp\n\nallow-auto lo eth0\n"},
        {"another allow- class does not", "allow-lab eth0\niface eth0 inet static\n",
         "allow-lab eth0\nauto eth0\niface eth0 inet dhcp\n\n"},
        {"auto of a VLAN or an alias does not", "auto eth0.100 eth0:1 #eth0\n",
         "auto eth0.100 eth0:1 #eth0\nauto eth0\niface eth0 inet dhcp\n\n"},
        {"auto of several names does", "auto lo eth0\niface eth0 inet static\n",
         "auto lo eth0\niface eth0 inet dhcp\n\n"},
        {"later second stanza dropped",
         "auto eth0\niface eth0 inet static\n  address 10.0.0.2\nauto wlan0\n"
         "iface wlan0 inet dhcp\niface eth0 inet static\n  address 10.0.0.3\n",
         "auto eth0\niface eth0 inet dhcp\n\nauto wlan0\niface wlan0 inet dhcp\n"},
        {"no final line feed outside", "auto lo\niface lo inet loopback",
         "auto lo\niface lo inet loopback\nauto eth0\niface eth0 inet dhcp\n\n"},
        {"no final line feed inside", "auto eth0\niface eth0 inet static\n  address 10.0.0.2",
         "auto eth0\niface eth0 inet dhcp\n\n"},
        {"inet6 stanza ends it",
         "auto eth0\niface eth0 inet static\n  address 10.0.0.2\niface eth0 inet6 auto\n",
         "auto eth0\niface eth0 inet dhcp\n\niface eth0 inet6 auto\n"},
        {"other interface with the name as prefix", "iface eth0.5 inet static\n  address 1.2.3.4\n",
         "iface eth0.5 inet static\n  address 1.2.3.4\nauto eth0\niface eth0 inet dhcp\n\n"},
        {"source ends it",
         "auto eth0\niface eth0 inet static\n  address 10.0.0.2\nsource /etc/network/x/*\n",
         "auto eth0\niface eth0 inet dhcp\n\nsource /etc/network/x/*\n"},
        {"source-directory ends it",
         "auto eth0\niface eth0 inet static\nsource-directory /etc/network/x\n",
         "auto eth0\niface eth0 inet dhcp\n\nsource-directory /etc/network/x\n"},
        {"tab-indented options stay inside",
         "auto eth0\niface eth0 inet static\n\taddress 10.0.0.2\n\tnetmask 255.0.0.0\n"
         "auto lo\n",
         "auto eth0\niface eth0 inet dhcp\n\nauto lo\n"},
        {"head written with tabs and double blanks",
         "auto eth0\niface  eth0\tinet  static\n  address 10.0.0.2\n",
         "auto eth0\niface eth0 inet dhcp\n\n"},
        {"indented stanza of another interface ends it",
         "auto eth0\niface eth0 inet static\n  address 10.0.0.2\n  iface wlan0 inet manual\n"
         "    mtu 1400\n",
         "auto eth0\niface eth0 inet dhcp\n\n  iface wlan0 inet manual\n    mtu 1400\n"},
        {"options named like keywords stay inside",
         "auto eth0\niface eth0 inet static\n  autoconf 1\nsourcery x\nsource-dir /x\n",
         "auto eth0\niface eth0 inet dhcp\n  autoconf 1\nsourcery x\n\nsource-dir /x\n"},
        {"comments after the last option stay, blank lines among them too",
         "auto eth0\niface eth0 inet static\n  address 10.0.0.2\n# old\n\n# older\n",
         "auto eth0\niface eth0 inet dhcp\n# old\n\n# older\n"},
        {"commented-out stanza after a blank line, a comment among the options kept",
         "auto eth0\niface eth0 inet static\n\t# lab\n  address 10.0.0.2\n\n#auto eth1\n"
         "#iface eth1 inet static\n\nauto wlan0\n",
         "auto eth0\niface eth0 inet dhcp\n\t# lab\n\n#auto eth1\n#iface eth1 inet static\n\n"
         "auto wlan0\n"},
        {"other options and comments stay in their order; address lines, and for dhcp scope, go",
         "auto eth0\niface eth0 inet static\n  pre-up ip link add br0 type bridge\n"
         "  address 10.0.0.2/8\n  # jumbo\n  mtu 9000\n\n  scope link\n  gateway 10.0.0.1\n"
         "  post-up true\n",
         "auto eth0\niface eth0 inet dhcp\n  pre-up ip link add br0 type bridge\n  # jumbo\n"
         "  mtu 9000\n  post-up true\n\n"},
        {"CRLF lines: head, options and comments read as ifupdown does",
         "auto eth0\r\niface eth0 inet static\r\n  address 10.0.0.2\r\n\r\n# note\r\n",
         "auto eth0\r\niface eth0 inet dhcp\n\r\n# note\r\n"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        std::string const once = replaceInterfaceStanza(c.input, "eth0", kDhcp);
        EXPECT_EQ(once, c.expected);
        EXPECT_EQ(replaceInterfaceStanza(once, "eth0", kDhcp), once);
    }
}
