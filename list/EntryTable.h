// list/EntryTable.h -- a list's entry table: a vector whose every mutable access moves the entry epoch, so
// that no change of what an entry holds can slip past the interface's memory of the last resolved handle.
// Reads through a const table leave the epoch alone; a mutable access that only reads moves it needlessly,
// which costs a lookup, never a wrong answer.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "component/EntryEpoch.h"

namespace qx {

template <class Entry>
class EntryTable {
public:
    using iterator = typename std::vector<Entry>::iterator;
    using const_iterator = typename std::vector<Entry>::const_iterator;

    EntryTable() = default;
    // A whole table taken over or replaced would change entries without a mutable access: not offered.
    EntryTable(const EntryTable&) = delete;
    EntryTable& operator=(const EntryTable&) = delete;

    std::size_t size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }
    const Entry& operator[](std::size_t i) const noexcept { return entries_[i]; }
    const Entry& at(std::size_t i) const { return entries_.at(i); }
    const_iterator begin() const noexcept { return entries_.begin(); }
    const_iterator end() const noexcept { return entries_.end(); }

    Entry& operator[](std::size_t i) noexcept { return mutate()[i]; }
    Entry& at(std::size_t i) { return mutate().at(i); }
    iterator begin() noexcept { return mutate().begin(); }
    iterator end() noexcept { return mutate().end(); }
    void clear() noexcept { mutate().clear(); }
    void reserve(std::size_t n) { mutate().reserve(n); }
    void resize(std::size_t n) { mutate().resize(n); }
    template <class... Args>
    Entry& emplace_back(Args&&... args) { return mutate().emplace_back(std::forward<Args>(args)...); }
    template <class... Args>
    iterator insert(const_iterator at, Args&&... args) { return mutate().insert(at, std::forward<Args>(args)...); }

    template <class Predicate>
    std::size_t eraseIf(Predicate predicate) { return std::erase_if(mutate(), predicate); }

private:
    std::vector<Entry>& mutate() noexcept {
        moveEntryEpoch();
        return entries_;
    }

    std::vector<Entry> entries_;
};

} // namespace qx
