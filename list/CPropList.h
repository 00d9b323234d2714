// list/CPropList.h -- the container component: a table of numbered entries, each free or holding one
// component (property, method or list) with the entry-level flags of that placement, a name index over the
// occupied entries, and the family links of derivation.
//
// Ownership: an entry owns its component when the component's owner is this list (entry.owned). A derived
// list also shows components of its parent that it does not own (entry.shown): the parent's properties and
// methods until it is written through (propertyForWriting), never the parent's lists (those it derives).
// Derived lists are not owned through the family links; a derived list sits in the manager or in an entry of
// its own owner, and destroying a list destroys its whole derived tree first.
//
// Family walks (registration, removal, change of a member, destruction) go over the derived tree with an
// explicit stack, never by recursion, so a tree of 10 000 derived lists costs no stack depth. Nested lists
// (a list in an entry) are still walked recursively: their depth is what callers built by hand.
//
// Guard: the component-access lock, like every component.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "component/CComponent.h"
#include "list/EntryTable.h"
#include "qxPropHandling.h"

namespace qx {

class CProperty;

class CPropList final : public CComponent {
public:
    // Largest entry table: indices 0..65534; 0xFFFF is never the index of an entry.
    static constexpr std::size_t kMaxEntries = 0xFFFF;

    // A new list with size free entries, shared data of type list with flags, and a fresh list ID (which
    // may fail with ECantAllocateNewList). owner: not owned; null for a list that sits in no list yet.
    CPropList(std::string name, std::size_t size, std::uint32_t flags, CComponent* owner = nullptr);
    ~CPropList() override;

    // ---- identity ----
    std::uint16_t listID() const { return listID_; }
    HOBJ handle() const { return (static_cast<HOBJ>(listID_) << 16) | 0xFFFFu; }
    HOBJ handleOf(std::uint16_t index) const { return (static_cast<HOBJ>(listID_) << 16) | index; }
    // This list's handle inside its owning list; its own list handle when it has no owner.
    HOBJ handleInOwner() const;

    // ---- entries ----
    std::size_t entryCount() const { return entries_.size(); }
    std::size_t componentCount() const { return names_.size(); }
    // The component at index, null for a free entry or an index outside the table.
    CComponent* entryComponent(std::size_t index) const {
        return index < entries_.size() ? entries_[index].component() : nullptr;
    }
    // Resolution step 2: std::out_of_range outside the table, EComponentIDInvalid with list name and handle
    // for a free entry. The first-access notification is the resolver's (api/Resolve.cpp): it may run
    // caller code, after which the lookup starts again from the handle.
    CComponent& componentAt(std::uint16_t index) const {
        CComponent* component = index < entries_.size() ? entries_[index].component() : nullptr;
        if (component == nullptr) throwNoComponentAt(index);
        return *component;
    }
    // The component this list owns at index (not one it shows of its parent), or null.
    CComponent* ownedComponent(std::size_t index) const {
        return index < entries_.size() ? entries_[index].owned.get() : nullptr;
    }
    std::uint32_t entryFlags(std::uint16_t index) const;
    // The entry's flags plus cfInvisible when an entry on the owner chain is invisible.
    std::uint32_t effectiveEntryFlags(std::uint16_t index) const;
    // Index of the first free entry, 0xFFFF when none.
    std::uint16_t firstFreeEntry() const;
    // First occupied entry at or after from, 0xFFFF when none.
    std::uint16_t nextOccupied(std::size_t from) const;
    std::uint16_t lastOccupied() const;
    // Components whose shared flags hold every required bit and no excluded bit, kinds per searchMode.
    std::uint32_t countMatching(std::uint32_t required, std::uint32_t excluded, std::uint32_t searchMode) const;
    // The entry index of name, or 0xFFFF.
    std::uint16_t indexOfName(std::string_view name) const;

