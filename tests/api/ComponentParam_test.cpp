// Component parameters through the C interface: the frame (IDs, resolution order), navigation, texts into
// caller buffers, and the write rows that apply to any component or to lists.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ListTestSupport.h"

using namespace qxtest;

namespace {

// Text of a buffer row (38, 39, 46, 53 and the value rows 47, 54).
int bufferText(HOBJ h, int id, std::vector<CallParam> in, size_t size, std::string& text) {
    std::vector<char> buffer(size + 1, '#');
    in[0] = u32In(static_cast<uint32_t>(size));
    CallParam out{};
    out.value.ptr = buffer.data();
    const int rc = qxCompGetParam(h, id, in.data(), in.size(), &out, 1);
    if (rc == 0) {
        EXPECT_EQ(out.type, static_cast<uint32_t>(QX_PT_STRING));
        text = buffer.data();
    }
    return rc;
}

TEST(ComponentParamNavigation, FirstAndNextWalkTheOccupiedEntriesAndEndAtTheListHandle) {
    const HOBJ list = createList("walk", 6);
    addProp(list, "a", 1);
    addProp(list, "b", 4);
    std::vector<HOBJ> seen;
    for (HOBJ h = handleParam(list, QX_PAR_FIRST_COMPONENT); (h & 0xFFFF) != 0xFFFF; h = handleParam(h, QX_PAR_NEXT_COMPONENT)) {
        seen.push_back(h);
        ASSERT_LT(seen.size(), 10u);
    }
    EXPECT_EQ(seen, (std::vector<HOBJ>{0x00020001, 0x00020004}));
    EXPECT_EQ(handleParam(0x00020004, QX_PAR_NEXT_COMPONENT), 0x0002FFFFu);
    EXPECT_EQ(handleParam(list, QX_PAR_LAST_COMPONENT), 0x00020004u);
    EXPECT_EQ(handleParam(createList("empty", 3), QX_PAR_FIRST_COMPONENT), 0x0003FFFFu);
    EXPECT_EQ(handleParam(list, QX_PAR_FIRST_CHILD), 0x00020001u);
}

TEST(ComponentParamNavigation, PathsSkipRunsOfSeparatorsAndEndInAList) {
    const HOBJ top = createList("top");
    addSubList(top, "a");                 // list 3 in top[0]
    const HOBJ b = addSubList(0x0003FFFF, "b"); // list 4 in a[0]
    addProp(0x0004FFFF, "leaf");
    EXPECT_EQ(byText(top, QX_PAR_HANDLE_BY_PATH, "//a///b/"), b);
    EXPECT_EQ(byText(top, QX_PAR_HANDLE_BY_PATH, "a/b"), b);
    EXPECT_EQ(byText(top, QX_PAR_HANDLE_BY_PATH, "///"), 0xFFFFFFFFu);
    CallParam path = textIn("a/b/leaf");
    CallParam out{};
    EXPECT_EQ(qxCompGetParam(top, QX_PAR_HANDLE_BY_PATH, &path, 1, &out, 1), PROPHANDLING_NOT_A_LIST);
    EXPECT_EQ(lastError().text, "Component 'leaf(0x00040000), ' is not a list. Unable to perform list operation.");
    path = textIn("a/c");
    EXPECT_EQ(qxCompGetParam(top, QX_PAR_HANDLE_BY_PATH, &path, 1, &out, 1), PROPHANDLING_COMPONENT_NOT_FOUND);
    EXPECT_EQ(lastError().text, "Component 'c' is no member of list a");
}

TEST(ComponentParamFrame, TheListIdIsResolvedBeforeTheParameterIdExceptForValueTexts) {
    CallParam out{};
    EXPECT_EQ(qxCompGetParam(0x00090000, 999, nullptr, 0, &out, 1), PROPHANDLING_LIST_ID_INVALID);
    EXPECT_EQ(qxCompGetParam(0x00090000, QX_PAR_VISIBILITY, nullptr, 0, &out, 1), PROPHANDLING_LIST_ID_INVALID);
    std::string text;
    EXPECT_EQ(bufferText(0x00090000, QX_PAR_VISIBILITY_VALUE_TEXT, {CallParam{}, u32In(2)}, 16, text), 0);
    EXPECT_EQ(text, "Guru");
    EXPECT_EQ(bufferText(0x00090000, QX_PAR_REPRESENTATION_VALUE_TEXT, {CallParam{}, u32In(6)}, 16, text), 0);
    EXPECT_EQ(text, "IPv4Address");
    EXPECT_EQ(bufferText(0x00090000, QX_PAR_VISIBILITY_VALUE_TEXT, {CallParam{}}, 16, text), PROPHANDLING_WRONG_PARAM_COUNT);
    EXPECT_EQ(lastError().text, "Wrong parameter count. Expected: 2, got: 1.");
}

TEST(ComponentParamFrame, UnsupportedIds) {
    const HOBJ list = createList("l");
    const HOBJ p = addProp(list, "p");
    CallParam out{};
    for (int id : {0, 16, 35, 50, 55}) {
        EXPECT_EQ(qxCompGetParam(p, id, nullptr, 0, &out, 1), PROPHANDLING_UNSUPPORTED_PARAMETER) << id;
        EXPECT_EQ(lastError().text, "Unsupported parameter");
    }
    const CallParam one = u32In(1);
    for (int id : {1, 5, 11, 53, 54}) EXPECT_EQ(qxCompSetParam(p, id, &one, 1, 1), PROPHANDLING_UNSUPPORTED_PARAMETER) << id;
    EXPECT_EQ(qxCompGetParam(p, QX_PAR_NAME, nullptr, 0, nullptr, 0), PROPHANDLING_INVALID_INPUT_PARAMETER);
}

TEST(ComponentParamTexts, BuffersThatAreTooSmallAreRefused) {
    const HOBJ list = createList("l");
    const HOBJ p = addProp(list, "s", QX_INDEX_APPEND, QX_CT_PROP_STRING);
    std::string text;
    EXPECT_EQ(bufferText(p, QX_PAR_TYPE_TEXT, {CallParam{}}, 4, text), PROPHANDLING_INPUT_BUFFER_TOO_SMALL);
    ASSERT_EQ(bufferText(p, QX_PAR_TYPE_TEXT, {CallParam{}}, 16, text), 0);
    EXPECT_EQ(text, "string property");
    ASSERT_EQ(bufferText(list, QX_PAR_TYPE_TEXT, {CallParam{}}, 5, text), 0);
    EXPECT_EQ(text, "list");
    ASSERT_EQ(bufferText(p, QX_PAR_FLAGS_TEXT, {CallParam{}, textIn(" | ")}, 64, text), 0);
    EXPECT_EQ(text, "cfWriteAccess | cfReadAccess");
    EXPECT_EQ(bufferText(p, QX_PAR_FLAGS_TEXT, {CallParam{}}, 64, text), PROPHANDLING_WRONG_PARAM_COUNT);
    EXPECT_EQ(bufferText(p, QX_PAR_FLAGS_TEXT, {CallParam{}, u32In(1)}, 64, text), PROPHANDLING_INVALID_INPUT_PARAMETER);
    ASSERT_EQ(bufferText(p, QX_PAR_VISIBILITY_TEXT, {CallParam{}}, 64, text), 0);
    EXPECT_EQ(text, "Beginner");
    ASSERT_EQ(bufferText(p, QX_PAR_REPRESENTATION_TEXT, {CallParam{}}, 64, text), 0);
    EXPECT_EQ(text, "Undefined");
}

TEST(ComponentParamWrites, FlagsAreChangedOneAtATimeAndOnlyTheSettableOnes) {
    const HOBJ list = createList("l");
    const HOBJ p = addProp(list, "p");
    CallParam in[2] = {u32In(1), u32In(QX_CF_INVISIBLE)};
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_FLAGS, in, 2, 0), 0);
    EXPECT_EQ(u32Param(p, QX_PAR_FLAGS), 0x13u);
    const uint32_t changes = u32Param(p, QX_PAR_CHANGE_COUNT);
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_FLAGS, in, 2, 0), 0);
    EXPECT_EQ(u32Param(p, QX_PAR_CHANGE_COUNT), changes) << "setting it again changes nothing";
    in[1] = u32In(0x3);
    EXPECT_EQ(qxCompSetParam(p, QX_PAR_FLAGS, in, 2, 0), PROPHANDLING_INVALID_PROP_VALUE);
    EXPECT_EQ(lastError().text,
              "Property 'l': Only a single component flag can be modified at a given time. bit mask got: 0x00000003");
    in[1] = u32In(QX_CF_FIXED_SIZE);
    EXPECT_EQ(qxCompSetParam(p, QX_PAR_FLAGS, in, 2, 0), PROPHANDLING_NO_WRITE_RIGHTS);
    in[0] = u32In(0);
    in[1] = u32In(QX_CF_WRITE_ACCESS);
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_FLAGS, in, 2, 0), 0);
    in[1] = u32In(QX_CF_READ_ACCESS);
    EXPECT_EQ(qxCompSetParam(p, QX_PAR_FLAGS, in, 2, 0), PROPHANDLING_NO_WRITE_RIGHTS) << "no write access left";
    EXPECT_EQ(qxCompSetParam(p, QX_PAR_FLAGS, in, 2, 1), 0) << "force passes";
    EXPECT_EQ(qxCompSetParam(p, QX_PAR_FLAGS, in, 1, 1), PROPHANDLING_WRONG_PARAM_COUNT);
    EXPECT_EQ(lastError().text, "Wrong parameter count. Expected: 2, got: 1.");
}

