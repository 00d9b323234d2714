// list/CPropList.cpp -- the list component: its entry table and name index, registration and removal, the
// walks over the derived tree (showing a parent's new component, removing it, telling about a change,
// destroying the family), clone and derive, update, moving entries, the own copy a derived list takes
// before it writes, and restore-default. Not here: list IDs and the lists nobody else owns
// (CPropListManager.cpp), handle resolution for the interface (api/Resolve.cpp).
//
// Why the family walks snapshot the derived tree first: showing a parent's new list in a derived list
// derives that list, which adds lists to families while the walk runs; a snapshot keeps each walk finite
// and visits every list exactly once, parents before the lists derived from them.
#include "list/CPropList.h"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <unordered_set>
#include <utility>

#include "frame/Deferred.h"
#include "frame/Eqx.h"
#include "frame/Log.h"
#include "list/CPropListManager.h"
#include "property/CProperty.h"

namespace qx {

namespace {

bool kindExcluded(std::uint32_t searchMode, std::uint32_t type) {
    return ((searchMode & QX_SM_EXCLUDE_LISTS) != 0 && isListType(type)) ||
           ((searchMode & QX_SM_EXCLUDE_METHODS) != 0 && isMethodType(type)) ||
           ((searchMode & QX_SM_EXCLUDE_PROPERTIES) != 0 && isPropertyType(type));
}

CPropList* asList(CComponent* component) {
    return component != nullptr && isListType(component->type()) ? static_cast<CPropList*>(component) : nullptr;
}

CProperty& asProperty(CComponent& component) { return static_cast<CProperty&>(component); }

std::string alreadyRegistered(const std::string& name) {
    return "A component with the name '" + name + "' is already registered in this list";
}

} // namespace

std::string kindDetail(const CComponent& component, HOBJ handle) {
    return formatText("%s(0x%08x), ", component.name().c_str(), handle);
}

// ---- construction and destruction --------------------------------------------------------------------

CPropList::CPropList(std::string name, std::size_t size, std::uint32_t flags, CComponent* owner)
    : CComponent(std::move(name), owner) {
    installSharedData(SharedHolder(std::make_unique<CComponentSharedData>(QX_CT_LIST, flags, this)));
    entries_.resize(size);
    names_.reserve(size); // a list made with its size is usually filled to it (an import, a clone)
    // Last: a list that cannot get an ID is not made, and nothing has to be given back.
    listID_ = CPropListManager::instance().allocateID(*this);
}

CPropList::CPropList(const CPropList& source, CComponent* newOwner, const std::string* newName)
    : CComponent(source, newOwner, newName), infoText_(source.infoText_), contentDescriptor_(source.contentDescriptor_) {
    listID_ = CPropListManager::instance().allocateID(*this);
}

CPropList::~CPropList() {
    destroyDerivedTree();
    for (Entry& entry : entries_) {
        if (entry.owned) {
            // Detached first, so a dying member list does not come back to free its entry here.
            entry.owned->setOwner(nullptr);
            entry.owned.reset();
        }
    }
    entries_.clear();
    names_.clear();
    unlinkFromParent();
    if (CPropListManager* manager = CPropListManager::existing()) manager->removeList(*this);
}

void CPropList::destroyDerivedTree() noexcept {
    if (firstDerived_ == nullptr) return;
    CPropListManager* manager = CPropListManager::existing();
    const std::vector<TreeMember> tree = derivedTree();
    // Deepest first, so every list is gone before the list it derives from. A list destroyed on the way
    // (owned by another list of the tree) is skipped.
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
        CPropList* list = it->list;
        if (manager == nullptr || !it->alive()) continue;
        // Still alive but held by nobody: it is being destroyed further up its owner chain, and must not
        // point at this list afterwards.
        if (!manager->destroyList(*list)) {
            // It outlives this list, so it must stop showing this list's components, which die next.
            list->forgetShownEntries();
            list->unlinkFromParent();
        }
    }
}

std::vector<CPropList::TreeMember> CPropList::derivedTree() const {
    std::vector<TreeMember> tree;
    std::vector<CPropList*> pending;
    for (CPropList* d = firstDerived_; d != nullptr; d = d->nextDerived_) pending.push_back(d);
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
        CPropList* list = pending.back();
        pending.pop_back();
        tree.push_back({list, list->listID_});
        const std::size_t mark = pending.size();
        for (CPropList* d = list->firstDerived_; d != nullptr; d = d->nextDerived_) pending.push_back(d);
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark), pending.end());
    }
    return tree;
}

