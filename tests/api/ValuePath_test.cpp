// The quick write and read paths against everything that can change under them between two calls: entries
// that move, components removed and registered again at the same handle, rights taken away, and
// callbacks on the lists above a property, which a write must still reach.
#include <gtest/gtest.h>

#include "ListTestSupport.h"
#include "qxPropHandling.h"

using namespace qxtest;

namespace {

int setInt(HOBJ h, int32_t v, int force = 0) {
    qxValue slot{};
    slot.i32 = v;
    const ValBuffer buffer{QX_VT_INT32, 1, &slot};
    return qxPropSetVal(h, &buffer, 0, QX_SETVAL_VALUES, nullptr, 0, force);
}

int32_t getInt(HOBJ h) {
    qxValue slot{};
    ValBuffer buffer{QX_VT_INT32, 1, &slot};
    EXPECT_EQ(qxPropGetVal(h, &buffer, 0), 0) << lastError().text;
    return slot.i32;
}

int g_changedCalls = 0;
HOBJ g_changedObject = 0;
void countChange(HOBJ hObj, uintptr_t) {
    ++g_changedCalls;
    g_changedObject = hObj;
}

HCALLBACK attachChangedCallback(HOBJ h) {
    CallParam user{};
    user.type = QX_PT_POINTER;
    HCALLBACK callback = 0;
    EXPECT_EQ(qxCompCreateFeatureChangedCallback(&countChange, &user, 1, &callback), 0) << lastError().text;
    EXPECT_EQ(qxCompAttachCallback(h, callback), 0) << lastError().text;
    return callback;
}

// A list made on its own and registered in parent: its own handle (ID, entry 0xFFFF) and its entry's.
struct Nested {
    HOBJ list;
    HOBJ entry;
};
Nested nestedList(HOBJ parent, const char* name) {
    const HOBJ list = createList(name);
    return Nested{list, addList(parent, list)};
}

} // namespace

TEST(ValuePath, AHandleJustWrittenFollowsItsEntryWhenEntriesMove) {
    const HOBJ top = createList("top");
    const auto [src, srcEntry] = nestedList(top, "src");
    const HOBJ dstEntry = nestedList(top, "dst").entry;
    const HOBJ a = addProp(src, "a");
    const HOBJ b = addProp(src, "b");
    ASSERT_EQ(setInt(a, 5), 0);
    ASSERT_EQ(setInt(b, 6), 0);
    ASSERT_EQ(setInt(a, 7), 0) << "the handle written last";
    // a goes to dst and the source closes up: a's old handle names b now.
    ASSERT_EQ(qxPropListMoveEntries(srcEntry, dstEntry, 0, 0, QX_INDEX_APPEND, QX_MOVE_COMPACT_SOURCE), 0) << lastError().text;
    ASSERT_EQ(setInt(a, 9), 0);
    EXPECT_EQ(getInt(a), 9);
    EXPECT_EQ(textParam(a, QX_PAR_NAME), "b");
    HOBJ moved = 0;
    ASSERT_EQ(qxPropListFindComp(&moved, dstEntry, "a", 0, 0), 0);
    EXPECT_EQ(getInt(moved), 7) << "the moved property kept its value and took no write meant for b";
    // Without compaction the entry stays free, and its handle names nothing.
    ASSERT_EQ(setInt(a, 11), 0);
    ASSERT_EQ(qxPropListMoveEntries(srcEntry, dstEntry, 0, 0, QX_INDEX_APPEND, 0), 0) << lastError().text;
    EXPECT_EQ(setInt(a, 12), PROPHANDLING_COMPONENT_ID_INVALID);
    qxValue slot{};
    ValBuffer buffer{QX_VT_INT32, 1, &slot};
    EXPECT_EQ(qxPropGetVal(a, &buffer, 0), PROPHANDLING_COMPONENT_ID_INVALID);
}

