// tests/platform/Registry_test.cpp -- the emulated registry on its own: names, enumeration, value types and
// buffer rules, delete tree, handles opened for reading, keys deleted under handles, bad paths, volatile
// keys with a faked boot id, where hives live, and transactions.
#include "RegistryTestSupport.h"

#include <cstring>
#include <fstream>
#include <thread>

#include <sqlite3.h>
#include <sys/stat.h>

namespace qx::platform {
namespace {

using Registry = RegistryFolder;

std::vector<std::string> valueNames(const RegistryKey& key) {
    std::vector<std::string> names;
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t i = 0; key.enumValue(i, name, type, data) == kRegSuccess; ++i) names.push_back(name);
    return names;
}

TEST_F(Registry, NamesCompareWithoutCaseAndKeepTheirCase) {
    const RegistryKey made = make("Software\\MixedCase");
    ASSERT_EQ(setText(made, "ValueName", "first"), kRegSuccess);

    RegistryKey opened;
    ASSERT_EQ(RegistryKey::root(Hive::User).open("SOFTWARE\\mixedcase", KeyAccess::ReadWrite, opened), kRegSuccess);
    EXPECT_EQ(text(opened, "VALUENAME"), "first");
    ASSERT_EQ(setText(opened, "valuename", "second"), kRegSuccess);
    EXPECT_EQ(text(made, "ValueName"), "second");
    EXPECT_EQ(valueNames(made), std::vector<std::string>{"ValueName"});

    bool created = true;
    RegistryKey again;
    ASSERT_EQ(RegistryKey::root(Hive::User).create("software", KeyAccess::Read, false, again, &created), kRegSuccess);
    EXPECT_FALSE(created);
    EXPECT_EQ(subkeys(again), std::vector<std::string>{"MixedCase"});
    EXPECT_EQ(subkeys(RegistryKey::root(Hive::User)), std::vector<std::string>{"Software"});

    // Only ASCII letters fold, A and Z included; other bytes compare as they are.
    const RegistryKey edges = make("Software\\AZaz@[`{\xC4");
    RegistryKey found;
    EXPECT_EQ(RegistryKey::root(Hive::User).open("software\\azAZ@[`{\xC4", KeyAccess::Read, found), kRegSuccess);
    EXPECT_EQ(RegistryKey::root(Hive::User).open("software\\azAZ`{@[\xC4", KeyAccess::Read, found), kRegFileNotFound);
    EXPECT_EQ(RegistryKey::root(Hive::User).open("software\\azAZ@[`{\xE4", KeyAccess::Read, found), kRegFileNotFound);
}

TEST_F(Registry, SubkeysEnumerateByNameValuesByCreation) {
    const RegistryKey key = make("order");
    for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2"}) make(std::string("order\\") + name);
    for (const char* name : {"z", "a", "M"}) ASSERT_EQ(setText(key, name, name), kRegSuccess);
    ASSERT_EQ(setText(key, "A", "replaced"), kRegSuccess);  // keeps its place

    EXPECT_EQ(subkeys(key), (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "gamma"}));
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"z", "a", "M"}));
    std::string name;
    EXPECT_EQ(key.enumKey(4, name), kRegNoMoreItems);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(key.enumValue(3, name, type, data), kRegNoMoreItems);
    EXPECT_EQ(key.enumValue(1, name, type, data), kRegSuccess);
    EXPECT_EQ(std::string(data.begin(), data.end()).c_str(), std::string("replaced"));
}

// Enumeration continues from where the last index left off only while nothing changed in between; a change
// by this thread or another makes the next index count from the start again, as the index promises.
TEST_F(Registry, EnumerationByIndexFollowsChangesBetweenCalls) {
    const RegistryKey key = make("walk");
    for (const char* name : {"a", "b", "c", "d", "e"}) {
        make(std::string("walk\\") + name);
        ASSERT_EQ(setText(key, name, name), kRegSuccess);
    }
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(key.enumKey(0, name), kRegSuccess);
    ASSERT_EQ(key.enumKey(1, name), kRegSuccess);
    ASSERT_EQ(key.enumValue(0, name, type, data), kRegSuccess);
    ASSERT_EQ(key.enumValue(1, name, type, data), kRegSuccess);
    ASSERT_EQ(key.deleteTree("a"), kRegSuccess);  // this thread
    ASSERT_EQ(key.deleteValue("a"), kRegSuccess);
    ASSERT_EQ(key.enumKey(2, name), kRegSuccess);
    EXPECT_EQ(name, "d");
    ASSERT_EQ(key.enumValue(2, name, type, data), kRegSuccess);
    EXPECT_EQ(name, "d");

    std::thread([&] {  // another connection
        EXPECT_EQ(key.deleteTree("b"), kRegSuccess);
        EXPECT_EQ(key.deleteValue("b"), kRegSuccess);
        closeThreadHives();
    }).join();
    ASSERT_EQ(key.enumKey(3, name), kRegNoMoreItems);  // c, d, e are left
    ASSERT_EQ(key.enumKey(2, name), kRegSuccess);
    EXPECT_EQ(name, "e");
    ASSERT_EQ(key.enumValue(3, name, type, data), kRegNoMoreItems);
    ASSERT_EQ(key.enumValue(2, name, type, data), kRegSuccess);
    EXPECT_EQ(name, "e");
    // Interleaved enumerations of two keys keep their own places.
    const RegistryKey other = make("walk2");
    make("walk2\\x");
    make("walk2\\y");
    std::string mine, theirs;
    ASSERT_EQ(key.enumKey(0, mine), kRegSuccess);
    ASSERT_EQ(other.enumKey(0, theirs), kRegSuccess);
    ASSERT_EQ(key.enumKey(1, mine), kRegSuccess);
    ASSERT_EQ(other.enumKey(1, theirs), kRegSuccess);
    EXPECT_EQ(mine + theirs, "dy");
}

