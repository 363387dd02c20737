// Measures what one "ip route show" through the daemon's command runner costs on this host: the
// query the daemon makes for the default gateway before each reply.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <thread>
#include <variant>
#include <vector>

#include "base/command_limits.h"
#include "base/shell_command.h"
#include "base/whole_number.h"
#include "bench/round_trip_stats.h"

namespace {

// One query from its start to its end, in microseconds; a negative value when it fails.
double timeOneQuery() {
    auto const start = std::chrono::steady_clock::now();
    if (!std::holds_alternative<CommandOutput>(readCommandOutput("ip route show", kQueryLimit))) {
        return -1;
    }
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5) {
        std::cerr << "usage: route_query_timer COUNT WARMUP GAP_US [SAMPLES_FILE]" << std::endl;
        return 2;
    }
    constexpr int kMost = std::numeric_limits<int>::max();
    std::optional<int> const countGiven = parseWholeNumber(argv[1], 1, kMost);
    std::optional<int> const warmupGiven = parseWholeNumber(argv[2], 0, kMost);
    std::optional<int> const gapGiven = parseWholeNumber(argv[3], 0, kMost);
    if (!countGiven || !warmupGiven || !gapGiven) {
        std::cerr << "route_query_timer: bad count, warm-up or gap" << std::endl;
        return 2;
    }
    int const count = *countGiven;
    int const warmup = *warmupGiven;
    int const gapUs = *gapGiven;
    std::ofstream samples;
    if (argc == 5) {
        samples.open(argv[4], std::ios::app);
        if (!samples) {
            std::cerr << "route_query_timer: cannot write " << argv[4] << std::endl;
            return 1;
        }
    }
    std::vector<double> samplesUs;
    samplesUs.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < warmup + count; ++i) {
        // The daemon queries once per request, after the host sat idle between requests: the
        // same pause here keeps back-to-back warm caches out of the figure.
        if (i > 0 && gapUs > 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(gapUs));
        }
        double const us = timeOneQuery();
        if (us < 0) {
            std::cerr << "route_query_timer: ip route show failed" << std::endl;
            return 1;
        }
        if (i >= warmup) {
            samplesUs.push_back(us);
            if (samples.is_open()) {
                samples << us << '\n';
            }
        }
    }
    bench::DurationSummary const s = bench::summarize(samplesUs);
    std::printf("count=%zu warmup=%d median_us=%.1f p99_us=%.1f min_us=%.1f max_us=%.1f\n",
                samplesUs.size(), warmup, s.median, s.p99, s.min, s.max);
    static_cast<void>(std::fflush(stdout));
    return 0;
}
