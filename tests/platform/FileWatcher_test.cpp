// The file watcher behind a running logger's debug-flags file: which changes call back, which do not, and
// that it stops cleanly, also as a copy inherited by a fork()ed child.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ForkedChild.h"
#include "platform/FileWatcher.h"

namespace qx::platform {
namespace {

namespace fs = std::filesystem;

bool eventually(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class FileWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qx-watch-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name) << text; }
    std::unique_ptr<FileWatcher> watch() {
        return FileWatcher::start(dir_.string(), "flags.qxd", [this] { calls_.fetch_add(1); });
    }

    fs::path dir_;
    std::atomic<int> calls_{0};
};

TEST_F(FileWatcherTest, WritingReplacingAndRemovingTheFileCallBack) {
    auto watcher = watch();
    ASSERT_TRUE(watcher);
    const struct {
        const char* what;
        std::function<void()> change;
    } cases[] = {
        {"written and closed", [&] { write("flags.qxd", "a"); }},
        {"renamed into place", [&] { write("new.tmp", "b"); fs::rename(dir_ / "new.tmp", dir_ / "flags.qxd"); }},
        {"renamed away", [&] { fs::rename(dir_ / "flags.qxd", dir_ / "old.qxd"); }},
        {"written again", [&] { write("flags.qxd", "c"); }},
        {"removed", [&] { fs::remove(dir_ / "flags.qxd"); }},
    };
    for (const auto& c : cases) {
        const int before = calls_.load();
        c.change();
        EXPECT_TRUE(eventually([&] { return calls_.load() > before; })) << c.what;
    }
}

TEST_F(FileWatcherTest, OtherFilesOfTheFolderDoNotCallBack) {
    auto watcher = watch();
    ASSERT_TRUE(watcher);
    write("flags.qxd.bak", "x");
    write("other.qxd", "y");
    fs::rename(dir_ / "other.qxd", dir_ / "moved.qxd");
    fs::remove(dir_ / "moved.qxd");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(calls_.load(), 0);
}

TEST_F(FileWatcherTest, NoCallbackRunsAfterTheWatcherIsGone) {
    auto watcher = watch();
    ASSERT_TRUE(watcher);
    watcher.reset();
    write("flags.qxd", "late");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(calls_.load(), 0);
}

// The child has no watcher thread: dropping the inherited copy must neither hang nor stop the parent's.
TEST_F(FileWatcherTest, AForkedChildLetsGoOfItsCopyAndTheParentKeepsWatching) {
    auto watcher = watch();
    ASSERT_TRUE(watcher);
    test::ForkedChild child([&] {
        watcher.reset();
        return 0;
    });
    EXPECT_EQ(child.wait(10000), 0);
    write("flags.qxd", "after fork");
    EXPECT_TRUE(eventually([&] { return calls_.load() > 0; }));
}

} // namespace
} // namespace qx::platform
