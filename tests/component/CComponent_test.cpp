// tests/component/CComponent_test.cpp -- shared component data behind the client check, the change
// notification's counting and its climb through owners, visibility warnings, suppression and default markers.
#include "component/CComponent.h"

#include <gtest/gtest.h>

#include "component/TestSupport.h"

namespace qx {
namespace {

using test::failureOf;
using test::Failure;
using test::LogCapture;
using test::TestContainer;
using test::TestLeaf;

TEST(ComponentSharedData, OnlyTheCreatorMayChangeItAndFailuresChangeNothing) {
    TestLeaf owner("Gain", nullptr, QX_CT_PROP_INT32);
    TestLeaf other("Other", nullptr, QX_CT_PROP_INT32);
    CComponentSharedData& data = *owner.sharedData();

    const Failure noRights{PROPHANDLING_NO_WRITE_RIGHTS, "No write rights for component 'Other'"};
    EXPECT_EQ(failureOf([&] { data.setDisplayName("x", &other); }), noRights);
    EXPECT_EQ(failureOf([&] { data.setDocString("x", &other); }), noRights);
    EXPECT_EQ(failureOf([&] { data.setRepresentation(QX_REPR_LINEAR, &other); }), noRights);
    EXPECT_EQ(failureOf([&] { data.setUserData(&other, &other); }), noRights);
    EXPECT_EQ(failureOf([&] { data.setVisibility(QX_VIS_GURU, &other); }), noRights);
    EXPECT_EQ(failureOf([&] { data.setFlag(QX_CF_INVISIBLE, true, &other); }), noRights);
    EXPECT_EQ(failureOf([&] { data.setDisplayName("x", nullptr); }),
              (Failure{PROPHANDLING_INVALID_INPUT_PARAMETER,
                       "CComponentSharedData::setFeature: Invalid 'pClient' pointer detected!"}));
    EXPECT_EQ(failureOf([&] { data.setFlag(QX_CF_INVISIBLE, true, nullptr); }),
              (Failure{PROPHANDLING_INVALID_INPUT_PARAMETER,
                       "CComponentSharedData::setFlag: Invalid 'pClient' pointer detected!"}));

    EXPECT_EQ(data.changeCount(), 0u);
    EXPECT_EQ(data.displayName(), "");
    EXPECT_EQ(data.visibility(), 0u);
    EXPECT_EQ(data.flags(), std::uint32_t{QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS});
}

TEST(ComponentSharedData, SettersCountOnlyRealChanges) {
    TestLeaf c("Gain", nullptr, QX_CT_PROP_INT32);
    CComponentSharedData& data = *c.sharedData();
    int cookie = 0;
    EXPECT_TRUE(data.setDisplayName("Gain (dB)", &c));
    EXPECT_FALSE(data.setDisplayName("Gain (dB)", &c));
    EXPECT_TRUE(data.setDocString("Amplification", &c));
    EXPECT_FALSE(data.setDocString("Amplification", &c));
    EXPECT_TRUE(data.setRepresentation(QX_REPR_LOGARITHMIC, &c));
    EXPECT_FALSE(data.setRepresentation(QX_REPR_LOGARITHMIC, &c));
    EXPECT_TRUE(data.setUserData(&cookie, &c));
    EXPECT_FALSE(data.setUserData(&cookie, &c));
    EXPECT_TRUE(data.setVisibility(QX_VIS_EXPERT, &c));
    EXPECT_FALSE(data.setVisibility(QX_VIS_EXPERT, &c));
    EXPECT_EQ(data.changeCount(), 5u);
    EXPECT_EQ(data.docString(), "Amplification");
    EXPECT_EQ(data.userData(), &cookie);
}

TEST(ComponentSharedData, SetFlagTreatsTheMaskAsAllOfItsBits) {
    TestLeaf c("Gain", nullptr, QX_CT_PROP_INT32, QX_CF_READ_ACCESS);
    CComponentSharedData& data = *c.sharedData();
    EXPECT_TRUE(data.setFlag(QX_CF_INVISIBLE, true, &c));
    EXPECT_FALSE(data.setFlag(QX_CF_INVISIBLE, true, &c));
    // Read is set but write is not, so "all of 0x3" is false: clearing it is no change, setting it is.
    EXPECT_FALSE(data.setFlag(0x3, false, &c));
    EXPECT_TRUE(data.setFlag(0x3, true, &c));
    EXPECT_EQ(data.flags(), 0x13u);
    EXPECT_TRUE(data.setFlag(0x3, false, &c));
    EXPECT_EQ(data.flags(), 0x10u);
    EXPECT_EQ(data.changeCount(), 3u);
}

TEST(ComponentSharedData, ForceCloneFlagIsFrozenForPropertiesInDerivationFamilies) {
    TestContainer list("L");
    TestLeaf prop("P", &list, QX_CT_PROP_INT32);
    TestLeaf method("M", &list, QX_CT_METHOD);
    EXPECT_TRUE(prop.sharedData()->setFlag(QX_CF_ALWAYS_FORCE_CLONE, true, &prop));
    list.derived = true;
    EXPECT_EQ(failureOf([&] { prop.sharedData()->setFlag(QX_CF_ALWAYS_FORCE_CLONE, false, &prop); }),
              (Failure{PROPHANDLING_NO_WRITE_RIGHTS, "No write rights for component 'P'"}));
    EXPECT_TRUE(method.sharedData()->setFlag(QX_CF_ALWAYS_FORCE_CLONE, true, &method));
}

TEST(ComponentSharedData, VisibilityBelowAnOwnersWarnsOncePerSuchOwnerAndStillApplies) {
    LogCapture log;
    TestContainer top("Top");
    TestContainer middle("Middle", &top);
    TestLeaf prop("Gain", &middle, QX_CT_PROP_INT32);
    ASSERT_TRUE(top.sharedData()->setVisibility(QX_VIS_INVISIBLE, &top));
    ASSERT_TRUE(middle.sharedData()->setVisibility(QX_VIS_GURU, &middle));
    log.clear();

    EXPECT_TRUE(prop.sharedData()->setVisibility(QX_VIS_EXPERT, &prop));
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0].messageClass, Warning);
    EXPECT_EQ(log.lines()[0].text,
              "qx::CComponentSharedData::setVisibility(202): A sub-components visibility should not be greater than "
              "the visibility of any list it resides in. Sub-Component: Gain(desired visibility: Expert), Parent: "
              "Middle(visibility: Guru).\n");
    EXPECT_NE(log.lines()[1].text.find("Parent: Top(visibility: Invisible)"), std::string::npos);
    EXPECT_EQ(prop.sharedData()->visibility(), std::uint32_t{QX_VIS_EXPERT});

