// The one runner of shell command lines.
#pragma once

#include <string>

// Runs the command line through the shell; a failure is reported on standard error.
void RunCommand(std::string command, bool echo);
