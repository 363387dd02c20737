// The probe's commands: each sends its request, collects the answers and returns the exit status.
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "tools/gvcp-probe/device_output.h"
#include "tools/gvcp-probe/probe_options.h"

namespace gvcp_probe {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNoAnswer = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitSocketError = 3;
inline constexpr int kExitRefused = 4;
inline constexpr int kExitSeveral = 5;

// How long force-ip's discovery waits for the device that --serial or --mac names.
inline constexpr int kChoosingMs = 1000;

// Whether out is a terminal, where a long wait counts its seconds on a line it rewrites.
enum class Display { Lines, Terminal };

// Parses the arguments after the program name and runs the command; results go to out, notes
// and the one-line errors ("gvcp-probe: ...") to err.
int runProbe(std::span<char const* const> args, std::ostream& out, std::ostream& err,
             Display display = Display::Lines);

// Lists the devices that answer a discovery: 0 for at least one, 1 for none, 3 on a socket error.
int runDiscover(ProbeOptions const& options, std::ostream& out, std::ostream& err);

// Why force-ip's --serial or --mac chose no device: a one-line message and the exit status.
struct Refusal {
    int status;
    std::string message;
};

// The one device among those found that has the options' --serial or --mac (its first entry when
// it answered on more than one interface); none is exit status 1, several are 5.
std::variant<FoundDevice, Refusal> chooseDevice(std::vector<FoundDevice> const& found,
                                                ProbeOptions const& options);

// Sends a force-IP, first finding the device when --serial or --mac names it, says that it waits,
// and reports the acknowledge: 0 for status 0 (or no acknowledge to a restart-only request), 1 for
// no acknowledge, 3 on a socket error, 4 for a non-zero status, or chooseDevice's status.
int runForceIp(ProbeOptions const& options, std::ostream& out, std::ostream& err,
               Display display = Display::Lines);

}  // namespace gvcp_probe
