// The probe's commands: each sends its request, collects the answers and returns the exit status.
#pragma once

#include <iosfwd>
#include <span>

#include "tools/gvcp-probe/probe_options.h"

namespace gvcp_probe {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNoAnswer = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitSocketError = 3;
inline constexpr int kExitRefused = 4;

// Whether out is a terminal, where a long wait counts its seconds on a line it rewrites.
enum class Display { Lines, Terminal };

// Parses the arguments after the program name and runs the command; results go to out, notes
// and the one-line errors ("gvcp-probe: ...") to err.
int runProbe(std::span<char const* const> args, std::ostream& out, std::ostream& err,
             Display display = Display::Lines);

// Lists the devices that answer a discovery: 0 for at least one, 1 for none, 3 on a socket error.
int runDiscover(ProbeOptions const& options, std::ostream& out, std::ostream& err);

// Sends a force-IP, says that it waits, and reports the acknowledge: 0 for status 0 (or no
// acknowledge to a restart-only request), 1 for no acknowledge, 3 on a socket error, 4 for a
// non-zero status.
int runForceIp(ProbeOptions const& options, std::ostream& out, std::ostream& err,
               Display display = Display::Lines);

}  // namespace gvcp_probe
