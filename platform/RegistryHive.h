// platform/RegistryHive.h -- the database side of the emulated registry, shared by Registry.cpp (keys and
// values), RegistryTree.cpp (the key tree as a connection knows it, with its unwritten changes),
// RegistryValues.cpp (packed values) and RegistryHive.cpp (files, connections, transactions, volatile keys).
// Not for code above platform/: it sees Registry.h only.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <memory>
#include <set>
#include <utility>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <sqlite3.h>

#include "platform/Registry.h"

namespace qx::platform::hive {

inline constexpr std::int64_t kRootId = 1;
// The layout of the hive file, kept in its user_version. 2: a key's values are one packed column of its row.
// 3: besides, lasting keys without subkeys are kept packed in their parent's row.
inline constexpr int kSchemaVersion = 3;

// Names fold ASCII upper case to lower case for comparing.
inline char foldChar(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }
std::string foldedName(std::string_view name);
// The packed forms write numbers as unsigned varints: 7 bits a byte, low bits first, the high bit set on
// every byte but the last.
std::size_t varintSize(std::uint64_t value);
std::uint8_t* putVarint(std::uint8_t* to, std::uint64_t value);
bool getVarint(const std::uint8_t*& at, const std::uint8_t* end, std::uint64_t& value);

// A growable run of bytes that, unlike std::string, can be extended without first being filled. The first
// bytes live inside the object: a setting's key has about a hundred bytes of values, and keeping them in the
// key itself lets an export write its keys one after another in memory instead of all over the heap.
class PackedBytes {
public:
    PackedBytes() = default;
    PackedBytes(const PackedBytes& other) { assign(other.data(), other.size()); }
    PackedBytes& operator=(const PackedBytes& other) {
        if (this != &other) assign(other.data(), other.size());
        return *this;
    }
    PackedBytes(PackedBytes&& other) noexcept { take(other); }
    PackedBytes& operator=(PackedBytes&& other) noexcept {
        if (this != &other) {
            heap_.reset();
            take(other);
        }
        return *this;
    }

    const char* data() const noexcept { return heap_ ? heap_.get() : inline_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    void clear() noexcept { size_ = 0; }
    // Makes the bytes n longer and returns where the new ones start, for the caller to fill.
    char* extend(std::size_t n) {
        if (size_ + n > capacity_) grow(size_ + n);
        char* at = bytes() + size_;
        size_ += n;
        return at;
    }
    void assign(const char* from, std::size_t n);
    // Replaces n bytes at offset with the m bytes at from.
    void replace(std::size_t offset, std::size_t n, const char* from, std::size_t m);

private:
    static constexpr std::size_t kInline = 112;
    char* bytes() noexcept { return heap_ ? heap_.get() : inline_; }
    void take(PackedBytes& other) noexcept;
    // Makes room for at least `needed` bytes, keeping those there.
    void grow(std::size_t needed);

    char inline_[kInline];
    std::unique_ptr<char[]> heap_;  // null while the bytes fit inline_
    std::size_t size_ = 0;
    std::size_t capacity_ = kInline;
};

// The values of one key in creation order, kept in their packed form (the bytes stored with the key), so
// that reading a key costs one copy and writing one costs an append. Names compare without ASCII case.
class ValueTable {
public:
    struct Value {
        std::string_view name;
        std::uint32_t type = 0;
        std::string_view data;
    };
    std::size_t size() const noexcept { return count_; }
    // The value at this index in creation order; valid until the table changes.
    Value at(std::size_t index) const;
    // Index of the value with this name, or -1; *offset: where it starts in the packed bytes.
    int find(std::string_view name, std::size_t* offset = nullptr) const;
    // The named value, or nothing; valid until the table changes.
    std::optional<Value> get(std::string_view name) const;
    // Replaces type and data of the named value (keeping its place) or appends it.
    void set(std::string_view name, std::uint32_t type, const void* data, std::uint32_t size);
    // The same for each value whose result is 0, in order. Values new to the table and to each other (the
    // values of a key just made) are appended at once.
    void setAll(const ValueWrite* values, const int* results, std::size_t count);
    bool erase(std::string_view name);
    // false when the bytes are not a packed table (the table is then empty).
    bool decode(const void* bytes, std::size_t size);
    // Empties the table, keeping its buffer for the values to come.
    void clear();
    const PackedBytes& packed() const noexcept { return packed_; }

private:
    Value entryAt(std::size_t offset, std::size_t* next = nullptr) const;
    void makeOffsets() const;

