#include "netconfig/link_wait.h"

#include <sched.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "base/process_state.h"

namespace QEL_Finder {
namespace {

using std::chrono::steady_clock;
using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

struct Outcome {
    std::string out;
    std::string err;
    steady_clock::duration took;
};

// Runs the wait on a thread of its own, optionally in a fresh network namespace, where the
// loopback interface is down. An empty out with a set err means the namespace was refused.
Outcome waitOn(std::string const& name, bool privateNetwork = false) {
    Outcome outcome;
    int unshareErrno = 0;
    CaptureStdout();
    CaptureStderr();
    auto const start = steady_clock::now();
    std::thread([&] {
        if (privateNetwork && ::unshare(CLONE_NEWNET) != 0) {
            unshareErrno = errno;
            return;
        }
        waitForLink(name);
    }).join();
    outcome.took = steady_clock::now() - start;
    outcome.out = GetCapturedStdout();
    outcome.err = GetCapturedStderr();
    if (unshareErrno != 0) {
        outcome.err = std::strerror(unshareErrno);
    }
    return outcome;
}

TEST(WaitForLink, RunningLinkIsReportedAfterTheSettlePause) {
    Verbose = true;
    Outcome const outcome = waitOn("lo");
    Verbose = false;
    EXPECT_EQ(outcome.out, "Waiting for link...\nLink is ready\n");
    EXPECT_EQ(outcome.err, "");
    EXPECT_GE(outcome.took, std::chrono::milliseconds(100));
}

TEST(WaitForLink, FailedFlagReadEndsTheWaitWithTheSystemText) {
    Outcome const outcome = waitOn("tarnnosuchif0");
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "SIOCGIFFLAGS failed: " + std::string(std::strerror(ENODEV)) + "\n");
}

TEST(WaitForLink, LinkThatNeverRunsTimesOutAfterFiveSeconds) {
    Outcome const outcome = waitOn("lo", true);
    if (outcome.out.empty() && !outcome.err.empty()) {
        GTEST_SKIP() << "no private network namespace: " << outcome.err;
    }
    EXPECT_EQ(outcome.out, "Waiting for link timeout\n");
    EXPECT_EQ(outcome.err, "");
    EXPECT_GT(outcome.took, std::chrono::seconds(5));
}

}  // namespace
}  // namespace QEL_Finder
