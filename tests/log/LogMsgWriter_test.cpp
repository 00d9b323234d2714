// The logger end to end: configured by a debug-flags file in a private data directory, writing to a debug
// output file and to log files, whose lines are matched by shape where they vary.
#include <gtest/gtest.h>

#include <unistd.h>

#include <regex>

#include "LogTestSupport.h"
#include "log/LogMsgWriter.h"
#include "platform/SharedFile.h"

namespace qx {
namespace {

using test::countOf;
using test::readText;
using test::writeText;

class LogMsgWriterTest : public test::LogDirFixture {
protected:
    std::unique_ptr<LogMsgWriter> make() { return std::make_unique<LogMsgWriter>("qxPropHandling", "qxDebugFlags.qxd"); }
    std::string pid() const { return std::to_string(::getpid()); }
};

TEST_F(LogMsgWriterTest, WithoutAFileOnlyClass31ReachesTheDebugOutputAsBracedLocalLines) {
    auto logger = make();
    logger->writeWarning("%s: WARNING!!! w\n", "f");
    logger->writeError("%s: ERROR!!! e\n", "f");
    logger->writeInformation("i\n");
    logger->writeLoggerError("%s: ERROR!!! mine %d\n", "g", 5);
    const std::string out = debugOutput();
    const std::regex expected(
        "\\{\\d\\d:\\d\\d:\\d\\d\\.\\d{3}, +\\d+, +" + pid() +
        ", +\\d+\\}: LogMsgWriter::logCurrentConfiguration: output set to system debug output, bitmask set to "
        "10000000 00000000 00000000 00000000\\.\n"
        "\\{\\d\\d:\\d\\d:\\d\\d\\.\\d{3}, +\\d+, +" + pid() + ", +\\d+\\}: g: ERROR!!! mine 5\n");
    EXPECT_TRUE(std::regex_match(out, expected)) << out;
    EXPECT_EQ(logger->outputMask(), 2u);
    EXPECT_EQ(logger->flags(), 0x80000000u);
}

TEST_F(LogMsgWriterTest, ClassesFollowTheFlagWordAndBit31StaysOn) {
    auto logger = make();
    logger->setFlags(1u << 3);
    EXPECT_TRUE(logger->isEnabled(3));
    EXPECT_TRUE(logger->isEnabled(31));
    EXPECT_FALSE(logger->isEnabled(2));
    EXPECT_FALSE(logger->isEnabled(1));
    EXPECT_EQ(logger->flags(), 0x80000008u);
}

TEST_F(LogMsgWriterTest, ATextFileGetsEveryEnabledMessageInItsLayout) {
    writeDebugFlags("flags=\"1110\" outputmask=\"100\" outputfile=\"STDLOGDIR/run\" fileFormat=\"text\" "
                    "timestampFormat=\"relative_ms\"");
    auto logger = make();
    logger->writeWarning("%s: WARNING!!! value %d\n", "qx::X::y", 12);
    logger->writeDiagnostic("not enabled\n");
    EXPECT_EQ(logger->currentFileName(), (logs_ / "run.txt").string());
    logger.reset();
    const std::string text = readText(logs_ / "run.txt");
    const std::string prefix = "ts=\" *\\d+\" td=\" *\\d+\" procId=\" *" + pid() + "\" threadId=\" *\\d+\" ";
    const std::regex expected(
        prefix + "df=\" 1\":LogMsgWriter::logCurrentConfiguration: Process " + pid() + " connected to logger qxPropHandling\\.\n" +
        prefix + "df=\"31\":LogMsgWriter::logCurrentConfiguration: output set to file \\(" + logs_.string() +
        "/run\\.txt\\), bitmask set to 10000000 00000000 00000000 00001110\\.\n" +
        prefix + "df=\" 2\":qx::X::y: WARNING!!! value 12\n" +
        prefix + "df=\"31\":LogMsgWriter::~LogMsgWriter: Process " + pid() + " disconnected from logger qxPropHandling\\.\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
    EXPECT_EQ(text.find("td=\"         0\""), text.find("td=")) << "the first line of a new file has no predecessor";
}

TEST_F(LogMsgWriterTest, AnXmlFileIsOneDocumentWithEscapedMessages) {
    writeDebugFlags("flags=\"1000\" outputmask=\"100\" outputfile=\"STDLOGDIR/doc\" stylesheet=\"my.xsl\"");
    auto logger = make();
    logger->writeError("%s: ERROR!!! a&b <c> \"d\" \x01 \xff\n", "f");
    logger.reset();
    const std::string text = readText(logs_ / "doc.xml");
    const std::string header = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\n"
                               "<?xml-stylesheet href=\"my.xsl\" type=\"text/xsl\"?>\n"
                               "<qxTelvarLogFile name=\"" + (logs_ / "doc.xml").string() + "\">\n";
    EXPECT_EQ(text.rfind(header, 0), 0u) << text;
    EXPECT_TRUE(text.ends_with("\" />\n</qxTelvarLogFile>")) << text;
    EXPECT_NE(text.find("df=\"3\" msg=\"f: ERROR!!! a&amp;b &lt;c> &quot;d&quot; ? ?\n\" />\n"), std::string::npos)
        << text;
    const std::regex line("<logmsg ts=\"\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\" td=\" *\\d+\" procId=\"" + pid() +
                          "\" threadId=\" *\\d+\" df=\"3\" msg=\"");
    EXPECT_TRUE(std::regex_search(text, line)) << text;
    std::string error;
    EXPECT_TRUE(test::parsesAsXml(text, &error)) << error;
}

TEST_F(LogMsgWriterTest, EveryByteAndCallersTextLeaveTheXmlFileWellFormed) {
    writeDebugFlags("flags=\"1000\" outputmask=\"100\" outputfile=\"STDLOGDIR/bytes\" fileFormat=\"qxlog\"");
    auto logger = make();
    std::string everyByte;
    for (int c = 1; c < 256; ++c) everyByte.push_back(static_cast<char>(c));
    logger->writeError("%s\n", everyByte.c_str());
    logger->writeError("%s\n", "\xE2\x82 cut \xF0\x9F\x98 cut \xC0\x80 \xED\xB0\x80 \xF8\x88\x80\x80\x80");
    logger->writeError("%s: %s\n", "qx::X::y", "%s%n%d%%");  // a caller's text is an argument, never a format
    logger.reset();
    const std::string text = readText(logs_ / "bytes.qxlog");
    std::string error;
    EXPECT_TRUE(test::parsesAsXml("<r>" + text + "</r>", &error)) << error;
    EXPECT_NE(text.find("msg=\"qx::X::y: %s%n%d%%\n\""), std::string::npos) << text;
    EXPECT_EQ(countOf(text, "df=\"3\" msg="), 3u);
}

TEST_F(LogMsgWriterTest, ReopeningAnXmlFileKeepsItsMessagesWithOneHeaderAndOneFooter) {
    writeDebugFlags("flags=\"1000\" outputmask=\"100\" outputfile=\"STDLOGDIR/keep\" clearFile=\"0\" "
                    "timestampFormat=\"relative_ms\"");
    for (int run = 0; run < 3; ++run) {
        auto logger = make();
        logger->writeError("run %d\n", run);
    }
    const std::string text = readText(logs_ / "keep.xml");
    EXPECT_EQ(countOf(text, "<?xml version"), 1u) << text;
    EXPECT_EQ(countOf(text, "</qxTelvarLogFile>"), 1u) << text;
    for (int run = 0; run < 3; ++run) EXPECT_EQ(countOf(text, "msg=\"run " + std::to_string(run) + "\n"), 1u) << text;
    EXPECT_TRUE(test::parsesAsXml(text));
}

TEST_F(LogMsgWriterTest, AReopenedFileContinuesFromItsLastTimestamp) {
    writeText(logs_ / "old.txt", "ts=\"         5\" td=\"         0\" procId=\"1\" threadId=\"1\" df=\" 3\":old\n");
    writeDebugFlags("flags=\"1000\" outputmask=\"100\" outputfile=\"STDLOGDIR/old\" fileFormat=\"text\" clearFile=\"0\" "
                    "timestampFormat=\"relative_ms\"");
    make();
    const std::string text = readText(logs_ / "old.txt");
    EXPECT_EQ(text.rfind("ts=\"         5\" td=\"         0\" procId=\"1\" threadId=\"1\" df=\" 3\":old\n", 0), 0u);
    const std::regex firstNew("\n ?ts=\" *(\\d+)\" td=\" *(\\d+)\"");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, firstNew)) << text;
    EXPECT_EQ(std::stoll(m[2].str()), std::stoll(m[1].str()) - 5) << text;
}

TEST_F(LogMsgWriterTest, ClearingStartsAFreshFileAndBackupKeepsThePreviousOne) {
    writeDebugFlags("flags=\"1000\" outputmask=\"100\" outputfile=\"STDLOGDIR/b\" fileFormat=\"text\"");
    make()->writeError("first\n");
    make()->writeError("second\n");
    const std::string current = readText(logs_ / "b.txt"), backup = readText(logs_ / "b.txt.bak");
    EXPECT_EQ(countOf(current, ":second\n"), 1u);
    EXPECT_EQ(countOf(current, ":first\n"), 0u);
    EXPECT_EQ(countOf(backup, ":first\n"), 1u);

    writeDebugFlags("flags=\"1000\" outputmask=\"100\" outputfile=\"STDLOGDIR/b\" fileFormat=\"text\" "
                    "backupPreviousFile=\"0\"");
    make()->writeError("third\n");
    EXPECT_EQ(countOf(readText(logs_ / "b.txt"), ":second\n"), 0u);
    EXPECT_EQ(countOf(readText(logs_ / "b.txt.bak"), ":first\n"), 1u) << "the backup is left alone";
}

TEST_F(LogMsgWriterTest, ASecondWriterNeitherClearsNorWritesTheHeaderAndTheLastWritesTheFooter) {
    writeDebugFlags("flags=\"1000\" outputmask=\"100\" outputfile=\"STDLOGDIR/two\"");
    auto first = make();
    auto second = make();
    first->writeError("from first\n");
    second->writeError("from second\n");
    const std::string path = (logs_ / "two.xml").string();
    first.reset();
    EXPECT_EQ(countOf(readText(path), "</qxTelvarLogFile>"), 0u);
    second.reset();
    const std::string text = readText(path);
    EXPECT_EQ(countOf(text, "<?xml version"), 1u);
    EXPECT_EQ(countOf(text, "</qxTelvarLogFile>"), 1u);
    // Every line whole: the first writer truncated the file when it opened it, and still appends after the
    // second writer's lines rather than over them.
    for (const char* message : {"from first", "from second", "output set to", "disconnected from"})
        EXPECT_EQ(countOf(text, message), std::string_view(message).starts_with("from") ? 1u : 2u) << message;
    EXPECT_EQ(countOf(text, "<logmsg ts=\""), 6u) << text;
    EXPECT_TRUE(test::parsesAsXml(text));
}

TEST_F(LogMsgWriterTest, AQxlogFileHasNoHeaderAndIsAddedToTheLogFileList) {
    // A namespace of our own, so this logger is the first on the system.
    const std::string savedSyncDir = std::getenv("QXPROPHANDLING_SYNC_DIR") ? std::getenv("QXPROPHANDLING_SYNC_DIR") : "";
    ::setenv("QXPROPHANDLING_SYNC_DIR", (root_ / "ns").c_str(), 1);
    writeText(logs_ / "files.qxloglist", "<logfiles>\n  <logfile name=\"zeta.qxlog\" />\n</logfiles>");
    writeText(logs_ / "present.qxlog", "");  // exists in the log folder, not in the current directory
    writeText(logs_ / "qxDebugFlags.qxd",
              "<DebugWriterList><DebugWriter name=\"viewer\" outputfile=\"STDLOGDIR/present\" fileFormat=\"qxlog\"/>"
              "<DebugWriter name=\"viewer2\" outputfile=\"STDLOGDIR/absent\" fileFormat=\"qxlog\"/>"
              "<DebugWriter name=\"qxPropHandling\" flags=\"1000\" outputmask=\"100\" outputfile=\"STDLOGDIR/propLog\" "
              "fileFormat=\"qxlog\"/></DebugWriterList>");
    auto logger = make();
    logger->writeError("q\n");
    logger.reset();
    const std::string text = readText(logs_ / "propLog.qxlog");
    EXPECT_EQ(text.rfind("<logmsg ts=\"", 0), 0u) << text;
    EXPECT_EQ(countOf(text, "<?xml"), 0u);
    EXPECT_EQ(countOf(text, "</qxTelvarLogFile>"), 0u);
    // First on the system: the list was rewritten from the debug-flags file's qxlog files with existence
    // checked (absent.qxlog is dropped, and zeta.qxlog, which only the old list named), then propLog was added.
    EXPECT_EQ(readText(logs_ / "files.qxloglist"),
              "<logfiles>\n  <logfile name=\"present.qxlog\" />\n  <logfile name=\"propLog.qxlog\" />\n</logfiles>");
    if (savedSyncDir.empty()) ::unsetenv("QXPROPHANDLING_SYNC_DIR");
    else ::setenv("QXPROPHANDLING_SYNC_DIR", savedSyncDir.c_str(), 1);
}

TEST_F(LogMsgWriterTest, BadOutputFilesAreRefusedWithAReason) {
    const struct {
        const char* outputfile;
        const char* expected;
    } cases[] = {
        {"STDLOGDIR/../../escape", "leaves the log directory with '..'; refused. Stopping file output"},
        {"STDLOGDIR/missing/dir/x", "does not exist."},
        {"STDLOGDIR/missing/dir/x", "ERROR!!! Can't create file '"},
    };
    for (const auto& c : cases) {
        writeDebugFlags(std::string("flags=\"1000\" outputmask=\"110\" outputfile=\"") + c.outputfile + "\"");
        auto logger = make();
        EXPECT_EQ(logger->outputMask(), 2u) << c.outputfile;
        EXPECT_NE(debugOutput().find(c.expected), std::string::npos) << debugOutput();
    }
    EXPECT_FALSE(std::filesystem::exists(root_ / "escape.xml"));
    auto logger = make();
    logger->setOutputToFile(nullptr, "", 1, true, false);
    EXPECT_NE(debugOutput().find("LogMsgWriter::setOutputToFile: ERROR!!! Invalid fileName(null).\n"),
              std::string::npos);
}

TEST_F(LogMsgWriterTest, ProblemsInTheDebugFlagsFileAreReportedAsClass31) {
    writeText(logs_ / "qxDebugFlags.qxd",
              "<DebugWriterList><DebugWriter name=\"qxPropHandling\" outputmask=\"10\" flags=\"2\"/><Debug");
    make();
    const std::string out = debugOutput();
    EXPECT_NE(out.find("LogMsgWriter::processDebugData: ERROR!!! XML error: "), std::string::npos) << out;
    EXPECT_NE(out.find("flags=\"2\" holds characters other than 0 and 1"), std::string::npos) << out;
}

TEST_F(LogMsgWriterTest, AFileOfOtherModulesOnlyTurnsAllOutputOff) {
    writeText(logs_ / "qxDebugFlags.qxd", "<DebugWriterList><DebugWriter name=\"other\" outputmask=\"11\"/></DebugWriterList>");
    auto logger = make();
    EXPECT_EQ(logger->outputMask(), 0u);
    logger->writeLoggerError("silent\n");
    EXPECT_EQ(debugOutput(), "");
}

TEST_F(LogMsgWriterTest, BackupFailuresOfQxlogFilesAreLoggedAndAHeldFileIsNotRenamed) {
    auto logger = std::make_unique<LogMsgWriter>("qxPropHandling", "");
    const std::string path = (logs_ / "held.qxlog").string();
    std::filesystem::create_directories(path + ".bak/inside");
    writeText(path, "old\n");
    logger->setOutputToFile(path.c_str(), "", 2, true, true);
    EXPECT_NE(debugOutput().find("}: Failed to delete file '" + path + ".bak'. errno: Is a directory(21).\n"),
              std::string::npos)
        << debugOutput();
    EXPECT_EQ(logger->outputMask(), 6u) << "logging goes on with the old file";

    // While another writer holds the file, it is neither renamed nor deleted, and no backup is attempted.
    std::filesystem::remove_all(path + ".bak");
    auto other = platform::SharedFile::open(path, platform::SharedFile::Mode::Append);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(platform::renameFile(path, path + ".x"), EBUSY);
    EXPECT_EQ(platform::removeFile(path), EBUSY);
    logger->setOutputToFile(path.c_str(), "", 2, true, true);
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));
    other.reset();
    logger->setOutputToFile(path.c_str(), "", 2, true, true);
    EXPECT_TRUE(std::filesystem::exists(path + ".bak"));
}

