// `qxprop log show FILE --follow SECONDS` while another process appends to FILE: the lines written after the
// shell started reach its output, each once. The shell runs as its own process on a pipe; the writer is a
// forked child with a logger of its own. The only waits are deadlines far above what the steps take.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "ForkedChild.h"
#include "log/LogMsgWriter.h"

namespace qx {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The shell on a pipe: start() runs it, readUntil() collects its output until a text shows up.
class Shell {
public:
    explicit Shell(const std::string& command) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            ::execl(QXPROP_FILE, "qxprop", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~Shell() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // Reads until output holds text, the shell ends, or the deadline passes; whether text was seen.
    bool readUntil(const std::string& text, Clock::time_point deadline) {
        while (output_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 || out_ < 0) return false;
            pollfd fd{out_, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(left)) <= 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0) return output_.find(text) != std::string::npos;
            output_.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    const std::string& output() const { return output_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

class LogShowFollow : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qx-follow-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    fs::path dir_;
};

// Each format is read its own way (lines, an XML document still without its footer, XML fragments).
TEST_F(LogShowFollow, LinesAddedByAnotherProcessWhileTheShellFollowsAreShownOnce) {
#ifndef QXPROP_FILE
    GTEST_SKIP() << "the shell is not built";
#else
    constexpr int kMessages = 50;
    for (const auto& [extension, format] : {std::pair{".txt", 1}, std::pair{".xml", 0}, std::pair{".qxlog", 2}}) {
        SCOPED_TRACE(extension);
        const std::string path = (dir_ / (std::string("followed") + extension)).string();
        const auto writeLog = [&](const char* what, int count) {
            LogMsgWriter logger("qxPropHandling", "");
            logger.setConsoleOutputs(0);
            logger.setOutputToFile(path.c_str(), "none", format, false, false);
            for (int i = 0; i < count; ++i) logger.writeLoggerError("%s %d\n", what, i);
        };
        writeLog("before", 1);
        Shell shell("log show " + path + " --messages --follow 60");
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        ASSERT_TRUE(shell.readUntil("[31] before 0", deadline)) << shell.output();
        test::ForkedChild writer([&] {
            writeLog("after", kMessages);
            return 0;
        });
        EXPECT_EQ(writer.wait(30000), 0);
        ASSERT_TRUE(shell.readUntil("[31] after " + std::to_string(kMessages - 1) + "\n", deadline)) << shell.output();
        for (int i = 0; i < kMessages; ++i)
            EXPECT_EQ(countOf(shell.output(), "[31] after " + std::to_string(i) + "\n"), 1u) << shell.output();
        EXPECT_EQ(countOf(shell.output(), "[31] before 0\n"), 1u) << shell.output();
    }
#endif
}

} // namespace
} // namespace qx
