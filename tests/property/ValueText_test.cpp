// tests/property/ValueText_test.cpp -- reading numbers out of texts: the character sets that cut a text into
// pieces, "%i" rules for Int32 and Pointer, atof rules for Double, the Int64 reader with its hexadecimal
// mode, and the odd corners these rules are known for.
#include "property/ValueText.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace qx {
namespace {

std::vector<std::int32_t> ints(const char* text) {
    std::vector<qxValue> out;
    parseValues(QX_VT_INT32, text, false, out);
    std::vector<std::int32_t> values;
    for (const qxValue& v : out) values.push_back(v.i32);
    return values;
}
std::vector<std::int64_t> int64s(const char* text, bool hex) {
    std::vector<qxValue> out;
    parseValues(QX_VT_INT64, text, hex, out);
    std::vector<std::int64_t> values;
    for (const qxValue& v : out) values.push_back(v.i64);
    return values;
}
std::vector<double> doubles(const char* text) {
    std::vector<qxValue> out;
    parseValues(QX_VT_DOUBLE, text, false, out);
    std::vector<double> values;
    for (const qxValue& v : out) values.push_back(v.dbl);
    return values;
}

using I = std::vector<std::int32_t>;
using L = std::vector<std::int64_t>;
using D = std::vector<double>;

TEST(ParseInt32, FollowsPercentIRules) {
    EXPECT_EQ(ints("0x1F"), I{31});
    EXPECT_EQ(ints("017"), I{15});
    EXPECT_EQ(ints("12 34"), (I{12, 34}));
    EXPECT_EQ(ints("abc"), I{}) << "a piece that starts with a letter converts to nothing";
    EXPECT_EQ(ints("-0x10, 09; 1a"), (I{-16, 0, 1})) << "09 is octal 0 followed by a stray 9";
    EXPECT_EQ(ints("gain=-5dB"), (I{-5})) << "d and B are hex letters: '5dB' reads as decimal 5";
    EXPECT_EQ(ints("--7"), (I{-7})) << "a lone '-' adds nothing";
    EXPECT_EQ(ints("0x"), I{0});
    EXPECT_EQ(ints(""), I{});
}

TEST(ParseInt32, LargeNumbersAreCutTo32BitsAsTheIntStoreDoes) {
    EXPECT_EQ(ints("99999999999"), I{1215752191});
    EXPECT_EQ(ints("99999999999999999999"), I{-1}) << "saturates at the long maximum first";
    EXPECT_EQ(ints("-99999999999999999999"), I{0});
    EXPECT_EQ(ints("0xFFFFFFFF"), I{-1});
}

TEST(ParsePointer, ReadsThirtyTwoBitsZeroExtended) {
    std::vector<qxValue> out;
    parseValues(QX_VT_POINTER, "0x10 -1", false, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bits, 0x10u);
    EXPECT_EQ(out[1].bits, 0xFFFFFFFFu);
}

TEST(ParseInt64, OwnReaderWithHexMode) {
    EXPECT_EQ(int64s("ff", true), L{255});
    EXPECT_EQ(int64s("ff", false), L{0}) << "in base 10 a letter ends the backward walk at once";
    EXPECT_EQ(int64s("12ab34", false), L{34}) << "only the trailing decimal run counts";
    EXPECT_EQ(int64s("0x7FFFFFFFFFFFFFFF", false), L{std::numeric_limits<std::int64_t>::max()});
    EXPECT_EQ(int64s("-9000000000 5", false), (L{-9000000000LL, 5}));
    EXPECT_EQ(int64s("-10", true), L{-16});
    EXPECT_EQ(int64s("-", false), L{0}) << "every Int64 piece adds a value";
    EXPECT_EQ(int64s("0x1ffffffffffffffff", false), L{-1}) << "seventeen hex digits wrap";
}

TEST(ParseDouble, AtofRulesInTheCConventions) {
    EXPECT_EQ(doubles("1.5e3"), D{1500.0});
    EXPECT_EQ(doubles("1e-5"), (D{1.0, -5.0})) << "'-' is no continuation: it starts the next number";
    EXPECT_EQ(doubles("-2,5"), D{-2.0}) << "the comma is read along but is no decimal point";
    EXPECT_EQ(doubles("0.25 -.5 7."), (D{0.25, -0.5, 7.0}));
    EXPECT_EQ(doubles("x-y"), D{0.0}) << "a lone '-' reads as 0";
    EXPECT_EQ(doubles("1.2.3"), D{1.2});
    const D huge = doubles("1e999 -1e999");
    ASSERT_EQ(huge.size(), 2u);
    EXPECT_EQ(huge[0], std::numeric_limits<double>::infinity());
    EXPECT_EQ(huge[1], -std::numeric_limits<double>::infinity());
    const std::string tiny = "0." + std::string(400, '0') + "1";
    EXPECT_EQ(doubles(tiny.c_str()), D{0.0});
}

TEST(ParseOther, StringsAndUnknownTypesYieldNothing) {
    std::vector<qxValue> out;
    parseValues(QX_VT_STRING, "12 34", false, out);
    parseValues(9, "12 34", false, out);
    EXPECT_TRUE(out.empty());
}

} // namespace
} // namespace qx
