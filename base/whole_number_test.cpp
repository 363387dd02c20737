#include "base/whole_number.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

// From 1 to 65535, as a port is read: all of the text, within the range.
TEST(WholeNumber, AllOfTheTextWithinTheRange) {
    EXPECT_EQ(parseWholeNumber("1", 1, 65535), 1);
    EXPECT_EQ(parseWholeNumber("65535", 1, 65535), 65535);
    for (std::string_view const bad :
         {"0", "65536", "-1", "+5", " 5", "5 ", "5x", "", "99999999999"}) {
        EXPECT_FALSE(parseWholeNumber(bad, 1, 65535)) << '"' << bad << '"';
    }
}

}  // namespace
