#include "base/shell_command.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <variant>

#include <gtest/gtest.h>

#include "base/fd.h"
#include "base/service_notify.h"
#include "base/temp_dir.h"
#include "base/text_file.h"
#include "base/watchdog.h"
#include "base/whole_number.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// True once the process has ended (a zombie left for its parent included), within 5 s: a killed
// process shows until the kernel has run it to its end.
bool endsSoon(std::string const& pid) {
    for (auto const end = Clock::now() + 5s; Clock::now() < end;
         std::this_thread::sleep_for(10ms)) {
        std::string const stat = readText("/proc/" + pid + "/stat");
        if (stat.empty() || stat.at(stat.rfind(") ") + 2) == 'Z') {
            return true;
        }
    }
    return false;
}

TEST(ShellCommand, StatusIsWhatSystemGives) {
    for (auto const& [command, status] :
         {std::pair{"true", 0}, std::pair{"exit 1", 256}, std::pair{"exit 3", 768}}) {
        EXPECT_EQ(std::get<int>(runShell(command, 10s)), status) << command;
    }
}

// The shell holds the pipe once, as its standard output: the reading end is not inherited.
TEST(ShellCommand, OutputAndStatusThroughAPipeOnlyTheCommandHolds) {
    auto const result = readCommandOutput(
        "printf 'first\\nsecond\\n'; ls -l /proc/$$/fd | grep -cF \"$(readlink /proc/$$/fd/1)\"; "
        "exit 2",
        10s);
    ASSERT_TRUE(std::holds_alternative<CommandOutput>(result));
    EXPECT_EQ(std::get<CommandOutput>(result).text, "first\nsecond\n1\n");
    EXPECT_EQ(std::get<CommandOutput>(result).status, 512);
}

// The grouped grandchild stands for a hook's sleep, the regrouped one for ifup, which makes a
// process group of its own, and the detached one for dhclient.
TEST(ShellCommand, PastItsLimitAllItStartedIsKilledButNotADetachedChild) {
    TempDir const dir;
    std::string const path = dir.path().string();
    std::string const command = "setsid sh -c 'echo $$ >" + path + "/detached; exec sleep 30' & " +
                                "perl -e 'setpgrp(0, 0); exec qw(sleep 30)' & echo $! >" + path +
                                "/regrouped; sleep 30 & echo $! >" + path + "/grouped; wait";
    testing::internal::CaptureStderr();
    auto const began = Clock::now();
    auto const result = runShell(command, 1500ms);
    EXPECT_LT(Clock::now() - began, 5s);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Command '" + command + "' still ran after 1500 ms: killed its processes\n");
    EXPECT_EQ(std::get<std::error_code>(result), std::errc::timed_out);
    // A PID that names no process when the file holds none: kill must not reach a group.
    auto const pid = [&dir](char const* name) {
        std::string const text = readText(dir.path() / name);
        return parseWholeNumber<pid_t>(std::string_view(text).substr(0, text.find('\n')))
            .value_or(std::numeric_limits<pid_t>::max());
    };
    EXPECT_TRUE(endsSoon(std::to_string(pid("grouped"))));
    EXPECT_TRUE(endsSoon(std::to_string(pid("regrouped"))));
    EXPECT_EQ(::kill(pid("detached"), SIGKILL), 0);
}

// While it reads, and after the command closed its output but goes on running.
TEST(ShellCommand, OutputReaderStopsAtTheLimit) {
    for (char const* command : {"echo early; exec sleep 30", "exec >&-; exec sleep 30"}) {
        testing::internal::CaptureStderr();
        auto const result = readCommandOutput(command, 300ms);
        EXPECT_NE(testing::internal::GetCapturedStderr(), "") << command;
        EXPECT_EQ(std::get<std::error_code>(result), std::errc::timed_out) << command;
    }
}

// WATCHDOG_USEC of 0.8 s: one WATCHDOG=1 (11 bytes) each 0.2 s through a command of a second, not
// one for each look at the command.
TEST(ShellCommand, WaitFeedsTheWatchdogAtAQuarterOfItsInterval) {
    TempDir const dir;
    std::string const path = (dir.path() / "notify").string();
    Fd const listener(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    std::optional<NotifySocketAddress> const address = parseNotifySocket(path);
    ASSERT_TRUE(listener && address);
    ASSERT_EQ(::bind(listener.get(), reinterpret_cast<sockaddr const*>(&address->address),
                     address->length),
              0);
    ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
    ::setenv("WATCHDOG_USEC", "800000", 1);
    ServiceNotifier const notifier = ServiceNotifier::adopt();
    Watchdog watchdog = Watchdog::adopt(notifier);
    WatchdogFedDuringCommands const feeding(watchdog);
    EXPECT_EQ(std::get<int>(runShell("sleep 1", 10s)), 0);
    int fed = 0;
    std::array<char, 64> message{};
    while (::recv(listener.get(), message.data(), message.size(), MSG_DONTWAIT) == 11) {
        ++fed;
    }
    EXPECT_GE(fed, 3);
    EXPECT_LE(fed, 8);
}

}  // namespace
