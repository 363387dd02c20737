// The daemon's command line: options "-h", "-v" and "--version" and an optional interface name.
#pragma once

#include <ostream>
#include <string>

enum class CommandLineAction { Serve, ShowHelp, ShowVersion, BadOption };

struct CommandLine {
    CommandLineAction action = CommandLineAction::Serve;
    bool verbose = false;
    std::string interfaceName = "eth0";
};

// Parses argv with getopt_long ("hv" and "--version", GNU permutation); the first "-h",
// "--version" or unknown option decides, and the last operand names the interface. An unknown
// option is reported on standard error by getopt itself. Restarts getopt, so it may be called
// more than once per process.
CommandLine parseCommandLine(int argc, char** argv);

// Writes the usage text, ending with an empty line.
void writeUsage(std::ostream& out);

// Writes "Tarn_reply VERSION" and a line end.
void writeVersion(std::ostream& out);
