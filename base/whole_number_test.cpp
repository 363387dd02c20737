#include "base/whole_number.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace {

// Options from 1 to 65535, as a port is read.
TEST(WholeNumber, AllOfTheTextWithinTheRange) {
    struct Case {
        std::string_view text;
        std::optional<int> value;
    } const cases[] = {
        {"1", 1},
        {"65535", 65535},
        {"0", std::nullopt},
        {"65536", std::nullopt},
        {"-1", std::nullopt},
        {"+5", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"5x", std::nullopt},
        {"", std::nullopt},
        {"99999999999", std::nullopt},
    };
    for (Case const& c : cases) {
        EXPECT_EQ(parseWholeNumber(c.text, 1, 65535), c.value) << '"' << c.text << '"';
    }
}

}  // namespace
