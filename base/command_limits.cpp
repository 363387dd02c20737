#include "base/command_limits.h"

#ifdef TARN_TEST_COMMAND_LIMITS
#include <cstdint>
#include <cstdlib>

#include "base/whole_number.h"
#endif

std::chrono::milliseconds ifupdownLimit() {
    constexpr std::chrono::minutes kIfupdownLimit{5};
#ifdef TARN_TEST_COMMAND_LIMITS
    // Only the test build reads this, so no environment can lift a shipped daemon's limit.
    if (char const* const value = std::getenv("TARN_TEST_IFUPDOWN_LIMIT_MS")) {
        if (auto const limit = parseWholeNumber<std::int64_t>(value); limit && *limit > 0) {
            return std::chrono::milliseconds(*limit);
        }
    }
#endif
    return kIfupdownLimit;
}
