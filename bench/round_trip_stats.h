// Summary figures of measured durations, for the benchmark tools.
#pragma once

#include <vector>

namespace bench {

struct DurationSummary {
    double median = 0;
    double p99 = 0;
    double min = 0;
    double max = 0;
};

// Median (mean of the two middle values for an even count), 99th percentile by nearest rank,
// minimum and maximum; all zero for no samples.
DurationSummary summarize(std::vector<double> samples);

}  // namespace bench
