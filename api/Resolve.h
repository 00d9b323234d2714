// api/Resolve.h -- the one place where handles become lists and components. Every exported function that
// takes an HOBJ goes through these, so the texts of a bad handle are the same everywhere:
//   list:      "Invalid list ID(0x%08x)" (EInvalidListID) for a high half that names no list;
//   component: std::out_of_range ("Array index out of range" at the boundary) for an index outside the
//              list's table, "Invalid component ID(list %s, 0x%08x)" (EComponentIDInvalid) for a free entry;
//   kind:      ENotAList / ENotAProperty / ENotAMethod with "%s(0x%08x), " (name, handle).
// Each step is an index into a table: the manager's slots, then the list's entries. No search.
#pragma once

#include <cstdint>

#include "component/EntryEpoch.h"
#include "component/Vocabulary.h"
#include "list/CPropList.h"
#include "list/CPropListManager.h"
#include "property/CProperty.h"
#include "qxPropHandling.h"

namespace qx {

// Whether the lookup counts as an access of the component (fires its first-access notification).
enum class Access { Quiet, Notify };

// The access word an interface call passes down: full rights when the caller's force flag is set.
constexpr std::uint32_t rightsFor(int force) { return force != 0 ? rightsFull : rightsOrdinary; }

// The last property the fast paths below resolved, with the entry epoch of that moment. While the epoch
// stands still no entry table has changed and no component has died, so the same handle names the same
// component: the walk through the manager's and the list's tables can be skipped. Only what the tables
// cannot tell (the first-access mark, the kind, the write right) is checked again on every call.
// Guard: the component-access lock, held by every caller of these functions.
struct ResolvedHandle {
    HOBJ handle = 0;
    std::uint64_t epoch = ~std::uint64_t{0};
    CComponent* component = nullptr;
};
inline constinit ResolvedHandle g_lastResolved;

// The component a handle names when the list owns it, from the memory above or from the tables.
inline CComponent* ownedComponentOf(HOBJ handle) {
    if (g_lastResolved.handle == handle && g_lastResolved.epoch == entryEpoch()) return g_lastResolved.component;
    if (const CPropListManager* manager = CPropListManager::existing()) {
        if (const CPropList* list = manager->listAt(handle)) {
            CComponent* component = list->ownedComponent(handle & 0xFFFFu);
            if (component != nullptr) g_lastResolved = ResolvedHandle{handle, entryEpoch(), component};
            return component;
        }
    }
    return nullptr;
}

// Step 1: the list whose ID is the high half of handle (the manager is made on first use).
CPropList& resolveList(HOBJ handle);
// Steps 1 and 2: the component in entry (handle & 0xFFFF) of that list.
CComponent& resolveComponent(HOBJ handle, Access access = Access::Quiet);
// For the component parameters: index 0xFFFF names the list as a whole, any other index its entry.
CComponent& resolveDesignated(HOBJ handle, Access access = Access::Quiet);
// Steps 1 to 3 for a list that sits in an entry of another list.
CPropList& resolveListEntry(HOBJ handle);
// Steps 1 to 3 for a property, looked up for reading (with the first-access notification).
CProperty& resolvePropertyForReadingSlow(HOBJ handle);
// Inline for the common case, a property its list owns that needs no first-access notification: every
// read passes here (a property a derived list shows of its parent takes the full path). Anything else takes the full path with its messages.
inline CProperty& resolvePropertyForReading(HOBJ handle) {
    CComponent* component = ownedComponentOf(handle);
    if (component != nullptr && component->accessNotified() != 0 && isPropertyType(component->type()))
        return static_cast<CProperty&>(*component);
    return resolvePropertyForReadingSlow(handle);
}
// A property looked up for writing with rights: first-access notification, write check, and in a derived
// list that only shows its parent's property, the list's own copy (which is what is returned).
CProperty& resolvePropertyForWritingSlow(HOBJ handle, std::uint32_t rights);
// Inline for the common case, a property the list owns itself (no copy to make), that needs no first-access
// notification and may be written with rights. Anything else takes the full path.
inline CProperty& resolvePropertyForWriting(HOBJ handle, std::uint32_t rights) {
    CComponent* component = ownedComponentOf(handle);
    if (component != nullptr && component->accessNotified() != 0 && isPropertyType(component->type()) &&
        ((rights & rightsForce) != 0 || (component->flags() & QX_CF_WRITE_ACCESS) != 0))
        return static_cast<CProperty&>(*component);
    return resolvePropertyForWritingSlow(handle, rights);
}

} // namespace qx
