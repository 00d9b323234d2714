// Byte-exact layouts of the logger's lines, header, summary texts and file paths.
#include <gtest/gtest.h>

#include "log/LogFormat.h"

namespace qx::logformat {
namespace {

LineFields fields(std::int64_t ts, std::string_view tsText, std::int64_t td, int df) {
    LineFields f;
    f.ts = ts;
    f.tsText = tsText;
    f.td = td;
    f.procId = 4242;
    f.threadId = 77;
    f.messageClass = df;
    return f;
}

TEST(LogFormat, FileAndConsoleLinesHaveTheirExactLayouts) {
    struct Case {
        int fileFormat;  // -1: console line
        int timestampFormat;
        const char* expected;
    };
    const Case cases[] = {
        {Text, RelativeMs,
         "ts=\"     12345\" td=\"         7\" procId=\"      4242\" threadId=\"        77\" df=\" 3\":a \"b\"\n"},
        {Text, LocalMs,
         "ts=\"09:05:03.120\" td=\"         7\" procId=\"      4242\" threadId=\"        77\" df=\" 3\":a \"b\"\n"},
        {Xml, RelativeMs,
         "<logmsg ts=\"     12345\" td=\"         7\" procId=\"4242\" threadId=\"        77\" df=\"3\" "
         "msg=\"a &quot;b&quot;\n\" />\n"},
        {QxLog, LocalMs,
         "<logmsg ts=\"09:05:03.120\" td=\"         7\" procId=\"4242\" threadId=\"        77\" df=\"3\" "
         "msg=\"a &quot;b&quot;\n\" />\n"},
        {-1, RelativeMs, "{     12345,          7,       4242,         77}: a \"b\"\n"},
        {-1, LocalMs, "{09:05:03.120,          7,       4242,         77}: a \"b\"\n"},
    };
    for (const Case& c : cases) {
        std::string out;
        const LineFields f = fields(12345, "09:05:03.120", 7, 3);
        if (c.fileFormat < 0) appendConsoleLine(out, c.timestampFormat, f, "a \"b\"\n");
        else appendFileLine(out, c.fileFormat, c.timestampFormat, f, "a \"b\"\n");
        EXPECT_EQ(out, c.expected) << "format " << c.fileFormat << "/" << c.timestampFormat;
    }
}

TEST(LogFormat, WideAndNegativeNumbersAreNotClipped) {
    std::string out;
    appendConsoleLine(out, RelativeMs, fields(123456789012LL, "", -5, 31), "x");
    EXPECT_EQ(out, "{123456789012,         -5,       4242,         77}: x");
    out.clear();
    appendFileLine(out, Text, RelativeMs, fields(0, "", 0, 31), "");
    EXPECT_EQ(out, "ts=\"         0\" td=\"         0\" procId=\"      4242\" threadId=\"        77\" df=\"31\":");
}

TEST(LogFormat, EscapingKeepsEveryMessageWellFormed) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"&<\"", "&amp;&lt;&quot;"},
        {"&amp;", "&amp;amp;"},  // an entity in the text is escaped once, not left alone
        {"> ' \t\r\n", "> ' \t\r\n"},
        {std::string("a\0b\x01\x1f\x7f", 6), "a?b???"},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},  // valid UTF-8 stays
        {"\xC3", "?"},                   // truncated sequence
        {"\xC0\xAF", "??"},              // overlong
        {"\xED\xA0\x80", "???"},         // surrogate
        {"\xF4\x90\x80\x80", "????"},    // past U+10FFFF
        {"\xEF\xBF\xBF", "???"},         // U+FFFF
        {"\xFFok", "?ok"},
    };
    for (const auto& c : cases) {
        std::string out;
        appendEscaped(out, c.in);
        EXPECT_EQ(out, c.out);
    }
}

TEST(LogFormat, HeaderCarriesTheStylesheetUnlessNone) {
    EXPECT_EQ(xmlHeader("dir/a.xml", "s.xsl"),
              "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\n"
              "<?xml-stylesheet href=\"s.xsl\" type=\"text/xsl\"?>\n"
              "<qxTelvarLogFile name=\"dir/a.xml\">\n");
    EXPECT_EQ(xmlHeader("a.xml", "none"),
              "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\n<qxTelvarLogFile name=\"a.xml\">\n");
    EXPECT_EQ(kFooter, "</qxTelvarLogFile>");
}

