// tests/component/Vocabulary_test.cpp -- the fixed texts of component types, flags, visibilities and
// representations, which settings files and user interfaces show verbatim.
#include "component/Vocabulary.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(Vocabulary, ComponentTypesHaveTheirTexts) {
    EXPECT_EQ(componentTypeText(0x10000), "property");
    EXPECT_EQ(componentTypeText(0x10001), "32 bit integer property");
    EXPECT_EQ(componentTypeText(0x10002), "64 bit floating point property");
    EXPECT_EQ(componentTypeText(0x10003), "pointer property");
    EXPECT_EQ(componentTypeText(0x10004), "string property");
    EXPECT_EQ(componentTypeText(0x10005), "64 bit integer property");
    EXPECT_EQ(componentTypeText(0x20000), "list");
    EXPECT_EQ(componentTypeText(0x40000), "method");
    EXPECT_EQ(componentTypeText(0x10006), "unknown component type");
    EXPECT_EQ(componentTypeText(0x30000), "unknown component type");
}

TEST(Vocabulary, FlagsAreNamedFromTheHighestBitDownAndUnnamedBitsAreSkipped) {
    EXPECT_EQ(componentFlagsText(0x2013, "|"), "cfAlwaysForceUpdate|cfInvisible|cfWriteAccess|cfReadAccess");
    EXPECT_EQ(componentFlagsText(0x3FFF, " "),
              "cfAlwaysForceUpdate cfShouldBeDisplayedAsEnumeration cfContainsBinaryData cfNotImplemented "
              "cfNotAvailable cfAlwaysForceClone cfDisallowSerialize cfShouldBeDisplayedAsList "
              "cfAllowValueCombinations cfInvisible cfFixedSize cfWriteAccess cfReadAccess");
    EXPECT_EQ(componentFlagsText(0x8, "|"), "");
    EXPECT_EQ(componentFlagsText(0x8 | 0x4000 | 0x80000000u, "|"), "");
    EXPECT_EQ(componentFlagsText(0xC, ", "), "cfFixedSize");
    EXPECT_EQ(componentFlagsText(0x3, ""), "cfWriteAccesscfReadAccess");
}

TEST(Vocabulary, VisibilitiesAndRepresentationsHaveTheirTexts) {
    const char* visibilities[] = {"Beginner", "Expert", "Guru", "Invisible", "Unknown visibility"};
    for (std::uint32_t v = 0; v < 5; ++v) EXPECT_EQ(visibilityText(v), visibilities[v]);
    const char* representations[] = {"Undefined",  "Linear",      "Logarithmic", "Boolean",       "PureNumber",
                                      "HexNumber",  "IPv4Address", "MACAddress",  "FileName",      "DirectoryName",
                                      "Unknown representation"};
    for (std::uint32_t r = 0; r < 11; ++r) EXPECT_EQ(representationText(r), representations[r]);
    EXPECT_EQ(representationText(0xFFFFFFFFu), "Unknown representation");
}

} // namespace
} // namespace qx
