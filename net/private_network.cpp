#include "net/private_network.h"

#include <sched.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

namespace QEL_Finder::testing {

namespace {

// True when this process may make network namespaces.
bool canMakePrivateNetwork() {
    return ::geteuid() == 0;
}

// Runs body on a thread in a new network namespace; an empty string, or why the namespace could
// not be set up.
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

}  // namespace

void runTestInPrivateNetwork(std::function<void()> const& body) {
    if (!canMakePrivateNetwork()) {
        GTEST_SKIP() << "needs root to make a private network namespace";
    }
    std::string const failure = runInPrivateNetwork(body);
    ASSERT_EQ(failure, "");
}

}  // namespace QEL_Finder::testing
