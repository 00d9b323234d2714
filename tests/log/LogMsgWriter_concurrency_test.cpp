// Several processes sharing one log file: every message once, whole lines, one XML header and footer; a writer
// killed in the middle leaves the others going and the file readable; and a backup that fails while another
// process writes the file cannot deadlock the two.
#include <gtest/gtest.h>

#include <expat.h>

#include <charconv>
#include <cstring>
#include <thread>
#include <vector>

#include "ForkedChild.h"
#include "LogTestSupport.h"
#include "log/LogMsgWriter.h"

namespace qx {
namespace {

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int kMessages = 10000;  // sanitizers make every message many times dearer
#else
constexpr int kMessages = 100000;
#endif
constexpr int kProcesses = 4;

// seen[p][i]: how often message i of process p was found.
using Seen = std::vector<std::vector<int>>;

// Finds "p<P> m<I>" at the start of msg and counts it; false for anything else.
bool countMessage(std::string_view msg, Seen& seen) {
    if (msg.size() < 4 || msg[0] != 'p') return false;
    int p = -1, i = -1;
    const char* end = msg.data() + msg.size();
    auto r = std::from_chars(msg.data() + 1, end, p);
    if (r.ec != std::errc() || r.ptr + 2 > end || r.ptr[0] != ' ' || r.ptr[1] != 'm') return false;
    r = std::from_chars(r.ptr + 2, end, i);
    if (r.ec != std::errc() || p < 0 || p >= static_cast<int>(seen.size()) || i < 0 ||
        i >= static_cast<int>(seen[p].size()))
        return false;
    ++seen[p][i];
    return true;
}

// Every line of a text log: the fixed prefix, then either one of our messages or one of the logger's own.
int checkTextLines(const std::string& text, Seen& seen) {
    int bad = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + start, end - start);
        const std::size_t colon = line.find("\" df=\"31\":");
        const bool prefixOk = line.starts_with("ts=\"") && line.find("\" td=\"") == 14 && colon != std::string::npos;
        if (!prefixOk) ++bad;
        else {
            const std::string_view msg = line.substr(colon + 10);
            if (!countMessage(msg, seen) && !msg.starts_with("LogMsgWriter::")) ++bad;
        }
        start = end + 1;
    }
    return bad;
}

struct XmlCount {
    Seen* seen;
    int logmsg = 0;
    int bad = 0;
};

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* count = static_cast<XmlCount*>(data);
    if (std::strcmp(name, "logmsg") != 0) return;
    ++count->logmsg;
    for (const XML_Char** a = attributes; a[0]; a += 2)
        if (std::strcmp(a[0], "msg") == 0) {
            const std::string_view msg(a[1]);
            if (!countMessage(msg, *count->seen) && !msg.starts_with("LogMsgWriter::")) ++count->bad;
        }
}

// Parses a whole XML log, counting our messages; false when it is not one well-formed document.
bool checkXml(const std::string& text, Seen& seen, int& bad, std::string& error) {
    XmlCount count{&seen};
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &count);
    XML_SetStartElementHandler(parser, &onStart);
    const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), XML_TRUE) == XML_STATUS_OK;
    if (!ok) error = XML_ErrorString(XML_GetErrorCode(parser));
    XML_ParserFree(parser);
    bad = count.bad;
    return ok;
}

// A child's work: a text logger and an XML logger on the shared files, each getting every message.
int writeMessages(const std::string& textPath, const std::string& xmlPath, int process, int count,
                  test::Signal* progress) {
    LogMsgWriter text("qxPropHandling", "");
    LogMsgWriter xml("qxPropHandling", "");
    for (LogMsgWriter* w : {&text, &xml}) w->setConsoleOutputs(0);
    text.setTimestampFormat(0);
    text.setOutputToFile(textPath.c_str(), "none", 1, false, false);
    xml.setOutputToFile(xmlPath.c_str(), "none", 0, false, false);
    if (!(text.outputMask() & 4) || !(xml.outputMask() & 4)) return 10;
    for (int i = 0; i < count; ++i) {
        text.writeLoggerError("p%d m%d\n", process, i);
        xml.writeLoggerError("p%d m%d\n", process, i);
        if (progress && i == count / 10) progress->notify();
    }
    return 0;
}

class SharedLogFiles : public test::LogDirFixture {
protected:
    std::string textPath() const { return (logs_ / "shared.txt").string(); }
    std::string xmlPath() const { return (logs_ / "shared.xml").string(); }
};

