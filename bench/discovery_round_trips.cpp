// discovery_round_trips: times discovery round trips from the PC host (see round_trips.h).
#include <iostream>
#include <span>

#include "bench/round_trips.h"

int main(int argc, char** argv) {
    std::span<char const* const> const args(argv + 1, static_cast<std::size_t>(argc - 1));
    return bench::timeRoundTrips(args, std::cout, std::cerr);
}
