// The caller's function of a method and other threads: while the function runs, the component-access lock
// is free for other threads (the function may wait on one that uses the library), a caller that holds the
// lock itself keeps it, and the lock is taken back however the function ends.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ListTestSupport.h"

using namespace qxtest;

namespace {

HOBJ addMethod(HOBJ list, const char* name, MethodFunction f, std::vector<CallParam> user) {
    HOBJ h = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListRegisterMethod(list, name, f, user.empty() ? nullptr : user.data(), user.size(), 3, &h), 0)
        << name << ": " << lastError().text;
    return h;
}

CallParam i32(int32_t v) {
    CallParam p{};
    p.type = QX_PT_INT32;
    p.value.i32 = v;
    return p;
}

// Runs a second thread that writes a property through the interface and waits for it; with the lock kept
// during the call this would deadlock, so a wait that runs out ends the process with a failure.
int waitForSecondThread(HOBJ, HOBJ, CallParam* pUser, size_t, CallParam*, size_t) {
    const HOBJ prop = static_cast<HOBJ>(pUser[0].value.bits);
    auto writer = std::async(std::launch::async, [prop] {
        qxValue slot{};
        slot.i32 = 1234;
        ValBuffer buf{QX_VT_INT32, 1, &slot};
        return qxPropSetVal(prop, &buf, 0, QX_SETVAL_VALUES, nullptr, 0, 0);
    });
    if (writer.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::fprintf(stderr, "the second thread could not enter the library while the method ran\n");
        std::_Exit(3);
    }
    return writer.get();
}

TEST(MethodReentry, ASecondThreadUsesTheLibraryWhileTheFunctionWaitsForIt) {
    const HOBJ list = createList("l");
    const HOBJ p = addProp(list, "p");
    const HOBJ m = addMethod(list, "wait@i", waitForSecondThread, {u32In(p, QX_PT_HANDLE)});
    int64_t result = -1;
    ASSERT_EQ(qxMethCall(m, nullptr, 0, &result), 0);
    EXPECT_EQ(result, 0);
    qxValue slot{};
    ValBuffer buf{QX_VT_INT32, 1, &slot};
    ASSERT_EQ(qxPropGetVal(p, &buf, 0), 0);
    EXPECT_EQ(slot.i32, 1234);
}

// Tries the library from another thread for a while; true when it got in. A prober that is kept out is
// left to finish on its own once the lock is free (a std::async future would wait for it here).
bool otherThreadGetsIn(std::chrono::milliseconds patience) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> entered = done->get_future();
    std::thread([done] {
        qxIsPropListValid(0x0001FFFF);
        done->set_value();
    }).detach();
    return entered.wait_for(patience) == std::future_status::ready;
}

int checkLockFromInside(HOBJ, HOBJ, CallParam* pUser, size_t, CallParam*, size_t) {
    // [0]: 1 when the caller holds the lock itself, so another thread must stay out during the call.
    const bool callerHolds = pUser[0].value.i32 != 0;
    if (callerHolds) return otherThreadGetsIn(std::chrono::milliseconds(200)) ? 1 : 0;
    return otherThreadGetsIn(std::chrono::seconds(10)) ? 0 : 1;
}

int throwFromInside(HOBJ, HOBJ, CallParam*, size_t, CallParam*, size_t) { throw std::runtime_error("boom"); }

TEST(MethodReentry, TheLockIsLeftExactlyOnceAndTakenBackHoweverTheFunctionEnds) {
    const HOBJ list = createList("l");
    const HOBJ free = addMethod(list, "free@i", checkLockFromInside, {i32(0)});
    int64_t result = -1;
    ASSERT_EQ(qxMethCall(free, nullptr, 0, &result), 0);
    EXPECT_EQ(result, 0) << "another thread could not enter while the method ran";

    const HOBJ held = addMethod(list, "held@i", checkLockFromInside, {i32(1)});
    qxLockCompAccess();
    ASSERT_EQ(qxMethCall(held, nullptr, 0, &result), 0);
    EXPECT_EQ(result, 0) << "the caller's own hold on the lock was given away during the call";
    qxUnlockCompAccess(); // the prober that was kept out gets in now
    EXPECT_TRUE(otherThreadGetsIn(std::chrono::seconds(10)));

    const HOBJ thrower = addMethod(list, "throw@i", throwFromInside, {});
    EXPECT_EQ(qxMethCall(thrower, nullptr, 0, &result), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(lastError().text, "Internal error: boom");
    EXPECT_TRUE(otherThreadGetsIn(std::chrono::seconds(10))) << "the lock stayed taken after the exception";
    qxLockCompAccess(); // and was entered again, not left twice: the depth still balances
    qxUnlockCompAccess();
    EXPECT_TRUE(otherThreadGetsIn(std::chrono::seconds(10)));
}

} // namespace
