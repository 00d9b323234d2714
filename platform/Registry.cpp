// platform/Registry.cpp -- owns the keys and values of the emulated registry: path checks, lookups that
// fold case, the access rules of handles, and the buffer conventions (size queries, kRegMoreData) the
// callers above rely on. Every call is one step on the hive (RegistryHive.cpp): it sees one state of the
// database and, when it fails, changes nothing.
//
// A handle is the row id of its key. Ids come from AUTOINCREMENT and are never handed out twice, so a
// handle whose key was deleted (by this process or another) finds no row and answers kRegKeyDeleted,
// even after a key of the same name was made again.
#include "platform/Registry.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/RegistryHive.h"

namespace qx::platform {

namespace {

using hive::Connection;
using hive::Statement;

std::string folded(std::string_view name) {
    std::string out(name);
    for (char& ch : out)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return out;
}

// Splits a key path into its components; "" is no component (the key itself).
int splitPath(std::string_view path, std::vector<std::string_view>& parts) {
    parts.clear();
    if (path.empty()) return kRegSuccess;
    if (path.find('\0') != std::string_view::npos) {
        hive::setFailureDetail("a key path holds a NUL byte");
        return kRegInvalidParameter;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            hive::setFailureDetail("key path '" + std::string(path) + "' has an empty, '.' or '..' component");
            return kRegBadPathname;
        }
        if (part.size() > kMaxKeyNameLength) {
            hive::setFailureDetail("a key name is longer than 255 bytes");
            return kRegInvalidParameter;
        }
        parts.push_back(part);
        if (parts.size() > kMaxKeyDepth) {
            hive::setFailureDetail("a key path is deeper than 512 keys");
            return kRegBadPathname;
        }
        if (end == path.size()) return kRegSuccess;
        start = end + 1;
    }
}

int checkValueName(std::string_view name) {
    if (name.find('\0') != std::string_view::npos || name.size() > kMaxValueNameLength) {
        hive::setFailureDetail("a value name holds a NUL byte or is longer than 16383 bytes");
        return kRegInvalidParameter;
    }
    return kRegSuccess;
}

std::string joinPath(const std::string& base, std::string_view sub) {
    if (sub.empty()) return base;
    if (base.empty()) return std::string(sub);
    return base + "\\" + std::string(sub);
}

// Whether the key still exists; *boot gets its boot id (empty for a lasting key).
int keyState(Connection& c, std::int64_t id, std::string* boot = nullptr) {
    Statement s(c, "SELECT boot FROM keys WHERE id = ?1");
    s.bind(1, id);
    const int rc = s.step();
    if (rc == SQLITE_DONE) return kRegKeyDeleted;
    if (rc != SQLITE_ROW) return hive::errorOf(c, rc);
    if (boot) *boot = s.isNull(0) ? std::string() : s.text(0);
    return kRegSuccess;
}

// The subkeys of parent as listed by the last enumeration in this transaction, or null when that list
// may be out of date.
const std::vector<Connection::Child>* listedChildren(Connection& c, std::int64_t parent) {
    if (c.depth == 0 || c.childrenOf != parent || parent == 0) return nullptr;
    return hive::cursorStillValid(c, c.childrenStamp, parent, c.childrenStamp.index + 1) ? &c.children : nullptr;
}

// The child of parent with this name: *id 0 when there is none.
int findChild(Connection& c, std::int64_t parent, std::string_view name, std::int64_t* id, std::string* boot) {
    if (!boot) {
        if (const auto* listed = listedChildren(c, parent)) {
            const std::string key = folded(name);
            const auto at = std::lower_bound(listed->begin(), listed->end(), key,
                                             [](const Connection::Child& child, const std::string& k) { return child.folded < k; });
            *id = at != listed->end() && at->folded == key ? at->id : 0;
            return kRegSuccess;
        }
    }
    Statement s(c, "SELECT id, boot FROM keys WHERE parent = ?1 AND folded = ?2");
    s.bind(1, parent).bind(2, folded(name));
    const int rc = s.step();
    *id = 0;
    if (rc == SQLITE_DONE) return kRegSuccess;
    if (rc != SQLITE_ROW) return hive::errorOf(c, rc);
    *id = s.int64(0);
    if (boot) *boot = s.isNull(1) ? std::string() : s.text(1);
    return kRegSuccess;
}

// Copies bytes into a caller's buffer under the size rules of queryValue.
int deliver(const void* bytes, std::uint32_t length, void* data, std::uint32_t* size) {
    if (data && !size) return kRegInvalidParameter;
    if (!size) return kRegSuccess;
    const std::uint32_t room = *size;
    *size = length;
    if (!data) return kRegSuccess;
    if (room < length) return kRegMoreData;
    if (length) std::memcpy(data, bytes, length);
    return kRegSuccess;
}

int deliverName(const std::string& name, char* buffer, std::uint32_t* size) {
    if (!buffer || !size) return kRegInvalidParameter;
    const auto length = static_cast<std::uint32_t>(name.size());
    if (*size <= length) {
        *size = length;
        return kRegMoreData;
    }
    std::memcpy(buffer, name.data(), length);
    buffer[length] = '\0';
    *size = length;
    return kRegSuccess;
}

} // namespace

