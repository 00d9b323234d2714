// tests/property/CPropertyValues_test.cpp -- checked writes and values as text: step snapping and limit
// refusals with their exact messages, special-value writes that reshape stored values, texts written to
// numeric properties, dictionaries (renaming, first entry, removal), combination properties, validation
// without storing, and valueTextAt/arrayText with names, special values and delimiters.
#include <gtest/gtest.h>

#include "PropertyTestSupport.h"
#include "component/Vocabulary.h"

namespace qx {
namespace {

using namespace test;

std::int32_t writeAndRead(CProperty& p, std::int32_t v) {
    p.writeVals(rightsOrdinary, ints({v}), 0);
    return readInts(p)[0];
}
using I = std::vector<std::int32_t>;

// An Int32 property limited to [10, 100] with step 5, as a caller would set it up.
std::unique_ptr<CProperty> limited(bool withStep = true) {
    auto p = make(QX_VT_INT32);
    p->writeVals(rightsOrdinary, ints({100}), QX_LIM_MAXIMUM);
    p->writeVals(rightsOrdinary, ints({10}), QX_LIM_MINIMUM);
    if (withStep) p->writeVals(rightsOrdinary, ints({5}), QX_LIM_STEP_WIDTH);
    return p;
}

TEST(WriteVals, LimitMessagesNameThePositionInTheWrittenBuffer) {
    EXPECT_EQ(writeAndRead(*limited(), 7), 15) << "below the minimum, rounding up counts one step from it";
    auto p = limited(false);
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, ints({5, 500}), 3); }).code, PROPHANDLING_PROP_VAL_TOO_LARGE)
        << "every value is checked against the maximum before any against the minimum";
    EXPECT_EQ(p->valCount(), 1u);

    auto d = make(QX_VT_DOUBLE);
    d->writeVals(rightsOrdinary, doubles({1.5}), QX_LIM_MAXIMUM);
    EXPECT_EQ(failureOf([&] { d->writeVals(rightsOrdinary, doubles({0.0, 2.25}), 0); }).message,
              "The assigned value at index 1(2.250000) is higher than the max. value(1.500000) for property P");
    auto l = make(QX_VT_INT64);
    l->writeVals(rightsOrdinary, int64s({-5000000000LL}), QX_LIM_MINIMUM);
    EXPECT_EQ(failureOf([&] { l->writeVals(rightsOrdinary, int64s({-6000000000LL}), 0); }).message,
              "The assigned value at index 0(-6000000000) is smaller than the min. value(-5000000000) for property P");
}

TEST(WriteVals, NegativeValuesSnapTowardsZeroWithoutAMinimum) {
    auto p = make(QX_VT_INT32);
    p->writeVals(rightsOrdinary, ints({5}), QX_LIM_STEP_WIDTH);
    EXPECT_EQ(writeAndRead(*p, -7), -5);
    EXPECT_EQ(writeAndRead(*p, -8), -5) << "the remainder -3 is below 5 / 2";
    EXPECT_EQ(writeAndRead(*p, -2), 0);
    EXPECT_EQ(writeAndRead(*p, 8), 10);
    EXPECT_EQ(writeAndRead(*p, -10), -10);
    EXPECT_EQ(writeAndRead(*p, INT32_MIN), INT32_MIN + 3) << "rounding never overflows the type";
}

TEST(WriteVals, DoublesSnapWithFmod) {
    auto p = make(QX_VT_DOUBLE);
    p->writeVals(rightsOrdinary, doubles({0.5}), QX_LIM_STEP_WIDTH);
    p->writeVals(rightsOrdinary, doubles({1.3, 1.2, -1.3, 2.0}), 0);
    EXPECT_EQ(readDoubles(*p), (std::vector<double>{1.5, 1.0, -1.0, 2.0}));
    p->writeVals(rightsOrdinary, doubles({0.25}), QX_LIM_MINIMUM);
    p->writeVals(rightsOrdinary, doubles({1.3}), 0);
    EXPECT_EQ(readDoubles(*p)[0], 1.25) << "with a minimum the steps count from it";
    p->writeVals(rightsOrdinary, doubles({1.4}), QX_LIM_MAXIMUM);
    p->writeVals(rightsOrdinary, doubles({1.2}), 0);
    EXPECT_EQ(readDoubles(*p)[0], 1.4) << "rounding up within one step of the maximum gives the maximum";
    p->writeVals(rightsOrdinary, doubles({1.53}), 0);
    EXPECT_EQ(readDoubles(*p)[0], 1.25) << "above the maximum it rounds down";
}

