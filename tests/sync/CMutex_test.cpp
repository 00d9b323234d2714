// tests/sync/CMutex_test.cpp -- named mutexes as other processes see them: holding, abandonment by a dying
// owner, time-outs, who may release, when the name goes away, and what a fork()ed child may not undo.
#include "sync/CMutex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>

#include <unistd.h>

#include "ForkedChild.h"
#include "platform/NamedObject.h"
#include "platform/ObjectName.h"
#include "sync/CEvent.h"
#include "sync/CSemaphore.h"

namespace qx {
namespace {

using test::ForkedChild;
using test::Signal;
namespace fs = std::filesystem;


bool hasObjectFile(const std::string& name) {
    return fs::exists(fs::path(platform::syncNamespaceDirectory()) / platform::objectFileName(name));
}

// Object files in the namespace directory (the guard file is not an object).
std::set<std::string> objectFiles() {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(platform::syncNamespaceDirectory(), ec))
        if (entry.path().filename() != ".guard") names.insert(entry.path().filename().string());
    return names;
}

// Points QXPROPHANDLING_SYNC_DIR elsewhere for one test and back afterwards.
class NamespaceAt {
public:
    explicit NamespaceAt(const fs::path& dir) : previous_(platform::syncNamespaceDirectory()) {
        ::setenv("QXPROPHANDLING_SYNC_DIR", dir.c_str(), 1);
    }
    ~NamespaceAt() { ::setenv("QXPROPHANDLING_SYNC_DIR", previous_.c_str(), 1); }

private:
    std::string previous_;
};

fs::path scratchDir() {
    const fs::path dir = fs::path(platform::syncNamespaceDirectory()).parent_path() / "scratch";
    fs::create_directories(dir);
    return dir;
}

// Holding, timing out, abandoning and recursion across processes are covered through the exported
// global lock (tests/api/GlobalMutex_test.cpp); these tests keep to what only this class shows.

TEST(CMutex, InitialOwnershipOnlyForTheCreator) {
    CMutex creator(true, "initial-owner");
    EXPECT_FALSE(creator.existedBefore());
    ForkedChild opener([] {
        CMutex m(true, "initial-owner");  // exists already: opened, not taken
        return m.existedBefore() && m.waitFor(0) == 2 && !m.release() ? 0 : 1;
    });
    EXPECT_EQ(opener.wait(), 0);
    EXPECT_TRUE(creator.release());
}

// A holder that is killed cannot clean up: its file stays until the next create or probe finds it unheld.
void killHolderOf(const char* name) {
    Signal created;
    ForkedChild holder([&] {
        CMutex m(true, name);
        created.notify();
        Signal().waitFor(10000);
        return 0;
    });
    ASSERT_TRUE(created.waitFor(5000));
    EXPECT_TRUE(namedMutexExists(name));
    holder.kill();
    EXPECT_TRUE(hasObjectFile(name));
}

TEST(CMutex, NameVanishesWhenLastHolderProcessDies) {
    killHolderOf("dies-with-holder");
    EXPECT_FALSE(namedMutexExists("dies-with-holder"));
    EXPECT_FALSE(hasObjectFile("dies-with-holder"));
}

TEST(CMutex, FileLeftByKilledProcessCountsAsNewAndLastCloseRemovesIt) {
    killHolderOf("stale");
    {
        CMutex fresh(false, "stale");
        EXPECT_FALSE(fresh.existedBefore());
        EXPECT_EQ(fresh.waitFor(0), 1u);  // initialised afresh, not abandoned
        CMutex second(false, "stale");     // same process: shares the mapping
        EXPECT_TRUE(second.existedBefore());
        EXPECT_TRUE(second.release());
    }
    EXPECT_FALSE(hasObjectFile("stale"));
}

TEST(CMutex, ForkedChildDestroyingItsCopyKeepsTheParentsHold) {
    std::optional<CMutex> m(std::in_place, false, "inherited");
    ASSERT_EQ(m->waitFor(0), 1u);
    ForkedChild child([&] {
        m.reset();
        return 0;
    });
    ASSERT_EQ(child.wait(), 0);
    EXPECT_TRUE(namedMutexExists("inherited"));
    ForkedChild observer([] {
        CMutex seen(false, "inherited");
        return seen.existedBefore() && seen.waitFor(0) == 2 ? 0 : 1;
    });
    EXPECT_EQ(observer.wait(), 0);
    EXPECT_TRUE(m->release());
}

TEST(CMutex, ProbeCreatesNothing) {
    const fs::path dir = scratchDir() / "not-yet";
    NamespaceAt ns(dir);
    EXPECT_FALSE(namedMutexExists("nobody-made-this"));
    EXPECT_FALSE(fs::exists(dir));
    EXPECT_FALSE(namedMutexExists(nullptr));
    CMutex other(false, "somebody-made-this");
    EXPECT_FALSE(namedMutexExists("nobody-made-this"));
    EXPECT_EQ(objectFiles(), std::set<std::string>{"somebody-made-this"});
    ForkedChild child([] { return namedMutexExists("somebody-made-this") ? 0 : 1; });
    EXPECT_EQ(child.wait(), 0);
}

TEST(CMutex, NameOfAnotherKindIsNotAMutex) {
    CSemaphore s(1, 1, "shared-name");
    ASSERT_NE(s.handle(), nullptr);
    EXPECT_FALSE(namedMutexExists("shared-name"));
    CMutex m(false, "shared-name");
    EXPECT_EQ(m.handle(), nullptr);
    EXPECT_EQ(m.waitFor(0), 2u);
    EXPECT_FALSE(m.release());
    EXPECT_FALSE(m.existedBefore());
}

TEST(CMutex, ANameHeldInThisProcessKeepsItsKind) {
    // The process already maps the name: the second open is answered from its own table, which must
    // refuse another kind as the file check does.
    CSemaphore s(1, 1, "one-kind");
    ASSERT_NE(s.handle(), nullptr);
    CEvent e(true, true, "one-kind");
    EXPECT_EQ(e.handle(), nullptr);
    EXPECT_FALSE(e.set());
    CEvent event(false, false, "other-kind");
    ASSERT_NE(event.handle(), nullptr);
    CSemaphore semaphore(0, 5, "other-kind");
    EXPECT_EQ(semaphore.handle(), nullptr);
    EXPECT_EQ(s.waitFor(0), 1u) << "the semaphore's count is untouched";
    EXPECT_EQ(s.waitFor(0), 2u);
}

TEST(CMutex, PathLikeAndLongNamesAreDistinctObjects) {
    CMutex slashes(true, "C:\\logs/run.txt");
    ASSERT_NE(slashes.handle(), nullptr);
    EXPECT_TRUE(namedMutexExists("C:\\logs/run.txt"));
    EXPECT_FALSE(namedMutexExists("C:#logs#run.txt"));
    EXPECT_FALSE(CMutex(false, "C:#logs#run.txt").existedBefore());
    const std::string prefix(400, 'x');
    CMutex a(true, (prefix + "A").c_str());
    ASSERT_NE(a.handle(), nullptr);
    EXPECT_FALSE(CMutex(false, (prefix + "B").c_str()).existedBefore());
    EXPECT_TRUE(CMutex(false, (prefix + "A").c_str()).existedBefore());
}

TEST(CMutex, HashedFileHoldingAnotherNameIsNotShared) {
    const std::string name = std::string(300, 'n') + "-original";
    CMutex original(true, name.c_str());
    const fs::path file = fs::path(platform::syncNamespaceDirectory()) / platform::objectFileName(name);
    ASSERT_TRUE(fs::exists(file));
    // Make the stored name differ in one byte, as a different name with the same hash would.
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(f), {}};
    const std::size_t at = content.find("-original");
    ASSERT_NE(at, std::string::npos);
    f.seekp(static_cast<std::streamoff>(at + 1));
    f.put('O');
    f.close();
    ForkedChild other([&] { return CMutex(false, name.c_str()).handle() == nullptr ? 0 : 1; });
    EXPECT_EQ(other.wait(), 0);
}

