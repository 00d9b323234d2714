// Lists through the C interface: IDs and handles, registration, lookup, removal, deletion and moving entries.
// Every test is a fresh process, so the first list a test creates has ID 2.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ListTestSupport.h"

using namespace qxtest;

namespace {

TEST(ListIds, FirstListOfAProcessIs2AndValidityFollowsItsLife) {
    HOBJ h = 0;
    ASSERT_EQ(qxPropListCreate(&h, "first", 4, 3), 0);
    EXPECT_EQ(h, 0x0002FFFFu);
    ASSERT_EQ(qxPropHandlingSetLastError(-2004, "untouched"), 0);
    EXPECT_EQ(qxIsPropListValid(h), 1);
    EXPECT_EQ(qxIsPropListValid(0x00020123), 1); // the low half is ignored
    EXPECT_EQ(qxIsPropListValid(0x0000FFFF), 1); // globalRoot
    EXPECT_EQ(qxIsPropListValid(0x0001FFFF), 1); // root
    EXPECT_EQ(qxIsPropListValid(0x0003FFFF), 0);
    EXPECT_EQ(qxIsPropListValid(0xFFFF0000), 0);
    ASSERT_EQ(qxPropListDelete(h), 0);
    EXPECT_EQ(qxIsPropListValid(h), 0);
    const auto e = lastError();
    EXPECT_EQ(e.code, -2004);
    EXPECT_EQ(e.text, "untouched");
}

TEST(ListIds, BuiltInListsAreGlobalRootHoldingRoot) {
    EXPECT_EQ(textParam(0x0000FFFF, QX_PAR_NAME), "globalRoot");
    EXPECT_EQ(textParam(0x0001FFFF, QX_PAR_NAME), "root");
    EXPECT_EQ(handleParam(0x0001FFFF, QX_PAR_PARENT_LIST), 0x00000000u); // entry 0 of globalRoot
    EXPECT_EQ(textParam(0x00000000, QX_PAR_NAME), "root");
}

TEST(ListIds, FreedIdsComeBackLastFreedFirst) {
    std::vector<HOBJ> lists;
    for (const char* name : {"a", "b", "c", "d"}) lists.push_back(createList(name)); // IDs 2..5
    ASSERT_EQ(lists.back(), 0x0005FFFFu);
    ASSERT_EQ(qxPropListDelete(0x0005FFFF), 0);
    EXPECT_EQ(createList("e"), 0x0005FFFFu);
    EXPECT_EQ(createList("f"), 0x0006FFFFu);
    ASSERT_EQ(qxPropListDelete(0x0003FFFF), 0);
    ASSERT_EQ(qxPropListDelete(0x0004FFFF), 0);
    EXPECT_EQ(createList("g"), 0x0004FFFFu);
    EXPECT_EQ(createList("h"), 0x0003FFFFu);
}

TEST(ListIds, TeardownDestroysEveryListAndIdsStartAgain) {
    const HOBJ a = createList("a");
    addProp(a, "p");
    createList("b");
    ASSERT_EQ(qxPropHandlingLibDone(), 0); // the load's own reference: the library tears down
    ASSERT_EQ(qxPropHandlingLibInit(), 1);
    EXPECT_EQ(createList("again"), 0x0002FFFFu);
    EXPECT_EQ(textParam(0x0002FFFF, QX_PAR_NAME), "again");
    EXPECT_EQ(qxIsPropListValid(0x0003FFFF), 0);
}

TEST(ListIds, SixtyFiveThousandFiveHundredThirtyFifthListIsRefused) {
    // IDs 0..65534 exist at most; 0 and 1 are the built-in lists.
    for (int i = 2; i < 0xFFFF; ++i) {
        HOBJ h = 0;
        ASSERT_EQ(qxPropListCreate(&h, "l", 0, 3), 0) << i;
    }
    HOBJ h = 0x12345678;
    EXPECT_EQ(qxPropListCreate(&h, "one too many", 0, 3), PROPHANDLING_CANT_ALLOCATE_LIST);
    EXPECT_EQ(lastError().text, "Cannot allocate a new list until an old one has been deleted");
    EXPECT_EQ(h, 0x12345678u);
    ASSERT_EQ(qxPropListDelete(0x7000FFFF), 0);
    EXPECT_EQ(createList("fits again"), 0x7000FFFFu);
}

TEST(ListIds, ATableOf65535EntriesIsTheLargestAListIsCreatedWith) {
    EXPECT_EQ(u32Param(createList("largest", 0xFFFF), QX_PAR_ENTRY_COUNT), 0xFFFFu);
    HOBJ h = 0;
    EXPECT_EQ(qxPropListCreate(&h, "too large", 0x10000, 3), PROPHANDLING_INVALID_INPUT_PARAMETER);
}

TEST(ListResolution, BadHandlesGiveTheirOwnCodesAndTexts) {
    const HOBJ list = createList("outer", 2);
    const HOBJ prop = addProp(list, "p", 0);
    CallParam out{};
    EXPECT_EQ(qxCompGetParam(0x00050003, QX_PAR_NAME, nullptr, 0, &out, 1), PROPHANDLING_LIST_ID_INVALID);
    EXPECT_EQ(lastError().text, "Invalid list ID(0x00050003)");
    EXPECT_EQ(qxCompGetParam(0x00020002, QX_PAR_NAME, nullptr, 0, &out, 1), PROPHANDLING_COMPONENT_ID_INVALID);
    EXPECT_EQ(lastError().text, "Array index out of range");
    EXPECT_EQ(qxCompGetParam(0x00020001, QX_PAR_NAME, nullptr, 0, &out, 1), PROPHANDLING_COMPONENT_ID_INVALID);
    EXPECT_EQ(lastError().text, "Invalid component ID(list outer, 0x00020001)");
    HOBJ found = 0;
    EXPECT_EQ(qxPropListFindComp(&found, prop, "x", 0, 0), PROPHANDLING_NOT_A_LIST);
    EXPECT_EQ(lastError().text, "Component 'p(0x00020000), ' is not a list. Unable to perform list operation.");
}

TEST(ListRegistration, AppendAndFirstFreeChooseTheirEntries) {
    const HOBJ list = createList("four", 4, 3);
    EXPECT_EQ(addProp(list, "appended", QX_INDEX_APPEND), 0x00020004u);
    EXPECT_EQ(addProp(list, "firstFree", QX_INDEX_FIRST_FREE), 0x00020000u);
    EXPECT_EQ(u32Param(list, QX_PAR_ENTRY_COUNT), 5u);

    const HOBJ three = createList("three", 3);
    addProp(three, "e0", 0);
    addProp(three, "e2", 2);
    EXPECT_EQ(addProp(three, "middle", QX_INDEX_FIRST_FREE), 0x00030001u);
    EXPECT_EQ(addProp(three, "full", QX_INDEX_FIRST_FREE), 0x00030003u);
    EXPECT_EQ(static_cast<int32_t>(param(three, QX_PAR_FIRST_FREE_ENTRY).value.i32), 0xFFFF);
}

TEST(ListRegistration, AnIndexBeyondTheTableGrowsIt) {
    const HOBJ list = createList("two", 2);
    EXPECT_EQ(addProp(list, "far", 10), 0x0002000Au);
    EXPECT_EQ(u32Param(list, QX_PAR_ENTRY_COUNT), 11u);
    EXPECT_EQ(param(list, QX_PAR_FIRST_FREE_ENTRY).value.i32, 0);
    EXPECT_EQ(u32Param(0x00020009, QX_PAR_IS_VALID_HANDLE), 0u);
    EXPECT_EQ(u32Param(0x0002000A, QX_PAR_IS_VALID_HANDLE), 1u);
}

TEST(ListRegistration, RefusalsLeaveListAndComponentAsTheyWere) {
    const HOBJ list = createList("l", 3);
    addProp(list, "taken", 1);
    HOBJ h = 2;
    EXPECT_EQ(qxPropListRegisterProp(list, "taken", QX_CT_PROP_INT32, 1, 3, nullptr, &h),
              PROPHANDLING_COMPONENT_ALREADY_REGISTERED);
    EXPECT_EQ(lastError().text, "A component with the name 'taken' is already registered in this list");
    EXPECT_EQ(h, 2u);
    h = 1;
    EXPECT_EQ(qxPropListRegisterProp(list, "other", QX_CT_PROP_INT32, 1, 3, nullptr, &h), PROPHANDLING_LIST_ENTRY_OCCUPIED);
    const CallParam other = textIn("other");
    CallParam out{};
    ASSERT_EQ(qxCompGetParam(list, QX_PAR_NAME_EXISTS, &other, 1, &out, 1), 0);
    EXPECT_EQ(out.value.bits, 0u);

    EXPECT_EQ(qxPropListRegisterProp(list, nullptr, QX_CT_PROP_INT32, 1, 3, nullptr, &h), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(lastError().text, "One or more of the input parameters are invalid (NULL-pointers?)");
    EXPECT_EQ(qxPropListRegisterProp(list, "x", QX_CT_PROP_INT32, 1, 3, nullptr, nullptr), PROPHANDLING_INVALID_INPUT_PARAMETER);
    h = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListRegisterProp(list, "notAProperty", QX_CT_LIST, 1, 3, nullptr, &h), PROPHANDLING_INVALID_PROP_VALUE_TYPE);
}

TEST(ListRegistration, AFixedSizeListDoesNotGrow) {
    const HOBJ list = createList("fixed", 1, QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS | QX_CF_FIXED_SIZE);
    HOBJ h = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListRegisterProp(list, "a", QX_CT_PROP_INT32, 1, 3, nullptr, &h), PROPHANDLING_NO_MODIFY_SIZE_RIGHTS);
    EXPECT_EQ(lastError().text, "Component 'fixed' size is fixed and therefore can't be modified");
    EXPECT_EQ(addProp(list, "b", 0), 0x00020000u);
    // With free entries left, neither a first-free request nor the index just past the end gets one.
    const HOBJ three = createList("fixedThree", 3, QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS | QX_CF_FIXED_SIZE);
    for (const HOBJ request : {HOBJ{QX_INDEX_FIRST_FREE}, HOBJ{3}}) {
        h = request;
        EXPECT_EQ(qxPropListRegisterProp(three, "c", QX_CT_PROP_INT32, 1, 3, nullptr, &h), PROPHANDLING_NO_MODIFY_SIZE_RIGHTS)
            << request;
        EXPECT_EQ(lastError().text, "Component 'fixedThree' size is fixed and therefore can't be modified");
        EXPECT_EQ(h, request);
    }
    EXPECT_EQ(u32Param(three, QX_PAR_ENTRY_COUNT), 3u);
    EXPECT_EQ(param(three, QX_PAR_FIRST_FREE_ENTRY).value.i32, 0);
    EXPECT_EQ(addProp(three, "c", 2), 0x00030002u);
}