TEST(ComponentParamWrites, TextsVisibilityAndUserDataRoundTrip) {
    const HOBJ list = createList("l");
    const HOBJ sub = addSubList(list, "sub");
    const HOBJ p = addProp(list, "p");
    CallParam in = textIn("some doc");
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_DOC_STRING, &in, 1, 0), 0);
    EXPECT_EQ(textParam(p, QX_PAR_DOC_STRING), "some doc");
    in = textIn("aux");
    ASSERT_EQ(qxCompSetParam(sub, QX_PAR_LIST_AUX_TEXT, &in, 1, 0), 0);
    EXPECT_EQ(textParam(sub, QX_PAR_LIST_AUX_TEXT), "aux");
    const uint32_t changes = u32Param(sub, QX_PAR_CHANGE_COUNT);
    ASSERT_EQ(qxCompSetParam(sub, QX_PAR_LIST_AUX_TEXT, &in, 1, 0), 0);
    EXPECT_EQ(u32Param(sub, QX_PAR_CHANGE_COUNT), changes) << "the same text again is no change";
    EXPECT_EQ(qxCompSetParam(p, QX_PAR_LIST_AUX_TEXT, &in, 1, 0), PROPHANDLING_NOT_A_LIST);
    in = textIn("cd");
    ASSERT_EQ(qxCompSetParam(list, QX_PAR_CONTENT_DESCRIPTOR, &in, 1, 0), 0);
    EXPECT_EQ(textParam(list, QX_PAR_CONTENT_DESCRIPTOR), "cd");
    in = textIn(nullptr);
    EXPECT_EQ(qxCompSetParam(p, QX_PAR_DOC_STRING, &in, 1, 0), PROPHANDLING_INVALID_INPUT_PARAMETER);
    in = u32In(QX_VIS_GURU);
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_VISIBILITY, &in, 1, 0), 0);
    EXPECT_EQ(u32Param(p, QX_PAR_VISIBILITY), 2u);
    EXPECT_EQ(param(p, QX_PAR_VISIBILITY).type, static_cast<uint32_t>(QX_PT_VISIBILITY));
    int marker = 0;
    in.type = QX_PT_POINTER;
    in.value.ptr = &marker;
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_USER_DATA, &in, 1, 0), 0);
    EXPECT_EQ(param(p, QX_PAR_USER_DATA).value.ptr, &marker);
    in = u32In(1);
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_METHOD_SUPPRESSED, &in, 1, 0), 0);
    EXPECT_EQ(param(p, QX_PAR_METHOD_SUPPRESSED).value.i32, 1);
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_INVALIDATE, nullptr, 0, 0), 0) << "invalidate needs no input";
    EXPECT_EQ(u32Param(list, QX_PAR_TYPE), static_cast<uint32_t>(QX_CT_LIST));
    EXPECT_EQ(u32Param(p, QX_PAR_TYPE), static_cast<uint32_t>(QX_CT_PROP_INT32));
}

