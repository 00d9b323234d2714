// The C++ interface (include/qxPropHandling.hpp) over the shared library: who deletes what (owning lists,
// views, moved-from objects, lists deleted behind an owner's back), callbacks gone before their object
// is (also while an exception unwinds), the mapping of failed calls to qx::Error, typed values of every
// type, path lookup, iteration, the scoped lock, methods and settings. Each check looks through the C
// interface where that is the honest witness (is the list still valid, does the callback handle exist).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "qxPropHandling.hpp"

// Allocations of the whole program, the library's included (AllocationCounter_helper.cpp).
extern std::atomic<long> g_allocations;

namespace {

// One reference for the whole program: the last release would destroy the tree between tests.
qx::Library g_library;

std::string lastErrorText() {
    int code = 0;
    size_t size = 0;
    if (qxPropHandlingGetLastError(&code, nullptr, &size) != 0) return "<size query failed>";
    std::vector<char> text(size);
    if (qxPropHandlingGetLastError(&code, text.data(), &size) != 0) return "<read failed>";
    return text.data();
}

// Runs f and returns the qx::Error it threw; fails the test when it threw nothing.
qx::Error errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const qx::Error& e) {
        return e;
    }
    ADD_FAILURE() << "no qx::Error thrown";
    return qx::Error(0, "");
}

class CppInterface : public ::testing::Test {
protected:
    qx::List list = qx::List::create("camera", 0);
};

// ---- ownership ---------------------------------------------------------------------------------------

TEST_F(CppInterface, AnOwningListAndAViewOfItDeleteItOnce) {
    HOBJ h = 0;
    {
        qx::List owner = qx::List::create("owned");
        h = owner.handle();
        {
            qx::List view = qx::List::view(h);
            EXPECT_FALSE(view.owning());
            EXPECT_EQ(view.handle(), h);
        }
        EXPECT_EQ(qxIsPropListValid(h), 1) << "a view deleted the list";
        qx::List laterView = qx::List::view(h);
        owner = qx::List(); // the owner goes first; the view is still around
        EXPECT_EQ(qxIsPropListValid(h), 0);
        EXPECT_FALSE(laterView.valid());
        EXPECT_EQ(errorOf([&] { laterView.name(); }).code(), PROPHANDLING_LIST_ID_INVALID);
    }
    // The ID is free again: the next list gets it, and nothing deletes that one.
    qx::List next = qx::List::create("next");
    EXPECT_EQ(next.handle(), h);
    EXPECT_TRUE(next.valid());
}

TEST_F(CppInterface, MovedFromListsAreInertAndMoveAssignmentDeletesTheOldList) {
    qx::List a = qx::List::create("a");
    const HOBJ ha = a.handle();
    qx::List b = std::move(a);
    EXPECT_EQ(a.handle(), 0xFFFFFFFFu);
    EXPECT_FALSE(a.owning());
    EXPECT_TRUE(b.owning());
    a = qx::List(); // destroying the moved-from object touches nothing
    EXPECT_EQ(qxIsPropListValid(ha), 1);

    qx::List c = qx::List::create("c");
    const HOBJ hc = c.handle();
    c = std::move(b); // c's own list goes, b's list lives on in c
    EXPECT_EQ(qxIsPropListValid(hc), 0);
    EXPECT_EQ(qxIsPropListValid(ha), 1);
    EXPECT_EQ(c.handle(), ha);
}

