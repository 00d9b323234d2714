// platform/RegistryHive.h -- the database side of the emulated registry, shared by Registry.cpp (keys and
// values), RegistryValues.cpp (packed values and their caches) and RegistryHive.cpp (files, connections,
// transactions, volatile keys). Not for code above platform/: it sees Registry.h only.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <sqlite3.h>

#include "platform/Registry.h"

namespace qx::platform::hive {

inline constexpr std::int64_t kRootId = 1;
// The layout of the hive file, kept in its user_version. 2: a key's values are one packed column of its row.
inline constexpr int kSchemaVersion = 2;

// The values of one key in creation order, as packed into the key's row. Names compare without ASCII case.
class ValueTable {
public:
    struct Value {
        std::string name;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };
    const std::vector<Value>& values() const noexcept { return values_; }
    // Index of the value with this name, or -1.
    int find(std::string_view name) const;
    // Replaces type and data of the named value (keeping its place) or appends it.
    void set(std::string_view name, std::uint32_t type, const void* data, std::uint32_t size);
    bool erase(std::string_view name);
    // false when the bytes are not a packed table (the table is then empty).
    bool decode(const void* bytes, std::size_t size);
    void encode(std::vector<std::uint8_t>& out) const;

private:
    std::vector<Value> values_;
    // Folded name -> index, made on demand for keys with many values (the raw layout keeps whole lists as
    // the values of one key, and looking each one up by a scan would be quadratic).
    mutable std::unordered_map<std::string, int> index_;
};

// One thread's connection to one hive file.
struct Connection {
    sqlite3* db = nullptr;
    int pid = 0;              // the process that opened it; a forked child must not use or close it
    int depth = 0;            // open RegistryTransaction objects of this thread on this hive
    bool rollbackOnly = false;// an inner transaction ended without commit
    std::string bootId;       // what volatile keys made through this connection carry
    std::unordered_map<const char*, sqlite3_stmt*> statements; // keyed by the SQL literal's address
    // Keys seen to exist in the open transaction (depth > 0). Inside it no other connection's change is
    // visible, so only this connection's deletions and undone steps can make one go; they empty the set.
    // Each with its boot id (empty for a lasting key).
    std::unordered_map<std::int64_t, std::string> liveKeys;

    // Where the last enumeration by index stopped, so that asking for the next index continues from there
    // instead of counting from the start. Valid only while the hive is exactly as it was (stamp).
    struct Cursor {
        std::int64_t key = 0;
        std::uint32_t index = 0;
        std::string folded;        // subkeys: the folded name at index
        std::int64_t valueId = 0;  // values: the row at index
        std::int64_t version = -1;
        std::int64_t changes = -1;
    };
    Cursor keyCursor;

    std::int64_t serial = 0;  // counts the transactions begun, so stamps taken in one are known in the next
    // Values changed in the open transaction (depth > 0), by key id; written to the rows at its commit. Until
    // then only this connection sees them.
    std::map<std::int64_t, ValueTable> dirtyValues;
    // The subkeys (folded name, name, id) of the key enumerated last inside a transaction, in enumeration
    // order; valid while stamped (same transaction, no change by this connection since).
    struct Child {
        std::string folded, name;
        std::int64_t id;
    };
    std::int64_t childrenOf = 0;
    std::vector<Child> children;
    Cursor childrenStamp;
    // The values of the key read last, valid while the hive is as stamped (see stampCursor).
    std::int64_t cachedKey = 0;
    ValueTable cachedValues;
    Cursor cachedStamp;
};

// The key's values for reading: from this transaction's changes, the cache, or the key's row.
int loadValues(Connection& c, std::int64_t id, const ValueTable*& table);
// The key's values for changing; storeValues then writes them (at once outside a transaction, at its commit
// inside one).
int editValues(Connection& c, std::int64_t id, ValueTable*& table);
int storeValues(Connection& c, std::int64_t id);
// Records that the key was just made in the open transaction: it has no values yet, so none are read.
void noteNewKey(Connection& c, std::int64_t id);
// Writes the values changed in the open transaction to their rows. On failure they are lost with it.
int flushValues(Connection& c);
// Forgets the open transaction's changed values and the cache (after a rollback).
void dropValues(Connection& c);

// This thread's connection to file, opened (and set up, stale volatile keys dropped) when needed. With
// create, a missing file and its folder are made. Null with *error set when that cannot be done.
Connection* connect(Hive hive, const std::string& file, bool create, int* error);

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
// only reads, needs none (SQLite undoes a failed statement by itself). A body that fails leaves nothing.
int beginStep(Connection& c, bool write);
int endStep(Connection& c, bool ok);

template <class Body>
int runStep(Connection& c, bool write, bool manyStatements, Body&& body) {
    if (c.depth > 0 && !manyStatements) return body();
    if (const int e = beginStep(c, write)) return e;
    const int result = body();
    const int ended = endStep(c, result == kRegSuccess);
    return result != kRegSuccess ? result : ended;
}

// Whether an enumeration may continue from the cursor to index: the same key, the next index, and the hive
// unchanged since the cursor was stamped, neither by another connection (data_version) nor by this one
// (its change count). stampCursor records key, index and the present state.
bool cursorStillValid(Connection& c, const Connection::Cursor& cursor, std::int64_t key, std::uint32_t index);
void stampCursor(Connection& c, Connection::Cursor& cursor, std::int64_t key, std::uint32_t index);

// Whether the key with this id was seen in the open transaction of c (and need not be looked up again).
// knownLive gives the key's boot id, or null when it must be looked up.
inline const std::string* knownLive(const Connection& c, std::int64_t id) {
    if (c.depth == 0) return nullptr;
    const auto found = c.liveKeys.find(id);
    return found == c.liveKeys.end() ? nullptr : &found->second;
}
inline void noteLive(Connection& c, std::int64_t id, const std::string& boot) {
    if (c.depth > 0) c.liveKeys.emplace(id, boot);
}

// Deletes the key with this id and everything below it.
int deleteSubtree(Connection& c, std::int64_t id);

} // namespace qx::platform::hive
