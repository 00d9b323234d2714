// platform/RegistryValues.cpp -- owns how a key's values are kept: packed into one column of the key's row,
// a write-back table of the values changed in the open transaction, and a cache of the key read last.
//
// Why packed: a row per value made an export of a list cost a B-tree insert (and later a delete) for each
// of its properties' seven values, far more than writing the same list as a file. One row per key, written
// once at commit however many of its values changed, keeps the database work per key to about one row.
// Why write-back only inside a transaction: its changes are invisible to every other connection until the
// commit anyway, so keeping them in memory until then changes nothing anyone can observe; outside one,
// every call is its own transaction and writes through.
//
// Packed layout, little-endian: per value, in creation order, u32 name length, name bytes, u32 type,
// u32 data length, data bytes.
//
// Not here: keys, paths and handles (Registry.cpp), connections and transactions (RegistryHive.cpp).
#include "platform/RegistryHive.h"

#include <cstring>

namespace qx::platform::hive {

namespace {

char foldChar(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldChar(a[i]) != foldChar(b[i])) return false;
    return true;
}

std::string foldedName(std::string_view name) {
    std::string out(name);
    for (char& ch : out) ch = foldChar(ch);
    return out;
}

// Tables with more values than this are looked up through the index.
constexpr std::size_t kScanLimit = 24;

void putWord(std::vector<std::uint8_t>& out, std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(word >> shift));
}

bool getWord(const std::uint8_t*& at, const std::uint8_t* end, std::uint32_t& word) {
    if (end - at < 4) return false;
    word = static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
    at += 4;
    return true;
}

// Whether the values read last are still those of the hive: same transaction, or outside one the hive
// unchanged by anyone since (see stampCursor).
bool cacheValid(Connection& c, std::int64_t id) {
    return c.cachedKey == id && id != 0 && cursorStillValid(c, c.cachedStamp, id, c.cachedStamp.index + 1);
}

} // namespace

int ValueTable::find(std::string_view name) const {
    if (values_.size() <= kScanLimit) {
        for (std::size_t i = 0; i < values_.size(); ++i)
            if (sameName(values_[i].name, name)) return static_cast<int>(i);
        return -1;
    }
    if (index_.size() != values_.size()) {
        index_.clear();
        for (std::size_t i = 0; i < values_.size(); ++i) index_.emplace(foldedName(values_[i].name), static_cast<int>(i));
    }
    const auto found = index_.find(foldedName(name));
    return found == index_.end() ? -1 : found->second;
}

void ValueTable::set(std::string_view name, std::uint32_t type, const void* data, std::uint32_t size) {
    const int at = find(name);
    Value* value = nullptr;
    if (at >= 0) {
        value = &values_[static_cast<std::size_t>(at)];
    } else {
        values_.push_back(Value{std::string(name), 0, {}});
        value = &values_.back();
        if (!index_.empty()) index_.emplace(foldedName(name), static_cast<int>(values_.size() - 1));
    }
    value->type = type;
    const auto* first = static_cast<const std::uint8_t*>(data);
    if (size) value->data.assign(first, first + size);
    else value->data.clear();
}

bool ValueTable::erase(std::string_view name) {
    const int at = find(name);
    if (at < 0) return false;
    values_.erase(values_.begin() + at);
    index_.clear();
    return true;
}

bool ValueTable::decode(const void* bytes, std::size_t size) {
    values_.clear();
    index_.clear();
    const auto* at = static_cast<const std::uint8_t*>(bytes);
    const std::uint8_t* end = at + size;
    while (at != end) {
        Value value;
        std::uint32_t length = 0;
        if (!getWord(at, end, length) || static_cast<std::size_t>(end - at) < length) break;
        value.name.assign(reinterpret_cast<const char*>(at), length);
        at += length;
        if (!getWord(at, end, value.type) || !getWord(at, end, length) || static_cast<std::size_t>(end - at) < length) break;
        value.data.assign(at, at + length);
        at += length;
        values_.push_back(std::move(value));
    }
    if (at == end) return true;
    values_.clear();
    return false;
}

void ValueTable::encode(std::vector<std::uint8_t>& out) const {
    out.clear();
    for (const Value& value : values_) {
        putWord(out, static_cast<std::uint32_t>(value.name.size()));
        out.insert(out.end(), value.name.begin(), value.name.end());
        putWord(out, value.type);
        putWord(out, static_cast<std::uint32_t>(value.data.size()));
        out.insert(out.end(), value.data.begin(), value.data.end());
    }
}

int loadValues(Connection& c, std::int64_t id, const ValueTable*& table) {
    if (c.depth > 0) {
        const auto dirty = c.dirtyValues.find(id);
        if (dirty != c.dirtyValues.end()) {
            table = &dirty->second;
            return kRegSuccess;
        }
    }
    if (!cacheValid(c, id)) {
        c.cachedKey = 0;
        Statement s(c, "SELECT vals FROM keys WHERE id = ?1");
        s.bind(1, id);
        const int rc = s.step();
        if (rc == SQLITE_DONE) return kRegKeyDeleted;
        if (rc != SQLITE_ROW) return errorOf(c, rc);
        if (!c.cachedValues.decode(s.blob(0), static_cast<std::size_t>(s.bytes(0)))) {
            setFailureDetail("the values of a key are damaged");
            return kRegBadDb;
        }
        c.cachedKey = id;
        stampCursor(c, c.cachedStamp, id, 0);
    }
    table = &c.cachedValues;
    return kRegSuccess;
}

int editValues(Connection& c, std::int64_t id, ValueTable*& table) {
    if (c.depth > 0) {
        const auto dirty = c.dirtyValues.find(id);
        if (dirty != c.dirtyValues.end()) {
            table = &dirty->second;
            return kRegSuccess;
        }
    }
    const ValueTable* loaded = nullptr;
    if (const int e = loadValues(c, id, loaded)) return e;
    // The cache is about to differ from the row: it must not answer for the row again.
    c.cachedKey = 0;
    if (c.depth > 0) {
        table = &c.dirtyValues.emplace(id, std::move(c.cachedValues)).first->second;
        c.cachedValues = ValueTable();
    } else {
        table = &c.cachedValues;
    }
    return kRegSuccess;
}

namespace {

int writeRow(Connection& c, std::int64_t id, const ValueTable& table) {
    thread_local std::vector<std::uint8_t> packed;
    table.encode(packed);
    Statement s(c, "UPDATE keys SET vals = ?2 WHERE id = ?1");
    s.bind(1, id).bindBlob(2, packed.data(), packed.size());
    const int rc = s.step();
    return rc == SQLITE_DONE ? kRegSuccess : errorOf(c, rc);
}

} // namespace

int storeValues(Connection& c, std::int64_t id) {
    if (c.depth > 0) return kRegSuccess;
    return writeRow(c, id, c.cachedValues);
}

void noteNewKey(Connection& c, std::int64_t id) {
    if (c.depth > 0) c.dirtyValues.emplace(id, ValueTable());
}

int flushValues(Connection& c) {
    for (const auto& [id, table] : c.dirtyValues) {
        if (const int e = writeRow(c, id, table)) {
            dropValues(c);
            return e;
        }
    }
    c.dirtyValues.clear();
    return kRegSuccess;
}

void dropValues(Connection& c) {
    c.dirtyValues.clear();
    c.cachedKey = 0;
}

} // namespace qx::platform::hive
