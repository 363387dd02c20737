#include "netconfig/safe_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/temp_dir.h"

namespace fs = std::filesystem;
using testing::StartsWith;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

TEST(SafeFile, FailedRenameIsReportedAndLeavesNoTemporary) {
    TempDir const dir;
    fs::path const file = dir.path() / "interfaces";
    fs::path const tmp = dir.path() / "interfaces.tmp";
    fs::create_directories(file / "occupied");
    CaptureStderr();
    EXPECT_FALSE(replaceFileSafely(file, tmp, "new\n", nullptr));
    EXPECT_THAT(GetCapturedStderr(),
                StartsWith("Unable to rename " + tmp.string() + " to " + file.string() + ": "));
    EXPECT_FALSE(fs::exists(tmp));
    EXPECT_TRUE(fs::exists(file / "occupied"));
}
