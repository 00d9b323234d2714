// The named global mutex as other processes see it: children made with fork() take, hold and abandon it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "qxPropHandling.h"

namespace {

using Clock = std::chrono::steady_clock;

// A forked child that runs `body` and reports through a pipe; the parent waits for each step.
class Child {
public:
    template <class Body>
    explicit Child(Body body) {
        if (pipe(toParent_) != 0 || pipe(toChild_) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            _exit(body(*this));
        }
    }
    ~Child() {
        if (pid_ > 0) finish();
        for (int fd : {toParent_[0], toParent_[1], toChild_[0], toChild_[1]})
            if (fd >= 0) close(fd);
    }
    // In the child: tell the parent a step is done / wait for the parent's go.
    void signalParent() { (void)!write(toParent_[1], "s", 1); }
    void awaitParent() {
        char c;
        (void)!read(toChild_[0], &c, 1);
    }
    // In the parent.
    bool awaitChild() {
        char c;
        return read(toParent_[0], &c, 1) == 1;
    }
    void release() { (void)!write(toChild_[1], "g", 1); }
    int finish() {
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    int toParent_[2] = {-1, -1};
    int toChild_[2] = {-1, -1};
    pid_t pid_ = -1;
};

TEST(GlobalMutex, AChildHoldingItMakesAZeroWaitFailAtOnce) {
    Child child([](Child& self) {
        if (qxGlobalLock(QX_INFINITE) != QX_WAIT_ACQUIRED) return 10;
        self.signalParent();
        self.awaitParent();
        return qxGlobalUnlock() == 1 ? 0 : 11;
    });
    ASSERT_TRUE(child.awaitChild());
    const auto start = Clock::now();
    EXPECT_EQ(qxGlobalLock(0), QX_WAIT_TIMEOUT);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
    const auto timed = Clock::now();
    EXPECT_EQ(qxGlobalLock(150), QX_WAIT_TIMEOUT);
    EXPECT_GE(Clock::now() - timed, std::chrono::milliseconds(140));
    EXPECT_EQ(qxGlobalUnlock(), 0); // not ours
    child.release();
    EXPECT_EQ(child.finish(), 0);
    EXPECT_EQ(qxGlobalLock(0), QX_WAIT_ACQUIRED);
    EXPECT_EQ(qxGlobalUnlock(), 1);
}

TEST(GlobalMutex, AChildThatExitsHoldingItAbandonsIt) {
    Child child([](Child&) { return qxGlobalLock(QX_INFINITE) == QX_WAIT_ACQUIRED ? 0 : 10; });
    ASSERT_EQ(child.finish(), 0);
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
    Child child([](Child& self) {
        if (qxGlobalLock(QX_INFINITE) != QX_WAIT_ACQUIRED) return 10;
        self.signalParent();
        usleep(100 * 1000);
        return qxGlobalUnlock() == 1 ? 0 : 11;
    });
    ASSERT_TRUE(child.awaitChild());
    EXPECT_EQ(qxGlobalLock(QX_INFINITE), QX_WAIT_ACQUIRED);
    EXPECT_EQ(child.finish(), 0);
    EXPECT_EQ(qxGlobalUnlock(), 1);
}

TEST(GlobalMutex, ItIsRecursiveAndAReleaseWithoutOwnershipFails) {
    EXPECT_EQ(qxGlobalUnlock(), 0);
    EXPECT_EQ(qxGlobalLock(0), QX_WAIT_ACQUIRED);
    EXPECT_EQ(qxGlobalLock(0), QX_WAIT_ACQUIRED);
    EXPECT_EQ(qxGlobalUnlock(), 1);
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
    Child probe([](Child&) { return qxGlobalLock(0) == QX_WAIT_TIMEOUT ? 0 : 10; });
    EXPECT_EQ(probe.finish(), 0);
    EXPECT_EQ(qxGlobalUnlock(), 1);
}

} // namespace
