#include "netconfig/link_wait.h"

#include <net/if.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <system_error>

#include "base/interface_flags.h"
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
    std::error_code ec;
    Fd const probe = openInterfaceQuery(ec);
    if (!probe) {
        return;
    }
    auto const start = std::chrono::steady_clock::now();
    for (;;) {
        ::usleep(kPollInterval);
        short flags = 0;
        if ((ec = readInterfaceFlags(probe, interfaceName, flags))) {
            std::cerr << "SIOCGIFFLAGS failed: " << ec.message() << std::endl;
            break;
        }
        if (std::chrono::steady_clock::now() - start > kTimeout) {
            std::cout << "Waiting for link timeout" << std::endl;
            break;
        }
        if ((flags & IFF_RUNNING) != 0) {
            std::cout << "Link is ready" << std::endl;
            ::usleep(kSettlePause);
            break;
        }
    }
}

}  // namespace QEL_Finder
