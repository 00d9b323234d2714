// frame/Library.h -- the library's lifecycle: the reference count, the named global mutex, and the hooks
// through which the floors above make and tear down their own globals (the logger, the list manager).
// The ground floor knows nothing of those globals; the interface floor installs the hooks at module load.
#pragma once

#include <cstdint>

namespace qx {

class CMutex;

// Name of the named mutex that callers in several processes share through qxGlobalLock.
inline constexpr const char* kGlobalMutexName = "qxprophandlingmutex_7B41E05A-9C26-4fd3-8517-3A9E62C0D4B8";

// Work of the floors above, installed once before the first init; none may throw. `create` runs at the
// first init before the global mutex is made. At the last done the order is: `destroyFirst` (the tree),
// the thread's last error, the global mutex, `destroyLast` (the logger, which everything before may use).
struct LifecycleHooks {
    void (*create)() noexcept = nullptr;
    void (*destroyFirst)() noexcept = nullptr;
    void (*destroyLast)() noexcept = nullptr;
};
void setLifecycleHooks(LifecycleHooks hooks) noexcept;

// One init: on the first, run the create hook and then make the global mutex. Returns the new count.
std::uint32_t libInit() noexcept;
// One done: at 0 nothing happens; the release that reaches 0 tears the library down. Returns the new count.
std::uint32_t libDone() noexcept;

// The global mutex, null before the first init, after the last done, or when it could not be made.
CMutex* globalMutex() noexcept;

} // namespace qx