RegistryKey RegistryKey::root(Hive hive) { return RegistryKey(hive, hiveFile(hive), hive::kRootId, KeyAccess::ReadWrite, ""); }

// Runs body(connection) as one step on this key's hive after checking the handle: open, not deleted, and
// writable when write is set. manyStatements: the body may fail after changing something.
template <class Body>
int RegistryKey::run(bool write, bool needFile, bool manyStatements, Body&& body) const {
    if (!isOpen()) return kRegInvalidParameter;
    if (write && access_ != KeyAccess::ReadWrite) {
        hive::setFailureDetail("key '" + path_ + "' was opened for reading");
        return kRegAccessDenied;
    }
    int error = kRegSuccess;
    Connection* c = hive::connect(hive_, file_, needFile, &error);
    if (!c) return error;
    return hive::runStep(*c, write, manyStatements, [&]() -> int {
        if (!hive::knownLive(*c, id_)) {
            std::string boot;
            if (const int e = keyState(*c, id_, &boot)) return e;
            hive::noteLive(*c, id_, boot);
        }
        return body(*c);
    });
}

int RegistryKey::open(std::string_view subKey, KeyAccess access, RegistryKey& result) const {
    std::vector<std::string_view> parts;
    if (const int e = splitPath(subKey, parts)) return e;
    std::int64_t id = id_;
    const int rc = run(false, false, false, [&](Connection& c) {
        for (const auto part : parts) {
            if (const int e = findChild(c, id, part, &id, nullptr)) return e;
            if (id == 0) return kRegFileNotFound;
        }
        return kRegSuccess;
    });
    // A missing hive file holds no keys but its root.
    if (rc == kRegFileNotFound && id_ == hive::kRootId && parts.empty()) {
        result = RegistryKey(hive_, file_, id_, access, path_);
        return kRegSuccess;
    }
    if (rc == kRegSuccess) result = RegistryKey(hive_, file_, id, access, joinPath(path_, subKey));
    return rc;
}

int RegistryKey::create(std::string_view subKey, KeyAccess access, bool isVolatile, RegistryKey& result,
                        bool* created) const {
    std::vector<std::string_view> parts;
    if (const int e = splitPath(subKey, parts)) return e;
    std::int64_t id = id_;
    bool made = false;
    // One part makes at most one row: a failed insert undoes itself, so no savepoint is needed.
    const int rc = run(true, true, parts.size() > 1, [&](Connection& c) {
        std::string boot;
        if (const std::string* known = hive::knownLive(c, id_)) boot = *known;
        else if (const int e = keyState(c, id_, &boot)) return e;
        for (const auto part : parts) {
            std::string childBoot;
            std::int64_t child = 0;
            // Where the key may be made, the insert is tried first and its unique index says whether the key
            // was there: an export makes every key anew, and a lookup before each insert would double its cost.
            made = false;
            if (boot.empty() || isVolatile) {
                Statement insert(c, "INSERT INTO keys(parent, folded, name, boot) VALUES(?1, ?2, ?3, ?4)"
                                    " ON CONFLICT(parent, folded) DO NOTHING");
                insert.bind(1, id).bind(2, folded(part)).bind(3, part);
                if (isVolatile) insert.bind(4, c.bootId);
                else insert.bindNull(4);
                const int step = insert.step();
                if (step != SQLITE_DONE) return hive::errorOf(c, step);
                made = sqlite3_changes(c.db) > 0;
            }
            if (made) {
                child = sqlite3_last_insert_rowid(c.db);
                childBoot = isVolatile ? c.bootId : std::string();
                hive::noteLive(c, child, childBoot);
                hive::noteNewKey(c, child);
            } else {
                if (const int e = findChild(c, id, part, &child, &childBoot)) return e;
                if (child == 0) {
                    hive::setFailureDetail("key '" + std::string(part) + "' would be lasting below a volatile key");
                    return kRegChildMustBeVolatile;
                }
            }
            id = child;
            boot = childBoot;
        }
        return kRegSuccess;
    });
    if (rc != kRegSuccess) return rc;
    if (created) *created = made;
    result = RegistryKey(hive_, file_, id, access, joinPath(path_, subKey));
    return kRegSuccess;
}

