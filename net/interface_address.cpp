#include "net/interface_address.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace QEL_Finder {

bool interfaceNameMatches(std::string_view entryName, std::string_view requested) {
    if (requested.empty() || !entryName.starts_with(requested)) {
        return false;
    }
    std::string_view const rest = entryName.substr(requested.size());
    return rest.empty() || (rest.size() > 1 && rest.front() == ':');
}

namespace {

unsigned int ipv4Of(sockaddr const* address) {
    if (address == nullptr) {
        return 0;
    }
    sockaddr_in inet{};
    std::memcpy(&inet, address, sizeof inet);
    return inet.sin_addr.s_addr;
}

}  // namespace

bool findInterfaceAddress(char const* name, unsigned int& address, unsigned int& mask) {
    if (name == nullptr) {
        return false;
    }
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return false;
    }
    bool found = false;
    for (ifaddrs const* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_LOOPBACK) != 0U || entry->ifa_name == nullptr ||
            !interfaceNameMatches(entry->ifa_name, name)) {
            continue;
        }
        address = ipv4Of(entry->ifa_addr);
        mask = ipv4Of(entry->ifa_netmask);
        found = true;
        break;
    }
    ::freeifaddrs(list);
    return found;
}

}  // namespace QEL_Finder
