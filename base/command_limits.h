// How long each command the daemon runs may take before it and all it started are killed.
#pragma once

#include <chrono>

// ifdown and ifup: 5 min, the bound Debian's own ifup@.service puts on ifup; a hook that never
// returns must not silence the device for longer. A test build (TARN_TEST_COMMAND_LIMITS) takes
// TARN_TEST_IFUPDOWN_LIMIT_MS from the environment instead when it holds a whole number above 0.
std::chrono::milliseconds ifupdownLimit();

// Every other command (the route and SNMP queries, sysctl, the resolver file): each returns within
// a second or two when it works at all.
inline constexpr std::chrono::milliseconds kQueryLimit{10'000};