TEST(ComponentParamWrites, DocStringAndDisplayNameOfAListThroughItsOwnHandle) {
    const HOBJ list = createList("plain");
    HOBJ derived = 0;
    ASSERT_EQ(qxPropListDerive(&derived, list, "derived"), 0);
    for (const int id : {int{QX_PAR_DOC_STRING}, int{QX_PAR_DISPLAY_NAME}}) {
        const CallParam in = textIn("set on the list");
        ASSERT_EQ(qxCompSetParam(list, id, &in, 1, 0), 0) << id << ": " << lastError().text;
        EXPECT_EQ(textParam(list, id), "set on the list");
        const CallParam other = textIn("through the derived list");
        EXPECT_EQ(qxCompSetParam(derived, id, &other, 1, 1), PROPHANDLING_NO_WRITE_RIGHTS) << id;
        EXPECT_EQ(lastError().text, "No write rights for component 'derived'(Derived features cannot modify this parameter)");
        EXPECT_EQ(textParam(derived, id), "set on the list") << "shared with the parent, and unchanged";
    }
}

TEST(ComponentParamWrites, ComponentDataCountsInBothCountsAStoredValueOnlyInTheFirst) {
    const HOBJ list = createList("l");
    const HOBJ p = addProp(list, "p");
    const uint32_t changes = u32Param(p, QX_PAR_CHANGE_COUNT);
    const uint32_t valueChanges = u32Param(p, QX_PAR_VALUE_CHANGE_COUNT);
    const CallParam in = u32In(0x55, QX_PT_COMPONENT_DATA);
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_COMPONENT_DATA, &in, 1, 0), 0);
    EXPECT_EQ(u32Param(p, QX_PAR_CHANGE_COUNT), changes + 1);
    EXPECT_EQ(u32Param(p, QX_PAR_VALUE_CHANGE_COUNT), valueChanges + 1);
    qxValue v{};
    v.i32 = 4;
    const ValBuffer b{QX_VT_INT32, 1, &v};
    ASSERT_EQ(qxPropSetVal(p, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0), 0);
    EXPECT_EQ(u32Param(p, QX_PAR_CHANGE_COUNT), changes + 2);
    EXPECT_EQ(u32Param(p, QX_PAR_VALUE_CHANGE_COUNT), valueChanges + 1);
}

