#include "net/interface_address.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "net/linux_socket_manager.h"
#include "net/private_network.h"

namespace QEL_Finder {
namespace {

TEST(InterfaceName, MatchesTheNameAndItsAliasesOnly) {
    EXPECT_TRUE(interfaceNameMatches("eth0", "eth0"));
    EXPECT_TRUE(interfaceNameMatches("eth0:1", "eth0"));
    EXPECT_TRUE(interfaceNameMatches("eth0:dhcp", "eth0"));
    EXPECT_FALSE(interfaceNameMatches("veth0", "eth0"));
    EXPECT_FALSE(interfaceNameMatches("xeth0", "eth0"));
    EXPECT_FALSE(interfaceNameMatches("eth0.5", "eth0"));
    EXPECT_FALSE(interfaceNameMatches("eth01", "eth0"));
    EXPECT_FALSE(interfaceNameMatches("eth0:", "eth0"));
    EXPECT_FALSE(interfaceNameMatches("eth", "eth0"));
    EXPECT_FALSE(interfaceNameMatches("eth0", ""));
    EXPECT_FALSE(interfaceNameMatches("eth0:1", "eth0:2"));
}

// The bytes of a network-order value as they stand in memory.
std::string memoryBytes(unsigned int value) {
    unsigned char bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    char text[16];
    static_cast<void>(std::snprintf(text, sizeof text, "%02x %02x %02x %02x", bytes[0], bytes[1],
                                    bytes[2], bytes[3]));
    return text;
}

TEST(InterfaceAddress, ReadsTheNamedInterfaceOfAPrivateNetwork) {
    testing::runTestInPrivateNetwork([] {
        LinuxSocketManager manager;
        unsigned int address = 0;
        unsigned int mask = 0;
        ASSERT_TRUE(manager.getIpAddressFromInterfaceName("tveth0", address, mask));
        EXPECT_EQ(memoryBytes(address), "c0 00 02 01");
        EXPECT_EQ(memoryBytes(mask), "ff ff ff 00");

        // tveth1 carries its only address under an alias label.
        ASSERT_TRUE(manager.getIpAddressFromInterfaceName("tveth1", address, mask));
        EXPECT_EQ(memoryBytes(address), "c6 33 64 07");

        address = 0x11111111U;
        mask = 0x22222222U;
        EXPECT_FALSE(manager.getIpAddressFromInterfaceName("veth0", address, mask));
        EXPECT_FALSE(manager.getIpAddressFromInterfaceName("lo", address, mask))
            << "loopback addresses are never served";
        EXPECT_FALSE(manager.getIpAddressFromInterfaceName("", address, mask));
        EXPECT_EQ(address, 0x11111111U);
        EXPECT_EQ(mask, 0x22222222U);
    });
}

TEST(InterfaceAddress, FindsTheInterfaceListedAfterAFullFirstBuffer) {
    testing::runTestInPrivateNetwork([] {
        // Loopback comes first in the kernel's list: with these, tveth0's own address stands
        // past the first buffer of entries, and past its first doubling.
        ASSERT_EQ(std::system("for i in $(seq 2 17); do ip addr add 127.0.0.$i/8 dev lo; done"), 0);
        LinuxSocketManager manager;
        unsigned int address = 0;
        unsigned int mask = 0;
        ASSERT_TRUE(manager.getIpAddressFromInterfaceName("tveth0", address, mask));
        EXPECT_EQ(memoryBytes(address), "c0 00 02 01");
        ASSERT_TRUE(manager.getIpAddressFromInterfaceName("tveth1", address, mask));
        EXPECT_EQ(memoryBytes(address), "c6 33 64 07");
    });
}

}  // namespace
}  // namespace QEL_Finder
