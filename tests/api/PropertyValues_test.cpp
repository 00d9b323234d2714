// Property values through the exported functions: writes with limits, steps and dictionaries, texts under
// the size protocol, binary data, validation and the translation table, as a caller sees them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ListTestSupport.h"
#include "qxPropHandling.h"

using namespace qxtest;

namespace {

ValBuffer ints(std::vector<qxValue>& slots, std::initializer_list<int32_t> values) {
    slots.clear();
    for (int32_t v : values) {
        qxValue s{};
        s.i32 = v;
        slots.push_back(s);
    }
    return ValBuffer{QX_VT_INT32, slots.size(), slots.data()};
}

ValBuffer texts(std::vector<qxValue>& slots, std::initializer_list<const char*> values) {
    slots.clear();
    for (const char* v : values) {
        qxValue s{};
        s.str = const_cast<char*>(v);
        slots.push_back(s);
    }
    return ValBuffer{QX_VT_STRING, slots.size(), slots.data()};
}

int setInt(HOBJ h, int index, int32_t value) {
    std::vector<qxValue> slots;
    const ValBuffer b = ints(slots, {value});
    return qxPropSetVal(h, &b, index, QX_SETVAL_VALUES, nullptr, 0, 0);
}

int setText(HOBJ h, int index, const char* text) {
    std::vector<qxValue> slots;
    const ValBuffer b = texts(slots, {text});
    return qxPropSetVal(h, &b, index, QX_SETVAL_VALUES, nullptr, 0, 0);
}

std::string text(HOBJ h, int index = 0, const char* format = nullptr) {
    char buffer[256];
    size_t size = sizeof buffer;
    const int rc = qxPropGetValAsStringEx(h, format, buffer, &size, index);
    return rc == 0 ? std::string(buffer) : "<" + std::to_string(rc) + ">";
}

std::string all(HOBJ h, int mode = 0) {
    char buffer[256];
    size_t size = sizeof buffer;
    const int rc = qxPropGetValArrayAsStringEx(h, nullptr, ",", buffer, &size, 0, 0x7FFFFFFF, mode);
    return rc == 0 ? std::string(buffer) : "<" + std::to_string(rc) + ">";
}

class Values : public ::testing::Test {
protected:
    HOBJ list_ = createList("camera");
    HOBJ exposure_ = addProp(list_, "exposure");
};

TEST_F(Values, StepAndLimitsSnapAndRefuseWithTheirMessages) {
    ASSERT_EQ(setInt(exposure_, QX_LIM_MINIMUM, 10), 0);
    ASSERT_EQ(setInt(exposure_, QX_LIM_MAXIMUM, 100), 0);
    ASSERT_EQ(setInt(exposure_, QX_LIM_STEP_WIDTH, 5), 0);
    const std::pair<int, const char*> snaps[] = {{11, "10"}, {12, "15"}, {98, "100"}, {103, "100"}};
    for (const auto& [written, stored] : snaps) {
        ASSERT_EQ(setInt(exposure_, 0, written), 0) << written;
        EXPECT_EQ(text(exposure_), stored) << written;
    }
    EXPECT_EQ(setInt(exposure_, 0, 1000), PROPHANDLING_PROP_VAL_TOO_LARGE);
    EXPECT_EQ(lastError().text,
              "The assigned value at index 0(1000) is higher than the max. value(100) for property exposure");
    EXPECT_EQ(text(exposure_), "100"); // the refused write stored nothing

    ASSERT_EQ(qxPropRemoveVal(exposure_, QX_LIM_STEP_WIDTH, 0), 0);
    std::vector<qxValue> slots;
    const ValBuffer two = ints(slots, {50, 5});
    EXPECT_EQ(qxPropSetVal(exposure_, &two, 0, QX_SETVAL_VALUES, nullptr, 0, 0), PROPHANDLING_PROP_VAL_TOO_SMALL);
    EXPECT_EQ(lastError().text,
              "The assigned value at index 1(5) is smaller than the min. value(10) for property exposure");
    EXPECT_EQ(setInt(exposure_, QX_LIM_STEP_WIDTH, 0), PROPHANDLING_INVALID_PROP_VALUE);
    EXPECT_EQ(lastError().text, "Invalid step width (0) for property exposure");
}

TEST_F(Values, TheLimitsThemselvesAreAllowedOnEveryPath) {
    // Single value, several values, a text, a validation: each takes the limits and refuses one beyond.
    ASSERT_EQ(setInt(exposure_, QX_LIM_MINIMUM, 10), 0);
    ASSERT_EQ(setInt(exposure_, QX_LIM_MAXIMUM, 100), 0);
    std::vector<qxValue> slots;
    struct Path {
        const char* name;
        int (*write)(HOBJ, int32_t);
    };
    const Path paths[] = {
        {"single", [](HOBJ h, int32_t v) { return setInt(h, 0, v); }},
        {"several",
         [](HOBJ h, int32_t v) {
             std::vector<qxValue> s;
             const ValBuffer b = ints(s, {50, v});
             return qxPropSetVal(h, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0);
         }},
        {"text", [](HOBJ h, int32_t v) { return setText(h, 0, std::to_string(v).c_str()); }},
        {"validate",
         [](HOBJ h, int32_t v) {
             std::vector<qxValue> s;
             const ValBuffer b = ints(s, {50, v});
             return qxPropValidateVal(h, &b);
         }},
    };
    for (const Path& path : paths) {
        for (const int32_t edge : {100, 10}) EXPECT_EQ(path.write(exposure_, edge), 0) << path.name << ": " << lastError().text;
        EXPECT_EQ(path.write(exposure_, 101), PROPHANDLING_PROP_VAL_TOO_LARGE) << path.name;
        EXPECT_EQ(path.write(exposure_, 9), PROPHANDLING_PROP_VAL_TOO_SMALL) << path.name;
    }
    EXPECT_EQ(all(exposure_), "10,10"); // the text wrote the first of the two values stored before
}

TEST_F(Values, AWriteJustPastTheLastValueGrowsTheProperty) {
    ASSERT_EQ(setInt(exposure_, 1, 7), 0) << lastError().text;
    EXPECT_EQ(all(exposure_), "0,7");
    EXPECT_EQ(u32Param(exposure_, QX_PAR_VALUE_COUNT), 2u);
}

TEST_F(Values, SixtyFourBitValuesDifferingOnlyInTheHighHalfAreChanges) {
    const HOBJ wide = addProp(list_, "wide", QX_INDEX_APPEND, QX_CT_PROP_INT64);
    const HOBJ address = addProp(list_, "address", QX_INDEX_APPEND, QX_CT_PROP_POINTER);
    for (const auto& [h, type] : {std::pair{wide, uint32_t{QX_VT_INT64}}, std::pair{address, uint32_t{QX_VT_POINTER}}}) {
        for (const size_t count : {size_t{1}, size_t{2}}) { // the one-value write and the general one
            qxValue v[2]{};
            v[0].i64 = v[1].i64 = 5;
            ValBuffer b{type, count, v};
            ASSERT_EQ(qxPropSetVal(h, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0), 0) << lastError().text;
            const uint32_t before = u32Param(h, QX_PAR_CHANGE_COUNT);
            v[0].i64 = v[1].i64 = 5 + (int64_t{1} << 32);
            ASSERT_EQ(qxPropSetVal(h, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0), 0) << lastError().text;
            EXPECT_GT(u32Param(h, QX_PAR_CHANGE_COUNT), before) << type << " " << count;
            qxValue back[2]{};
            ValBuffer r{type, count, back};
            ASSERT_EQ(qxPropGetVal(h, &r, 0), 0);
            EXPECT_EQ(back[count - 1].i64, 5 + (int64_t{1} << 32)) << type << " " << count;
        }
    }
}

TEST_F(Values, ANewMinimumReshapesTheStoredValues) {
    ASSERT_EQ(setInt(exposure_, 0, 20), 0);
    ASSERT_EQ(setInt(exposure_, QX_LIM_MINIMUM, 50), 0);
    EXPECT_EQ(text(exposure_), "50");
    EXPECT_EQ(text(exposure_, QX_LIM_MINIMUM), "50");
}

TEST_F(Values, OneTextMayHoldSeveralNumbers) {
    ASSERT_EQ(setText(exposure_, 0, "1 2 3"), 0);
    EXPECT_EQ(all(exposure_), "1,2,3");
    EXPECT_EQ(text(exposure_, 2, "[%04d]"), "[0003]");
}

TEST_F(Values, TextsFollowTheSizeProtocol) {
    ASSERT_EQ(setInt(exposure_, 0, 1234), 0);
    size_t size = 0;
    EXPECT_EQ(qxPropGetValAsStringEx(exposure_, nullptr, nullptr, &size, 0), 0);
    EXPECT_EQ(size, 5u);
    char small[3] = {'x', 'x', 'x'};
    size = sizeof small;
    EXPECT_EQ(qxPropGetValAsStringEx(exposure_, nullptr, small, &size, 0), PROPHANDLING_INPUT_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(small[0], 'x');
    EXPECT_EQ(qxPropGetValAsString(exposure_, "", small, sizeof small, 0), PROPHANDLING_INPUT_BUFFER_TOO_SMALL);
    EXPECT_EQ(qxPropGetValAsStringEx(exposure_, nullptr, small, nullptr, 0), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(qxPropGetValAsStringEx(exposure_, nullptr, nullptr, &size, 1), PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS);
}

TEST_F(Values, FormatsThatDoNotFitTheValueAreRefused) {
    for (const char* format : {"%s", "%n", "%*d", "%d %d", "%f"}) {
        size_t size = 0;
        EXPECT_EQ(qxPropGetValAsStringEx(exposure_, format, nullptr, &size, 0), PROPHANDLING_INVALID_INPUT_PARAMETER)
            << format;
        EXPECT_NE(lastError().text.find(format), std::string::npos) << lastError().text;
    }
    HOBJ h = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListRegisterProp(list_, "bad", QX_CT_PROP_DOUBLE, 1, 3, "%s", &h),
              PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(qxPropListRegisterProp(list_, "good", QX_CT_PROP_DOUBLE, 1, 3, "%.2f", &h), 0);
}

TEST_F(Values, UnknownModesAndWrongKindsAreRefused) {
    std::vector<qxValue> slots;
    const ValBuffer one = ints(slots, {1});
    EXPECT_EQ(qxPropSetVal(exposure_, &one, 0, 3, nullptr, 0, 0), PROPHANDLING_UNSUPPORTED_PARAMETER);
    EXPECT_EQ(qxPropSetVal(exposure_, &one, 0, QX_SETVAL_BINARY, nullptr, 0, 0), PROPHANDLING_INVALID_PROP_VALUE_TYPE);
    const HOBJ sub = addSubList(list_, "sub");
    EXPECT_EQ(qxPropSetVal(sub, &one, 0, QX_SETVAL_VALUES, nullptr, 0, 0), PROPHANDLING_NOT_A_PROPERTY);
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "Component 'sub(0x%08x), ' is not a property. Unable to perform property operation.", sub);
    EXPECT_EQ(lastError().text, expected);
}

TEST_F(Values, ReadOnlyPropertiesNeedForce) {
    const HOBJ ro = addProp(list_, "serial", QX_INDEX_APPEND, QX_CT_PROP_INT32, QX_CF_READ_ACCESS);
    std::vector<qxValue> slots;
    const ValBuffer one = ints(slots, {7});
    EXPECT_EQ(qxPropSetVal(ro, &one, 0, QX_SETVAL_VALUES, nullptr, 0, 0), PROPHANDLING_NO_WRITE_RIGHTS);
    EXPECT_EQ(lastError().text, "No write rights for component 'serial'");
    EXPECT_EQ(qxPropSetVal(ro, &one, 0, QX_SETVAL_VALUES, nullptr, 0, 1), 0);
    EXPECT_EQ(text(ro), "7");
}

TEST_F(Values, DictionaryNamesTranslateAndRenamesKeepOneEntry) {
    ASSERT_EQ(setInt(exposure_, 0, 42), 0);
    ASSERT_EQ(qxPropRegisterTranslationEntry(exposure_, "N1", 1, 0), 0);
    EXPECT_EQ(text(exposure_), "N1"); // the first entry became the stored value
    ASSERT_EQ(qxPropRegisterTranslationEntry(exposure_, "N2", 1, 0), 0);
    ASSERT_EQ(qxPropRegisterTranslationEntry(exposure_, "Off", 0, 0), 0);

    qxValue names[2], values[2];
    ValBuffer n{QX_VT_STRING, 2, names}, v{QX_VT_INT32, 2, values};
    ASSERT_EQ(qxPropGetTranslationTable(exposure_, &n, &v), 0);
    EXPECT_STREQ(names[0].str, "N2");
    EXPECT_EQ(values[0].i32, 1);
    EXPECT_STREQ(names[1].str, "Off");
    n.count = 3;
    EXPECT_EQ(qxPropGetTranslationTable(exposure_, &n, &v), PROPHANDLING_SIZE_MISMATCH);
    EXPECT_EQ(lastError().text, "Size mismatch! string rep size: 3, val rep size: 2, dictionary size: 2");

    ASSERT_EQ(setText(exposure_, 0, "Off"), 0);
    EXPECT_EQ(text(exposure_), "Off");
    EXPECT_EQ(all(exposure_, QX_AT_RAW_VALUES), "0");
    EXPECT_EQ(setText(exposure_, 0, "On"), PROPHANDLING_INVALID_PROP_VALUE);
    EXPECT_EQ(setInt(exposure_, 0, 5), PROPHANDLING_INVALID_PROP_VALUE);
    EXPECT_EQ(setInt(exposure_, QX_LIM_DEFAULT, 5), PROPHANDLING_INVALID_PROP_VALUE);

    EXPECT_EQ(qxPropRemoveTranslationEntry(exposure_, "unknown", 0), 0);
    ASSERT_EQ(qxPropRemoveTranslationTable(exposure_, 0), 0);
    EXPECT_EQ(setInt(exposure_, 0, 5), 0); // without a dictionary any value goes
    EXPECT_EQ(qxPropRemoveTranslationTable(exposure_, 0), 0);
}

TEST_F(Values, ValidationRejectsWithAnEmptyTextAndStoresNothing) {
    ASSERT_EQ(qxPropRegisterTranslationEntry(exposure_, "Auto", 1, 0), 0);
    std::vector<qxValue> slots;
    const ValBuffer missing = ints(slots, {7});
    ASSERT_EQ(qxPropHandlingSetLastError(-1, "before"), 0);
    EXPECT_EQ(qxPropValidateVal(exposure_, &missing), PROPHANDLING_INVALID_PROP_VALUE);
    EXPECT_EQ(lastError().text, "");
    const ValBuffer known = ints(slots, {1});
    EXPECT_EQ(qxPropValidateVal(exposure_, &known), 0);
    EXPECT_EQ(qxPropValidateVal(exposure_, nullptr), PROPHANDLING_INVALID_INPUT_PARAMETER);
}

TEST_F(Values, TranslationTableOfAPropertyWithoutOneIsLeftAlone) {
    qxValue names[1] = {}, values[1] = {};
    names[0].bits = 0xAB;
    ValBuffer n{QX_VT_STRING, 1, names}, v{QX_VT_INT32, 1, values};
    EXPECT_EQ(qxPropGetTranslationTable(exposure_, &n, &v), 0);
    EXPECT_EQ(names[0].bits, 0xABu);
}

TEST_F(Values, CombinationPropertiesJoinNames) {
    const HOBJ flags = addProp(list_, "options", QX_INDEX_APPEND, QX_CT_PROP_INT32,
                               QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS | QX_CF_ALLOW_VALUE_COMBINATIONS);
    ASSERT_EQ(qxPropRegisterTranslationEntry(flags, "A", 1, 0), 0);
    ASSERT_EQ(qxPropRegisterTranslationEntry(flags, "B", 2, 0), 0);
    ASSERT_EQ(qxPropRegisterTranslationEntry(flags, "C", 8, 0), 0);
    ASSERT_EQ(setText(flags, 0, "A|C"), 0);
    EXPECT_EQ(all(flags, QX_AT_RAW_VALUES), "9");
    EXPECT_EQ(text(flags), "A C");
    EXPECT_EQ(all(flags), "A|C");
    ASSERT_EQ(setText(flags, 0, "B A"), 0);
    EXPECT_EQ(all(flags, QX_AT_RAW_VALUES), "3");
    EXPECT_EQ(setText(flags, 0, "A|D"), PROPHANDLING_INVALID_PROP_VALUE);
    EXPECT_EQ(setInt(flags, 0, 4), PROPHANDLING_INVALID_PROP_VALUE);
    EXPECT_EQ(setInt(flags, QX_LIM_MAXIMUM, 15), PROPHANDLING_NO_WRITE_RIGHTS);
}

TEST_F(Values, AStringPropertyTakesNoSpecialValueButItsBinarySizeLimit) {
    const HOBJ label = addProp(list_, "label", QX_INDEX_APPEND, QX_CT_PROP_STRING);
    ASSERT_EQ(qxPropRegisterTranslationEntry(label, "short", reinterpret_cast<intptr_t>("s"), 0), 0);
    for (int index : {int{QX_LIM_DEFAULT}, -6, -100}) EXPECT_EQ(setInt(label, index, 33), PROPHANDLING_INVALID_PROP_VALUE_TYPE);
    EXPECT_EQ(setInt(label, QX_LIM_MAXIMUM, 33), PROPHANDLING_UNSUPPORTED_OPERATION);
}

TEST_F(Values, BinaryDataRoundTripsThroughAStringProperty) {
    const HOBJ blob = addProp(list_, "blob", QX_INDEX_APPEND, QX_CT_PROP_STRING,
                              QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS | QX_CF_CONTAINS_BINARY_DATA);
    unsigned char bytes[57];
    for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    qxValue slot{};
    slot.ptr = bytes;
    const ValBuffer b{QX_VT_STRING, 1, &slot};
    CallParam sizes{};
    sizes.type = QX_PT_INT64;
    sizes.value.i64 = sizeof bytes;
    ASSERT_EQ(qxPropSetVal(blob, &b, 0, QX_SETVAL_BINARY, &sizes, 1, 0), 0) << lastError().text;

    unsigned char back[64];
    size_t size = 10;
    EXPECT_EQ(qxPropGetValAsBinaryDataEx(blob, back, &size, 0), PROPHANDLING_INPUT_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 10u); // left as the caller gave it
    size = sizeof back;
    ASSERT_EQ(qxPropGetValAsBinaryDataEx(blob, back, &size, 0), 0);
    EXPECT_EQ(size, sizeof bytes);
    EXPECT_EQ(std::memcmp(back, bytes, sizeof bytes), 0);
    const std::string base64 = text(blob);
    EXPECT_EQ(base64.size(), 78u); // one full line of 76 characters and its CR LF
    EXPECT_EQ(base64.substr(76), "\r\n");
}

TEST_F(Values, AWriteThroughADerivedListChangesOnlyItsOwnCopy) {
    ASSERT_EQ(setInt(exposure_, 0, 5), 0);
    HOBJ derived = 0;
    ASSERT_EQ(qxPropListDerive(&derived, list_, "view"), 0);
    const HOBJ inDerived = (derived & 0xFFFF0000u) | (exposure_ & 0xFFFFu);
    EXPECT_EQ(text(inDerived), "5"); // shared until written
    ASSERT_EQ(setInt(inDerived, 0, 6), 0);
    EXPECT_EQ(text(inDerived), "6");
    EXPECT_EQ(text(exposure_), "5");
    ASSERT_EQ(setInt(exposure_, 0, 7), 0);
    EXPECT_EQ(text(inDerived), "6");
}

TEST_F(Values, RestoreDefaultPutsBackTheDefaultOfAForceCloneProperty) {
    const HOBJ level = addProp(list_, "level", QX_INDEX_APPEND, QX_CT_PROP_INT32,
                               QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS | QX_CF_ALWAYS_FORCE_CLONE);
    ASSERT_EQ(setInt(level, QX_LIM_DEFAULT, 5), 0);
    ASSERT_EQ(setInt(level, 0, 9), 0);
    ASSERT_EQ(setInt(exposure_, 0, 9), 0);
    ASSERT_EQ(qxCompRestoreDefault(level, 0), 0);
    EXPECT_EQ(text(level), "5");
    const uint32_t changes = u32Param(level, QX_PAR_CHANGE_COUNT);
    ASSERT_EQ(qxCompRestoreDefault(level, 0), 0);
    EXPECT_EQ(u32Param(level, QX_PAR_CHANGE_COUNT), changes) << "already at its default: no change";
    const HOBJ locked = addProp(list_, "locked", QX_INDEX_APPEND, QX_CT_PROP_INT32,
                                QX_CF_READ_ACCESS | QX_CF_ALWAYS_FORCE_CLONE);
    std::vector<qxValue> slots;
    for (const auto& [index, value] : {std::pair{int{QX_LIM_DEFAULT}, 5}, std::pair{0, 9}}) {
        const ValBuffer one = ints(slots, {value});
        ASSERT_EQ(qxPropSetVal(locked, &one, index, QX_SETVAL_VALUES, nullptr, 0, 1), 0) << lastError().text;
    }
    ASSERT_EQ(qxCompRestoreDefault(locked, 0), 0) << "without write access nothing happens, and that is no failure";
    EXPECT_EQ(text(locked), "9");
    ASSERT_EQ(qxCompRestoreDefault(locked, 1), 0);
    EXPECT_EQ(text(locked), "5");
    ASSERT_EQ(qxCompRestoreDefault(exposure_, 0), 0); // not derived, no default: nothing to give back
    EXPECT_EQ(text(exposure_), "9");
    EXPECT_EQ(qxCompRestoreDefault(list_, 0), PROPHANDLING_COMPONENT_ID_INVALID);
}

TEST_F(Values, SnappedValuesLieOnTheStepWithinOneStepOfTheWrittenValue) {
    // Steps of several sizes and signs of the distance to the minimum, including the largest steps.
    for (const int32_t step : {3, 7, 1000, 65536, 1 << 30}) {
        ASSERT_EQ(qxPropRemoveVal(exposure_, QX_LIM_STEP_WIDTH, 0), 0);
        ASSERT_EQ(setInt(exposure_, QX_LIM_MINIMUM, -2000000000), 0);
        ASSERT_EQ(setInt(exposure_, QX_LIM_MAXIMUM, 2000000000), 0);
        ASSERT_EQ(setInt(exposure_, QX_LIM_STEP_WIDTH, step), 0);
        uint32_t seed = 12345u + static_cast<uint32_t>(step);
        for (int i = 0; i < 500; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const auto written = static_cast<int32_t>(static_cast<int64_t>(seed % 4000000001u) - 2000000000);
            ASSERT_EQ(setInt(exposure_, 0, written), 0) << written;
            qxValue v{};
            ValBuffer b{QX_VT_INT32, 1, &v};
            ASSERT_EQ(qxPropGetVal(exposure_, &b, 0), 0);
            const int64_t stored = v.i32;
            const bool atALimit = stored == -2000000000 || stored == 2000000000;
            // The grid starts at the minimum, unless the distance to it does not fit 32 bits: then at 0.
            const int64_t distance = int64_t{written} + 2000000000;
            const int64_t origin = distance <= INT32_MAX ? -2000000000 : 0;
            EXPECT_TRUE(atALimit || (stored - origin) % step == 0) << step << " " << written << " " << stored;
            EXPECT_LE(std::llabs(stored - written), step) << step << " " << written << " " << stored;
        }
    }
}

TEST_F(Values, RestoringADefaultInAChainOfDerivedListsReachesTheLastOne) {
    // list_ <- middle <- child <- grandchild; middle and child hold copies of their own, the grandchild
    // shows the child's. Restoring middle's entry replaces the child's copy while the grandchild shows it.
    ASSERT_EQ(setInt(exposure_, 0, 1), 0);
    HOBJ middle = 0, child = 0, grandchild = 0;
    ASSERT_EQ(qxPropListDerive(&middle, list_, "middle"), 0);
    ASSERT_EQ(qxPropListDerive(&child, middle, "child"), 0);
    ASSERT_EQ(qxPropListDerive(&grandchild, child, "grandchild"), 0);
    auto entryOf = [this](HOBJ list) { return (list & 0xFFFF0000u) | (exposure_ & 0xFFFFu); };
    ASSERT_EQ(setInt(entryOf(middle), 0, 2), 0);
    ASSERT_EQ(setInt(entryOf(child), 0, 3), 0);
    EXPECT_EQ(text(entryOf(grandchild)), "3");
    ASSERT_EQ(qxCompRestoreDefault(entryOf(middle), 1), 0);
    EXPECT_EQ(text(entryOf(middle)), "1");
    EXPECT_EQ(text(entryOf(child)), "1");
    EXPECT_EQ(text(entryOf(grandchild)), "1");
    ASSERT_EQ(qxPropListDelete(list_), 0);
    EXPECT_EQ(qxIsPropListValid(grandchild), 0);
}

} // namespace
