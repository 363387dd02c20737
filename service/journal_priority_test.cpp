#include "service/journal_priority.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

// The journal reads a priority at the start of every line, so each line of a message needs one;
// standard error is the journal stream only when JOURNAL_STREAM names its device and inode.
TEST(JournalErrorMarker, MarksEveryLineOnlyOnTheJournalStream) {
    for (bool const journal : {true, false}) {
        testing::internal::CaptureStderr();
        struct stat err {};
        ASSERT_EQ(::fstat(STDERR_FILENO, &err), 0);
        std::string const stream =
            std::to_string(err.st_dev) + ':' + std::to_string(err.st_ino + (journal ? 0 : 1));
        ::setenv("JOURNAL_STREAM", stream.c_str(), 1);
        {
            JournalErrorMarker const marker;
            std::cerr << "first\nsecond\n"
                      << "third" << std::endl;
        }
        ::unsetenv("JOURNAL_STREAM");
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  journal ? "<3>first\n<3>second\n<3>third\n" : "first\nsecond\nthird\n");
    }
}

}  // namespace
