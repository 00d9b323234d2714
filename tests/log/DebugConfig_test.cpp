// The debug-flags file's rules and defaults, the log file list's text, and both parsers on good and bad XML.
#include <gtest/gtest.h>

#include "log/CDebugFileParser.h"
#include "log/DebugConfig.h"

namespace qx {
namespace {

DebugConfig parse(const std::string& xml, XmlOutcome* outcome = nullptr) {
    CDebugFileParser parser("qxPropHandling");
    const XmlOutcome result = parser.parseAll(xml);
    if (outcome) *outcome = result;
    return parser.config();
}

std::string writer(const std::string& attributes) {
    return "<DebugWriterList><DebugWriter " + attributes + "/></DebugWriterList>";
}

TEST(DebugConfig, AFileWithoutThisModuleKeepsTheStartingValues) {
    const DebugConfig c = parse(writer("name=\"otherModule\" flags=\"111\" outputmask=\"111\""));
    EXPECT_FALSE(c.matched);
    EXPECT_EQ(c.flags, 0u);
    EXPECT_EQ(c.outputMask, 0u);
    EXPECT_EQ(c.fileFormat, 2);
    EXPECT_EQ(c.timestampFormat, 1);
    EXPECT_EQ(c.stylesheet, "qxTelvarLogFile.xsl");
    EXPECT_FALSE(c.clearFile);
    EXPECT_TRUE(c.backupPreviousFile);
}

TEST(DebugConfig, AMatchingElementWithNoAttributesGetsTheDefaults) {
    const DebugConfig c = parse(writer("name=\"qxPropHandling\""));
    EXPECT_TRUE(c.matched);
    EXPECT_EQ(c.flags, 0u);          // flags absent: unchanged
    EXPECT_EQ(c.outputMask, 2u);     // debug output
    EXPECT_EQ(c.fileFormat, 0);      // XML
    EXPECT_EQ(c.timestampFormat, 1); // local_ms
    EXPECT_TRUE(c.clearFile);
    EXPECT_TRUE(c.backupPreviousFile);
    EXPECT_EQ(c.outputFile, "");
}

TEST(DebugConfig, NamesMatchIgnoringCaseButNotLength) {
    EXPECT_TRUE(parse(writer("name=\"QXPROPHANDLING\"")).matched);
    EXPECT_FALSE(parse(writer("name=\"qxPropHandlingX\"")).matched);
    EXPECT_FALSE(parse(writer("flags=\"1\"")).matched);
}

TEST(DebugConfig, EachAttributeTakesEffect) {
    const DebugConfig c = parse(writer(
        "name=\"qxPropHandling\" flags=\"1000\" outputmask=\"101\" outputfile=\"STDLOGDIR/x\" fileFormat=\"TEXT\" "
        "timestampFormat=\"Relative_MS\" clearFile=\"0\" backupPreviousFile=\"0\" stylesheet=\"none\""));
    EXPECT_EQ(c.flags, 8u);
    EXPECT_EQ(c.outputMask, 5u);
    EXPECT_EQ(c.outputFile, "STDLOGDIR/x");
    EXPECT_EQ(c.fileFormat, 1);
    EXPECT_EQ(c.timestampFormat, 0);
    EXPECT_FALSE(c.clearFile);
    EXPECT_FALSE(c.backupPreviousFile);
    EXPECT_EQ(c.stylesheet, "none");
    EXPECT_TRUE(c.problems.empty());
}

TEST(DebugConfig, FileFormatAndTimestampFormatValues) {
    const struct {
        const char* attribute;
        int fileFormat;
        int timestampFormat;
    } cases[] = {{"fileFormat=\"qxlog\"", 2, 1},  {"fileFormat=\"QxLog\"", 2, 1}, {"fileFormat=\"xml\"", 0, 1},
                 {"fileFormat=\"texts\"", 0, 1}, {"timestampFormat=\"local_ms\"", 0, 1},
                 {"timestampFormat=\"relative\"", 0, 1}};
    for (const auto& c : cases) {
        const DebugConfig config = parse(writer(std::string("name=\"qxPropHandling\" ") + c.attribute));
        EXPECT_EQ(config.fileFormat, c.fileFormat) << c.attribute;
        EXPECT_EQ(config.timestampFormat, c.timestampFormat) << c.attribute;
    }
}

TEST(DebugConfig, AMaskWithTheFileBitButNoFileEndsWithoutIt) {
    EXPECT_EQ(parse(writer("name=\"qxPropHandling\" outputmask=\"111\"")).outputMask, 3u);
}

TEST(DebugConfig, FlagsBeyond32DigitsWrapAndAreReported) {
    const DebugConfig c = parse(writer("name=\"qxPropHandling\" flags=\"1" + std::string(32, '0') + "\""));
    EXPECT_EQ(c.flags, 1u);
    ASSERT_EQ(c.problems.size(), 1u);
    EXPECT_NE(c.problems[0].find("more than 32 digits"), std::string::npos);
}

TEST(DebugConfig, ValuesOutOfRangeAreReportedNotFatal) {
    const DebugConfig c =
        parse(writer("name=\"qxPropHandling\" flags=\"12\" outputmask=\"2\" clearFile=\"yes\" backupPreviousFile=\"7\""));
    EXPECT_EQ(c.flags, 2u);
    EXPECT_EQ(c.outputMask, 0u);
    EXPECT_FALSE(c.clearFile);
    EXPECT_TRUE(c.backupPreviousFile);
    EXPECT_EQ(c.problems.size(), 3u);  // flags, outputmask, clearFile; 7 is a fine integer
}

TEST(DebugConfig, ALaterMatchingElementOverridesAndQxlogFilesAreCollectedFromAll) {
    const DebugConfig c = parse(
        "<DebugWriterList>"
        "<DebugWriter name=\"a\" outputfile=\"STDLOGDIR/a\" fileFormat=\"qxlog\"/>"
        "<DebugWriter name=\"qxPropHandling\" flags=\"1\" outputfile=\"one\" fileFormat=\"qxlog\"/>"
        "<DebugWriter name=\"qxpropHandling\" flags=\"10\" outputfile=\"two\" fileFormat=\"text\"/>"
        "<DebugWriter outputfile=\"c\" fileFormat=\"qxlog\"/>"
        "</DebugWriterList>");
    EXPECT_EQ(c.flags, 2u);
    EXPECT_EQ(c.outputFile, "two");
    EXPECT_EQ(c.fileFormat, 1);
    EXPECT_EQ(c.qxlogFiles, (std::vector<std::string>{"STDLOGDIR/a", "one", "c"}));
}

TEST(DebugConfig, MalformedOrTruncatedFilesKeepWhatWasParsed) {
    XmlOutcome outcome;
    const DebugConfig truncated =
        parse("<DebugWriterList><DebugWriter name=\"qxPropHandling\" flags=\"100\"/><DebugWri", &outcome);
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.errorCode, 0);
    EXPECT_FALSE(outcome.errorText.empty());
    EXPECT_EQ(truncated.flags, 4u);

