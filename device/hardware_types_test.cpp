#include "device/hardware_types.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

namespace {

// The first match wins, so a repeated type would hide a row; the record's serial field takes 15
// characters, so a longer default would be cut.
TEST(HardwareTypes, TypesAreDistinctAndDefaultSerialsFitTheirPattern) {
    std::set<unsigned> seen;
    for (const auto& row : hardwareTypeTable()) {
        EXPECT_TRUE(seen.insert(row.hardwareType).second) << row.modelName;
        const std::string serial = row.defaultSerialNumber;
        ASSERT_EQ(serial.size(), 14U) << row.modelName;
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_TRUE(std::isupper(static_cast<unsigned char>(serial[i]))) << serial;
        }
        for (std::size_t i = 4; i < 9; ++i) {
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(serial[i]))) << serial;
        }
        EXPECT_EQ(serial.substr(9), "inval");
        EXPECT_GT(std::strlen(row.modelName), 0U);
    }
    EXPECT_EQ(seen.size(), 15U);
}

}  // namespace
