// Process-wide state shared between the entry point, the signal handler and the subsystems.
#pragma once

#include <atomic>

// Cleared by the stop-signal handler; the packet loop tests it after every receive attempt.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name the rest of the code has always used.
extern std::atomic<bool> _running;
// Set by "-v" and never cleared; gates the progress lines on standard output.
extern bool Verbose;
// Descriptor of "/var/lock/Tarn_Finder.lock": 0 until the lock is tried, -1 when it could not be
// opened.
extern int lockfile;