TEST(ListRegistration, AListSitsInOneParentOnly) {
    const HOBJ first = createList("first");
    const HOBJ second = createList("second");
    const HOBJ child = createList("child");
    EXPECT_EQ(addList(first, child), 0x00020000u);
    HOBJ h = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListRegisterList(second, child, &h), PROPHANDLING_COMPONENT_HAS_OWNER_ALREADY);
    EXPECT_EQ(lastError().text, "Component 'child' is already owned by 'first'. Cannot get ownership");
    EXPECT_EQ(handleParam(child, QX_PAR_PARENT_LIST), 0x00020000u);
    EXPECT_EQ(u32Param(second, QX_PAR_ENTRY_COUNT), 0u);
    // A list inside itself, or inside its own member, would own itself.
    EXPECT_EQ(qxPropListRegisterList(child, first, &h), PROPHANDLING_UNSUPPORTED_OPERATION);
    EXPECT_EQ(qxPropListRegisterList(first, first, &h), PROPHANDLING_UNSUPPORTED_OPERATION);
    // Nor inside a list derived from it, or a member of one: deleting the list would delete its owner.
    HOBJ derived = 0, inner = 0;
    ASSERT_EQ(qxPropListDerive(&derived, second, "view"), 0);
    EXPECT_EQ(qxPropListRegisterList(derived, second, &h), PROPHANDLING_UNSUPPORTED_OPERATION);
    inner = createList("inner");
    addList(derived, inner);
    EXPECT_EQ(qxPropListRegisterList(inner, second, &h), PROPHANDLING_UNSUPPORTED_OPERATION);
    // Nor a derived list inside its own base: it would show itself as one of its members.
    EXPECT_EQ(qxPropListRegisterList(second, derived, &h), PROPHANDLING_UNSUPPORTED_OPERATION);
    EXPECT_EQ(qxPropListDelete(second), 0);
    EXPECT_EQ(qxIsPropListValid(derived), 0);
}