    log.clear();
    EXPECT_TRUE(prop.sharedData()->setVisibility(QX_VIS_GURU, &prop));
    EXPECT_EQ(log.lines().size(), 1u) << "Middle is Guru too: only Top is less visible";

    auto previous = exchangeLibraryLogger(nullptr);
    EXPECT_TRUE(prop.sharedData()->setVisibility(QX_VIS_BEGINNER, &prop)) << "no logger, no warning, no failure";
    exchangeLibraryLogger(std::move(previous));
}

TEST(ComponentNotification, CountsAndClimbsTheOwnerChainWithTheFirstTwoFlags) {
    TestContainer top("Top");
    TestContainer middle("Middle", &top);
    TestLeaf leaf("Leaf", &middle, QX_CT_METHOD);
    middle.changeMethodResult = 7;

    EXPECT_EQ(leaf.raiseChangeNotification(true, true, true, true), 7);
    EXPECT_EQ(leaf.raiseChangeNotification(true, false, false, false), 7);
    EXPECT_EQ(leaf.raiseChangeNotification(false, false, false, true), 0);
    EXPECT_EQ(leaf.changeCount(), 3u);
    EXPECT_EQ(leaf.valueChangeCount(), 1u);
    EXPECT_EQ(top.changeCount(), 3u);
    EXPECT_EQ(top.valueChangeCount(), 1u);
    // Each owner runs the change method of the member below it, and only for value changes.
    EXPECT_EQ(middle.changeMethodCalls, (std::vector<CComponent*>{&leaf, &leaf}));
    EXPECT_EQ(top.changeMethodCalls, (std::vector<CComponent*>{&middle, &middle}));
    EXPECT_TRUE(middle.dependencySteps.empty()) << "only properties run the dependency step";

    TestLeaf alone("Alone", nullptr, QX_CT_METHOD);
    EXPECT_EQ(alone.raiseChangeNotification(true, true, false, false), 0);
    EXPECT_EQ(alone.valueChangeCount(), 1u);
}

