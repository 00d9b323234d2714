// tests/property/CProperty_test.cpp -- value storage of properties: creation defaults, reading (special
// values, cross-type reads, ranges), the store step and its equal-write rule, resizing with and without
// cfFixedSize, removal, comparison, counting, default values and clones sharing shared data.
#include "property/CProperty.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "PropertyTestSupport.h"
#include "property/CPropertyS.h"

namespace qx {
namespace {

using namespace test;

TEST(PropertyCreation, DefaultsDependOnTheValueType) {
    const std::pair<std::uint32_t, const char*> cases[] = {{QX_VT_INT32, "%d"},  {QX_VT_DOUBLE, "%f"},
                                                           {QX_VT_POINTER, "0x%p"}, {QX_VT_STRING, "%s"},
                                                           {QX_VT_INT64, "%lld"}, {7, ""}};
    for (const auto& [type, format] : cases) {
        auto p = make(type, 0);
        EXPECT_EQ(p->formatString(), format) << type;
        EXPECT_EQ(p->type(), 0x10000 + type);
        EXPECT_EQ(p->valCount(), 1u) << "a count of 0 gives one value";
        EXPECT_EQ(p->maxValCount(), 0xFFFFFFFFu);
        EXPECT_EQ(dynamic_cast<CPropertyS*>(p.get()) != nullptr, type == QX_VT_STRING);
    }
    EXPECT_EQ(CProperty::create(QX_VT_INT32, "P", nullptr, 1, rw, "%04x")->formatString(), "%04x");
    auto fixed = make(QX_VT_DOUBLE, 3, rw | QX_CF_FIXED_SIZE);
    EXPECT_EQ(fixed->maxValCount(), 3u);
    EXPECT_EQ(fixed->defaultValCount(), 3u);
    EXPECT_EQ(failureOf([] { make(QX_VT_DOUBLE, 1, rw | QX_CF_ALLOW_VALUE_COMBINATIONS); }),
              (Failure{PROPHANDLING_INVALID_PROP_VALUE_TYPE, "Property 'P' does not support this value type"}));
    EXPECT_EQ(make(QX_VT_INT64, 1, rw | QX_CF_ALLOW_VALUE_COMBINATIONS)->valCount(), 1u);
}

TEST(PropertyValues, EveryTypeKeepsItsSlotsWhole) {
    const std::uint64_t patterns[] = {0x80000000FFFFFFFEull, 0xC000000000000000ull /* -2.0 */,
                                      0xFEDCBA9876543210ull, 0, 0x8000000000000000ull};
    for (std::uint32_t type : {QX_VT_INT32, QX_VT_DOUBLE, QX_VT_POINTER, QX_VT_INT64}) {
        auto p = make(type, 2);
        CValBuffer in(type, 2);
        in[0].bits = patterns[type - 1];
        in[1].bits = 42;
        EXPECT_EQ(p->storeVals(rightsOrdinary, in, 0), 1);
        CValBuffer out(type, 1);
        p->getVal(out, 0);
        EXPECT_EQ(out[0].bits, patterns[type - 1]) << type;
        p->getVal(out, 1);
        EXPECT_EQ(out[0].bits, 42u);
    }
}

TEST(PropertyValues, IntegerWidthsMayReadEachOtherOthersMayNot) {
    LogCapture log;
    auto narrow = make(QX_VT_INT32);
    CValBuffer w(QX_VT_INT32, 1);
    w[0].bits = 0xAAAAAAAAFFFFFFFEull;
    narrow->storeVals(rightsOrdinary, w, 0);
    CValBuffer wide(QX_VT_INT64, 1);
    narrow->getVal(wide, 0);
    EXPECT_EQ(wide[0].bits, 0xAAAAAAAAFFFFFFFEull) << "copied whole, not sign-extended";
    EXPECT_TRUE(log.lines().empty());

    auto big = make(QX_VT_INT64);
    big->storeVals(rightsOrdinary, values<std::int64_t>(QX_VT_INT64, {0x100000005ll}), 0);
    CValBuffer small(QX_VT_INT32, 1);
    big->getVal(small, 0);
    big->getVal(small, 0);
    EXPECT_EQ(small[0].i32, 5);
    ASSERT_EQ(log.lines().size(), 2u) << "one warning per read";
    EXPECT_EQ(log.lines()[0].messageClass, Warning);
    EXPECT_EQ(log.lines()[0].text, "qx::CProperty::getVal: Reading P(64 bit integer) into a 32 bit storage location. "
                                   "This should be avoided as it might result in a loss of data.\n");

    EXPECT_EQ(failureOf([&] { make(QX_VT_DOUBLE)->getVal(small, 0); }).code, PROPHANDLING_INVALID_PROP_VALUE_TYPE);
    EXPECT_EQ(failureOf([&] { narrow->storeVals(rightsOrdinary, doubles({1.0}), 0); }).code,
              PROPHANDLING_INVALID_PROP_VALUE_TYPE);
}

TEST(PropertyValues, RangesAndSpecialValues) {
    auto p = make(QX_VT_INT32, 4);
    p->storeVals(rightsOrdinary, ints({10, 20, 30, 40}), 0);
    CValBuffer two(QX_VT_INT32, 2), three(QX_VT_INT32, 3), one(QX_VT_INT32, 1);
    p->getVal(two, 2);
    EXPECT_EQ(two[1].i32, 40);
    EXPECT_EQ(failureOf([&] { p->getVal(three, 2); }),
              (Failure{PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS, "Val ID range (2 - 4) out of bounds for 'P'"}));
    EXPECT_EQ(failureOf([&] { p->getVal(one, QX_LIM_MAXIMUM); }),
              (Failure{PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS, "Val index -1 is out of bounds for 'P'"}));

    auto& data = p->propertySharedData();
    EXPECT_TRUE(data.setLimit(QX_LIM_MAXIMUM, slot(100), p.get()));
    EXPECT_FALSE(data.setLimit(QX_LIM_MAXIMUM, slot(100), p.get()));
    EXPECT_TRUE(data.setLimit(QX_LIM_MINIMUM, slot(-3), p.get()));
    EXPECT_EQ(data.changeCount(), 2u);
    p->getVal(one, QX_LIM_MINIMUM);
    EXPECT_EQ(one[0].i32, -3);
    EXPECT_EQ(failureOf([&] { p->getVal(two, QX_LIM_STEP_WIDTH); }).message,
              "Val ID range (-3 - -2) out of bounds for 'P'");
}

TEST(PropertyStore, StoresNotifyThroughTheOwnerAndEqualWritesDoNot) {
    TestContainer list("L");
    auto p = make(QX_VT_INT32, 2, rw, "", &list);
    EXPECT_EQ(p->storeVals(rightsOrdinary, ints({1, 2}), 0), 1);
    EXPECT_EQ(p->changeCount(), 1u);
    EXPECT_EQ(p->valueChangeCount(), 0u);
    EXPECT_EQ(list.changeMethodCalls.size(), 1u);
    ASSERT_EQ(list.dependencySteps.size(), 1u);
    EXPECT_FALSE(list.dependencySteps[0].dependentsForced);

    EXPECT_EQ(p->storeVals(rightsOrdinary, ints({1, 2}), 0), 0);
    EXPECT_EQ(p->storeVals(rightsOrdinary, ints({2}), 1), 0);
    EXPECT_EQ(p->changeCount(), 1u);
    EXPECT_EQ(list.changeCount(), 1u);
    EXPECT_EQ(list.dependencySteps.size(), 1u);

    p->invalidate();
    EXPECT_TRUE(list.dependencySteps.back().dependentsForced);
    EXPECT_EQ(p->storeVals(rightsOrdinary, ints({2}), 1), 1) << "an invalid property takes equal values";
    EXPECT_EQ(p->storeVals(rightsOrdinary, ints({2}), 1), 0);

    auto forced = make(QX_VT_INT32, 1, rw | QX_CF_ALWAYS_FORCE_UPDATE);
    EXPECT_EQ(forced->storeVals(rightsOrdinary, ints({0}), 0), 1);
    EXPECT_EQ(forced->storeVals(rightsOrdinary, ints({0}), 0), 1);
}

TEST(PropertyStore, WritingPastTheEndGrowsWithZerosOrTheFirstDictionaryValue) {
    auto p = make(QX_VT_INT32, 3);
    p->storeVals(rightsOrdinary, ints({1, 2, 3}), 0);
    EXPECT_EQ(p->storeVals(rightsOrdinary, ints({9}), 5), 1);
    EXPECT_EQ(readInts(*p), (std::vector<std::int32_t>{1, 2, 3, 0, 0, 9}));

    auto named = make(QX_VT_INT32, 1);
    named->propertySharedData().appendEntry("seven", slot(7), named.get());
    named->storeVals(rightsOrdinary, ints({8}), 3);
    EXPECT_EQ(readInts(*named), (std::vector<std::int32_t>{0, 7, 7, 8}));
}

TEST(PropertyResize, FixedSizeNeedsForceOnlyInsideAList) {
    TestContainer list("L");
    auto inList = make(QX_VT_INT32, 2, rw | QX_CF_FIXED_SIZE, "", &list);
    const Failure fixed{PROPHANDLING_NO_MODIFY_SIZE_RIGHTS, "Component 'P' size is fixed and therefore can't be modified"};
    EXPECT_EQ(failureOf([&] { inList->setValCount(1, rightsOrdinary); }), fixed);
    EXPECT_EQ(failureOf([&] { inList->storeVals(rightsOrdinary, ints({1, 2, 3}), 0); }), fixed);
    EXPECT_EQ(failureOf([&] { inList->removeVal(0, rightsOrdinary); }), fixed);
    EXPECT_EQ(failureOf([&] { inList->setMaxValCount(1, rightsOrdinary); }), fixed);
    EXPECT_EQ(readInts(*inList), (std::vector<std::int32_t>{0, 0}));
    EXPECT_EQ(inList->maxValCount(), 2u);
    EXPECT_EQ(inList->changeCount(), 0u);
    inList->setValCount(4, rightsFull);
    EXPECT_EQ(inList->valCount(), 4u);
    EXPECT_EQ(failureOf([&] { inList->setValCount(5, rightsForce); }), fixed) << "past the maximum without 0x1";

    auto alone = make(QX_VT_INT32, 2, rw | QX_CF_FIXED_SIZE);
    alone->setValCount(1, rightsOrdinary);
    EXPECT_EQ(alone->valCount(), 1u);
    EXPECT_EQ(failureOf([&] { alone->setValCount(3, 0); }), fixed);
}

TEST(PropertyResize, CountsAndMaximumsReshapeTheValues) {
    auto p = make(QX_VT_INT32, 4);
    p->storeVals(rightsOrdinary, ints({1, 2, 3, 4}), 0);
    const auto changes = p->changeCount();
    p->setValCount(4, rightsOrdinary);
    EXPECT_EQ(p->changeCount(), changes);
    p->setMaxValCount(2, rightsOrdinary);
    EXPECT_EQ(readInts(*p), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(failureOf([&] { p->setValCount(3, 0); }).code, PROPHANDLING_NO_MODIFY_SIZE_RIGHTS);
    p->setValCount(1, 0);
    p->setValCount(2, 0); // the maximum itself needs no rights
    EXPECT_EQ(readInts(*p), (std::vector<std::int32_t>{1, 0}));
    EXPECT_EQ(failureOf([&] { p->setDefaultValCount(3); }).code, PROPHANDLING_INVALID_INPUT_PARAMETER);
    p->setMaxValCount(10, rightsOrdinary);
    p->setValCount(0, rightsOrdinary);
    EXPECT_EQ(readInts(*p), (std::vector<std::int32_t>{1}));
}

TEST(PropertyRemove, RemovalMovesValuesDownAndKeepsTheLastOne) {
    auto p = make(QX_VT_INT32, 3);
    p->storeVals(rightsOrdinary, ints({1, 2, 3}), 0);
    p->removeVal(1, rightsOrdinary);
    EXPECT_EQ(readInts(*p), (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(failureOf([&] { p->removeVal(2, rightsOrdinary); }),
              (Failure{PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS, "Val index 2 is out of bounds for 'P'"}));
    p->removeVal(1, rightsOrdinary);
    const auto changes = p->changeCount();
    p->removeVal(0, rightsOrdinary);
    EXPECT_EQ(readInts(*p), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(p->changeCount(), changes + 1) << "the last value stays, the removal is still notified";

    p->removeVal(QX_LIM_MAXIMUM, rightsOrdinary);
    EXPECT_EQ(p->changeCount(), changes + 1) << "no such special value: nothing notified";
    p->propertySharedData().setLimit(QX_LIM_MAXIMUM, slot(5), p.get());
    p->removeVal(QX_LIM_MAXIMUM, rightsOrdinary);
    EXPECT_EQ(p->propertySharedData().limit(QX_LIM_MAXIMUM), nullptr);
    EXPECT_EQ(p->changeCount(), changes + 2);
}

TEST(PropertyCompare, OrdersByTheFirstDifferenceInTheTypesOwnTerms) {
    auto p = make(QX_VT_INT32, 3);
    p->storeVals(rightsOrdinary, ints({1, -5, 7}), 0);
    EXPECT_EQ(p->valCmp(ints({-5, 7}), 1), 0);
    EXPECT_EQ(p->valCmp(ints({1, -4, 0}), 0), -1) << "stored -5 is smaller than -4";
    EXPECT_EQ(p->valCmp(ints({1, -6, 100}), 0), 1);
    EXPECT_EQ(p->valCmp(ints({7, 7}), 2), -1) << "past the end";
    EXPECT_EQ(p->valCmp(doubles({1}), 0), -1) << "another type";

    auto d = make(QX_VT_DOUBLE);
    d->storeVals(rightsOrdinary, doubles({0.0}), 0);
    EXPECT_EQ(d->valCmp(doubles({-0.0}), 0), 0);
    EXPECT_EQ(d->valCmp(doubles({std::nan("")}), 0), 1);
    d->storeVals(rightsOrdinary, doubles({std::nan("")}), 0);
    EXPECT_EQ(d->storeVals(rightsOrdinary, doubles({std::nan("")}), 0), 1) << "NaN over NaN is a change";

    auto ptr = make(QX_VT_POINTER);
    CValBuffer high(QX_VT_POINTER, 1);
    high[0].bits = 0x8000000000000000ull;
    ptr->storeVals(rightsOrdinary, high, 0);
    EXPECT_EQ(ptr->valCmp(values<std::int64_t>(QX_VT_POINTER, {1}), 0), 1) << "pointers are unsigned";
    auto i64 = make(QX_VT_INT64);
    i64->storeVals(rightsOrdinary, values<std::int64_t>(QX_VT_INT64, {std::numeric_limits<std::int64_t>::min()}), 0);
    EXPECT_EQ(i64->valCmp(values<std::int64_t>(QX_VT_INT64, {1}), 0), -1) << "Int64 is signed";
}

TEST(PropertyCount, CountsValuesAndDictionaryEntriesAndLogsOtherQueries) {
    LogCapture log;
    auto p = make(QX_VT_INT32, 4);
    p->propertySharedData().appendEntry("a", slot(1), p.get());
    EXPECT_EQ(p->valCnt(0), 4u);
    EXPECT_EQ(p->valCnt(1), 1u);
    EXPECT_EQ(p->valCnt(7), 0u);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].messageClass, Error);
    EXPECT_EQ(log.lines()[0].text, "qx::CProperty::valCnt: ERROR!!! Unrecognized query: 7.\n");
}

TEST(PropertyDefault, RestoreNeedsForceCloneAndBringsBackCountAndValue) {
    auto plain = make(QX_VT_INT32);
    plain->setDefaultMarker(1);
    EXPECT_TRUE(plain->isDefault());
    EXPECT_EQ(failureOf([&] { plain->restoreDefault(rightsFull); }),
              (Failure{PROPHANDLING_UNSUPPORTED_OPERATION, "The component 'P' does not support this operation"}));

    auto p = make(QX_VT_INT32, 2, rw | QX_CF_ALWAYS_FORCE_CLONE);
    EXPECT_TRUE(p->isDefault()) << "without limDefault the count decides";
    p->storeVals(rightsOrdinary, ints({5, 6, 7}), 0);
    EXPECT_FALSE(p->isDefault());
    p->propertySharedData().setLimit(QX_LIM_DEFAULT, slot(3), p.get());
    p->restoreDefault(rightsFull);
    EXPECT_EQ(readInts(*p), (std::vector<std::int32_t>{3, 3}));
    EXPECT_TRUE(p->isDefault());

    auto d = make(QX_VT_DOUBLE, 1, rw | QX_CF_ALWAYS_FORCE_CLONE);
    d->propertySharedData().setLimit(QX_LIM_DEFAULT, slot(-2.0), d.get());
    d->restoreDefault(rightsFull);
    EXPECT_EQ(d->slots()[0].dbl, 2.2250738585072014e-308) << "an absent minimum is the smallest positive double";
    d->propertySharedData().setLimit(QX_LIM_DEFAULT, slot(50.0), d.get());
    d->propertySharedData().setLimit(QX_LIM_MAXIMUM, slot(10.0), d.get());
    d->restoreDefault(rightsFull);
    EXPECT_EQ(d->slots()[0].dbl, 10.0);
}

TEST(PropertyClone, SharingCloneSeesButCannotChangeTheOriginalsLimitsOrDictionary) {
    TestContainer derived("Derived");
    auto original = make(QX_VT_INT32, 2);
    original->storeVals(rightsOrdinary, ints({4, 5}), 0);
    original->propertySharedData().setLimit(QX_LIM_MAXIMUM, slot(10), original.get());
    original->propertySharedData().appendEntry("four", slot(4), original.get());

    auto cloneBase = original->clone(&derived, nullptr, CloneMode::ShareData);
    auto& clone = static_cast<CProperty&>(*cloneBase);
    EXPECT_EQ(readInts(clone), (std::vector<std::int32_t>{4, 5}));
    auto& shared = clone.propertySharedData();
    const Failure noRights{PROPHANDLING_NO_WRITE_RIGHTS, "No write rights for component 'P'"};
    EXPECT_EQ(failureOf([&] { shared.setLimit(QX_LIM_MAXIMUM, slot(99), &clone); }), noRights);
    EXPECT_EQ(failureOf([&] { clone.removeVal(QX_LIM_MAXIMUM, rightsFull); }), noRights);
    EXPECT_EQ(failureOf([&] { shared.appendEntry("five", slot(5), &clone); }), noRights);
    EXPECT_EQ(failureOf([&] { shared.eraseEntry(0, &clone); }), noRights);
    EXPECT_EQ(failureOf([&] { shared.removeDictionary(&clone); }), noRights);
    EXPECT_EQ(original->propertySharedData().limit(QX_LIM_MAXIMUM)->i32, 10);
    EXPECT_EQ(original->valCnt(1), 1u);

    // The original's later limits show through; the values are the clone's own.
    original->propertySharedData().setLimit(QX_LIM_MINIMUM, slot(1), original.get());
    EXPECT_EQ(clone.propertySharedData().limit(QX_LIM_MINIMUM)->i32, 1);
    clone.storeVals(rightsOrdinary, ints({9}), 0);
    EXPECT_EQ(readInts(*original), (std::vector<std::int32_t>{4, 5}));
}

TEST(PropertyClone, CopyingCloneOwnsIndependentLimitsAndDictionary) {
    auto original = make(QX_VT_INT32, 1);
    original->propertySharedData().setLimit(QX_LIM_MAXIMUM, slot(10), original.get());
    original->propertySharedData().appendEntry("one", slot(1), original.get());

    auto cloneBase = original->clone(nullptr, nullptr, CloneMode::CopyData);
    auto& clone = static_cast<CProperty&>(*cloneBase);
    auto& copy = clone.propertySharedData();
    EXPECT_TRUE(copy.setLimit(QX_LIM_MAXIMUM, slot(99), &clone));
    copy.appendEntry("two", slot(2), &clone);
    EXPECT_EQ(original->propertySharedData().limit(QX_LIM_MAXIMUM)->i32, 10);
    EXPECT_EQ(original->valCnt(1), 1u);
    EXPECT_EQ(clone.valCnt(1), 2u);
}

} // namespace
} // namespace qx
