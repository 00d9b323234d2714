// Callbacks seen from several threads: the lock is left around caller code, waiters for a running
// component-changed call all wake, a failure on the way out still ends the call, and a stress run of
// writers with re-entrant callbacks beside a thread that churns callbacks ends with matching counts.
// Every wait is bounded, and a watchdog ends the process on a deadlock instead of letting it hang.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ListTestSupport.h"
#include "qxPropHandling.h"

using namespace qxtest;
using namespace std::chrono_literals;

namespace {

// Ends the process if the scope is not left in time: a deadlock fails the test instead of hanging.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              if (done_.wait_for(limit) == std::future_status::timeout) {
                  std::fprintf(stderr, "watchdog: no progress after %lld s, deadlock?\n",
                               static_cast<long long>(limit.count()));
                  std::_Exit(3);
              }
          }) {}
    ~Watchdog() {
        stop_.set_value();
        thread_.join();
    }

private:
    std::promise<void> stop_;
    std::shared_future<void> done_{stop_.get_future().share()};
    std::thread thread_;
};

int setInt(HOBJ h, int32_t v) {
    qxValue slot{};
    slot.i32 = v;
    ValBuffer b{QX_VT_INT32, 1, &slot};
    return qxPropSetVal(h, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0);
}
int32_t getInt(HOBJ h) {
    qxValue slot{};
    ValBuffer b{QX_VT_INT32, 1, &slot};
    return qxPropGetVal(h, &b, 0) == 0 ? slot.i32 : -1;
}

