// Methods through the C interface: registration and its refusals, calls with parameter arrays and with
// parameter texts, the signature row, methods travelling with lists, and the caller's function calling
// back into the interface on the same thread (other threads: Method_concurrency_test.cpp).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ListTestSupport.h"

using namespace qxtest;

namespace {

// What the recording function saw on its last call. Texts of String parameters are copied while the call
// runs: the library's converted texts live only until the call returns.
struct Seen {
    int calls = 0;
    HOBJ hObj = 0, hOwnerList = 0;
    const CallParam* values = nullptr;
    std::vector<CallParam> user, params;
    std::vector<std::string> texts;
};
Seen seen;

// Returns the Int32 of its first user-data element (0 without user data).
int record(HOBJ hObj, HOBJ hOwnerList, CallParam* pUser, size_t userCount, CallParam* pValues, size_t count) {
    ++seen.calls;
    seen.hObj = hObj;
    seen.hOwnerList = hOwnerList;
    seen.values = pValues;
    seen.user.assign(pUser, pUser + userCount);
    seen.params.assign(pValues, pValues + count);
    seen.texts.clear();
    for (size_t k = 0; k < count; ++k) seen.texts.emplace_back(pValues[k].type == QX_PT_STRING ? pValues[k].value.str : "");
    return userCount > 0 ? pUser[0].value.i32 : 0;
}

CallParam i32(int32_t v) {
    CallParam p{};
    p.type = QX_PT_INT32;
    p.value.i32 = v;
    return p;
}

HOBJ addMethod(HOBJ list, const char* name, MethodFunction f = record, std::vector<CallParam> user = {},
               HOBJ at = QX_INDEX_APPEND) {
    HOBJ h = at;
    EXPECT_EQ(qxPropListRegisterMethod(list, name, f, user.empty() ? nullptr : user.data(), user.size(),
                                       QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS, &h),
              0)
        << name << ": " << lastError().text;
    return h;
}

int64_t callS(HOBJ m, const char* text, const char* delimiters) {
    int64_t result = 77;
    EXPECT_EQ(qxMethCallS(m, text, delimiters, &result), 0) << text << ": " << lastError().text;
    return result;
}

// ---- registration -----------------------------------------------------------------------------------

TEST(MethodRegistration, MalformedNamesAreRefusedWithTheWholeNameAndNothingIsRegistered) {
    const HOBJ list = createList("l");
    for (const char* name : {"", "Calc", "Calc@", "Calc@ix", "Calc@i@i", "@", "Calc@ i", "Calc@I\n"}) {
        HOBJ h = QX_INDEX_APPEND;
        EXPECT_EQ(qxPropListRegisterMethod(list, name, record, nullptr, 0, 3, &h), PROPHANDLING_METHOD_INVALID_PARAM_LIST)
            << name;
        EXPECT_EQ(lastError().text, std::string("The functions parameter list is invalid for '") + name + "'");
        EXPECT_EQ(h, HOBJ{QX_INDEX_APPEND});
    }
    EXPECT_EQ(u32Param(list, QX_PAR_ENTRY_COUNT), 0u);
}

TEST(MethodRegistration, NullPointersAreRefused) {
    const HOBJ list = createList("l");
    HOBJ h = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListRegisterMethod(list, "Calc@v", nullptr, nullptr, 0, 3, &h), PROPHANDLING_METHOD_PTR_INVALID);
    EXPECT_EQ(lastError().text, "The function pointer for Method 'Calc@v' is invalid");
    EXPECT_EQ(h, HOBJ{QX_INDEX_APPEND});
    EXPECT_EQ(qxPropListRegisterMethod(list, nullptr, record, nullptr, 0, 3, &h), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(lastError().text, "One or more of the input parameters are invalid (NULL-pointers?)");
    EXPECT_EQ(qxPropListRegisterMethod(list, "Calc@v", record, nullptr, 0, 3, nullptr),
              PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(qxPropListRegisterMethod(0x7FFFFFFF, "Calc@v", record, nullptr, 0, 3, &h), PROPHANDLING_LIST_ID_INVALID);
    EXPECT_EQ(u32Param(list, QX_PAR_ENTRY_COUNT), 0u);
}

TEST(MethodRegistration, TheSignatureRowAndTheKindRowsDescribeTheMethod) {
    const HOBJ list = createList("l", 2);
    const HOBJ m = addMethod(list, "Scale@ifI", record, {}, QX_INDEX_FIRST_FREE);
    EXPECT_EQ(m, (list & 0xFFFF0000u) | 0);
    EXPECT_EQ(textParam(m, QX_PAR_METHOD_SIGNATURE), "ifI");
    EXPECT_EQ(textParam(m, QX_PAR_NAME), "Scale@ifI");
    EXPECT_EQ(u32Param(m, QX_PAR_TYPE), uint32_t{QX_CT_METHOD});
    EXPECT_EQ(textParam(addMethod(list, "@fiIpsv"), QX_PAR_METHOD_SIGNATURE), "fiIpsv"); // the text part may be empty
    char buffer[16] = {};
    CallParam in = u32In(sizeof buffer);
    CallParam out{};
    out.value.ptr = buffer;
    ASSERT_EQ(qxCompGetParam(m, QX_PAR_TYPE_TEXT, &in, 1, &out, 1), 0);
    EXPECT_STREQ(buffer, "method");

    const HOBJ p = addProp(list, "p");
    CallParam untouched = u32In(5);
    EXPECT_EQ(qxCompGetParam(p, QX_PAR_METHOD_SIGNATURE, nullptr, 0, &untouched, 1), PROPHANDLING_NOT_A_METHOD);
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "Component 'p(0x%08x), ' is not a method. Unable to perform function call operation.", p);
    EXPECT_EQ(lastError().text, expected);
    EXPECT_EQ(untouched.value.bits, 5u);
    EXPECT_EQ(qxCompGetParam(list, QX_PAR_METHOD_SIGNATURE, nullptr, 0, &untouched, 1), PROPHANDLING_NOT_A_METHOD);
}

TEST(MethodRegistration, UserDataIsCopiedAtRegistration) {
    const HOBJ list = createList("l");
    std::vector<CallParam> user = {i32(41), i32(2)};
    HOBJ m = QX_INDEX_APPEND;
    ASSERT_EQ(qxPropListRegisterMethod(list, "m@i", record, user.data(), user.size(), 3, &m), 0);
    user[0] = i32(-1);
    int64_t result = 0;
    ASSERT_EQ(qxMethCall(m, nullptr, 0, &result), 0);
    EXPECT_EQ(result, 41);
    ASSERT_EQ(seen.user.size(), 2u);
    EXPECT_EQ(seen.user[1].value.i32, 2);

    // A count without an array would be elements of unknown content: refused, nothing registered.
    HOBJ bare = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListRegisterMethod(list, "bare@v", record, nullptr, 5, 3, &bare), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(lastError().text, "One or more of the input parameters are invalid (NULL-pointers?)");
    EXPECT_EQ(bare, HOBJ{QX_INDEX_APPEND});
    EXPECT_EQ(u32Param(list, QX_PAR_ENTRY_COUNT), 1u);
}

// ---- qxMethCall ---------------------------------------------------------------------------------------

TEST(MethodCall, ParametersArePassedAsGivenAndTheResultWidenedWithItsSign) {
    const HOBJ list = createList("l");
    const HOBJ m = addMethod(list, "m@i", record, {i32(-5)});
    CallParam params[3] = {i32(1), i32(2), i32(3)};
    params[2].type = QX_PT_DOUBLE; // neither count nor types are checked against the signature
    int64_t result = 0;
    ASSERT_EQ(qxMethCall(m, params, 3, &result), 0);
    EXPECT_EQ(result, -5);
    EXPECT_EQ(seen.hObj, m);
    EXPECT_EQ(seen.hOwnerList, 0xFFFFFFFFu); // the method's list sits in no list
    EXPECT_EQ(seen.values, params);
    ASSERT_EQ(seen.params.size(), 3u);
    EXPECT_EQ(seen.params[2].type, uint32_t{QX_PT_DOUBLE});

    ASSERT_EQ(qxMethCall(m, params, 0, &result), 0); // an empty array is passed as given too
    EXPECT_EQ(seen.values, params);
    EXPECT_TRUE(seen.params.empty());
    const int before = seen.calls;
    ASSERT_EQ(qxMethCall(m, nullptr, 7, nullptr), 0); // no array: no parameters, no result slot written
    EXPECT_EQ(seen.calls, before + 1);
    EXPECT_TRUE(seen.params.empty());
}

TEST(MethodCall, TheOwnerListHandleIsTheListsEntryInItsParent) {
    const HOBJ parent = createList("parent", 3);
    const HOBJ list = createList("inner");
    const HOBJ m = addMethod(list, "m@v");
    ASSERT_EQ(qxMethCall(m, nullptr, 0, nullptr), 0);
    EXPECT_EQ(seen.hOwnerList, 0xFFFFFFFFu);
    const HOBJ entry = addList(parent, list, 2); // looked for again at each call until found
    ASSERT_EQ(qxMethCall(m, nullptr, 0, nullptr), 0);
    EXPECT_EQ(seen.hOwnerList, entry);
}

TEST(MethodCall, HandlesThatAreNoMethodAreRefusedAndNothingIsCalled) {
    const HOBJ list = createList("l", 2);
    const HOBJ p = addProp(list, "p");
    const HOBJ m = addMethod(list, "m@v");
    const int before = seen.calls;
    int64_t result = 99;
    EXPECT_EQ(qxMethCall(p, nullptr, 0, &result), PROPHANDLING_NOT_A_METHOD);
    EXPECT_EQ(qxMethCallS(p, "", " ", &result), PROPHANDLING_NOT_A_METHOD);
    EXPECT_EQ(qxMethCall((list & 0xFFFF0000u) | 0, nullptr, 0, &result), PROPHANDLING_COMPONENT_ID_INVALID);
    EXPECT_EQ(qxMethCall(0x7FFF0000, nullptr, 0, &result), PROPHANDLING_LIST_ID_INVALID);
    ASSERT_EQ(qxPropListRemoveComp(m), 0);
    EXPECT_EQ(qxMethCall(m, nullptr, 0, &result), PROPHANDLING_COMPONENT_ID_INVALID);
    EXPECT_EQ(seen.calls, before);
    EXPECT_EQ(result, 99);
}

// ---- qxMethCallS ------------------------------------------------------------------------------------

TEST(MethodCallText, TokensAreConvertedByTheSignature) {
    const HOBJ list = createList("l");
    const HOBJ set = addMethod(list, "Set@visf");
    callS(set, "0x10;;hello;2,5", ";");
    ASSERT_EQ(seen.params.size(), 3u);
    EXPECT_EQ(seen.params[0].type, uint32_t{QX_PT_INT32});
    EXPECT_EQ(seen.params[0].value.i32, 16);
    EXPECT_EQ(seen.params[1].type, uint32_t{QX_PT_STRING});
    EXPECT_EQ(seen.texts[1], "hello");
    EXPECT_EQ(seen.params[2].type, uint32_t{QX_PT_DOUBLE});
    EXPECT_EQ(seen.params[2].value.dbl, 2.5);

    struct Case {
        char kind;
        const char* text;
        uint32_t type;
        uint64_t bits;
    };
    const double d1000 = 1000.0, dm15 = -1.5, d0 = 0.0, d25 = 2.5;
    auto bitsOf = [](double d) {
        uint64_t b;
        std::memcpy(&b, &d, sizeof b);
        return b;
    };
    const Case cases[] = {
        {'i', "017", QX_PT_INT32, 15},
        {'i', "-5", QX_PT_INT32, 0xFFFFFFFBu},
        {'i', "0X1f", QX_PT_INT32, 31},
        {'I', "9000000000", QX_PT_INT64, 9000000000u},
        {'I', "-1", QX_PT_INT64, ~uint64_t{0}},
        {'f', "1e3", QX_PT_DOUBLE, bitsOf(d1000)},
        {'f', "-1.5", QX_PT_DOUBLE, bitsOf(dm15)},
        {'f', "abc", QX_PT_DOUBLE, bitsOf(d0)},
        {'f', "2,5x", QX_PT_DOUBLE, bitsOf(d25)},
        {'p', "0x0000FF00", QX_PT_POINTER, 0xFF00},
        {'p', "0XaBc", QX_PT_POINTER, 0xABC},
        {'p', "1234", QX_PT_POINTER, 0x1234},
        {'p', "10X5", QX_PT_POINTER, 0x15}, // every 0x and 0X goes, wherever it stands
        {'p', "F0x0XE", QX_PT_POINTER, 0xFE},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "c" + std::to_string(n++) + "@v" + c.kind;
        const HOBJ m = addMethod(list, name.c_str());
        callS(m, c.text, " ");
        ASSERT_EQ(seen.params.size(), 1u) << name;
        EXPECT_EQ(seen.params[0].type, c.type) << name;
        const uint64_t bits = c.type == QX_PT_INT32 ? uint64_t{uint32_t(seen.params[0].value.i32)} : seen.params[0].value.bits;
        EXPECT_EQ(bits, c.bits) << name;
    }
}

TEST(MethodCallText, TextsDelimitersAndEmptyTokens) {
    const HOBJ list = createList("l");
    const HOBJ two = addMethod(list, "two@viss");
    callS(two, "  7 _  __ ", " ");
    ASSERT_EQ(seen.texts.size(), 3u);
    EXPECT_EQ(seen.params[0].value.i32, 7);
    EXPECT_EQ(seen.texts[1], "");   // a lone underscore is the empty text
    EXPECT_EQ(seen.texts[2], "__"); // two are two characters
    callS(two, "|1:a|b:", ":|");    // any run of any delimiter characters separates
    EXPECT_EQ(seen.texts[2], "b");
    const HOBJ one = addMethod(list, "one@vs");
    callS(one, "a b;c", ""); // no delimiters: the whole text is the token
    EXPECT_EQ(seen.texts[0], "a b;c");
    const HOBJ none = addMethod(list, "none@v");
    callS(none, "", " ");
    EXPECT_TRUE(seen.params.empty());
    callS(none, "   ", " ");
    EXPECT_TRUE(seen.params.empty());
    // A null text calls with no parameters whatever the signature, even with a null delimiter text.
    const int before = seen.calls;
    EXPECT_EQ(callS(two, nullptr, nullptr), 0);
    EXPECT_EQ(seen.calls, before + 1);
    EXPECT_TRUE(seen.params.empty());
}

TEST(MethodCallText, BadTextsAreRefusedWithTheirTextsAndNothingIsCalled) {
    const HOBJ list = createList("l");
    std::map<std::string, HOBJ> methods;
    struct Case {
        const char* method;
        const char* text;
        const char* delimiters;
        int code;
        std::string message;
    };
    const std::string defaultText = "One or more of the input parameters are invalid (NULL-pointers?)";
    const Case cases[] = {
        {"Calc@v", "1", " ", PROPHANDLING_WRONG_PARAM_COUNT,
         "Wrong parameter count for calling method 'Calc@v'. Expected: 0, got: 1. Passed parameter string: '1', "
         "passed delimiter string: ' '"},
        {"Calc@iv", "1 2", " ", PROPHANDLING_WRONG_PARAM_COUNT,
         "Wrong parameter count for calling method 'Calc@iv'. Expected: 1, got: 2. Passed parameter string: '1 2', "
         "passed delimiter string: ' '"},
        {"Two@vii", "1", " ", PROPHANDLING_WRONG_PARAM_COUNT,
         "Wrong parameter count for calling method 'Two@vii'. Expected: 2, got: 1. Passed parameter string: '1', "
         "passed delimiter string: ' '"},
        {"Calc@iv", "1", " ", PROPHANDLING_METHOD_INVALID_PARAM_LIST, "The functions parameter list is invalid"},
        {"Calc@v", "", " ,", PROPHANDLING_INVALID_INPUT_PARAMETER,
         "At least one character of the passed delimiter string for calling function 'Calc@v' is invalid. Invalid "
         "characters are: ',._', got: ' ,'"},
        {"Calc@v", "", ".", PROPHANDLING_INVALID_INPUT_PARAMETER,
         "At least one character of the passed delimiter string for calling function 'Calc@v' is invalid. Invalid "
         "characters are: ',._', got: '.'"},
        {"Calc@v", "", "_", PROPHANDLING_INVALID_INPUT_PARAMETER,
         "At least one character of the passed delimiter string for calling function 'Calc@v' is invalid. Invalid "
         "characters are: ',._', got: '_'"},
        {"Calc@v", "", nullptr, PROPHANDLING_INVALID_INPUT_PARAMETER, defaultText},
        {"I@vi", "abc", " ", PROPHANDLING_INVALID_INPUT_PARAMETER, defaultText},
        {"L@vI", "x1", " ", PROPHANDLING_INVALID_INPUT_PARAMETER, defaultText},
        {"P@vp", "zz", " ", PROPHANDLING_INVALID_INPUT_PARAMETER, defaultText},
        {"Late@vsi", "fine bad", " ", PROPHANDLING_INVALID_INPUT_PARAMETER, defaultText},
    };
    for (const Case& c : cases) {
        if (!methods.count(c.method)) methods[c.method] = addMethod(list, c.method);
        const HOBJ m = methods[c.method];
        const int before = seen.calls;
        int64_t result = 99;
        EXPECT_EQ(qxMethCallS(m, c.text, c.delimiters, &result), c.code) << c.method << " " << c.text;
        EXPECT_EQ(lastError().text, c.message);
        EXPECT_EQ(seen.calls, before) << c.method << " " << c.text;
        EXPECT_EQ(result, 99);
    }
}

// ---- methods in lists ---------------------------------------------------------------------------------

TEST(MethodsInLists, FindCountsAndKindFilters) {
    const HOBJ holder = createList("holder");
    const HOBJ topList = createList("top");
    const HOBJ top = addList(holder, topList);
    const HOBJ innerList = createList("inner");
    const HOBJ inner = addList(topList, innerList);
    const HOBJ m = addMethod(innerList, "m@v");
    addProp(topList, "p");
    EXPECT_EQ(find(inner, "m@v"), m);
    EXPECT_EQ(find(inner, "m@v", QX_SM_EXCLUDE_LISTS | QX_SM_EXCLUDE_PROPERTIES), m);
    EXPECT_EQ(find(inner, "m@v", QX_SM_EXCLUDE_METHODS), 0xFFFFFFFFu);
    EXPECT_EQ(find(top, "m@v", 0, 1), m);
    EXPECT_EQ(find(top, "m@v", 0, 0), 0xFFFFFFFFu);
    addMethod(topList, "n@v");
    const CallParam noMethods[] = {u32In(0, QX_PT_FLAGS), u32In(0, QX_PT_FLAGS), u32In(QX_SM_EXCLUDE_METHODS)};
    EXPECT_EQ(u32Param(topList, QX_PAR_COUNT_MATCHING), 3u);
    EXPECT_EQ(static_cast<uint32_t>(param(topList, QX_PAR_COUNT_MATCHING, noMethods, 3).value.bits), 2u);
}

TEST(MethodsInLists, CloneCopiesMethodsThatOutliveTheirSource) {
    const HOBJ list = createList("l");
    const HOBJ m = addMethod(list, "m@vis", record, {i32(12)});
    HOBJ copy = 0;
    ASSERT_EQ(qxPropListClone(&copy, list, "copy"), 0);
    ASSERT_EQ(qxPropListDelete(list), 0);
    const HOBJ cm = (copy & 0xFFFF0000u) | (m & 0xFFFFu);
    EXPECT_EQ(textParam(cm, QX_PAR_METHOD_SIGNATURE), "vis");
    EXPECT_EQ(callS(cm, "3 x", " "), 12); // the clone has its own copy of the user data
    EXPECT_EQ(seen.hObj, cm);
    EXPECT_EQ(seen.texts[1], "x");
}

TEST(MethodsInLists, DerivedListsShowTheParentsMethodsUntilTheyAreRemoved) {
    const HOBJ base = createList("base");
    const HOBJ m = addMethod(base, "m@v", record, {i32(4)});
    HOBJ derived = 0;
    ASSERT_EQ(qxPropListDerive(&derived, base, "derived"), 0);
    const HOBJ dm = (derived & 0xFFFF0000u) | (m & 0xFFFFu);
    EXPECT_EQ(u32Param(dm, QX_PAR_IS_INHERITED), 1u);
    EXPECT_EQ(u32Param(m, QX_PAR_IS_INHERITED), 0u);
    int64_t result = 0;
    ASSERT_EQ(qxMethCall(dm, nullptr, 0, &result), 0);
    EXPECT_EQ(result, 4);
    EXPECT_EQ(seen.hObj, dm);
    // Restore-default leaves methods alone, in the base and in the derived list.
    EXPECT_EQ(qxCompRestoreDefault(dm, 1), 0);
    EXPECT_EQ(qxCompRestoreDefault(m, 1), 0);
    EXPECT_EQ(qxMethCall(dm, nullptr, 0, nullptr), 0);
    ASSERT_EQ(qxPropListRemoveComp(m), 0);
    EXPECT_EQ(qxMethCall(dm, nullptr, 0, nullptr), PROPHANDLING_COMPONENT_ID_INVALID);
}

TEST(MethodsInLists, MovedMethodsAnswerUnderTheirNewHandle) {
    const HOBJ top = createList("top");
    const HOBJ fromList = createList("from");
    const HOBJ from = addList(top, fromList);
    const HOBJ to = addSubList(top, "to");
    addMethod(fromList, "m@v");
    ASSERT_EQ(qxPropListMoveEntries(from, to, 0, 0, QX_INDEX_APPEND, 0), 0);
    const HOBJ moved = find(to, "m@v");
    ASSERT_NE(moved, 0xFFFFFFFFu);
    ASSERT_EQ(qxMethCall(moved, nullptr, 0, nullptr), 0);
    EXPECT_EQ(seen.hObj, moved);
    EXPECT_EQ(find(from, "m@v"), 0xFFFFFFFFu);
}

// ---- the caller's function calls back ------------------------------------------------------------------

// User data: [0] a property handle. Reads the property, writes value + 1, returns what it read.
int incrementProperty(HOBJ, HOBJ, CallParam* pUser, size_t, CallParam*, size_t) {
    const HOBJ prop = static_cast<HOBJ>(pUser[0].value.bits);
    qxValue slot{};
    ValBuffer buf{QX_VT_INT32, 1, &slot};
    if (qxPropGetVal(prop, &buf, 0) != 0) return -1000;
    const int32_t read = slot.i32;
    slot.i32 = read + 1;
    if (qxPropSetVal(prop, &buf, 0, QX_SETVAL_VALUES, nullptr, 0, 0) != 0) return -2000;
    return read;
}

TEST(MethodReentry, TheFunctionReadsAndWritesPropertiesOnTheSameThread) {
    const HOBJ list = createList("l");
    const HOBJ p = addProp(list, "p");
    const HOBJ m = addMethod(list, "inc@i", incrementProperty, {u32In(p, QX_PT_HANDLE)});
    int64_t result = 0;
    ASSERT_EQ(qxMethCall(m, nullptr, 0, &result), 0);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(qxMethCallS(m, nullptr, nullptr, &result), 0);
    EXPECT_EQ(result, 1);
    // Held twice by the caller, the lock is given back once: the function still gets through on its thread.
    qxLockCompAccess();
    ASSERT_EQ(qxMethCall(m, nullptr, 0, &result), 0);
    qxUnlockCompAccess();
    EXPECT_EQ(result, 2);
}

// Removes its own method and destroys the method's list: the library must not touch either afterwards.
int destroyOwnList(HOBJ hObj, HOBJ, CallParam*, size_t, CallParam*, size_t) {
    if (qxPropListRemoveComp(hObj) != 0) return -1;
    return qxPropListDelete(hObj | 0xFFFF) == 0 ? 5 : -2;
}

TEST(MethodReentry, TheFunctionMayDestroyItsOwnMethodAndList) {
    const HOBJ list = createList("l");
    const HOBJ m = addMethod(list, "gone@vis", destroyOwnList, {i32(1), i32(2)});
    int64_t result = 0;
    ASSERT_EQ(qxMethCallS(m, "1 text", " ", &result), 0);
    EXPECT_EQ(result, 5);
    EXPECT_EQ(qxIsPropListValid(list), 0);
}

} // namespace

