// component/CComponent.h -- the node of the component tree: what is particular to one placement of a list,
// property or method in one list (name, entry index, owning container, change counters, suppression bytes,
// access-notified byte, caller's user value) plus the counted holder of its CComponentSharedData.
//
// Owner chain. A component's owner is the container whose entry holds it. In the library that is always a
// CPropList, but the owner is held as a CComponent* and every step that climbs the chain goes through
// CComponent's own virtual operations, never through list internals:
//   - raiseChangeNotification (slot 0) on the owner, which climbs further by the same rule;
//   - the container side below (memberValueChanged, callMemberChangeMethod, takesPartInDerivation), whose
//     bodies here describe a container with no derived lists and no registered change methods, and which
//     CPropList overrides;
//   - owner()->sharedData() and owner()->name() for the visibility warning, owner()->isDefault() and
//     owner()->setDefaultMarker() for the default marker.
// So a list needs nothing from this file beyond deriving from CComponent, calling setOwner/setIndex and
// handOverEntryFlags on registration, and overriding the container side.
//
// Ownership: a component never owns its owner; the container owns the component (the list's entry table).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "component/CComponentSharedData.h"
#include "component/Vocabulary.h"
#include "frame/Eqx.h"

namespace qx {

// How a clone gets its shared data: the source's (one more holder reference; the clone may then change
// nothing of it, which is how a derived list's copy of a property stays tied to its parent's limits), or a
// deep copy owned by the clone.
enum class CloneMode { ShareData, CopyData };

class CComponent {
public:
    virtual ~CComponent();
    CComponent(const CComponent&) = delete;
    CComponent& operator=(const CComponent&) = delete;

    // ---- virtual operations, in slot order -------------------------------------------------------------
    // Slot 0, the change notification: counts the change (valueChangeCount only with valueCounted), climbs
    // to the owner with (valueChanged, valueCounted, 0, 0), lets the owner run the change method when the
    // value changed, and fires the component-changed callback when the value changed or forceNotify asks.
    // Returns the change method's result, 0 when none ran. Properties add the dependency step first.
    virtual int raiseChangeNotification(bool valueChanged, bool valueCounted, bool dependentsForced,
                                        bool forceNotify);
    // Slot 1 (configureCallback) arrives with the callback objects.
    // Slot 2: lists and methods answer with their default marker; properties compute theirs.
    virtual bool isDefault();
    // Slot 4: a deep copy owned by newOwner, named newName (or the source's name when null).
    virtual std::unique_ptr<CComponent> clone(CComponent* newOwner, const std::string* newName,
                                              CloneMode mode) const = 0;
    // Slot 5: clears accessNotified and raises the notification with (0, 1, 1, 1).
    virtual void invalidate();
    // Slots 7 to 10. Changing methodSuppressed raises the notification with (1, 1, 0, 0);
    // changing callbackSuppressed raises nothing. Both return the old value.
    std::uint8_t setMethodSuppressed(std::uint8_t value);
    std::uint8_t methodSuppressed() const { return methodSuppressed_; }
    std::uint8_t setCallbackSuppressed(std::uint8_t value);
    std::uint8_t callbackSuppressed() const { return callbackSuppressed_; }
    // Slots 6 and 11 (change method, registerCallback) arrive with the callback objects.

    // ---- container side: what a component that owns others provides to them -----------------------------
    // The dependency step of a property's notification: the owning list tells the lists derived from it.
    // A container without derived lists has nobody to tell, so this does nothing here.
    virtual void memberValueChanged(CComponent& member, bool dependentsForced);
    // Runs the change method registered for member's entry and returns its result. Until change methods
    // exist (callback step) no member can have one, so this returns 0 here.
    virtual int callMemberChangeMethod(CComponent& member);
    // True when this container is derived from another or has containers derived from it.
    virtual bool takesPartInDerivation() const;

    // ---- placement, set by the owning list ---------------------------------------------------------------
    CComponent* owner() const { return owner_; }
    void setOwner(CComponent* owner) { owner_ = owner; }
    std::uint16_t index() const { return index_; }
    void setIndex(std::uint16_t index) { index_ = index; }
    // Registration: clears the entry-level flags (mask QX_CF_ENTRY_MASK) from the shared flags through
    // setFlag (one counted shared-data change per bit that was set) and returns them for the new entry.
    // This component must own its shared data.
    std::uint32_t handOverEntryFlags();

    // ---- state ---------------------------------------------------------------------------------------------
    const std::string& name() const { return name_; }
    std::uint32_t changeCount() const { return changeCount_; }
    std::uint32_t valueChangeCount() const { return valueChangeCount_; }
    std::uint64_t userValue() const { return userValue_; }
    void setUserValue(std::uint64_t value) { userValue_ = value; }
    std::uint8_t defaultMarker() const { return defaultMarker_; }
    // Sets the marker here after making every owner up the chain report the same (stopping at the first
    // owner that already does).
    void setDefaultMarker(std::uint8_t value);
    std::uint8_t accessNotified() const { return accessNotified_; }
    // The first-access notification sets this before it fires the access callback (callback step).
    void markAccessNotified() { accessNotified_ = 1; }

    CComponentSharedData* sharedData() const { return shared_.get(); }
    const SharedHolder& sharedHolder() const { return shared_; }
    std::uint32_t type() const { return shared_ ? shared_->type() : 0; }
    std::uint32_t flags() const { return shared_ ? shared_->flags() : 0; }

protected:
    // New component: counters 0, index 0xFFFF, markers 0, accessNotified 1, an empty holder that the
    // concrete class fills in its constructor. owner: not owned.
    CComponent(std::string name, CComponent* owner);
    // Component part of a clone: counters, userValue, suppression bytes and accessNotified copied; default
    // marker 0, index 0xFFFF, the new owner and name (source's name when newName is null), an empty holder.
    CComponent(const CComponent& source, CComponent* newOwner, const std::string* newName);

    void installSharedData(SharedHolder holder) { shared_ = std::move(holder); }

private:
    // Fires the component-changed (kind 0) callback unless suppressed. Callbacks do not exist before the
    // callback step fills this body; until then there is nothing to fire.
    void fireChangedCallback() {}

    std::uint32_t changeCount_ = 0;
    std::uint32_t valueChangeCount_ = 0;
    std::uint64_t userValue_ = 0;
    std::uint16_t index_ = noIndex;
    std::uint8_t defaultMarker_ = 0;
    std::uint8_t methodSuppressed_ = 0;
    std::uint8_t callbackSuppressed_ = 0;
    std::uint8_t accessNotified_ = 1;
    CComponent* owner_;
    std::string name_;
    SharedHolder shared_;
};

// "No write rights for component '<name>'" followed by reason (may be empty).
ENoWriteRights noWriteRights(const CComponent& component, const std::string& reason = std::string());
// The write check of every value write and parameter change: passes when rights has rightsForce or the
// component has cfWriteAccess; otherwise throws ENoWriteRights.
void checkWriteRights(std::uint32_t rights, const CComponent& component);

} // namespace qx