TEST(ListRegistration, The65536thEntryIsRefused) {
    const HOBJ list = createList("big");
    for (int i = 0; i < 0xFFFF; ++i) {
        HOBJ h = QX_INDEX_APPEND;
        ASSERT_EQ(qxPropListRegisterProp(list, ("p" + std::to_string(i)).c_str(), QX_CT_PROP_INT32, 1, 3, nullptr, &h), 0);
    }
    HOBJ h = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListRegisterProp(list, "last", QX_CT_PROP_INT32, 1, 3, nullptr, &h), PROPHANDLING_CANT_REGISTER_COMPONENT);
    EXPECT_EQ(lastError().text, "Component 'last' cannot be registered in list 'big'");
    EXPECT_EQ(find(addList(createList("holder"), list), "p65534"), 0x0002FFFEu);
    ASSERT_EQ(qxPropListDelete(list), 0);
}

TEST(ListFind, MissingNamesAreNotAnError) {
    const HOBJ parent = createList("parent");
    const HOBJ child = addSubList(parent, "child");
    addProp(0x0003FFFF, "inner");
    EXPECT_EQ(find(child, "nowhere", 0, 5), 0xFFFFFFFFu);
    EXPECT_EQ(find(child, "inner"), 0x00030000u);
    HOBJ found = 0;
    EXPECT_EQ(qxPropListFindComp(&found, 0x0003FFFF, "inner", 0, 0), PROPHANDLING_COMPONENT_ID_INVALID);
    EXPECT_EQ(lastError().text, "Array index out of range");
    EXPECT_EQ(qxPropListFindComp(nullptr, child, "inner", 0, 0), PROPHANDLING_INVALID_INPUT_PARAMETER);
}

