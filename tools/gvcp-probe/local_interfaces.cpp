#include "tools/gvcp-probe/local_interfaces.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#include "tools/gvcp-probe/device_output.h"

namespace gvcp_probe {

namespace {

struct FreeAddressList {
    void operator()(ifaddrs* list) const { ::freeifaddrs(list); }
};

LocalInterface* byName(std::vector<LocalInterface>& all, std::string_view name) {
    auto const found = std::find_if(all.begin(), all.end(),
                                    [&](LocalInterface const& i) { return i.name == name; });
    return found == all.end() ? nullptr : &*found;
}

}  // namespace

std::variant<std::vector<LocalInterface>, std::string> listLocalInterfaces() {
    ifaddrs* first = nullptr;
    if (::getifaddrs(&first) != 0) {
        return std::string("listing the network interfaces: ") + std::strerror(errno);
    }
    std::unique_ptr<ifaddrs, FreeAddressList> const owned(first);
    // First the links, one per device with its index, then their addresses.
    std::vector<LocalInterface> all;
    for (ifaddrs const* entry = first; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) {
            continue;
        }
        sockaddr_ll link{};
        std::memcpy(&link, entry->ifa_addr, sizeof link);
        all.push_back(LocalInterface{entry->ifa_name, link.sll_ifindex,
                                     (entry->ifa_flags & IFF_UP) != 0,
                                     (entry->ifa_flags & IFF_LOOPBACK) != 0, 0});
    }
    for (ifaddrs const* entry = first; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        std::string_view const label(entry->ifa_name);
        LocalInterface* const device = byName(all, label.substr(0, label.find(':')));
        if (device != nullptr && device->address == 0) {
            sockaddr_in inet{};
            std::memcpy(&inet, entry->ifa_addr, sizeof inet);
            device->address = inet.sin_addr.s_addr;
        }
    }
    return all;
}

std::variant<std::vector<LocalInterface>, std::string> interfacesToAsk(
    std::vector<LocalInterface> const& all, std::vector<std::string> const& named) {
    std::vector<LocalInterface> chosen;
    if (named.empty()) {
        std::copy_if(all.begin(), all.end(), std::back_inserter(chosen),
                     [](LocalInterface const& i) { return i.up && !i.loopback && i.address != 0; });
        if (chosen.empty()) {
            return std::string("no network interface is up with an IPv4 address");
        }
        return chosen;
    }
    for (std::string const& name : named) {
        auto const found = std::find_if(all.begin(), all.end(),
                                        [&](LocalInterface const& i) { return i.name == name; });
        if (found == all.end()) {
            return "no interface " + quoted(name);
        }
        if (!found->up || found->address == 0) {
            return "interface " + quoted(name) + " is " +
                   (found->up ? "without an IPv4 address" : "down");
        }
        if (std::none_of(chosen.begin(), chosen.end(),
                         [&](LocalInterface const& i) { return i.index == found->index; })) {
            chosen.push_back(*found);
        }
    }
    return chosen;
}

std::string interfaceName(std::vector<LocalInterface> const& all, int index) {
    auto const found = std::find_if(all.begin(), all.end(),
                                    [&](LocalInterface const& i) { return i.index == index; });
    return found == all.end() ? "interface " + std::to_string(index) : found->name;
}

}  // namespace gvcp_probe