    PackedBytes packed_;
    std::size_t count_ = 0;
    // One bit per (length, first letter) of the names present: a name whose bit is clear is not there, so
    // the values of a new key are appended without a scan.
    std::uint64_t nameBits_ = 0;
    // Where each value starts (made when a value is asked for by index), and folded name -> index (made for
    // keys with many values: the raw layout keeps whole lists as the values of one key, and looking each
    // up by a scan would be quadratic). Apart, so that the many keys that never need them stay small.
    struct Lookup {
        std::vector<std::uint32_t> offsets;
        bool offsetsMade = false;
        std::unordered_map<std::string, int> index;
    };
    Lookup& lookup() const;
    mutable std::unique_ptr<Lookup> lookup_;
};

// A subkey as this connection knows it: a row of its own, or a leaf kept inside its parent's row.
struct Child {
    std::int64_t id = 0;
    std::string name;
    std::string folded;         // the name as compared
    std::string boot;           // the boot id of a volatile key; empty for a lasting one
    std::size_t hash = 0;       // of folded
    std::size_t index = 0;      // where it is among its parent's children
    bool live = false;          // false: the slot of a removed child
    bool leaf = false;          // kept in the parent's row (lasting and without subkeys)
    bool valuesLoaded = false;  // values read (a leaf's always are)
    ValueTable values;
};

// The subkeys of one key, rows and leaves together, found by folded name or by id, and listed in folded-name
// order (the enumeration order). Children live in blocks that never move, found through an open-addressing
// table of their indexes: a list of many properties keeps its keys close together, where a node per key
// scattered them over the heap and made building, walking and dropping the list wait on memory.
class Children {
public:
    static constexpr std::size_t kBlock = 256;
    using Block = std::unique_ptr<Child[]>;
    // Blocks of children dropped earlier in a transaction, for add to reuse: an export drops the old
    // setting's keys and then makes as many new ones, and reusing their blocks and value buffers saves the
    // allocations and frees of every key.
    using Spares = std::vector<Block>;

    // *hash, when asked for, gets the name's hash, which add can then take instead of making it again.
    Child* find(std::string_view name, std::size_t* hash = nullptr);
    Child* findId(std::int64_t id);
    // Adds a child that is not there yet; its fields other than id, name and folded are the caller's.
    Child& add(std::string_view name, std::int64_t id, Spares* spares = nullptr, std::size_t hash = 0);
    void erase(std::int64_t id);
    std::size_t size() const noexcept { return live_; }
    // Every child in folded-name order; made anew after a change, when first asked.
    const std::vector<const Child*>& sorted();
    template <class Use>
    void forEach(Use&& use) const {
        for (std::size_t i = 0; i < used_; ++i)
            if (const Child& child = at(i); child.live) use(child);
    }
    // Empties this, handing its blocks to spares while they hold fewer than limit.
    void giveUp(Spares& spares, std::size_t limit);

private:
    Child& at(std::size_t i) const { return blocks_[i / kBlock][i % kBlock]; }
    void place(std::uint64_t entry);
    void reindex();

