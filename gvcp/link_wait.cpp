#include "gvcp/link_wait.h"

#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "base/process_state.h"

namespace QEL_Finder {

namespace {
constexpr useconds_t kPollInterval = 1000;
constexpr useconds_t kSettlePause = 100000;  // lets the new address settle before we answer
constexpr auto kTimeout = std::chrono::seconds(5);
}  // namespace

void waitForLink(std::string const& interfaceName) {
    if (Verbose) {
        std::cout << "Waiting for link..." << std::endl;
    }
    int const probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (probe == -1) {
        return;
    }
    ifreq request{};
    // One byte short of the field, so the name always ends in a zero byte.
    std::memcpy(request.ifr_name, interfaceName.data(),
                std::min<std::size_t>(interfaceName.size(), IFNAMSIZ - 1));
    auto const start = std::chrono::steady_clock::now();
    for (;;) {
        ::usleep(kPollInterval);
        if (::ioctl(probe, SIOCGIFFLAGS, &request) == -1) {
            std::perror("SIOCGIFFLAGS failed");
            break;
        }
        if (std::chrono::steady_clock::now() - start > kTimeout) {
            std::cout << "Waiting for link timeout" << std::endl;
            break;
        }
        if ((request.ifr_flags & IFF_RUNNING) != 0) {
            std::cout << "Link is ready" << std::endl;
            ::usleep(kSettlePause);
            break;
        }
    }
    ::close(probe);
}

}  // namespace QEL_Finder
