// platform/Registry.cpp -- owns the keys and values of the emulated registry: path checks, lookups that
// fold case, the access rules of handles, and the buffer conventions (size queries, kRegMoreData) the
// callers above rely on. Every call is one step on the hive (RegistryHive.cpp): it sees one state of the
// database and, when it fails, changes nothing.
//
// A handle is the id of its key and of the key's parent (where the key is looked up: as a row of its own
// or as a leaf in the parent's row, see RegistryTree.cpp). Ids are never handed out twice, so a handle whose
// key was deleted (by this process or another) finds nothing and answers kRegKeyDeleted, even after a key
// of the same name was made again.
#include "platform/Registry.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/RegistryHive.h"

namespace qx::platform {

namespace {

using hive::Connection;
using hive::Statement;


// The components of a key path. Most paths have a few; those are kept without an allocation (an export
// makes one key per component it stores).
class PathParts {
public:
    void push_back(std::string_view part) {
        if (size_ < kInline) {
            data_[size_] = part.data();
            length_[size_] = part.size();
        } else {
            more_.push_back(part);
        }
        ++size_;
    }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    std::string_view operator[](std::size_t i) const {
        return i < kInline ? std::string_view(data_[i], length_[i]) : more_[i - kInline];
    }

private:
    static constexpr std::size_t kInline = 8;
    // Set up to size_ before they are read; left unset beyond (a path is split per call).
    const char* data_[kInline];
    std::size_t length_[kInline];
    std::vector<std::string_view> more_;
    std::size_t size_ = 0;
};

bool hasZeroByte(std::uint64_t w) { return ((w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull) != 0; }

// True when the text holds a NUL byte. Names are mostly short: two overlapping word loads test them
// without a call.
bool holdsNul(std::string_view text) {
    const char* p = text.data();
    const std::size_t n = text.size();
    if (n < 4 || n > 16) return text.find('\0') != std::string_view::npos;
    std::uint64_t first = 0, last = 0;
    if (n >= 8) {
        std::memcpy(&first, p, 8);
        std::memcpy(&last, p + n - 8, 8);
    } else {
        // Four-byte halves, each with bytes that cannot be zero above it.
        std::uint32_t a = 0, b = 0;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + n - 4, 4);
        first = a | 0xFFFFFFFF00000000ull;
        last = b | 0xFFFFFFFF00000000ull;
    }
    return hasZeroByte(first) || hasZeroByte(last);
}

// Splits a key path into its components; "" is no component (the key itself).
int splitPath(std::string_view path, PathParts& parts) {
    if (path.empty()) return kRegSuccess;
    if (holdsNul(path)) {
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
    if (holdsNul(name) || name.size() > kMaxValueNameLength) {
        hive::setFailureDetail("a value name holds a NUL byte or is longer than 16383 bytes");
        return kRegInvalidParameter;
    }
    return kRegSuccess;
}

std::string joinPath(const std::string& base, std::string_view sub) {
    if (sub.empty()) return base;
    if (base.empty()) return std::string(sub);
    std::string path;
    path.reserve(base.size() + 1 + sub.size());
    path.append(base).append(1, '\\').append(sub);
    return path;
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

// The child of parent with this name, or null.
int findChild(Connection& c, std::int64_t parent, std::string_view name, hive::Child*& out) {
    hive::Children* siblings = nullptr;
    if (const int e = hive::children(c, parent, siblings)) return e;
    out = siblings->find(name);
    return kRegSuccess;
}

// Follows parts from the key `id` (below `parent`): on success parent and id name the key reached.
int walk(Connection& c, const PathParts& parts, std::int64_t& parent, std::int64_t& id) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
        hive::Child* child = nullptr;
        if (const int e = findChild(c, id, parts[i], child)) return e;
        if (!child) return kRegFileNotFound;
        parent = id;
        id = child->id;
    }
    return kRegSuccess;
}

// Follows parts from `self` (the key `id` below `parent`), making each key that is missing; on success
// parent and id name the last key, reached points at it, and made tells whether it was made here.
int makeKeys(Connection& c, hive::Child& self, const PathParts& parts, bool isVolatile, std::int64_t& parent,
             std::int64_t& id, bool& made, hive::Child*& reached) {
    hive::Child* at = &self;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        hive::Children* siblings = nullptr;
        if (const int e = hive::children(c, id, siblings)) return e;
        std::size_t hash = 0;
        hive::Child* child = siblings->find(parts[i], &hash);
        made = child == nullptr;
        if (made) {
            if (!at->boot.empty() && !isVolatile) {
                hive::setFailureDetail("key '" + std::string(parts[i]) + "' would be lasting below a volatile key");
                return kRegChildMustBeVolatile;
            }
            // A key with more to come below it would become a row at once: make it one.
            const bool asRow = i + 1 < parts.size();
            if (const int e = hive::addChild(c, parent, *at, *siblings, parts[i], hash, asRow,
                                             isVolatile ? c.bootId : std::string(), child))
                return e;
        }
        parent = id;
        id = child->id;
        at = child;
    }
    reached = at;
    return kRegSuccess;
}

// Checks each value of a setValues call: results[i] gets 0 or its number. True when any value passed.
bool checkValues(const ValueWrite* values, std::size_t count, int* results) {
    bool anyValid = false;
    for (std::size_t i = 0; i < count; ++i) {
        const ValueWrite& v = values[i];
        results[i] = checkValueName(v.name);
        if (results[i] == kRegSuccess && ((v.size && !v.data) || (v.type == kRegDword && v.size != 4) ||
                                          (v.type == kRegQword && v.size != 8))) {
            hive::setFailureDetail("value data does not fit its type");
            results[i] = kRegInvalidParameter;
        }
        anyValid |= results[i] == kRegSuccess;
    }
    return anyValid;
}

} // namespace

