// The reference count, the teardown at the last release, and what the named global mutex looks like
// across it. Each test runs in its own process, so "right after load" is a fresh count of 1.
#include <gtest/gtest.h>

#include "ApiTestSupport.h"
#include "qxPropHandling.h"

namespace {

TEST(Lifecycle, LoadingCountsAsOneInit) {
    EXPECT_EQ(qxPropHandlingLibInit(), 2);
    EXPECT_EQ(qxPropHandlingLibDone(), 1);
    EXPECT_EQ(qxPropHandlingLibDone(), 0);
    EXPECT_EQ(qxPropHandlingLibDone(), 0); // below zero is a no-op
    EXPECT_EQ(qxPropHandlingLibInit(), 1); // and the library comes up again
    EXPECT_EQ(qxPropHandlingLibInit(), 2);
}

TEST(Lifecycle, TheLastReleaseResetsTheCallersLastError) {
    ASSERT_EQ(qxPropHandlingSetLastError(-2019, "left over"), 0);
    ASSERT_EQ(qxPropHandlingLibInit(), 2);
    ASSERT_EQ(qxPropHandlingLibDone(), 1);
    EXPECT_EQ(qxtest::lastError().code, -2019); // not at an intermediate release
    ASSERT_EQ(qxPropHandlingLibDone(), 0);
    const auto e = qxtest::lastError();
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(e.text, "No error");
}

TEST(Lifecycle, TheGlobalMutexLivesFromFirstInitToLastDone) {
    ASSERT_EQ(qxGlobalLock(0), QX_WAIT_ACQUIRED);
    ASSERT_EQ(qxGlobalUnlock(), 1);
    ASSERT_EQ(qxPropHandlingLibDone(), 0);
    EXPECT_EQ(qxGlobalLock(0), QX_WAIT_TIMEOUT); // no mutex to take
    EXPECT_EQ(qxGlobalUnlock(), 0);
    ASSERT_EQ(qxPropHandlingLibInit(), 1);
    EXPECT_EQ(qxGlobalLock(0), QX_WAIT_ACQUIRED);
    EXPECT_EQ(qxGlobalUnlock(), 1);
}

TEST(Lifecycle, TheComponentAccessLockOutlivesTheCount) {
    // The lock is made at load, not at init: it works with the count at 0.
    ASSERT_EQ(qxPropHandlingLibDone(), 0);
    qxLockCompAccess();
    EXPECT_EQ(qxPropHandlingSetLastError(-2004, "still serialised"), 0);
    qxUnlockCompAccess();
    EXPECT_EQ(qxtest::lastError().text, "still serialised");
}

} // namespace
