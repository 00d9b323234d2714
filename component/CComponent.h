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

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "component/CComponentSharedData.h"
#include "component/Vocabulary.h"
#include "frame/Eqx.h"

namespace qx {

// How a clone gets its shared data: the source's (one more holder reference; the clone may then change
// nothing of it, which is how a derived list's copy of a property stays tied to its parent's limits), or a
// deep copy owned by the clone.
enum class CloneMode { ShareData, CopyData };

class CCallback;
class CComponent;

// What a component knows of its callers' code: its callbacks by kind (kinds 1 and 2 on properties only),
// the methods registered on it (change method; a property's validation method), and the components on
// which it is itself registered as a method, so that whichever goes first unlinks the other. Made on the
// first use, so a component that never meets callers' code pays one pointer.
struct CallerHooks {
    std::array<CCallback*, 4> callbacks{};
    CComponent* changeMethod = nullptr;
    CComponent* validationMethod = nullptr;
    std::vector<CComponent*> registeredOn;
};

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
    // Slot 1: puts callback (or nothing) into the slot for kind, detaching the one it replaces. Returns
    // false when the slot held callback already (both null included); else the attach result, or for
    // null whether a callback was removed. Components take kinds 0 and 3; properties add 1 and 2.
    virtual bool configureCallback(std::uint32_t kind, CCallback* callback);
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
    // Slot 11: registers method (a method component, or null to remove) as this component's change method
    // (kind 0); properties also take kind 2, the validation method. Other kinds: EImplementationMissing.
    virtual void registerCallback(CComponent* method, std::uint32_t kind);
    // Calls this component as a registered method, named by hMethod, with params. Only methods answer;
    // the others fail with ENotAMethod.
    virtual int invokeRegistered(HOBJ hMethod, CallParam* params, std::size_t count);

    // ---- container side: what a component that owns others provides to them -----------------------------
    // The dependency step of a property's notification: the owning list tells the lists derived from it.
    // A container without derived lists has nobody to tell, so this does nothing here.
    virtual void memberValueChanged(CComponent& member, bool dependentsForced);
    // Runs the change method registered for member's entry and returns its result. Until change methods
    // exist (callback step) no member can have one, so this returns 0 here.
    virtual int callMemberChangeMethod(CComponent& member);
    // True when this container is derived from another or has containers derived from it.
    virtual bool takesPartInDerivation() const;
    // True when containers are derived from this one, so a member's change concerns them too. Kept
    // outside the virtual table: every value write asks.
    bool hasDependents() const { return hasDependents_ != 0; }
    // The handle of the member at index; 0xFFFFFFFF for a container that hands out no handles.
    virtual HOBJ handleOfMember(std::uint16_t index) const;

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
    // The first-access notification: once after each invalidate, sets the access-notified byte and fires
    // the access (kind 3) callback. Returns true when caller code ran, after which the caller must look
    // the component up again: the code may have removed it.
    bool notifyFirstAccess() {
        if (accessNotified_ != 0) return false;
        accessNotified_ = 1;
        return fireAccessCallback();
    }
    // This component's handle in its owner; 0xFFFFFFFF when it sits in no list.
    HOBJ handle() const { return owner_ != nullptr ? owner_->handleOfMember(index_) : 0xFFFFFFFFu; }

    // Queues the component-changed (kind 0) callback for the end of the current call, unless suppressed
    // or running.
    void queueChangedCallback() {
        if (hooks_ != nullptr) queueChangedCallbackSlow();
    }
    // The change notification of a value write that nobody listens to: this component, and every container
    // above it that itself sits in a container, have no caller's code attached. Then the notification
    // only counts the change on each of them (containers do not override it), which this does without its
    // calls, returning true; false, with nothing counted, leaves the change to raiseChangeNotification.
    bool countUnheardChange() {
        if (hooks_ != nullptr) return false;
        for (const CComponent* c = owner_; c != nullptr && c->owner_ != nullptr; c = c->owner_) {
            if (c->hooks_ != nullptr) return false;
        }
        ++changeCount_;
        for (CComponent* c = owner_; c != nullptr; c = c->owner_) ++c->changeCount_;
        return true;
    }
    // Callers' code attached here, null when none ever was.
    const CallerHooks* callerHooks() const { return hooks_.get(); }
    CCallback* callback(std::uint32_t kind) const { return hooks_ && kind < 4 ? hooks_->callbacks[kind] : nullptr; }

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
    void setHasDependents(bool value) { hasDependents_ = value ? 1 : 0; }

    // The configure steps for one slot of kind (0 to 3); configureCallback picks which kinds a class takes.
    bool setCallbackSlot(std::uint32_t kind, CCallback* callback);
    // Points slot (changeMethod or validationMethod of the hooks) at method, keeping method's list of
    // registrations in step. Returns false when it pointed there already.
    bool setRegisteredMethod(CComponent* CallerHooks::*slot, CComponent* method);
    CallerHooks& hooks();
    // Drops the hooks once nothing is left in them (hooks_ must be set).
    void releaseEmptyHooks() noexcept;
    // A clone takes over the source's callbacks and registered methods.
    void copyCallerHooks(const CComponent& source);

private:
    void queueChangedCallbackSlow();
    bool fireAccessCallback();
    // Detaches every callback and unlinks every method registration, both ways.
    void dropCallerHooks() noexcept;

    std::uint32_t changeCount_ = 0;
    std::uint32_t valueChangeCount_ = 0;
    std::uint64_t userValue_ = 0;
    std::uint16_t index_ = noIndex;
    std::uint8_t defaultMarker_ = 0;
    std::uint8_t methodSuppressed_ = 0;
    std::uint8_t callbackSuppressed_ = 0;
    std::uint8_t accessNotified_ = 1;
    std::uint8_t hasDependents_ = 0; // a container with containers derived from it (kept by CPropList)
    CComponent* owner_;
    std::string name_;
    SharedHolder shared_;
    std::unique_ptr<CallerHooks> hooks_;
};

// The number of components destroyed so far in this process. Guard: the component-access lock.
std::uint64_t componentsDestroyed();

// Caller code may change the tree behind an operation's back. An operation that holds pointers into the
// tree across a call of caller code keeps a watch and checks it afterwards: if any component was
// destroyed meanwhile, check() throws EComponentIDInvalid and the operation stops before it touches a
// pointer that may be gone.
class TreeWatch {
public:
    TreeWatch() : start_(componentsDestroyed()) {}
    void check() const;

private:
    std::uint64_t start_;
};

// "No write rights for component '<name>'" followed by reason (may be empty).
ENoWriteRights noWriteRights(const CComponent& component, const std::string& reason = std::string());
// The write check of every value write and parameter change: passes when rights has rightsForce or the
// component has cfWriteAccess; otherwise throws ENoWriteRights.
void checkWriteRights(std::uint32_t rights, const CComponent& component);

} // namespace qx