TEST_F(CppInterface, AListDeletedBehindItsOwnersBackIsNotDeletedTwice) {
    auto owner = std::make_unique<qx::List>(qx::List::create("first"));
    const HOBJ h = owner->handle();
    ASSERT_EQ(qxPropListDelete(h), 0);
    qx::List stranger = qx::List::create("stranger"); // takes the freed ID
    ASSERT_EQ(stranger.handle(), h);
    owner.reset();
    EXPECT_EQ(qxIsPropListValid(h), 1) << "the owner deleted the list that took its ID";
    EXPECT_EQ(stranger.name(), "stranger");

    // A list of the same name at the same ID looks like the owner's own: the C interface keeps no mark of
    // which creation a list came from, so the owner deletes it (docs/behaviour.md). release() before
    // deleting through C is how code that does so keeps the owner out.
    auto twin = std::make_unique<qx::List>(qx::List::create("twin"));
    const HOBJ ht = twin->handle();
    ASSERT_EQ(qxPropListDelete(ht), 0);
    HOBJ again = 0;
    ASSERT_EQ(qxPropListCreate(&again, "twin", 0, qx::kReadWrite), 0);
    ASSERT_EQ(again, ht);
    twin.reset();
    EXPECT_EQ(qxIsPropListValid(ht), 0) << "the owner no longer deletes a same-named list at its ID";
    auto released = std::make_unique<qx::List>(qx::List::create("twin"));
    ASSERT_EQ(qxPropListDelete(released->release()), 0);
    ASSERT_EQ(qxPropListCreate(&again, "twin", 0, qx::kReadWrite), 0);
    released.reset();
    EXPECT_EQ(qxIsPropListValid(again), 1) << "a released owner deleted the list made after it";
    EXPECT_EQ(qxPropListDelete(again), 0);

    // An explicit destroy reports what the destructor can only leave in the last error.
    qx::List gone = qx::List::create("gone");
    ASSERT_EQ(qxPropListDelete(gone.handle()), 0);
    EXPECT_EQ(errorOf([&] { gone.destroy(); }).code(), PROPHANDLING_LIST_ID_INVALID);
    EXPECT_FALSE(gone.owning());
}

TEST_F(CppInterface, AListRegisteredInAnotherIsOwnedByIt) {
    HOBJ childHandle = 0;
    {
        qx::List parent = qx::List::create("parent");
        qx::List child = qx::List::create("child");
        childHandle = child.handle();
        const qx::List inParent = parent.add(child);
        EXPECT_FALSE(child.owning());
        EXPECT_EQ(inParent.handle(), childHandle);
        EXPECT_EQ(parent["child"].list().handle(), childHandle);
    } // parent goes first (declared first, destroyed last: child's view does nothing either way)
    EXPECT_EQ(qxIsPropListValid(childHandle), 0);
}

TEST_F(CppInterface, ClonesDerivedListsAndImportsAreOwned) {
    list.addProperty<int>("gain").set(7);
    HOBJ clone = 0, derived = 0;
    {
        const qx::List c = list.clone("copy");
        const qx::List d = list.derive("child");
        clone = c.handle();
        derived = d.handle();
        EXPECT_EQ(c["gain"].property().get<int>(), 7);
        EXPECT_EQ(d.name(), "child");
    }
    EXPECT_EQ(qxIsPropListValid(clone), 0);
    EXPECT_EQ(qxIsPropListValid(derived), 0);
    EXPECT_EQ(qxIsPropListValid(list.handle()), 1);
}

// ---- callbacks ---------------------------------------------------------------------------------------

TEST_F(CppInterface, ACallbackIsDeletedWhenAnExceptionUnwindsItsScope) {
    const qx::Property gain = list.addProperty<int>("gain");
    int calls = 0;
    HCALLBACK h = 0;
    try {
        qx::Callback cb = qx::Callback::onWrite([&](const qx::Event&) { ++calls; return true; });
        cb.attach(gain);
        h = cb.handle();
        gain.set(1);
        ASSERT_EQ(calls, 1);
        throw std::runtime_error("leaving the scope");
    } catch (const std::runtime_error&) {
    }
    gain.set(2);
    EXPECT_EQ(calls, 1) << "the callback still ran after its object was gone";
    EXPECT_EQ(qxCompDeleteCallback(h), PROPHANDLING_INVALID_INPUT_PARAMETER) << "the callback handle still exists";
}

TEST_F(CppInterface, EveryKindOfCallbackRunsUntilItsObjectGoes) {
    const qx::Property gain = list.addProperty<int>("gain");
    std::vector<std::string> seen;
    HCALLBACK handles[3] = {};
    {
        qx::Callback write = qx::Callback::onWrite([&](const qx::Event& e) {
            seen.push_back("write " + std::to_string(e.value<int>()));
            return true;
        });
        qx::Callback read = qx::Callback::onRead([&](const qx::Event& e) {
            seen.push_back("read " + e.component.name());
            return true;
        });
        qx::Callback change = qx::Callback::onChange([&](const qx::Component& c) {
            seen.push_back("changed " + std::to_string(c.property().get<int>()));
        });
        for (const qx::Callback* cb : {&write, &read, &change}) cb->attach(gain);
        handles[0] = write.handle();
        handles[1] = read.handle();
        handles[2] = change.handle();
        gain.set(5);
        EXPECT_EQ(gain.get<int>(), 5);
    }
    // The change callback's own read runs the read callback inside it.
    EXPECT_EQ(seen, (std::vector<std::string>{"write 5", "read gain", "changed 5", "read gain"}));
    seen.clear();
    gain.set(6);
    EXPECT_EQ(gain.get<int>(), 6);
    EXPECT_TRUE(seen.empty());
    for (HCALLBACK h : handles) EXPECT_EQ(qxCompDeleteCallback(h), PROPHANDLING_INVALID_INPUT_PARAMETER);
}