TEST(ComponentParamFrame, InputElementsBeyondTheCountAreNeitherReadNorAccepted) {
    const HOBJ list = createList("l");
    const HOBJ p = addProp(list, "p");
    // A caller's array with one readable element, announced as empty: the rows must not read it.
    const CallParam in[2] = {textIn("p"), textIn("p")};
    CallParam out{};
    for (const int id : {int{QX_PAR_HANDLE_BY_NAME}, int{QX_PAR_NAME_EXISTS}, int{QX_PAR_HANDLE_BY_PATH}}) {
        EXPECT_EQ(qxCompGetParam(list, id, in, 0, &out, 1), PROPHANDLING_INVALID_INPUT_PARAMETER) << id;
    }
    const CallParam index0[2] = {u32In(0), u32In(0)};
    EXPECT_EQ(qxCompGetParam(p, QX_PAR_HAS_SPECIAL_VALUE, index0, 0, &out, 1), PROPHANDLING_INVALID_INPUT_PARAMETER);
    // A write row takes exactly its count: one element too many is refused and changes nothing.
    const struct {
        int id;
        CallParam in;
    } rows[] = {{QX_PAR_DOC_STRING, textIn("doc")}, {QX_PAR_COMPONENT_DATA, u32In(9, QX_PT_COMPONENT_DATA)},
                {QX_PAR_VISIBILITY, u32In(QX_VIS_GURU)}, {QX_PAR_VALUE_COUNT, u32In(3)}};
    for (const auto& row : rows) {
        const CallParam two[2] = {row.in, row.in};
        const uint32_t changes = u32Param(p, QX_PAR_CHANGE_COUNT);
        EXPECT_EQ(qxCompSetParam(p, row.id, two, 2, 1), PROPHANDLING_WRONG_PARAM_COUNT) << row.id;
        EXPECT_EQ(lastError().text, "Wrong parameter count. Expected: 1, got: 2.") << row.id;
        EXPECT_EQ(u32Param(p, QX_PAR_CHANGE_COUNT), changes) << row.id;
    }
    EXPECT_EQ(textParam(p, QX_PAR_DOC_STRING), "");
    EXPECT_EQ(u32Param(p, QX_PAR_VALUE_COUNT), 1u);
}

