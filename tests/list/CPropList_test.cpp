// tests/list/CPropList_test.cpp -- list internals the C interface cannot reach yet: the own copy a derived
// list takes before it writes, restore-default giving the parent's property back, the dependency step of a
// member's change, update copying values, and the log lines of refused placements.
#include "list/CPropList.h"

#include <gtest/gtest.h>

#include "component/TestSupport.h"
#include "frame/Library.h"
#include "list/CPropListManager.h"
#include "property/CProperty.h"
#include "property/CValBuffer.h"

namespace qx {
namespace {

using test::Failure;
using test::failureOf;
using test::LogCapture;

constexpr std::uint32_t rw = QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS;

// Each test gets a fresh manager and leaves none behind.
struct Lists : ::testing::Test {
    ~Lists() override { CPropListManager::destroyInstance(); }

    CPropList& make(const char* name, std::size_t size = 0) {
        return CPropListManager::instance().adopt(std::make_unique<CPropList>(name, size, rw));
    }
    CProperty& addInt(CPropList& list, const char* name, std::uint32_t flags = rw) {
        const HOBJ h = list.registerComponent(CProperty::create(QX_VT_INT32, name, &list, 1, flags, ""), QX_INDEX_APPEND);
        return static_cast<CProperty&>(*list.entryComponent(h & 0xFFFF));
    }
    CPropList& derive(CPropList& parent) {
        return CPropListManager::instance().adopt(CPropList::derive(parent, nullptr, nullptr));
    }
    static void store(CProperty& p, std::int32_t v) {
        CValBuffer b(QX_VT_INT32, 1);
        b[0].i32 = v;
        p.storeVals(rightsFull, b, 0);
    }
    static std::int32_t value(const CComponent* c) { return static_cast<const CProperty*>(c)->slots()[0].i32; }
};

TEST_F(Lists, AWriteThroughADerivedListTakesAnOwnCopyThatItsDerivedListsShow) {
    CPropList& parent = make("parent");
    CProperty& p = addInt(parent, "p");
    CPropList& child = derive(parent);
    CPropList& grandChild = derive(child);
    ASSERT_EQ(child.entryComponent(0), &p);
    EXPECT_TRUE(child.entryIsDefault(0));

    CProperty& own = child.propertyForWriting(0, rightsOrdinary);
    EXPECT_NE(&own, &p);
    EXPECT_EQ(own.owner(), &child);
    EXPECT_EQ(grandChild.entryComponent(0), &own) << "the lists derived from the writer follow its copy";
    EXPECT_EQ(&child.propertyForWriting(0, rightsOrdinary), &own) << "one copy only";
    store(own, 42);
    EXPECT_EQ(value(&p), 0);
    EXPECT_EQ(value(grandChild.entryComponent(0)), 42);
    EXPECT_FALSE(child.entryIsDefault(0));
    EXPECT_EQ(child.defaultMarker(), 0);
    EXPECT_EQ(&parent.propertyForWriting(0, rightsOrdinary), &p) << "the owner writes its own property";
}

TEST_F(Lists, PropertyForWritingChecksEntryKindAndRights) {
    CPropList& list = make("list", 3);
    addInt(list, "readOnly", QX_CF_READ_ACCESS);
    list.registerList(make("sub"), 2);
    EXPECT_EQ(failureOf([&] { list.propertyForWriting(1, rightsFull); }), (Failure{-2021, "Invalid component ID"}));
    EXPECT_EQ(failureOf([&] { list.propertyForWriting(9, rightsFull); }), (Failure{-2021, "Invalid component ID"}));
    EXPECT_EQ(failureOf([&] { list.propertyForWriting(2, rightsFull); }).message,
              "Component 'sub(index 2 in list 'list'), ' is not a property. Unable to perform property operation.");
    EXPECT_EQ(failureOf([&] { list.propertyForWriting(3, rightsOrdinary); }),
              (Failure{-2004, "No write rights for component 'readOnly'"}));
    EXPECT_EQ(failureOf([&] { list.propertyForWriting(3, rightsFull); }).code, 0);
}

TEST_F(Lists, RestoreDefaultGivesTheParentsPropertyBack) {
    CPropList& parent = make("parent");
    CProperty& p = addInt(parent, "p");
    CPropList& child = derive(parent);
    CPropList& grandChild = derive(child);
    store(child.propertyForWriting(0, rightsOrdinary), 5);
    child.restoreDefault(0, rightsOrdinary);
    EXPECT_EQ(child.entryComponent(0), &p);
    EXPECT_EQ(grandChild.entryComponent(0), &p);
    EXPECT_TRUE(child.entryIsDefault(0));
    parent.restoreDefault(0, rightsOrdinary); // not derived: nothing to give back
    EXPECT_EQ(parent.entryComponent(0), &p);
}

TEST_F(Lists, AMembersChangeReachesTheDerivedListsThatStillShowIt) {
    CPropList& parent = make("parent");
    CProperty& p = addInt(parent, "p");
    CPropList& showing = derive(parent);
    CPropList& copying = derive(parent);
    CPropList& belowCopy = derive(copying);
    copying.propertyForWriting(0, rightsOrdinary);
    const auto before = [&](const CPropList& l) { return l.changeCount(); };
    const std::uint32_t s = before(showing), c = before(copying), b = before(belowCopy);
    store(p, 3);
    EXPECT_EQ(showing.changeCount(), s + 1);
    EXPECT_EQ(copying.changeCount(), c) << "a list with its own copy is not told";
    EXPECT_EQ(belowCopy.changeCount(), b) << "nor the lists below it";
    p.raiseChangeNotification(true, true, true, false); // forced
    EXPECT_EQ(copying.changeCount(), c + 1);
    EXPECT_EQ(belowCopy.changeCount(), b + 1);
}

TEST_F(Lists, ARegistrationInTheParentLeavesADerivedListsOwnEntryAlone) {
    CPropList& parent = make("parent", 2);
    CPropList& mine = derive(parent);
    CPropList& sibling = derive(parent);
    CPropList& below = derive(mine);
    mine.registerComponent(CProperty::create(QX_VT_INT32, "own", &mine, 1, rw, ""), 1);
    LogCapture log;
    addInt(parent, "p"); // appended at 2
    parent.registerComponent(CProperty::create(QX_VT_INT32, "q", &parent, 1, rw, ""), 1);
    EXPECT_EQ(mine.entryComponent(1)->name(), "own");
    EXPECT_EQ(below.entryComponent(1)->name(), "own") << "it shows its own parent's entry";
    EXPECT_EQ(sibling.entryComponent(1)->name(), "q") << "siblings follow the parent";
    EXPECT_EQ(sibling.entryComponent(2)->name(), "p");
    EXPECT_EQ(mine.indexOfName("q"), 0xFFFF);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(Lists, AnOccupiedEntryIsLoggedAndRefused) {
    CPropList& list = make("list", 2);
    addInt(list, "first");
    list.registerComponent(CProperty::create(QX_VT_INT32, "a", &list, 1, rw, ""), 0);
    LogCapture log;
    EXPECT_EQ(failureOf([&] { list.registerComponent(CProperty::create(QX_VT_INT32, "b", &list, 1, rw, ""), 0); }),
              (Failure{-2022, "List entry occupied already"}));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].text, "qx::CPropList::registerComponent: ERROR!! Entry 0 in list list occupied by a. "
                                   "Cannot register component b here\n");
}

TEST_F(Lists, UpdateCopiesDifferingValuesIntoAnOwnCopyOfADerivedList) {
    CPropList& source = make("source");
    store(addInt(source, "a"), 1);
    store(addInt(source, "b"), 2);
    CPropList& parent = make("parent");
    CProperty& a = addInt(parent, "a");
    CProperty& b = addInt(parent, "b");
    store(b, 2);
    b.setUserValue(0x40);
    CPropList& derived = derive(parent);
    EXPECT_EQ(derived.update(&source), 0x40u) << "b was equal already";
    EXPECT_EQ(value(&a), 0) << "the parent keeps its value";
    EXPECT_EQ(value(derived.entryComponent(0)), 1);
    EXPECT_NE(derived.entryComponent(0), &a);
    EXPECT_EQ(derived.entryComponent(1), &b) << "nothing to copy, no copy taken";
    EXPECT_EQ(failureOf([&] { derived.update(nullptr); }),
              (Failure{-2006, "List 'parent' has been compared with a NULL reference"}));
}

TEST_F(Lists, MovedEntriesKeepNamesAndIndicesInStep) {
    CPropList& source = make("source");
    CPropList& dest = make("dest");
    for (const char* n : {"a", "b", "c"}) addInt(source, n);
    for (const char* n : {"x", "y"}) addInt(dest, n);
    CPropList::moveEntries(source, dest, 0, 1, 1, QX_MOVE_COMPACT_SOURCE);
    for (const char* n : {"x", "a", "b", "y"}) {
        const std::uint16_t i = dest.indexOfName(n);
        ASSERT_NE(i, 0xFFFF) << n;
        EXPECT_EQ(dest.entryComponent(i)->name(), n);
        EXPECT_EQ(dest.entryComponent(i)->index(), i);
        EXPECT_EQ(dest.entryComponent(i)->owner(), &dest);
    }
    EXPECT_EQ(source.indexOfName("c"), 0);
    EXPECT_EQ(source.entryComponent(0)->index(), 0);
    EXPECT_EQ(source.indexOfName("a"), 0xFFFF);
    // Within one list: move c... of dest's entries 3 (y) to the front.
    CPropList::moveEntries(dest, dest, 3, 3, 0, QX_MOVE_COMPACT_SOURCE);
    EXPECT_EQ(dest.entryComponent(0)->name(), "y");
    EXPECT_EQ(dest.entryCount(), 4u);
    EXPECT_EQ(dest.indexOfName("b"), 3);
}

TEST_F(Lists, DestroyingTheManagerDestroysEveryListOnce) {
    CPropList& a = make("a");
    CPropList& b = make("b");
    derive(a);
    a.registerList(b, QX_INDEX_APPEND);
    derive(b);
    EXPECT_EQ(CPropListManager::instance().listCount(), 7u); // with globalRoot and root
    CPropListManager::destroyInstance();
    EXPECT_EQ(CPropListManager::existing(), nullptr);
}

TEST_F(Lists, UnknownListsAreLoggedWhenTheirIdIsAskedFor) {
    CPropList& a = make("a");
    LogCapture log;
    CPropListManager& manager = CPropListManager::instance();
    EXPECT_EQ(manager.propListID(a), a.listID());
    EXPECT_TRUE(log.lines().empty());
    manager.removeList(a); // as if it had died: its slot is free from now on
    EXPECT_EQ(failureOf([&] { manager.propListID(a); }), (Failure{-2020, "Invalid list ID"}));
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0].text,
              "qx::CPropListManager::propListID: Inconsistent property list hash table detected. Using fallback "
              "method(slower).\n");
    // Give the slot back so the teardown finds the list where it left it.
    EXPECT_EQ(manager.allocateID(a), a.listID());
}

} // namespace
} // namespace qx
