#include "base/shell_command.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <iostream>
#include <thread>

#include "base/fd.h"
#include "base/file_io.h"
#include "base/session_kill.h"
#include "base/watchdog.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// More than any route table or SNMP answer; what a runaway command prints beyond it is read and
// dropped, so that it never blocks on a full pipe.
constexpr std::size_t kMaxOutputBytes = std::size_t{1} << 20;
// Without a pidfd (a kernel before 5.3): the longest pause between two looks at a command that has
// not ended, what the daemon may lose after an ifup ends, against waking 50 times a second
// through a 5-minute one.
constexpr milliseconds kLongestPause{20};
// The longest wait for output or an end: the watchdog is fed between two, so a tenth of a second
// serves any interval down to half a second, for ten wake-ups a second.
constexpr milliseconds kLongestPoll{100};

Watchdog* fedDuringCommands = nullptr;

void feedWatchdog() {
    if (fedDuringCommands != nullptr) {
        fedDuringCommands->feed();
    }
}

std::error_code expired() {
    return std::make_error_code(std::errc::timed_out);
}

// "5 min", "10 s" or "1500 ms": the limit as it was written.
std::string limitText(milliseconds limit) {
    auto const count = limit.count();
    if (count % 60'000 == 0) {
        return std::to_string(count / 60'000) + " min";
    }
    if (count % 1000 == 0) {
        return std::to_string(count / 1000) + " s";
    }
    return std::to_string(count) + " ms";
}

// The spawn's attributes and file actions, destroyed on every path.
class SpawnSetup {
  public:
    SpawnSetup() {
        ::posix_spawnattr_init(&attributes);
        ::posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(SpawnSetup const&) = delete;
    SpawnSetup& operator=(SpawnSetup const&) = delete;

    posix_spawnattr_t attributes{};
    posix_spawn_file_actions_t actions{};
};

// Starts the shell as the leader of a new session, which everything it starts stays in unless it
// detaches itself; its signals at their defaults and none blocked, whatever the daemon's handlers,
// with its standard output on output unless that is -1. The shell's PID, or the error.
std::variant<pid_t, std::error_code> spawnShell(std::string const& command, int output) {
    SpawnSetup setup;
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    int error = ::posix_spawnattr_setflags(
        &setup.attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    if (error == 0) {
        error = ::posix_spawnattr_setsigdefault(&setup.attributes, &all);
    }
    if (error == 0) {
        error = ::posix_spawnattr_setsigmask(&setup.attributes, &none);
    }
    if (error == 0 && output >= 0) {
        error = ::posix_spawn_file_actions_adddup2(&setup.actions, output, STDOUT_FILENO);
    }
    std::string shell = "sh";
    std::string flag = "-c";
    std::string line = command;
    std::array<char*, 4> argv{shell.data(), flag.data(), line.data(), nullptr};
    pid_t child = 0;
    if (error == 0) {
        error = ::posix_spawn(&child, "/bin/sh", &setup.actions, &setup.attributes, argv.data(),
                              environ);
    }
    if (error != 0) {
        return std::error_code(error, std::system_category());
    }
    return child;
}

// Waits for the child until deadline, feeding the watchdog: its wait status, the error of
// waitpid, or expired() at the deadline. A pidfd wakes the wait the moment the child ends: the
// route query before every discovery answer costs no more than with pclose's blocking wait.
std::variant<int, std::error_code> waitUntil(pid_t child, Clock::time_point deadline) {
    // Through syscall: glibc's <sys/pidfd.h> declares pidfd_open without C linkage for C++.
    Fd const endNotice(static_cast<int>(::syscall(SYS_pidfd_open, child, 0)));
    std::chrono::microseconds pause{50};
    for (;;) {
        int status = 0;
        pid_t const ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child) {
            return status;
        }
        if (ended < 0 && errno != EINTR) {
            return lastError();
        }
        Clock::time_point const now = Clock::now();
        if (now >= deadline) {
            return expired();
        }
        feedWatchdog();
        if (endNotice) {
            // Readable once the child has ended; an interrupted poll only looks again.
            pollfd end{endNotice.get(), POLLIN, 0};
            auto const wait = std::chrono::ceil<milliseconds>(
                std::min<Clock::duration>(deadline - now, kLongestPoll));
            static_cast<void>(::poll(&end, 1, static_cast<int>(wait.count())));
            continue;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min<std::chrono::microseconds>(pause * 2, kLongestPause);
    }
}

// Reads fd into text until it closes: none, the error of poll or read, or expired() at the
// deadline.
std::error_code readUntilClosed(int fd, Clock::time_point deadline, std::string& text) {
    std::array<char, 4096> chunk{};
    for (;;) {
        Clock::time_point const now = Clock::now();
        if (now >= deadline) {
            return expired();
        }
        feedWatchdog();
        auto const wait = std::chrono::ceil<milliseconds>(
            std::min<Clock::duration>(deadline - now, kLongestPoll));
        pollfd ready{fd, POLLIN, 0};
        int const polled = ::poll(&ready, 1, static_cast<int>(wait.count()));
        if (polled < 0 && errno != EINTR) {
            return lastError();
        }
        if (polled <= 0) {
            continue;
        }
        std::size_t got = 0;
        if (std::error_code const error = readSome(fd, chunk, got); error || got == 0) {
            return error;
        }
        std::size_t const kept = std::min(got, kMaxOutputBytes - text.size());
        text.append(chunk.data(), kept);
    }
}

// The end of a command past its limit: the line, then its session killed and the shell reaped.
void killCommand(pid_t child, std::string const& command, milliseconds limit) {
    std::cerr << "Command '" << command << "' still ran after " << limitText(limit)
              << ": killed its processes" << std::endl;
    killSession(child);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

// Waits out the rest of the limit for a spawned shell, killing its processes once it has passed.
std::variant<int, std::error_code> finish(pid_t child, std::string const& command,
                                          milliseconds limit, Clock::time_point deadline) {
    std::variant<int, std::error_code> ended = waitUntil(child, deadline);
    if (auto const* error = std::get_if<std::error_code>(&ended); error && *error == expired()) {
        killCommand(child, command, limit);
    }
    return ended;
}

}  // namespace

WatchdogFedDuringCommands::WatchdogFedDuringCommands(Watchdog& watchdog) {
    fedDuringCommands = &watchdog;
}

WatchdogFedDuringCommands::~WatchdogFedDuringCommands() {
    fedDuringCommands = nullptr;
}

std::variant<int, std::error_code> runShell(std::string const& command, milliseconds limit) {
    Clock::time_point const deadline = Clock::now() + limit;
    std::variant<pid_t, std::error_code> const child = spawnShell(command, -1);
    if (auto const* error = std::get_if<std::error_code>(&child)) {
        return *error;
    }
    return finish(std::get<pid_t>(child), command, limit, deadline);
}

std::variant<CommandOutput, std::error_code> readCommandOutput(std::string const& command,
                                                               milliseconds limit) {
    Clock::time_point const deadline = Clock::now() + limit;
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
        return lastError();
    }
    Fd const readEnd(ends[0]);
    Fd writeEnd(ends[1]);
    std::variant<pid_t, std::error_code> const child = spawnShell(command, writeEnd.get());
    // Only the command's copy may hold the pipe open, or its end would never be seen.
    static_cast<void>(writeEnd.close());
    if (auto const* error = std::get_if<std::error_code>(&child)) {
        return *error;
    }
    pid_t const shell = std::get<pid_t>(child);
    CommandOutput output;
    std::error_code const readError = readUntilClosed(readEnd.get(), deadline, output.text);
    if (readError == expired()) {
        killCommand(shell, command, limit);
        return readError;
    }
    std::variant<int, std::error_code> const ended = finish(shell, command, limit, deadline);
    if (auto const* error = std::get_if<std::error_code>(&ended)) {
        return *error;
    }
    if (readError) {
        return readError;
    }
    output.status = std::get<int>(ended);
    return output;
}
