// A running logger follows its debug-flags file: classes and outputs change while the process runs, the open
// log file is kept (not cleared again) while its name stays, switched or closed when the file says so, and a
// folder that appears later is found.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "LogTestSupport.h"
#include "log/LogMsgWriter.h"

namespace qx {
namespace {

using test::countOf;
using test::readText;

class LogFollow : public test::LogDirFixture {
protected:
    std::unique_ptr<LogMsgWriter> make() { return std::make_unique<LogMsgWriter>("qxPropHandling", "qxDebugFlags.qxd"); }
};

TEST_F(LogFollow, ClassesEnabledInTheFileReachTheOpenLogWithoutClearingIt) {
    writeDebugFlags("flags=\"1000\" outputmask=\"100\" outputfile=\"STDLOGDIR/follow\" fileFormat=\"text\"");
    auto logger = make();
    logger->writeError("before\n");
    logger->writeWarning("not yet\n");
    replaceDebugFlags("flags=\"1100\" outputmask=\"110\" outputfile=\"STDLOGDIR/follow\" fileFormat=\"text\"");
    // The watcher applies the classes, then logs the new configuration: wait for both.
    const char* newConfiguration = "bitmask set to 10000000 00000000 00000000 00001100.";
    ASSERT_TRUE(test::eventually([&] {
        return logger->isEnabled(2) && countOf(readText(logs_ / "follow.txt"), newConfiguration) > 0;
    }));
    EXPECT_EQ(logger->outputMask(), 6u);
    logger->writeWarning("now %d\n", 2);
    const std::string text = readText(logs_ / "follow.txt");
    EXPECT_EQ(countOf(text, "df=\" 3\":before\n"), 1u) << "the open file was cleared again:\n" << text;
    EXPECT_EQ(countOf(text, "not yet"), 0u) << text;
    EXPECT_EQ(countOf(text, "df=\" 2\":now 2\n"), 1u) << text;
    EXPECT_EQ(countOf(text, newConfiguration), 1u) << text;
    EXPECT_NE(debugOutput().find("now 2\n"), std::string::npos) << "the debug output was turned on too";
    EXPECT_FALSE(std::filesystem::exists(logs_ / "follow.txt.bak")) << "a kept file is not backed up again";
}

TEST_F(LogFollow, FileOutputTurnedOffClosesTheFileAndAnotherNameSwitchesToIt) {
    writeDebugFlags("flags=\"1000\" outputmask=\"100\" outputfile=\"STDLOGDIR/first\"");
    auto logger = make();
    logger->writeError("one\n");
    replaceDebugFlags("flags=\"1000\" outputmask=\"10\" outputfile=\"STDLOGDIR/first\"");
    ASSERT_TRUE(test::eventually([&] { return logger->outputMask() == 2; }));
    std::string first = readText(logs_ / "first.xml");
    std::string error;
    EXPECT_TRUE(test::parsesAsXml(first, &error)) << "closed with its footer: " << error << "\n" << first;
    logger->writeError("two\n");
    EXPECT_EQ(countOf(readText(logs_ / "first.xml"), "two"), 0u);

    replaceDebugFlags("flags=\"1000\" outputmask=\"100\" outputfile=\"STDLOGDIR/second\" fileFormat=\"qxlog\"");
    ASSERT_TRUE(test::eventually([&] { return logger->outputMask() == 4; }));
    EXPECT_EQ(logger->currentFileName(), (logs_ / "second.qxlog").string());
    EXPECT_EQ(logger->fileFormat(), 2);
    logger->writeError("three\n");
    EXPECT_EQ(countOf(readText(logs_ / "second.qxlog"), "df=\"3\" msg=\"three\n\""), 1u);
    EXPECT_NE(readText(logs_ / "files.qxloglist").find("second.qxlog"), std::string::npos);
}

TEST_F(LogFollow, ARemovedFileChangesNothingAndIsReported) {
    writeDebugFlags("flags=\"1100\" outputmask=\"10\"");
    auto logger = make();
    std::filesystem::remove(logs_ / "qxDebugFlags.qxd");
    ASSERT_TRUE(test::eventually([&] { return debugOutput().find("WARNING!!! Debug file") != std::string::npos; }));
    EXPECT_EQ(logger->flags(), 0x8000000Cu);
    EXPECT_EQ(logger->outputMask(), 2u);
}

TEST_F(LogFollow, ALogFolderMadeAfterTheStartIsFollowedAsSoonAsItExists) {
    std::filesystem::remove_all(logs_);
    auto logger = make();
    EXPECT_FALSE(logger->isEnabled(3));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the watcher has looked for it and waits
    std::filesystem::create_directories(logs_);
    replaceDebugFlags("flags=\"1000\" outputmask=\"10\"");
    ASSERT_TRUE(test::eventually([&] { return logger->isEnabled(3); }));
}

TEST_F(LogFollow, ALoggerWithoutADebugFlagsFileNameFollowsNothing) {
    LogMsgWriter logger("qxPropHandling", "");
    replaceDebugFlags("flags=\"1000\" outputmask=\"1\"");
    logger.followDebugFlags();  // asked directly, as the watcher would: there is no file of its own to read
    EXPECT_FALSE(logger.isEnabled(3));
    EXPECT_EQ(logger.outputMask(), 2u);
}

} // namespace
} // namespace qx
