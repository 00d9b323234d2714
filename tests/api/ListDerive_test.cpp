// Derived and cloned lists through the C interface: what a derived list shows, how it follows its parent,
// what it may change, and how families are destroyed.
#include <gtest/gtest.h>

#include <vector>

#include "ListTestSupport.h"

using namespace qxtest;

namespace {

void setUserValue(HOBJ h, uint64_t v) {
    const CallParam in = u32In(static_cast<uint32_t>(v), QX_PT_COMPONENT_DATA);
    ASSERT_EQ(qxCompSetParam(h, QX_PAR_COMPONENT_DATA, &in, 1, 0), 0) << lastError().text;
}

HOBJ derive(HOBJ parent, const char* name = nullptr) {
    HOBJ h = 0;
    EXPECT_EQ(qxPropListDerive(&h, parent, name), 0) << lastError().text;
    return h;
}

TEST(ListDerive, ShowsTheParentsPropertyAndClonesForceCloneOnes) {
    const HOBJ parent = createList("parent");
    const HOBJ shared = addProp(parent, "shared");
    const HOBJ forced = addProp(parent, "forced", QX_INDEX_APPEND, QX_CT_PROP_INT32,
                                QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS | QX_CF_ALWAYS_FORCE_CLONE);
    const HOBJ derived = derive(parent);
    EXPECT_EQ(derived, 0x0003FFFFu);
    EXPECT_EQ(textParam(derived, QX_PAR_NAME), "parent") << "no name given: the parent's";
    setUserValue(shared, 7);
    setUserValue(forced, 9);
    EXPECT_EQ(param(0x00030000, QX_PAR_COMPONENT_DATA).value.bits, 7u) << "the same object";
    EXPECT_EQ(param(0x00030001, QX_PAR_COMPONENT_DATA).value.bits, 0u) << "its own copy";
    EXPECT_EQ(u32Param(0x00030000, QX_PAR_IS_INHERITED), 1u);
    EXPECT_EQ(u32Param(0x00030001, QX_PAR_IS_INHERITED), 0u);
    EXPECT_EQ(u32Param(shared, QX_PAR_IS_INHERITED), 0u);
    EXPECT_EQ(u32Param(derived, QX_PAR_IS_INHERITED), 1u);
    EXPECT_EQ(u32Param(0x00030000, QX_PAR_IS_DEFAULT), 1u) << "still the parent's property";
}

TEST(ListDerive, FollowsLaterRegistrationsAndRemovalsOfTheParent) {
    const HOBJ parent = createList("parent");
    const HOBJ derived = derive(parent, "derived");
    const HOBJ grandChild = derive(derived, "grandChild");
    addProp(parent, "late", 3);
    EXPECT_EQ(byText(grandChild, QX_PAR_HANDLE_BY_NAME, "late"), 0x00040003u);
    EXPECT_EQ(u32Param(derived, QX_PAR_ENTRY_COUNT), 4u);
    ASSERT_EQ(qxPropListRemoveComp(0x00020003), 0);
    EXPECT_EQ(u32Param(grandChild, QX_PAR_ENTRY_COUNT), 0u) << "its last name gone, a derived table empties too";
    const CallParam late = textIn("late");
    CallParam out{};
    EXPECT_EQ(qxCompGetParam(grandChild, QX_PAR_HANDLE_BY_NAME, &late, 1, &out, 1), PROPHANDLING_COMPONENT_NOT_FOUND);
    EXPECT_EQ(lastError().text, "Component 'late' is no member of list grandChild");
}

TEST(ListDerive, ASubListIsDerivedNotShared) {
    const HOBJ parent = createList("parent");
    const HOBJ sub = addSubList(parent, "sub"); // list 3
    addProp(0x0003FFFF, "inner");
    const HOBJ derived = derive(parent);        // list 4, its "sub" is list 5
    EXPECT_EQ(handleParam(0x00040000, QX_PAR_LIST_HANDLE), 0x0005FFFFu);
    EXPECT_EQ(handleParam(0x00040000, QX_PAR_BASE_LIST), sub);
    EXPECT_EQ(handleParam(0x00040000, QX_PAR_ORIGIN), sub);
    EXPECT_EQ(handleParam(derived, QX_PAR_BASE_LIST), parent);
    EXPECT_EQ(handleParam(0x0005FFFF, QX_PAR_PARENT_LIST), 0x00040000u);
    EXPECT_EQ(find(0x00040000, "inner"), 0x00050000u);
}

TEST(ListDerive, TheDerivedChainRunsFromTheNewestList) {
    const HOBJ parent = createList("parent");
    EXPECT_EQ(handleParam(parent, QX_PAR_FIRST_DERIVED_LIST), 0xFFFFFFFFu);
    const HOBJ first = derive(parent);
    const HOBJ second = derive(parent);
    EXPECT_EQ(handleParam(parent, QX_PAR_FIRST_DERIVED_LIST), second);
    EXPECT_EQ(handleParam(second, QX_PAR_NEXT_DERIVED_LIST), first);
    EXPECT_EQ(handleParam(first, QX_PAR_NEXT_DERIVED_LIST), 0xFFFFFFFFu);
    ASSERT_EQ(qxPropListDelete(second), 0);
    EXPECT_EQ(handleParam(parent, QX_PAR_FIRST_DERIVED_LIST), first);
}

TEST(ListDerive, DerivedFeaturesCannotModifyTheParentsComponents) {
    const HOBJ parent = createList("parent");
    addProp(parent, "p");
    derive(parent);
    const CallParam text = textIn("shown name");
    EXPECT_EQ(qxCompSetParam(0x00030000, QX_PAR_DISPLAY_NAME, &text, 1, 1), PROPHANDLING_NO_WRITE_RIGHTS);
    EXPECT_EQ(lastError().text, "No write rights for component 'p'(Derived features cannot modify this parameter)");
    ASSERT_EQ(qxCompSetParam(0x00020000, QX_PAR_DISPLAY_NAME, &text, 1, 1), 0);
    EXPECT_EQ(textParam(0x00030000, QX_PAR_DISPLAY_NAME), "shown name");
}

TEST(ListDerive, DeletingTheDerivedListLeavesTheParentDeletingTheParentTakesTheFamily) {
    const HOBJ parent = createList("parent");
    const HOBJ p = addProp(parent, "p");
    const HOBJ a = derive(parent);
    const HOBJ b = derive(a);
    ASSERT_EQ(qxPropListDelete(b), 0);
    EXPECT_EQ(textParam(p, QX_PAR_NAME), "p");
    EXPECT_EQ(qxIsPropListValid(a), 1);
    const HOBJ c = derive(a);
    ASSERT_EQ(qxPropListDelete(parent), 0);
    EXPECT_EQ(qxIsPropListValid(a), 0);
    EXPECT_EQ(qxIsPropListValid(c), 0);
}

TEST(ListDerive, ADerivedListInsideItsSiblingSurvivesRemovalsAndGoesWithTheParent) {
    // Walks over the derived family must not come back to a member an earlier step destroyed.
    const HOBJ parent = createList("parent");
    const HOBJ p = addProp(parent, "p");
    addProp(parent, "q");
    const HOBJ first = derive(parent);
    const HOBJ second = derive(parent);
    addList(first, second);
    ASSERT_EQ(qxPropListRemoveComp(p), 0);
    EXPECT_EQ(qxIsPropListValid(second), 1);
    ASSERT_EQ(qxPropListDelete(parent), 0);
    EXPECT_EQ(qxIsPropListValid(first), 0);
    EXPECT_EQ(qxIsPropListValid(second), 0);
}

TEST(ListDerive, TenThousandDerivedListsGoWithTheirParent) {
    const HOBJ parent = createList("parent");
    addProp(parent, "p");
    addSubList(parent, "sub");
    std::vector<HOBJ> siblings;
    for (int i = 0; i < 10000; ++i) siblings.push_back(derive(parent));
    ASSERT_EQ(qxPropListDelete(parent), 0);
    for (HOBJ h : siblings) ASSERT_EQ(qxIsPropListValid(h), 0);
    // Every ID is free again: the next list takes the last one freed.
    EXPECT_LT(createList("next") >> 16, 20003u);
}

TEST(ListDerive, ATenThousandDeepChainNeedsNoDeepStack) {
    const HOBJ root = createList("root0");
    addProp(root, "p");
    HOBJ last = root;
    for (int i = 0; i < 10000; ++i) last = derive(last);
    addProp(root, "late"); // shown down the whole chain
    EXPECT_EQ(byText(last, QX_PAR_HANDLE_BY_NAME, "late"), (last & 0xFFFF0000u) | 1u);
    ASSERT_EQ(qxPropListDelete(root), 0);
    EXPECT_EQ(qxIsPropListValid(last), 0);
}

TEST(ListDerive, RestoringAnOwnComponentShowsWhatTheParentHoldsThereNow) {
    // The derived list kept components of its own where the parent later registered others: a list at
    // entry 0 and a property of another name at entry 1. Restoring them must leave entries the family can
    // follow: a list of its own derived from the parent's, the parent's property under its own name only.
    const HOBJ parent = createList("parent", 2);
    const HOBJ derived = derive(parent, "derived");
    const HOBJ mine0 = addProp(derived, "mine0", 0);
    const HOBJ mine1 = addProp(derived, "mine1", 1);
    const HOBJ sub = createList("sub");
    addProp(sub, "inner");
    addList(parent, sub, 0);
    addProp(parent, "theirs", 1);
    ASSERT_EQ(qxCompRestoreDefault(mine0, 1), 0) << lastError().text;
    ASSERT_EQ(qxCompRestoreDefault(mine1, 1), 0) << lastError().text;
    const HOBJ shown = handleParam(mine0, QX_PAR_LIST_HANDLE);
    EXPECT_NE(shown, sub) << "a derived list never shows its parent's list itself";
    EXPECT_EQ(handleParam(shown, QX_PAR_BASE_LIST), 0x00020000u);
    EXPECT_EQ(textParam(mine1, QX_PAR_NAME), "theirs");
    const CallParam gone = textIn("mine1");
    CallParam out{};
    ASSERT_EQ(qxCompGetParam(derived, QX_PAR_NAME_EXISTS, &gone, 1, &out, 1), 0);
    EXPECT_EQ(out.value.bits, 0u) << "the restored own component's name is gone with it";
    // The parent's list dies; what the derived list holds at entry 0 goes with it, and copying the
    // derived list touches nothing dead.
    ASSERT_EQ(qxPropListDelete(sub), 0);
    EXPECT_EQ(u32Param(mine0, QX_PAR_IS_VALID_HANDLE), 0u);
    HOBJ copy = 0;
    ASSERT_EQ(qxPropListClone(&copy, derived, "copy"), 0) << lastError().text;
    EXPECT_EQ(textParam((copy & 0xFFFF0000u) | 1u, QX_PAR_NAME), "theirs");
}

TEST(ListDerive, TheBottomOfAChainFollowsTheMiddleListsOwnComponent) {
    // top <- middle <- bottom. Once middle keeps a component of its own, bottom shows middle's, whatever
    // top does at that index afterwards.
    const HOBJ top = createList("top");
    const HOBJ p = addProp(top, "p");
    const HOBJ middle = derive(top, "middle");
    const HOBJ bottom = derive(middle, "bottom");
    const auto at = [](HOBJ list, HOBJ entry) { return (list & 0xFFFF0000u) | (entry & 0xFFFFu); };
    setUserValue(p, 1);
    setUserValue(at(middle, p), 2); // not a value write: middle still shows top's property
    EXPECT_EQ(param(at(bottom, p), QX_PAR_COMPONENT_DATA).value.bits, 2u);
    qxValue v{};
    v.i32 = 7;
    const ValBuffer b{QX_VT_INT32, 1, &v};
    ASSERT_EQ(qxPropSetVal(at(middle, p), &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0), 0); // middle's own copy now
    setUserValue(at(middle, p), 3);
    setUserValue(p, 4);
    EXPECT_EQ(param(at(bottom, p), QX_PAR_COMPONENT_DATA).value.bits, 3u);
    EXPECT_EQ(u32Param(at(bottom, p), QX_PAR_IS_INHERITED), 1u);
    // A registration in top where middle has its own component reaches neither middle nor bottom.
    addProp(middle, "mine", 5);
    addProp(top, "theirs", 5);
    EXPECT_EQ(textParam(at(bottom, 5), QX_PAR_NAME), "mine");
    const uint32_t bottomChanges = u32Param(bottom, QX_PAR_CHANGE_COUNT);
    v.i32 = 8;
    ASSERT_EQ(qxPropSetVal(p, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0), 0);
    EXPECT_EQ(u32Param(bottom, QX_PAR_CHANGE_COUNT), bottomChanges) << "top's value is not what bottom shows";
    // A value that middle shows of top: a write in top is a change of middle and of bottom too.
    const HOBJ shared = addProp(top, "shared");
    const uint32_t middleChanges = u32Param(middle, QX_PAR_CHANGE_COUNT);
    const uint32_t bottomBefore = u32Param(bottom, QX_PAR_CHANGE_COUNT);
    ASSERT_EQ(qxPropSetVal(shared, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0), 0);
    EXPECT_EQ(u32Param(middle, QX_PAR_CHANGE_COUNT), middleChanges + 1);
    EXPECT_EQ(u32Param(bottom, QX_PAR_CHANGE_COUNT), bottomBefore + 1);
}

TEST(ListDerive, AWriteAfterRestoringDefaultsClearsTheListsDefaultState) {
    const HOBJ holder = createList("holder");
    const HOBJ base = createList("base");
    const HOBJ p = addProp(base, "p");
    addList(holder, base);
    const HOBJ derived = derive(base, "derived");
    const HOBJ entry = addList(holder, derived);
    ASSERT_EQ(qxCompRestoreDefault(entry, 1), 0);
    EXPECT_EQ(u32Param(entry, QX_PAR_IS_DEFAULT), 1u);
    EXPECT_EQ(u32Param(derived, QX_PAR_IS_DEFAULT), 1u);
    qxValue v{};
    v.i32 = 3;
    const ValBuffer b{QX_VT_INT32, 1, &v};
    ASSERT_EQ(qxPropSetVal((derived & 0xFFFF0000u) | (p & 0xFFFFu), &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0), 0);
    EXPECT_EQ(u32Param(entry, QX_PAR_IS_DEFAULT), 0u);
    EXPECT_EQ(u32Param(derived, QX_PAR_IS_DEFAULT), 0u);
    EXPECT_EQ(u32Param(holder, QX_PAR_IS_DEFAULT), 0u) << "the owner follows";
}

TEST(ListClone, ACloneIsIndependentOfItsSource) {
    const HOBJ source = createList("source");
    const HOBJ p = addProp(source, "p");
    addSubList(source, "sub");
    setUserValue(p, 5);
    for (const int id : {int{QX_PAR_DOC_STRING}, int{QX_PAR_DISPLAY_NAME}}) {
        const CallParam text = textIn("described");
        ASSERT_EQ(qxCompSetParam(p, id, &text, 1, 0), 0) << lastError().text;
    }
    const CallParam invisible[2] = {u32In(1), u32In(QX_CF_INVISIBLE)};
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_FLAGS, invisible, 2, 0), 0) << lastError().text;
    HOBJ copy = 0;
    ASSERT_EQ(qxPropListClone(&copy, source, "copy"), 0);
    EXPECT_EQ(textParam(copy, QX_PAR_NAME), "copy");
    EXPECT_EQ(textParam((copy & 0xFFFF0000u) | 0, QX_PAR_DOC_STRING), "described");
    EXPECT_EQ(textParam((copy & 0xFFFF0000u) | 0, QX_PAR_DISPLAY_NAME), "described");
    EXPECT_EQ(u32Param((copy & 0xFFFF0000u) | 0, QX_PAR_FLAGS) & QX_CF_INVISIBLE, uint32_t{QX_CF_INVISIBLE});
    EXPECT_EQ(param((copy & 0xFFFF0000u) | 0, QX_PAR_COMPONENT_DATA).value.bits, 5u) << "user value copied";
    setUserValue(p, 6);
    EXPECT_EQ(param((copy & 0xFFFF0000u) | 0, QX_PAR_COMPONENT_DATA).value.bits, 5u);
    EXPECT_EQ(u32Param((copy & 0xFFFF0000u) | 0, QX_PAR_IS_INHERITED), 0u);
    ASSERT_EQ(qxPropListDelete(source), 0);
    EXPECT_EQ(textParam((copy & 0xFFFF0000u) | 1, QX_PAR_NAME), "sub");
    HOBJ unnamed = 0;
    ASSERT_EQ(qxPropListClone(&unnamed, copy, nullptr), 0);
    EXPECT_EQ(textParam(unnamed, QX_PAR_NAME), "copy");
    EXPECT_EQ(qxPropListClone(nullptr, copy, nullptr), PROPHANDLING_INVALID_INPUT_PARAMETER);
}

} // namespace
