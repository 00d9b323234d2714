// tests/property/Base64_test.cpp -- the text form of binary values: known encodings, line breaks, tolerant
// decoding and round trips at the group and line boundaries.
#include "property/Base64.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

std::string encode(const std::string& bytes) {
    return encodeBase64(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}
std::string decode(const std::string& text) {
    const auto bytes = decodeBase64(text);
    return std::string(bytes.begin(), bytes.end());
}

TEST(Base64, KnownTextsEncodeWithPadding) {
    EXPECT_EQ(encode(""), "");
    EXPECT_EQ(encode("a"), "YQ==");
    EXPECT_EQ(encode("ab"), "YWI=");
    EXPECT_EQ(encode("abc"), "YWJj");
    EXPECT_EQ(encode("abcd"), "YWJjZA==");
    EXPECT_EQ(encode(std::string("\xff\xfe\x00", 3)), "//4A");
}

TEST(Base64, LinesBreakAfterEvery76Characters) {
    const std::string block57(57, '\0');
    EXPECT_EQ(encode(block57), std::string(76, 'A') + "\r\n");
    EXPECT_EQ(encode(std::string(58, '\0')), std::string(76, 'A') + "\r\nAA==");
    EXPECT_EQ(encode(std::string(114, '\0')), std::string(76, 'A') + "\r\n" + std::string(76, 'A') + "\r\n");
    // Padding counts towards the line: 56 bytes make 75 characters plus one '='.
    EXPECT_EQ(encode(std::string(56, '\0')), std::string(75, 'A') + "=\r\n");
}

TEST(Base64, DecodingSkipsForeignCharactersAndStopsAtPadding) {
    EXPECT_EQ(decode("YW\r\nJj"), "abc");
    EXPECT_EQ(decode(" Y W J j !"), "abc");
    EXPECT_EQ(decode("YQ==YWJj"), "a") << "everything after the first '=' is ignored";
    EXPECT_EQ(decode("YWJjZA"), "abcd") << "a final group of two characters gives one byte";
    EXPECT_EQ(decode("YWJjZGU"), "abcde") << "three characters give two bytes";
    EXPECT_EQ(decode("YWJjZ"), "abc") << "a lone character gives nothing";
}

TEST(Base64, TextsShorterThanFourCharactersHoldNoBytes) {
    EXPECT_EQ(decodeBase64("").size(), 0u);
    EXPECT_EQ(decodeBase64("YQ").size(), 0u);
    EXPECT_EQ(decodeBase64("YWI").size(), 0u);
    EXPECT_EQ(decode("YQ=="), "a");
}

TEST(Base64, EveryByteValueSurvivesARoundTripAcrossLineBoundaries) {
    for (std::size_t n : {1u, 2u, 3u, 56u, 57u, 58u, 171u, 1000u}) {
        std::vector<std::uint8_t> bytes(n);
        for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 151 + 7);
        EXPECT_EQ(decodeBase64(encodeBase64(bytes.data(), bytes.size())), bytes) << n;
    }
}

} // namespace
} // namespace qx
