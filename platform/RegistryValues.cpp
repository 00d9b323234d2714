// platform/RegistryValues.cpp -- owns how a key's values are kept: a table in creation order, packed into
// one column of the key's row (or into its parent's row with the key, for a leaf; see RegistryTree.cpp).
//
// Why packed: a row per value made an export of a list cost a B-tree insert (and later a delete) for each
// of its properties' seven values, far more than writing the same list as a file. One row per key, written
// once at commit however many of its values changed, keeps the database work per key to about one row.
// Changed values are written once per key when the outermost step or transaction ends: until then no other
// connection can see them anyway.
//
// Packed layout, little-endian: per value, in creation order, u32 name length, name bytes, u32 type,
// u32 data length, data bytes.
//
// Not here: keys, paths and handles (Registry.cpp), the key tree and its cache (RegistryTree.cpp),
// connections and transactions (RegistryHive.cpp).
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

// Tables with more values than this are looked up through the index.
constexpr std::size_t kScanLimit = 24;

} // namespace

std::string foldedName(std::string_view name) {
    std::string out(name);
    for (char& ch : out) ch = foldChar(ch);
    return out;
}

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

} // namespace qx::platform::hive
