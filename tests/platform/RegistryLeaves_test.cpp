// tests/platform/RegistryLeaves_test.cpp -- keys kept as leaves in their parent's row and the cache each
// connection keeps of the tree: what the hive file holds, a leaf becoming a row, removed and remade leaves,
// other threads' changes seen, rolled-back changes forgotten, reused memory starting clean; and the packed
// value table and the subkey table on their own.
#include "RegistryTestSupport.h"

#include <algorithm>
#include <fstream>
#include <thread>

#include <sqlite3.h>

#include "platform/RegistryHive.h"

namespace qx::platform {
namespace {

using RegistryLeaves = RegistryFolder;

std::uint32_t valueCount(const RegistryKey& key) {
    KeyInfo info;
    EXPECT_EQ(key.queryInfo(info), kRegSuccess);
    return info.values;
}

// Rows of the keys table, read straight from the hive file.
int keyRows(const std::string& folder) {
    closeThreadHives();
    sqlite3* db = nullptr;
    int rows = -1;
    if (sqlite3_open_v2((folder + "/user.hive").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM keys", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            rows = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return rows;
}

// A list of many keys without subkeys costs the hive one row for the list, not one per key, and reads back
// whole from a new connection.
TEST_F(RegistryLeaves, KeysWithoutSubkeysShareTheirParentsRow) {
    {
        RegistryTransaction t(Hive::User, RegistryTransaction::Mode::Write);
        const RegistryKey list = make("Settings\\list");
        for (int i = 0; i < 500; ++i) {
            RegistryKey leaf;
            ASSERT_EQ(list.create("p" + std::to_string(i), KeyAccess::ReadWrite, false, leaf), kRegSuccess);
            ASSERT_EQ(setText(leaf, "data", std::to_string(i * 3)), kRegSuccess);
        }
        ASSERT_EQ(t.commit(), kRegSuccess);
    }
    EXPECT_EQ(keyRows(folder_), 3);  // the root, Settings and the list
    RegistryKey list;
    ASSERT_EQ(RegistryKey::root(Hive::User).open("settings\\LIST", KeyAccess::Read, list), kRegSuccess);
    EXPECT_EQ(subkeys(list).size(), 500u);
    RegistryKey p42;
    ASSERT_EQ(list.open("P42", KeyAccess::Read, p42), kRegSuccess);
    EXPECT_EQ(text(p42, "DATA"), "126");
}

// A leaf that gets a subkey becomes a row: a handle opened before keeps working, its values stay, and its
// parent still lists it once.
TEST_F(RegistryLeaves, ALeafGivenASubkeyKeepsItsHandleAndValues) {
    const RegistryKey leaf = make("a\\leaf");
    ASSERT_EQ(setText(leaf, "v", "before"), kRegSuccess);
    const RegistryKey below = make("a\\leaf\\below");
    ASSERT_EQ(setText(below, "w", "deep"), kRegSuccess);
    EXPECT_EQ(text(leaf, "v"), "before");
    ASSERT_EQ(setText(leaf, "v", "after"), kRegSuccess);
    EXPECT_EQ(keyRows(folder_), 3);  // root, a, leaf (now a row); below is a leaf of it
    RegistryKey a;
    ASSERT_EQ(RegistryKey::root(Hive::User).open("a", KeyAccess::Read, a), kRegSuccess);
    EXPECT_EQ(subkeys(a), std::vector<std::string>{"leaf"});
    EXPECT_EQ(text(leaf, "v"), "after");
    RegistryKey again;
    ASSERT_EQ(RegistryKey::root(Hive::User).open("a\\leaf\\below", KeyAccess::Read, again), kRegSuccess);
    EXPECT_EQ(text(again, "w"), "deep");
}

// Rows and leaves of one key enumerate together in name order, without regard to case.
TEST_F(RegistryLeaves, RowsAndLeavesEnumerateTogetherByName) {
    make("k\\delta");
    make("k\\Bravo\\x");  // a row: it has a subkey
    make("k\\alpha", true);  // a row: volatile keys always are
    make("k\\charlie");
    RegistryKey k;
    ASSERT_EQ(RegistryKey::root(Hive::User).open("k", KeyAccess::Read, k), kRegSuccess);
    EXPECT_EQ(subkeys(k), (std::vector<std::string>{"alpha", "Bravo", "charlie", "delta"}));
    KeyInfo info;
    ASSERT_EQ(k.queryInfo(info), kRegSuccess);
    EXPECT_EQ(info.subKeys, 4u);
    EXPECT_EQ(info.maxSubKeyLength, 7u);
}

// A removed leaf answers kRegKeyDeleted through its handles, also once a key of its name is made again;
// removing and remaking many leaves of one parent keeps every other one findable.
TEST_F(RegistryLeaves, RemovedLeavesStayGoneAndOthersStayFound) {
    const RegistryKey list = make("list");
    for (int i = 0; i < 64; ++i) make("list\\k" + std::to_string(i));
    const RegistryKey old = make("list\\k7");
    ASSERT_EQ(setText(old, "v", "old"), kRegSuccess);
    for (int i = 0; i < 64; i += 2) ASSERT_EQ(list.deleteTree("k" + std::to_string(i)), kRegSuccess);
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 64; i += 4) make("list\\k" + std::to_string(i));
    EXPECT_EQ(setText(old, "v", "new"), kRegSuccess);  // k7 was never removed
    EXPECT_EQ(subkeys(list).size(), 48u);
    for (int i = 0; i < 64; ++i) {
        RegistryKey k;
        const int expected = i % 4 == 0 || i % 2 == 1 ? kRegSuccess : kRegFileNotFound;
        EXPECT_EQ(list.open("K" + std::to_string(i), KeyAccess::Read, k), expected) << i;
    }
    const RegistryKey doomed = make("list\\k9");
    ASSERT_EQ(list.deleteTree("k9"), kRegSuccess);
    make("list\\k9");
    EXPECT_EQ(setText(doomed, "v", "x"), kRegKeyDeleted);
    closeThreadHives();
    EXPECT_EQ(subkeys(list).size(), 48u);
}

// What one thread cached of a leaf is renewed when another thread changes it; a transaction's own changes
// to leaves are gone after a rollback, also from the thread's cache.
TEST_F(RegistryLeaves, CachedLeavesFollowOtherThreadsAndForgetRollbacks) {
    const RegistryKey leaf = make("c\\leaf");
    ASSERT_EQ(setText(leaf, "v", "one"), kRegSuccess);
    EXPECT_EQ(text(leaf, "v"), "one");
    std::thread other([&] {
        EXPECT_EQ(setText(leaf, "v", "two"), kRegSuccess);
        make("c\\sibling");
        closeThreadHives();
    });
    other.join();
    EXPECT_EQ(text(leaf, "v"), "two");
    RegistryKey c;
    ASSERT_EQ(RegistryKey::root(Hive::User).open("c", KeyAccess::ReadWrite, c), kRegSuccess);
    EXPECT_EQ(subkeys(c), (std::vector<std::string>{"leaf", "sibling"}));
    {
        RegistryTransaction t(Hive::User, RegistryTransaction::Mode::Write);
        ASSERT_EQ(setText(leaf, "v", "three"), kRegSuccess);
        make("c\\uncommitted");
        ASSERT_EQ(c.deleteTree("sibling"), kRegSuccess);
        EXPECT_EQ(subkeys(c), (std::vector<std::string>{"leaf", "uncommitted"}));
    }
    EXPECT_EQ(text(leaf, "v"), "two");
    EXPECT_EQ(subkeys(c), (std::vector<std::string>{"leaf", "sibling"}));
}

// Keys made after others were removed in the same transaction reuse their memory, and start without the
// values the removed keys had.
TEST_F(RegistryLeaves, KeysRemadeInATransactionStartWithoutOldValues) {
    const RegistryKey list = make("r");
    for (int i = 0; i < 300; ++i) {
        const RegistryKey k = make("r\\s\\p" + std::to_string(i));
        ASSERT_EQ(setText(k, "old", "x"), kRegSuccess);
    }
    {
        RegistryTransaction t(Hive::User, RegistryTransaction::Mode::Write);
        ASSERT_EQ(list.deleteTree("s"), kRegSuccess);
        for (int i = 0; i < 300; ++i) {
            const RegistryKey k = make("r\\s\\p" + std::to_string(i));
            EXPECT_EQ(valueCount(k), 0u) << i;
            ASSERT_EQ(setText(k, "new", std::to_string(i)), kRegSuccess);
        }
        ASSERT_EQ(t.commit(), kRegSuccess);
    }
    closeThreadHives();
    RegistryKey p5;
    ASSERT_EQ(RegistryKey::root(Hive::User).open("r\\s\\p5", KeyAccess::Read, p5), kRegSuccess);
    EXPECT_EQ(valueCount(p5), 1u);
    EXPECT_EQ(text(p5, "old"), "<missing>");
    EXPECT_EQ(text(p5, "new"), "5");
}

// A volatile key below a leaf makes the leaf a row; after a restart the volatile key is gone and the
// lasting one keeps its values.
TEST_F(RegistryLeaves, AVolatileKeyBelowALeafVanishesAloneAfterARestart) {
    const std::string bootFile = folder_ + "/boot_id";
    std::ofstream(bootFile) << "boot-1\n";
    setBootIdSource(bootFile);
    closeThreadHives();
    const RegistryKey leaf = make("v\\leaf");
    ASSERT_EQ(setText(leaf, "kept", "yes"), kRegSuccess);
    make("v\\leaf\\gone", true);
    std::ofstream(bootFile) << "boot-2\n";
    closeThreadHives();
    RegistryKey reopened;
    ASSERT_EQ(RegistryKey::root(Hive::User).open("v\\leaf", KeyAccess::Read, reopened), kRegSuccess);
    EXPECT_EQ(subkeys(reopened), std::vector<std::string>{});
    EXPECT_EQ(text(reopened, "kept"), "yes");
}

// Several values in one call: each gets its own result, a bad one leaves the others set, and a name given
// twice ends with the later value.
TEST_F(RegistryLeaves, SetValuesReportsEachValue) {
    const RegistryKey key = make("batch");
    const std::uint32_t one = 1, two = 2;
    const char bad[] = {'a', '\0', 'b'};
    const ValueWrite values[] = {
        {"first", kRegDword, &one, 4},
        {std::string_view(bad, 3), kRegDword, &one, 4},
        {"short", kRegDword, &one, 2},
        {"First", kRegDword, &two, 4},
        {"last", kRegSz, "z", 2},
    };
    int results[5] = {-1, -1, -1, -1, -1};
    EXPECT_EQ(key.setValues(values, 5, results), kRegInvalidParameter);
    EXPECT_EQ(std::vector<int>(results, results + 5),
              (std::vector<int>{kRegSuccess, kRegInvalidParameter, kRegInvalidParameter, kRegSuccess, kRegSuccess}));
    EXPECT_EQ(valueCount(key), 2u);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(key.queryValue("first", type, data), kRegSuccess);
    EXPECT_EQ(data, (std::vector<std::uint8_t>{2, 0, 0, 0}));
    RegistryKey reader;
    ASSERT_EQ(key.open("", KeyAccess::Read, reader), kRegSuccess);
    int denied[1] = {-1};
    EXPECT_EQ(reader.setValues(values, 1, denied), kRegAccessDenied);
    EXPECT_EQ(denied[0], kRegAccessDenied);
}

// A NUL byte anywhere in a value name or a key path is refused, whatever the length (short names are
// checked a word at a time, long ones by a scan); the same names without it are taken.
TEST_F(RegistryLeaves, NulBytesAreFoundAtEveryPlaceOfShortAndLongNames) {
    const RegistryKey key = make("nul");
    const std::uint32_t one = 1;
    for (std::size_t length = 1; length <= 20; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
            std::string name(length, 'n');
            name[at] = '\0';
            EXPECT_EQ(key.setValue(name, kRegDword, &one, 4), kRegInvalidParameter) << length << " " << at;
            std::string path(length, 'k');
            path[at] = '\0';
            RegistryKey sub;
            EXPECT_EQ(key.create(path, KeyAccess::ReadWrite, false, sub), kRegInvalidParameter) << length << " " << at;
        }
        EXPECT_EQ(key.setValue(std::string(length, 'n'), kRegDword, &one, 4), kRegSuccess) << length;
    }
    EXPECT_EQ(valueCount(key), 20u);
    EXPECT_EQ(subkeys(key), std::vector<std::string>{});
}

// Only ASCII letters fold: names of every length up to 20 are found in either case, after the tree is read
// again from the file too, while the neighbours of the letters ('@' and '`', '[' and '{') and bytes with
// the high bit set stay apart.
TEST_F(RegistryLeaves, OnlyAsciiLettersFoldAtEveryLength) {
    const RegistryKey parent = make("fold");
    const std::string letters = "aZbYcXdWeVfUgThSiRjQ";
    auto upper = [](std::string text) {
        for (char& ch : text) ch = ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
        return text;
    };
    auto lower = [](std::string text) {
        for (char& ch : text) ch = ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
        return text;
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t length = 1; length <= letters.size(); ++length) {
            const std::string name = letters.substr(0, length);
            RegistryKey key;
            bool created = false;
            ASSERT_EQ(parent.create(pass == 0 ? name : upper(name), KeyAccess::ReadWrite, false, key, &created),
                      kRegSuccess);
            EXPECT_EQ(created, pass == 0) << name;
            EXPECT_EQ(parent.open(lower(name), KeyAccess::Read, key), kRegSuccess) << name;
        }
        closeThreadHives();  // the second pass finds them in the file
    }
    const std::pair<std::string, std::string> apart[] = {
        {"x@", "x`"}, {"x[", "x{"}, {"\xC1", "\xE1"}, {"abcdefg@", "ABCDEFG`"}, {"abcdefghij[k", "ABCDEFGHIJ{K"},
        {"abcd\xC1", "ABCD\xE1"}};
    for (const auto& [first, second] : apart) {
        RegistryKey key;
        bool created = false;
        ASSERT_EQ(parent.create(first, KeyAccess::ReadWrite, false, key, &created), kRegSuccess);
        EXPECT_TRUE(created) << first;
        ASSERT_EQ(parent.create(second, KeyAccess::ReadWrite, false, key, &created), kRegSuccess);
        EXPECT_TRUE(created) << second << " is not " << first;
    }
    EXPECT_EQ(subkeys(parent).size(), letters.size() + 2 * std::size(apart));
}

// Making a key with its values in one step: the values land in the new key (a repeated name replaces the
// earlier one), bad ones are reported one by one, an existing key keeps its other values, a bad path makes
// nothing, and a handle is given only when asked for.
TEST_F(RegistryLeaves, CreateWithValuesMakesTheKeyAndReportsEachValue) {
    const RegistryKey parent = make("made");
    const std::uint32_t one = 1, two = 2;
    const ValueWrite values[] = {
        {"first", kRegDword, &one, 4},
        {"short", kRegDword, &one, 2},
        {"FIRST", kRegDword, &two, 4},
        {"text", kRegSz, "ab", 3},
    };
    int results[4] = {-1, -1, -1, -1};
    RegistryKey handle;
    ASSERT_EQ(parent.createWithValues("leaf", false, values, 4, results, &handle), kRegSuccess);
    EXPECT_EQ(std::vector<int>(results, results + 4),
              (std::vector<int>{kRegSuccess, kRegInvalidParameter, kRegSuccess, kRegSuccess}));
    ASSERT_TRUE(handle.isOpen());
    EXPECT_EQ(handle.access(), KeyAccess::ReadWrite);
    EXPECT_EQ(handle.path(), parent.path() + "\\leaf");
    EXPECT_EQ(valueCount(handle), 2u);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(handle.queryValue("first", type, data), kRegSuccess);
    EXPECT_EQ(data, (std::vector<std::uint8_t>{2, 0, 0, 0}));

    // Again on the existing key, without a handle: "text" is replaced, "first" stays.
    const ValueWrite again[] = {{"Text", kRegSz, "cd", 3}, {"more", kRegDword, &one, 4}};
    int second[2] = {-1, -1};
    ASSERT_EQ(parent.createWithValues("LEAF", false, again, 2, second), kRegSuccess);
    EXPECT_EQ(std::vector<int>(second, second + 2), (std::vector<int>{kRegSuccess, kRegSuccess}));
    closeThreadHives();  // what follows is read back from the file
    EXPECT_EQ(valueCount(handle), 3u);
    ASSERT_EQ(handle.queryValue("text", type, data), kRegSuccess);
    EXPECT_EQ(std::string(data.begin(), data.end()), std::string("cd", 3));
    EXPECT_EQ(subkeys(parent), (std::vector<std::string>{"leaf"}));

    // A path through new keys makes them all; a bad path makes nothing and leaves the results alone.
    int deep[1] = {-1};
    ASSERT_EQ(parent.createWithValues("a\\b", false, values, 1, deep), kRegSuccess);
    RegistryKey b;
    ASSERT_EQ(parent.open("a\\b", KeyAccess::Read, b), kRegSuccess);
    EXPECT_EQ(valueCount(b), 1u);
    int unused[1] = {-1};
    EXPECT_EQ(parent.createWithValues("x\\..", false, values, 1, unused), kRegBadPathname);
    EXPECT_EQ(unused[0], -1);
    EXPECT_EQ(subkeys(parent), (std::vector<std::string>{"a", "leaf"}));

    // A key opened for reading makes nothing below it.
    RegistryKey reader;
    ASSERT_EQ(parent.open("", KeyAccess::Read, reader), kRegSuccess);
    EXPECT_EQ(reader.createWithValues("other", false, values, 1, unused), kRegAccessDenied);
    EXPECT_EQ(subkeys(parent), (std::vector<std::string>{"a", "leaf"}));
}

// The packed table on its own: replacing a value with one of another size keeps the order and the bytes
// of those after it; erasing from the middle; a batch of new names appended at once, with a repeated name
// and a skipped entry; many values found through the index after changes.
TEST(RegistryValueTable, ReplacingAndErasingKeepOrderAndBytes) {
    hive::ValueTable table;
    table.set("a", kRegSz, "1", 2);
    table.set("b", kRegSz, "22", 3);
    table.set("c", kRegSz, "333", 4);
    table.set("B", kRegSz, "a much longer text", 19);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table.at(1).name, "b");
    EXPECT_EQ(table.at(1).data, std::string_view("a much longer text", 19));
    EXPECT_EQ(table.at(2).data, std::string_view("333", 4));
    EXPECT_TRUE(table.erase("A"));
    EXPECT_FALSE(table.erase("a"));
    EXPECT_EQ(table.find("c"), 1);
    EXPECT_EQ(table.get("C")->data, std::string_view("333", 4));

