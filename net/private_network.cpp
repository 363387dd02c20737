#include "net/private_network.h"

#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace QEL_Finder::testing {

bool canMakePrivateNetwork() {
    return ::geteuid() == 0;
}

std::string runInPrivateNetwork(std::function<void()> const& body) {
    std::string failure;
    // A network namespace belongs to a thread: only this thread and the commands it starts
    // see the private interfaces, the rest of the test process stays on the host's.
    std::thread worker([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            failure = "unshare(CLONE_NEWNET) failed";
            return;
        }
        char const* const setup =
            "ip link set lo up && ip link add tveth0 type veth peer name tveth1 && "
            "ip addr add 192.0.2.1/24 broadcast 192.0.2.255 dev tveth0 && "
            "ip addr add 198.51.100.7/24 dev tveth1 label tveth1:1 && "
            "ip link set tveth0 up && ip link set tveth1 up";
        if (std::system(setup) != 0) {
            failure = "setting up the private interfaces failed";
            return;
        }
        body();
    });
    worker.join();
    return failure;
}

}  // namespace QEL_Finder::testing