namespace {
// The registered change method of a member, called at the end of the exported call for each handle in
// turn. The method is named by its handle, so a method removed meanwhile is simply not found.
class ChangeMethodCall final : public DeferredCall {
public:
    ChangeMethodCall(HOBJ method, std::vector<HOBJ> members) : method_(method), members_(std::move(members)) {}

    void run() override {
        for (HOBJ member : members_) {
            const CPropListManager* manager = CPropListManager::existing();
            CPropList* list = manager != nullptr ? manager->listAt(method_) : nullptr;
            CComponent* method = list != nullptr ? list->entryComponent(method_ & 0xFFFFu) : nullptr;
            if (method == nullptr || !isMethodType(method->type())) return;
            CallParam param{};
            param.type = QX_PT_HANDLE;
            param.value.bits = member;
            method->invokeRegistered(method_, &param, 1);
        }
    }

private:
    HOBJ method_;
    std::vector<HOBJ> members_;
};

// The lists derived from list, each after the lists derived from it.
void appendDerivedAfterTheirOwn(const CPropList& list, std::vector<const CPropList*>& out) {
    for (const CPropList* d = list.firstDerived(); d != nullptr; d = d->nextDerived()) {
        appendDerivedAfterTheirOwn(*d, out);
        out.push_back(d);
    }
}
} // namespace

int CPropList::callMemberChangeMethod(CComponent& member) {
    const CallerHooks* hooks = member.callerHooks();
    if (hooks == nullptr || hooks->changeMethod == nullptr) return 0;
    std::vector<HOBJ> members{handleOf(member.index())};
    std::vector<const CPropList*> derived;
    appendDerivedAfterTheirOwn(*this, derived);
    for (const CPropList* list : derived) members.push_back(list->handleOf(member.index()));
    deferCall(std::make_unique<ChangeMethodCall>(hooks->changeMethod->handle(), std::move(members)));
    return 0;
}

bool CPropList::TreeMember::alive() const {
    const CPropListManager* manager = CPropListManager::existing();
    return manager != nullptr && manager->listAt(static_cast<HOBJ>(id) << 16) == list;
}

void CPropList::linkAsDerivedOf(CPropList& parent) {
    derivedFrom_ = &parent;
    nextDerived_ = parent.firstDerived_;
    if (nextDerived_ != nullptr) nextDerived_->prevDerived_ = this;
    parent.firstDerived_ = this;
    parent.setHasDependents(true);
}

void CPropList::forgetShownEntries() noexcept {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].shown != nullptr) clearEntry(i);
    }
}

void CPropList::unlinkFromParent() noexcept {
    if (derivedFrom_ == nullptr) return;
    if (prevDerived_ != nullptr) {
        prevDerived_->nextDerived_ = nextDerived_;
    } else {
        derivedFrom_->firstDerived_ = nextDerived_;
        derivedFrom_->setHasDependents(nextDerived_ != nullptr);
    }
    if (nextDerived_ != nullptr) nextDerived_->prevDerived_ = prevDerived_;
    derivedFrom_ = nextDerived_ = prevDerived_ = nullptr;
}

// ---- identity and entries -----------------------------------------------------------------------------

HOBJ CPropList::handleInOwner() const {
    if (const auto* list = dynamic_cast<const CPropList*>(owner())) return list->handleOf(index());
    return handle();
}

const CPropList& CPropList::origin() const {
    const CPropList* list = this;
    while (list->derivedFrom_ != nullptr) list = list->derivedFrom_;
    return *list;
}

void CPropList::throwNoComponentAt(std::uint16_t index) const {
    if (index >= entries_.size()) throw std::out_of_range("CPropList::componentAt");
    throw EComponentIDInvalid(formatText("Invalid component ID(list %s, 0x%08x)", name().c_str(), handleOf(index)));
}

std::uint32_t CPropList::entryFlags(std::uint16_t index) const { return entries_.at(index).flags; }

