// component/EntryEpoch.h -- a counter that moves whenever a handle might come to name another component:
// a list's entry table is changed, or a component is destroyed. The interface keeps the last handle it
// resolved together with this counter, and trusts it only while the counter has not moved.
// Guard: the component-access lock (tables change and components die under it).
#pragma once

#include <cstdint>

namespace qx {

inline constinit std::uint64_t g_entryEpoch = 0;

inline std::uint64_t entryEpoch() { return g_entryEpoch; }
inline void moveEntryEpoch() { ++g_entryEpoch; }

} // namespace qx
