#include "base/interface_flags.h"

#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace QEL_Finder {

namespace {

ifreq requestFor(std::string_view name) {
    ifreq request{};
    // One byte short of the field, so the name always ends in a zero byte.
    std::memcpy(request.ifr_name, name.data(), std::min<std::size_t>(name.size(), IFNAMSIZ - 1));
    return request;
}

}  // namespace

Fd openInterfaceQuery(std::error_code& ec) {
    Fd query(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    ec = query ? std::error_code{} : lastError();
    return query;
}

std::error_code readInterfaceFlags(Fd const& query, std::string_view name, short& flags) {
    ifreq request = requestFor(name);
    if (::ioctl(query.get(), SIOCGIFFLAGS, &request) == -1) {
        return lastError();
    }
    flags = request.ifr_flags;
    return {};
}

std::error_code writeInterfaceFlags(Fd const& query, std::string_view name, short flags) {
    ifreq request = requestFor(name);
    request.ifr_flags = flags;
    return ::ioctl(query.get(), SIOCSIFFLAGS, &request) == -1 ? lastError() : std::error_code{};
}

}  // namespace QEL_Finder