TEST_F(Registry, EveryValueTypeComesBackAsStored) {
    const RegistryKey key = make("types");
    const std::uint32_t dword = 0xDEADBEEF;
    const std::uint64_t qword = 0x0123456789ABCDEFull;
    const char multi[] = "one\0two\0";
    const std::uint8_t binary[] = {0, 1, 0, 255};
    struct Case {
        const char* name;
        std::uint32_t type;
        const void* data;
        std::uint32_t size;
    } cases[] = {
        {"sz", kRegSz, "text", 5},
        {"expand", kRegExpandSz, "%HOME%", 7},
        {"binary", kRegBinary, binary, sizeof binary},
        {"dword", kRegDword, &dword, 4},
        {"multi", kRegMultiSz, multi, sizeof multi},
        {"qword", kRegQword, &qword, 8},
        {"empty", kRegBinary, nullptr, 0},
        {"", kRegSz, "default value", 14},
    };
    for (const Case& c : cases) ASSERT_EQ(key.setValue(c.name, c.type, c.data, c.size), kRegSuccess) << c.name;
    for (const Case& c : cases) {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        ASSERT_EQ(key.queryValue(c.name, type, data), kRegSuccess) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        ASSERT_EQ(data.size(), c.size) << c.name;
        EXPECT_EQ(c.size == 0 || std::memcmp(data.data(), c.data, c.size) == 0, true) << c.name;
    }
    EXPECT_EQ(key.setValue("d", kRegDword, &qword, 8), kRegInvalidParameter);
    EXPECT_EQ(key.setValue("q", kRegQword, &dword, 4), kRegInvalidParameter);
    EXPECT_EQ(key.setValue("n", kRegBinary, nullptr, 3), kRegInvalidParameter);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(key.queryValue("d", type, data), kRegFileNotFound);
}

TEST_F(Registry, BuffersFollowTheSizeRules) {
    const RegistryKey key = make("buffers");
    make("buffers\\NineChars");
    ASSERT_EQ(setText(key, "v", "12345"), kRegSuccess);

    std::uint32_t type = 0, size = 0;
    EXPECT_EQ(key.queryValue("v", &type, nullptr, &size), kRegSuccess);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(size, 6u);
    char buffer[16] = {};
    size = 5;
    EXPECT_EQ(key.queryValue("v", &type, buffer, &size), kRegMoreData);
    EXPECT_EQ(size, 6u);
    size = 6;
    EXPECT_EQ(key.queryValue("v", &type, buffer, &size), kRegSuccess);
    EXPECT_STREQ(buffer, "12345");
    EXPECT_EQ(key.queryValue("v", &type, buffer, nullptr), kRegInvalidParameter);

    std::uint32_t nameSize = 9;  // no room for the zero
    EXPECT_EQ(key.enumKey(0, buffer, &nameSize), kRegMoreData);
    nameSize = 10;
    EXPECT_EQ(key.enumKey(0, buffer, &nameSize), kRegSuccess);
    EXPECT_STREQ(buffer, "NineChars");
    EXPECT_EQ(nameSize, 9u);

    char name[4];
    std::uint32_t nameRoom = sizeof name, dataSize = 2;
    EXPECT_EQ(key.enumValue(0, name, &nameRoom, &type, buffer, &dataSize), kRegMoreData);
    EXPECT_EQ(dataSize, 6u);
    nameRoom = sizeof name;
    dataSize = sizeof buffer;
    EXPECT_EQ(key.enumValue(0, name, &nameRoom, &type, buffer, &dataSize), kRegSuccess);
    EXPECT_STREQ(name, "v");
}

