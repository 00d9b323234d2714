// tests/platform/Registry_concurrency_test.cpp -- the emulated registry shared by real processes: writers
// replacing their trees in transactions while a reader checks that every tree it sees is whole, and a
// writer killed in the middle of a transaction.
#include "ForkedChild.h"
#include "RegistryTestSupport.h"

#include <chrono>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qx::platform {
namespace {

using RegistryProcesses = RegistryFolder;

constexpr int kWriters = 4;
constexpr int kRounds = 250;
constexpr int kLeaves = 5;

std::uint32_t dwordOf(const RegistryKey& key, const char* name) {
    std::uint32_t value = 0xFFFFFFFF, type = 0, size = 4;
    if (key.queryValue(name, &type, &value, &size) != kRegSuccess || type != kRegDword) return 0xFFFFFFFF;
    return value;
}

// One round of a writer: its whole tree replaced by one whose values all say `round`.
int writeTree(int writer, std::uint32_t round) {
    RegistryTransaction t(Hive::User, RegistryTransaction::Mode::Write);
    if (t.status() != kRegSuccess) return t.status();
    const RegistryKey root = RegistryKey::root(Hive::User);
    const std::string name = "writer" + std::to_string(writer);
    if (const int e = root.deleteTree(name); e != kRegSuccess && e != kRegFileNotFound) return e;
    RegistryKey top;
    if (const int e = root.create(name, KeyAccess::ReadWrite, false, top)) return e;
    for (int leaf = 0; leaf < kLeaves; ++leaf) {
        RegistryKey key;
        if (const int e = top.create("leaf" + std::to_string(leaf), KeyAccess::ReadWrite, false, key)) return e;
        if (const int e = key.setValue("round", kRegDword, &round, 4)) return e;
    }
    if (const int e = top.setValue("round", kRegDword, &round, 4)) return e;
    return t.commit();
}

// 0 when every tree present is whole (all its values give the same round), 1 otherwise.
int checkTrees(int* seen) {
    RegistryTransaction t(Hive::User, RegistryTransaction::Mode::Read);
    if (t.status() != kRegSuccess && t.status() != kRegFileNotFound) return 1;
    for (int writer = 0; writer < kWriters; ++writer) {
        RegistryKey top;
        const int opened = RegistryKey::root(Hive::User).open("writer" + std::to_string(writer), KeyAccess::Read, top);
        if (opened == kRegFileNotFound) continue;
        if (opened != kRegSuccess) return 1;
        const std::uint32_t round = dwordOf(top, "round");
        KeyInfo info;
        if (top.queryInfo(info) != kRegSuccess || info.subKeys != kLeaves) return 1;
        for (int leaf = 0; leaf < kLeaves; ++leaf) {
            RegistryKey key;
            if (top.open("leaf" + std::to_string(leaf), KeyAccess::Read, key) != kRegSuccess) return 1;
            if (dwordOf(key, "round") != round) return 1;
        }
        ++*seen;
    }
    return 0;
}

TEST_F(RegistryProcesses, FourWritersAndAReaderNeverSeeAPartialTree) {
    std::vector<std::unique_ptr<test::ForkedChild>> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.push_back(std::make_unique<test::ForkedChild>([w] {
            int busy = 0;
            for (std::uint32_t round = 0; round < kRounds; ++round) {
                const int e = writeTree(w, round);
                if (e == kRegBusy) ++busy;  // a clear refusal; anything else is a failure
                else if (e != kRegSuccess) return 10 + e % 100;
            }
            return busy > kRounds / 10 ? 2 : 0;
        }));
    }
    test::ForkedChild reader([] {
        int seen = 0;
        for (int loop = 0; loop < kRounds * 2; ++loop)
            if (checkTrees(&seen) != 0) return 1;
        return seen > 0 ? 0 : 3;
    });
    for (auto& w : writers) EXPECT_EQ(w->wait(90000), 0);
    EXPECT_EQ(reader.wait(90000), 0);

    // Every writer's last round is what stays.
    for (int w = 0; w < kWriters; ++w) {
        RegistryKey top;
        ASSERT_EQ(RegistryKey::root(Hive::User).open("writer" + std::to_string(w), KeyAccess::Read, top), kRegSuccess);
        EXPECT_EQ(dwordOf(top, "round"), static_cast<std::uint32_t>(kRounds - 1));
    }
}

TEST_F(RegistryProcesses, ThreadsOfOneProcessShareHivesAsProcessesDo) {
    std::vector<std::thread> threads;
    std::vector<int> results(kWriters + 1, -1);
    for (int w = 0; w < kWriters; ++w)
        threads.emplace_back([w, &results] {
            int failed = 0;
            for (std::uint32_t round = 0; round < kRounds / 5; ++round)
                if (const int e = writeTree(w, round); e != kRegSuccess && e != kRegBusy) failed = e;
            results[w] = failed;
            closeThreadHives();
        });
    threads.emplace_back([&results] {
        int seen = 0, failed = 0;
        for (int loop = 0; loop < kRounds / 2 && !failed; ++loop) failed = checkTrees(&seen);
        results[kWriters] = failed;
        closeThreadHives();
    });
    for (auto& t : threads) t.join();
    EXPECT_EQ(results, std::vector<int>(kWriters + 1, 0));
}

