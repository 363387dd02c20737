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

Watchdog Watchdog::adopt(ServiceNotifier const& notifier) {
    auto const interval =
        watchdogInterval(std::getenv("WATCHDOG_USEC"), std::getenv("WATCHDOG_PID"), ::getpid());
    ::unsetenv("WATCHDOG_USEC");
    ::unsetenv("WATCHDOG_PID");
    Watchdog watchdog;
    if (interval) {
        watchdog.notifier_ = &notifier;
        watchdog.feedEvery_ = *interval / 4;
    }
    return watchdog;
}

void Watchdog::feed() {
    if (!feedEvery_) {
        return;
    }
    Clock::time_point const now = Clock::now();
    if (lastFed_ && now - *lastFed_ < *feedEvery_) {
        return;
    }
    lastFed_ = now;
    if (std::error_code const error = notifier_->send("WATCHDOG=1\n")) {
        std::cerr << "Feeding the service manager's watchdog: " << error.message() << std::endl;
    }
}
