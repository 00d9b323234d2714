// frame/Library.h -- the library's lifecycle: the reference count, and the globals that the first
// initialisation makes and the last release destroys (the logger and the named global mutex).
#pragma once

#include <cstdint>

namespace qx {

class CMutex;

// Name of the named mutex that callers in several processes share through qxGlobalLock.
inline constexpr const char* kGlobalMutexName = "qxprophandlingmutex_7B41E05A-9C26-4fd3-8517-3A9E62C0D4B8";

// One init: on the first, make the logger and then the global mutex. Returns the new count.
std::uint32_t libInit() noexcept;
// One done: at 0 nothing happens; the release that reaches 0 tears the library down. Returns the new count.
std::uint32_t libDone() noexcept;

// The global mutex, null before the first init, after the last done, or when it could not be made.
CMutex* globalMutex() noexcept;

} // namespace qx