TEST(ComponentParamCounts, CountMatchingFiltersByFlagsAndKind) {
    const HOBJ list = createList("l");
    addProp(list, "rw");
    addProp(list, "ro", QX_INDEX_APPEND, QX_CT_PROP_INT32, QX_CF_READ_ACCESS);
    addSubList(list, "sub");
    EXPECT_EQ(u32Param(list, QX_PAR_COUNT_MATCHING), 3u);
    CallParam in[3] = {u32In(QX_CF_WRITE_ACCESS, QX_PT_FLAGS), u32In(0, QX_PT_FLAGS), u32In(QX_SM_EXCLUDE_LISTS)};
    CallParam out{};
    ASSERT_EQ(qxCompGetParam(list, QX_PAR_COUNT_MATCHING, in, 3, &out, 1), 0);
    EXPECT_EQ(out.value.bits, 1u);
    in[0] = u32In(QX_CF_WRITE_ACCESS, QX_PT_UINT32); // wrong type: counts as no mask
    ASSERT_EQ(qxCompGetParam(list, QX_PAR_COUNT_MATCHING, in, 3, &out, 1), 0);
    EXPECT_EQ(out.value.bits, 2u);
}

TEST(ComponentRestoreDefault, TheListHandleItselfIsOutOfRange) {
    const HOBJ list = createList("l");
    const HOBJ sub = addSubList(list, "sub");
    EXPECT_EQ(qxCompRestoreDefault(list, 1), PROPHANDLING_COMPONENT_ID_INVALID);
    EXPECT_EQ(lastError().text, "Array index out of range");
    EXPECT_EQ(u32Param(sub, QX_PAR_IS_DEFAULT), 0u);
    ASSERT_EQ(qxCompRestoreDefault(sub, 0), 0);
    EXPECT_EQ(u32Param(sub, QX_PAR_IS_DEFAULT), 1u);
    CallParam out{};
    EXPECT_EQ(qxCompGetParam((list & 0xFFFF0000u) | 7, QX_PAR_IS_DEFAULT, nullptr, 0, &out, 1),
              PROPHANDLING_COMPONENT_ID_INVALID) << "an entry beyond the table";
    EXPECT_EQ(lastError().text, "Array index out of range");
}

} // namespace