RegistryKey RegistryKey::root(Hive hive) {
    return RegistryKey(hive, std::make_shared<const std::string>(hiveFile(hive)), 0, hive::kRootId, KeyAccess::ReadWrite, "");
}

// Runs body(connection, key) as one step on this key's hive after checking the handle: open, not deleted,
// and writable when write is set. manyStatements: the body may fail after changing something.
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
        hive::checkTree(*c);
        hive::Child* self = nullptr;
        if (const int e = hive::locate(*c, parent_, id_, self)) return e;
        return body(*c, *self);
    });
}

int RegistryKey::open(std::string_view subKey, KeyAccess access, RegistryKey& result) const {
    PathParts parts;
    if (const int e = splitPath(subKey, parts)) return e;
    std::int64_t parent = parent_, id = id_;
    const int rc = run(false, false, false, [&](Connection& c, hive::Child&) { return walk(c, parts, parent, id); });
    // A missing hive file holds no keys but its root.
    if (rc == kRegFileNotFound && id_ == hive::kRootId && parts.empty()) {
        result = RegistryKey(hive_, file_, parent_, id_, access, path_);
        return kRegSuccess;
    }
    if (rc == kRegSuccess) result = RegistryKey(hive_, file_, parent, id, access, joinPath(path_, subKey));
    return rc;
}

int RegistryKey::create(std::string_view subKey, KeyAccess access, bool isVolatile, RegistryKey& result,
                        bool* created) const {
    PathParts parts;
    if (const int e = splitPath(subKey, parts)) return e;
    std::int64_t parent = parent_, id = id_;
    bool made = false;
    const int rc = run(true, true, parts.size() > 1, [&](Connection& c, hive::Child& self) {
        hive::Child* reached = nullptr;
        return makeKeys(c, self, parts, isVolatile, parent, id, made, reached);
    });
    if (rc != kRegSuccess) return rc;
    if (created) *created = made;
    result = RegistryKey(hive_, file_, parent, id, access, joinPath(path_, subKey));
    return kRegSuccess;
}

int RegistryKey::createWithValues(std::string_view subKey, bool isVolatile, const ValueWrite* values,
                                  std::size_t count, int* results, RegistryKey* result) const {
    PathParts parts;
    if (const int e = splitPath(subKey, parts)) return e;
    const bool anyValid = checkValues(values, count, results);
    std::int64_t parent = parent_, id = id_;
    bool made = false;
    const int rc = run(true, true, parts.size() > 1, [&](Connection& c, hive::Child& self) {
        hive::Child* reached = nullptr;
        if (const int e = makeKeys(c, self, parts, isVolatile, parent, id, made, reached)) return e;
        if (!anyValid) return kRegSuccess;
        hive::ValueTable* table = nullptr;
        if (const int e = hive::valuesOf(c, *reached, table)) return e;
        table->setAll(values, results, count);
        hive::noteChanged(c, parent, *reached);
        return kRegSuccess;
    });
    if (rc != kRegSuccess) return rc;
    if (result) *result = RegistryKey(hive_, file_, parent, id, KeyAccess::ReadWrite, joinPath(path_, subKey));
    return kRegSuccess;
}

