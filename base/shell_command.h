// Shell command lines run under a time limit: the one wrapper of fork and exec for every command
// the daemon runs.
#pragma once

#include <chrono>
#include <string>
#include <system_error>
#include <variant>

class Watchdog;

// Runs "/bin/sh -c command" as the leader of a session of its own, with every signal at its
// default, and waits at most limit for it, feeding the watchdog meanwhile (see
// WatchdogFedDuringCommands). Its wait status (0 for
// exit status 0, 256 for exit status 1), or the error when no shell could be run. Past the limit
// every process of the session is killed (ifup and a hook's children with it; a daemon that left
// with setsid, such as dhclient, survives), one line on standard error names the command and the
// limit, and the error is std::errc::timed_out. A stop signal meanwhile is left to its handler:
// the wait goes on to the command's end or its limit.
std::variant<int, std::error_code> runShell(std::string const& command,
                                            std::chrono::milliseconds limit);

// What a command printed and how it ended.
struct CommandOutput {
    int status = 0;    // as runShell gives it
    std::string text;  // its standard output, the first MiB of it
};

// Runs the command as runShell does, with its standard output read through a pipe that no other
// command inherits; the limit covers reading and waiting together. The error when the pipe or the
// shell cannot be made, or std::errc::timed_out as with runShell.
std::variant<CommandOutput, std::error_code> readCommandOutput(std::string const& command,
                                                               std::chrono::milliseconds limit);

// While it lives, the waits of runShell and readCommandOutput feed watchdog, at most 0.1 s apart,
// so that a long ifup within its limit does not look like a stuck daemon; the callers of the
// command runner need not know of it. One at a time; main owns it.
class WatchdogFedDuringCommands {
  public:
    explicit WatchdogFedDuringCommands(Watchdog& watchdog);
    ~WatchdogFedDuringCommands();
    WatchdogFedDuringCommands(WatchdogFedDuringCommands const&) = delete;
    WatchdogFedDuringCommands& operator=(WatchdogFedDuringCommands const&) = delete;
};
