#include "tools/gvcp-probe/local_interfaces.h"

#include <net/if.h>

#include <gtest/gtest.h>

#include "base/ipv4_address.h"
#include "net/private_network.h"

namespace gvcp_probe {
namespace {

std::vector<std::string> namesOf(std::variant<std::vector<LocalInterface>, std::string> const& r) {
    if (auto const* error = std::get_if<std::string>(&r)) {
        return {"error: " + *error};
    }
    std::vector<std::string> names;
    for (LocalInterface const& i : std::get<std::vector<LocalInterface>>(r)) {
        names.push_back(i.name);
    }
    return names;
}

TEST(LocalInterfaces, ChoosesUpInterfacesWithAnAddressOrTheNamedOnes) {
    std::uint32_t const address = *parseIpv4("192.0.2.1");
    std::vector<LocalInterface> const all{
        {"lo", 1, true, true, *parseIpv4("127.0.0.1")},
        {"eth0", 2, true, false, address},
        {"eth1", 3, false, false, address},
        {"eth2", 4, true, false, 0},
        {"office0", 5, true, false, address},
    };
    EXPECT_EQ(namesOf(interfacesToAsk(all, {})), (std::vector<std::string>{"eth0", "office0"}));
    EXPECT_EQ(namesOf(interfacesToAsk(all, {"office0", "lo", "office0"})),
              (std::vector<std::string>{"office0", "lo"}));
    EXPECT_EQ(namesOf(interfacesToAsk(all, {"eth0", "eth9"})),
              (std::vector<std::string>{"error: no interface 'eth9'"}));
    EXPECT_EQ(namesOf(interfacesToAsk(all, {"eth1"})),
              (std::vector<std::string>{"error: interface 'eth1' is down"}));
    EXPECT_EQ(namesOf(interfacesToAsk(all, {"eth2"})),
              (std::vector<std::string>{"error: interface 'eth2' is without an IPv4 address"}));
    EXPECT_EQ(namesOf(interfacesToAsk({all[0], all[2], all[3]}, {})),
              (std::vector<std::string>{"error: no network interface is up with an IPv4 address"}));

    EXPECT_EQ(interfaceName(all, 5), "office0");
    EXPECT_EQ(interfaceName(all, 9), "interface 9");
}

// tveth1's only address stands under its alias label tveth1:1.
TEST(LocalInterfaces, ListsEveryLinkWithItsIndexAndFirstAddress) {
    QEL_Finder::testing::runTestInPrivateNetwork([] {
        auto const listed = listLocalInterfaces();
        ASSERT_TRUE(std::holds_alternative<std::vector<LocalInterface>>(listed));
        auto const& all = std::get<std::vector<LocalInterface>>(listed);
        ASSERT_EQ(namesOf(listed), (std::vector<std::string>{"lo", "tveth1", "tveth0"}));
        std::string const addresses[] = {"127.0.0.1", "198.51.100.7", "192.0.2.1"};
        for (std::size_t i = 0; i < all.size(); ++i) {
            EXPECT_EQ(all[i].index, static_cast<int>(::if_nametoindex(all[i].name.c_str())));
            EXPECT_EQ(formatIpv4(all[i].address), addresses[i]) << all[i].name;
            EXPECT_TRUE(all[i].up) << all[i].name;
            EXPECT_EQ(all[i].loopback, i == 0) << all[i].name;
        }
    });
}

}  // namespace
}  // namespace gvcp_probe
