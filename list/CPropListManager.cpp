// list/CPropListManager.cpp -- the slot table of list IDs with its free chain, the reverse map used to give
// an ID back, ownership of the lists that sit in no other list, and the process-wide pointer to the one
// manager. Not here: what a list does when it dies (list/CPropList.cpp); resolving handles to components
// (api/Resolve.cpp).
//
// The process-wide pointer (current_) is declared in the header so that resolution inlines; its guard is
// described there.
#include "list/CPropListManager.h"

#include "frame/Eqx.h"
#include "frame/Log.h"
#include "list/CPropList.h"

namespace qx {

CPropListManager& CPropListManager::makeInstance() {
    auto made = std::unique_ptr<CPropListManager>(new CPropListManager());
    // The built-in lists take their IDs from this manager, so it must be reachable while they are made.
    // Should making them fail, the pointer is cleared before `made` destroys what was made.
    struct ClearOnFailure {
        bool armed = true;
        ~ClearOnFailure() {
            if (armed) current_ = nullptr;
        }
    } clear;
    current_ = made.get();
    made->makeBuiltInLists();
    clear.armed = false;
    return *made.release();
}

void CPropListManager::destroyInstance() noexcept {
    CPropListManager* manager = current_;
    if (manager == nullptr) return;
    // Lists reach the manager through current_ while they die; it is cleared only when all are gone.
    for (std::size_t id = 0; id < manager->slots_.size(); ++id) {
        if (CPropList* list = manager->slots_[id].list) manager->destroyList(*list);
    }
    current_ = nullptr;
    delete manager;
}

CPropListManager::~CPropListManager() = default;

void CPropListManager::makeBuiltInLists() {
    adopt(std::make_unique<CPropList>("globalRoot", 0, QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS));
    CPropList& root = adopt(std::make_unique<CPropList>("root", 0, QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS));
    globalRoot().registerList(root, QX_INDEX_APPEND);
}

std::uint16_t CPropListManager::allocateID(CPropList& list) {
    std::uint16_t id;
    if (freeHead_ == 0xFFFF) {
        if (slots_.size() >= kMaxLists) throw ECantAllocateNewList();
        ids_.reserve(ids_.size() + 1);
        id = static_cast<std::uint16_t>(slots_.size());
        slots_.push_back(Slot{0xFFFF, &list, nullptr});
    } else {
        ids_.reserve(ids_.size() + 1);
        id = freeHead_;
        freeHead_ = slots_[id].nextFree;
        slots_[id].nextFree = 0xFFFF;
        slots_[id].list = &list;
    }
    ids_.emplace(&list, id);
    return id;
}

int CPropListManager::lookupID(const CPropList& list) const noexcept {
    const auto it = ids_.find(&list);
    if (it != ids_.end() && it->second < slots_.size() && slots_[it->second].list == &list) return it->second;
    logError("%s: Inconsistent property list hash table detected. Using fallback method(slower).\n",
             "qx::CPropListManager::propListID");
    for (std::size_t id = 0; id < slots_.size(); ++id) {
        if (slots_[id].list == &list) return static_cast<int>(id);
    }
    logError("%s: ERROR!!! Can't find list %p.\n", "qx::CPropListManager::propListID",
             static_cast<const void*>(&list));
    return -1;
}

std::uint16_t CPropListManager::propListID(const CPropList& list) const {
    const int id = lookupID(list);
    if (id < 0) throw EInvalidListID();
    return static_cast<std::uint16_t>(id);
}

void CPropListManager::removeList(const CPropList& list) noexcept {
    const int found = lookupID(list);
    if (found < 0) return; // logged; a list the table does not know holds no slot to free
    const auto id = static_cast<std::uint16_t>(found);
    Slot& slot = slots_[id];
    slot.list = nullptr;
    slot.nextFree = freeHead_;
    freeHead_ = id;
    if (ids_.erase(&list) == 0) {
        logError("%s: Inconsistent property list hash table detected.\n", "qx::CPropListManager::removeList");
    }
}

void CPropListManager::throwInvalidListID(HOBJ handle) {
    throw EInvalidListID(formatText("Invalid list ID(0x%08x)", handle));
}

CPropList& CPropListManager::adopt(std::unique_ptr<CPropList> list) {
    CPropList& adopted = *list;
    slots_.at(adopted.listID()).owned = std::move(list);
    return adopted;
}

std::unique_ptr<CPropList> CPropListManager::release(CPropList& list) noexcept {
    const std::uint16_t id = list.listID();
    if (id >= slots_.size() || slots_[id].owned.get() != &list) return nullptr;
    return std::move(slots_[id].owned);
}

bool CPropListManager::owns(const CPropList& list) const {
    const std::uint16_t id = list.listID();
    return id < slots_.size() && slots_[id].owned.get() == &list;
}

bool CPropListManager::destroyList(CPropList& list) {
    if (auto* owner = dynamic_cast<CPropList*>(list.owner())) {
        std::unique_ptr<CComponent> taken = owner->takeOwned(list.index(), &list);
        if (taken) {
            taken.reset();
            return true;
        }
    }
    if (std::unique_ptr<CPropList> doomed = release(list)) {
        doomed.reset();
        return true;
    }
    // Nobody holds it where it should be held: it is being destroyed already (by its owner, further up).
    return false;
}

} // namespace qx
