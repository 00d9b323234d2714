// tests/sync/FastMutex_concurrency_test.cpp -- the futex lock under the component-access lock: exclusion of
// a plain counter among threads that keep colliding, try_lock against a holder, and no sleeper left
// behind (a lost wake-up would leave a thread asleep, which the deadline below turns into a failure).
#include "sync/FastMutex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "sync/CCriticalSection.h"

namespace qx {
namespace {

TEST(FastMutex, KeepsACounterExactWhileThreadsCollideAndSleep) {
    FastMutex mutex;
    long counter = 0; // plain on purpose: only the lock orders the increments
    constexpr int kThreads = 4;
    constexpr int kRounds = 100000;
    auto work = std::async(std::launch::async, [&] {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < kRounds; ++i) {
                    mutex.lock();
                    ++counter;
                    // Now and then hold the lock long enough for the others to go to sleep on it.
                    if (i % 1000 == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
                    mutex.unlock();
                }
            });
        }
        for (auto& t : threads) t.join();
    });
    ASSERT_EQ(work.wait_for(std::chrono::seconds(60)), std::future_status::ready) << "a thread never woke up";
    EXPECT_EQ(counter, long{kThreads} * kRounds);
}

TEST(FastMutex, TryLockFailsWhileAnotherThreadHoldsIt) {
    FastMutex mutex;
    ASSERT_TRUE(mutex.try_lock());
    std::thread([&] { EXPECT_FALSE(mutex.try_lock()); }).join();
    mutex.unlock();
    std::thread([&] {
        EXPECT_TRUE(mutex.try_lock());
        mutex.unlock();
    }).join();
}

TEST(FastMutex, AWaiterWakesWhenTheHolderLetsGo) {
    CCriticalSection section;
    section.enter();
    section.enter(); // recursive: the waiter must wait for both leaves
    std::promise<void> started;
    auto waiter = std::async(std::launch::async, [&] {
        started.set_value();
        section.enter();
        section.leave();
    });
    started.get_future().wait();
    section.leave();
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout) << "entered while held";
    section.leave();
    EXPECT_EQ(waiter.wait_for(std::chrono::seconds(30)), std::future_status::ready) << "never woke";
}

} // namespace
} // namespace qx