TEST_F(Registry, MissingKeysAndValuesAreFileNotFound) {
    const RegistryKey key = make("present");
    RegistryKey out;
    EXPECT_EQ(RegistryKey::root(Hive::User).open("absent", KeyAccess::Read, out), kRegFileNotFound);
    EXPECT_EQ(RegistryKey::root(Hive::User).open("present\\absent", KeyAccess::Read, out), kRegFileNotFound);
    EXPECT_FALSE(out.isOpen());
    std::uint32_t type = 0, size = 0;
    EXPECT_EQ(key.queryValue("absent", &type, nullptr, &size), kRegFileNotFound);
    EXPECT_EQ(key.deleteValue("absent"), kRegFileNotFound);
    EXPECT_EQ(RegistryKey::root(Hive::User).deleteTree("absent"), kRegFileNotFound);
    EXPECT_EQ(RegistryKey().queryValue("x", &type, nullptr, &size), kRegInvalidParameter);
}

TEST_F(Registry, DeleteTreeTakesEverythingBelowAndSparesSiblings) {
    const RegistryKey top = make("tree\\doomed\\a\\b");
    ASSERT_EQ(setText(top, "deep", "x"), kRegSuccess);
    const RegistryKey sibling = make("tree\\kept");
    ASSERT_EQ(setText(sibling, "v", "stays"), kRegSuccess);
    RegistryKey tree;
    ASSERT_EQ(RegistryKey::root(Hive::User).open("tree", KeyAccess::ReadWrite, tree), kRegSuccess);

    ASSERT_EQ(tree.deleteTree("DOOMED"), kRegSuccess);
    EXPECT_EQ(subkeys(tree), std::vector<std::string>{"kept"});
    EXPECT_EQ(text(sibling, "v"), "stays");
    EXPECT_EQ(tree.deleteTree(""), kRegInvalidParameter);

    // Remade under the same name, it is a new key: the old handle stays dead and sees none of it.
    const RegistryKey remade = make("tree\\doomed\\a\\b");
    EXPECT_EQ(text(remade, "deep"), "<missing>");
    EXPECT_EQ(setText(top, "deep", "y"), kRegKeyDeleted);

    ASSERT_EQ(setText(remade, "v", "1"), kRegSuccess);
    ASSERT_EQ(remade.deleteValue("V"), kRegSuccess);
    EXPECT_EQ(text(remade, "v"), "<missing>");
}

TEST_F(Registry, HandlesOpenedForReadingRefuseWrites) {
    make("ro\\child");
    RegistryKey readOnly;
    ASSERT_EQ(RegistryKey::root(Hive::User).open("ro", KeyAccess::Read, readOnly), kRegSuccess);
    RegistryKey out;
    EXPECT_EQ(setText(readOnly, "v", "x"), kRegAccessDenied);
    EXPECT_EQ(readOnly.deleteValue("v"), kRegAccessDenied);
    EXPECT_EQ(readOnly.create("new", KeyAccess::ReadWrite, false, out), kRegAccessDenied);
    EXPECT_EQ(readOnly.deleteTree("child"), kRegAccessDenied);
    EXPECT_EQ(subkeys(readOnly), std::vector<std::string>{"child"});
    // Reading through it and opening for writing from it are fine.
    ASSERT_EQ(readOnly.open("", KeyAccess::ReadWrite, out), kRegSuccess);
    EXPECT_EQ(setText(out, "v", "x"), kRegSuccess);
    EXPECT_EQ(text(readOnly, "v"), "x");
}

TEST_F(Registry, KeyDeletedUnderAnOpenHandleAnswersKeyDeleted) {
    const RegistryKey doomed = make("gone\\inner");
    ASSERT_EQ(RegistryKey::root(Hive::User).deleteTree("gone"), kRegSuccess);
    std::uint32_t type = 0, size = 0;
    std::string name;
    std::vector<std::uint8_t> data;
    KeyInfo info;
    RegistryKey out;
    EXPECT_EQ(doomed.queryValue("v", &type, nullptr, &size), kRegKeyDeleted);
    EXPECT_EQ(setText(doomed, "v", "x"), kRegKeyDeleted);
    EXPECT_EQ(doomed.enumKey(0, name), kRegKeyDeleted);
    EXPECT_EQ(doomed.enumValue(0, name, type, data), kRegKeyDeleted);
    EXPECT_EQ(doomed.queryInfo(info), kRegKeyDeleted);
    EXPECT_EQ(doomed.create("below", KeyAccess::ReadWrite, false, out), kRegKeyDeleted);
    EXPECT_EQ(doomed.open("", KeyAccess::Read, out), kRegKeyDeleted);
    EXPECT_EQ(subkeys(RegistryKey::root(Hive::User)), std::vector<std::string>{});
}