std::uint32_t CPropList::effectiveEntryFlags(std::uint16_t index) const {
    std::uint32_t flags = entryFlags(index);
    for (const CComponent* list = this; list != nullptr && (flags & QX_CF_INVISIBLE) == 0; list = list->owner()) {
        const auto* owner = dynamic_cast<const CPropList*>(list->owner());
        if (owner != nullptr && list->index() < owner->entries_.size() &&
            (owner->entries_[list->index()].flags & QX_CF_INVISIBLE) != 0) {
            flags |= QX_CF_INVISIBLE;
        }
    }
    return flags;
}

std::uint16_t CPropList::firstFreeEntry() const {
    if (entries_.size() == names_.size()) return 0xFFFF;
    for (std::size_t i = std::min(freeHint_, entries_.size()); i < entries_.size(); ++i) {
        if (!entries_[i].occupied()) {
            freeHint_ = i;
            return static_cast<std::uint16_t>(i);
        }
    }
    // The hint is only a lower bound kept by this file; should it ever be wrong, a full scan is right.
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].occupied()) {
            freeHint_ = i;
            return static_cast<std::uint16_t>(i);
        }
    }
    return 0xFFFF;
}

std::uint16_t CPropList::nextOccupied(std::size_t from) const {
    for (std::size_t i = from; i < entries_.size(); ++i) {
        if (entries_[i].occupied()) return static_cast<std::uint16_t>(i);
    }
    return 0xFFFF;
}

std::uint16_t CPropList::lastOccupied() const {
    for (std::size_t i = entries_.size(); i-- > 0;) {
        if (entries_[i].occupied()) return static_cast<std::uint16_t>(i);
    }
    return 0xFFFF;
}

std::uint32_t CPropList::countMatching(std::uint32_t required, std::uint32_t excluded, std::uint32_t searchMode) const {
    std::uint32_t count = 0;
    for (const Entry& entry : entries_) {
        const CComponent* component = entry.component();
        if (component == nullptr) continue;
        const std::uint32_t flags = component->flags();
        if ((flags & required) == required && (flags & excluded) == 0 && !kindExcluded(searchMode, component->type())) {
            ++count;
        }
    }
    return count;
}

std::uint16_t CPropList::indexOfName(std::string_view name) const {
    const auto it = names_.find(name);
    return it == names_.end() ? std::uint16_t{0xFFFF} : it->second;
}

void CPropList::growTo(std::size_t size) {
    if (entries_.size() < size) entries_.resize(size);
}

void CPropList::clearEntry(std::size_t index) {
    Entry& entry = entries_[index];
    if (CComponent* component = entry.component()) {
        const auto it = names_.find(component->name());
        if (it != names_.end() && it->second == index) names_.erase(it);
    }
    if (entry.owned) entry.owned->setOwner(nullptr);
    entry = Entry{};
    freeHint_ = std::min(freeHint_, index);
}

bool CPropList::wouldCycle(const CPropList& list) const {
    // Placed where it dies with itself (inside itself, a member, or a list derived from it), a list would
    // own itself; placed inside a list it derives from (at any depth), it would show itself as a member.
    // Only base links count for the second: a moved list's current owners are left behind by the move.
    if (diesWith(list)) return true;
    for (const CPropList* base = list.derivedFrom_; base != nullptr; base = base->derivedFrom_) {
        if (base == this) return true;
    }
    return false;
}

bool CPropList::diesWith(const CComponent& candidate) const {
    // Destroying a list destroys what sits in its entries and the lists derived from it; so this list dies
    // with candidate when candidate is reached from here by owner and base links.
    std::vector<const CComponent*> pending{this};
    std::unordered_set<const CComponent*> seen;
    while (!pending.empty()) {
        const CComponent* c = pending.back();
        pending.pop_back();
        if (c == &candidate) return true;
        if (!seen.insert(c).second) continue;
        if (c->owner() != nullptr) pending.push_back(c->owner());
        if (isListType(c->type())) {
            if (const CPropList* base = static_cast<const CPropList*>(c)->derivedFrom_) pending.push_back(base);
        }
    }
    return false;
}

// ---- registration -------------------------------------------------------------------------------------