TEST(WriteVals, Int64StepsAndLimitsUseAllSixtyFourBits) {
    auto p = make(QX_VT_INT64);
    p->writeVals(rightsOrdinary, int64s({1000000000000LL}), QX_LIM_STEP_WIDTH);
    p->writeVals(rightsOrdinary, int64s({2600000000000LL}), 0);
    CValBuffer b(QX_VT_INT64, 1);
    p->getVal(b, 0);
    EXPECT_EQ(b[0].i64, 3000000000000LL);
}

TEST(WriteVals, TextsAreParsedIntoValuesOfThePropertyType) {
    auto p = make(QX_VT_INT32, 1);
    EXPECT_EQ(p->writeVals(rightsOrdinary, texts({"0x1F", "017"}), 1), 1);
    EXPECT_EQ(readInts(*p), (I{0, 31, 15}));
    EXPECT_EQ(p->writeVals(rightsOrdinary, texts({"abc"}), 0), 0) << "a text without numbers writes nothing";
    EXPECT_EQ(readInts(*p), (I{0, 31, 15}));

    auto hex = make(QX_VT_INT64, 1, rw, "%llx");
    hex->writeVals(rightsOrdinary, texts({"ff"}), 0);
    auto dec = make(QX_VT_INT64);
    dec->writeVals(rightsOrdinary, texts({"ff"}), 0);
    CValBuffer b(QX_VT_INT64, 1);
    hex->getVal(b, 0);
    EXPECT_EQ(b[0].i64, 255);
    dec->getVal(b, 0);
    EXPECT_EQ(b[0].i64, 0);

    auto limitedText = limited();
    EXPECT_EQ(failureOf([&] { limitedText->writeVals(rightsOrdinary, texts({"50 1000"}), 0); }).message,
              "The assigned value at index 1(1000) is higher than the max. value(100) for property P")
        << "parsed values are snapped and checked like any others";
}

TEST(WriteVals, OtherTypesAreRefusedExceptByStringProperties) {
    auto p = make(QX_VT_INT32);
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, doubles({1.0}), 0); }).code,
              PROPHANDLING_INVALID_PROP_VALUE_TYPE);
    EXPECT_EQ(failureOf([&] { p->validateVals(int64s({1})); }).code, PROPHANDLING_INVALID_PROP_VALUE_TYPE);
    auto s = make(QX_VT_STRING, 1);
    EXPECT_EQ(s->writeVals(rightsOrdinary, doubles({1.5, -2.0}), 0), 1);
    EXPECT_EQ(s->valueTextAt(nullptr, 0), "1.500000");
    EXPECT_EQ(s->valueTextAt(nullptr, 1), "-2.000000");
    EXPECT_EQ(s->writeVals(rightsOrdinary, int64s({-7}), 1), 1);
    EXPECT_EQ(s->arrayText(nullptr, ",", 0, 0x7FFFFFFF, 0), "1.500000,-7");
    EXPECT_TRUE(s->validateVals(ints({3})));
}

TEST(SpecialValues, WritingALimitReshapesTheStoredValues) {
    auto p = make(QX_VT_INT32, 3);
    p->writeVals(rightsOrdinary, ints({20, -4, 7}), 0);
    p->writeVals(rightsOrdinary, ints({0}), QX_LIM_MINIMUM);
    EXPECT_EQ(readInts(*p), (I{20, 0, 7}));
    p->writeVals(rightsOrdinary, ints({15}), QX_LIM_MAXIMUM);
    EXPECT_EQ(readInts(*p), (I{15, 0, 7}));
    p->writeVals(rightsOrdinary, ints({4}), QX_LIM_STEP_WIDTH);
    EXPECT_EQ(readInts(*p), (I{15, 0, 8})) << "15 would round up to 16, past the maximum, so it stays at it";
    p->writeVals(rightsOrdinary, ints({50}), QX_LIM_MINIMUM);
    EXPECT_EQ(readInts(*p), (I{50, 50, 50}));
}

