#include "net/interface_address.h"

#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "base/interface_flags.h"

namespace QEL_Finder {

bool interfaceNameMatches(std::string_view entryName, std::string_view requested) {
    if (requested.empty() || !entryName.starts_with(requested)) {
        return false;
    }
    std::string_view const rest = entryName.substr(requested.size());
    return rest.empty() || (rest.size() > 1 && rest.front() == ':');
}

namespace {

unsigned int ipv4Of(sockaddr const& address) {
    sockaddr_in inet{};
    std::memcpy(&inet, &address, sizeof inet);
    return inet.sin_addr.s_addr;
}

// Every IPv4 address of the host, each under its label ("eth0", "eth0:1"), in the kernel's order;
// empty when the list cannot be read.
std::vector<ifreq> ipv4Addresses(Fd const& query) {
    std::vector<ifreq> entries(8);
    for (;;) {
        ifconf list{};
        list.ifc_len = static_cast<int>(entries.size() * sizeof(ifreq));
        list.ifc_req = entries.data();
        if (::ioctl(query.get(), SIOCGIFCONF, &list) != 0) {
            return {};
        }
        // A full buffer may have cut the list short.
        if (static_cast<std::size_t>(list.ifc_len) < entries.size() * sizeof(ifreq)) {
            entries.resize(static_cast<std::size_t>(list.ifc_len) / sizeof(ifreq));
            return entries;
        }
        entries.resize(entries.size() * 2);
    }
}

}  // namespace

// The address list comes from the interface ioctls rather than getifaddrs: getifaddrs dumps every
// link with its statistics and every address of every family over netlink, and this runs twice
// for every reply. The entries that can match all belong to the one named device, so the order
// between devices, the only way the two lists differ, never decides.
bool findInterfaceAddress(char const* name, unsigned int& address, unsigned int& mask) {
    if (name == nullptr) {
        return false;
    }
    std::error_code ec;
    Fd const query = openInterfaceQuery(ec);
    if (!query) {
        return false;
    }
    // An alias listed first (a service address added before the interface's own) must not
    // become the device's address: the interface's own label wins, an alias serves only an
    // interface with no address of its own (a link-local "eth0:avahi").
    std::optional<std::pair<unsigned int, unsigned int>> alias;
    for (ifreq const& entry : ipv4Addresses(query)) {
        std::string_view const label(entry.ifr_name, strnlen(entry.ifr_name, IFNAMSIZ));
        if (entry.ifr_addr.sa_family != AF_INET || !interfaceNameMatches(label, name) ||
            (alias && label != name)) {
            continue;
        }
        short flags = 0;        // a label's flags are its device's
        ifreq netmask = entry;  // with the address, so the mask is this address's own
        if (readInterfaceFlags(query, label, flags) || (flags & IFF_LOOPBACK) != 0 ||
            ::ioctl(query.get(), SIOCGIFNETMASK, &netmask) != 0) {
            continue;
        }
        std::pair const found{ipv4Of(entry.ifr_addr), ipv4Of(netmask.ifr_netmask)};
        if (label != name) {
            alias = found;
            continue;
        }
        std::tie(address, mask) = found;
        return true;
    }
    if (alias) {
        std::tie(address, mask) = *alias;
    }
    return alias.has_value();
}

}  // namespace QEL_Finder