TEST(LogFormat, TimeOfDayIsLocalWithMilliseconds) {
    const std::int64_t hour100ns = 3600LL * 10000000;
    const std::int64_t day = 86400LL * 10000000;
    // 2 days + 13:14:15.678 UTC
    const std::int64_t now = 2 * day + 13 * hour100ns + (14 * 60 + 15) * 10000000LL + 6789999;
    EXPECT_EQ(timeOfDayText(now, 0), "13:14:15.678");
    EXPECT_EQ(timeOfDayText(now, -2 * 3600000), "15:14:15.678");     // east of UTC
    EXPECT_EQ(timeOfDayText(now, 14 * 3600000), "23:14:15.678");     // west, wraps to the day before
}

TEST(LogFormat, FlagWordTextGroupsEightDigitsFromTheRight) {
    EXPECT_EQ(flagWordText(0x80000000u), "10000000 00000000 00000000 00000000");
    EXPECT_EQ(flagWordText(0x8000002Cu), "10000000 00000000 00000000 00101100");
    EXPECT_EQ(flagWordText(0x5u), "101");
    EXPECT_EQ(flagWordText(0x100u), "1 00000000");
    EXPECT_EQ(flagWordText(0), "0");
}

TEST(LogFormat, OutputsTextNamesTheSetBitsInOrder) {
    EXPECT_EQ(outputsText(7, "a\"<&b.xml"), "standard out, system debug output, file (a###b.xml)");
    EXPECT_EQ(outputsText(2, "x"), "system debug output");
    EXPECT_EQ(outputsText(5, "x"), "standard out, file (x)");
    EXPECT_EQ(outputsText(0, "x"), "");
}

TEST(LogFormat, BitStringsCountFromTheLastCharacterAndWrapAt32) {
    EXPECT_EQ(parseBitString("1000"), 8u);
    EXPECT_EQ(parseBitString("1" + std::string(32, '0')), 1u);
    EXPECT_EQ(parseBitString("1x1"), 5u);
    EXPECT_EQ(parseBitString(""), 0u);
    EXPECT_EQ(parseBitString("111"), 7u);
}

TEST(LogFormat, LogFilePathsGetTheDirectoryAndTheExtension) {
    const struct {
        const char* name;
        int format;
        const char* path;
    } cases[] = {
        {"STDLOGDIR/propLog", QxLog, "/d/Logs/propLog.qxlog"},
        {"STDLOGDIR/a.txt", Text, "/d/Logs/a.txt"},
        {"a.txt", Xml, "a.txt.xml"},
        {"a.xml", Xml, "a.xml"},
        {"STDLOGDIR/STDLOGDIR", Text, "/d/Logs/STDLOGDIR.txt"},
        {"x", 7, "x.xml"},
    };
    for (const auto& c : cases) EXPECT_EQ(buildLogFilePath("/d/Logs", c.name, c.format), c.path) << c.name;
    EXPECT_EQ(objectNameOf("C:\\a/b"), "C:#a#b");
}

TEST(LogFormat, LastTimestampIsFoundInEitherTimestampFormat) {
    const std::string relative = "<logmsg ts=\"        10\" td=\"x\" />\n<logmsg ts=\"      2500\" td=\"0\" />\n";
    EXPECT_EQ(lastTimestampIn(relative, RelativeMs, 0), 2500);
    EXPECT_EQ(lastTimestampIn("no stamp here", RelativeMs, 0), 0);
    EXPECT_EQ(lastTimestampIn("ts=\"junk\" ts=\"  17\" td", RelativeMs, 0), 17);
    const std::string local = "ts=\"01:00:00.500\" td=\"0\"";
    EXPECT_EQ(lastTimestampIn(local, LocalMs, 0), 3600500);
    EXPECT_EQ(lastTimestampIn(local, LocalMs, -3600000), 500);  // local 01:00 east of UTC by one hour
}

} // namespace
} // namespace qx::logformat
