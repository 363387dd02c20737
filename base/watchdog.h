// Feeding systemd's watchdog (WatchdogSec= in the unit), so that a daemon stuck in its own code
// is restarted, while one that waits for a command within its limit is not.
#pragma once

// Takes WATCHDOG_USEC and WATCHDOG_PID out of the environment, so that the commands the daemon
// runs do not inherit them, and keeps the interval for feedWatchdog when WATCHDOG_PID is unset or
// names this process (none for zero or anything but a whole number). Call once at start.
void adoptWatchdog();

// Sends WATCHDOG=1 when systemd watches and a quarter of its interval has passed since the last
// one; otherwise only reads the clock, so it may be called every turn of a loop. A failed send is
// one line on standard error.
void feedWatchdog();
