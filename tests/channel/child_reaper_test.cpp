#include "channel/child_reaper.h"

#include "tests/testbots/process_inspection.h"
#include "tests/testbots/wait_until.h"

#include <unistd.h>

// glibc 2.36 declares these without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

// A child that ends on its own after `ms` milliseconds.
pid_t StartChild(unsigned ms) {
    const pid_t pid = fork();
    if (pid == 0) {
        usleep(ms * 1000);
        _exit(0);
    }
    return pid;
}

TEST(ChildReaper, ReapsChildWatchedThroughItsPidfd) {
    const pid_t pid = StartChild(100);
    ASSERT_GT(pid, 0);
    const int pidfd = pidfd_open(pid, 0);
    ASSERT_GE(pidfd, 0);
    ChildReaper::Instance().Adopt(pid, pidfd);
    EXPECT_TRUE(ProcessInspection::IsAlive(pid));
    EXPECT_TRUE(WaitUntil([&] { return ProcessInspection::IsReapedChild(pid); }, 5000ms))
        << "state " << ProcessInspection::State(pid);
}

TEST(ChildReaper, ReapsChildThatHadEndedBeforeItWasHandedOver) {
    const pid_t pid = StartChild(0);
    ASSERT_GT(pid, 0);
    const int pidfd = pidfd_open(pid, 0);
    ASSERT_GE(pidfd, 0);
    ASSERT_TRUE(WaitUntil([&] { return ProcessInspection::State(pid) == 'Z'; }, 5000ms));
    ChildReaper::Instance().Adopt(pid, pidfd);
    EXPECT_TRUE(WaitUntil([&] { return ProcessInspection::IsReapedChild(pid); }, 5000ms));
}

TEST(ChildReaper, ReapsChildWithoutPidfdByPolling) {
    const pid_t pid = StartChild(100);
    ASSERT_GT(pid, 0);
    ChildReaper::Instance().Adopt(pid, -1);
    EXPECT_TRUE(WaitUntil([&] { return ProcessInspection::IsReapedChild(pid); }, 5000ms))
        << "state " << ProcessInspection::State(pid);
}

}  // namespace