std::size_t CPropList::checkRegistration(const CComponent& component, std::uint16_t request) const {
    const bool fixed = (flags() & QX_CF_FIXED_SIZE) != 0;
    // QX_INDEX_FIRST_FREE is no exception: as an index it lies beyond every table but the largest, and a
    // fixed table keeps its caller to the entries it numbered.
    if (fixed && (request == QX_INDEX_APPEND || request >= entries_.size())) throw ENoModifySizeRights(name());
    if (names_.find(component.name()) != names_.end()) throw EComponentAlreadyRegistered(alreadyRegistered(component.name()));
    if (component.owner() != nullptr && component.owner() != this) {
        throw EComponentHasOwnerAlready(component.name(), component.owner()->name());
    }
    if (isListType(component.type()) && wouldCycle(static_cast<const CPropList&>(component))) {
        throw EUnsupportedOperation(component.name());
    }
    std::size_t at = kMaxEntries; // append
    if (request == QX_INDEX_FIRST_FREE) {
        if (!entries_.empty() && entries_.size() != names_.size()) at = firstFreeEntry();
    } else if (request != QX_INDEX_APPEND) {
        at = request;
        if (at < entries_.size() && entries_[at].occupied()) {
            logError("%s: ERROR!! Entry %d in list %s occupied by %s. Cannot register component %s here\n",
                     "qx::CPropList::registerComponent", static_cast<int>(request), name().c_str(),
                     entries_[at].component()->name().c_str(), component.name().c_str());
            throw EListEntryOccupied();
        }
    }
    if (at == kMaxEntries && entries_.size() >= kMaxEntries) throw ECantRegisterComponent(component.name(), name());
    return at;
}

HOBJ CPropList::place(std::unique_ptr<CComponent> component, std::size_t at) {
    // Everything that can fail for want of memory happens before the first change. The name index grows
    // by doubling: reserving one more name each time rehashes the whole index whenever the bucket count
    // steps to the next prime, which made filling a list quadratic in effect.
    if (names_.size() + 1 > names_.bucket_count() * names_.max_load_factor()) names_.reserve(2 * names_.size() + 1);
    if (at == kMaxEntries) {
        at = entries_.size();
        entries_.emplace_back();
    } else {
        growTo(at + 1);
    }
    const std::uint32_t entryFlags = component->handOverEntryFlags();
    component->setOwner(this);
    component->setIndex(static_cast<std::uint16_t>(at));
    names_.emplace(component->name(), static_cast<std::uint16_t>(at));
    Entry& entry = entries_[at];
    entry.owned = std::move(component);
    entry.flags = entryFlags;
    raiseChangeNotification(true, true, false, false);
    if (firstDerived_ != nullptr) repairDependencyTree(static_cast<std::uint16_t>(at), false);
    return handleOf(static_cast<std::uint16_t>(at));
}

HOBJ CPropList::registerComponent(std::unique_ptr<CComponent> component, std::uint16_t index) {
    const std::size_t at = checkRegistration(*component, index);
    return place(std::move(component), at);
}

HOBJ CPropList::registerList(CPropList& list, std::uint16_t index) {
    const std::size_t at = checkRegistration(list, index);
    std::unique_ptr<CPropList> owned = CPropListManager::instance().release(list);
    // Unowned lists always belong to the manager; anything else is already in a list and was refused above.
    if (!owned) throw EUnsupportedOperation(list.name());
    return place(std::move(owned), at);
}

// ---- the derived tree ----------------------------------------------------------------------------------

bool CPropList::showParentEntry(const Entry& parentEntry, std::uint16_t index, bool forced) {
    growTo(static_cast<std::size_t>(index) + 1);
    if (entries_[index].occupied()) {
        if (!forced) {
            // An own component of this list stays; anything else here means the family is out of step.
            if (!entries_[index].owned) {
                logError("%s: ERROR! List entry occupied.\n", "qx::CPropList::repairDependencyTree");
            }
            return false;
        }
        if (const CComponent* doomed = entries_[index].owned.get()) {
            // Lists derived from this one may show the component that goes now: they let go of it first
            // (they follow the new one later in the same repair).
            for (const TreeMember& member : derivedTree()) {
                CPropList& d = *member.list;
                if (member.alive() && index < d.entries_.size() && d.entries_[index].shown == doomed) d.clearEntry(index);
            }
        }
        clearEntry(index);
    }
    CComponent* shown = parentEntry.component();
    if (shown == nullptr) return true;
    Entry fresh;
    fresh.flags = parentEntry.flags;
    if (CPropList* list = asList(shown)) {
        fresh.owned = derive(*list, this, nullptr);
    } else if (isPropertyType(shown->type()) && (shown->flags() & QX_CF_ALWAYS_FORCE_CLONE) != 0) {
        fresh.owned = shown->clone(this, nullptr, CloneMode::ShareData);
    } else {
        fresh.shown = shown;
    }
    if (fresh.owned) fresh.owned->setIndex(index);
    names_.try_emplace(shown->name(), index);
    entries_[index] = std::move(fresh);
    return true;
}

