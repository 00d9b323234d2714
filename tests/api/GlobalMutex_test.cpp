// The named global mutex as other processes see it: children made with fork() take, hold and abandon it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "ForkedChild.h"
#include "qxPropHandling.h"

namespace {

using qx::test::ForkedChild;
using qx::test::Signal;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TEST(GlobalMutex, AChildHoldingItMakesWaitsFailAndReleasesRefused) {
    Signal held, done;
    ForkedChild child([&] {
        if (qxGlobalLock(QX_INFINITE) != QX_WAIT_ACQUIRED) return 10;
        held.notify();
        done.waitFor(10000);
        return qxGlobalUnlock() == 1 ? 0 : 11;
    });
    ASSERT_TRUE(held.waitFor(5000));
    const auto start = Clock::now();
    EXPECT_EQ(qxGlobalLock(0), QX_WAIT_TIMEOUT);
    EXPECT_LT(Clock::now() - start, milliseconds(100));
    const auto timed = Clock::now();
    EXPECT_EQ(qxGlobalLock(150), QX_WAIT_TIMEOUT);
    EXPECT_GE(Clock::now() - timed, milliseconds(140));
    EXPECT_EQ(qxGlobalUnlock(), 0); // not ours
    done.notify();
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(qxGlobalLock(0), QX_WAIT_ACQUIRED);
    EXPECT_EQ(qxGlobalUnlock(), 1);
}

TEST(GlobalMutex, AChildThatDiesHoldingItAbandonsIt) {
    ForkedChild child([] { return qxGlobalLock(QX_INFINITE) == QX_WAIT_ACQUIRED ? 0 : 10; }); // _exit: no teardown
    ASSERT_EQ(child.wait(), 0);
    EXPECT_EQ(qxGlobalLock(QX_INFINITE), QX_WAIT_ABANDONED);
    EXPECT_EQ(qxGlobalUnlock(), 1); // the abandoned mutex is ours now
    EXPECT_EQ(qxGlobalLock(0), QX_WAIT_ACQUIRED);
    EXPECT_EQ(qxGlobalUnlock(), 1);
}

TEST(GlobalMutex, AChildThatCallsExitHoldingItAbandonsItToo) {
    // exit() runs the library's unload teardown; closing the mutex must not quietly release it.
    const pid_t pid = fork();
    if (pid == 0) exit(qxGlobalLock(QX_INFINITE) == QX_WAIT_ACQUIRED ? 0 : 10);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(qxGlobalLock(QX_INFINITE), QX_WAIT_ABANDONED);
    EXPECT_EQ(qxGlobalUnlock(), 1);
}

TEST(GlobalMutex, AParentWaitingWithoutLimitGetsItWhenTheChildReleases) {
    Signal held;
    ForkedChild child([&] {
        if (qxGlobalLock(QX_INFINITE) != QX_WAIT_ACQUIRED) return 10;
        held.notify();
        usleep(100 * 1000);
        return qxGlobalUnlock() == 1 ? 0 : 11;
    });
    ASSERT_TRUE(held.waitFor(5000));
    EXPECT_EQ(qxGlobalLock(QX_INFINITE), QX_WAIT_ACQUIRED);
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(qxGlobalUnlock(), 1);
}

TEST(GlobalMutex, ItIsRecursiveAndAReleaseWithoutOwnershipFails) {
    EXPECT_EQ(qxGlobalUnlock(), 0);
    EXPECT_EQ(qxGlobalLock(0), QX_WAIT_ACQUIRED);
    EXPECT_EQ(qxGlobalLock(QX_INFINITE), QX_WAIT_ACQUIRED);
    EXPECT_EQ(qxGlobalUnlock(), 1);
    ForkedChild stillHeld([] { return qxGlobalLock(0); });
    EXPECT_EQ(stillHeld.wait(), QX_WAIT_TIMEOUT);
    EXPECT_EQ(qxGlobalUnlock(), 1);
    EXPECT_EQ(qxGlobalUnlock(), 0);
}

TEST(GlobalMutex, AForkedChildEndingNormallyLeavesTheParentsHoldAlone) {
    // The child runs the library's unload teardown at exit(); the parent's ownership must survive it.
    ASSERT_EQ(qxGlobalLock(0), QX_WAIT_ACQUIRED);
    const pid_t pid = fork();
    if (pid == 0) exit(0); // static destructors run here
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ForkedChild probe([] { return qxGlobalLock(0); });
    EXPECT_EQ(probe.wait(), QX_WAIT_TIMEOUT);
    EXPECT_EQ(qxGlobalUnlock(), 1);
}

} // namespace
