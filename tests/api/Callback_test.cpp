// Callbacks through the exported functions: creating, attaching, detaching and deleting them, what each
// kind receives and when it fires, refusals by write and read callbacks, and re-entrant use of the
// interface from inside a callback.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ListTestSupport.h"
#include "qxPropHandling.h"

using namespace qxtest;

namespace {

// What the last call of a recording function saw.
struct Seen {
    int calls = 0;
    HOBJ hObj = 0;
    HOBJ hOwnerList = 0;
    std::vector<CallParam> userData;
    std::vector<CallParam> values;
    std::vector<std::string> texts; // String values, copied while they live
};
Seen g_seen;
int g_answer = 0;

int record(HOBJ hObj, HOBJ hOwnerList, CallParam* pUserData, size_t userDataCount, CallParam* pValues,
           size_t valueCount) {
    ++g_seen.calls;
    g_seen.hObj = hObj;
    g_seen.hOwnerList = hOwnerList;
    g_seen.userData.assign(pUserData, pUserData + userDataCount);
    g_seen.values.assign(pValues, pValues + valueCount);
    g_seen.texts.clear();
    for (size_t i = 0; i < valueCount; ++i)
        if (pValues[i].type == QX_PT_STRING) g_seen.texts.emplace_back(pValues[i].value.str);
    return g_answer;
}

std::vector<std::pair<HOBJ, uintptr_t>> g_changes;
void changed(HOBJ hObj, uintptr_t userValue) { g_changes.emplace_back(hObj, userValue); }

class Callbacks : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen = Seen{};
        g_answer = 0;
        g_changes.clear();
        list = createList("cams");
        prop = addProp(list, "gain");
    }

    HCALLBACK create(unsigned kind, MethodFunction function = &record) {
        CallParam user[2] = {u32In(11, QX_PT_INT32), textIn("ud")};
        HCALLBACK h = -1;
        EXPECT_EQ(qxCompCreateCallback(kind, function, user, 2, &h), 0) << lastError().text;
        return h;
    }
    HCALLBACK createChanged(uintptr_t userValue) {
        CallParam user{};
        user.type = QX_PT_POINTER;
        user.value.bits = userValue;
        HCALLBACK h = -1;
        EXPECT_EQ(qxCompCreateFeatureChangedCallback(&changed, &user, 1, &h), 0) << lastError().text;
        return h;
    }

    HOBJ list = 0;
    HOBJ prop = 0;
};