TEST_F(CppInterface, AMovedCallbackStaysAttachedAndTheMovedFromOneIsInert) {
    const qx::Property gain = list.addProperty<int>("gain");
    int calls = 0;
    qx::Callback a = qx::Callback::onWrite([&](const qx::Event&) { ++calls; return true; });
    a.attach(gain);
    const HCALLBACK h = a.handle();
    qx::Callback b = std::move(a);
    EXPECT_FALSE(a);
    EXPECT_TRUE(b);
    a = qx::Callback(); // destroying the moved-from object deletes nothing
    gain.set(3);
    EXPECT_EQ(calls, 1);
    b.reset();
    EXPECT_EQ(qxCompDeleteCallback(h), PROPHANDLING_INVALID_INPUT_PARAMETER);
    gain.set(4);
    EXPECT_EQ(calls, 1);
}

TEST_F(CppInterface, AnAccessCallbackRunsOnceAfterEachInvalidate) {
    const qx::Property gain = list.addProperty<int>("gain");
    std::vector<HOBJ> seen;
    qx::Callback access = qx::Callback::onAccess([&](const qx::Event& e) {
        seen.push_back(e.component.handle());
        return true;
    });
    access.attach(gain);
    gain.get<int>();
    EXPECT_TRUE(seen.empty()) << "never invalidated";
    gain.invalidate();
    gain.set(3);
    EXPECT_EQ(gain.get<int>(), 3);
    EXPECT_EQ(seen, std::vector<HOBJ>{gain.handle()});
}

TEST_F(CppInterface, ARefusingWriteCallbackKeepsTheValueAndReportsTheLibrarysCode) {
    const qx::Property gain = list.addProperty<int>("gain");
    gain.set(1);
    qx::Callback guard = qx::Callback::onWrite([](const qx::Event& e) { return e.value<int>() <= 10; });
    guard.attach(gain);
    gain.set(10);
    const qx::Error e = errorOf([&] { gain.set(11); });
    EXPECT_EQ(e.code(), PROPHANDLING_PROP_VALIDATION_FAILED);
    EXPECT_EQ(gain.get<int>(), 10);
}

TEST_F(CppInterface, AnExceptionFromCallbackCodeIsRethrownByTheCallThatRanIt) {
    const qx::Property gain = list.addProperty<int>("gain");
    qx::Callback write = qx::Callback::onWrite([](const qx::Event& e) -> bool {
        if (e.value<int>() == 13) throw std::logic_error("unlucky value");
        return true;
    });
    write.attach(gain);
    gain.set(12);
    try {
        gain.set(13);
        FAIL() << "nothing thrown";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "unlucky value");
    }
    EXPECT_EQ(gain.get<int>(), 12);
    gain.set(14); // the exception was taken: the next call is clean

    // Run by a plain C call, the exception waits for the thread's next wrapper call.
    qxValue slot;
    slot.i64 = 13;
    const ValBuffer b{QX_VT_INT32, 1, &slot};
    EXPECT_EQ(qxPropSetVal(gain.handle(), &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0), PROPHANDLING_PROP_VALIDATION_FAILED);
    EXPECT_THROW(gain.get<int>(), std::logic_error);
    EXPECT_EQ(gain.get<int>(), 14);

    const qx::Property mode = list.addProperty<int>("mode");
    qx::Callback change = qx::Callback::onChange([](const qx::Component&) { throw std::out_of_range("after the change"); });
    change.attach(mode);
    EXPECT_THROW(mode.set(1), std::out_of_range);
    EXPECT_EQ(mode.get<int>(), 1); // a change callback runs after the store
}