TEST_F(SharedLogFiles, FourProcessesWriteEveryMessageExactlyOnceInWholeLines) {
    std::vector<std::unique_ptr<test::ForkedChild>> children;
    for (int p = 0; p < kProcesses; ++p)
        children.push_back(std::make_unique<test::ForkedChild>(
            [&, p] { return writeMessages(textPath(), xmlPath(), p, kMessages, nullptr); }));
    for (auto& child : children) EXPECT_EQ(child->wait(100000), 0);

    Seen fromText(kProcesses, std::vector<int>(kMessages, 0));
    EXPECT_EQ(checkTextLines(test::readText(textPath()), fromText), 0);
    Seen fromXml(kProcesses, std::vector<int>(kMessages, 0));
    const std::string xml = test::readText(xmlPath());
    int bad = 0;
    std::string error;
    EXPECT_TRUE(checkXml(xml, fromXml, bad, error)) << error;
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(test::countOf(xml, "<?xml version"), 1u);
    EXPECT_EQ(test::countOf(xml, "</qxTelvarLogFile>"), 1u);
    for (int p = 0; p < kProcesses; ++p)
        for (int i = 0; i < kMessages; ++i) {
            ASSERT_EQ(fromText[p][i], 1) << "text, process " << p << " message " << i;
            ASSERT_EQ(fromXml[p][i], 1) << "xml, process " << p << " message " << i;
        }
}

TEST_F(SharedLogFiles, AWriterKilledMidwayLeavesTheOthersGoingAndTheFilesReadable) {
    test::Signal progress;
    std::vector<std::unique_ptr<test::ForkedChild>> children;
    for (int p = 0; p < kProcesses; ++p)
        children.push_back(std::make_unique<test::ForkedChild>([&, p] {
            return writeMessages(textPath(), xmlPath(), p, kMessages, p == 0 ? &progress : nullptr);
        }));
    ASSERT_TRUE(progress.waitFor(60000));
    children[0]->kill();
    for (int p = 1; p < kProcesses; ++p) EXPECT_EQ(children[p]->wait(100000), 0);

    Seen fromText(kProcesses, std::vector<int>(kMessages, 0));
    EXPECT_EQ(checkTextLines(test::readText(textPath()), fromText), 0);
    Seen fromXml(kProcesses, std::vector<int>(kMessages, 0));
    int bad = 0;
    std::string error;
    const std::string xml = test::readText(xmlPath());
    EXPECT_TRUE(checkXml(xml, fromXml, bad, error)) << error << "\n" << xml.substr(xml.size() > 300 ? xml.size() - 300 : 0);
    EXPECT_EQ(bad, 0);
    for (const Seen* seen : {&fromText, &fromXml}) {
        for (int p = 1; p < kProcesses; ++p)
            for (int i = 0; i < kMessages; ++i) ASSERT_EQ((*seen)[p][i], 1) << "process " << p << " message " << i;
        // The killed writer's messages: a run from the first, each once, nothing after the gap.
        int written = 0;
        while (written < kMessages && (*seen)[0][written] == 1) ++written;
        EXPECT_GT(written, kMessages / 10);
        for (int i = written; i < kMessages; ++i) ASSERT_EQ((*seen)[0][i], 0) << i;
    }
}

// Threads of one process share one logger: its buffers are per thread, its timestamps atomic, and the output
// lock keeps their lines apart.
TEST_F(SharedLogFiles, ThreadsOfOneProcessShareALoggerWithoutLosingAMessage) {
    constexpr int kThreads = 4, kEach = 5000;
    {
        LogMsgWriter logger("qxPropHandling", "");
        logger.setConsoleOutputs(0);
        logger.setTimestampFormat(0);
        logger.setOutputToFile(textPath().c_str(), "none", 1, true, false);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < kEach; ++i) logger.writeLoggerError("p%d m%d\n", t, i);
            });
        for (auto& thread : threads) thread.join();
    }
    Seen seen(kThreads, std::vector<int>(kEach, 0));
    EXPECT_EQ(checkTextLines(test::readText(textPath()), seen), 0);
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kEach; ++i) ASSERT_EQ(seen[t][i], 1) << "thread " << t << " message " << i;
}

// A backup that fails (another process writes the file) is reported by a message that needs the output lock;
// a writer of the same file holds the output lock and waits for the file mutex. Neither may wait for the other.
TEST_F(SharedLogFiles, AFailingBackupWhileAnotherProcessWritesDoesNotDeadlock) {
    const std::string path = (logs_ / "busy.qxlog").string();
    test::Signal started, stop;
    test::ForkedChild writer([&] {
        LogMsgWriter logger("qxPropHandling", "");
        logger.setConsoleOutputs(0);
        logger.setOutputToFile(path.c_str(), "", 2, false, false);
        started.notify();
        for (int i = 0; !stop.waitFor(0); ++i) logger.writeLoggerError("w %d\n", i);
        return 0;
    });
    ASSERT_TRUE(started.waitFor(10000));
    test::ForkedChild backer([&] {
        LogMsgWriter logger("qxPropHandling", "");
        logger.setConsoleOutputs(0);
        for (int i = 0; i < 300; ++i) logger.setOutputToFile(path.c_str(), "", 2, false, true);
        return 0;
    });
    EXPECT_EQ(backer.wait(60000), 0);
    stop.notify();
    EXPECT_EQ(writer.wait(60000), 0);
    const std::string text = test::readText(path);
    EXPECT_GT(test::countOf(text, "Failed to rename file '" + path + "' to '" + path + ".bak'. errno: "), 0u);
}

} // namespace
} // namespace qx