void CPropList::repairDependencyTree(std::uint16_t index, bool forced) {
    const std::vector<TreeMember> tree = derivedTree();
    std::unordered_set<const CPropList*> stopped;
    for (const TreeMember& member : tree) {
        if (!member.alive()) continue;
        CPropList* list = member.list;
        // A list that kept its own component stops the walk for the lists derived from it, not for its
        // siblings: each sibling follows its own parent.
        if (stopped.count(list->derivedFrom_) != 0) {
            stopped.insert(list);
            continue;
        }
        const CPropList& parent = *list->derivedFrom_;
        if (index >= parent.entries_.size() || !list->showParentEntry(parent.entries_[index], index, forced)) {
            stopped.insert(list);
            continue;
        }
        list->raiseChangeNotification(true, true, false, false);
    }
}

void CPropList::memberValueChanged(CComponent& member, bool dependentsForced) {
    if (firstDerived_ == nullptr) return;
    const std::uint16_t index = member.index();
    std::vector<CPropList*> pending;
    for (CPropList* d = firstDerived_; d != nullptr; d = d->nextDerived_) pending.push_back(d);
    while (!pending.empty()) {
        CPropList* list = pending.back();
        pending.pop_back();
        const bool ownCopy = index < list->entries_.size() && list->entries_[index].owned != nullptr;
        if (ownCopy && !dependentsForced) continue;
        list->raiseChangeNotification(true, true, false, false);
        for (CPropList* d = list->firstDerived_; d != nullptr; d = d->nextDerived_) pending.push_back(d);
    }
}

// ---- removal --------------------------------------------------------------------------------------------

void CPropList::remove(std::uint16_t index) {
    std::size_t at = index;
    if (index == 0xFFFF) {
        if (entries_.empty()) throw std::out_of_range("CPropList::remove");
        at = entries_.size() - 1;
    }
    if (at >= entries_.size()) throw std::out_of_range("CPropList::remove");
    if (!entries_[at].occupied()) throw EComponentIDInvalid();
    if (firstDerived_ != nullptr) {
        // Deepest first: a derived list lets go of what it shows before the component itself goes.
        const std::vector<TreeMember> tree = derivedTree();
        for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
            if (!it->alive()) continue;
            CPropList* list = it->list;
            if (at >= list->entries_.size() || !list->entries_[at].occupied()) continue;
            list->clearEntry(at);
            if (list->names_.empty()) list->entries_.clear();
            list->raiseChangeNotification(true, true, false, false);
        }
    }
    clearEntry(at);
    if (names_.empty()) {
        entries_.clear();
        freeHint_ = 0;
    }
    raiseChangeNotification(true, true, false, false);
}

std::unique_ptr<CComponent> CPropList::takeOwned(std::uint16_t index, const CComponent* expected) {
    if (index >= entries_.size() || entries_[index].owned.get() != expected || expected == nullptr) return nullptr;
    std::unique_ptr<CComponent> taken = std::move(entries_[index].owned);
    const auto it = names_.find(taken->name());
    if (it != names_.end() && it->second == index) names_.erase(it);
    entries_[index] = Entry{};
    freeHint_ = std::min<std::size_t>(freeHint_, index);
    taken->setOwner(nullptr);
    raiseChangeNotification(false, true, false, false);
    return taken;
}

// ---- moving entries -------------------------------------------------------------------------------------

void CPropList::renumberFrom(std::size_t from) {
    for (std::size_t i = from; i < entries_.size(); ++i) {
        if (CComponent* component = entries_[i].component()) {
            component->setIndex(static_cast<std::uint16_t>(i));
            names_.insert_or_assign(component->name(), static_cast<std::uint16_t>(i));
        }
    }
    freeHint_ = 0;
}