// ---- methods registered on other components -------------------------------------------------------------

namespace {

// Refuses (returns 1) any Int32 value above 10; records what it saw.
int atMostTen(HOBJ hObj, HOBJ hOwnerList, CallParam* pUser, size_t userCount, CallParam* pValues, size_t count) {
    record(hObj, hOwnerList, pUser, userCount, pValues, count);
    for (size_t k = 0; k < count; ++k) {
        if (pValues[k].type == QX_PT_INT32 && pValues[k].value.i32 > 10) return 1;
    }
    return 0;
}

TEST(RegisteredMethods, AValidationMethodJudgesEveryWriteWithThePropertysHandle) {
    const HOBJ list = createList("l");
    const HOBJ p = addProp(list, "p");
    const HOBJ m = addMethod(list, "check@ii", atMostTen);
    ASSERT_EQ(qxCompRegisterCallback(p, m, QX_CB_PROPERTY_WRITE), 0) << lastError().text;
    ASSERT_EQ(setInt(p, 7), 0);
    EXPECT_EQ(seen.hObj, p);
    ASSERT_EQ(seen.params.size(), 1u);
    EXPECT_EQ(seen.params[0].type, uint32_t{QX_PT_INT32});
    EXPECT_EQ(seen.params[0].value.i32, 7);
    EXPECT_EQ(setInt(p, 11), PROPHANDLING_PROP_VALIDATION_FAILED);
    EXPECT_EQ(lastError().text, "The assigned value doesn't pass the validation test for property 'p'");
    EXPECT_EQ(getInt(p), 7);
    qxValue slot{};
    slot.i32 = 12;
    ValBuffer buf{QX_VT_INT32, 1, &slot};
    EXPECT_EQ(qxPropValidateVal(p, &buf), PROPHANDLING_PROP_VALIDATION_FAILED);
    // Once the method is gone, nothing judges the writes any more.
    ASSERT_EQ(qxPropListRemoveComp(m), 0);
    const int before = seen.calls;
    EXPECT_EQ(setInt(p, 50), 0);
    EXPECT_EQ(seen.calls, before);
}

TEST(RegisteredMethods, AChangeMethodGetsItsOwnHandleAndTheChangedComponents) {
    const HOBJ list = createList("l");
    const HOBJ p = addProp(list, "p");
    const HOBJ m = addMethod(list, "changed@vi");
    const int before = seen.calls;
    ASSERT_EQ(qxCompRegisterCallback(p, m, QX_CB_COMPONENT_CHANGED), 0) << lastError().text;
    EXPECT_EQ(seen.calls, before + 1); // a new change method runs at once
    EXPECT_EQ(seen.hObj, m);
    ASSERT_EQ(seen.params.size(), 1u);
    EXPECT_EQ(seen.params[0].type, uint32_t{QX_PT_HANDLE});
    EXPECT_EQ(static_cast<HOBJ>(seen.params[0].value.bits), p);
    ASSERT_EQ(setInt(p, 3), 0);
    EXPECT_EQ(seen.calls, before + 2);
    EXPECT_EQ(static_cast<HOBJ>(seen.params[0].value.bits), p);
}

int accessCalls = 0;
int countAccess(HOBJ, HOBJ, CallParam*, size_t, CallParam*, size_t) {
    ++accessCalls;
    return 0;
}

TEST(RegisteredMethods, CallbacksOfAMethodTravelWithItsClone) {
    const HOBJ list = createList("l");
    const HOBJ m = addMethod(list, "m@v");
    HCALLBACK access = 0;
    ASSERT_EQ(qxCompCreateCallback(QX_CB_COMPONENT_ACCESS, countAccess, nullptr, 0, &access), 0);
    ASSERT_EQ(qxCompAttachCallback(m, access), 0) << lastError().text;
    HOBJ copy = 0;
    ASSERT_EQ(qxPropListClone(&copy, list, "copy"), 0);
    const HOBJ cm = (copy & 0xFFFF0000u) | (m & 0xFFFFu);
    ASSERT_EQ(qxCompSetParam(cm, QX_PAR_INVALIDATE, nullptr, 0, 1), 0) << lastError().text;
    const int before = accessCalls;
    ASSERT_EQ(qxMethCall(cm, nullptr, 0, nullptr), 0); // a call is an access: fires once after invalidate
    EXPECT_EQ(accessCalls, before + 1);
    ASSERT_EQ(qxMethCall(cm, nullptr, 0, nullptr), 0);
    EXPECT_EQ(accessCalls, before + 1);
}

} // namespace
