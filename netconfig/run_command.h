// Running a command line for its effect, the way ifupdown and the other platform tools are run.
#pragma once

#include <chrono>
#include <string>

// Runs the command line through the shell for at most limit (runShell); true when it exited with
// status 0. A failure, a command past its limit included, has been reported on standard error.
bool RunCommand(std::string command, bool echo, std::chrono::milliseconds limit);
