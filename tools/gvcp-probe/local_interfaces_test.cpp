#include "tools/gvcp-probe/local_interfaces.h"

#include <gtest/gtest.h>

#include "base/ipv4_address.h"

namespace gvcp_probe {
namespace {

// The chosen names, or "error: " and the error.
std::string chosen(std::vector<LocalInterface> const& all, std::vector<std::string> const& named) {
    auto const result = interfacesToAsk(all, named);
    if (auto const* error = std::get_if<std::string>(&result)) {
        return "error: " + *error;
    }
    std::string names;
    for (LocalInterface const& i : std::get<std::vector<LocalInterface>>(result)) {
        names += i.name + ' ';
    }
    return names;
}

TEST(LocalInterfaces, ChoosesUpInterfacesWithAnAddressOrTheNamedOnes) {
    std::uint32_t const address = *parseIpv4("192.0.2.1");
    std::vector<LocalInterface> const all{{"lo", 1, true, true, *parseIpv4("127.0.0.1")},
                                          {"eth0", 2, true, false, address},
                                          {"eth1", 3, false, false, address},
                                          {"eth2", 4, true, false, 0},
                                          {"office0", 5, true, false, address}};
    EXPECT_EQ(chosen(all, {}), "eth0 office0 ");
    EXPECT_EQ(chosen(all, {"office0", "lo", "office0"}), "office0 lo ");
    EXPECT_EQ(chosen(all, {"eth0", "eth9"}), "error: no interface 'eth9'");
    EXPECT_EQ(chosen(all, {"eth1"}), "error: interface 'eth1' is down");
    EXPECT_EQ(chosen({all[0], all[2], all[3]}, {}),
              "error: no network interface is up with an IPv4 address");
}

}  // namespace
}  // namespace gvcp_probe