TEST(ListFind, SearchModeExcludesKindsAndDepthReachesNestedLists) {
    const HOBJ top = createList("top");
    const HOBJ holder = addSubList(top, "holder");              // list 3 in entry 0 of top
    addProp(0x0003FFFF, "twin");                                 // property "twin" in holder
    const HOBJ nested = addSubList(0x0003FFFF, "nested");        // list 4 in entry 1 of holder
    addList(0x0004FFFF, createList("twin"));                     // list "twin" (ID 5) in nested
    EXPECT_EQ(find(holder, "twin"), 0x00030000u);
    EXPECT_EQ(find(holder, "twin", QX_SM_EXCLUDE_PROPERTIES), 0xFFFFFFFFu);
    EXPECT_EQ(find(holder, "twin", QX_SM_EXCLUDE_PROPERTIES, 1), 0x00040000u);
    EXPECT_EQ(find(holder, "twin", QX_SM_EXCLUDE_PROPERTIES | QX_SM_EXCLUDE_LISTS, 3), 0xFFFFFFFFu);
    EXPECT_EQ(nested, 0x00030001u);
}

TEST(ListRemoval, EmptyEntriesAndTheLastEntry) {
    const HOBJ list = createList("five", 5);
    EXPECT_EQ(qxPropListRemoveComp(0x00020003), PROPHANDLING_COMPONENT_ID_INVALID);
    EXPECT_EQ(lastError().text, "Invalid component ID");
    addProp(list, "only", 2);
    ASSERT_EQ(qxPropListRemoveComp(0x00020002), 0);
    EXPECT_EQ(u32Param(list, QX_PAR_ENTRY_COUNT), 0u) << "the last name gone, the table is emptied";
    addProp(list, "a", 0);
    addProp(list, "b", 3);
    ASSERT_EQ(qxPropListRemoveComp(0x0002FFFF), 0) << "0xFFFF removes the last entry";
    EXPECT_EQ(handleParam(list, QX_PAR_LAST_COMPONENT), 0x00020000u);
    EXPECT_EQ(u32Param(list, QX_PAR_ENTRY_COUNT), 4u);
}

