// platform/RegistryValues.cpp -- owns how a key's values are kept: a table in creation order, packed into
// one column of the key's row (or into its parent's row with the key, for a leaf; see RegistryTree.cpp).
//
// Why packed: a row per value made an export of a list cost a B-tree insert (and later a delete) for each
// of its properties' seven values, far more than writing the same list as a file. Changed values are
// written once per key when the outermost step or transaction ends: until then no other connection can see
// them anyway.
//
// Packed layout: per value, in creation order, the name's length, the name's bytes, the type, the data's
// length and the data's bytes; numbers as unsigned varints (7 bits a byte, low first), which keeps a
// setting's key of small numbers and short names at about half the size fixed words would need. The table
// keeps this form in memory too: a key read is one copy, and a setting writes its values once each, so
// appending is all most changes cost.
//
// Not here: keys, paths and handles (Registry.cpp), the key tree and its cache (RegistryTree.cpp),
// connections and transactions (RegistryHive.cpp).
#include "platform/RegistryHive.h"

#include <algorithm>
#include <cstring>

namespace qx::platform::hive {

namespace {


bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldChar(a[i]) != foldChar(b[i])) return false;
    return true;
}

// Tables with more values than this are looked up through the index.
constexpr std::size_t kScanLimit = 24;

// The bit of a name in ValueTable::nameBits_. Names that fold alike must get the same bit; setting 0x20
// makes the first letter's cases alike without a test (and merges a few other pairs, which only makes the
// bit a little less telling).
std::uint64_t nameBit(std::string_view name) {
    const unsigned first = name.empty() ? 0u : static_cast<unsigned char>(name[0]) | 0x20u;
    return std::uint64_t{1} << ((name.size() * 7 + first) & 63);
}


} // namespace

std::string foldedName(std::string_view name) {
    std::string out(name);
    for (char& ch : out) ch = foldChar(ch);
    return out;
}

std::size_t varintSize(std::uint64_t value) {
    std::size_t size = 1;
    for (; value >= 0x80; value >>= 7) ++size;
    return size;
}

std::uint8_t* putVarint(std::uint8_t* to, std::uint64_t value) {
    for (; value >= 0x80; value >>= 7) *to++ = static_cast<std::uint8_t>(value | 0x80);
    *to++ = static_cast<std::uint8_t>(value);
    return to;
}

bool getVarint(const std::uint8_t*& at, const std::uint8_t* end, std::uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64 && at != end; shift += 7) {
        const std::uint8_t byte = *at++;
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) return true;
    }
    return false;
}


void PackedBytes::grow(std::size_t needed) {
    const std::size_t capacity = std::max(capacity_ * 2, needed);
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_) std::memcpy(grown.get(), data(), size_);
    heap_ = std::move(grown);
    capacity_ = capacity;
}

void PackedBytes::assign(const char* from, std::size_t n) {
    size_ = 0;
    if (n) std::memcpy(extend(n), from, n);
}

void PackedBytes::replace(std::size_t offset, std::size_t n, const char* from, std::size_t m) {
    const std::size_t tail = size_ - offset - n;
    if (m > n) extend(m - n);
    else size_ -= n - m;
    char* at = bytes() + offset;
    std::memmove(at + m, at + n, tail);
    if (m) std::memcpy(at, from, m);
}

void PackedBytes::take(PackedBytes& other) noexcept {
    if (other.heap_) {
        heap_ = std::move(other.heap_);
        capacity_ = other.capacity_;
    } else {
        std::memcpy(inline_, other.inline_, other.size_);
        capacity_ = kInline;
    }
    size_ = other.size_;
    other.size_ = 0;
    other.capacity_ = kInline;
}

ValueTable::Lookup& ValueTable::lookup() const {
    if (!lookup_) lookup_ = std::make_unique<Lookup>();
    return *lookup_;
}

ValueTable::Value ValueTable::entryAt(std::size_t offset, std::size_t* next) const {
    // decode checked the layout, so the numbers and lengths are whole.
    const auto* first = reinterpret_cast<const std::uint8_t*>(packed_.data());
    const std::uint8_t* p = first + offset;
    const std::uint8_t* end = first + packed_.size();
    Value value;
    std::uint64_t number = 0;
    getVarint(p, end, number);
    value.name = std::string_view(reinterpret_cast<const char*>(p), number);
    p += number;
    getVarint(p, end, number);
    value.type = static_cast<std::uint32_t>(number);
    getVarint(p, end, number);
    value.data = std::string_view(reinterpret_cast<const char*>(p), number);
    p += number;
    if (next) *next = static_cast<std::size_t>(p - first);
    return value;
}

