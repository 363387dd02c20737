#include "bench/round_trip_stats.h"

#include <algorithm>
#include <cmath>

namespace bench {

DurationSummary summarize(std::vector<double> samples) {
    if (samples.empty()) {
        return {};
    }
    std::sort(samples.begin(), samples.end());
    std::size_t const n = samples.size();
    DurationSummary summary;
    summary.median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    auto const rank = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(n)));
    summary.p99 = samples[std::max<std::size_t>(rank, 1) - 1];
    summary.min = samples.front();
    summary.max = samples.back();
    return summary;
}

}  // namespace bench