TEST_F(Registry, BadPathsAndNamesAreRefusedAndWriteNothing) {
    const std::string longName(256, 'k');
    const std::string nul("a\0b", 3);
    struct Case {
        std::string path;
        int expected;
    } cases[] = {
        {"a\\\\b", kRegBadPathname}, {"\\a", kRegBadPathname},     {"a\\", kRegBadPathname},
        {"..", kRegBadPathname},     {"a\\..\\b", kRegBadPathname}, {".", kRegBadPathname},
        {nul, kRegInvalidParameter}, {longName, kRegInvalidParameter},
    };
    const RegistryKey root = RegistryKey::root(Hive::User);
    for (const Case& c : cases) {
        RegistryKey out;
        EXPECT_EQ(root.create(c.path, KeyAccess::ReadWrite, false, out), c.expected) << c.path;
        EXPECT_EQ(root.open(c.path, KeyAccess::Read, out), c.expected) << c.path;
        EXPECT_EQ(root.deleteTree(c.path), c.expected) << c.path;
    }
    std::string deep = "d";
    for (std::size_t i = 1; i <= kMaxKeyDepth; ++i) deep += "\\d";
    RegistryKey out;
    EXPECT_EQ(root.create(deep, KeyAccess::ReadWrite, false, out), kRegBadPathname);
    EXPECT_FALSE(registryFailureDetail().empty());

    const RegistryKey key = make(std::string(255, 'k'));  // the longest name that is allowed
    EXPECT_EQ(setText(key, nul, "x"), kRegInvalidParameter);
    EXPECT_EQ(setText(key, std::string(kMaxValueNameLength + 1, 'v'), "x"), kRegInvalidParameter);
    EXPECT_EQ(setText(key, std::string(kMaxValueNameLength, 'v'), "x"), kRegSuccess);

    EXPECT_EQ(subkeys(root), std::vector<std::string>{std::string(255, 'k')});
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
        EXPECT_EQ(entry.path().filename().string().rfind("user.hive", 0), 0u) << entry.path();
}

TEST_F(Registry, VolatileKeysVanishAfterARestart) {
    const std::string bootFile = folder_ + "/boot_id";
    std::ofstream(bootFile) << "first-boot\n";
    setBootIdSource(bootFile);
    closeThreadHives();

    make("app");
    const RegistryKey v = make("app\\volatile", true);
    ASSERT_EQ(setText(v, "v", "x"), kRegSuccess);
    make("app\\volatile\\inner", true);
    make("app\\lasting");
    RegistryKey out;
    EXPECT_EQ(v.create("notVolatile", KeyAccess::ReadWrite, false, out), kRegChildMustBeVolatile);

    closeThreadHives();  // same boot: still there
    RegistryKey app;
    ASSERT_EQ(RegistryKey::root(Hive::User).open("app", KeyAccess::Read, app), kRegSuccess);
    EXPECT_EQ(subkeys(app), (std::vector<std::string>{"lasting", "volatile"}));

    std::ofstream(bootFile) << "second-boot\n";
    closeThreadHives();
    EXPECT_EQ(subkeys(app), std::vector<std::string>{"lasting"});
    EXPECT_EQ(RegistryKey::root(Hive::User).open("app\\volatile\\inner", KeyAccess::Read, out), kRegFileNotFound);
    EXPECT_EQ(text(v, "v"), "<missing>");
    // Keys a volatile create makes on the way are volatile too.
    make("made\\onTheWay", true);
    std::ofstream(bootFile) << "third-boot\n";
    closeThreadHives();
    EXPECT_EQ(subkeys(RegistryKey::root(Hive::User)), std::vector<std::string>{"app"});
}

TEST_F(Registry, WithoutABootIdVolatileKeysWaitForOne) {
    const std::string bootFile = folder_ + "/boot_id";
    setBootIdSource(folder_ + "/no-such-file");
    closeThreadHives();
    make("volatile", true);
    closeThreadHives();
    RegistryKey out;
    EXPECT_EQ(RegistryKey::root(Hive::User).open("volatile", KeyAccess::Read, out), kRegSuccess);
    std::ofstream(bootFile) << "a-real-boot\n";
    setBootIdSource(bootFile);
    closeThreadHives();
    EXPECT_EQ(RegistryKey::root(Hive::User).open("volatile", KeyAccess::Read, out), kRegFileNotFound);
}

TEST_F(Registry, HivesAreSeparateFilesInTheChosenFolder) {
    EXPECT_EQ(hiveFile(Hive::User), folder_ + "/user.hive");
    EXPECT_EQ(hiveFile(Hive::Machine), folder_ + "/machine.hive");
    make("onlyUser");
    RegistryKey out;
    ASSERT_EQ(RegistryKey::root(Hive::Machine).create("onlyMachine", KeyAccess::ReadWrite, false, out), kRegSuccess);
    EXPECT_EQ(RegistryKey::root(Hive::Machine).open("onlyUser", KeyAccess::Read, out), kRegFileNotFound);
    EXPECT_EQ(subkeys(RegistryKey::root(Hive::User)), std::vector<std::string>{"onlyUser"});
    EXPECT_TRUE(std::filesystem::exists(folder_ + "/machine.hive"));
    EXPECT_EQ(hiveOfScope(0), Hive::Machine);
    EXPECT_EQ(hiveOfScope(7), Hive::User);
}

