#include "base/shell_command.h"

#include <fcntl.h>

#include <array>
#include <string>
#include <utility>
#include <variant>

#include <gtest/gtest.h>

namespace {

TEST(ShellCommand, StatusIsWhatSystemGives) {
    for (auto const& [command, status] :
         {std::pair{"true", 0}, std::pair{"exit 1", 256}, std::pair{"exit 3", 768}}) {
        EXPECT_EQ(std::get<int>(runShell(command)), status) << command;
    }
}

TEST(ShellCommand, PipeReadsTheOutputAndIsNotInherited) {
    CommandPipe const pipe = readCommandOutput("printf 'first\\nsecond'");
    ASSERT_TRUE(pipe);
    EXPECT_NE(::fcntl(::fileno(pipe.get()), F_GETFD) & FD_CLOEXEC, 0);
    std::array<char, 64> line{};
    ASSERT_NE(std::fgets(line.data(), line.size(), pipe.get()), nullptr);
    EXPECT_EQ(std::string(line.data()), "first\n");
}

}  // namespace