TEST(ListDeletion, DeletingCascadesToNestedListsAndFreesTheEntry) {
    const HOBJ parent = createList("parent");
    const HOBJ child = createList("child");
    const HOBJ grandChild = createList("grandChild");
    addProp(grandChild, "p");
    addList(child, grandChild);
    const HOBJ entry = addList(parent, child);
    ASSERT_EQ(qxPropListDelete(child), 0);
    EXPECT_EQ(qxIsPropListValid(child), 0);
    EXPECT_EQ(qxIsPropListValid(grandChild), 0);
    EXPECT_EQ(u32Param(entry, QX_PAR_IS_VALID_HANDLE), 0u);
    EXPECT_EQ(u32Param(parent, QX_PAR_ENTRY_COUNT), 1u);
    addProp(parent, "child") /* the name is free again */;
    ASSERT_EQ(qxPropListDelete(parent), 0);
    EXPECT_EQ(qxPropListDelete(parent), PROPHANDLING_LIST_ID_INVALID);
    EXPECT_EQ(lastError().text, "Invalid list ID(0x0002ffff)");
}

TEST(ListDeletion, ASixtyThousandEntryListGoesInOneCall) {
    const HOBJ list = createList("wide");
    for (int i = 0; i < 60000; ++i) addProp(list, ("p" + std::to_string(i)).c_str());
    ASSERT_EQ(qxPropListDelete(list), 0);
    EXPECT_EQ(qxIsPropListValid(list), 0);
}

TEST(ListMove, EntriesMoveAcrossListsWithBothModes) {
    const HOBJ top = createList("top");
    const HOBJ src = addSubList(top, "src"); // list 3
    const HOBJ dst = addSubList(top, "dst"); // list 4
    for (const char* n : {"a", "b", "c", "d"}) addProp(0x0003FFFF, n);
    addProp(0x0004FFFF, "x", 0);
    addProp(0x0004FFFF, "y", 3);
    // b and c fill dst's free entries 1 and 2; the source is compacted.
    ASSERT_EQ(qxPropListMoveEntries(src, dst, 1, 2, 1, QX_MOVE_FILL_FREE_DESTINATION | QX_MOVE_COMPACT_SOURCE), 0);
    EXPECT_EQ(textParam(0x00040001, QX_PAR_NAME), "b");
    EXPECT_EQ(textParam(0x00040002, QX_PAR_NAME), "c");
    EXPECT_EQ(textParam(0x00040003, QX_PAR_NAME), "y");
    EXPECT_EQ(u32Param(0x0003FFFF, QX_PAR_ENTRY_COUNT), 2u);
    EXPECT_EQ(textParam(0x00030001, QX_PAR_NAME), "d");
    EXPECT_EQ(find(src, "d"), 0x00030001u);
    EXPECT_EQ(find(dst, "c"), 0x00040002u);
    // Without modes: d is inserted at dst's entry 0, moving the others up, and leaves a free entry behind.
    ASSERT_EQ(qxPropListMoveEntries(src, dst, 1, 0xFFFF, 0, 0), 0);
    EXPECT_EQ(textParam(0x00040000, QX_PAR_NAME), "d");
    EXPECT_EQ(textParam(0x00040004, QX_PAR_NAME), "y");
    EXPECT_EQ(find(dst, "y"), 0x00040004u);
    EXPECT_EQ(u32Param(0x0003FFFF, QX_PAR_ENTRY_COUNT), 2u);
    EXPECT_EQ(u32Param(0x00030001, QX_PAR_IS_VALID_HANDLE), 0u);
    // Moved components belong to dst now: deleting src leaves them.
    ASSERT_EQ(qxPropListDelete(0x0003FFFF), 0);
    EXPECT_EQ(textParam(0x00040001, QX_PAR_NAME), "x");
}

