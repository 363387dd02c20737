// Reading a shell command's output: popen and pclose wrapped once.
#pragma once

#include <cstdio>
#include <memory>

struct PipeCloser {
    // The command's exit status is not wanted by any reader.
    void operator()(std::FILE* pipe) const { static_cast<void>(::pclose(pipe)); }
};

using CommandPipe = std::unique_ptr<std::FILE, PipeCloser>;

// Runs the command through the shell with its standard output readable from the pipe, which
// the command's own children do not inherit; an empty pipe when popen fails.
inline CommandPipe readCommandOutput(char const* command) {
    return CommandPipe(::popen(command, "re"));
}