// The child replaces tree "setting" (old: 20 leaves saying 1) by one whose leaves say 2 and is killed
// before or after committing.
void killWriterMidway(bool commitFirst) {
    const RegistryKey root = RegistryKey::root(Hive::User);
    {
        RegistryKey top;
        ASSERT_EQ(root.create("setting", KeyAccess::ReadWrite, false, top), kRegSuccess);
        const std::uint32_t one = 1;
        for (int leaf = 0; leaf < 20; ++leaf) {
            RegistryKey key;
            ASSERT_EQ(top.create("leaf" + std::to_string(leaf), KeyAccess::ReadWrite, false, key), kRegSuccess);
            ASSERT_EQ(key.setValue("v", kRegDword, &one, 4), kRegSuccess);
        }
    }
    test::Signal halfway;
    test::ForkedChild child([&] {
        RegistryTransaction t(Hive::User, RegistryTransaction::Mode::Write);
        const RegistryKey r = RegistryKey::root(Hive::User);
        if (r.deleteTree("setting") != kRegSuccess) return 1;
        const std::uint32_t two = 2;
        for (int leaf = 0; leaf < 20; ++leaf) {
            if (leaf == 10 && !commitFirst) halfway.notify();
            RegistryKey key;
            if (r.create("setting\\leaf" + std::to_string(leaf), KeyAccess::ReadWrite, false, key)) return 1;
            if (key.setValue("v", kRegDword, &two, 4)) return 1;
        }
        if (commitFirst) {
            if (t.commit() != kRegSuccess) return 1;
            halfway.notify();
        }
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    });
    ASSERT_TRUE(halfway.waitFor(10000));
    child.kill();

    closeThreadHives();
    RegistryKey top;
    ASSERT_EQ(root.open("setting", KeyAccess::Read, top), kRegSuccess);
    KeyInfo info;
    ASSERT_EQ(top.queryInfo(info), kRegSuccess);
    EXPECT_EQ(info.subKeys, 20u);
    const std::uint32_t expected = commitFirst ? 2 : 1;
    for (int leaf = 0; leaf < 20; ++leaf) {
        RegistryKey key;
        ASSERT_EQ(top.open("leaf" + std::to_string(leaf), KeyAccess::Read, key), kRegSuccess);
        EXPECT_EQ(dwordOf(key, "v"), expected) << leaf;
    }
    // The hive takes writes again at once: the dead writer's lock went with it.
    RegistryKey after;
    EXPECT_EQ(root.create("after", KeyAccess::ReadWrite, false, after), kRegSuccess);
}

// Whether another process holds a read lock on the database file where SQLite's POSIX locking puts
// the readers of a database (the 510 bytes two past the 1 GiB mark). Call with no connection of this
// process open on the file: closing the probe's descriptor drops this process's locks on it.
bool anotherProcessReads(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct flock probe{};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0x40000000 + 2;
    probe.l_len = 510;
    const bool held = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

// A child forked while the parent had the hive open must not lean on the parent's locks: once the parent
// closes the hive, the child's own connection still counts as a user, so its writes are never lost to a
// checkpoint that thinks it is the last one.
TEST_F(RegistryProcesses, AChildForkedWithTheHiveOpenKeepsItsWrites) {
    const RegistryKey key = make("forked");
    test::Signal childWrote, parentClosed;
    test::ForkedChild child([&] {
        if (setText(key, "a", "1") != kRegSuccess) return 1;
        childWrote.notify();
        if (!parentClosed.waitFor(10000)) return 2;
        if (setText(key, "b", "2") != kRegSuccess) return 3;
        return text(key, "b") == "2" ? 0 : 4;
    });
    ASSERT_TRUE(childWrote.waitFor(10000));
    closeThreadHives();
    EXPECT_TRUE(anotherProcessReads(hiveFile(Hive::User)));
    EXPECT_EQ(text(key, "a"), "1");
    closeThreadHives();  // this process's last connection goes
    parentClosed.notify();
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(text(key, "b"), "2");
}

// The machine hive is written by root and read by everyone, as a system-wide registry is.
TEST_F(RegistryProcesses, AUserWhoMayNotWriteTheHiveStillReadsIt) {
    if (::getuid() != 0) GTEST_SKIP() << "needs root to make a hive another user reads";
    ASSERT_EQ(::chmod(folder_.c_str(), 0755), 0);
    RegistryKey key;
    ASSERT_EQ(RegistryKey::root(Hive::Machine).create("shared", KeyAccess::ReadWrite, false, key), kRegSuccess);
    ASSERT_EQ(setText(key, "v", "for all"), kRegSuccess);
    // A volatile key of an earlier start, which only a writer may clear away.
    const std::string bootFile = folder_ + "/boot_id";
    std::ofstream(bootFile) << "earlier-boot\n";
    setBootIdSource(bootFile);
    closeThreadHives();
    RegistryKey stale;
    ASSERT_EQ(RegistryKey::root(Hive::Machine).create("stale", KeyAccess::ReadWrite, true, stale), kRegSuccess);
    std::ofstream(bootFile) << "this-boot\n";
    closeThreadHives();  // the last writer goes; a reader must not need to make any file
    test::ForkedChild reader([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 1;
        RegistryKey mine;
        if (RegistryKey::root(Hive::Machine).open("shared", KeyAccess::ReadWrite, mine) != kRegSuccess) return 2;
        if (text(mine, "v") != "for all") return 3;
        return setText(mine, "w", "x") == kRegAccessDenied ? 0 : 4;
    });
    EXPECT_EQ(reader.wait(), 0);
}

TEST_F(RegistryProcesses, WriterKilledMidTransactionLeavesTheOldTree) { killWriterMidway(false); }

TEST_F(RegistryProcesses, WriterKilledAfterCommitLeavesTheNewTree) { killWriterMidway(true); }

} // namespace
} // namespace qx::platform