// Waits for flag with a time limit; false when it did not come.
bool waitFor(const std::atomic<bool>& flag, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!flag.load()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// ---- the lock is left around caller code ----------------------------------------------------------

HOBJ g_other = 0;
std::atomic<bool> g_otherWrote{false};
std::thread g_writer; // joined by the test, which may outlive the callback's wait
int waitForOtherThread(HOBJ, HOBJ, CallParam*, size_t, CallParam*, size_t) {
    g_writer = std::thread([] { g_otherWrote = setInt(g_other, 42) == 0; });
    return waitFor(g_otherWrote, 1000ms) ? 0 : 1;
}

TEST(CallbackThreads, AnotherThreadUsesTheLibraryWhileAWriteCallbackWaitsForIt) {
    Watchdog watchdog(60s);
    const HOBJ list = createList("l");
    const HOBJ prop = addProp(list, "p");
    g_other = addProp(list, "q");
    HCALLBACK h = 0;
    ASSERT_EQ(qxCompCreateCallback(QX_CB_PROPERTY_WRITE, &waitForOtherThread, nullptr, 0, &h), 0);
    ASSERT_EQ(qxCompAttachCallback(prop, h), 0);
    EXPECT_EQ(setInt(prop, 1), 0) << lastError().text;
    g_writer.join();
    EXPECT_EQ(getInt(g_other), 42);
}

TEST(CallbackThreads, ACallerHoldingTheLockTwiceKeepsItInsideCallbacks) {
    Watchdog watchdog(60s);
    const HOBJ list = createList("l");
    const HOBJ prop = addProp(list, "p");
    g_other = addProp(list, "q");
    g_otherWrote = false;
    HCALLBACK h = 0;
    ASSERT_EQ(qxCompCreateCallback(QX_CB_PROPERTY_WRITE, &waitForOtherThread, nullptr, 0, &h), 0);
    ASSERT_EQ(qxCompAttachCallback(prop, h), 0);
    qxLockCompAccess();
    // The other thread cannot get in while the caller's own hold stays: the callback gives up waiting.
    EXPECT_EQ(setInt(prop, 1), PROPHANDLING_PROP_VALIDATION_FAILED);
    EXPECT_FALSE(g_otherWrote);
    qxUnlockCompAccess();
    g_writer.join();
    EXPECT_TRUE(g_otherWrote);
}

// ---- detaching a running component-changed callback -----------------------------------------------

std::atomic<bool> g_running{false};
std::atomic<bool> g_release{false};
void blockUntilReleased(HOBJ, uintptr_t) {
    g_running = true;
    waitFor(g_release, 10000ms);
}

TEST(CallbackThreads, EveryDetacherOfARunningCallWaitsForItAndWakes) {
    Watchdog watchdog(60s);
    g_running = false;
    g_release = false;
    const HOBJ list = createList("l");
    const HOBJ prop = addProp(list, "p");
    CallParam user{};
    HCALLBACK h = 0;
    ASSERT_EQ(qxCompCreateFeatureChangedCallback(&blockUntilReleased, &user, 1, &h), 0);
    ASSERT_EQ(qxCompAttachCallback(prop, h), 0);
    std::thread writer([&] { EXPECT_EQ(setInt(prop, 5), 0); });
    ASSERT_TRUE(waitFor(g_running));
    // Meanwhile a change of another component with the same callback does not run it a second time.
    const HOBJ other = addProp(list, "q");
    ASSERT_EQ(qxCompAttachCallback(other, h), 0);
    g_running = false;
    EXPECT_EQ(setInt(other, 1), 0);
    EXPECT_FALSE(g_running);

    std::atomic<int> finished{0};
    std::vector<std::thread> detachers;
    for (int i = 0; i < 2; ++i) {
        detachers.emplace_back([&] {
            EXPECT_EQ(qxCompDetachCallback(prop, h), 0);
            ++finished;
        });
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(finished.load(), 0) << "a detach returned while the call was still running";
    g_release = true;
    for (std::thread& t : detachers) t.join();
    writer.join();
    EXPECT_EQ(finished.load(), 2);
    g_running = false;
    ASSERT_EQ(setInt(prop, 6), 0);
    EXPECT_FALSE(g_running) << "detached";
}

void throwOut(HOBJ, uintptr_t) {
    g_running = true;
    throw std::runtime_error("caller's failure");
}

TEST(CallbackThreads, AFailureLeavingTheCallerCodeStillEndsTheCall) {
    Watchdog watchdog(60s);
    g_running = false;
    const HOBJ list = createList("l");
    const HOBJ prop = addProp(list, "p");
    CallParam user{};
    HCALLBACK h = 0;
    ASSERT_EQ(qxCompCreateFeatureChangedCallback(&throwOut, &user, 1, &h), 0);
    ASSERT_EQ(qxCompAttachCallback(prop, h), 0);
    EXPECT_NE(setInt(prop, 5), 0) << "the failure is reported";
    EXPECT_TRUE(g_running);
    EXPECT_EQ(getInt(prop), 5) << "the change itself was stored before the callback ran";
    // No call is left running: another thread detaches and deletes without waiting.
    std::thread([&] {
        EXPECT_EQ(qxCompDetachCallback(prop, h), 0);
        EXPECT_EQ(qxCompDeleteCallback(h), 0);
    }).join();
}

// ---- stress --------------------------------------------------------------------------------------------

constexpr int kWriters = 4;
std::atomic<long> g_changedCalls[kWriters];
std::atomic<long> g_writeCalls{0};
std::atomic<long> g_sharedCalls{0};
HOBJ g_props[kWriters];
HOBJ g_shared = 0;

// Component-changed: re-enters the interface to read the property it is told about.
void countChange(HOBJ hObj, uintptr_t writer) {
    if (getInt(hObj) < 0) return;
    ++(writer < kWriters ? g_changedCalls[writer] : g_sharedCalls);
}
// Write validation: re-enters to read another property, refuses nothing.
int readAndAccept(HOBJ, HOBJ, CallParam*, size_t, CallParam*, size_t) {
    getInt(g_shared);
    ++g_writeCalls;
    return 0;
}

TEST(CallbackThreads, WritersAndACallbackChurnerAgreeOnTheCounts) {
    Watchdog watchdog(90s);
    const HOBJ list = createList("stress");
    g_shared = addProp(list, "shared");
    for (int w = 0; w < kWriters; ++w) {
        g_props[w] = addProp(list, ("p" + std::to_string(w)).c_str());
        g_changedCalls[w] = 0;
        CallParam user{};
        user.value.bits = static_cast<uint64_t>(w);
        HCALLBACK h = 0;
        ASSERT_EQ(qxCompCreateFeatureChangedCallback(&countChange, &user, 1, &h), 0);
        ASSERT_EQ(qxCompAttachCallback(g_props[w], h), 0);
    }
    std::atomic<bool> stop{false};
    std::atomic<long> writes[kWriters];
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        writes[w] = 0;
        threads.emplace_back([&, w] {
            for (int32_t v = 1; !stop; ++v) {
                const int rc = setInt(g_props[w], v);
                if (rc == 0) ++writes[w];
                else ADD_FAILURE() << "write refused: " << rc;
            }
        });
    }
    std::atomic<long> churns{0};
    threads.emplace_back([&] {
        while (!stop) {
            HCALLBACK write = 0, access = 0, changed = 0;
            CallParam user{};
            user.value.bits = kWriters;
            if (qxCompCreateCallback(QX_CB_PROPERTY_WRITE, &readAndAccept, nullptr, 0, &write) != 0 ||
                qxCompCreateCallback(QX_CB_COMPONENT_ACCESS, &readAndAccept, nullptr, 0, &access) != 0 ||
                qxCompCreateFeatureChangedCallback(&countChange, &user, 1, &changed) != 0) {
                ADD_FAILURE() << "create: " << lastError().text;
                return;
            }
            for (HOBJ p : g_props) {
                EXPECT_EQ(qxCompAttachCallback(p, write), 0);
                EXPECT_EQ(qxCompAttachCallback(p, access), 0);
            }
            EXPECT_EQ(qxCompAttachCallback(g_shared, changed), 0);
            setInt(g_shared, static_cast<int32_t>(churns.load()));
            EXPECT_EQ(qxCompDetachCallback(g_props[churns % kWriters], write), 0);
            EXPECT_EQ(qxCompDeleteCallback(write), 0);
            EXPECT_EQ(qxCompDeleteCallback(access), 0);
            EXPECT_EQ(qxCompDeleteCallback(changed), 0);
            ++churns;
        }
    });
    const bool underTsan = std::getenv("TSAN_OPTIONS") != nullptr;
    std::this_thread::sleep_for(underTsan ? 2s : 1s);
    stop = true;
    for (std::thread& t : threads) t.join();

    EXPECT_GT(churns.load(), 0);
    EXPECT_GT(g_writeCalls.load(), 0);
    EXPECT_GT(g_sharedCalls.load(), 0);
    for (int w = 0; w < kWriters; ++w) {
        EXPECT_GT(writes[w].load(), 0);
        // Each write stored a new value: one value change and one component-changed call each.
        const CallParam changes = param(g_props[w], QX_PAR_CHANGE_COUNT);
        EXPECT_EQ(static_cast<long>(changes.value.i32), writes[w].load()) << "property " << w;
        EXPECT_EQ(g_changedCalls[w].load(), writes[w].load()) << "property " << w;
    }
}

} // namespace
