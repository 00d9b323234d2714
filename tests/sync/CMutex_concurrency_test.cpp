// tests/sync/CMutex_concurrency_test.cpp -- the sync objects between threads of one process: abandonment by a
// thread that ends holding a mutex, exclusion, waking waiters, and the process's table of named objects
// under threads that open and close names at once.
#include "sync/CEvent.h"
#include "sync/CMutex.h"
#include "sync/CSemaphore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "platform/NamedObject.h"

namespace qx {
namespace {

void expectAbandonedByEndedThread(CMutex& m) {
    std::thread owner([&] { EXPECT_EQ(m.waitFor(CSyncObj::kInfinite), 1u); });
    owner.join();
    EXPECT_EQ(m.waitFor(2000), 0u);
    // The caller owns it now.
    std::thread other([&] {
        EXPECT_EQ(m.waitFor(0), 2u);
        EXPECT_FALSE(m.release());
    });
    other.join();
    EXPECT_TRUE(m.release());
    EXPECT_EQ(m.waitFor(0), 1u);  // consistent again: an ordinary acquisition
    EXPECT_TRUE(m.release());
}

TEST(CMutexThreads, ThreadEndingWhileOwningUnnamedMutexAbandonsIt) {
    CMutex m(false, nullptr);
    expectAbandonedByEndedThread(m);
}

TEST(CMutexThreads, SameNameInOneProcessIsOneMutex) {
    CMutex a(false, "one-per-process");
    CMutex b(false, "one-per-process");
    EXPECT_TRUE(b.existedBefore());
    ASSERT_EQ(a.waitFor(0), 1u);
    std::thread other([&] { EXPECT_EQ(b.waitFor(50), 2u); });
    other.join();
    EXPECT_TRUE(b.release());  // same mutex, same owner thread
}

TEST(CMutexThreads, ExcludesOtherThreads) {
    CMutex m(false, "counter-lock");
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            CMutex mine(false, "counter-lock");
            for (int i = 0; i < 20000; ++i) {
                if (mine.waitFor(CSyncObj::kInfinite) != 1) return;
                ++counter;
                mine.release();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 80000);
}

TEST(CEventThreads, SetWakesWaitingThread) {
    for (const char* name : {static_cast<const char*>(nullptr), "thread-wake"}) {
        CEvent e(false, false, name);
        auto waiter = std::async(std::launch::async, [&] { return e.waitFor(5000); });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_TRUE(e.set());
        ASSERT_EQ(waiter.wait_for(std::chrono::seconds(3)), std::future_status::ready);
        EXPECT_EQ(waiter.get(), 1u);
        EXPECT_EQ(e.waitFor(0), 2u);
    }
}

TEST(CSemaphoreThreads, EveryReleasedCountIsTakenOnce) {
    CSemaphore s(0, 1000, "handover");
    std::atomic<int> taken{0};
    std::vector<std::thread> consumers;
    for (int i = 0; i < 4; ++i)
        consumers.emplace_back([&] {
            while (s.waitFor(500) == 1) ++taken;
        });
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(s.release(1, nullptr));
    for (auto& t : consumers) t.join();
    EXPECT_EQ(taken.load(), 200);
    EXPECT_EQ(s.waitFor(0), 2u);
}

TEST(NamedObjectThreads, OpeningAndClosingFromManyThreadsKeepsOneObjectPerName) {
    // Eight threads open and close the same few names at once, while one long-lived holder keeps "kept"
    // alive: every open of "kept" must join the holder's object, and when all are done no name is left.
    constexpr int kRounds = 120;
    auto kept = std::make_unique<CSemaphore>(0, 1000000, "kept");
    ASSERT_NE(kept->handle(), nullptr);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            const char* mutexes[] = {"churn-m0", "churn-m1", "churn-m2"};
            const char* events[] = {"churn-e0", "churn-e1", "churn-e2"};
            for (int i = 0; i < kRounds; ++i) {
                CSemaphore joined(0, 1, "kept");
                if (!joined.existedBefore() || !joined.release(1, nullptr)) ++failures;
                switch ((t + i) % 3) {
                case 0: {
                    CMutex m(false, mutexes[i % 3]);
                    if (m.waitFor(CSyncObj::kInfinite) != 1 || !m.release()) ++failures;
                    break;
                }
                case 1: {
                    CEvent e(true, false, events[i % 3]);
                    if (!e.set() || e.waitFor(0) != 1) ++failures;
                    break;
                }
                default: {
                    CMutex m(false, "churn-mutex");
                    if (m.handle() == nullptr) ++failures;
                }
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    long previous = -1;
    ASSERT_TRUE(kept->release(1, &previous));
    EXPECT_EQ(previous, 8 * kRounds);
    kept.reset(); // the last holder: every count of users must have come back to it
    EXPECT_FALSE(platform::namedObjectExists("kept", platform::ObjectKind::Semaphore));
    for (const char* name : {"churn-m0", "churn-m1", "churn-m2", "churn-mutex"}) {
        EXPECT_FALSE(platform::namedObjectExists(name, platform::ObjectKind::Mutex)) << name;
    }
    for (const char* name : {"churn-e0", "churn-e1", "churn-e2"}) {
        EXPECT_FALSE(platform::namedObjectExists(name, platform::ObjectKind::Event)) << name;
    }
}

} // namespace
} // namespace qx