TEST(SpecialValues, RemovingALimitLeavesValuesAndLiftsTheCheck) {
    auto p = limited();
    p->writeVals(rightsOrdinary, ints({40}), 0);
    EXPECT_TRUE(p->removeLimit(QX_LIM_MAXIMUM));
    EXPECT_FALSE(p->removeLimit(QX_LIM_MAXIMUM));
    EXPECT_EQ(readInts(*p), I{40});
    EXPECT_EQ(writeAndRead(*p, 1001), 1000) << "still on the step, no longer capped";
    p->removeVal(QX_LIM_STEP_WIDTH, rightsOrdinary);
    EXPECT_EQ(writeAndRead(*p, 1002), 1002);
    EXPECT_FALSE(p->hasSpecialValue(QX_LIM_STEP_WIDTH));
    EXPECT_TRUE(p->hasSpecialValue(QX_LIM_MINIMUM));
}

TEST(SpecialValues, RefusalsByTypeAndValue) {
    auto p = make(QX_VT_INT32);
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, ints({}), QX_LIM_MAXIMUM); }),
              (Failure{PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS,
                       "The source buffer to receive the value at index -1 has a size of 0"}));
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, texts({"5"}), QX_LIM_MAXIMUM); }).code,
              PROPHANDLING_UNSUPPORTED_OPERATION)
        << "texts name special values only through a dictionary";
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, doubles({5}), QX_LIM_MAXIMUM); }).code,
              PROPHANDLING_INVALID_PROP_VALUE_TYPE);
    auto ptr = make(QX_VT_POINTER);
    CValBuffer pv(QX_VT_POINTER, 1);
    EXPECT_EQ(failureOf([&] { ptr->writeVals(rightsOrdinary, pv, QX_LIM_MAXIMUM); }).code,
              PROPHANDLING_UNSUPPORTED_OPERATION);
    EXPECT_EQ(failureOf([&] { ptr->writeVals(rightsOrdinary, pv, QX_LIM_DEFAULT); }).code,
              PROPHANDLING_INVALID_PROP_VALUE_TYPE);
    auto s = make(QX_VT_STRING, 1, rw | QX_CF_CONTAINS_BINARY_DATA);
    EXPECT_EQ(s->writeVals(rightsOrdinary, ints({8}), QX_LIM_BINARY_SIZE_MAX), 1);
    EXPECT_EQ(s->valueTextAt(nullptr, QX_LIM_BINARY_SIZE_MAX), "8") << "a byte count, never read as a text";
    EXPECT_EQ(failureOf([&] { s->writeVals(rightsOrdinary, texts({"8"}), QX_LIM_BINARY_SIZE_MAX); }).code,
              PROPHANDLING_INVALID_PROP_VALUE_TYPE);
}

TEST(SpecialValues, OnlyTheOwnerOfSharedDataChangesLimits) {
    auto p = make(QX_VT_INT32);
    auto clone = p->clone(nullptr, nullptr, CloneMode::ShareData);
    auto& sharing = static_cast<CProperty&>(*clone);
    const auto f = failureOf([&] { sharing.writeVals(rightsOrdinary, ints({9}), QX_LIM_MAXIMUM); });
    EXPECT_EQ(f.code, PROPHANDLING_NO_WRITE_RIGHTS);
    EXPECT_FALSE(p->hasSpecialValue(QX_LIM_MAXIMUM));
    p->writeVals(rightsOrdinary, ints({9}), QX_LIM_MAXIMUM);
    EXPECT_EQ(failureOf([&] { sharing.writeVals(rightsOrdinary, ints({10}), 0); }).code, PROPHANDLING_PROP_VAL_TOO_LARGE)
        << "the clone is judged by the shared limits";
    EXPECT_EQ(failureOf([&] { sharing.registerEntry("A", slot64(1)); }).code,
              PROPHANDLING_NO_WRITE_RIGHTS);
}