    // ---- registration and removal ----
    // Places component at index (an entry index, QX_INDEX_FIRST_FREE or QX_INDEX_APPEND) and returns its
    // handle; the list owns it from then on. A failed registration changes nothing (and the component, a
    // new one made for this call, dies with the argument). Lists derived from this one show it too.
    HOBJ registerComponent(std::unique_ptr<CComponent> component, std::uint16_t index);
    // Places a list that sits in no other list (one the manager owns) the same way.
    HOBJ registerList(CPropList& list, std::uint16_t index);
    // Removes the component at index (0xFFFF: the last entry) here and in every derived list; destroys it
    // where it is owned.
    void remove(std::uint16_t index);
    // Takes the component at index out of this list when the entry owns exactly `expected` (entry freed,
    // name dropped, change notified with (0, 1, 0, 0)); null otherwise. Used to destroy a list in an entry.
    std::unique_ptr<CComponent> takeOwned(std::uint16_t index, const CComponent* expected);
    // Moves entries first..last of source to destIndex of dest (mode: QX_MOVE_... bits).
    static void moveEntries(CPropList& source, CPropList& dest, std::uint16_t first, std::uint16_t last,
                            std::uint16_t destIndex, std::uint32_t mode);

    // ---- lookup ----
    // Handle of the component called name, or 0xFFFFFFFF. searchMode bits exclude kinds (QX_SM_...);
    // depth > 0 searches nested lists (in index order) with depth - 1.
    HOBJ find(std::string_view name, std::uint32_t searchMode, std::uint32_t depth) const;

    // ---- copies ----
    // A deep, independent copy with its own list ID (mode is ignored: every member is copied).
    std::unique_ptr<CComponent> clone(CComponent* newOwner, const std::string* newName, CloneMode mode) const override;
    // A list derived from parent: shares its shared data, shows its properties and methods, derives its
    // lists, clones its cfAlwaysForceClone properties, and follows its later registrations and removals.
    static std::unique_ptr<CPropList> derive(CPropList& parent, CComponent* newOwner, const std::string* newName);
    // Copies values of same-typed properties at common indices from source (nested lists recursively).
    // Returns the OR of userValue of the properties whose values were equal already.
    std::uint64_t update(const CPropList* source);

    // ---- writing ----
    // The property at index, ready to be written with rights: first-access notification, write check, and
    // in a derived list that only shows its parent's property, an own copy first (followed by the lists
    // derived from this one). EComponentIDInvalid / ENotAProperty / ENoWriteRights on failure.
    CProperty& propertyForWriting(std::uint16_t index, std::uint32_t rights);
    // Sets or clears one settable flag of the component at index (entry flags here, others in its shared
    // data) and raises its change notification when something changed.
    void setEntryFlag(std::uint16_t index, std::uint32_t mask, bool value);
    bool entryIsDefault(std::uint16_t index);
    void restoreDefault(std::uint16_t index, std::uint32_t rights);

    // ---- texts ----
    const std::string& infoText() const { return infoText_; }
    const std::string& contentDescriptor() const { return contentDescriptor_; }
    // Both return true and raise the change notification (1, 1, 0, 0) when the text changed.
    bool setInfoText(std::string text);
    bool setContentDescriptor(std::string text);

    // ---- derivation ----
    CPropList* derivedFrom() const { return derivedFrom_; }
    CPropList* firstDerived() const { return firstDerived_; }
    CPropList* nextDerived() const { return nextDerived_; }
    // The end of the chain of base links (this list when it is not derived).
    const CPropList& origin() const;

