// Feeding systemd's watchdog (WatchdogSec= in the unit), so that a daemon stuck in its own code
// is restarted, while one that waits for a command within its limit is not.
#pragma once

#include <chrono>
#include <optional>

#include "base/service_notify.h"

class Watchdog {
  public:
    // Not watched: feeding does nothing.
    Watchdog() = default;

    // Takes WATCHDOG_USEC and WATCHDOG_PID out of the environment, so that the commands the
    // daemon runs do not inherit them, and keeps the interval when WATCHDOG_PID is unset or names
    // this process (none for zero or anything but a whole number). The feeds go through notifier,
    // which must outlive the watchdog.
    static Watchdog adopt(ServiceNotifier const& notifier);

    // Sends WATCHDOG=1 when systemd watches and a quarter of its interval has passed since the
    // last one; otherwise only reads the clock, so it may be called every turn of a loop. A failed
    // send is one line on standard error.
    void feed();

  private:
    using Clock = std::chrono::steady_clock;

    ServiceNotifier const* notifier_ = nullptr;
    // A quarter of the interval: a late turn of the packet loop or a slow send still leaves three
    // chances before systemd gives up on the daemon.
    std::optional<Clock::duration> feedEvery_;
    std::optional<Clock::time_point> lastFed_;
};