// The rows that describe a property's values, read and changed through the parameter functions.
TEST(ComponentParamProperty, CountsLimitsAndDictionaryEntries) {
    const HOBJ list = createList("l");
    const HOBJ p = addProp(list, "mode");
    EXPECT_EQ(u32Param(p, QX_PAR_VALUE_COUNT), 1u);
    EXPECT_EQ(u32Param(p, QX_PAR_MAX_VALUE_COUNT), 0xFFFFFFFFu);
    EXPECT_EQ(textParam(p, QX_PAR_FORMAT_STRING), "%d");
    EXPECT_EQ(qxCompGetParam(list, QX_PAR_VALUE_COUNT, nullptr, 0, nullptr, 0), PROPHANDLING_INVALID_INPUT_PARAMETER);
    CallParam out[2]{};
    EXPECT_EQ(qxCompGetParam(list, QX_PAR_VALUE_COUNT, nullptr, 0, out, 1), PROPHANDLING_NOT_A_PROPERTY);

    const CallParam three = u32In(3);
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_VALUE_COUNT, &three, 1, 0), 0);
    EXPECT_EQ(u32Param(p, QX_PAR_VALUE_COUNT), 3u);
    const CallParam two = u32In(2);
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_MAX_VALUE_COUNT, &two, 1, 0), 0);
    EXPECT_EQ(u32Param(p, QX_PAR_VALUE_COUNT), 2u); // shrunk to the new maximum
    EXPECT_EQ(qxCompSetParam(p, QX_PAR_DEFAULT_VALUE_COUNT, &three, 1, 0), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(qxCompSetParam(p, QX_PAR_DEFAULT_VALUE_COUNT, &two, 1, 0), 0) << "the maximum itself: " << lastError().text;
    // A fixed-size property in a list shrinks with a smaller maximum only when forced.
    const HOBJ fixed = addProp(list, "fixed", QX_INDEX_APPEND, QX_CT_PROP_INT32,
                               QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS | QX_CF_FIXED_SIZE);
    ASSERT_EQ(qxCompSetParam(fixed, QX_PAR_VALUE_COUNT, &three, 1, 1), 0) << lastError().text;
    EXPECT_EQ(qxCompSetParam(fixed, QX_PAR_MAX_VALUE_COUNT, &two, 1, 0), PROPHANDLING_NO_MODIFY_SIZE_RIGHTS);
    EXPECT_EQ(u32Param(fixed, QX_PAR_VALUE_COUNT), 3u);
    EXPECT_EQ(qxCompSetParam(fixed, QX_PAR_MAX_VALUE_COUNT, &two, 1, 1), 0) << lastError().text;
    EXPECT_EQ(u32Param(fixed, QX_PAR_VALUE_COUNT), 2u);
    EXPECT_EQ(u32Param(p, QX_PAR_DEFAULT_VALUE_COUNT), 2u);

    const CallParam minimum = u32In(static_cast<uint32_t>(QX_LIM_MINIMUM), QX_PT_INT32);
    EXPECT_EQ(param(p, QX_PAR_HAS_SPECIAL_VALUE, &minimum, 1).value.bits, 0u);
    qxValue v{};
    v.i32 = -5;
    const ValBuffer b{QX_VT_INT32, 1, &v};
    ASSERT_EQ(qxPropSetVal(p, &b, QX_LIM_MINIMUM, QX_SETVAL_VALUES, nullptr, 0, 0), 0);
    EXPECT_EQ(param(p, QX_PAR_HAS_SPECIAL_VALUE, &minimum, 1).value.bits, 1u);

    const CallParam first = u32In(0);
    EXPECT_EQ(qxCompGetParam(p, QX_PAR_DICTIONARY_ENTRY, &first, 1, out, 2),
              PROPHANDLING_PROP_TRANSLATION_TABLE_NOT_DEFINED);
    ASSERT_EQ(qxPropRegisterTranslationEntry(p, "Auto", 7, 0), 0);
    EXPECT_EQ(qxCompGetParam(p, QX_PAR_DICTIONARY_ENTRY, &first, 1, out, 1), PROPHANDLING_WRONG_PARAM_COUNT);
    ASSERT_EQ(qxCompGetParam(p, QX_PAR_DICTIONARY_ENTRY, &first, 1, out, 2), 0);
    EXPECT_STREQ(out[0].value.str, "Auto");
    EXPECT_EQ(out[1].value.i32, 7);
    EXPECT_EQ(u32Param(p, QX_PAR_DICTIONARY_SIZE), 1u);
    const CallParam beyond = u32In(1);
    EXPECT_EQ(qxCompGetParam(p, QX_PAR_DICTIONARY_ENTRY, &beyond, 1, out, 2), PROPHANDLING_INVALID_INPUT_PARAMETER);
}

