// A raw datagram peer for the integration suites, run in the PC host: it sends exactly the bytes
// a test asks for and shows what comes back and to which address, holds a port, sends discoveries
// back to back or a flood of good and bad datagrams, and prints the GVCP bytes a test needs.
#include <span>
#include <string_view>

#include "tests/tools/peer.h"

// The suites run this peer thousands of times, and a leak check at each exit would cost more than
// what it does; the code it shares with the daemon is leak-checked by the unit tests. A test may
// still ask for the check with ASAN_OPTIONS, which comes after these.
extern "C" char const* __asan_default_options() {  // NOLINT(bugprone-reserved-identifier)
    return "detect_leaks=0";
}

int main(int argc, char** argv) {
    std::span<char const* const> const args(argv, static_cast<std::size_t>(argc));
    if (args.size() < 2) {
        return udp_peer::usageError("no mode");
    }
    std::string_view const mode = args[1];
    udp_peer::Args const rest = args.subspan(2);
    if (mode == "send") {
        return udp_peer::runSend(rest);
    }
    if (mode == "hold") {
        return udp_peer::runHold(rest);
    }
    if (mode == "burst") {
        return udp_peer::runBurst(rest);
    }
    if (mode == "flood") {
        return udp_peer::runFlood(rest);
    }
    if (mode == "hex") {
        return udp_peer::runHex(rest);
    }
    return udp_peer::usageError("unknown mode " + std::string(mode));
}
