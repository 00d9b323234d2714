// Feature selection through the C interface: recording who selects whom, and reading both directions.
#include <gtest/gtest.h>

#include "ListTestSupport.h"

using namespace qxtest;

namespace {

struct Three : ::testing::Test {
    HOBJ list = createList("features");
    HOBJ s = addProp(list, "s");
    HOBJ a = addProp(list, "a");
    HOBJ b = addProp(list, "b");
    HOBJ c = addProp(list, "c");
};

TEST_F(Three, SelectionsReadBackFromAnyStartInBothDirections) {
    ASSERT_EQ(qxCompAddSelectedFeature(s, a, 1), 0);
    ASSERT_EQ(qxCompAddSelectedFeature(s, b, 1), 0);
    ASSERT_EQ(qxCompAddSelectingFeature(c, s, 1), 0); // c is selected by s
    HOBJ got[10] = {};
    size_t count = 10;
    ASSERT_EQ(qxCompGetSelectedFeatures(s, 1, got, &count), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(got[0], b);
    EXPECT_EQ(got[1], c);
    EXPECT_EQ(got[2], 0u);
    count = 0;
    ASSERT_EQ(qxCompGetSelectedFeatures(s, 0, nullptr, &count), 0);
    EXPECT_EQ(count, 3u);
    HOBJ two[3] = {0, 0, 0x5A5A5A5A};
    count = 2; // room for two: the third handle is not written, and the count says how many there are
    ASSERT_EQ(qxCompGetSelectedFeatures(s, 0, two, &count), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(two[1], b);
    EXPECT_EQ(two[2], 0x5A5A5A5Au);
    count = 10;
    ASSERT_EQ(qxCompGetSelectingFeatures(c, 0, got, &count), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(got[0], s);
}

TEST_F(Three, AddingNeedsFullRightsAndIsRecordedOnce) {
    EXPECT_EQ(qxCompAddSelectedFeature(s, a, 0), PROPHANDLING_NO_WRITE_RIGHTS);
    EXPECT_EQ(lastError().text, "No write rights for component 's'");
    ASSERT_EQ(qxCompAddSelectedFeature(s, a, 1), 0);
    EXPECT_EQ(qxCompAddSelectedFeature(s, a, 1), PROPHANDLING_COMPONENT_ALREADY_REGISTERED);
    EXPECT_EQ(lastError().text, "A component with the name 'a' is already registered in this list");
    size_t count = 0;
    ASSERT_EQ(qxCompGetSelectingFeatures(a, 0, nullptr, &count), 0);
    EXPECT_EQ(count, 1u);
}

TEST_F(Three, ComponentsOfDifferentListsCannotSelectEachOther) {
    const HOBJ other = addProp(createList("other"), "o");
    EXPECT_EQ(qxCompAddSelectedFeature(s, other, 1), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(lastError().text, "A component can only select features having the same owner! 's' is owned by "
                                "'features' while the feature it shall select('o') is owned by 'other'");
    const HOBJ sub = addSubList(list, "sub"); // a list in an entry; its parent list "features" owns it
    EXPECT_EQ(qxCompAddSelectedFeature(sub, s, 1), 0);
}

TEST_F(Three, ReadingChecksItsArguments) {
    HOBJ got[2] = {};
    size_t count = 2;
    EXPECT_EQ(qxCompGetSelectedFeatures(s, 0, got, nullptr), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(lastError().text, "Invalid input parameters: 'pFeatureCount' is invalid");
    EXPECT_EQ(qxCompGetSelectedFeatures(s, -1, got, &count), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(lastError().text, "Invalid input parameters: 'index' must not be smaller than 0(is: -1)");
    ASSERT_EQ(qxCompGetSelectedFeatures(s, -1, nullptr, &count), 0);
    EXPECT_EQ(count, 0u);
    count = 2;
    ASSERT_EQ(qxCompGetSelectedFeatures(s, 5, got, &count), 0) << "an empty sequence copies nothing";
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(qxCompAddSelectedFeature(s, a, 1), 0);
    count = 2;
    EXPECT_EQ(qxCompGetSelectedFeatures(s, 1, got, &count), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(lastError().text, "Invalid input parameters: 'index' must not be greater of equal then the number of "
                                "selected features(is: 1, max: 0)");
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(qxCompGetSelectedFeatures(0x00020009, 0, got, &count), PROPHANDLING_COMPONENT_ID_INVALID);
}

TEST_F(Three, ADerivedListSeesTheSameRelationUnderItsOwnId) {
    ASSERT_EQ(qxCompAddSelectedFeature(s, b, 1), 0);
    HOBJ derived = 0;
    ASSERT_EQ(qxPropListDerive(&derived, list, "d"), 0);
    HOBJ got[1] = {};
    size_t count = 1;
    ASSERT_EQ(qxCompGetSelectedFeatures((derived & 0xFFFF0000u) | (s & 0xFFFF), 0, got, &count), 0);
    EXPECT_EQ(got[0], (derived & 0xFFFF0000u) | (b & 0xFFFF));
}

} // namespace
