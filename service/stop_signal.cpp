#include "service/stop_signal.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>

#include "base/process_state.h"

namespace {

// write(2) straight to the descriptor: iostreams are not safe inside a signal handler, and the
// daemon flushes every line it writes, so nothing half-written sits in a buffer here.
template <std::size_t N>
void writeLine(char const (&text)[N]) {
    if (write(STDOUT_FILENO, text, N - 1) < 0) {
        // Nothing sensible can be done about a lost line inside a signal handler.
    }
}

}  // namespace

void signalHandler(int signal) {
    int const savedErrno = errno;
    if (signal == SIGINT) {
        writeLine("Sigint received\n");
    } else if (signal == SIGTERM) {
        writeLine("Sigterm received\n");
    }
    _running.store(false, std::memory_order_release);
    errno = savedErrno;
}

void installStopHandlers() {
    // Fails only for an invalid signal number.
    static_cast<void>(std::signal(SIGINT, signalHandler));
    static_cast<void>(std::signal(SIGTERM, signalHandler));
}
