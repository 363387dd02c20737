#include "bench/round_trip_stats.h"

#include <gtest/gtest.h>

namespace bench {
namespace {

TEST(DurationSummary, MedianAndNearestRankPercentile) {
    DurationSummary const odd = summarize({5, 1, 3});
    EXPECT_EQ(odd.median, 3);
    EXPECT_EQ(odd.p99, 5);
    EXPECT_EQ(odd.min, 1);
    EXPECT_EQ(odd.max, 5);

    EXPECT_EQ(summarize({4, 1, 3, 2}).median, 2.5);

    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i) {
        hundred.push_back(i);
    }
    EXPECT_EQ(summarize(hundred).p99, 99);
    hundred.push_back(1000);  // 101 samples: rank 100
    EXPECT_EQ(summarize(hundred).p99, 100);

    EXPECT_EQ(summarize({}).median, 0);
}

}  // namespace
}  // namespace bench
