// A process forked from one that logs: its lines carry its own process and thread IDs (not the parent's,
// which the logger keeps so it need not ask the system on every message); it keeps the configuration it
// inherited (the watcher thread stays with the parent) and ends without waiting for that thread. And threads
// that log while the debug-flags file changes under them lose no message.
#include <gtest/gtest.h>

#include <unistd.h>

#include <charconv>
#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ForkedChild.h"
#include "LogTestSupport.h"
#include "log/LogMsgWriter.h"

namespace qx {
namespace {

using LogFork = test::LogDirFixture;

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

TEST_F(LogFork, AForkedChildKeepsItsInheritedConfigurationAndEndsWithoutTheWatcher) {
    writeDebugFlags("flags=\"1000\" outputmask=\"10\"");
    auto logger = std::make_unique<LogMsgWriter>("qxPropHandling", "qxDebugFlags.qxd");
    test::Signal changed;
    test::ForkedChild child([&] {
        if (!changed.waitFor(20000)) return 3;
        if (logger->isEnabled(2)) return 4;  // the parent's change did not reach the child
        logger->writeError("child still logs class 3\n");
        logger.reset();  // as the child's exit() would: must not wait for a thread it does not have
        return 0;
    });
    replaceDebugFlags("flags=\"1100\" outputmask=\"10\"");
    ASSERT_TRUE(test::eventually([&] { return logger->isEnabled(2); }));
    changed.notify();
    EXPECT_EQ(child.wait(10000), 0);
    EXPECT_NE(debugOutput().find("child still logs class 3\n"), std::string::npos) << debugOutput();
    replaceDebugFlags("flags=\"100\" outputmask=\"10\"");
    EXPECT_TRUE(test::eventually([&] { return !logger->isEnabled(3); })) << "the parent follows on after the fork";
}

// Classes and the debug output switch on and off under the writers' feet; class 31 and the file stay, so
// every message of every thread must be in the file exactly once, each line whole.
TEST_F(LogFork, ThreadsLoggingWhileTheFileChangesLoseNoMessage) {
    constexpr int kThreads = 3;
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    constexpr int kEach = 1000;
#else
    constexpr int kEach = 5000;
#endif
    const std::string fileAttributes = "outputfile=\"STDLOGDIR/busy\" fileFormat=\"text\" clearFile=\"0\"";
    writeDebugFlags("flags=\"1000\" outputmask=\"100\" " + fileAttributes);
    {
        LogMsgWriter logger("qxPropHandling", "qxDebugFlags.qxd");
        std::atomic<int> running{kThreads};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < kEach; ++i) {
                    logger.writeLoggerError("p%d m%d\n", t, i);
                    logger.writeWarning("warning %d %d\n", t, i);
                }
                running.fetch_sub(1);
            });
        for (int change = 0; running.load() > 0 && change < 200; ++change) {
            replaceDebugFlags(std::string(change % 2 ? "flags=\"1100\" outputmask=\"110\" " : "flags=\"1000\" outputmask=\"100\" ") +
                              fileAttributes);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        for (auto& thread : threads) thread.join();
    }
    const std::string text = test::readText(logs_ / "busy.txt");
    std::vector<std::vector<int>> seen(kThreads, std::vector<int>(kEach, 0));
    int bad = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.starts_with("ts=\"") || line.find("\" td=\"") != 16) {
            ++bad;
            continue;
        }
        const std::size_t at = line.find("df=\"31\":p");
        if (at == std::string_view::npos) continue;
        int t = -1, i = -1;
        const char* p = line.data() + at + 9;
        const char* stop = line.data() + line.size();
        auto r = std::from_chars(p, stop, t);
        if (r.ec == std::errc() && r.ptr + 2 < stop) r = std::from_chars(r.ptr + 2, stop, i);
        if (t < 0 || t >= kThreads || i < 0 || i >= kEach) ++bad;
        else ++seen[t][i];
    }
    EXPECT_EQ(bad, 0);
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kEach; ++i) ASSERT_EQ(seen[t][i], 1) << "thread " << t << " message " << i;
}

} // namespace
} // namespace qx
