// tests/sync/CEvent_test.cpp -- manual- and auto-reset events, alone and across processes.
#include "sync/CEvent.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ForkedChild.h"

namespace qx {
namespace {

using test::ForkedChild;
using test::Signal;

TEST(CEvent, AutoResetIsConsumedByOneWait) {
    CEvent e(false, false, nullptr);
    EXPECT_EQ(e.waitFor(0), 2u);
    EXPECT_TRUE(e.set());
    EXPECT_EQ(e.waitFor(0), 1u);
    EXPECT_EQ(e.waitFor(0), 2u);
    CEvent signalled(false, true, nullptr);
    CSyncObj& base = signalled;  // the same wait through the base
    EXPECT_EQ(base.waitFor(0), 1u);
    EXPECT_EQ(base.waitFor(20), 2u);
}

TEST(CEvent, ManualResetStaysSignalledUntilReset) {
    CEvent e(true, true, nullptr);
    EXPECT_EQ(e.waitFor(0), 1u);
    EXPECT_EQ(e.waitFor(10), 1u);
    EXPECT_TRUE(e.reset());
    EXPECT_EQ(e.waitFor(0), 2u);
}

TEST(CEvent, SetWakesAWaiterInAnotherProcessAndIsConsumedThere) {
    CEvent e(false, false, "wake-other");
    Signal waiting;
    ForkedChild child([&] {
        CEvent mine(true, true, "wake-other");  // exists: stays auto-reset and unsignalled
        if (!mine.existedBefore() || mine.waitFor(0) != 2) return 3;
        waiting.notify();
        return static_cast<int>(mine.waitFor(5000));
    });
    ASSERT_TRUE(waiting.waitFor(5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(e.set());
    EXPECT_EQ(child.wait(), 1);
    EXPECT_EQ(e.waitFor(0), 2u);
}

TEST(CEvent, ManualResetSetInOneProcessIsSeenByAnother) {
    CEvent e(true, false, "manual-shared");
    EXPECT_TRUE(e.set());
    ForkedChild child([] {
        CEvent mine(false, false, "manual-shared");
        return mine.waitFor(0) == 1 && mine.waitFor(0) == 1 && mine.reset() ? 0 : 1;
    });
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(e.waitFor(0), 2u);
}

TEST(CEvent, TimesOutAfterRoughlyTheTimeAsked) {
    CEvent e(false, false, "never-set");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(e.waitFor(200), 2u);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(195));
    EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
}

} // namespace
} // namespace qx