void expectRefused() {
    CMutex m(false, "refused");
    EXPECT_EQ(m.handle(), nullptr);
    EXPECT_EQ(m.waitFor(0), 2u);
    EXPECT_FALSE(m.release());
    EXPECT_FALSE(namedMutexExists("refused"));
}

TEST(SyncNamespace, MissingDirectoriesAreCreatedPrivate) {
    const fs::path dir = scratchDir() / "a" / "b";
    NamespaceAt ns(dir);
    CMutex m(false, "made");
    ASSERT_NE(m.handle(), nullptr);
    EXPECT_EQ(fs::status(dir).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(dir.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST(SyncNamespace, SymlinkedDirectoryIsRefused) {
    const fs::path real = scratchDir() / "real";
    fs::create_directory(real);
    fs::permissions(real, fs::perms::owner_all);
    fs::create_directory_symlink(real, scratchDir() / "link");
    NamespaceAt ns(scratchDir() / "link");
    expectRefused();
    EXPECT_TRUE(fs::is_empty(real));
}

TEST(SyncNamespace, DirectoryOthersMayEnterIsRefused) {
    const fs::path dir = scratchDir() / "open";
    fs::create_directory(dir);
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    NamespaceAt ns(dir);
    expectRefused();
}

TEST(SyncNamespace, DirectoryOfAnotherOwnerIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a directory away";
    const fs::path dir = scratchDir() / "foreign";
    fs::create_directory(dir);
    fs::permissions(dir, fs::perms::owner_all);
    ASSERT_EQ(::chown(dir.c_str(), 65534, 65534), 0);
    NamespaceAt ns(dir);
    expectRefused();
}

} // namespace
} // namespace qx