    std::vector<Block> blocks_;
    std::size_t used_ = 0;               // slots handed out, removed ones included
    std::size_t live_ = 0;
    std::size_t dead_ = 0;               // removed children still in the table
    // 0: empty, else an entry (see RegistryTree.cpp); a power of two in size, at most half full.
    std::vector<std::uint64_t> table_;
    std::unordered_map<std::int64_t, Child*> byId_;  // made when first needed: an export finds the keys
    bool byIdMade_ = false;                          // it makes through the located-keys memo
    std::vector<const Child*> sorted_;
    bool sortedMade_ = false;
};

// One thread's connection to one hive file.
struct Connection {
    sqlite3* db = nullptr;
    int pid = 0;              // the process that opened it; a forked child must not use or close it
    int depth = 0;            // open RegistryTransaction objects of this thread on this hive
    bool rollbackOnly = false;// an inner transaction ended without commit, or a step failed half-done
    std::string rollbackReason;
    std::string bootId;       // what volatile keys made through this connection carry
    std::unordered_map<const char*, sqlite3_stmt*> statements; // keyed by the SQL literal's address
    std::shared_ptr<const std::string> fileObject;  // the handle file object this thread used last

    std::int64_t serial = 0;  // counts the transactions begun, so a state seen in one is known in the next