void CPropList::moveEntries(CPropList& source, CPropList& dest, std::uint16_t first, std::uint16_t last,
                            std::uint16_t destIndex, std::uint32_t mode) {
    if (source.entries_.empty()) return;
    if (source.takesPartInDerivation()) throw EUnsupportedOperation(source.name());
    if (dest.takesPartInDerivation()) throw EUnsupportedOperation(source.name());
    const std::size_t from = first;
    const std::size_t to = last == 0xFFFF ? source.entries_.size() - 1 : last;
    const std::size_t at = destIndex == 0xFFFF ? dest.entries_.size() : destIndex;
    if (from >= source.entries_.size() || to >= source.entries_.size() || to < from || at > dest.entries_.size()) {
        throw std::out_of_range("CPropList::moveEntries");
    }
    const bool sameList = &source == &dest;
    const bool compact = (mode & QX_MOVE_COMPACT_SOURCE) != 0;
    const bool fill = (mode & QX_MOVE_FILL_FREE_DESTINATION) != 0;
    const std::size_t count = to - from + 1;

    // Refusals, all before the first change: a namesake in the destination, a list moved into itself or
    // into one of its own members, a destination table that would outgrow 16-bit indices.
    for (std::size_t i = from; i <= to; ++i) {
        const CComponent* component = source.entries_[i].component();
        if (component == nullptr) continue;
        if (!sameList && dest.names_.find(component->name()) != dest.names_.end()) {
            throw EComponentAlreadyRegistered(alreadyRegistered(component->name()));
        }
        if (isListType(component->type()) && dest.wouldCycle(static_cast<const CPropList&>(*component))) {
            throw EUnsupportedOperation(component->name());
        }
    }
    std::size_t fillable = 0;
    if (fill && !sameList) {
        while (fillable < count && at + fillable < dest.entries_.size() && !dest.entries_[at + fillable].occupied()) {
            ++fillable;
        }
    }
    const std::size_t removed = sameList && compact ? count : 0;
    if (dest.entries_.size() + (count - fillable) - removed > kMaxEntries) {
        throw ECantRegisterComponent(source.name(), dest.name());
    }
    dest.entries_.reserve(dest.entries_.size() + count);

    std::vector<Entry> moving;
    moving.reserve(count);
    for (std::size_t i = from; i <= to; ++i) {
        Entry& entry = source.entries_[i];
        if (CComponent* component = entry.component()) {
            const auto it = source.names_.find(component->name());
            if (it != source.names_.end() && it->second == i) source.names_.erase(it);
        }
        moving.push_back(std::move(entry));
        entry = Entry{};
        entry.hole = compact;
    }

    std::size_t next = 0;
    std::size_t position = at;
    if (fill) {
        while (next < moving.size() && position < dest.entries_.size() && !dest.entries_[position].occupied() &&
               !dest.entries_[position].hole) {
            dest.entries_[position++] = std::move(moving[next++]);
        }
    }
    dest.entries_.insert(dest.entries_.begin() + static_cast<std::ptrdiff_t>(position),
                         std::make_move_iterator(moving.begin() + static_cast<std::ptrdiff_t>(next)),
                         std::make_move_iterator(moving.end()));
    if (compact) source.entries_.eraseIf([](const Entry& e) { return e.hole; });

    for (std::size_t i = 0; i < dest.entries_.size(); ++i) {
        Entry& entry = dest.entries_[i];
        if (entry.owned && entry.owned->owner() == &source) entry.owned->setOwner(&dest);
    }
    if (sameList) {
        dest.renumberFrom(0);
    } else {
        dest.renumberFrom(std::min(at, dest.entries_.size()));
        if (compact) source.renumberFrom(from);
    }
    source.raiseChangeNotification(true, true, false, false);
    if (!sameList) dest.raiseChangeNotification(true, true, false, false);
}

// ---- lookup ---------------------------------------------------------------------------------------------