TEST_F(CppInterface, AWriteCallbackSeesTextsAsWrittenAndNumbersConverted) {
    const qx::Property mode = list.addProperty<int>("mode");
    mode.addTranslation("Off", 0);
    mode.addTranslation("On", 1);
    std::vector<std::string> seen;
    qx::Callback cb = qx::Callback::onWrite([&](const qx::Event& e) {
        seen.push_back((e.isText() ? "text " : "number ") + e.value<std::string>() + " " +
                       std::to_string(e.value<double>(0) * 0)); // a text that is not a number throws
        return true;
    });
    cb.attach(mode);
    mode.set(1);
    EXPECT_THROW(mode.set("On"), qx::Error); // "On" is no number: value<double> throws -2029, rethrown
    EXPECT_EQ(seen, (std::vector<std::string>{"number 1 0.000000"}));

    const qx::Property level = list.addProperty<double>("level");
    std::vector<double> levels;
    qx::Callback parse = qx::Callback::onWrite([&](const qx::Event& e) {
        levels.push_back(e.value<double>());
        return true;
    });
    parse.attach(level);
    level.set("2.25");
    EXPECT_THROW(level.set("2.25x"), qx::Error);
    EXPECT_EQ(levels, std::vector<double>{2.25});
    EXPECT_EQ(level.get<double>(), 2.25);
}

TEST_F(CppInterface, DetachTakesTheCallbackOffOneComponentOnly) {
    const qx::Property gain = list.addProperty<int>("gain");
    const qx::Property exposure = list.addProperty<int>("exposure");
    std::vector<HOBJ> seen;
    qx::Callback cb = qx::Callback::onWrite([&](const qx::Event& e) {
        seen.push_back(e.component.handle());
        return true;
    });
    cb.attach(gain);
    cb.attach(exposure);
    cb.detach(gain);
    gain.set(1);
    exposure.set(2);
    EXPECT_EQ(seen, std::vector<HOBJ>{exposure.handle()});
    EXPECT_THROW(cb.attach(list.component()), qx::Error); // a write callback on a list: -2001
}

// ---- errors ----------------------------------------------------------------------------------------------