TEST(ComponentNotification, SuppressionBytesAndInvalidate) {
    TestContainer list("L");
    TestLeaf leaf("Leaf", &list, QX_CT_METHOD);
    list.changeMethodResult = 5;

    EXPECT_EQ(leaf.setMethodSuppressed(1), 0);
    EXPECT_EQ(leaf.setMethodSuppressed(1), 1);
    EXPECT_EQ(leaf.valueChangeCount(), 1u) << "only the real change of the byte is notified";
    EXPECT_EQ(leaf.raiseChangeNotification(true, false, false, false), 0);
    EXPECT_TRUE(list.changeMethodCalls.empty());
    EXPECT_EQ(leaf.setMethodSuppressed(0), 1);
    EXPECT_EQ(list.changeMethodCalls.size(), 1u);

    const auto changes = leaf.changeCount();
    EXPECT_EQ(leaf.setCallbackSuppressed(1), 0);
    EXPECT_EQ(leaf.changeCount(), changes);

    EXPECT_EQ(leaf.accessNotified(), 1);
    leaf.invalidate();
    EXPECT_EQ(leaf.accessNotified(), 0);
    EXPECT_EQ(leaf.valueChangeCount(), 3u);
    EXPECT_EQ(list.changeMethodCalls.size(), 1u) << "invalidate is no value change";
}

TEST(Component, DefaultMarkerIsPushedUpUntilAnOwnerAgrees) {
    TestContainer top("Top");
    TestContainer middle("Middle", &top);
    TestLeaf leaf("Leaf", &middle, QX_CT_METHOD);
    leaf.setDefaultMarker(1);
    EXPECT_TRUE(middle.isDefault());
    EXPECT_TRUE(top.isDefault());
    top.setDefaultMarker(0);
    leaf.setDefaultMarker(1);
    EXPECT_FALSE(top.isDefault()) << "middle already agreed, so top was not touched";
    leaf.setDefaultMarker(0);
    EXPECT_FALSE(middle.isDefault());
}

TEST(Component, RegistrationHandsOverTheEntryFlags) {
    TestLeaf leaf("Leaf", nullptr, QX_CT_PROP_INT32,
                  QX_CF_READ_ACCESS | QX_CF_INVISIBLE | QX_CF_SHOULD_BE_DISPLAYED_AS_LIST |
                      QX_CF_SHOULD_BE_DISPLAYED_AS_ENUMERATION | QX_CF_ALWAYS_FORCE_UPDATE);
    EXPECT_EQ(leaf.handOverEntryFlags(), 0x1050u);
    EXPECT_EQ(leaf.flags(), 0x2001u);
}

TEST(Component, CloneCopiesCountersButNotPlacementAndCannotChangeSharedData) {
    TestContainer list("L");
    TestLeaf source("Src", &list, QX_CT_METHOD);
    source.setIndex(4);
    source.setUserValue(0x1122334455667788ull);
    source.setDefaultMarker(1);
    source.invalidate();

    const std::string newName = "Copy";
    auto copy = source.clone(nullptr, &newName, CloneMode::ShareData);
    EXPECT_EQ(copy->name(), "Copy");
    EXPECT_EQ(copy->index(), noIndex);
    EXPECT_EQ(copy->userValue(), 0x1122334455667788ull);
    EXPECT_EQ(copy->valueChangeCount(), 1u);
    EXPECT_EQ(copy->defaultMarker(), 0);
    EXPECT_EQ(copy->accessNotified(), 0);
    EXPECT_EQ(source.sharedHolder().useCount(), 2u);
    EXPECT_EQ(failureOf([&] { copy->sharedData()->setDisplayName("x", copy.get()); }).code,
              PROPHANDLING_NO_WRITE_RIGHTS);
}

TEST(Component, SharedDataOutlivingItsCreatorCannotBeChangedAnyMore) {
    auto source = std::make_unique<TestLeaf>("Src", nullptr, QX_CT_METHOD);
    auto copy = source->clone(nullptr, nullptr, CloneMode::ShareData);
    source.reset();
    EXPECT_EQ(copy->sharedData()->owner(), nullptr);
    EXPECT_EQ(failureOf([&] { copy->sharedData()->setDocString("x", copy.get()); }).code,
              PROPHANDLING_NO_WRITE_RIGHTS);
}

} // namespace
} // namespace qx
