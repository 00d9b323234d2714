// api/Resolve.h -- the one place where handles become lists and components. Every exported function that
// takes an HOBJ goes through these, so the texts of a bad handle are the same everywhere:
//   list:      "Invalid list ID(0x%08x)" (EInvalidListID) for a high half that names no list;
//   component: std::out_of_range ("Array index out of range" at the boundary) for an index outside the
//              list's table, "Invalid component ID(list %s, 0x%08x)" (EComponentIDInvalid) for a free entry;
//   kind:      ENotAList / ENotAProperty / ENotAMethod with "%s(0x%08x), " (name, handle).
// Each step is an index into a table: the manager's slots, then the list's entries. No search.
#pragma once

#include <cstdint>

#include "component/Vocabulary.h"
#include "qxPropHandling.h"

namespace qx {

class CComponent;
class CPropList;
class CProperty;

// Whether the lookup counts as an access of the component (fires its first-access notification).
enum class Access { Quiet, Notify };

// The access word an interface call passes down: full rights when the caller's force flag is set.
constexpr std::uint32_t rightsFor(int force) { return force != 0 ? rightsFull : rightsOrdinary; }

// Step 1: the list whose ID is the high half of handle (the manager is made on first use).
CPropList& resolveList(HOBJ handle);
// Steps 1 and 2: the component in entry (handle & 0xFFFF) of that list.
CComponent& resolveComponent(HOBJ handle, Access access = Access::Quiet);
// For the component parameters: index 0xFFFF names the list as a whole, any other index its entry.
CComponent& resolveDesignated(HOBJ handle, Access access = Access::Quiet);
// Steps 1 to 3 for a list that sits in an entry of another list.
CPropList& resolveListEntry(HOBJ handle);
// Steps 1 to 3 for a property, looked up for reading (with the first-access notification).
CProperty& resolvePropertyForReading(HOBJ handle);
// A property looked up for writing with rights: first-access notification, write check, and in a derived
// list that only shows its parent's property, the list's own copy (which is what is returned).
CProperty& resolvePropertyForWriting(HOBJ handle, std::uint32_t rights);

} // namespace qx
