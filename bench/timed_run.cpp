// A measurement shim for the force-IP benchmark: runs a program and appends one line
// "LABEL START_NS END_NS STATUS" to a log, the times on the monotonic clock. Put first on PATH
// under the name of a real tool, it times every run of that tool without changing what it does.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/monotonic_clock.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        static_cast<void>(std::fprintf(stderr, "usage: timed_run LOG LABEL PROGRAM [ARG...]\n"));
        return 2;
    }
    char const* const log = argv[1];
    char const* const label = argv[2];
    long long const start = monotonicNs();
    pid_t const child = ::fork();
    if (child == -1) {
        static_cast<void>(std::fprintf(stderr, "timed_run: fork: %s\n", std::strerror(errno)));
        return 1;
    }
    if (child == 0) {
        ::execv(argv[3], argv + 3);
        static_cast<void>(
            std::fprintf(stderr, "timed_run: %s: %s\n", argv[3], std::strerror(errno)));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) == -1) {
        if (errno != EINTR) {
            static_cast<void>(
                std::fprintf(stderr, "timed_run: waitpid: %s\n", std::strerror(errno)));
            return 1;
        }
    }
    long long const end = monotonicNs();
    int const code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

    // One write on an O_APPEND descriptor, so lines of runs that overlap stay whole.
    std::string const line = std::string(label) + " " + std::to_string(start) + " " +
                             std::to_string(end) + " " + std::to_string(code) + "\n";
    int const fd = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd == -1 || ::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        static_cast<void>(
            std::fprintf(stderr, "timed_run: writing %s: %s\n", log, std::strerror(errno)));
    }
    if (fd != -1) {
        ::close(fd);
    }
    return code;
}