int RegistryKey::withValue(std::string_view name,
                           const std::function<int(std::uint32_t, const void*, std::uint32_t)>& use) const {
    if (const int e = checkValueName(name)) return e;
    return run(false, false, false, [&](Connection& c) {
        const hive::ValueTable* table = nullptr;
        if (const int e = hive::loadValues(c, id_, table)) return e;
        const int at = table->find(name);
        if (at < 0) return kRegFileNotFound;
        const auto& value = table->values()[static_cast<std::size_t>(at)];
        return use(value.type, value.data.data(), static_cast<std::uint32_t>(value.data.size()));
    });
}

int RegistryKey::queryValue(std::string_view name, std::uint32_t* type, void* data, std::uint32_t* size) const {
    return withValue(name, [&](std::uint32_t found, const void* bytes, std::uint32_t count) {
        if (type) *type = found;
        return deliver(bytes, count, data, size);
    });
}

int RegistryKey::queryValue(std::string_view name, std::uint32_t& type, std::vector<std::uint8_t>& data) const {
    return withValue(name, [&](std::uint32_t found, const void* bytes, std::uint32_t count) {
        type = found;
        const auto* first = static_cast<const std::uint8_t*>(bytes);
        data.assign(first, first + count);
        return kRegSuccess;
    });
}

int RegistryKey::setValue(std::string_view name, std::uint32_t type, const void* data, std::uint32_t size) const {
    if (const int e = checkValueName(name)) return e;
    if ((size && !data) || (type == kRegDword && size != 4) || (type == kRegQword && size != 8)) {
        hive::setFailureDetail("value data does not fit its type");
        return kRegInvalidParameter;
    }
    return run(true, true, false, [&](Connection& c) {
        hive::ValueTable* table = nullptr;
        if (const int e = hive::editValues(c, id_, table)) return e;
        table->set(name, type, data, size);
        return hive::storeValues(c, id_);
    });
}

int RegistryKey::deleteValue(std::string_view name) const {
    if (const int e = checkValueName(name)) return e;
    return run(true, false, false, [&](Connection& c) {
        const hive::ValueTable* current = nullptr;
        if (const int e = hive::loadValues(c, id_, current)) return e;
        if (current->find(name) < 0) return kRegFileNotFound;
        hive::ValueTable* table = nullptr;
        if (const int e = hive::editValues(c, id_, table)) return e;
        table->erase(name);
        return hive::storeValues(c, id_);
    });
}

int RegistryKey::enumKey(std::uint32_t index, std::string& name) const {
    int rc = run(false, false, false, [&](Connection& c) {
        // Inside a transaction a walk over the subkeys reads them all at once (imports visit every one).
        if (c.depth > 0) {
            const auto* listed = listedChildren(c, id_);
            if (!listed) {
                c.childrenOf = 0;
                c.children.clear();
                Statement all(c, "SELECT folded, name, id FROM keys WHERE parent = ?1 ORDER BY folded");
                all.bind(1, id_);
                int step = SQLITE_ROW;
                while ((step = all.step()) == SQLITE_ROW) c.children.push_back({all.text(0), all.text(1), all.int64(2)});
                if (step != SQLITE_DONE) {
                    c.children.clear();
                    return hive::errorOf(c, step);
                }
                c.childrenOf = id_;
                hive::stampCursor(c, c.childrenStamp, id_, 0);
                listed = &c.children;
            }
            if (index >= listed->size()) return kRegNoMoreItems;
            name = (*listed)[index].name;
            return kRegSuccess;
        }
        auto& cursor = c.keyCursor;
        const bool next = hive::cursorStillValid(c, cursor, id_, index);
        Statement fromCursor(c, "SELECT name, folded FROM keys WHERE parent = ?1 AND folded > ?2 ORDER BY folded LIMIT 1");
        Statement byOffset(c, "SELECT name, folded FROM keys WHERE parent = ?1 ORDER BY folded LIMIT 1 OFFSET ?2");
        Statement& s = next ? fromCursor : byOffset;
        s.bind(1, id_);
        if (next) s.bind(2, cursor.folded);
        else s.bind(2, static_cast<std::int64_t>(index));
        const int step = s.step();
        if (step == SQLITE_DONE) return kRegNoMoreItems;
        if (step != SQLITE_ROW) return hive::errorOf(c, step);
        name = s.text(0);
        cursor.folded = s.text(1);
        hive::stampCursor(c, cursor, id_, index);
        return kRegSuccess;
    });
    // The root of a hive not made yet has no subkeys.
    return rc == kRegFileNotFound && id_ == hive::kRootId ? kRegNoMoreItems : rc;
}

