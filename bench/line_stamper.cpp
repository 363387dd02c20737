// Copies standard input to standard output line by line, each line prefixed with the time it was
// read on the monotonic clock, in nanoseconds: "NS TEXT". Gives the force-IP benchmark the
// arrival times of a program's output lines, which carry no times of their own.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "bench/monotonic_clock.h"

int main() {
    std::string pending;
    char chunk[4096];
    for (;;) {
        ssize_t const got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got == -1 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        // Lines that arrive in one read share its time.
        long long const now = monotonicNs();
        pending.append(chunk, static_cast<std::size_t>(got));
        std::size_t begin = 0;
        for (std::size_t end = pending.find('\n'); end != std::string::npos;
             end = pending.find('\n', begin)) {
            std::printf("%lld %.*s\n", now, static_cast<int>(end - begin), pending.data() + begin);
            begin = end + 1;
        }
        pending.erase(0, begin);
        static_cast<void>(std::fflush(stdout));
    }
    if (!pending.empty()) {
        std::printf("%lld %s\n", monotonicNs(), pending.c_str());
    }
    return 0;
}