void ValueTable::makeOffsets() const {
    if (lookup().offsetsMade) return;
    lookup().offsets.clear();
    lookup().offsets.reserve(count_);
    for (std::size_t offset = 0; offset < packed_.size();) {
        lookup().offsets.push_back(static_cast<std::uint32_t>(offset));
        entryAt(offset, &offset);
    }
    lookup().offsetsMade = true;
}

ValueTable::Value ValueTable::at(std::size_t index) const {
    makeOffsets();
    return entryAt(lookup().offsets[index]);
}

int ValueTable::find(std::string_view name, std::size_t* offset) const {
    if ((nameBits_ & nameBit(name)) == 0) return -1;
    if (count_ <= kScanLimit) {
        // A scan over the packed bytes, comparing only names of the right length.
        const auto* first = reinterpret_cast<const std::uint8_t*>(packed_.data());
        const std::uint8_t* end = first + packed_.size();
        const std::uint8_t* p = first;
        for (int index = 0; p < end; ++index) {
            const std::uint8_t* start = p;
            std::uint64_t number = 0;
            getVarint(p, end, number);
            if (number == name.size() && sameName(std::string_view(reinterpret_cast<const char*>(p), number), name)) {
                if (offset) *offset = static_cast<std::size_t>(start - first);
                return index;
            }
            p += number;
            getVarint(p, end, number);  // the type
            getVarint(p, end, number);
            p += number;
        }
        return -1;
    }
    Lookup& made = lookup();
    if (made.index.size() != count_) {
        made.index.clear();
        for (std::size_t i = 0; i < count_; ++i) made.index.emplace(foldedName(at(i).name), static_cast<int>(i));
    }
    const auto found = made.index.find(foldedName(name));
    if (found == made.index.end()) return -1;
    if (offset) {
        makeOffsets();
        *offset = made.offsets[static_cast<std::size_t>(found->second)];
    }
    return found->second;
}

std::optional<ValueTable::Value> ValueTable::get(std::string_view name) const {
    std::size_t offset = 0;
    if (find(name, &offset) < 0) return std::nullopt;
    return entryAt(offset);
}

namespace {

// Copies a few bytes without a call: names and most data are short. Overlapping 8- or 4-byte moves cover
// every length up to 16.
void copyBytes(std::uint8_t* to, const void* from, std::size_t n) {
    const auto* source = static_cast<const std::uint8_t*>(from);
    if (n > 16) {
        std::memcpy(to, source, n);
    } else if (n >= 8) {
        std::memcpy(to, source, 8);
        std::memcpy(to + n - 8, source + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, source, 4);
        std::memcpy(to + n - 4, source + n - 4, 4);
    } else {
        for (std::size_t i = 0; i < n; ++i) to[i] = source[i];
    }
}

// True when name length, type and size each take one byte as varints, as they do for nearly every value.
bool smallEntry(std::string_view name, std::uint32_t type, std::uint32_t size) {
    return (name.size() | type | size) < 0x80;
}

std::size_t entrySize(std::string_view name, std::uint32_t type, std::uint32_t size) {
    if (smallEntry(name, type, size)) return 3 + name.size() + size;
    return varintSize(name.size()) + name.size() + varintSize(type) + varintSize(size) + size;
}

// An entry whose numbers take one byte each (smallEntry). Inline, as putEntry: a setting writes seven
// values a key, and a call each cost as much as the copying.
[[gnu::always_inline]] inline std::uint8_t* putSmallEntry(std::uint8_t* to, std::string_view name, std::uint32_t type,
                                                        const void* data, std::uint32_t size) {
    *to++ = static_cast<std::uint8_t>(name.size());
    copyBytes(to, name.data(), name.size());
    to += name.size();
    *to++ = static_cast<std::uint8_t>(type);
    *to++ = static_cast<std::uint8_t>(size);
    copyBytes(to, data, size);
    return to + size;
}

[[gnu::always_inline]] inline std::uint8_t* putEntry(std::uint8_t* to, std::string_view name, std::uint32_t type,
                                                   const void* data, std::uint32_t size) {
    if (smallEntry(name, type, size)) return putSmallEntry(to, name, type, data, size);
    to = putVarint(to, name.size());
    copyBytes(to, name.data(), name.size());
    to = putVarint(to + name.size(), type);
    to = putVarint(to, size);
    copyBytes(to, data, size);
    return to + size;
}

void appendEntry(PackedBytes& out, std::string_view name, std::uint32_t type, const void* data, std::uint32_t size) {
    putEntry(reinterpret_cast<std::uint8_t*>(out.extend(entrySize(name, type, size))), name, type, data, size);
}

} // namespace

