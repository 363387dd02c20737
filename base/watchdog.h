// Feeding systemd's watchdog (WatchdogSec= in the unit), so that a daemon stuck in its own code
// is restarted, while one that waits for a command within its limit is not.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>

// The interval WATCHDOG_USEC (usec) gives when it is meant for process self: WATCHDOG_PID (pid)
// unset or naming self. nullopt for no value, zero, anything but a whole number, or another
// process's watchdog.
std::optional<std::chrono::microseconds> watchdogInterval(char const* usec, char const* pid,
                                                          pid_t self);

// Takes WATCHDOG_USEC and WATCHDOG_PID out of the environment, so that the commands the daemon
// runs do not inherit them, and keeps the interval for feedWatchdog. Call once at start.
void adoptWatchdog();

// Sends WATCHDOG=1 when systemd watches and a quarter of its interval has passed since the last
// one; otherwise only reads the clock, so it may be called every turn of a loop. A failed send is
// one line on standard error.
void feedWatchdog();