    hive::ValueTable copy;
    ASSERT_TRUE(copy.decode(table.packed().data(), table.packed().size()));
    EXPECT_EQ(copy.find("b"), 0);
    EXPECT_FALSE(copy.decode(table.packed().data(), table.packed().size() - 1));
    EXPECT_EQ(copy.size(), 0u);

    hive::ValueTable batch;
    const std::uint32_t v1 = 1, v2 = 2, v3 = 3;
    const ValueWrite writes[] = {{"x", kRegDword, &v1, 4}, {"y", kRegDword, &v2, 4}, {"X", kRegDword, &v3, 4},
                                 {"z", kRegDword, &v3, 4}};
    const int results[] = {0, 0, 0, kRegInvalidParameter};
    batch.setAll(writes, results, 4);
    ASSERT_EQ(batch.size(), 2u);
    EXPECT_EQ(batch.at(0).data, std::string_view("\3\0\0\0", 4));
    EXPECT_EQ(batch.find("z"), -1);
    batch.setAll(writes + 1, results + 1, 1);  // y is there already
    EXPECT_EQ(batch.size(), 2u);

    hive::ValueTable many;
    for (int i = 0; i < 100; ++i) many.set("n" + std::to_string(i), kRegSz, "v", 2);
    many.set("N50", kRegSz, "changed", 8);
    EXPECT_TRUE(many.erase("n10"));
    many.set("n100", kRegSz, "w", 2);
    EXPECT_EQ(many.find("n51"), 50);
    EXPECT_EQ(many.get("n50")->data, std::string_view("changed", 8));
    EXPECT_EQ(many.at(99).name, "n100");
    EXPECT_FALSE(many.get("n10"));
}

