// Shell command lines, run through system and popen: the one wrapper of both calls.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <system_error>
#include <variant>

// Runs the command line through the shell and waits for it: its status as system gives it (0 for
// exit status 0, 256 for exit status 1), or the error when no shell could be run.
std::variant<int, std::error_code> runShell(std::string const& command);

struct PipeCloser {
    // The command's exit status is not wanted by any reader.
    void operator()(std::FILE* pipe) const { static_cast<void>(::pclose(pipe)); }
};

using CommandPipe = std::unique_ptr<std::FILE, PipeCloser>;

// Runs the command through the shell with its standard output readable from the pipe, which
// commands run later do not inherit; an empty pipe when popen fails.
CommandPipe readCommandOutput(std::string const& command);
