// platform/RegistryTree.cpp -- owns a connection's picture of the key tree: which keys lie below which,
// where each is stored (a row of its own, or a leaf packed into its parent's row), their values, and the
// changes made in memory until the outermost step or transaction writes them (flushTree).
//
// Why leaves: a setting's properties become one key each, and a row per key made an export of a large list
// cost a B-tree insert (and, at the next export, a delete) per property, several times what the same list
// costs as a file. A lasting key without subkeys is therefore kept inside its parent's row, and becomes a row
// of its own, keeping its id, when a subkey is made below it. Volatile keys are always rows, so dropping an
// earlier boot's keys stays one query over rows. Ids come from one counter for rows and leaves alike and are
// never handed out twice, so a handle of a deleted key never finds another key.
//
// Why a cache checked by state: inside a transaction no other connection's commit is visible, so what was
// read stays true for the transaction's life; outside one, PRAGMA data_version tells whether anyone else
// committed since. This connection's own changes go through the cache, so they never make it stale.
//
// Packed leaves, in no particular order: per leaf, its id, its name's length, the name's bytes, the length
// of its values and the values packed as in RegistryValues.cpp; numbers as unsigned varints.
#include "platform/RegistryHive.h"

#include <algorithm>
#include <cstring>

namespace qx::platform::hive {

namespace {

std::int64_t dataVersion(Connection& c) {
    Statement s(c, "PRAGMA data_version");
    return s.step() == SQLITE_ROW ? s.int64(0) : -2;
}


bool decodeLeaves(const void* bytes, std::size_t size, Children& into, Children::Spares* spares) {
    const auto* at = static_cast<const std::uint8_t*>(bytes);
    const std::uint8_t* end = at + size;
    while (at != end) {
        std::uint64_t id = 0, length = 0;
        if (!getVarint(at, end, id) || id > INT64_MAX || !getVarint(at, end, length) ||
            static_cast<std::uint64_t>(end - at) < length)
            return false;
        const std::string_view name(reinterpret_cast<const char*>(at), length);
        at += length;
        Child& leaf = into.add(name, static_cast<std::int64_t>(id), spares);
        leaf.name = name;
        leaf.leaf = true;
        leaf.valuesLoaded = true;
        if (!getVarint(at, end, length) || static_cast<std::uint64_t>(end - at) < length ||
            !leaf.values.decode(at, length))
            return false;
        at += length;
    }
    return true;
}

void encodeLeaves(const Children& from, PackedBytes& out) {
    out.clear();
    from.forEach([&out](const Child& child) {
        if (!child.leaf) return;
        const auto id = static_cast<std::uint64_t>(child.id);
        const PackedBytes& values = child.values.packed();
        auto* to = reinterpret_cast<std::uint8_t*>(out.extend(varintSize(id) + varintSize(child.name.size()) +
                                                              child.name.size() + varintSize(values.size()) +
                                                              values.size()));
        to = putVarint(to, id);
        to = putVarint(to, child.name.size());
        std::memcpy(to, child.name.data(), child.name.size());
        to = putVarint(to + child.name.size(), values.size());
        if (!values.empty()) std::memcpy(to, values.data(), values.size());
    });
}

int load(Connection& c, std::int64_t parent, Children& out) {
    if (parent == 0) {  // the root's own "parent": the root row alone
        Statement root(c, "SELECT name FROM keys WHERE id = 1");
        const int rc = root.step();
        if (rc == SQLITE_DONE) return kRegSuccess;
        if (rc != SQLITE_ROW) return errorOf(c, rc);
        out.add("", kRootId);
        return kRegSuccess;
    }
    {
        Statement rows(c, "SELECT id, folded, name, boot FROM keys WHERE parent = ?1");
        rows.bind(1, parent);
        int rc = SQLITE_ROW;
        while ((rc = rows.step()) == SQLITE_ROW) {
            Child& child = out.add(rows.text(1), rows.int64(0));
            child.name = rows.text(2);
            if (!rows.isNull(3)) child.boot = rows.text(3);
        }
        if (rc != SQLITE_DONE) return errorOf(c, rc);
    }
    Statement leaves(c, "SELECT leaves FROM keys WHERE id = ?1");
    leaves.bind(1, parent);
    const int rc = leaves.step();
    if (rc == SQLITE_DONE) return kRegSuccess;  // a leaf, or a key gone: no subkeys
    if (rc != SQLITE_ROW) return errorOf(c, rc);
    if (!decodeLeaves(leaves.blob(0), static_cast<std::size_t>(leaves.bytes(0)), out, &c.spares)) {
        setFailureDetail("the subkeys of a key are damaged");
        return kRegBadDb;
    }
    return kRegSuccess;
}

int allocateId(Connection& c, std::int64_t& id) {
    if (c.nextId == 0) {
        Statement s(c, "SELECT next FROM ids");
        const int rc = s.step();
        if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? kRegBadDb : errorOf(c, rc);
        c.nextId = s.int64(0);
    }
    id = c.nextId++;
    c.nextIdDirty = true;
    return kRegSuccess;
}

// Runs update (an UPDATE of one blob column of the row id, bound as ?2) with these bytes.
int writeBlob(Connection& c, const char* update, std::int64_t id, const PackedBytes& packed) {
    Statement s(c, update);
    s.bind(1, id).bindBlob(2, packed.data(), packed.size());
    const int rc = s.step();
    return rc == SQLITE_DONE ? kRegSuccess : errorOf(c, rc);
}

int writeLeaves(Connection& c, std::int64_t parent, const Children& from) {
    thread_local PackedBytes packed;
    encodeLeaves(from, packed);
    return writeBlob(c, "UPDATE keys SET leaves = ?2 WHERE id = ?1", parent, packed);
}

int writeValues(Connection& c, std::int64_t id, const ValueTable& values) {
    return writeBlob(c, "UPDATE keys SET vals = ?2 WHERE id = ?1", id, values.packed());
}

// Makes a leaf a row of its own (its parent is grandparent), before a subkey is made below it.
int promote(Connection& c, std::int64_t grandparent, Child& key) {
    const PackedBytes& packed = key.values.packed();
    Statement s(c, "INSERT INTO keys(id, parent, folded, name, boot, vals) VALUES(?1, ?2, ?3, ?4, NULL, ?5)");
    s.bind(1, key.id).bind(2, grandparent).bind(3, foldedName(key.name)).bind(4, key.name);
    s.bindBlob(5, packed.data(), packed.size());
    const int rc = s.step();
    if (rc != SQLITE_DONE) return errorOf(c, rc);
    key.leaf = false;
    c.dirtyLeaves.insert(grandparent);
    c.touched = true;
    return kRegSuccess;
}

// Level by level: the children of a key go in one range delete on the (parent, folded) index, and only
// those that have children of their own are visited further; leaves go with their parent's row.
int deleteRows(Connection& c, std::int64_t id) {
    std::vector<std::int64_t> parents{id};
    while (!parents.empty()) {
        const std::int64_t parent = parents.back();
        parents.pop_back();
        {
            Statement inner(c, "SELECT id FROM keys k WHERE parent = ?1 AND EXISTS(SELECT 1 FROM keys c WHERE c.parent = k.id)");
            inner.bind(1, parent);
            int rc = SQLITE_ROW;
            while ((rc = inner.step()) == SQLITE_ROW) parents.push_back(inner.int64(0));
            if (rc != SQLITE_DONE) return errorOf(c, rc);
        }
        Statement children(c, "DELETE FROM keys WHERE parent = ?1");
        children.bind(1, parent);
        const int rc = children.step();
        if (rc != SQLITE_DONE) return errorOf(c, rc);
    }
    Statement self(c, "DELETE FROM keys WHERE id = ?1");
    self.bind(1, id);
    const int rc = self.step();
    return rc == SQLITE_DONE ? kRegSuccess : errorOf(c, rc);
}

// A table entry: the high half of the child's hash (which also picks the first slot) above its slot + 1.
// Entries are told apart by the hash half without touching the children, which live elsewhere in memory.
constexpr std::uint64_t kRemoved = ~std::uint64_t{0} << 32;  // the entry of a removed child: slot part 0
std::uint32_t tagOf(std::size_t hash) { return static_cast<std::uint32_t>(static_cast<std::uint64_t>(hash) >> 32); }
std::uint64_t entryOf(std::uint32_t tag, std::size_t i) { return std::uint64_t{tag} << 32 | (i + 1); }

std::uint64_t load64(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}
std::uint32_t load32(const char* p) {
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// ASCII upper case to lower case in every byte of a word at once: a byte gets 0x20 where it is 'A'..'Z'
// (its low seven bits at or above 'A' and not above 'Z', its high bit clear). No sum carries into the next
// byte: seven bits plus at most 0x3F stay below 0x100.
std::uint64_t foldWord(std::uint64_t w) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    const std::uint64_t low = w & (0x7F * kOnes);
    const std::uint64_t atLeastA = low + (0x80 - 'A') * kOnes;
    const std::uint64_t aboveZ = low + (0x80 - 'Z' - 1) * kOnes;
    const std::uint64_t upper = atLeastA & ~aboveZ & ~w & (0x80 * kOnes);
    return w | (upper >> 2);
}

// The hash of a name as folded, made from the name in either case. Key names are mostly short, so it reads
// them a word at a time (a short tail as two overlapping halves, or three single bytes) instead of a byte
// at a time; the high half, which the table uses, gets every bit mixed in by the final steps.
std::size_t nameHash(std::string_view name) {
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
    const char* p = name.data();
    std::size_t n = name.size();
    std::uint64_t h = n * kMul;
    for (; n > 8; n -= 8, p += 8) h = (h ^ foldWord(load64(p))) * kMul;
    std::uint64_t tail = 0;
    if (n >= 4) tail = foldWord(std::uint64_t{load32(p)} << 32 | load32(p + n - 4));
    else if (n > 0)
        tail = std::uint64_t{static_cast<unsigned char>(foldChar(p[0]))} << 16 |
               std::uint64_t{static_cast<unsigned char>(foldChar(p[n / 2]))} << 8 |
               static_cast<unsigned char>(foldChar(p[n - 1]));
    h = (h ^ tail) * kMul;
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    return static_cast<std::size_t>(h ^ (h >> 29));
}

// Whether a name, in either case, folds to this folded name.
bool foldsTo(std::string_view name, const std::string& folded) {
    if (name.size() != folded.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (foldChar(name[i]) != folded[i]) return false;
    return true;
}

} // namespace

Child* Children::find(std::string_view name, std::size_t* hashOut) {
    const std::size_t hash = nameHash(name);
    if (hashOut) *hashOut = hash;
    if (table_.empty()) return nullptr;
    const std::uint32_t tag = tagOf(hash);
    const std::size_t mask = table_.size() - 1;
    for (std::size_t slot = tag & mask;; slot = (slot + 1) & mask) {
        const std::uint64_t entry = table_[slot];
        if (entry == 0) return nullptr;
        if (static_cast<std::uint32_t>(entry) == 0 || static_cast<std::uint32_t>(entry >> 32) != tag) continue;
        Child& child = at(static_cast<std::uint32_t>(entry) - 1);
        if (foldsTo(name, child.folded)) return &child;
    }
}

Child* Children::findId(std::int64_t id) {
    if (!byIdMade_) {
        byId_.reserve(live_);
        forEach([this](const Child& child) { byId_.emplace(child.id, const_cast<Child*>(&child)); });
        byIdMade_ = true;
    }
    const auto found = byId_.find(id);
    return found == byId_.end() ? nullptr : found->second;
}

void Children::place(std::uint64_t entry) {
    const std::size_t mask = table_.size() - 1;
    std::size_t slot = static_cast<std::uint32_t>(entry >> 32) & mask;
    while (table_[slot] != 0) slot = (slot + 1) & mask;
    table_[slot] = entry;
}

void Children::reindex() {
    std::size_t size = 16;
    while (size < 4 * (live_ + 1)) size *= 2;
    std::vector<std::uint64_t> old(size, 0);
    old.swap(table_);
    dead_ = 0;
    for (const std::uint64_t entry : old)
        if (entry != 0 && static_cast<std::uint32_t>(entry) != 0) place(entry);
}

Child& Children::add(std::string_view name, std::int64_t id, Spares* spares, std::size_t hash) {
    if (used_ == blocks_.size() * kBlock) {
        if (spares && !spares->empty()) {
            blocks_.push_back(std::move(spares->back()));
            spares->pop_back();
        } else {
            blocks_.push_back(std::make_unique<Child[]>(kBlock));
        }
    }
    const std::size_t i = used_++;
    Child& child = at(i);
    // A reused slot keeps its buffers; everything else starts anew.
    child.id = id;
    child.index = i;
    child.hash = hash != 0 ? hash : nameHash(name);
    child.folded.assign(name.data(), name.size());
    for (char& ch : child.folded) ch = foldChar(ch);
    child.name.clear();
    child.boot.clear();
    child.live = true;
    child.leaf = false;
    child.valuesLoaded = false;
    child.values.clear();
    ++live_;
    if (2 * (live_ + dead_) > table_.size()) reindex();
    place(entryOf(tagOf(child.hash), i));
    if (byIdMade_) byId_.emplace(id, &child);
    sortedMade_ = false;
    return child;
}

void Children::erase(std::int64_t id) {
    Child* child = findId(id);
    if (!child) return;
    byId_.erase(id);
    // Its entry stays, marked, as a step in the probe runs of others until the table is made anew.
    const std::size_t i = child->index;
    const std::size_t mask = table_.size() - 1;
    for (std::size_t slot = tagOf(child->hash) & mask;; slot = (slot + 1) & mask)
        if (table_[slot] == entryOf(tagOf(child->hash), i)) {
            table_[slot] = kRemoved;
            break;
        }
    child->live = false;
    child->values.clear();
    --live_;
    ++dead_;
    sortedMade_ = false;
}

void Children::giveUp(Spares& spares, std::size_t limit) {
    for (auto& block : blocks_)
        if (spares.size() * kBlock < limit) spares.push_back(std::move(block));
    blocks_.clear();
    used_ = live_ = dead_ = 0;
    table_.clear();
    byId_.clear();
    byIdMade_ = false;
    sorted_.clear();
    sortedMade_ = false;
}

const std::vector<const Child*>& Children::sorted() {
    if (!sortedMade_) {
        sorted_.clear();
        sorted_.reserve(live_);
        forEach([this](const Child& child) { sorted_.push_back(&child); });
        std::sort(sorted_.begin(), sorted_.end(), [](const Child* a, const Child* b) { return a->folded < b->folded; });
        sortedMade_ = true;
    }
    return sorted_;
}

void restampTree(Connection& c) {
    const std::int64_t state = c.depth > 0 ? -c.serial : dataVersion(c);
    if (c.treeStamped && state == c.treeState) return;
    dropTree(c);
    c.treeState = state;
    c.treeStamped = true;
}

namespace {

// Forgets what was read of the tree (nothing may be left unwritten), keeping the state stamp and the id
// counter.
void forgetTree(Connection& c) {
    // Reused by the keys this transaction makes next.
    constexpr std::size_t kSpareLimit = 65536;
    if (c.depth > 0)
        for (auto& entry : c.tree) entry.second.giveUp(c.spares, kSpareLimit);
    c.tree.clear();
    ++c.treeGeneration;
}

} // namespace

void dropTree(Connection& c) {
    forgetTree(c);
    c.dirtyLeaves.clear();
    c.dirtyValues.clear();
    c.lastDirty = {-1, -1};
    c.nextId = 0;
    c.nextIdDirty = false;
    c.treeStamped = false;
}

int children(Connection& c, std::int64_t parent, Children*& out) {
    Connection::LastChildren& last = c.lastChildren;
    if (last.children != nullptr && last.parent == parent && last.generation == c.treeGeneration) {
        out = last.children;
        return kRegSuccess;
    }
    const auto found = c.tree.find(parent);
    if (found != c.tree.end()) {
        out = &found->second;
    } else {
        Children loaded;
        if (const int e = load(c, parent, loaded)) return e;
        out = &c.tree.emplace(parent, std::move(loaded)).first->second;
    }
    last = {parent, c.treeGeneration, out};
    return kRegSuccess;
}

int locateAgain(Connection& c, std::int64_t parent, std::int64_t id, Child*& out) {
    Children* siblings = nullptr;
    if (const int e = children(c, parent, siblings)) return e;
    out = siblings->findId(id);
    if (!out) return kRegKeyDeleted;
    c.rememberLocated({parent, id, c.treeGeneration, out});
    return kRegSuccess;
}

int loadValues(Connection& c, Child& key) {
    {
        Statement s(c, "SELECT vals FROM keys WHERE id = ?1");
        s.bind(1, key.id);
        const int rc = s.step();
        if (rc == SQLITE_DONE) return kRegKeyDeleted;
        if (rc != SQLITE_ROW) return errorOf(c, rc);
        if (!key.values.decode(s.blob(0), static_cast<std::size_t>(s.bytes(0)))) {
            setFailureDetail("the values of a key are damaged");
            return kRegBadDb;
        }
        key.valuesLoaded = true;
    }
    return kRegSuccess;
}

void noteChangedAgain(Connection& c, std::int64_t parent, const Child& key) {
    const std::pair<std::int64_t, std::int64_t> noted{parent, key.leaf ? 0 : key.id};
    if (key.leaf) c.dirtyLeaves.insert(parent);
    else c.dirtyValues.insert(noted);
    c.lastDirty = noted;
}

int addChild(Connection& c, std::int64_t grandparent, Child& owner, Children& siblings, std::string_view name,
             std::size_t hash, bool asRow, const std::string& boot, Child*& out) {
    if (owner.leaf)
        if (const int e = promote(c, grandparent, owner)) return e;
    std::int64_t id = 0;
    if (const int e = allocateId(c, id)) return e;
    const bool leaf = !asRow && boot.empty();
    if (!leaf) {
        Statement s(c, "INSERT INTO keys(id, parent, folded, name, boot) VALUES(?1, ?2, ?3, ?4, ?5)");
        s.bind(1, id).bind(2, owner.id).bind(3, foldedName(name)).bind(4, name);
        if (boot.empty()) s.bindNull(5);
        else s.bind(5, boot);
        const int rc = s.step();
        if (rc != SQLITE_DONE) return errorOf(c, rc);
    } else if (c.lastDirty != std::pair<std::int64_t, std::int64_t>{owner.id, 0}) {
        c.dirtyLeaves.insert(owner.id);
        c.lastDirty = {owner.id, 0};
    }
    Child& child = siblings.add(name, id, &c.spares, hash);
    child.name.assign(name.data(), name.size());
    if (!boot.empty()) child.boot = boot;  // add left it empty
    child.leaf = leaf;
    child.valuesLoaded = true;
    c.touched = true;
    // The caller's next calls are on the new key.
    c.rememberLocated({owner.id, id, c.treeGeneration, &child});
    out = &child;
    return kRegSuccess;
}

int removeChild(Connection& c, std::int64_t parent, std::int64_t id) {
    Children* siblings = nullptr;
    if (const int e = children(c, parent, siblings)) return e;
    const Child* key = siblings->findId(id);
    if (!key) return kRegKeyDeleted;
    c.touched = true;
    ++c.treeGeneration;
    if (key->leaf) {
        siblings->erase(id);
        c.dirtyLeaves.insert(parent);
        return kRegSuccess;
    }
    // What is kept in memory for keys below this one is written first, so that forgetting the whole picture
    // afterwards loses nothing of the keys that stay.
    if (const int e = flushTree(c)) return e;
    if (const int e = deleteRows(c, id)) return e;
    forgetTree(c);
    return kRegSuccess;
}

int flushTree(Connection& c) {
    c.lastDirty = {-1, -1};
    for (const std::int64_t parent : c.dirtyLeaves) {
        const auto found = c.tree.find(parent);
        if (found == c.tree.end()) continue;
        if (const int e = writeLeaves(c, parent, found->second)) return e;
    }
    c.dirtyLeaves.clear();
    for (const auto& [parent, id] : c.dirtyValues) {
        const auto siblings = c.tree.find(parent);
        if (siblings == c.tree.end()) continue;
        const Child* key = siblings->second.findId(id);
        if (!key || key->leaf) continue;
        if (const int e = writeValues(c, id, key->values)) return e;
    }
    c.dirtyValues.clear();
    if (c.nextIdDirty) {
        Statement s(c, "UPDATE ids SET next = ?1");
        s.bind(1, c.nextId);
        const int rc = s.step();
        if (rc != SQLITE_DONE) return errorOf(c, rc);
        c.nextIdDirty = false;
    }
    return kRegSuccess;
}

} // namespace qx::platform::hive