// The subkey table on its own: found by name and id, listed in order, removals leave the others findable,
// and blocks given up are reused with nothing of their old children.
TEST(RegistryChildren, FindListRemoveAndReuse) {
    hive::Children children;
    for (int i = 0; i < 600; ++i) {
        hive::Child& c = children.add("k" + std::to_string(i), 1000 + i);
        c.name = "K" + std::to_string(i);
        c.values.set("v", kRegSz, "x", 2);
    }
    for (int i = 0; i < 600; i += 3) children.erase(1000 + i);
    EXPECT_EQ(children.size(), 400u);
    EXPECT_EQ(children.find("k3"), nullptr);
    ASSERT_NE(children.find("k4"), nullptr);
    EXPECT_EQ(children.find("k4")->id, 1004);
    EXPECT_EQ(children.findId(1005)->name, "K5");
    EXPECT_EQ(children.findId(1006), nullptr);
    children.add("k3", 5000).name = "K3";
    EXPECT_EQ(children.find("k3")->id, 5000);
    const auto& sorted = children.sorted();
    ASSERT_EQ(sorted.size(), 401u);
    EXPECT_EQ(sorted[0]->folded, "k1");
    EXPECT_EQ(sorted[1]->folded, "k10");
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(),
                               [](const hive::Child* a, const hive::Child* b) { return a->folded < b->folded; }));

    hive::Children::Spares spares;
    children.giveUp(spares, 65536);
    EXPECT_EQ(children.size(), 0u);
    EXPECT_EQ(children.find("k4"), nullptr);
    ASSERT_FALSE(spares.empty());
    hive::Children next;
    hive::Child& reused = next.add("fresh", 7, &spares);
    EXPECT_EQ(reused.values.size(), 0u);
    EXPECT_TRUE(reused.name.empty());
    EXPECT_FALSE(reused.leaf);
    EXPECT_EQ(next.findId(7), &reused);
}

} // namespace
} // namespace qx::platform