int RegistryKey::enumKey(std::uint32_t index, char* name, std::uint32_t* nameSize) const {
    if (!name || !nameSize) return kRegInvalidParameter;
    std::string found;
    if (const int e = enumKey(index, found)) return e;
    return deliverName(found, name, nameSize);
}

int RegistryKey::enumValue(std::uint32_t index, std::string& name, std::uint32_t& type,
                           std::vector<std::uint8_t>& data) const {
    int rc = run(false, false, false, [&](Connection& c) {
        const hive::ValueTable* table = nullptr;
        if (const int e = hive::loadValues(c, id_, table)) return e;
        if (index >= table->values().size()) return kRegNoMoreItems;
        const auto& value = table->values()[index];
        name = value.name;
        type = value.type;
        data = value.data;
        return kRegSuccess;
    });
    return rc == kRegFileNotFound && id_ == hive::kRootId ? kRegNoMoreItems : rc;
}

int RegistryKey::enumValue(std::uint32_t index, char* name, std::uint32_t* nameSize, std::uint32_t* type,
                           void* data, std::uint32_t* dataSize) const {
    if (!name || !nameSize) return kRegInvalidParameter;
    std::string found;
    std::uint32_t foundType = kRegNone;
    std::vector<std::uint8_t> bytes;
    if (const int e = enumValue(index, found, foundType, bytes)) return e;
    if (type) *type = foundType;
    const int nameResult = deliverName(found, name, nameSize);
    const int dataResult = deliver(bytes.data(), static_cast<std::uint32_t>(bytes.size()), data, dataSize);
    return nameResult != kRegSuccess ? nameResult : dataResult;
}

int RegistryKey::queryInfo(KeyInfo& info) const {
    info = KeyInfo{};
    const int rc = run(false, false, false, [&](Connection& c) {
        Statement keys(c, "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0) FROM keys WHERE parent = ?1");
        keys.bind(1, id_);
        int step = keys.step();
        if (step != SQLITE_ROW) return hive::errorOf(c, step);
        info.subKeys = static_cast<std::uint32_t>(keys.int64(0));
        info.maxSubKeyLength = static_cast<std::uint32_t>(keys.int64(1));
        const hive::ValueTable* table = nullptr;
        if (const int e = hive::loadValues(c, id_, table)) return e;
        info.values = static_cast<std::uint32_t>(table->values().size());
        for (const auto& value : table->values()) {
            info.maxValueNameLength = std::max(info.maxValueNameLength, static_cast<std::uint32_t>(value.name.size()));
            info.maxValueDataLength = std::max(info.maxValueDataLength, static_cast<std::uint32_t>(value.data.size()));
        }
        return kRegSuccess;
    });
    return rc == kRegFileNotFound && id_ == hive::kRootId ? kRegSuccess : rc;
}

int RegistryKey::deleteTree(std::string_view subKey) const {
    std::vector<std::string_view> parts;
    if (const int e = splitPath(subKey, parts)) return e;
    if (parts.empty()) {
        hive::setFailureDetail("deleting a tree needs the name of a subkey");
        return kRegInvalidParameter;
    }
    // Values changed in this transaction for keys it deletes may stay in the write-back table: their
    // handles answer kRegKeyDeleted from now on, and writing them at commit finds no row to change.
    return run(true, false, true, [&](Connection& c) {
        std::int64_t id = id_;
        for (const auto part : parts) {
            if (const int e = findChild(c, id, part, &id, nullptr)) return e;
            if (id == 0) return kRegFileNotFound;
        }
        return hive::deleteSubtree(c, id);
    });
}

} // namespace qx::platform