void ValueTable::set(std::string_view name, std::uint32_t type, const void* data, std::uint32_t size) {
    const int index = find(name);
    if (index < 0) {
        if (lookup_ && lookup_->offsetsMade) lookup_->offsets.push_back(static_cast<std::uint32_t>(packed_.size()));
        appendEntry(packed_, name, type, data, size);
        nameBits_ |= nameBit(name);
        ++count_;
        if (lookup_ && !lookup_->index.empty()) lookup_->index.emplace(foldedName(name), static_cast<int>(count_ - 1));
        return;
    }
    // The value keeps its place and its name's spelling; what follows it moves when its size changes.
    makeOffsets();
    const std::size_t offset = lookup().offsets[static_cast<std::size_t>(index)];
    std::size_t next = 0;
    const Value old = entryAt(offset, &next);
    PackedBytes entry;
    appendEntry(entry, old.name, type, data, size);
    if (entry.size() != next - offset) lookup().offsetsMade = false;
    packed_.replace(offset, next - offset, entry.data(), entry.size());
}

void ValueTable::setAll(const ValueWrite* values, const int* results, std::size_t count) {
    std::size_t i = 0;
    // Names new to the table (as for a key just made) are appended in one pass, until one that may be
    // there already: from that one on, each value takes the way of set. With the index made, set keeps it.
    if (!lookup_) {
        for (; i < count; ++i) {
            if (results[i] != 0) continue;
            const ValueWrite& v = values[i];
            const std::uint64_t bit = nameBit(v.name);
            if ((nameBits_ & bit) != 0) break;
            nameBits_ |= bit;
            if (smallEntry(v.name, v.type, v.size)) {
                putSmallEntry(reinterpret_cast<std::uint8_t*>(packed_.extend(3 + v.name.size() + v.size)), v.name,
                              v.type, v.data, v.size);
            } else {
                putEntry(reinterpret_cast<std::uint8_t*>(packed_.extend(entrySize(v.name, v.type, v.size))), v.name,
                         v.type, v.data, v.size);
            }
            ++count_;
        }
    }
    for (; i < count; ++i)
        if (results[i] == 0) set(values[i].name, values[i].type, values[i].data, values[i].size);
}

bool ValueTable::erase(std::string_view name) {
    const int index = find(name);
    if (index < 0) return false;
    makeOffsets();
    const std::size_t offset = lookup().offsets[static_cast<std::size_t>(index)];
    std::size_t next = 0;
    entryAt(offset, &next);
    packed_.replace(offset, next - offset, nullptr, 0);
    --count_;
    lookup_.reset();
    return true;
}

void ValueTable::clear() {
    packed_.clear();
    count_ = 0;
    nameBits_ = 0;
    lookup_.reset();
}

bool ValueTable::decode(const void* bytes, std::size_t size) {
    clear();
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    const auto* at = first;
    const std::uint8_t* end = at + size;
    std::size_t count = 0;
    while (at != end) {
        std::uint64_t length = 0, type = 0;
        if (!getVarint(at, end, length) || static_cast<std::uint64_t>(end - at) < length) return false;
        nameBits_ |= nameBit(std::string_view(reinterpret_cast<const char*>(at), length));
        at += length;
        if (!getVarint(at, end, type) || type > UINT32_MAX || !getVarint(at, end, length) ||
            static_cast<std::uint64_t>(end - at) < length)
            return false;
        at += length;
        ++count;
    }
    packed_.assign(reinterpret_cast<const char*>(first), size);
    count_ = count;
    return true;
}

} // namespace qx::platform::hive
