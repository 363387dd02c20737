// Running a command line for its effect, the way ifupdown and the other platform tools are run.
#pragma once

#include <string>

// Runs the command line through the shell; true when it exited with status 0. A failure has been
// reported on standard error.
bool RunCommand(std::string command, bool echo);
