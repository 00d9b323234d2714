// tests/property/ValueFormat_test.cpp -- format strings applied to values: what is refused before it could
// reach printf (conversion misfits, %n, '*', too many conversions) and what accepted forms produce,
// floating-point forms in particular, since those are formatted without printf.
#include "property/ValueFormat.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "component/TestSupport.h"
#include "property/CValBuffer.h"
#include "property/ValueText.h"

namespace qx {
namespace {

using test::failureOf;

qxValue i32(std::int32_t v) {
    qxValue s = zeroSlot();
    s.i32 = v;
    return s;
}
qxValue i64(std::int64_t v) {
    qxValue s = zeroSlot();
    s.i64 = v;
    return s;
}
qxValue dbl(double v) {
    qxValue s = zeroSlot();
    s.dbl = v;
    return s;
}

std::string text(std::uint32_t type, const qxValue& v, const char* format) { return valueText(type, v, format); }
std::string dtext(double v, const char* format) { return valueText(QX_VT_DOUBLE, dbl(v), format); }

int codeOf(const char* format, std::uint32_t type, FormatUse use) {
    return failureOf([&] { checkFormat(format, type, use); }).code;
}

TEST(FormatCheck, RefusesWhatPrintfCouldNotDoSafely) {
    const std::pair<const char*, std::uint32_t> refused[] = {
        {"%s", QX_VT_INT32},      {"%n", QX_VT_INT32},     {"%hn", QX_VT_INT32},   {"%*d", QX_VT_INT32},
        {"%.*f", QX_VT_DOUBLE},   {"%d %d", QX_VT_INT32},  {"%d", QX_VT_DOUBLE},   {"%f", QX_VT_INT32},
        {"%d", QX_VT_INT64},      {"%lld", QX_VT_INT32},   {"%Lf", QX_VT_DOUBLE},  {"%ls", QX_VT_STRING},
        {"%d", QX_VT_STRING},     {"%p", QX_VT_INT32},     {"%s", QX_VT_POINTER},  {"%1$d", QX_VT_INT32},
        {"%", QX_VT_INT32},       {"abc%l", QX_VT_INT64},  {"%#d", QX_VT_INT32},   {"%05s", QX_VT_STRING},
        {"%.3p", QX_VT_POINTER},  {"%2000d", QX_VT_INT32}, {"%.2000f", QX_VT_DOUBLE}, {"%m", QX_VT_INT32},
        {"%c", QX_VT_INT64},      {"%Id", QX_VT_INT32},    {"%.2f %f", QX_VT_DOUBLE},
    };
    for (const auto& [format, type] : refused) {
        EXPECT_EQ(codeOf(format, type, FormatUse::Value), PROPHANDLING_INVALID_INPUT_PARAMETER) << format;
    }
    // Names are texts: only %s fits them, and the combination form passes a name and then a value.
    EXPECT_EQ(codeOf("%d", QX_VT_INT32, FormatUse::Name), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(codeOf("%s=%d", QX_VT_INT32, FormatUse::Name), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(codeOf("%d=%s", QX_VT_INT32, FormatUse::NameAndValue), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(codeOf("%s=%d", QX_VT_INT64, FormatUse::NameAndValue), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(codeOf("%s=%d|%d", QX_VT_INT32, FormatUse::NameAndValue), PROPHANDLING_INVALID_INPUT_PARAMETER);
}

TEST(FormatCheck, AcceptsFittingConversions) {
    const std::pair<const char*, std::uint32_t> accepted[] = {
        {"%d", QX_VT_INT32},       {"%-+5i", QX_VT_INT32},   {"0x%08X", QX_VT_INT32}, {"%#o", QX_VT_INT32},
        {"%hhu", QX_VT_INT32},     {"%c", QX_VT_INT32},      {"%lld", QX_VT_INT64},   {"%ld", QX_VT_INT64},
        {"%jx", QX_VT_INT64},      {"%.3e", QX_VT_DOUBLE},   {"%lf", QX_VT_DOUBLE},   {"%#G", QX_VT_DOUBLE},
        {"0x%p", QX_VT_POINTER},   {"%016llx", QX_VT_POINTER}, {"[%-10.3s]", QX_VT_STRING},
        {"no conversion", QX_VT_INT32}, {"100%% %d", QX_VT_INT32}, {"%'d", QX_VT_INT32}, {"", QX_VT_DOUBLE},
        {"0x%llX", QX_VT_INT64},
    };
    for (const auto& [format, type] : accepted) EXPECT_EQ(codeOf(format, type, FormatUse::Value), 0) << format;
    EXPECT_EQ(codeOf("%s=%d,", QX_VT_INT32, FormatUse::NameAndValue), 0);
    EXPECT_EQ(codeOf("%s|", QX_VT_INT64, FormatUse::NameAndValue), 0);
    EXPECT_EQ(codeOf("<%s>", QX_VT_DOUBLE, FormatUse::Name), 0);
}

TEST(FormatCheck, TheMessageNamesTheFormatAndTheReason) {
    const auto f = failureOf([] { checkFormat("Gain %s dB", QX_VT_INT32, FormatUse::Value); });
    EXPECT_EQ(f.code, PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(f.message,
              "Format string 'Gain %s dB' cannot be applied to a 32 bit integer value: the conversion '%s' does not "
              "fit a 32 bit integer value");
    EXPECT_NE(failureOf([] { checkFormat("%d%n", QX_VT_INT32, FormatUse::Value); }).message.find("'%n'"),
              std::string::npos);
}

TEST(FormatOutput, IntegersPointersAndTexts) {
    EXPECT_EQ(text(QX_VT_INT32, i32(-42), nullptr), "-42");
    EXPECT_EQ(text(QX_VT_INT32, i32(255), "0x%04x"), "0x00ff");
    EXPECT_EQ(text(QX_VT_INT32, i32(7), "%-4d|%%"), "7   |%");
    EXPECT_EQ(text(QX_VT_INT32, i32(1234567), "%'d"), "1234567") << "no digit grouping in the C conventions";
    EXPECT_EQ(text(QX_VT_INT64, i64(-9000000000LL), nullptr), "-9000000000");
    EXPECT_EQ(text(QX_VT_INT64, i64(255), "%#llx"), "0xff");
    qxValue p = zeroSlot();
    p.bits = 0x1234;
    EXPECT_EQ(text(QX_VT_POINTER, p, "%06llx"), "001234");
    EXPECT_EQ(text(QX_VT_POINTER, p, nullptr), "0x0000000000001234");
    EXPECT_EQ(text(QX_VT_POINTER, zeroSlot(), "[%-20p]"), "[0000000000000000    ]");
    qxValue s = zeroSlot();
    s.str = const_cast<char*>("abcdef");
    EXPECT_EQ(text(QX_VT_STRING, s, "[%-8.3s]"), "[abc     ]");
    EXPECT_EQ(text(QX_VT_STRING, s, "[%8s]"), "[  abcdef]");
    EXPECT_EQ(text(7, i32(1), nullptr), "") << "an unknown type has no text";
}

TEST(FormatOutput, DoublesFollowPrintfWithoutPrintf) {
    EXPECT_EQ(dtext(1.5, nullptr), "1.500000");
    EXPECT_EQ(dtext(-0.125, "%.2f"), "-0.12") << "round half to even on the exact binary value";
    EXPECT_EQ(dtext(2.5, "%.0f"), "2");
    EXPECT_EQ(dtext(2.0, "%#.0f"), "2.");
    EXPECT_EQ(dtext(1500.0, "%e"), "1.500000e+03");
    EXPECT_EQ(dtext(1500.0, "%.1E"), "1.5E+03");
    EXPECT_EQ(dtext(1e-10, "%.0e"), "1e-10");
    EXPECT_EQ(dtext(1e-10, "%#.0e"), "1.e-10");
    EXPECT_EQ(dtext(100000.0, "%g"), "100000");
    EXPECT_EQ(dtext(1000000.0, "%g"), "1e+06");
    EXPECT_EQ(dtext(0.0001, "%g"), "0.0001");
    EXPECT_EQ(dtext(0.00001234, "%g"), "1.234e-05");
    EXPECT_EQ(dtext(1.5, "%#g"), "1.50000");
    EXPECT_EQ(dtext(123456789.0, "%.3g"), "1.23e+08");
    EXPECT_EQ(dtext(0.0, "%g"), "0");
    EXPECT_EQ(dtext(1.0, "%a"), "0x1p+0");
    EXPECT_EQ(dtext(-0.75, "%A"), "-0X1.8P-1");
    EXPECT_EQ(dtext(3.25, "%+09.2f"), "+00003.25");
    EXPECT_EQ(dtext(3.25, "% .1f"), " 3.2");
    EXPECT_EQ(dtext(3.25, "%-8.1f|"), "3.2     |");
    EXPECT_EQ(dtext(-3.25, "%8.1f"), "    -3.2");
    EXPECT_EQ(dtext(std::numeric_limits<double>::infinity(), "%08f"), "     inf") << "no zero padding for inf";
    EXPECT_EQ(dtext(-std::numeric_limits<double>::infinity(), "%F"), "-INF");
    EXPECT_EQ(dtext(std::nan(""), "%e"), "nan");
    EXPECT_EQ(dtext(1e300, "%.0f").size(), 301u);
    EXPECT_EQ(doubleText(-2.0), "-2.000000");
}

TEST(FormatOutput, NamesAndCombinationForms) {
    std::string out;
    appendFormatted(out, "%s=%d;", QX_VT_INT32, FormatUse::NameAndValue, "Red", i32(4));
    appendFormatted(out, "<%s>", QX_VT_INT32, FormatUse::Name, "Blue", i32(99));
    EXPECT_EQ(out, "Red=4;<Blue>");
    out.clear();
    EXPECT_EQ(failureOf([&] { appendFormatted(out, "%d", QX_VT_INT32, FormatUse::Name, "Red", i32(4)); }).code,
              PROPHANDLING_INVALID_INPUT_PARAMETER)
        << "formatting checks as it goes, so an unchecked format is still refused";
}

} // namespace
} // namespace qx