TEST(ValuePath, AHandleNamesWhatIsRegisteredThereNow) {
    const HOBJ list = createList("l");
    const HOBJ first = addProp(list, "first");
    ASSERT_EQ(setInt(first, 3), 0);
    EXPECT_EQ(getInt(first), 3);
    ASSERT_EQ(qxPropListRemoveComp(first), 0) << lastError().text;
    EXPECT_EQ(setInt(first, 4), PROPHANDLING_COMPONENT_ID_INVALID);
    const HOBJ second = addProp(list, "second", first);
    ASSERT_EQ(second, first);
    EXPECT_EQ(getInt(second), 0) << "a new property starts from its own value";
    ASSERT_EQ(setInt(first, 8), 0);
    EXPECT_EQ(getInt(second), 8);
    // The same through a deleted and re-created list, whose ID comes back.
    ASSERT_EQ(qxPropListDelete(list), 0);
    EXPECT_NE(setInt(second, 1), 0);
    const HOBJ again = createList("again");
    ASSERT_EQ(again >> 16, list >> 16);
    const HOBJ fresh = addProp(again, "fresh", again & 0xFFFF0000u, QX_CT_PROP_INT32);
    ASSERT_EQ(fresh, second);
    ASSERT_EQ(setInt(fresh, 2), 0);
    EXPECT_EQ(getInt(fresh), 2);
}

TEST(ValuePath, RightsTakenAwayAfterAWriteAreCheckedOnTheNext) {
    const HOBJ list = createList("l");
    const HOBJ p = addProp(list, "p");
    ASSERT_EQ(setInt(p, 1), 0);
    CallParam clear[2] = {u32In(0), u32In(QX_CF_WRITE_ACCESS)};
    ASSERT_EQ(qxCompSetParam(p, QX_PAR_FLAGS, clear, 2, 0), 0) << lastError().text;
    EXPECT_EQ(setInt(p, 2), PROPHANDLING_NO_WRITE_RIGHTS);
    EXPECT_EQ(getInt(p), 1);
    EXPECT_EQ(setInt(p, 2, 1), 0) << "the force flag still writes";
    EXPECT_EQ(getInt(p), 2);
}

TEST(ValuePath, AWriteCountsOnEveryListAboveAndReachesTheirCallbacks) {
    const HOBJ top = createList("top");
    const auto [mid, midEntry] = nestedList(top, "mid");
    const HOBJ inner = nestedList(mid, "inner").list;
    const HOBJ p = addProp(inner, "p");
    const HOBJ lists[] = {top, mid, inner, p};
    uint32_t before[4];
    for (int i = 0; i < 4; ++i) before[i] = u32Param(lists[i], QX_PAR_CHANGE_COUNT);
    ASSERT_EQ(setInt(p, 1), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(u32Param(lists[i], QX_PAR_CHANGE_COUNT), before[i] + 1) << "level " << i;
    ASSERT_EQ(setInt(p, 1), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(u32Param(lists[i], QX_PAR_CHANGE_COUNT), before[i] + 1) << "an equal write";

    // A listener two levels up, on a list that sits in another list, hears its member's member change.
    const HCALLBACK callback = attachChangedCallback(midEntry);
    g_changedCalls = 0;
    ASSERT_EQ(setInt(p, 2), 0);
    EXPECT_EQ(g_changedCalls, 1);
    EXPECT_EQ(g_changedObject, midEntry);
    ASSERT_EQ(qxCompDetachCallback(midEntry, callback), 0);
    ASSERT_EQ(qxCompDeleteCallback(callback), 0);
    g_changedCalls = 0;
    ASSERT_EQ(setInt(p, 3), 0);
    EXPECT_EQ(g_changedCalls, 0);

    // And one on the property itself.
    const HCALLBACK own = attachChangedCallback(p);
    ASSERT_EQ(setInt(p, 4), 0);
    EXPECT_EQ(g_changedCalls, 1);
    EXPECT_EQ(g_changedObject, p);
    ASSERT_EQ(qxCompDeleteCallback(own), 0);
}
