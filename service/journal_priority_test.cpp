#include "service/journal_priority.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

// Standard error is the journal stream when JOURNAL_STREAM names its device and inode; the
// journal reads a priority at the start of every line, so a multi-line message needs it on each.
TEST(JournalErrorMarker, MarksEveryLineOnlyOnTheJournalStream) {
    struct Case {
        bool namesStandardError;
        std::string expected;
    } const cases[] = {
        {true, "<3>first\n<3>second\n<3>third\n"},
        {false, "first\nsecond\nthird\n"},
    };
    for (Case const& c : cases) {
        testing::internal::CaptureStderr();
        struct stat standardError {};
        ASSERT_EQ(::fstat(STDERR_FILENO, &standardError), 0);
        std::string const stream =
            std::to_string(standardError.st_dev) + ':' +
            std::to_string(standardError.st_ino + (c.namesStandardError ? 0 : 1));
        ::setenv("JOURNAL_STREAM", stream.c_str(), 1);
        {
            JournalErrorMarker const marker;
            std::cerr << "first\nsecond\n"
                      << "third" << std::endl;
        }
        ::unsetenv("JOURNAL_STREAM");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected) << c.namesStandardError;
    }
}

}  // namespace