TEST(ListMove, ANestedListMovesUpIntoTheListThatHoldsItsOwner) {
    // top holds outer, outer holds middle, middle holds inner: inner may move up into outer.
    const HOBJ top = createList("top");
    const HOBJ outer = createList("outer");
    const HOBJ outerEntry = addList(top, outer);
    const HOBJ middle = createList("middle");
    const HOBJ middleEntry = addList(outer, middle);
    addList(middle, createList("inner"));
    ASSERT_EQ(qxPropListMoveEntries(middleEntry, outerEntry, 0, 0, QX_INDEX_APPEND, 0), 0) << lastError().text;
    EXPECT_NE(find(outerEntry, "inner"), 0xFFFFFFFFu);
    // The other way round, a list into one of its own members, is still refused.
    EXPECT_EQ(qxPropListMoveEntries(outerEntry, middleEntry, 0, 0, QX_INDEX_APPEND, 0),
              PROPHANDLING_UNSUPPORTED_OPERATION);
}

TEST(ListMove, RangesOutsideTheTablesAndDerivedListsAreRefused) {
    const HOBJ top = createList("top");
    const HOBJ src = addSubList(top, "src");
    const HOBJ dst = addSubList(top, "dst");
    addProp(0x0003FFFF, "a");
    EXPECT_EQ(qxPropListMoveEntries(src, dst, 0, 1, 0, 0), PROPHANDLING_COMPONENT_ID_INVALID);
    EXPECT_EQ(lastError().text, "Array index out of range");
    EXPECT_EQ(qxPropListMoveEntries(src, dst, 0, 0, 1, 0), PROPHANDLING_COMPONENT_ID_INVALID);
    HOBJ derived = 0;
    ASSERT_EQ(qxPropListDerive(&derived, 0x0003FFFF, "d"), 0);
    EXPECT_EQ(qxPropListMoveEntries(src, dst, 0, 0, 0, 0), PROPHANDLING_UNSUPPORTED_OPERATION);
    EXPECT_EQ(lastError().text, "The component 'src' does not support this operation");
    EXPECT_EQ(textParam(0x00030000, QX_PAR_NAME), "a");
    // Into a list with a namesake, or into a list that has derived lists: refused, nothing moves.
    const HOBJ other = addSubList(top, "other"); // list 6
    addProp(0x0006FFFF, "x");
    addProp(0x0004FFFF, "x");
    EXPECT_EQ(qxPropListMoveEntries(other, dst, 0, 0, 0, 0), PROPHANDLING_COMPONENT_ALREADY_REGISTERED);
    EXPECT_EQ(lastError().text, "A component with the name 'x' is already registered in this list");
    HOBJ derivedDst = 0;
    ASSERT_EQ(qxPropListDerive(&derivedDst, 0x0004FFFF, "dd"), 0);
    addProp(0x0006FFFF, "y");
    EXPECT_EQ(qxPropListMoveEntries(other, dst, 1, 1, 0, 0), PROPHANDLING_UNSUPPORTED_OPERATION);
    EXPECT_EQ(lastError().text, "The component 'other' does not support this operation");
    EXPECT_EQ(find(other, "x"), 0x00060000u);
    EXPECT_EQ(find(other, "y"), 0x00060001u);
}

TEST(ListUpdate, EqualValuesReportTheirUserValues) {
    const HOBJ dst = createList("dst");
    const HOBJ src = createList("src");
    const HOBJ a = addProp(dst, "a");
    const HOBJ b = addProp(dst, "b");
    addProp(src, "a");
    addProp(src, "b");
    for (const auto& [h, v] : {std::pair{a, 0x10u}, std::pair{b, 0x03u}}) {
        const CallParam in = u32In(v, QX_PT_COMPONENT_DATA);
        ASSERT_EQ(qxCompSetParam(h, QX_PAR_COMPONENT_DATA, &in, 1, 0), 0);
    }
    // Entries of another type at the same index are left alone.
    addProp(dst, "c");
    addProp(src, "c", QX_INDEX_APPEND, QX_CT_PROP_DOUBLE);
    uint64_t result = 0;
    ASSERT_EQ(qxPropListUpdateWithList(dst, src, &result), 0) << lastError().text;
    EXPECT_EQ(result, 0x13u);
    EXPECT_EQ(qxPropListUpdateWithList(dst, src, nullptr), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(qxPropListUpdateWithList(dst, 0x00400000, &result), PROPHANDLING_LIST_ID_INVALID);
}

} // namespace
