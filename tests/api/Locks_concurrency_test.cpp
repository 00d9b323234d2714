// The component-access lock and the global mutex seen from several threads of one process.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ApiTestSupport.h"
#include "qxPropHandling.h"

namespace {

using namespace std::chrono_literals;

TEST(ComponentAccessLock, IsRecursiveAndExcludesASecondThread) {
    qxLockCompAccess();
    qxLockCompAccess();
    EXPECT_EQ(qxPropHandlingSetLastError(-2004, "same thread passes"), 0); // takes the lock a third time

    std::atomic<bool> done{false};
    std::thread other([&] {
        qxPropHandlingSetLastError(-2005, "other thread"); // blocks until both holds are released
        done = true;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(done);
    qxUnlockCompAccess();
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(done); // one hold is still left
    qxUnlockCompAccess();
    other.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(qxtest::lastError().text, "same thread passes"); // the other thread's record is its own
}

TEST(ComponentAccessLock, AnUnlockWithoutHoldingItLeavesTheHolderAlone) {
    qxLockCompAccess();
    std::thread([] { qxUnlockCompAccess(); }).join();
    std::atomic<bool> entered{false};
    std::thread other([&] {
        qxLockCompAccess();
        entered = true;
        qxUnlockCompAccess();
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(entered);
    qxUnlockCompAccess();
    other.join();
    EXPECT_TRUE(entered);
}

TEST(LastErrorThreads, EachThreadKeepsItsOwnRecord) {
    ASSERT_EQ(qxPropHandlingSetLastError(-2020, "main thread"), 0);
    std::thread([] {
        const auto fresh = qxtest::lastError();
        EXPECT_EQ(fresh.code, 0);
        EXPECT_EQ(fresh.text, "No error");
        qxPropHandlingSetLastError(-2021, "worker");
    }).join();
    const auto e = qxtest::lastError();
    EXPECT_EQ(e.code, -2020);
    EXPECT_EQ(e.text, "main thread");
}

TEST(GlobalMutexThreads, AThreadThatEndsOwningItAbandonsIt) {
    std::thread([] { EXPECT_EQ(qxGlobalLock(QX_INFINITE), QX_WAIT_ACQUIRED); }).join();
    EXPECT_EQ(qxGlobalLock(1000), QX_WAIT_ABANDONED);
    EXPECT_EQ(qxGlobalUnlock(), 1);
}

TEST(GlobalMutexThreads, AnotherThreadCannotReleaseIt) {
    ASSERT_EQ(qxGlobalLock(0), QX_WAIT_ACQUIRED);
    int result = -1;
    std::thread([&] { result = qxGlobalUnlock(); }).join();
    EXPECT_EQ(result, 0);
    std::thread([&] { result = qxGlobalLock(0); }).join();
    EXPECT_EQ(result, QX_WAIT_TIMEOUT);
    EXPECT_EQ(qxGlobalUnlock(), 1);
}

} // namespace