    const DebugConfig garbage = parse("\x01\x02 not xml", &outcome);
    EXPECT_FALSE(outcome.ok);
    EXPECT_FALSE(garbage.matched);

    parse("", &outcome);
    EXPECT_FALSE(outcome.ok);

    const DebugConfig unknown = parse(
        "<DebugWriterList><Other x=\"1\"><DebugWriter name=\"qxPropHandling\" bogus=\"1\" flags=\"1\"/></Other>"
        "</DebugWriterList>",
        &outcome);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(unknown.flags, 1u);
}

TEST(LogFileList, NamesAreBaseNamesSortedAndUnique) {
    const std::vector<std::string> names{"dir\\a.qxlog", "dir/b.qxlog", "a.qxlog", "x//y\\\\", ""};
    EXPECT_EQ(logFileListText(names, false, nullptr),
              "<logfiles>\n  <logfile name=\"a.qxlog\" />\n  <logfile name=\"b.qxlog\" />\n"
              "  <logfile name=\"y\" />\n</logfiles>");
    EXPECT_EQ(logFileListText(names, true, [](const std::string& n) { return n == "b.qxlog"; }),
              "<logfiles>\n  <logfile name=\"b.qxlog\" />\n</logfiles>");
    EXPECT_EQ(logFileListText({}, false, nullptr), "<logfiles>\n</logfiles>");
}

TEST(LogFileList, TheReaderTakesNamesOfLogfileElementsOnly) {
    CLogFileListParser parser;
    const XmlOutcome outcome = parser.parseAll(
        "<logfiles>\n  <logfile name=\"b.qxlog\" />\n  <logfile />\n  <other name=\"z\"/>\n"
        "  <logfile name=\"a &amp; b.qxlog\" />\n</logfiles>");
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(parser.names(), (std::vector<std::string>{"b.qxlog", "a & b.qxlog"}));
    // A name the writer escaped reads back as it was.
    CLogFileListParser roundTrip;
    EXPECT_TRUE(roundTrip.parseAll(logFileListText({"d/x&<\"y.qxlog"}, false, nullptr)).ok);
    EXPECT_EQ(roundTrip.names(), (std::vector<std::string>{"x&<\"y.qxlog"}));
}

} // namespace
} // namespace qx
