#include "netconfig/interface_state.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/temp_dir.h"
#include "base/text_file.h"
#include "netconfig/test_sandbox.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using Mac = std::array<std::uint8_t, 6>;

TEST(MacAddressReader, ParsesOrRejectsWhatSysfsMightHold) {
    struct Case {
        std::string content;
        Mac expected;
        std::string message;
    } const cases[] = {
        {"00:1a:2b:3c:4d:5e\n", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, ""},
        {"0:1:2:3:4:F", {0, 1, 2, 3, 4, 0xF}, ""},
        {"00:1a:2b", {}, "Parsing mac address: 00:1a:2b\n"},
        {"00:1a:2b:3c:4d:zz", {}, "Parsing mac address: 00:1a:2b:3c:4d:zz\n"},
        {"", {}, ""},
    };
    TempDir dir;
    for (Case const& c : cases) {
        SCOPED_TRACE(c.content);
        writeText(dir.path() / "address", c.content);
        CaptureStderr();
        EXPECT_EQ(readMacAddressFile(dir.path() / "address"), c.expected);
        EXPECT_EQ(GetCapturedStderr(), c.message);
    }
}

TEST(MacAddressReader, NamesTheSysfsPathOfAMissingInterface) {
    CaptureStderr();
    EXPECT_EQ(getMacFromInterfaceName("tarn-absent0"), Mac{});
    EXPECT_EQ(GetCapturedStderr(), "Could not open file: /sys/class/net/tarn-absent0/address\n");
}

TEST(DhcpState, OnlyTheInterfacesOwnInetStanzaCountsWhereverIfupdownReadsIt) {
    struct Case {
        std::string content;
        bool dhcp;
    } const cases[] = {
        {"auto eth0\niface eth0 inet dhcp\n", true},
        {"iface eth0 inet dhcp", true},
        {"iface eth0 inet  dhcp # by default\n", true},
        {"auto eth0\r\niface eth0 inet dhcp\r\n", true},
        {"iface eth0 inet static\n  address 10.0.0.2\n", false},
        {"  iface\teth0  inet dhcp\n", true},
        {"iface eth0.5 inet dhcp\niface eth0 inet static\n", false},
        {"iface eth01 inet dhcp\n", false},
        {"iface eth0 inet6 dhcp\n", false},
        {"iface eth0 inet static # no longer dhcp\n", false},
        {"# iface eth0 inet dhcp\n", false},
        {"iface eth0 inet dhcpx\n", false},
        {"auto lo\nsource interfaces.d/*\n", true},
        {"source-directory interfaces.d\n", true},
        {"# source interfaces.d/*\n", false},
    };
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "interfaces.d");
    writeText(dir.path() / "interfaces.d" / "eth0", "auto eth0\niface eth0 inet dhcp\n");
    for (Case const& c : cases) {
        SCOPED_TRACE(c.content);
        writeText(dir.path() / "interfaces", c.content);
        EXPECT_EQ(configuresDhcpAt(dir.path() / "interfaces", "eth0"), c.dhcp);
    }
}

TEST(DhcpState, MissingFileIsReportedAsNotDhcp) {
    TempDir dir;
    CaptureStderr();
    EXPECT_FALSE(configuresDhcpAt(dir.path() / "interfaces", "eth0"));
    EXPECT_EQ(GetCapturedStderr(),
              "Unable to open configuration file " + (dir.path() / "interfaces").string() + "\n");
}