TEST(Dictionary, RegistrationRenamesAndRevalues) {
    auto p = make(QX_VT_INT32, 2);
    p->writeVals(rightsOrdinary, ints({5, 6}), 0);
    p->registerEntry("N1", slot64(1));
    EXPECT_EQ(readInts(*p), (I{1, 1})) << "the first entry becomes every stored value";
    p->registerEntry("N2", slot64(1));
    EXPECT_EQ(p->valCnt(1), 1u) << "a known value under a new name renames its entry";
    p->registerEntry("Two", slot64(2));
    p->registerEntry("N2", slot64(3));
    CValBuffer names(QX_VT_STRING, 2), values(QX_VT_INT32, 2);
    p->getTranslationTable(names, values);
    EXPECT_STREQ(names[0].str, "N2");
    EXPECT_EQ(values[0].i32, 3);
    EXPECT_STREQ(names[1].str, "Two");
    EXPECT_EQ(values[1].i32, 2);
    CallParam name{}, value{};
    p->dictionaryEntry(1, name, value);
    EXPECT_STREQ(name.value.str, "Two");
    EXPECT_EQ(value.type, static_cast<std::uint32_t>(QX_PT_INT32));
    EXPECT_EQ(value.value.i32, 2);
}

TEST(Dictionary, EntriesObeyTheLimitsAndGuardWrites) {
    auto p = limited();
    EXPECT_EQ(failureOf([&] { p->registerEntry("Huge", slot64(1000)); }).code,
              PROPHANDLING_PROP_VAL_TOO_LARGE);
    EXPECT_EQ(p->valCnt(1), 0u);
    EXPECT_FALSE(p->propertySharedData().hasDictionary()) << "a refused first entry leaves no dictionary";
    p->writeVals(rightsOrdinary, ints({50}), QX_LIM_DEFAULT);
    p->registerEntry("Low", slot64(20));
    p->registerEntry("High", slot64(80));
    CValBuffer def(QX_VT_INT32, 1);
    p->getVal(def, QX_LIM_DEFAULT);
    EXPECT_EQ(def[0].i32, 20) << "the first entry also becomes the default";
    EXPECT_EQ(p->writeVals(rightsOrdinary, texts({"High"}), 0), 1);
    EXPECT_EQ(readInts(*p), I{80});
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, texts({"Mid"}), 0); }),
              (Failure{PROPHANDLING_INVALID_PROP_VALUE, "Invalid value for property 'P'(Mid)"}));
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, ints({50}), 0); }),
              (Failure{PROPHANDLING_INVALID_PROP_VALUE, "Invalid value for property 'P'(50)"}));
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, ints({30}), QX_LIM_DEFAULT); }),
              (Failure{PROPHANDLING_INVALID_PROP_VALUE, "Invalid value for property 'P'(30)"}));
    EXPECT_EQ(p->writeVals(rightsOrdinary, texts({"High"}), QX_LIM_DEFAULT), 1);
    EXPECT_TRUE(p->validateVals(ints({20, 80})));
    EXPECT_FALSE(p->validateVals(ints({20, 21})));
    EXPECT_FALSE(p->validateVals(texts({"High", "high"}))) << "names are case-sensitive";

    p->removeEntry("High");
    EXPECT_EQ(p->valCnt(1), 1u);
    EXPECT_EQ(readInts(*p), I{80}) << "removing an entry leaves the stored values";
    p->removeDictionary();
    EXPECT_EQ(writeAndRead(*p, 41), 40) << "without a dictionary, snapping and limits judge again";
}

// Entries A = 1, B = 2, C = 8 on a combination property.
std::unique_ptr<CProperty> combination(std::uint32_t type = QX_VT_INT32) {
    auto p = make(type, 1, rw | QX_CF_ALLOW_VALUE_COMBINATIONS);
    p->registerEntry("A", slot64(1));
    p->registerEntry("B", slot64(2));
    p->registerEntry("C", slot64(8));
    return p;
}