TEST_F(CppInterface, FailedCallsBecomeErrorsWithCodeNameAndTheLibrarysText) {
    const qx::Property locked = list.addProperty<int>("locked", 1, QX_CF_READ_ACCESS);
    const qx::Property gain = list.addProperty<int>("gain");
    gain.setLimit(qx::Limit::Maximum, 100);
    list.addList("stream0");
    list.addMethod("twice@ii", [](HOBJ, HOBJ, CallParam*, size_t, CallParam* v, size_t) { return 2 * v[0].value.i32; });
    struct Case {
        const char* what;
        std::function<void()> call;
        int code;
        const char* name;
        const char* inText; // a piece of the library's text
    };
    const Case cases[] = {
        {"write to a read-only property", [&] { locked.set(1); }, PROPHANDLING_NO_WRITE_RIGHTS,
         "PROPHANDLING_NO_WRITE_RIGHTS", "locked"},
        {"read past the last value", [&] { gain.get<int>(3); }, PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS,
         "PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS", ""},
        {"above the maximum", [&] { gain.set(101); }, PROPHANDLING_PROP_VAL_TOO_LARGE, "PROPHANDLING_PROP_VAL_TOO_LARGE", ""},
        {"a double read of an Int32", [&] { gain.get<double>(); }, PROPHANDLING_INVALID_PROP_VALUE_TYPE,
         "PROPHANDLING_INVALID_PROP_VALUE_TYPE", ""},
        {"a missing name", [&] { list["nothing"]; }, PROPHANDLING_COMPONENT_NOT_FOUND, "PROPHANDLING_COMPONENT_NOT_FOUND",
         "nothing"},
        {"a property as a list", [&] { list["gain"].list(); }, PROPHANDLING_NOT_A_LIST, "PROPHANDLING_NOT_A_LIST", "gain"},
        {"a list as a property", [&] { list["stream0"].property(); }, PROPHANDLING_NOT_A_PROPERTY,
         "PROPHANDLING_NOT_A_PROPERTY", "stream0"},
        {"a property as a method", [&] { static_cast<void>(static_cast<qx::Method>(list["gain"])); }, PROPHANDLING_NOT_A_METHOD,
         "PROPHANDLING_NOT_A_METHOD", "gain"},
        {"a parameter text too long", [&] { list["twice@ii"].method().callText("1 2"); }, PROPHANDLING_WRONG_PARAM_COUNT,
         "PROPHANDLING_WRONG_PARAM_COUNT", "Expected: 1, got: 2"},
        {"a malformed method name", [&] { list.addMethod("calc", nullptr); }, PROPHANDLING_METHOD_PTR_INVALID,
         "PROPHANDLING_METHOD_PTR_INVALID", "calc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const qx::Error e = errorOf(c.call);
        EXPECT_EQ(e.code(), c.code);
        EXPECT_EQ(e.name(), c.name);
        EXPECT_EQ(e.text(), lastErrorText());
        EXPECT_NE(e.text().find(c.inText), std::string::npos) << e.text();
        EXPECT_NE(std::string(e.what()).find(c.name), std::string::npos) << e.what();
    }
}

TEST_F(CppInterface, AnInvalidValueIsAnAnswerOfAcceptsNotAnError) {
    const qx::Property mode = list.addProperty<int>("mode");
    mode.addTranslation("Off", 0);
    EXPECT_TRUE(mode.accepts(0));
    EXPECT_FALSE(mode.accepts(5));
    const qx::Property locked = list.addProperty<int>("locked", 1, QX_CF_READ_ACCESS);
    qx::Callback refuse = qx::Callback::onWrite([](const qx::Event&) { return false; });
    refuse.attach(locked);
    EXPECT_EQ(errorOf([&] { locked.accepts(1); }).code(), PROPHANDLING_PROP_VALIDATION_FAILED);
}

// ---- typed values ------------------------------------------------------------------------------------

TEST_F(CppInterface, ScalarsOfEveryTypeRoundTrip) {
    int anchor = 0;
    const qx::Property i32 = list.addProperty<std::int32_t>("i32");
    const qx::Property i64 = list.addProperty<std::int64_t>("i64");
    const qx::Property dbl = list.addProperty<double>("dbl");
    const qx::Property str = list.addProperty<std::string>("str");
    const qx::Property ptr = list.addProperty<void*>("ptr");
    i32.set(-123456);
    i64.set(std::int64_t{1} << 40);
    dbl.set(2.5);
    str.set(std::string("hello, world"));
    ptr.set(static_cast<void*>(&anchor));
    EXPECT_EQ(i32.get<std::int32_t>(), -123456);
    EXPECT_EQ(i32.get<std::int64_t>(), -123456) << "an Int32 slot must read back sign-extended";
    EXPECT_EQ(i64.get<std::int64_t>(), std::int64_t{1} << 40);
    EXPECT_EQ(dbl.get<double>(), 2.5);
    EXPECT_EQ(str.get<std::string>(), "hello, world");
    EXPECT_EQ(ptr.get<void*>(), static_cast<void*>(&anchor));
    EXPECT_EQ(i32.valueType(), std::uint32_t{QX_VT_INT32});
    EXPECT_EQ(str.valueType(), std::uint32_t{QX_VT_STRING});

    // Texts go through the library: parsed for numbers, formatted by its format strings.
    i32.set("0x10");
    EXPECT_EQ(i32.get<int>(), 16);
    str.set("plain");
    EXPECT_EQ(str.get<std::string>(), "plain");
    EXPECT_EQ(i32.text(), "16");
    EXPECT_EQ(i32.text(0, "%04d"), "0016");
    EXPECT_EQ(dbl.text(), "2.500000");
}

TEST_F(CppInterface, TypedScalarGetAndSetAllocateNothingBeyondTheCCall) {
    const qx::Property gain = list.addProperty<int>("gain");
    const qx::Property level = list.addProperty<double>("level");
    const auto count = [](const std::function<void(int)>& step) {
        const long before = g_allocations.load();
        for (int i = 1; i <= 100; ++i) step(i);
        return g_allocations.load() - before;
    };
    const long c = count([&](int i) {
        qxValue slots[2];
        slots[0].i64 = i;
        slots[1].dbl = i * 0.5;
        const ValBuffer ib{QX_VT_INT32, 1, &slots[0]}, db{QX_VT_DOUBLE, 1, &slots[1]};
        ASSERT_EQ(qxPropSetVal(gain.handle(), &ib, 0, QX_SETVAL_VALUES, nullptr, 0, 0), 0);
        ASSERT_EQ(qxPropSetVal(level.handle(), &db, 0, QX_SETVAL_VALUES, nullptr, 0, 0), 0);
        ValBuffer rb{QX_VT_INT32, 1, &slots[0]}, rd{QX_VT_DOUBLE, 1, &slots[1]};
        ASSERT_EQ(qxPropGetVal(gain.handle(), &rb, 0), 0);
        ASSERT_EQ(qxPropGetVal(level.handle(), &rd, 0), 0);
    });
    const long wrapped = count([&](int i) {
        gain.set(1000 + i);
        level.set(1000 + i * 0.5);
        ASSERT_EQ(gain.get<int>(), 1000 + i);
        ASSERT_EQ(level.get<double>(), 1000 + i * 0.5);
    });
    EXPECT_EQ(wrapped, c);
}

TEST_F(CppInterface, ArraysOfEveryTypeRoundTrip) {
    const qx::Property i32 = list.addProperty<int>("i32", 0);
    const qx::Property i64 = list.addProperty<std::int64_t>("i64", 0);
    const qx::Property dbl = list.addProperty<double>("dbl", 0);
    const qx::Property str = list.addProperty<std::string>("str", 0);
    const qx::Property ptr = list.addProperty<void*>("ptr", 0);
    int a = 0, b = 0;
    i32.set(std::vector<int>{3, -1, 4});
    i64.set(std::vector<std::int64_t>{std::int64_t{5} << 33, -7});
    dbl.set(std::vector<double>{0.5, 1.5});
    str.set(std::vector<std::string>{"x", "", "zz"});
    ptr.set(std::vector<void*>{&a, &b});
    EXPECT_EQ(i32.get<std::vector<int>>(), (std::vector<int>{3, -1, 4}));
    EXPECT_EQ(i64.get<std::vector<std::int64_t>>(), (std::vector<std::int64_t>{std::int64_t{5} << 33, -7}));
    EXPECT_EQ(dbl.get<std::vector<double>>(), (std::vector<double>{0.5, 1.5}));
    EXPECT_EQ(str.get<std::vector<std::string>>(), (std::vector<std::string>{"x", "", "zz"}));
    EXPECT_EQ(ptr.get<std::vector<void*>>(), (std::vector<void*>{&a, &b}));
    EXPECT_EQ(i32.count(), 3u);
    EXPECT_EQ(i32.textAll(), "3, -1, 4");

    // Writing from an index grows the property; index and count are not swapped.
    i32.set(std::vector<int>{8, 9}, 2);
    EXPECT_EQ(i32.get<std::vector<int>>(), (std::vector<int>{3, -1, 8, 9}));
    EXPECT_EQ(i32.get<int>(3), 9);
    i32.resize(1);
    EXPECT_EQ(i32.get<std::vector<int>>(), (std::vector<int>{3}));
}

TEST_F(CppInterface, LimitsAreOptionalAndTheDictionaryIsTyped) {
    const qx::Property exposure = list.addProperty<int>("exposure");
    EXPECT_EQ(exposure.maximum<int>(), std::nullopt);
    exposure.setLimit(qx::Limit::Minimum, 10);
    exposure.setLimit(qx::Limit::Maximum, 1000);
    exposure.setLimit(qx::Limit::StepWidth, 10);
    EXPECT_EQ(exposure.minimum<int>(), 10);
    EXPECT_EQ(exposure.maximum<int>(), 1000);
    EXPECT_EQ(exposure.step<int>(), 10);
    EXPECT_EQ(exposure.limit<int>(qx::Limit::Default), std::nullopt);
    exposure.set(123);
    EXPECT_EQ(exposure.get<int>(), 120); // snapped to the step
    exposure.removeLimit(qx::Limit::Maximum);
    EXPECT_EQ(exposure.maximum<int>(), std::nullopt);

    const qx::Property gain = list.addProperty<double>("gain");
    gain.setLimit(qx::Limit::Maximum, 12.5);
    EXPECT_EQ(gain.maximum<double>(), 12.5);

    const qx::Property mode = list.addProperty<int>("mode");
    EXPECT_TRUE(mode.translations<int>().empty());
    mode.addTranslation("Continuous", 0);
    mode.addTranslation("Triggered", 2);
    EXPECT_EQ(mode.translations<int>(), (std::vector<std::pair<std::string, int>>{{"Continuous", 0}, {"Triggered", 2}}));
    mode.set("Triggered");
    EXPECT_EQ(mode.get<int>(), 2);
    EXPECT_EQ(mode.text(), "Triggered");
    mode.removeTranslation("Triggered");
    EXPECT_EQ(mode.translations<int>().size(), 1u);
}

// ---- lookup, iteration, components -------------------------------------------------------------------

TEST_F(CppInterface, PathsNameNestedComponents) {
    const qx::List stream = list.addList("stream0");
    const qx::Property exposure = stream.addProperty<int>("exposure");
    const qx::List inner = stream.addList("roi");
    inner.addProperty<int>("width").set(640);
    for (const char* path : {"stream0/exposure", "/stream0//exposure/", "stream0/exposure"})
        EXPECT_EQ(list[path].handle(), exposure.handle()) << path;
    const qx::Property width = list["stream0/roi/width"];
    EXPECT_EQ(width.get<int>(), 640);
    EXPECT_EQ(list["stream0"].list().handle(), stream.handle());
    EXPECT_EQ(list.find("stream0/none"), std::nullopt);
    EXPECT_EQ(list.find("stream0/roi")->handle(), list["stream0/roi"].handle());
    EXPECT_EQ(errorOf([&] { list["stream0/exposure/x"]; }).code(), PROPHANDLING_NOT_A_LIST);
    EXPECT_EQ(errorOf([&] { list[""]; }).code(), PROPHANDLING_INVALID_INPUT_PARAMETER);
}

TEST_F(CppInterface, IterationVisitsComponentsInEntryOrderAndSkipsFreeEntries) {
    qx::List sparse = qx::List::create("sparse", 2); // two free entries first
    EXPECT_EQ(sparse.begin(), sparse.end());
    sparse.addProperty<int>("a");
    sparse.addList("b");
    sparse.addMethod("c@i", [](HOBJ, HOBJ, CallParam*, size_t, CallParam*, size_t) { return 0; });
    std::vector<std::string> names;
    std::vector<bool> kinds;
    for (const qx::Component& c : sparse) {
        names.push_back(c.name());
        kinds.push_back(c.isList());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c@i"}));
    EXPECT_EQ(kinds, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(sparse.entryCount(), 5u);
}

TEST_F(CppInterface, ComponentsCarryNamesFlagsAndDocStrings) {
    const qx::Property gain = list.addProperty<double>("gain");
    gain.setDocString("analogue gain in dB");
    EXPECT_EQ(gain.docString(), "analogue gain in dB");
    EXPECT_TRUE(gain.isProperty());
    EXPECT_FALSE(gain.isMethod());
    EXPECT_EQ(gain.flags() & QX_CF_WRITE_ACCESS, unsigned{QX_CF_WRITE_ACCESS});
    gain.setFlag(QX_CF_WRITE_ACCESS, false);
    EXPECT_EQ(gain.flags() & QX_CF_WRITE_ACCESS, 0u);
    EXPECT_EQ(errorOf([&] { gain.set(1.0); }).code(), PROPHANDLING_NO_WRITE_RIGHTS);
    gain.set(1.0, 0, true); // force
    EXPECT_EQ(gain.get<double>(), 1.0);
}

TEST_F(CppInterface, ListsUpdateFromOthersRestoreDefaultsAndCarryAContentDescriptor) {
    const qx::Property gain = list.addProperty<int>("gain");
    gain.set(7);
    const qx::List copy = list.clone("copy");
    copy["gain"].property().set(9);
    list.updateFrom(copy);
    EXPECT_EQ(gain.get<int>(), 9);
    // A derived list's own value goes back to its parent's on restore-default.
    const qx::List derived = list.derive("derived");
    const qx::Property own = derived["gain"];
    own.set(3);
    EXPECT_EQ(own.get<int>(), 3);
    own.restoreDefault();
    EXPECT_EQ(own.get<int>(), 9);

    EXPECT_EQ(list.contentDescriptor(), "");
    list.setContentDescriptor("camera-v1");
    EXPECT_EQ(list.contentDescriptor(), "camera-v1");
    const qx::Setting ram("cpp-descriptor-test", qx::Storage::Ram);
    ram.exportList(list);
    EXPECT_EQ(ram.contentDescriptor(), "camera-v1");
    const qx::List other = qx::List::create("camera");
    other.setContentDescriptor("lens-v1");
    EXPECT_EQ(errorOf([&] { ram.update(other); }).code(), PROPHANDLING_INCOMPATIBLE_COMPONENTS);
    ram.remove();
}

// ---- methods, lock, settings ---------------------------------------------------------------------------

int describe(HOBJ, HOBJ, CallParam*, size_t, CallParam* v, size_t n) {
    // 1000 * count + the sum of the numbers, + length of texts
    long sum = 1000 * static_cast<long>(n);
    for (size_t i = 0; i < n; ++i) {
        if (v[i].type == QX_PT_INT32) sum += v[i].value.i32;
        else if (v[i].type == QX_PT_INT64) sum += static_cast<long>(v[i].value.i64);
        else if (v[i].type == QX_PT_DOUBLE) sum += static_cast<long>(v[i].value.dbl);
        else if (v[i].type == QX_PT_STRING) sum += static_cast<long>(std::strlen(v[i].value.str));
    }
    return static_cast<int>(sum);
}

TEST_F(CppInterface, MethodsTakeTypedParametersOrText) {
    const qx::Method m = list.addMethod("describe@iiIfs", &describe);
    EXPECT_EQ(m.signature(), "iiIfs");
    EXPECT_EQ(m.call(1, std::int64_t{20}, 300.0, "four"), 4000 + 1 + 20 + 300 + 4);
    EXPECT_EQ(m.call(std::string("abc")), 1003);
    EXPECT_EQ(m.call(), 0);
    EXPECT_EQ(m.callText("1;20;300,5;four", ";"), 4000 + 1 + 20 + 300 + 4);
    const qx::Method negative = list.addMethod("neg@i", [](HOBJ, HOBJ, CallParam*, size_t, CallParam*, size_t) { return -5; });
    EXPECT_EQ(negative.call(), -5);
}

TEST_F(CppInterface, AnAccessLockHoldsOtherThreadsOff) {
    const qx::Property gain = list.addProperty<int>("gain");
    std::atomic<bool> written{false};
    std::thread writer;
    {
        qx::AccessLock lock;
        writer = std::thread([&] {
            gain.set(9);
            written = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(written.load()) << "a write went through while the lock was held";
    }
    writer.join();
    EXPECT_TRUE(written.load());
    EXPECT_EQ(gain.get<int>(), 9);
}

TEST_F(CppInterface, StorageFlagsCombineAsBits) {
    using qx::Storage;
    constexpr Storage both = Storage::File | Storage::Ram;
    static_assert(static_cast<unsigned>(both) == (QX_SF_FILE | QX_SF_RAM));
    EXPECT_EQ(both & Storage::Ram, Storage::Ram);
    EXPECT_EQ(both & Storage::Registry, Storage::None);
    EXPECT_TRUE(qx::any(both & Storage::File));
    EXPECT_FALSE(qx::any(Storage::Registry & Storage::Volatile));
}

TEST_F(CppInterface, SettingsExportImportUpdateAndRemove) {
    const qx::Property gain = list.addProperty<double>("gain");
    const qx::Property exposure = list.addList("stream0").addProperty<int>("exposure");
    gain.set(3.5);
    exposure.set(2000);
    const qx::Setting ram("cpp-settings-test", qx::Storage::Ram);
    EXPECT_FALSE(ram.exists());
    ram.exportList(list);
    EXPECT_TRUE(ram.exists());
    EXPECT_NE(qx::Setting::readRam("cpp-settings-test").find("exposure"), std::string::npos);

    {
        const qx::List copy = ram.importList();
        EXPECT_TRUE(copy.owning());
        EXPECT_EQ(copy["gain"].property().get<double>(), 3.5);
        EXPECT_EQ(copy["stream0/exposure"].property().get<int>(), 2000);
    }
    gain.set(1.0);
    exposure.set(1);
    ram.update(list);
    EXPECT_EQ(gain.get<double>(), 3.5);
    EXPECT_EQ(exposure.get<int>(), 2000);

    HOBJ nestedHandle = 0;
    {
        const qx::List holder = qx::List::create("holder");
        const qx::List nested = ram.importInto(holder);
        nestedHandle = nested.handle();
        EXPECT_FALSE(nested.owning());
        EXPECT_EQ(holder["camera/stream0/exposure"].property().get<int>(), 2000);
    }
    EXPECT_EQ(qxIsPropListValid(nestedHandle), 0) << "the imported list outlived the parent that owns it";

    ram.remove();
    EXPECT_FALSE(ram.exists());
    EXPECT_EQ(errorOf([&] { ram.importList(); }).code(), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(errorOf([&] { ram.remove(); }).code(), PROPHANDLING_LIST_CANT_ACCESS_DATA);
}

} // namespace
