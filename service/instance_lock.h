// The single-instance lock on "/var/lock/Tarn_Finder.lock".
#pragma once

inline constexpr char kLockFilePath[] = "/var/lock/Tarn_Finder.lock";

// Opens (creating, mode 0666) the lock file into lockfile, tries an exclusive non-blocking flock
// and registers lockfileExitHandler with atexit whatever happened. False only when another
// process holds the lock, after saying so on standard error; any other failure is ignored and
// the daemon runs without the lock.
bool takeInstanceLock(char const* path = kLockFilePath);

// Releases the lock and closes lockfile; results ignored. Runs at process exit.
void lockfileExitHandler();