TEST(Combinations, NamesJoinIntoBitSets) {
    auto p = combination();
    CValBuffer max(QX_VT_INT32, 1);
    p->getVal(max, QX_LIM_MAXIMUM);
    EXPECT_EQ(max[0].i32, 11) << "the maximum is the union of the entries";
    p->writeVals(rightsOrdinary, texts({"B"}), 0);
    p->writeVals(rightsOrdinary, texts({" \"A\"  C| "}), 0);
    EXPECT_EQ(readInts(*p), I{9});
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, texts({"A D"}), 0); }),
              (Failure{PROPHANDLING_INVALID_PROP_VALUE, "Invalid value for property 'P'(D)"}));
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, texts({" | "}), 0); }).code, PROPHANDLING_INVALID_PROP_VALUE);
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, ints({4}), 0); }),
              (Failure{PROPHANDLING_INVALID_PROP_VALUE, "Invalid value for property 'P'(4)"}));
    EXPECT_EQ(p->writeVals(rightsOrdinary, ints({10}), 0), 1);
    EXPECT_TRUE(p->validateVals(ints({11})));
    EXPECT_FALSE(p->validateVals(ints({12})));
    EXPECT_FALSE(p->validateVals(texts({"A C"}))) << "validation does not split texts";
    EXPECT_TRUE(p->validateVals(texts({"C"})));
}

TEST(Combinations, WithoutAMaximumTheEntriesDecide) {
    auto p = combination(QX_VT_INT64);
    EXPECT_TRUE(p->removeLimit(QX_LIM_MAXIMUM));
    EXPECT_EQ(p->writeVals(rightsOrdinary, int64s({9}), 0), 1);
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, int64s({16}), 0); }).code, PROPHANDLING_INVALID_PROP_VALUE);
}

TEST(ValueText, CombinationValuesReadAsNames) {
    auto p = combination();
    p->writeVals(rightsOrdinary, ints({9}), 0);
    EXPECT_EQ(p->valueTextAt("[%s]", 0), "[A][C]") << "a caller's format keeps its last character";
    EXPECT_EQ(p->arrayText("%s=%d,", nullptr, 0, 0, 0), "A=1,C=8");
    EXPECT_EQ(p->arrayText(nullptr, nullptr, 0, 0, QX_AT_RAW_VALUES), "9");
    p->writeVals(rightsOrdinary, ints({11}), 0);
    EXPECT_EQ(p->valueTextAt(nullptr, 0), "A B C");
    p->writeVals(rightsOrdinary, ints({0}), 0);
    EXPECT_EQ(p->valueTextAt(nullptr, 0), "") << "no entry holds 0";
    p->registerEntry("None", slot64(0));
    EXPECT_EQ(p->valueTextAt(nullptr, 0), "None");
    EXPECT_EQ(failureOf([&] { p->arrayText("%d", nullptr, 0, 0, 0); }).code, PROPHANDLING_INVALID_INPUT_PARAMETER)
        << "the combination form passes a name first";
}