TEST_F(Callbacks, CreationChecksKindFunctionAndHandleOut) {
    HCALLBACK h = 77;
    for (unsigned kind : {0u, 4u}) {
        EXPECT_EQ(qxCompCreateCallback(kind, &record, nullptr, 0, &h), PROPHANDLING_INVALID_INPUT_PARAMETER);
        EXPECT_EQ(lastError().text, "Unsupported callback type(" + std::to_string(kind) + ")");
    }
    EXPECT_EQ(qxCompCreateCallback(2, nullptr, nullptr, 0, &h), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(qxCompCreateCallback(2, &record, nullptr, 0, nullptr), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(qxCompCreateCallback(2, &record, nullptr, 3, &h), PROPHANDLING_INVALID_INPUT_PARAMETER);
    CallParam user{};
    EXPECT_EQ(qxCompCreateFeatureChangedCallback(&changed, &user, 0, &h), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(qxCompCreateFeatureChangedCallback(nullptr, &user, 1, &h), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(h, 77) << "a refused creation writes no handle";

    // Handles: kind in bits 31..16 for kinds 1 to 3, the table index below; the first creation gets index 0.
    EXPECT_EQ(create(2), 0x20000);
    EXPECT_EQ(createChanged(5), 0x1);
    EXPECT_EQ(create(3), 0x30002);
}

TEST_F(Callbacks, DeletedHandlesAreRefusedAndTheirIndexIsReusedLastFreedFirst) {
    const HCALLBACK a = create(1), b = create(2), c = create(3);
    const HCALLBACK index = a & 0xFFFF;
    // Only the low 16 bits name the entry.
    EXPECT_EQ(qxCompAttachCallback(prop, static_cast<HCALLBACK>(0x7FFF0000 | (b & 0xFFFF))), 0);
    EXPECT_EQ(qxCompDeleteCallback(a), 0);
    EXPECT_EQ(qxCompDeleteCallback(c), 0);
    EXPECT_EQ(qxCompDeleteCallback(c), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(lastError().text, "Invalid callback handle");
    EXPECT_EQ(qxCompAttachCallback(prop, a), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(qxCompDetachCallback(prop, 0x7777), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(create(2), 0x20000 | (index + 2)) << "last freed first";
    EXPECT_EQ(create(2), 0x20000 | index);
    EXPECT_EQ(create(2), 0x20000 | (index + 3));
}

TEST_F(Callbacks, PropertyKindsAttachToPropertiesOnly) {
    const HOBJ sub = addSubList(list, "sub");
    const HCALLBACK read = create(1), access = create(3);
    EXPECT_EQ(qxCompAttachCallback(sub, read), PROPHANDLING_NOT_A_PROPERTY);
    char expected[64];
    std::snprintf(expected, sizeof expected, "Component 'sub(0x%08x), ' is not a property", sub);
    EXPECT_EQ(lastError().text.rfind(expected, 0), 0u) << lastError().text;
    EXPECT_EQ(qxCompAttachCallback(sub, access), 0);
    EXPECT_EQ(qxCompDetachCallback(prop, read), 0) << "detaching what was never attached succeeds";
    EXPECT_EQ(qxCompDetachCallback(sub, read), PROPHANDLING_IMPLEMENTATION_MISSING);
    EXPECT_EQ(lastError().text, "Invalid/Unsupported callback type(1) passed to function qx::CComponent::configureCallback");
    EXPECT_EQ(qxCompAttachCallback(0x7F000000, access), PROPHANDLING_LIST_ID_INVALID);
}

TEST_F(Callbacks, WriteCallbackSeesTheCallersBufferAndItsRefusalStoresNothing) {
    ASSERT_EQ(setInt(prop, 4), 0);
    ASSERT_EQ(qxCompAttachCallback(prop, create(2)), 0);
    ASSERT_EQ(setInt(prop, 9), 0);
    ASSERT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.hObj, prop);
    EXPECT_EQ(g_seen.hOwnerList, 0xFFFFFFFFu);
    ASSERT_EQ(g_seen.userData.size(), 2u);
    EXPECT_EQ(g_seen.userData[0].value.i32, 11);
    EXPECT_STREQ(g_seen.userData[1].value.str, "ud");
    ASSERT_EQ(g_seen.values.size(), 1u);
    EXPECT_EQ(g_seen.values[0].type, static_cast<uint32_t>(QX_PT_INT32));
    EXPECT_EQ(g_seen.values[0].value.i32, 9);

    g_answer = 7;
    EXPECT_EQ(setInt(prop, 12), PROPHANDLING_PROP_VALIDATION_FAILED);
    EXPECT_EQ(lastError().text, "The assigned value doesn't pass the validation test for property 'gain'");
    g_answer = 0;
    EXPECT_EQ(getInt(prop), 9);
    g_answer = 3;
    qxValue slot{};
    slot.i32 = 1;
    ValBuffer b{QX_VT_INT32, 1, &slot};
    EXPECT_EQ(qxPropValidateVal(prop, &b), PROPHANDLING_PROP_VALIDATION_FAILED);
    EXPECT_EQ(g_seen.calls, 3);
}

TEST_F(Callbacks, WriteCallbackGetsTextsBeforeTranslationAndInt64AsItsOwnType) {
    const HOBJ mode = addProp(list, "mode");
    ASSERT_EQ(qxPropRegisterTranslationEntry(mode, "fast", 2, 0), 0);
    const HOBJ big = addProp(list, "big", QX_INDEX_APPEND, QX_CT_PROP_INT64);
    const HCALLBACK write = create(2);
    ASSERT_EQ(qxCompAttachCallback(mode, write), 0);
    ASSERT_EQ(qxCompAttachCallback(big, write), 0);

    char name[] = "fast";
    qxValue text{};
    text.str = name;
    ValBuffer b{QX_VT_STRING, 1, &text};
    ASSERT_EQ(qxPropSetVal(mode, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0), 0) << lastError().text;
    ASSERT_EQ(g_seen.values.size(), 1u);
    EXPECT_EQ(g_seen.values[0].type, static_cast<uint32_t>(QX_PT_STRING));
    EXPECT_EQ(g_seen.values[0].value.str, name) << "the caller's own text, not a translated value";
    EXPECT_EQ(getInt(mode), 2);

    qxValue wide[2];
    wide[0].i64 = INT64_C(0x123456789);
    wide[1].i64 = -1;
    ValBuffer w{QX_VT_INT64, 2, wide};
    ASSERT_EQ(qxPropSetVal(big, &w, 0, QX_SETVAL_VALUES, nullptr, 0, 1), 0) << lastError().text;
    ASSERT_EQ(g_seen.values.size(), 2u);
    EXPECT_EQ(g_seen.values[0].type, static_cast<uint32_t>(QX_PT_INT64));
    EXPECT_EQ(g_seen.values[0].value.i64, INT64_C(0x123456789));
    EXPECT_EQ(g_seen.hObj, big);
}

TEST_F(Callbacks, ReadCallbackSeesStoredValuesAndItsFailureIsTheReadsCode) {
    ASSERT_EQ(setInt(prop, 21), 0);
    ASSERT_EQ(qxCompAttachCallback(prop, create(1)), 0);
    EXPECT_EQ(getInt(prop), 21);
    ASSERT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.hObj, prop);
    ASSERT_EQ(g_seen.values.size(), 1u);
    EXPECT_EQ(g_seen.values[0].value.i32, 21);
    g_answer = 5;
    qxValue slot{};
    ValBuffer b{QX_VT_INT32, 1, &slot};
    EXPECT_EQ(qxPropGetVal(prop, &b, 0), 5);
    EXPECT_EQ(lastError().text, "Internal error");
    char text[16];
    EXPECT_EQ(qxPropGetValAsString(prop, nullptr, text, sizeof text, 0), 5);
}

// A read callback that refreshes the value first, as a driver reading hardware would.
HOBJ g_refreshTarget = 0;
int refresh(HOBJ hObj, HOBJ, CallParam*, size_t, CallParam*, size_t) {
    ++g_seen.calls;
    qxValue slot{};
    slot.i32 = 1000 + g_seen.calls;
    ValBuffer b{QX_VT_INT32, 1, &slot};
    // Re-entrant writes: to the property being read, and to another one.
    if (qxPropSetVal(hObj, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0) != 0) return 99;
    return qxPropSetVal(g_refreshTarget, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0);
}

TEST_F(Callbacks, CallbacksMayReadAndWriteThroughTheInterface) {
    g_refreshTarget = addProp(list, "mirror");
    ASSERT_EQ(qxCompAttachCallback(prop, create(1, &refresh)), 0);
    EXPECT_EQ(getInt(prop), 1001);
    EXPECT_EQ(getInt(g_refreshTarget), 1001);
    EXPECT_EQ(getInt(prop), 1002);
}

TEST_F(Callbacks, ComponentChangedFiresAfterAChangeWithHandleAndUserValue) {
    ASSERT_EQ(qxCompAttachCallback(prop, createChanged(0xBEEF)), 0);
    ASSERT_EQ(setInt(prop, 3), 0);
    ASSERT_EQ(g_changes.size(), 1u);
    EXPECT_EQ(g_changes[0], std::make_pair(prop, uintptr_t{0xBEEF}));
    ASSERT_EQ(setInt(prop, 3), 0);
    EXPECT_EQ(g_changes.size(), 1u) << "the same value again changes nothing";
    const CallParam on = u32In(1);
    ASSERT_EQ(qxCompSetParam(prop, QX_PAR_CALLBACK_SUPPRESSED, &on, 1, 0), 0) << lastError().text;
    ASSERT_EQ(setInt(prop, 4), 0);
    EXPECT_EQ(g_changes.size(), 1u) << "suppressed";
    const CallParam off = u32In(0);
    ASSERT_EQ(qxCompSetParam(prop, QX_PAR_CALLBACK_SUPPRESSED, &off, 1, 0), 0);
    ASSERT_EQ(setInt(prop, 5), 0);
    EXPECT_EQ(g_changes.size(), 2u);
}

TEST_F(Callbacks, ComponentInNoListFiresNothing) {
    HOBJ top = createList("top");
    ASSERT_EQ(qxCompAttachCallback(top, createChanged(1)), 0);
    const CallParam doc = textIn("changed");
    ASSERT_EQ(qxCompSetParam(top, QX_PAR_DOC_STRING, &doc, 1, 0), 0) << lastError().text;
    EXPECT_TRUE(g_changes.empty());
}

// A component-changed function that changes its own component again, and counts its calls.
int g_nestedCalls = 0;
void rewrite(HOBJ hObj, uintptr_t) {
    ++g_nestedCalls;
    qxValue slot{};
    slot.i32 = 500 + g_nestedCalls;
    ValBuffer b{QX_VT_INT32, 1, &slot};
    qxPropSetVal(hObj, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0);
}

TEST_F(Callbacks, ComponentChangedIsNotCalledAgainForItsOwnChange) {
    g_nestedCalls = 0;
    CallParam user{};
    HCALLBACK h = 0;
    ASSERT_EQ(qxCompCreateFeatureChangedCallback(&rewrite, &user, 1, &h), 0);
    ASSERT_EQ(qxCompAttachCallback(prop, h), 0);
    ASSERT_EQ(setInt(prop, 1), 0);
    EXPECT_EQ(g_nestedCalls, 1);
    EXPECT_EQ(getInt(prop), 501) << "the nested write was stored";
    ASSERT_EQ(setInt(prop, 2), 0);
    EXPECT_EQ(g_nestedCalls, 2) << "the next change fires again";
}

HCALLBACK g_self = 0;
int g_selfCalls = 0;
void deleteSelf(HOBJ, uintptr_t) {
    ++g_selfCalls;
    EXPECT_EQ(qxCompDetachCallback(g_refreshTarget, g_self), 0) << "detaching itself does not wait for itself";
    EXPECT_EQ(qxCompDeleteCallback(g_self), 0);
}

TEST_F(Callbacks, ComponentChangedMayDeleteItselfWhileItRuns) {
    g_selfCalls = 0;
    g_refreshTarget = addProp(list, "other");
    CallParam user{};
    ASSERT_EQ(qxCompCreateFeatureChangedCallback(&deleteSelf, &user, 1, &g_self), 0);
    ASSERT_EQ(qxCompAttachCallback(prop, g_self), 0);
    ASSERT_EQ(qxCompAttachCallback(g_refreshTarget, g_self), 0);
    EXPECT_EQ(setInt(prop, 8), 0);
    EXPECT_EQ(g_selfCalls, 1);
    EXPECT_EQ(setInt(prop, 9), 0);
    EXPECT_EQ(g_selfCalls, 1) << "deleted: no longer called";
    EXPECT_EQ(qxCompDeleteCallback(g_self), PROPHANDLING_INVALID_INPUT_PARAMETER);
}

TEST_F(Callbacks, AccessCallbackFiresOnceAfterEachInvalidate) {
    ASSERT_EQ(qxCompAttachCallback(prop, create(3)), 0);
    getInt(prop);
    EXPECT_EQ(g_seen.calls, 0) << "never invalidated";
    const CallParam one = u32In(1);
    ASSERT_EQ(qxCompSetParam(prop, QX_PAR_INVALIDATE, &one, 1, 0), 0) << lastError().text;
    getInt(prop);
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.hObj, prop);
    EXPECT_TRUE(g_seen.values.empty());
    getInt(prop);
    setInt(prop, 77);
    EXPECT_EQ(g_seen.calls, 1);
    ASSERT_EQ(qxCompSetParam(prop, QX_PAR_INVALIDATE, &one, 1, 0), 0);
    setInt(prop, 78);
    EXPECT_EQ(g_seen.calls, 2) << "writes notify too";
}

// An access callback that removes the component it is told about: the lookup must not use it afterwards.
int removeAccessed(HOBJ hObj, HOBJ, CallParam*, size_t, CallParam*, size_t) { return qxPropListRemoveComp(hObj); }

TEST_F(Callbacks, AccessCallbackThatRemovesItsComponentFailsTheLookupCleanly) {
    ASSERT_EQ(qxCompAttachCallback(prop, create(3, &removeAccessed)), 0);
    const CallParam one = u32In(1);
    ASSERT_EQ(qxCompSetParam(prop, QX_PAR_INVALIDATE, &one, 1, 0), 0);
    qxValue slot{};
    ValBuffer b{QX_VT_INT32, 1, &slot};
    EXPECT_EQ(qxPropGetVal(prop, &b, 0), PROPHANDLING_COMPONENT_ID_INVALID);
}

// A write callback that deletes the property's list while the write is under way.
HOBJ g_doomed = 0;
int deleteList(HOBJ, HOBJ, CallParam*, size_t, CallParam*, size_t) { return qxPropListDelete(g_doomed); }

TEST_F(Callbacks, WriteStopsWhenItsCallbackDeletesTheTree) {
    g_doomed = list;
    ASSERT_EQ(qxCompAttachCallback(prop, create(2, &deleteList)), 0);
    EXPECT_EQ(setInt(prop, 1), PROPHANDLING_COMPONENT_ID_INVALID);
    EXPECT_EQ(qxIsPropListValid(list), 0);
}

TEST_F(Callbacks, DestroyedComponentsLeaveTheirCallbacksAndClonesTakeThemOver) {
    const HCALLBACK write = create(2);
    ASSERT_EQ(qxCompAttachCallback(prop, write), 0);
    HOBJ copy = 0;
    ASSERT_EQ(qxPropListClone(&copy, list, "copy"), 0) << lastError().text;
    const HOBJ copied = (copy & 0xFFFF0000u) | (prop & 0xFFFFu);
    ASSERT_EQ(setInt(copied, 6), 0);
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.hObj, copied);
    ASSERT_EQ(qxPropListDelete(list), 0);
    ASSERT_EQ(qxPropListDelete(copy), 0);
    EXPECT_EQ(qxCompDeleteCallback(write), 0);
}

TEST_F(Callbacks, ReplacingAndDetachingFollowTheSlot) {
    const HCALLBACK first = create(2), second = create(2);
    ASSERT_EQ(qxCompAttachCallback(prop, first), 0);
    ASSERT_EQ(qxCompAttachCallback(prop, first), 0) << "attaching again is success too";
    ASSERT_EQ(qxCompAttachCallback(prop, second), 0);
    ASSERT_EQ(qxCompDeleteCallback(second), 0);
    ASSERT_EQ(setInt(prop, 3), 0);
    EXPECT_EQ(g_seen.calls, 0) << "the first was replaced, the second deleted";
    ASSERT_EQ(qxCompAttachCallback(prop, first), 0);
    // Detach clears the slot of the callback's kind, whichever callback is in it.
    const HCALLBACK third = create(2);
    ASSERT_EQ(qxCompDetachCallback(prop, third), 0);
    ASSERT_EQ(setInt(prop, 4), 0);
    EXPECT_EQ(g_seen.calls, 0);
}

TEST_F(Callbacks, RegistrationChecksKindAndMethod) {
    const HOBJ sub = addSubList(list, "sub");
    HOBJ method = QX_INDEX_APPEND;
    ASSERT_EQ(qxPropListRegisterMethod(list, "judge@iI", &record, nullptr, 0, QX_CF_READ_ACCESS, &method), 0)
        << lastError().text;
    EXPECT_EQ(qxCompRegisterCallback(prop, prop, 2), PROPHANDLING_NOT_A_METHOD);
    EXPECT_EQ(qxCompRegisterCallback(prop, 0x7F000001, 2), PROPHANDLING_LIST_ID_INVALID);
    const std::string refused = "Invalid callback type(%d) passed for registration. OnRead/OnWrite callbacks should no "
                                "longer be passed to this function.";
    for (auto [component, kind] : {std::pair{prop, 1u}, {prop, 3u}, {sub, 2u}}) {
        EXPECT_EQ(qxCompRegisterCallback(component, method, kind), PROPHANDLING_IMPLEMENTATION_MISSING) << kind;
        std::string expected = refused;
        expected.replace(expected.find("%d"), 2, std::to_string(kind));
        EXPECT_EQ(lastError().text, expected);
    }
    // The accepted registrations: a validation method on a property, a change method on a list entry.
    EXPECT_EQ(qxCompRegisterCallback(prop, method, 2), 0);
    EXPECT_EQ(qxCompRegisterCallback(sub, method, 0), 0);
    g_answer = 4;
    EXPECT_EQ(setInt(prop, 3), PROPHANDLING_PROP_VALIDATION_FAILED);
    EXPECT_EQ(g_seen.hObj, prop) << "the validation method is told the property's handle";
}

} // namespace
