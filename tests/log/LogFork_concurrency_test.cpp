// A process forked from one that logs: its lines carry its own process and thread IDs (not the parent's,
// which the logger keeps so it need not ask the system on every message).
#include <gtest/gtest.h>

#include <unistd.h>

#include <regex>
#include <string>

#include "ForkedChild.h"
#include "LogTestSupport.h"
#include "log/LogMsgWriter.h"

namespace qx {
namespace {

class LogFork : public test::LogDirFixture {};

TEST_F(LogFork, AForkedChildLogsWithItsOwnProcessAndThreadIds) {
    const std::string path = (logs_ / "fork.txt").string();
    LogMsgWriter logger("qxPropHandling", "");
    logger.setConsoleOutputs(0);
    logger.setOutputToFile(path.c_str(), "none", 1, true, false);
    logger.writeLoggerError("parent before\n");  // the parent's IDs are known now
    int childPid = 0;
    {
        test::ForkedChild child([&] {
            logger.writeLoggerError("child %d\n", static_cast<int>(::getpid()));
            return 0;
        });
        EXPECT_EQ(child.wait(10000), 0);
    }
    logger.writeLoggerError("parent after\n");
    const std::string text = test::readText(path);
    const std::regex childLine("procId=\" *(\\d+)\" threadId=\" *(\\d+)\" df=\"31\":child (\\d+)\n");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, childLine)) << text;
    childPid = std::stoi(m[3]);
    EXPECT_NE(childPid, ::getpid());
    EXPECT_EQ(std::stoi(m[1]), childPid);
    EXPECT_EQ(std::stoi(m[2]), childPid) << "a forked child's one thread has the child's ID";
    const std::regex parentLine("procId=\" *" + std::to_string(::getpid()) + "\" threadId=\" *" +
                                std::to_string(::gettid()) + "\" df=\"31\":parent after\n");
    EXPECT_TRUE(std::regex_search(text, parentLine)) << text;
}

} // namespace
} // namespace qx
