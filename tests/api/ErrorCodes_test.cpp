// Error-code names as callers see them through qxPropHandlingErrorCodeToString.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "qxPropHandling.h"

namespace {

std::string nameOf(int code) { return qxPropHandlingErrorCodeToString(code); }

TEST(ErrorCodeNames, AssignedCodesHaveTheirConstantNames) {
    EXPECT_EQ(nameOf(0), "PROPHANDLING_NO_ERROR");
    EXPECT_EQ(nameOf(-2000), "PROPHANDLING_NOT_A_LIST");
    EXPECT_EQ(nameOf(-2003), "PROPHANDLING_NO_READ_RIGHTS");
    EXPECT_EQ(nameOf(-2006), "PROPHANDLING_INCOMPATIBLE_COMPONENTS");
    EXPECT_EQ(nameOf(-2008), "PROPHANDLING_UNSUPPORTED_PARAMETER");
    EXPECT_EQ(nameOf(-2010), "PROPHANDLING_IMPLEMENTATION_MISSING");
    EXPECT_EQ(nameOf(-2013), "PROPHANDLING_PROP_TRANSLATION_TABLE_CORRUPTED");
    EXPECT_EQ(nameOf(-2020), "PROPHANDLING_LIST_ID_INVALID");
    EXPECT_EQ(nameOf(-2021), "PROPHANDLING_COMPONENT_ID_INVALID");
    EXPECT_EQ(nameOf(-2025), "PROPHANDLING_LIST_CANT_ACCESS_DATA");
    EXPECT_EQ(nameOf(-2028), "PROPHANDLING_SWIG_ERROR");
    EXPECT_EQ(nameOf(-2031), "PROPHANDLING_INPUT_BUFFER_TOO_SMALL");
    EXPECT_EQ(nameOf(-2036), "PROPHANDLING_CANT_ALLOCATE_LIST");
    EXPECT_EQ(nameOf(-2038), "PROPHANDLING_PROP_VALIDATION_FAILED");
    EXPECT_EQ(nameOf(-2039), "PROPHANDLING_LAST_ASSIGNED_ERROR_CODE");
    EXPECT_EQ(nameOf(-2099), "PROPHANDLING_LAST_VALID_ERROR_CODE");
}

TEST(ErrorCodeNames, EveryCodeOfTheRunHasADistinctPrefixedName) {
    // -2000 ... -2039 except -2007 are assigned; each name is distinct and says where it comes from.
    std::set<std::string> seen;
    for (int code = -2000; code >= -2039; --code) {
        if (code == -2007) continue;
        const std::string name = nameOf(code);
        EXPECT_EQ(name.rfind("PROPHANDLING_", 0), 0u) << code;
        EXPECT_TRUE(seen.insert(name).second) << name;
    }
    EXPECT_EQ(seen.size(), 39u);
}

TEST(ErrorCodeNames, UnassignedCodesAreUnknown) {
    for (int code : {1, -1, 2000, -1999, -2007, -2040, -2050, -2098, -2100, -3000, INT32_MIN, INT32_MAX})
        EXPECT_EQ(nameOf(code), "UNKNOWN ERROR CODE") << code;
}

TEST(ErrorCodeNames, HeaderConstantsMatchTheirNames) {
    EXPECT_EQ(nameOf(PROPHANDLING_NO_WRITE_RIGHTS), "PROPHANDLING_NO_WRITE_RIGHTS");
    EXPECT_EQ(nameOf(PROPHANDLING_PROP_VAL_TOO_SMALL), "PROPHANDLING_PROP_VAL_TOO_SMALL");
    EXPECT_EQ(nameOf(PROPHANDLING_CANT_REGISTER_COMPONENT), "PROPHANDLING_CANT_REGISTER_COMPONENT");
    EXPECT_EQ(nameOf(PROPHANDLING_COMPONENT_NO_CALLBACK_REGISTERED), "PROPHANDLING_COMPONENT_NO_CALLBACK_REGISTERED");
}

} // namespace