TEST_F(Registry, WithoutTheFolderVariableHivesFollowTheUserAndSystemFolders) {
    ::unsetenv("QXPROPHANDLING_REGISTRY_DIR");
    ::setenv("XDG_CONFIG_HOME", "/xdg/config", 1);
    EXPECT_EQ(hiveFile(Hive::User), "/xdg/config/qxPropHandling/user.hive");
    EXPECT_EQ(hiveFile(Hive::Machine), "/var/lib/qxPropHandling/machine.hive");
    ::unsetenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(hiveFile(Hive::User), "/home/someone/.config/qxPropHandling/user.hive");
    if (home) ::setenv("HOME", home, 1);
    ::setenv("QXPROPHANDLING_REGISTRY_DIR", folder_.c_str(), 1);
}

TEST_F(Registry, AFolderThatCannotBeWrittenFailsClearly) {
    std::ofstream(folder_ + "/plainfile") << "x";
    ::setenv("QXPROPHANDLING_REGISTRY_DIR", (folder_ + "/plainfile/registry").c_str(), 1);
    RegistryKey out;
    EXPECT_EQ(RegistryKey::root(Hive::Machine).create("k", KeyAccess::ReadWrite, false, out), kRegAccessDenied);
    EXPECT_NE(registryFailureDetail().find("plainfile/registry"), std::string::npos) << registryFailureDetail();
    EXPECT_EQ(RegistryKey::root(Hive::Machine).open("k", KeyAccess::Read, out), kRegFileNotFound);
    std::string name;
    EXPECT_EQ(RegistryKey::root(Hive::Machine).enumKey(0, name), kRegNoMoreItems);
}

TEST_F(Registry, AFileThatIsNoHiveIsReportedAsDamaged) {
    std::ofstream(folder_ + "/user.hive") << std::string(4096, 'g');
    RegistryKey out;
    EXPECT_EQ(RegistryKey::root(Hive::User).create("k", KeyAccess::ReadWrite, false, out), kRegBadDb);
}

// A hive file of another layout (the earlier row-per-value or row-per-key ones, or one this version does not
// know) is refused with kRegBadDb and a text that says why, for reading and writing alike, and nothing is
// added to it.
TEST_F(Registry, HivesOfAnotherLayoutAreRefusedWithAReason) {
    const struct {
        const char* sql;
        const char* said;
    } cases[] = {
        {"CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, folded TEXT NOT NULL,"
         " name TEXT NOT NULL, boot TEXT, UNIQUE(parent, folded));"
         "CREATE TABLE vals(id INTEGER PRIMARY KEY AUTOINCREMENT, key INTEGER NOT NULL, folded TEXT NOT NULL,"
         " name TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, folded));"
         "INSERT INTO keys(id, parent, folded, name) VALUES(1, 0, '', ''), (2, 1, 'old', 'old');",
         "earlier version"},
        {"CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, folded TEXT NOT NULL,"
         " name TEXT NOT NULL, boot TEXT, vals BLOB NOT NULL DEFAULT x'', UNIQUE(parent, folded));"
         "INSERT INTO keys(id, parent, folded, name) VALUES(1, 0, '', ''), (2, 1, 'old', 'old');"
         "PRAGMA user_version = 2;",
         "one row per key"},
        {"CREATE TABLE keys(id INTEGER PRIMARY KEY, vals BLOB); INSERT INTO keys VALUES(1, x'');"
         "PRAGMA user_version = 9;",
         "layout 9"},
    };
    for (const auto& c : cases) {
        closeThreadHives();
        const std::string file = folder_ + "/user.hive";
        std::filesystem::remove(file);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, c.sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
        const auto size = std::filesystem::file_size(file);
        RegistryKey out;
        EXPECT_EQ(RegistryKey::root(Hive::User).open("old", KeyAccess::Read, out), kRegBadDb) << c.said;
        EXPECT_NE(registryFailureDetail().find(c.said), std::string::npos) << registryFailureDetail();
        EXPECT_EQ(RegistryKey::root(Hive::User).create("new", KeyAccess::ReadWrite, false, out), kRegBadDb);
        EXPECT_EQ(std::filesystem::file_size(file), size) << c.said;
    }
}

