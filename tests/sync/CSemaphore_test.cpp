// tests/sync/CSemaphore_test.cpp -- counting semaphores: the count as two processes see it, the maximum, the
// previous count a release reports, and the logger's "am I the only writer" use.
#include "sync/CSemaphore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ForkedChild.h"

namespace qx {
namespace {

using test::ForkedChild;
using test::Signal;

TEST(CSemaphore, CountIsSharedBetweenProcesses) {
    CSemaphore s(2, 5, "shared-count");
    ASSERT_NE(s.handle(), nullptr);
    EXPECT_FALSE(s.existedBefore());
    ForkedChild child([] {
        CSemaphore mine(0, 1, "shared-count");  // exists: its own count and maximum stay
        return mine.existedBefore() && mine.waitFor(0) == 1 ? 0 : 1;
    });
    ASSERT_EQ(child.wait(), 0);
    long previous = -1;
    EXPECT_TRUE(s.release(1, &previous));
    EXPECT_EQ(previous, 1);
    previous = -1;
    EXPECT_FALSE(s.release(4, &previous));  // 2 + 4 > 5
    EXPECT_EQ(previous, -1);
    EXPECT_TRUE(s.release(3, &previous));
    EXPECT_EQ(previous, 2);
    ForkedChild taker([] {
        CSemaphore mine(0, 1, "shared-count");
        int taken = 0;
        while (mine.waitFor(0) == 1) ++taken;
        return taken;
    });
    EXPECT_EQ(taker.wait(), 5);
    EXPECT_EQ(s.waitFor(0), 2u);
}

TEST(CSemaphore, WriterCountingWithTheLargestMaximum) {
    CSemaphore first(0x7FFFFFFF, 0x7FFFFFFF, "writers");
    ASSERT_NE(first.handle(), nullptr);
    ASSERT_EQ(first.waitFor(0), 1u);
    long previous = 0;
    ASSERT_TRUE(first.release(1, &previous));
    EXPECT_EQ(previous, 0x7FFFFFFE);  // nobody else holds a count
    ASSERT_EQ(first.waitFor(0), 1u);
    EXPECT_FALSE(first.release(2, nullptr));
    ForkedChild second([] {
        CSemaphore s(0x7FFFFFFF, 0x7FFFFFFF, "writers");
        long seen = 0;
        if (s.waitFor(0) != 1 || !s.release(1, &seen)) return 1;
        return seen == 0x7FFFFFFD ? 0 : 2;  // the first writer still holds one
    });
    EXPECT_EQ(second.wait(), 0);
    EXPECT_TRUE(first.release(1, &previous));
    EXPECT_EQ(previous, 0x7FFFFFFE);
}

TEST(CSemaphore, WaiterInAnotherProcessIsWokenByRelease) {
    CSemaphore s(0, 1, "wake-child");
    Signal waiting;
    ForkedChild child([&] {
        CSemaphore mine(0, 1, "wake-child");
        waiting.notify();
        return static_cast<int>(mine.waitFor(5000));
    });
    ASSERT_TRUE(waiting.waitFor(5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(s.release(1, nullptr));
    EXPECT_EQ(child.wait(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(s.waitFor(0), 2u);  // the child took the only count
}

TEST(CSemaphore, UnnamedCountsAndImpossibleParameters) {
    CSemaphore s(1, 2, nullptr);
    long previous = -1;
    EXPECT_TRUE(s.release(1, &previous));
    EXPECT_EQ(previous, 1);
    EXPECT_FALSE(s.release(1, nullptr));
    EXPECT_FALSE(s.release(0, nullptr));
    EXPECT_EQ(s.waitFor(0), 1u);
    EXPECT_EQ(s.waitFor(0), 1u);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(s.waitFor(100), 2u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(95));
    for (const auto& [initial, maximum] : {std::pair{3L, 2L}, {0L, 0L}, {-1L, 5L}, {1L, 0x80000000L}}) {
        CSemaphore bad(initial, maximum, "bad-counts");
        EXPECT_EQ(bad.handle(), nullptr) << initial << "/" << maximum;
        EXPECT_EQ(bad.waitFor(0), 2u);
        EXPECT_FALSE(bad.release(1, nullptr));
    }
}

} // namespace
} // namespace qx
