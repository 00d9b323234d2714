// frame/Library.cpp -- owns the reference count and the named global mutex, which live between the first
// initialisation and the last release, and runs the hooks of the floors above around them (their globals,
// the logger and the list manager, are theirs to make and destroy: api/ModuleLoad.cpp installs the hooks).
//
// Guard: none. Initialisation and teardown are made from one thread (the module load and unload
// notifications do exactly that); the count is atomic only so that a careless caller cannot tear it.
// The globals are raw pointers so they are constant-initialised and have no static destructor that
// could run before the unload teardown that still needs them.
#include "frame/Library.h"

#include <atomic>
#include <new>

#include "frame/LastError.h"
#include "frame/Log.h"
#include "platform/NamedObject.h"
#include "sync/CMutex.h"

namespace qx {

namespace {
constinit std::atomic<std::uint32_t> g_refCount{0};
constinit CMutex* g_globalMutex = nullptr;
constinit LifecycleHooks g_hooks{};

// Initialisation runs from the module's load constructor, where an exception would end the process;
// a global that cannot be made stays empty instead, and the functions that need it report that.
void createGlobals() noexcept {
    if (g_hooks.create) g_hooks.create();
    g_globalMutex = new (std::nothrow) CMutex(false, kGlobalMutexName);
    if (g_globalMutex && !g_globalMutex->handle())
        logRefusalOnce("qxPropHandlingLibInit", platform::syncNamespaceProblem());
}

void destroyGlobals() noexcept {
    // Lists first: their components may still log while they go, and the logger goes last.
    if (g_hooks.destroyFirst) g_hooks.destroyFirst();
    resetLastError();
    delete g_globalMutex;
    g_globalMutex = nullptr;
    if (g_hooks.destroyLast) g_hooks.destroyLast();
}
} // namespace

void setLifecycleHooks(LifecycleHooks hooks) noexcept { g_hooks = hooks; }

std::uint32_t libInit() noexcept {
    if (g_refCount.load() == 0) createGlobals();
    return ++g_refCount;
}

std::uint32_t libDone() noexcept {
    std::uint32_t count = g_refCount.load();
    do {
        if (count == 0) return 0;
    } while (!g_refCount.compare_exchange_weak(count, count - 1));
    if (count - 1 == 0) destroyGlobals();
    return count - 1;
}

CMutex* globalMutex() noexcept { return g_globalMutex; }

} // namespace qx
