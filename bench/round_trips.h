// Discovery round trips timed one after the other from the PC host, against the daemon or
// against the bare responder that only pads the request back (the floor).
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <variant>

#include "gvcp/exchange.h"
#include "gvcp/gvcp_header.h"

namespace bench {

struct RoundTripOptions {
    QEL_Finder::Endpoint to{0, QEL_Finder::kGvcpPort};
    int count = 1000;
    // The first round trips of a run pay for cold caches and page faults on both sides.
    int warmup = 20;
    int gapUs = 0;            // pause between an answer (or a time-out) and the next request
    int timeoutMs = 1000;     // after which a request counts as lost
    bool echoReply = false;   // answers are padded echoes of the request, not acknowledges
    std::string samplesPath;  // empty: the round trips are only summarized
};

// "--to ADDRESS [--port P] [--count N] [--warmup W] [--gap-us G] [--echo] [--samples FILE]
// [--timeout-ms N]", the arguments after the program name; a one-line usage error otherwise.
std::variant<RoundTripOptions, std::string> parseRoundTripOptions(
    std::span<char const* const> args);

// True for a datagram of a discovery acknowledge's size that begins with the request's bytes:
// the answer of the bare responder, which knows nothing of the protocol.
bool isPaddedEcho(std::span<std::uint8_t const> bytes, std::span<std::uint8_t const> request);

// The exit statuses of timeRoundTrips, those of the probe for the same outcomes.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNoAnswer = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitSocketError = 3;

// Parses the arguments, sends the discoveries and prints
// "answered=.. lost=.. warmup=.. median_us=.. p99_us=.. min_us=.. max_us=..": 0 when at least
// one was answered, 1 when none was, 2 for a usage error, 3 on a socket error or a samples file
// that cannot be written.
int timeRoundTrips(std::span<char const* const> args, std::ostream& out, std::ostream& err);

}  // namespace bench