TEST(LogDirectories, TheDataFolderFollowsTheEnvironmentAndNeverTheRoot) {
    const char* saved[] = {"QXTELVAR_DATA_DIR", "XDG_DATA_HOME", "HOME"};
    std::string values[3];
    bool present[3];
    for (int i = 0; i < 3; ++i) {
        const char* v = std::getenv(saved[i]);
        present[i] = v != nullptr;
        if (v) values[i] = v;
    }
    ::setenv("QXTELVAR_DATA_DIR", "/data/x", 1);
    EXPECT_EQ(LogMsgWriter::dataDirectory(), "/data/x");
    EXPECT_EQ(LogMsgWriter::logDirectory(), "/data/x/Logs");
    ::setenv("QXTELVAR_DATA_DIR", "", 1);
    ::setenv("XDG_DATA_HOME", "/xdg", 1);
    EXPECT_EQ(LogMsgWriter::dataDirectory(), "/xdg/Orsolan/Telvar");
    ::setenv("XDG_DATA_HOME", "relative", 1);
    ::setenv("HOME", "/home/u/", 1);
    EXPECT_EQ(LogMsgWriter::logDirectory(), "/home/u/.local/share/Orsolan/Telvar/Logs");
    ::setenv("HOME", "/", 1);
    const std::string fallback = LogMsgWriter::dataDirectory();
    EXPECT_NE(fallback.rfind("/.local", 0), 0u) << fallback;
    ::setenv("HOME", "", 1);
    EXPECT_NE(LogMsgWriter::dataDirectory().rfind("/.local", 0), 0u);
    for (int i = 0; i < 3; ++i) {
        if (present[i]) ::setenv(saved[i], values[i].c_str(), 1);
        else ::unsetenv(saved[i]);
    }
}

} // namespace
} // namespace qx
