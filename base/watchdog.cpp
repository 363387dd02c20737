#include "base/watchdog.h"

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "base/service_notify.h"
#include "base/whole_number.h"

namespace {

using Clock = std::chrono::steady_clock;

// A quarter of the interval: a late turn of the packet loop or a slow send still leaves three
// chances before systemd gives up on the daemon.
std::optional<Clock::duration> feedEvery;
std::optional<Clock::time_point> lastFed;

// The interval WATCHDOG_USEC (usec) gives when it is meant for process self.
std::optional<std::chrono::microseconds> watchdogInterval(char const* usec, char const* pid,
                                                          pid_t self) {
    if (usec == nullptr) {
        return std::nullopt;
    }
    // systemd names the main process; a command started before the daemon took the variables
    // out would otherwise feed it too.
    if (pid != nullptr && parseWholeNumber<pid_t>(pid) != self) {
        return std::nullopt;
    }
    auto const micros = parseWholeNumber<std::uint64_t>(usec);
    if (!micros || *micros == 0) {
        return std::nullopt;
    }
    return std::chrono::microseconds(*micros);
}

}  // namespace

void adoptWatchdog() {
    auto const interval =
        watchdogInterval(std::getenv("WATCHDOG_USEC"), std::getenv("WATCHDOG_PID"), ::getpid());
    ::unsetenv("WATCHDOG_USEC");
    ::unsetenv("WATCHDOG_PID");
    feedEvery.reset();
    lastFed.reset();
    if (interval) {
        feedEvery = *interval / 4;
    }
}

void feedWatchdog() {
    if (!feedEvery) {
        return;
    }
    Clock::time_point const now = Clock::now();
    if (lastFed && now - *lastFed < *feedEvery) {
        return;
    }
    lastFed = now;
    if (std::error_code const error = notifyServiceManager("WATCHDOG=1\n")) {
        std::cerr << "Feeding the service manager's watchdog: " << error.message() << std::endl;
    }
}