// Inside a write transaction the thread's own calls see its changes at once (query, enumeration, key
// information); another thread sees none of them until the commit. Values of a key deleted and made again
// in the same transaction do not come back.
TEST_F(Registry, ChangesInATransactionAreTheThreadsOwnUntilCommit) {
    const RegistryKey key = make("wb");
    ASSERT_EQ(setText(key, "kept", "old"), kRegSuccess);
    ASSERT_EQ(setText(key, "gone", "x"), kRegSuccess);
    const auto otherThreadSees = [&] {
        std::string seen;
        std::thread other([&] {
            seen = text(key, "kept") + "," + text(key, "new") + "," + text(key, "gone");
            closeThreadHives();
        });
        other.join();
        return seen;
    };
    {
        RegistryTransaction t(Hive::User, RegistryTransaction::Mode::Write);
        ASSERT_EQ(t.status(), kRegSuccess);
        ASSERT_EQ(setText(key, "KEPT", "changed"), kRegSuccess);
        ASSERT_EQ(setText(key, "new", "made"), kRegSuccess);
        ASSERT_EQ(key.deleteValue("Gone"), kRegSuccess);
        EXPECT_EQ(key.deleteValue("gone"), kRegFileNotFound);
        EXPECT_EQ(text(key, "kept"), "changed");
        EXPECT_EQ(valueNames(key), (std::vector<std::string>{"kept", "new"}));
        KeyInfo info;
        ASSERT_EQ(key.queryInfo(info), kRegSuccess);
        EXPECT_EQ(info.values, 2u);
        EXPECT_EQ(info.maxValueDataLength, 8u);
        EXPECT_EQ(otherThreadSees(), "old,<missing>,x");

        const RegistryKey doomed = make("wb\\doomed");
        ASSERT_EQ(setText(doomed, "v", "1"), kRegSuccess);
        ASSERT_EQ(key.deleteTree("doomed"), kRegSuccess);
        EXPECT_EQ(setText(doomed, "v", "2"), kRegKeyDeleted);
        const RegistryKey again = make("wb\\doomed");
        EXPECT_EQ(valueNames(again), std::vector<std::string>{});
        ASSERT_EQ(setText(again, "w", "3"), kRegSuccess);
        ASSERT_EQ(t.commit(), kRegSuccess);
    }
    EXPECT_EQ(otherThreadSees(), "changed,made,<missing>");
    RegistryKey again;
    ASSERT_EQ(key.open("doomed", KeyAccess::Read, again), kRegSuccess);
    EXPECT_EQ(valueNames(again), std::vector<std::string>{"w"});
    EXPECT_EQ(text(again, "w"), "3");
}

// A key with many values (as the raw layout keeps a whole list) finds each by any case of its name, keeps
// the order of creation through replacements and deletions, and stores them all.
TEST_F(Registry, ManyValuesOfOneKeyAreFoundInOrder) {
    const RegistryKey key = make("many");
    constexpr int kCount = 200;
    for (int inTransaction = 0; inTransaction < 2; ++inTransaction) {
        RegistryTransaction t(Hive::User, RegistryTransaction::Mode::Write);
        if (!inTransaction) {
            ASSERT_EQ(t.commit(), kRegSuccess);  // the first round writes through
        }
        for (int i = 0; i < kCount; ++i)
            ASSERT_EQ(setText(key, "Val" + std::to_string(i), std::to_string(i + inTransaction)), kRegSuccess);
        ASSERT_EQ(key.deleteValue("VAL7"), kRegSuccess);
        ASSERT_EQ(setText(key, "val150", "replaced"), kRegSuccess);
        ASSERT_EQ(setText(key, "val7", "back"), kRegSuccess);
        ASSERT_EQ(setText(key, "VAL7", "back"), kRegSuccess);  // found again, not made twice
        EXPECT_EQ(text(key, "Val7"), "back");
        EXPECT_EQ(text(key, "val8"), std::to_string(8 + inTransaction));
        if (inTransaction) {
            ASSERT_EQ(t.commit(), kRegSuccess);
        }
        closeThreadHives();
        const std::vector<std::string> names = valueNames(key);
        ASSERT_EQ(names.size(), static_cast<std::size_t>(kCount));
        EXPECT_EQ(names[6], "Val6");
        EXPECT_EQ(names[7], "Val8");
        EXPECT_EQ(names.back(), "val7");
        EXPECT_EQ(text(key, "VAL150"), "replaced");
        EXPECT_EQ(text(key, "vAl199"), std::to_string(199 + inTransaction));
        EXPECT_EQ(text(key, "val7"), "back");
        EXPECT_EQ(text(key, "val200"), "<missing>");
    }
}

