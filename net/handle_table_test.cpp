#include "net/handle_table.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace QEL_Finder {
namespace {

TEST(HandleTable, GivesHandlesInOrderAndNeverReusesThem) {
    HandleTable table;
    EXPECT_EQ(table.add(10), 0);
    EXPECT_EQ(table.add(11), 1);
    EXPECT_EQ(table.release(0), 10);
    EXPECT_EQ(table.add(12), 2);
    EXPECT_EQ(table.descriptor(0), -1);
    EXPECT_EQ(table.descriptor(1), 11);
    EXPECT_EQ(table.descriptor(2), 12);
    EXPECT_EQ(table.release(0), -1) << "a second release must not hand the descriptor out again";
    EXPECT_EQ(table.openDescriptors(), (std::vector<int>{11, 12}));
}

TEST(HandleTable, RejectsHandlesNeverGivenOut) {
    HandleTable table;
    table.add(10);
    EXPECT_TRUE(table.givenOut(0));
    EXPECT_FALSE(table.givenOut(1));
    EXPECT_FALSE(table.givenOut(-1));
    EXPECT_THROW(table.descriptor(1), std::out_of_range);
    EXPECT_THROW(table.descriptor(-1), std::out_of_range);
    EXPECT_THROW(table.release(1), std::out_of_range);
    EXPECT_EQ(table.descriptor(0), 10);
}

TEST(HandleTable, WrapsAtTheLargestHandle) {
    HandleTable table(INT_MAX - 1);
    EXPECT_TRUE(table.givenOut(0)) << "handles below the start count as given out and closed";
    EXPECT_EQ(table.descriptor(0), -1);
    EXPECT_FALSE(table.givenOut(INT_MAX));
    EXPECT_EQ(table.add(20), INT_MAX - 1);
    EXPECT_EQ(table.add(21), INT_MAX);
    EXPECT_EQ(table.add(22), 0);
    EXPECT_EQ(table.add(23), 1);
    EXPECT_EQ(table.descriptor(INT_MAX), 21);
    EXPECT_EQ(table.release(0), 22);
    EXPECT_TRUE(table.givenOut(500)) << "after a wrap every handle counts as given out";
    EXPECT_EQ(table.descriptor(500), -1);
}

TEST(HandleTable, SkipsHandlesStillOpenAfterAWrap) {
    HandleTable table(0, 3);
    for (int handle = 0; handle <= 3; ++handle) {
        EXPECT_EQ(table.add(60 + handle), handle);
    }
    EXPECT_EQ(table.add(70), -1) << "every handle is open";
    table.release(1);
    table.release(3);
    EXPECT_EQ(table.add(71), 1);
    EXPECT_EQ(table.add(72), 3);
    EXPECT_EQ(table.add(73), -1);
    EXPECT_EQ(table.openDescriptors(), (std::vector<int>{60, 71, 62, 72}));
}

}  // namespace
}  // namespace QEL_Finder