TEST(ValueText, ArraysPutSpecialValuesFirst) {
    auto p = make(QX_VT_INT32, 3);
    p->writeVals(rightsOrdinary, ints({1, 2, 3}), 0);
    EXPECT_EQ(p->arrayText(nullptr, nullptr, 0, 0x7FFFFFFF, 0), "1 2 3");
    EXPECT_EQ(p->arrayText("%03d", ", ", 1, 2, 0), "002, 003");
    EXPECT_EQ(failureOf([&] { p->arrayText(nullptr, nullptr, -1, 0, 0); }),
              (Failure{PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS, "Val ID range (-1 - 0) out of bounds for 'P'"}));
    p->writeVals(rightsOrdinary, ints({10}), QX_LIM_MAXIMUM);
    EXPECT_EQ(p->arrayText(nullptr, nullptr, -1, 0, 0), "10 1");
    p->writeVals(rightsOrdinary, ints({0}), QX_LIM_MINIMUM);
    EXPECT_EQ(p->arrayText(nullptr, ";", -2, -1, 0), "0;10;") << "each special value is followed by the delimiter";
    EXPECT_EQ(failureOf([&] { p->arrayText(nullptr, nullptr, -3, 1, 0); }).code, PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS)
        << "no step width is set";
    EXPECT_EQ(failureOf([&] { p->arrayText(nullptr, nullptr, 0, 3, 0); }).message,
              "Val ID range (0 - 3) out of bounds for 'P'");
    EXPECT_EQ(failureOf([&] { p->arrayText(nullptr, nullptr, -6, 0, 0); }).code, PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS);
    EXPECT_EQ(failureOf([&] { p->arrayText(nullptr, nullptr, 2, 1, 0); }).code, PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(failureOf([&] { p->arrayText("%s", nullptr, 0, 1, 0); }).code, PROPHANDLING_INVALID_INPUT_PARAMETER);
}

TEST(ValueText, DictionaryNamesAndTheirFormats) {
    auto p = make(QX_VT_DOUBLE, 2, rw, "%.1f");
    p->registerEntry("Half", slot(0.5));
    p->registerEntry("One", slot(1.0));
    p->writeVals(rightsOrdinary, texts({"Half", "One"}), 0);
    EXPECT_EQ(p->valueTextAt(nullptr, 1), "One");
    EXPECT_EQ(p->valueTextAt("<%s>", 0), "<Half>");
    EXPECT_EQ(p->arrayText(nullptr, "/", 0, 1, 0), "Half/One");
    EXPECT_EQ(p->arrayText(nullptr, "/", 0, 1, QX_AT_RAW_VALUES), "0.5/1.0") << "raw mode uses the property's format";
    EXPECT_EQ(failureOf([&] { p->valueTextAt("%f", 0); }).code, PROPHANDLING_INVALID_INPUT_PARAMETER)
        << "with a dictionary the caller's format is applied to a name";
    EXPECT_EQ(p->valueTextAt("", 0), "Half") << "an empty format counts as none";
    EXPECT_EQ(failureOf([&] { p->valueTextAt(nullptr, 2); }),
              (Failure{PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS, "Val index 2 is out of bounds for 'P'"}));
    EXPECT_EQ(failureOf([&] { p->valueTextAt(nullptr, QX_LIM_DEFAULT); }).code, PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS);
    p->writeVals(rightsOrdinary, texts({"One"}), QX_LIM_DEFAULT);
    EXPECT_EQ(p->valueTextAt(nullptr, QX_LIM_DEFAULT), "1.0") << "special values are numbers, never names";
    EXPECT_EQ(p->valueTextAt("%.3e", QX_LIM_DEFAULT), "1.000e+00");
}

TEST(ValueText, CompareValuesAgainstAnotherProperty) {
    auto a = make(QX_VT_INT32, 2);
    auto b = make(QX_VT_INT32, 2);
    a->writeVals(rightsOrdinary, ints({1, 2}), 0);
    b->writeVals(rightsOrdinary, ints({1, 3}), 0);
    EXPECT_EQ(a->compareValues(*b), -1);
    EXPECT_EQ(b->compareValues(*a), 1);
    b->writeVals(rightsOrdinary, ints({2}), 1);
    EXPECT_EQ(a->compareValues(*b), 0);
}

TEST(WriteVals, NotifiesOnlyRealChanges) {
    TestContainer list("L");
    auto p = CProperty::create(QX_VT_INT32, "P", &list, 1, rw, "");
    p->writeVals(rightsOrdinary, ints({5}), QX_LIM_STEP_WIDTH);
    const auto before = list.dependencySteps.size();
    EXPECT_EQ(p->writeVals(rightsOrdinary, ints({11}), 0), 1);
    EXPECT_EQ(p->writeVals(rightsOrdinary, ints({9}), 0), 0) << "9 snaps to the 10 already stored";
    EXPECT_EQ(list.dependencySteps.size(), before + 1);
    EXPECT_EQ(p->writeVals(rightsOrdinary, ints({5}), QX_LIM_STEP_WIDTH), 0) << "an equal limit is no change";
    EXPECT_EQ(list.dependencySteps.size(), before + 1);
}

} // namespace
} // namespace qx