    // The key tree as read so far, by parent id (0 holds the root), with this connection's changes not
    // yet written. Valid while the hive is in the state stamped (see checkTree); changes are written to
    // the rows at the end of the outermost step or transaction (flushTree).
    std::unordered_map<std::int64_t, Children> tree;
    // The entry of tree found last (entries stay where they are until the tree is dropped, which moves
    // treeGeneration): an export asks for one list's subkeys once per property.
    struct LastChildren {
        std::int64_t parent = -1;
        std::uint64_t generation = 0;
        Children* children = nullptr;
    } lastChildren;
    std::int64_t treeState = 0;
    bool treeStamped = false;
    std::uint64_t treeGeneration = 0;   // moves whenever a key is removed or the picture dropped
    std::set<std::int64_t> dirtyLeaves; // parents whose leaves changed
    std::set<std::pair<std::int64_t, std::int64_t>> dirtyValues;  // (parent, id) of rows whose values changed
    std::pair<std::int64_t, std::int64_t> lastDirty{-1, -1};      // (parent, id) noted last (id 0: a leaf)
    // The two keys located last, while the generation holds: calls come in runs on a key and its parent
    // (an export makes a key below a list, writes its values, makes the next one).
    struct Located {
        std::int64_t parent = -1, id = 0;
        std::uint64_t generation = 0;
        Child* child = nullptr;
    };
    Located located[2];
    void rememberLocated(const Located& key) {
        if (located[0].id != key.id || located[0].parent != key.parent) located[1] = located[0];
        located[0] = key;
    }
    std::int64_t nextId = 0;            // the next key id to hand out; 0 until read in this transaction
    bool nextIdDirty = false;
    bool touched = false;               // the present step changed the tree in memory
    Children::Spares spares;            // children dropped in the open transaction (see Children::Spares)

};

// Makes the tree cache fit the hive's present state: kept while no other connection changed the hive
// since it was read, dropped otherwise. Call first in every step.
void restampTree(Connection& c);
inline void checkTree(Connection& c) {
    if (c.depth > 0 && c.treeStamped && c.treeState == -c.serial) return;  // inside a transaction: as read
    restampTree(c);
}
// Drops the cache and every change not yet written (after a rollback).
void dropTree(Connection& c);
// The subkeys of a key, read when needed.
int children(Connection& c, std::int64_t parent, Children*& out);
// The key with this id below parent (parent 0 for the root): kRegKeyDeleted when it is not there.
int locateAgain(Connection& c, std::int64_t parent, std::int64_t id, Child*& out);
inline int locate(Connection& c, std::int64_t parent, std::int64_t id, Child*& out) {
    for (std::size_t i = 0; i < 2; ++i) {
        const Connection::Located& last = c.located[i];
        if (last.id == id && last.parent == parent && last.generation == c.treeGeneration) {
            out = last.child;
            // Found second: to the front, so that the next key made (which takes the front) pushes out the
            // other one. An export's calls alternate between the list's key and the key just made.
            if (i == 1) std::swap(c.located[0], c.located[1]);
            return kRegSuccess;
        }
    }
    return locateAgain(c, parent, id, out);
}
// The key's values for reading, or for changing (then noteChanged after the change).
int loadValues(Connection& c, Child& key);
inline int valuesOf(Connection& c, Child& key, ValueTable*& out) {
    if (!key.valuesLoaded)
        if (const int e = loadValues(c, key)) return e;
    out = &key.values;
    return kRegSuccess;
}
void noteChangedAgain(Connection& c, std::int64_t parent, const Child& key);
inline void noteChanged(Connection& c, std::int64_t parent, const Child& key) {
    c.touched = true;
    // A setting writes several values of one key in a row: the key is noted once.
    if (c.lastDirty.first != parent || c.lastDirty.second != (key.leaf ? 0 : key.id)) noteChangedAgain(c, parent, key);
}
// Makes a new subkey of owner (found below grandparent; siblings: owner's subkeys) with this name and the
// hash Children::find gave for it (0: not known), a row when asRow or boot is set (volatile), else a leaf.
// A leaf owner is made a row first.
int addChild(Connection& c, std::int64_t grandparent, Child& owner, Children& siblings, std::string_view name,
             std::size_t hash, bool asRow, const std::string& boot, Child*& out);
// Removes a subkey with everything below it.
int removeChild(Connection& c, std::int64_t parent, std::int64_t id);
// Writes the changes kept in memory (leaves, row values, the next id) to the rows.
int flushTree(Connection& c);
// Frees the spare children when the outermost step or transaction ends.
inline void endTransactionMemory(Connection& c) { c.spares.clear(); }

// This thread's connection to file, opened (and set up, stale volatile keys dropped) when needed. With
// create, a missing file and its folder are made. Null with *error set when that cannot be done.
Connection* connect(Hive hive, const std::string& file, bool create, int* error);
// The same for a key handle's file: a run of calls through handles that share one file object finds the
// connection by that object's address (kept alive by the connection, so the address cannot be reused).
Connection* connect(Hive hive, const std::shared_ptr<const std::string>& file, bool create, int* error);

// An SQLite result as an error number of Registry.h; records the database's text as the failure detail.
int errorOf(Connection& c, int sqliteResult);
void setFailureDetail(std::string text);

// A prepared statement from the connection's cache, reset and unbound when this goes away.
class Statement {
public:
    Statement(Connection& c, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int prepareResult() const noexcept { return prepared_; }
    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, std::string_view text);
    // The bytes are not copied: they must stay as they are until this statement goes away.
    Statement& bindBlob(int index, const void* data, std::size_t size);
    Statement& bindNull(int index);
    int step() { return prepared_ == SQLITE_OK ? sqlite3_step(s_) : prepared_; }
    std::int64_t int64(int column) const { return sqlite3_column_int64(s_, column); }
    std::string text(int column) const;
    bool isNull(int column) const { return sqlite3_column_type(s_, column) == SQLITE_NULL; }
    const void* blob(int column) const { return sqlite3_column_blob(s_, column); }
    int bytes(int column) const { return sqlite3_column_bytes(s_, column); }

private:
    sqlite3_stmt* s_ = nullptr;
    int prepared_;
};

// Runs body (returning an error number) as one step. Outside a transaction of this thread on the hive it
// gets a transaction of its own (taking the write lock first when write is set, with the busy retries).
// Inside one, a body of several statements runs under a savepoint; a body of one statement, or one that
// only reads, needs none (SQLite undoes a failed statement by itself). A body that fails leaves nothing;
// inside a transaction, one that fails after changing the tree in memory dooms the transaction instead
// (its commit fails and rolls everything back), since memory has no savepoint.
int beginStep(Connection& c, bool write);
int endStep(Connection& c, bool ok);
void noteFailedStep(Connection& c);

template <class Body>
int runStep(Connection& c, bool write, bool manyStatements, Body&& body) {
    if (c.depth > 0 && !manyStatements) {
        c.touched = false;
        const int result = body();
        if (result != kRegSuccess && c.touched) noteFailedStep(c);
        return result;
    }
    if (const int e = beginStep(c, write)) return e;
    const int result = body();
    const int ended = endStep(c, result == kRegSuccess);
    return result != kRegSuccess ? result : ended;
}

} // namespace qx::platform::hive