HOBJ CPropList::find(std::string_view name, std::uint32_t searchMode, std::uint32_t depth) const {
    const auto it = names_.find(name);
    if (it != names_.end()) {
        const CComponent* component = entries_[it->second].component();
        if (searchMode == 0 || (component != nullptr && !kindExcluded(searchMode, component->type()))) {
            return handleOf(it->second);
        }
    }
    if (depth == 0) return 0xFFFFFFFFu;
    for (const Entry& entry : entries_) {
        if (const CPropList* list = asList(entry.component())) {
            const HOBJ found = list->find(name, searchMode, depth - 1);
            if (found != 0xFFFFFFFFu) return found;
        }
    }
    return 0xFFFFFFFFu;
}

// ---- copies ---------------------------------------------------------------------------------------------

std::unique_ptr<CComponent> CPropList::clone(CComponent* newOwner, const std::string* newName, CloneMode) const {
    std::unique_ptr<CPropList> copy(new CPropList(*this, newOwner, newName));
    copy->installSharedData(SharedHolder(std::make_unique<CComponentSharedData>(*sharedData(), copy.get())));
    copy->copyCallerHooks(*this);
    copy->entries_.resize(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const CComponent* component = entries_[i].component();
        if (component == nullptr) continue;
        Entry& entry = copy->entries_[i];
        entry.owned = component->clone(copy.get(), nullptr, CloneMode::CopyData);
        entry.owned->setIndex(static_cast<std::uint16_t>(i));
        entry.flags = entries_[i].flags;
        copy->names_.emplace(component->name(), static_cast<std::uint16_t>(i));
    }
    return copy;
}

std::unique_ptr<CPropList> CPropList::derive(CPropList& parent, CComponent* newOwner, const std::string* newName) {
    std::unique_ptr<CPropList> derived(new CPropList(parent, newOwner, newName));
    derived->installSharedData(parent.sharedHolder());
    derived->linkAsDerivedOf(parent);
    derived->entries_.resize(parent.entries_.size());
    derived->names_.reserve(parent.names_.size());
    for (std::size_t i = 0; i < parent.entries_.size(); ++i) {
        if (parent.entries_[i].occupied()) derived->showParentEntry(parent.entries_[i], static_cast<std::uint16_t>(i), true);
    }
    return derived;
}

std::uint64_t CPropList::update(const CPropList* source) {
    if (source == nullptr) {
        throw EIncompatibleComponents(formatText("List '%s' has been compared with a NULL reference", name().c_str()));
    }
    std::uint64_t equalWord = 0;
    const std::size_t common = std::min(entries_.size(), source->entries_.size());
    for (std::size_t i = 0; i < common; ++i) {
        CComponent* mine = entries_[i].component();
        CComponent* theirs = source->entries_[i].component();
        if (mine == nullptr || theirs == nullptr || mine == theirs || mine->type() != theirs->type()) continue;
        const std::uint32_t type = mine->type();
        if (isListType(type)) {
            equalWord |= static_cast<CPropList*>(mine)->update(static_cast<const CPropList*>(theirs));
        } else if (isPropertyType(type)) {
            CProperty& from = asProperty(*theirs);
            CProperty& to = asProperty(*mine);
            from.prepareRead(0, from.valCount(), false);
            to.prepareRead(0, to.valCount(), false);
            const ::ValBuffer values{from.valueType(), from.valCount(), const_cast<qxValue*>(from.slots())};
            if (to.valCount() == from.valCount() && to.valCmp(values, 0) == 0) {
                equalWord |= to.userValue();
                continue;
            }
            // Only a property that really changes is taken for writing, so a derived list copies no more
            // of its parent's properties than the update makes differ.
            CProperty& target = propertyForWriting(static_cast<std::uint16_t>(i), rightsFull);
            target.setValCount(from.valCount(), rightsFull);
            target.storeVals(rightsFull, values, 0);
        } else if (!isMethodType(type)) {
            logError("%s: ERROR!!! %s in %s is not a recognized type (%x).\n", "qx::CPropList::update",
                     mine->name().c_str(), name().c_str(), type);
        }
    }
    return equalWord;
}

// ---- writing --------------------------------------------------------------------------------------------