TEST(ComponentParamProperty, CompareValuesAndBinarySizes) {
    const HOBJ list = createList("l");
    const HOBJ a = addProp(list, "a");
    const HOBJ b = addProp(list, "b");
    const CallParam other = u32In(b, QX_PT_HANDLE);
    EXPECT_EQ(param(a, QX_PAR_COMPARE_VALUES, &other, 1).value.i32, 0);
    qxValue v{};
    v.i32 = 4;
    const ValBuffer buffer{QX_VT_INT32, 1, &v};
    ASSERT_EQ(qxPropSetVal(a, &buffer, 0, QX_SETVAL_VALUES, nullptr, 0, 0), 0);
    EXPECT_NE(param(a, QX_PAR_COMPARE_VALUES, &other, 1).value.i32, 0);

    const HOBJ text = addProp(list, "text", QX_INDEX_APPEND, QX_CT_PROP_STRING);
    const CallParam limit = u32In(16);
    EXPECT_EQ(qxCompSetParam(text, QX_PAR_BINARY_SIZE_MAX, &limit, 1, 0), PROPHANDLING_UNSUPPORTED_OPERATION);
    const HOBJ blob = addProp(list, "blob", QX_INDEX_APPEND, QX_CT_PROP_STRING,
                              QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS | QX_CF_CONTAINS_BINARY_DATA);
    ASSERT_EQ(qxCompSetParam(blob, QX_PAR_BINARY_SIZE_MAX, &limit, 1, 0), 0);
    EXPECT_EQ(u32Param(blob, QX_PAR_BINARY_SIZE_MAX), 16u);
    const char bytes[5] = {1, 2, 3, 4, 5};
    qxValue slot{};
    slot.ptr = const_cast<char*>(bytes);
    const ValBuffer data{QX_VT_STRING, 1, &slot};
    CallParam size{};
    size.value.i64 = sizeof bytes;
    ASSERT_EQ(qxPropSetVal(blob, &data, 0, QX_SETVAL_BINARY, &size, 1, 0), 0);
    const CallParam index0 = u32In(0);
    EXPECT_EQ(param(blob, QX_PAR_BINARY_SIZE, &index0, 1).value.bits, 5u);
    // Special values are no binary data, the size limit least of all: it holds a count, not bytes.
    for (const int special : {-1, int{QX_LIM_BINARY_SIZE_MAX}}) {
        char back[32];
        size_t backSize = sizeof back;
        EXPECT_EQ(qxPropGetValAsBinaryDataEx(blob, back, &backSize, special), PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS);
        EXPECT_EQ(backSize, sizeof back);
    }
    size.value.i64 = 17;
    char big[17] = {};
    slot.ptr = big;
    EXPECT_EQ(qxPropSetVal(blob, &data, 0, QX_SETVAL_BINARY, &size, 1, 0), PROPHANDLING_PROP_VAL_TOO_LARGE);
}