// Inside a transaction subkeys are listed once and names opened from that list; the list follows the
// transaction's own creates and deletes, and a read transaction sees no other thread's new keys.
TEST_F(Registry, SubkeysListedInATransactionFollowItsOwnChanges) {
    const RegistryKey key = make("list");
    make("list\\Beta");
    make("list\\alpha");
    {
        RegistryTransaction t(Hive::User, RegistryTransaction::Mode::Write);
        ASSERT_EQ(t.status(), kRegSuccess);
        EXPECT_EQ(subkeys(key), (std::vector<std::string>{"alpha", "Beta"}));
        RegistryKey out;
        EXPECT_EQ(key.open("BETA", KeyAccess::Read, out), kRegSuccess);
        EXPECT_EQ(out.path(), "list\\BETA");
        EXPECT_EQ(key.open("b", KeyAccess::Read, out), kRegFileNotFound);
        EXPECT_EQ(key.open("gamma", KeyAccess::Read, out), kRegFileNotFound);
        make("list\\b");
        EXPECT_EQ(key.open("b", KeyAccess::Read, out), kRegSuccess);
        EXPECT_EQ(subkeys(key), (std::vector<std::string>{"alpha", "b", "Beta"}));
        ASSERT_EQ(key.deleteTree("alpha"), kRegSuccess);
        EXPECT_EQ(key.open("alpha", KeyAccess::Read, out), kRegFileNotFound);
        EXPECT_EQ(subkeys(key), (std::vector<std::string>{"b", "Beta"}));
        ASSERT_EQ(t.commit(), kRegSuccess);
    }
    RegistryTransaction reading(Hive::User, RegistryTransaction::Mode::Read);
    ASSERT_EQ(reading.status(), kRegSuccess);
    EXPECT_EQ(subkeys(key), (std::vector<std::string>{"b", "Beta"}));
    std::thread other([&] {
        make("list\\c");
        closeThreadHives();
    });
    other.join();
    RegistryKey out;
    EXPECT_EQ(key.open("c", KeyAccess::Read, out), kRegFileNotFound);
    EXPECT_EQ(reading.commit(), kRegSuccess);
    EXPECT_EQ(key.open("c", KeyAccess::Read, out), kRegSuccess);
}

TEST_F(Registry, KeyInfoCountsAndMeasures) {
    const RegistryKey key = make("info");
    make("info\\abc");
    make("info\\abcdef");
    ASSERT_EQ(setText(key, "name12", "0123456789"), kRegSuccess);
    ASSERT_EQ(setText(key, "n", ""), kRegSuccess);
    KeyInfo info;
    ASSERT_EQ(key.queryInfo(info), kRegSuccess);
    EXPECT_EQ(info.subKeys, 2u);
    EXPECT_EQ(info.maxSubKeyLength, 6u);
    EXPECT_EQ(info.values, 2u);
    EXPECT_EQ(info.maxValueNameLength, 6u);
    EXPECT_EQ(info.maxValueDataLength, 11u);
}

TEST_F(Registry, TransactionsShowAllOrNothing) {
    const RegistryKey key = make("tx");
    {
        RegistryTransaction t(Hive::User, RegistryTransaction::Mode::Write);
        ASSERT_EQ(t.status(), kRegSuccess);
        ASSERT_EQ(setText(key, "a", "1"), kRegSuccess);
        make("tx\\sub");
    }  // not committed
    EXPECT_EQ(text(key, "a"), "<missing>");
    EXPECT_EQ(subkeys(key), std::vector<std::string>{});
    {
        RegistryTransaction outer(Hive::User, RegistryTransaction::Mode::Write);
        ASSERT_EQ(setText(key, "b", "2"), kRegSuccess);
        {
            RegistryTransaction inner(Hive::User, RegistryTransaction::Mode::Write);
            ASSERT_EQ(setText(key, "c", "3"), kRegSuccess);
            EXPECT_EQ(inner.commit(), kRegSuccess);
        }
        // A failing step inside a transaction undoes only itself.
        RegistryKey out;
        EXPECT_EQ(key.create("ok\\a\\\\b", KeyAccess::ReadWrite, false, out), kRegBadPathname);
        EXPECT_EQ(outer.commit(), kRegSuccess);
    }
    EXPECT_EQ(text(key, "b"), "2");
    EXPECT_EQ(text(key, "c"), "3");
    {
        RegistryTransaction outer(Hive::User, RegistryTransaction::Mode::Write);
        ASSERT_EQ(setText(key, "d", "4"), kRegSuccess);
        { RegistryTransaction inner(Hive::User, RegistryTransaction::Mode::Write); }  // abandoned
        EXPECT_EQ(outer.commit(), kRegIoFailed);
    }
    EXPECT_EQ(text(key, "d"), "<missing>");
}

TEST_F(Registry, AReadTransactionSeesOneStateWhileAnotherThreadWrites) {
    const RegistryKey key = make("snap");
    ASSERT_EQ(setText(key, "v", "old"), kRegSuccess);
    RegistryTransaction reading(Hive::User, RegistryTransaction::Mode::Read);
    ASSERT_EQ(reading.status(), kRegSuccess);
    EXPECT_EQ(text(key, "v"), "old");
    int written = -1;
    std::thread writer([&] {
        written = setText(key, "v", "new");  // does not wait for the reader
        closeThreadHives();
    });
    writer.join();
    EXPECT_EQ(written, kRegSuccess);
    EXPECT_EQ(text(key, "v"), "old");
    EXPECT_EQ(reading.commit(), kRegSuccess);
    EXPECT_EQ(text(key, "v"), "new");
}