CProperty& CPropList::propertyForWriting(std::uint16_t index, std::uint32_t rights) {
    if (index >= entries_.size() || !entries_[index].occupied()) throw EComponentIDInvalid();
    Entry& entry = entries_[index];
    CComponent& component = *entry.component();
    if (!isPropertyType(component.type())) {
        throw ENotAProperty(formatText("%s(index %d in list '%s'), ", component.name().c_str(), static_cast<int>(index),
                                       name().c_str()));
    }
    checkWriteRights(rights, component);
    if (entry.owned) return asProperty(*entry.owned);
    // Own copy on write: from now on this list (and the lists derived from it) show the copy.
    std::unique_ptr<CComponent> copy = component.clone(this, nullptr, CloneMode::ShareData);
    copy->setIndex(index);
    entry.owned = std::move(copy);
    entry.shown = nullptr;
    CProperty& own = asProperty(*entry.owned);
    if (firstDerived_ != nullptr) repairDependencyTree(index, true);
    own.raiseChangeNotification(true, true, false, false);
    setDefaultMarker(0);
    return own;
}

void CPropList::setEntryFlag(std::uint16_t index, std::uint32_t mask, bool value) {
    CComponent& component = componentAt(index);
    if (std::popcount(mask) != 1) {
        throw EInvalidValue(formatText("Property '%s': Only a single component flag can be modified at a given time. "
                                       "bit mask got: 0x%08x",
                                       name().c_str(), mask));
    }
    if ((mask & QX_CF_SETTABLE_MASK) == 0) throw noWriteRights(*this);
    if ((mask & QX_CF_ENTRY_MASK) != 0) {
        std::uint32_t& flags = entries_[index].flags;
        if (((flags & mask) != 0) == value) return;
        flags = value ? (flags | mask) : (flags & ~mask);
        component.raiseChangeNotification(false, true, false, false);
        return;
    }
    if (component.sharedData()->setFlag(mask, value, &component)) component.raiseChangeNotification(false, false, true, false);
}

bool CPropList::entryIsDefault(std::uint16_t index) {
    CComponent* component = entryComponent(index);
    if (component == nullptr) return false;
    if (isPropertyType(component->type())) {
        if (asProperty(*component).propertySharedData().limit(QX_LIM_DEFAULT) != nullptr) return component->isDefault();
        return derivedFrom_ != nullptr && derivedFrom_->entryComponent(index) == component;
    }
    return component->isDefault();
}

void CPropList::restoreDefault(std::uint16_t index, std::uint32_t rights) {
    if (index >= entries_.size()) throw std::out_of_range("CPropList::restoreDefault");
    CComponent* component = entries_[index].component();
    if (component == nullptr || isMethodType(component->type())) return;
    if ((rights & rightsForce) == 0 && (component->flags() & QX_CF_WRITE_ACCESS) == 0) return;
    if (CPropList* list = asList(component)) {
        for (std::size_t i = 0; i < list->entries_.size(); ++i) list->restoreDefault(static_cast<std::uint16_t>(i), rights);
        list->setDefaultMarker(1);
        return;
    }
    if (!isPropertyType(component->type())) return;
    if ((component->flags() & QX_CF_ALWAYS_FORCE_CLONE) != 0) {
        asProperty(*component).restoreDefault(rightsFull);
        return;
    }
    CComponent* parents = derivedFrom_ != nullptr ? derivedFrom_->entryComponent(index) : nullptr;
    if (parents == nullptr || parents == component || !entries_[index].owned) return;
    // Back to what the parent's entry gives a derived list -- as derive would place it, so a parent's list
    // comes back as a list derived from it and never as the parent's object, which this list does not
    // follow into its death. The own component goes with its name; the lists derived from this one
    // let go of it first and then follow.
    showParentEntry(derivedFrom_->entries_[index], index, true);
    if (firstDerived_ != nullptr) repairDependencyTree(index, true);
    raiseChangeNotification(true, true, false, false);
    if (parents->methodSuppressed() == 0) callMemberChangeMethod(*parents);
    parents->queueChangedCallback();
}

// ---- texts ----------------------------------------------------------------------------------------------

bool CPropList::setInfoText(std::string text) {
    if (text == infoText_) return false;
    infoText_ = std::move(text);
    raiseChangeNotification(true, true, false, false);
    return true;
}

bool CPropList::setContentDescriptor(std::string text) {
    if (text == contentDescriptor_) return false;
    contentDescriptor_ = std::move(text);
    raiseChangeNotification(true, true, false, false);
    return true;
}

} // namespace qx
