// tests/platform/ModuleVersion_test.cpp -- finding the version note of a module from an address inside it.
#include "platform/ModuleVersion.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace qx::platform {
namespace {

constexpr std::array<int, 4> kNone{-1, -1, -1, -1};

TEST(ModuleVersion, ProgramLinkingTheLibraryObjectsCarriesTheNote) {
    // This test program links the library's objects, note included.
    const std::array<int, 4> expected{QX_VERSION_MAJOR, QX_VERSION_MINOR, QX_VERSION_PATCH, QX_VERSION_TWEAK};
    EXPECT_EQ(moduleVersionAt(reinterpret_cast<const void*>(&moduleVersionAt)), expected);
}

TEST(ModuleVersion, OtherModulesAndStrayAddressesGiveMinusOnes) {
    EXPECT_EQ(moduleVersionAt(reinterpret_cast<const void*>(&std::fopen)), kNone);
    EXPECT_EQ(moduleVersionAt(nullptr), kNone);
    int onTheStack = 0;
    EXPECT_EQ(moduleVersionAt(&onTheStack), kNone);
}

} // namespace
} // namespace qx::platform