TEST_F(Registry, AWriterGivesUpAfterItsWaitWhileReadersGoOn) {
    const RegistryKey key = make("busy");
    ASSERT_EQ(setText(key, "v", "old"), kRegSuccess);
    setBusyWait(20, 1);
    RegistryTransaction holding(Hive::User, RegistryTransaction::Mode::Write);
    ASSERT_EQ(setText(key, "v", "held"), kRegSuccess);
    int written = -1;
    std::string read;
    const auto elsewhere = [&] {
        written = setText(key, "w", "x");
        read = text(key, "v");
        closeThreadHives();
    };
    std::thread(elsewhere).join();
    EXPECT_EQ(written, kRegBusy);
    EXPECT_EQ(read, "old");
    ASSERT_EQ(holding.commit(), kRegSuccess);
    std::thread(elsewhere).join();
    EXPECT_EQ(written, kRegSuccess);
    EXPECT_EQ(read, "held");
    setBusyWait(2000, 5);
}

TEST_F(Registry, AWriterHoldingTheHiveOnlyPostponesTheVolatileCleanUp) {
    const std::string bootFile = folder_ + "/boot_id";
    std::ofstream(bootFile) << "earlier\n";
    setBootIdSource(bootFile);
    closeThreadHives();
    make("old", true);
    make("kept");
    std::ofstream(bootFile) << "now\n";
    setBusyWait(20, 1);
    std::vector<std::string> seen;
    {
        RegistryTransaction holding(Hive::User, RegistryTransaction::Mode::Write);
        std::thread([&] {
            seen = subkeys(RegistryKey::root(Hive::User));
            closeThreadHives();
        }).join();
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"kept", "old"}));
    closeThreadHives();
    EXPECT_EQ(subkeys(RegistryKey::root(Hive::User)), std::vector<std::string>{"kept"});
}

TEST_F(Registry, TheUsersHiveIsPrivateTheMachineHiveReadable) {
    const mode_t old = ::umask(022);
    ::setenv("QXPROPHANDLING_REGISTRY_DIR", (folder_ + "/made/here").c_str(), 1);
    make("k");
    RegistryKey out;
    ASSERT_EQ(RegistryKey::root(Hive::Machine).create("k", KeyAccess::ReadWrite, false, out), kRegSuccess);
    ::umask(old);
    namespace fs = std::filesystem;
    const auto mode = [](const std::string& path) { return fs::status(path).permissions() & fs::perms::all; };
    EXPECT_EQ(mode(folder_ + "/made/here"), fs::perms::owner_all);
    EXPECT_EQ(mode(folder_ + "/made/here/user.hive"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(mode(folder_ + "/made/here/machine.hive"),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
}

TEST(EnvironmentStrings, SetNamesExpandOthersStay) {
    ::setenv("QX_TEST_A", "alpha", 1);
    ::setenv("QX_TEST_EMPTY", "", 1);
    ::unsetenv("QX_TEST_UNSET");
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"%QX_TEST_A%", "alpha"},
        {"x%QX_TEST_A%y%QX_TEST_A%", "xalphayalpha"},
        {"%QX_TEST_UNSET%", "%QX_TEST_UNSET%"},
        {"%QX_TEST_UNSET%QX_TEST_A%", "%QX_TEST_UNSETalpha"},
        {"[%QX_TEST_EMPTY%]", "[]"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"", ""},
    };
    for (const auto& c : cases) {
        const auto result = expandEnvironmentStrings(std::string_view(c.in));
        ASSERT_TRUE(result.has_value()) << c.in;
        EXPECT_EQ(*result, c.out) << c.in;
    }
}

TEST(EnvironmentStrings, BufferAndSizeLimits) {
    ::setenv("QX_TEST_A", "alpha", 1);
    char buffer[8] = "unset";
    EXPECT_EQ(expandEnvironmentStrings("<%QX_TEST_A%>", buffer, 7), 8u);  // too small: size only
    EXPECT_STREQ(buffer, "unset");
    EXPECT_EQ(expandEnvironmentStrings("<%QX_TEST_A%>", buffer, 8), 8u);
    EXPECT_STREQ(buffer, "<alpha>");
    EXPECT_EQ(expandEnvironmentStrings(nullptr, buffer, 8), 0u);

    ::setenv("QX_TEST_BIG", std::string(16384, 'b').c_str(), 1);
    EXPECT_EQ(expandEnvironmentStrings(std::string(32767, 'x')).value_or("").size(), 32767u);
    EXPECT_FALSE(expandEnvironmentStrings(std::string(32768, 'x')).has_value());
    EXPECT_FALSE(expandEnvironmentStrings("%QX_TEST_BIG%%QX_TEST_BIG%").has_value());
    EXPECT_EQ(expandEnvironmentStrings("%QX_TEST_BIG%", nullptr, 0), 16385u);
}

} // namespace
} // namespace qx::platform
