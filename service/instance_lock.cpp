#include "service/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>

#include "base/process_state.h"

bool takeInstanceLock(char const* path) {
    lockfile = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    bool const busy = flock(lockfile, LOCK_EX | LOCK_NB) == -1 && errno == EWOULDBLOCK;
    // Fails only past 32 registrations; this is the first.
    static_cast<void>(std::atexit(lockfileExitHandler));
    if (busy) {
        std::cerr << "Another instance of this application is already running" << std::endl;
        return false;
    }
    return true;
}

void lockfileExitHandler() {
    flock(lockfile, LOCK_UN);
    close(lockfile);
}