    // ---- container side of CComponent ----
    void memberValueChanged(CComponent& member, bool dependentsForced) override;
    bool takesPartInDerivation() const override { return derivedFrom_ != nullptr || firstDerived_ != nullptr; }
    // Queues the change method registered on member for the end of the call: once for member's handle in
    // this list, then once for the same index in every list derived from this one, each derived list
    // after the lists derived from it. Returns 0: the method's result is not known yet.
    int callMemberChangeMethod(CComponent& member) override;
    HOBJ handleOfMember(std::uint16_t index) const override { return handleOf(index); }

private:
    struct Entry {
        std::unique_ptr<CComponent> owned; // set when this list owns the component
        CComponent* shown = nullptr;       // set when the component belongs to the parent list
        std::uint32_t flags = 0;           // entry-level flags only
        bool hole = false;                 // marks an entry a move leaves behind for compaction
        CComponent* component() const { return owned ? owned.get() : shown; }
        bool occupied() const { return owned || shown != nullptr; }
    };

    // Copy constructor of derive and clone: component part copied, fresh list ID, texts copied.
    CPropList(const CPropList& source, CComponent* newOwner, const std::string* newName);

    // The checks of a registration, in order; returns the entry it would use (kMaxEntries: append).
    std::size_t checkRegistration(const CComponent& component, std::uint16_t request) const;
    // The rest of a registration, after checkRegistration said yes.
    HOBJ place(std::unique_ptr<CComponent> component, std::size_t at);
    // A list of the derived tree with the ID it had when the walk began. Work on one member of the tree can
    // destroy another (a derived list may sit in an entry of its sibling), so walks ask alive() before they
    // touch a member again; alive() reads only the manager's slot, never the member itself.
    struct TreeMember {
        CPropList* list;
        std::uint16_t id;
        bool alive() const;
    };
    // Every list derived from this one, directly or not, parents before their derived lists.
    std::vector<TreeMember> derivedTree() const;
    // Frees every entry that shows a component of the base list (own components stay).
    void forgetShownEntries() noexcept;
    // Whether destroying candidate would destroy this list (through owners and bases, at any depth).
    bool diesWith(const CComponent& candidate) const;
    // Whether placing list in an entry of this list would make a cycle of owners or of derivation.
    bool wouldCycle(const CPropList& list) const;
    // Makes the lists derived from this one show the component now at index (forced: replace what they
    // hold there, their own copies included).
    void repairDependencyTree(std::uint16_t index, bool forced);
    // Places what parentEntry shows into this derived list at index (a derived copy for a list, a clone for
    // a cfAlwaysForceClone property). Returns false when the entry was occupied and not forced.
    bool showParentEntry(const Entry& parentEntry, std::uint16_t index, bool forced);
    // Frees entry index here (destroying an owned component), dropping its name. No notification.
    void clearEntry(std::size_t index);
    void growTo(std::size_t size);
    void linkAsDerivedOf(CPropList& parent);
    void unlinkFromParent() noexcept;
    // Destroys every list derived from this one, deepest first.
    void destroyDerivedTree() noexcept;
    // Re-numbers components of entries from..end (index fields and names) after entries moved.
    void renumberFrom(std::size_t from);

    // The failure of componentAt: out_of_range beyond the table, EComponentIDInvalid for a free entry.
    [[noreturn]] void throwNoComponentAt(std::uint16_t index) const;

    EntryTable<Entry> entries_;
    std::uint16_t listID_;
    CPropList* derivedFrom_ = nullptr;
    CPropList* nextDerived_ = nullptr; // next list derived from the same parent
    CPropList* prevDerived_ = nullptr; // previous one, so a list leaves the chain in constant time
    CPropList* firstDerived_ = nullptr;
    // Name index: hashed, so lookup and registration cost the same on 10 and on 60 000 entries.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, std::uint16_t, NameHash, std::equal_to<>> names_;
    std::string infoText_;
    std::string contentDescriptor_;
    // No entry below this index is free; keeps "first free entry" from rescanning a full table.
    mutable std::size_t freeHint_ = 0;
};


// ENotAList / ENotAProperty / ENotAMethod detail: "<name>(0x%08x), ".
std::string kindDetail(const CComponent& component, HOBJ handle);

} // namespace qx
