// The benchmark helpers' one time base: the monotonic clock in nanoseconds, so times taken by
// different processes on the device host can be subtracted.
#pragma once

#include <ctime>

inline long long monotonicNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}
