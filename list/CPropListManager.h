// list/CPropListManager.h -- the process's registry of lists: hands every list its 16-bit list ID from a slot
// table with a free chain (freed IDs come back last-freed first), turns the high half of a handle back into
// a list by indexing that table, and owns every list that sits in no other list. It also owns the two
// built-in lists "globalRoot" (ID 0) and "root" (ID 1, in entry 0 of globalRoot), made with the manager.
//
// Guard: the component-access lock. The manager is made on first use (instance()) and destroyed by the
// library's last release (destroyInstance()); a later use makes a fresh one, so IDs start again at 0.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "qxPropHandling.h"

namespace qx {

class CPropList;

class CPropListManager {
public:
    // Lists IDs run 0..65534; 0xFFFF ends the free chain and is never an ID.
    static constexpr std::uint32_t kMaxLists = 0xFFFF;

    // The manager, made with its built-in lists when there is none. Inline: every exported call that
    // resolves a handle comes through here.
    static CPropListManager& instance() { return current_ != nullptr ? *current_ : makeInstance(); }
    // The manager when one exists, else null; never makes one.
    static CPropListManager* existing() noexcept { return current_; }
    // Destroys every list (and what the lists own) and the manager itself. Safe when there is none.
    static void destroyInstance() noexcept;

    CPropListManager(const CPropListManager&) = delete;
    CPropListManager& operator=(const CPropListManager&) = delete;
    ~CPropListManager();

    // Called by the list constructor: throws ECantAllocateNewList when 65535 lists exist.
    std::uint16_t allocateID(CPropList& list);
    // Called by the list destructor: frees the list's ID (pushes it on the free chain).
    void removeList(const CPropList& list) noexcept;
    // The ID of list through the reverse map; falls back to a logged scan; EInvalidListID when unknown.
    std::uint16_t propListID(const CPropList& list) const;

    // The list in slot (handle >> 16), or null.
    CPropList* listAt(HOBJ handle) const noexcept {
        const std::uint32_t id = handle >> 16;
        return id < slots_.size() ? slots_[id].list : nullptr;
    }
    // Resolution step 1: the list, or EInvalidListID "Invalid list ID(0x%08x)" with the whole handle.
    CPropList& listFromHandle(HOBJ handle) const {
        if (CPropList* list = listAt(handle)) return *list;
        throwInvalidListID(handle);
    }
    std::size_t slotCount() const { return slots_.size(); }
    std::size_t listCount() const { return ids_.size(); }

    // Takes ownership of a list that sits in no other list; returns it.
    CPropList& adopt(std::unique_ptr<CPropList> list);
    // Gives up ownership of a list that is about to be placed into another list. Null when the manager
    // does not own it (it already sits in a list).
    std::unique_ptr<CPropList> release(CPropList& list) noexcept;
    bool owns(const CPropList& list) const;

    // Destroys a list wherever it sits: in an entry of its owning list (the entry is freed) or among the
    // manager's own lists. Its derived lists and everything it owns go with it. False (and nothing done)
    // when nobody holds the list where it should be held, which means it is being destroyed already.
    bool destroyList(CPropList& list);

    CPropList& globalRoot() const { return *slots_.at(0).list; }

private:
    static CPropListManager& makeInstance();
    [[noreturn]] static void throwInvalidListID(HOBJ handle);

    // The one manager, null while there is none. Guard: the component-access lock for every use; made on
    // first need under that lock, destroyed by the library's last release, which callers make from one thread.
    static inline constinit CPropListManager* current_ = nullptr;

    CPropListManager() = default;
    // propListID without the throw: the ID, or -1 (logged) when no slot holds the list.
    int lookupID(const CPropList& list) const noexcept;
    void makeBuiltInLists();

    struct Slot {
        std::uint16_t nextFree = 0xFFFF; // next ID of the free chain while free; 0xFFFF while used
        CPropList* list = nullptr;       // not owned through this field
        std::unique_ptr<CPropList> owned; // set while the list sits in no other list
    };
    std::vector<Slot> slots_;
    std::unordered_map<const CPropList*, std::uint16_t> ids_; // mirrors the used slots
    std::uint16_t freeHead_ = 0xFFFF;
};

} // namespace qx