int RegistryKey::withValue(std::string_view name,
                           const std::function<int(std::uint32_t, const void*, std::uint32_t)>& use) const {
    if (const int e = checkValueName(name)) return e;
    return run(false, false, false, [&](Connection& c, hive::Child& self) {
        hive::ValueTable* table = nullptr;
        if (const int e = hive::valuesOf(c, self, table)) return e;
        const auto value = table->get(name);
        if (!value) return kRegFileNotFound;
        return use(value->type, value->data.data(), static_cast<std::uint32_t>(value->data.size()));
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
    const ValueWrite value{name, type, data, size};
    int result = kRegSuccess;
    return setValues(&value, 1, &result);
}

int RegistryKey::setValues(const ValueWrite* values, std::size_t count, int* results) const {
    if (checkValues(values, count, results)) {
        const int rc = run(true, true, false, [&](Connection& c, hive::Child& self) {
            hive::ValueTable* table = nullptr;
            if (const int e = hive::valuesOf(c, self, table)) return e;
            table->setAll(values, results, count);
            hive::noteChanged(c, parent_, self);
            return kRegSuccess;
        });
        if (rc != kRegSuccess)
            for (std::size_t i = 0; i < count; ++i)
                if (results[i] == kRegSuccess) results[i] = rc;
    }
    for (std::size_t i = 0; i < count; ++i)
        if (results[i] != kRegSuccess) return results[i];
    return kRegSuccess;
}

int RegistryKey::deleteValue(std::string_view name) const {
    if (const int e = checkValueName(name)) return e;
    return run(true, false, false, [&](Connection& c, hive::Child& self) {
        hive::ValueTable* table = nullptr;
        if (const int e = hive::valuesOf(c, self, table)) return e;
        if (!table->erase(name)) return kRegFileNotFound;
        hive::noteChanged(c, parent_, self);
        return kRegSuccess;
    });
}

int RegistryKey::enumKey(std::uint32_t index, std::string& name) const {
    const int rc = run(false, false, false, [&](Connection& c, hive::Child&) {
        hive::Children* listed = nullptr;
        if (const int e = hive::children(c, id_, listed)) return e;
        const auto& sorted = listed->sorted();
        if (index >= sorted.size()) return kRegNoMoreItems;
        name = sorted[index]->name;
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
    const int rc = run(false, false, false, [&](Connection& c, hive::Child& self) {
        hive::ValueTable* table = nullptr;
        if (const int e = hive::valuesOf(c, self, table)) return e;
        if (index >= table->size()) return kRegNoMoreItems;
        const auto value = table->at(index);
        name = value.name;
        type = value.type;
        data.assign(value.data.begin(), value.data.end());
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
    const int rc = run(false, false, false, [&](Connection& c, hive::Child& self) {
        hive::Children* listed = nullptr;
        if (const int e = hive::children(c, id_, listed)) return e;
        info.subKeys = static_cast<std::uint32_t>(listed->size());
        listed->forEach([&info](const hive::Child& child) {
            info.maxSubKeyLength = std::max(info.maxSubKeyLength, static_cast<std::uint32_t>(child.name.size()));
        });
        hive::ValueTable* table = nullptr;
        if (const int e = hive::valuesOf(c, self, table)) return e;
        info.values = static_cast<std::uint32_t>(table->size());
        for (std::size_t i = 0; i < table->size(); ++i) {
            const auto value = table->at(i);
            info.maxValueNameLength = std::max(info.maxValueNameLength, static_cast<std::uint32_t>(value.name.size()));
            info.maxValueDataLength = std::max(info.maxValueDataLength, static_cast<std::uint32_t>(value.data.size()));
        }
        return kRegSuccess;
    });
    return rc == kRegFileNotFound && id_ == hive::kRootId ? kRegSuccess : rc;
}

int RegistryKey::deleteTree(std::string_view subKey) const {
    PathParts parts;
    if (const int e = splitPath(subKey, parts)) return e;
    if (parts.empty()) {
        hive::setFailureDetail("deleting a tree needs the name of a subkey");
        return kRegInvalidParameter;
    }
    return run(true, false, true, [&](Connection& c, hive::Child&) {
        std::int64_t parent = parent_, id = id_;
        if (const int e = walk(c, parts, parent, id)) return e;
        return hive::removeChild(c, parent, id);
    });
}

} // namespace qx::platform
