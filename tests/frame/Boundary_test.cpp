// What guarded() makes of every kind of failure: library exceptions keep their code and message, foreign
// ones become the documented code with a clear text, and nothing escapes.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "frame/Boundary.h"
#include "frame/LastError.h"

namespace qx {
namespace {

std::string lastText() { return lastErrorRecord().text; }

TEST(Boundary, LibraryExceptionsKeepTheirCodeAndMessage) {
    EXPECT_EQ(guarded([] { throw ENotAProperty("Gain(0x00030005), "); }), PROPHANDLING_NOT_A_PROPERTY);
    EXPECT_EQ(lastText(), "Component 'Gain(0x00030005), ' is not a property. Unable to perform property operation.");
    EXPECT_EQ(guarded([] { throw EInvalidListID(formatText("Invalid list ID(0x%08x)", 0x00050003u)); }),
              PROPHANDLING_LIST_ID_INVALID);
    EXPECT_EQ(lastText(), "Invalid list ID(0x00050003)");
    EXPECT_EQ(lastErrorRecord().code, PROPHANDLING_LIST_ID_INVALID);
}

TEST(Boundary, HandleTableFailuresArriveAsMinusOne) {
    EXPECT_EQ(guarded([] { throw EContainerFull(); }), -1);
    EXPECT_EQ(lastText(), "Can't store any more data");
}

TEST(Boundary, OutOfRangeIsAnInvalidComponentID) {
    EXPECT_EQ(guarded([] { throw std::out_of_range("vector::at"); }), PROPHANDLING_COMPONENT_ID_INVALID);
    EXPECT_EQ(lastText(), "Array index out of range");
}

TEST(Boundary, ForeignExceptionsAreContained) {
    EXPECT_EQ(guarded([] { throw std::bad_alloc(); }), kForeignFailureCode);
    EXPECT_EQ(lastText(), "Out of memory");
    EXPECT_EQ(guarded([] { throw std::runtime_error("disk on fire"); }), kForeignFailureCode);
    EXPECT_EQ(lastText(), "Internal error: disk on fire");
    EXPECT_EQ(guarded([] { throw 42; }), kForeignFailureCode);
    EXPECT_EQ(lastText(), "Internal error: unknown exception");
    EXPECT_EQ(kForeignFailureCode, PROPHANDLING_LIST_CANT_ACCESS_DATA);
}

TEST(Boundary, SuccessLeavesTheRecordAndTheGetterSetterRecordNothing) {
    recordLastError(-2019, "before");
    EXPECT_EQ(guarded([] {}), 0);
    EXPECT_EQ(guarded<Record::Nothing>([] { throw EInvalidInputParameter(); }), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(lastErrorRecord().code, -2019);
    EXPECT_EQ(lastText(), "before");
}

TEST(Boundary, MessagesLongerThanTheRecordAreCut) {
    const std::string huge(20000, 'z');
    EXPECT_EQ(guarded([&] { throw EInvalidValue(huge); }), PROPHANDLING_INVALID_PROP_VALUE);
    EXPECT_EQ(lastText().size(), kLastErrorTextSize - 1);
    EXPECT_EQ(guarded([&] { throw std::length_error(huge); }), kForeignFailureCode);
    EXPECT_EQ(lastText().size(), kLastErrorTextSize - 1);
    EXPECT_EQ(lastText().rfind("Internal error: zzz", 0), 0u);
}

TEST(Boundary, TheBodyRunsUnderTheComponentAccessLock) {
    bool held = false;
    guarded([&] { held = componentAccessLock().heldByCaller(); });
    EXPECT_TRUE(held);
    EXPECT_FALSE(componentAccessLock().heldByCaller());
    guarded([] { throw ENotAList("x"); });
    EXPECT_FALSE(componentAccessLock().heldByCaller()); // released on the failure path too
}

} // namespace
} // namespace qx
