// sample_stats: the benchmark's figures of the numbers in the named files (one a line, all
// files pooled): "count median p99 min max", through the same summary as the round trips.
// Usage: sample_stats FILE...
#include <fstream>
#include <iomanip>
#include <iostream>
#include <vector>

#include "bench/round_trip_stats.h"

int main(int argc, char** argv) {
    std::vector<double> samples;
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i]);
        for (double value = 0; in >> value;) {
            samples.push_back(value);
        }
    }
    auto const summary = bench::summarize(samples);
    std::cout << std::fixed << std::setprecision(3) << samples.size() << ' ' << summary.median
              << ' ' << summary.p99 << ' ' << summary.min << ' ' << summary.max << std::endl;
    return 0;
}
