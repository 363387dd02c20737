// Test helper: a throw-away network namespace, so tests can use broadcast and port 3956 without
// touching the host's interfaces.
#pragma once

#include <functional>

namespace QEL_Finder::testing {

// Addresses of the private network: tveth0 has 192.0.2.1/24, its peer tveth1 only the alias
// tveth1:1 with 198.51.100.7/24.
inline constexpr char const* kPrivateAddress = "192.0.2.1";
inline constexpr char const* kPrivateSubnetBroadcast = "192.0.2.255";

// Runs a test's body on a thread that lives in a new network namespace, which goes away with the
// thread. Skips the test when this process may not make one, fails it when it cannot be set up.
void runTestInPrivateNetwork(std::function<void()> const& body);

}  // namespace QEL_Finder::testing
