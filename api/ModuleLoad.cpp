// api/ModuleLoad.cpp -- loading the module counts as one qxPropHandlingLibInit and unloading it as one
// qxPropHandlingLibDone, so a caller that pairs its own init and done never tears the library down while
// the module stays loaded. The one static object of the library with a constructor lives here, and so do
// the lifecycle hooks that make and destroy the globals of the floors below the interface (the logger and
// the list manager; frame/Library.cpp says in which order).
//
// A child made by fork() inherits the parent's count and runs this destructor at its exit(); the named
// objects it then closes know which process opened them and leave the parent's holds alone.
#include <memory>
#include <new>

#include "component/CallbackTable.h"
#include "frame/Deferred.h"
#include "frame/Library.h"
#include "list/CPropListManager.h"
#include "log/LogMsgWriter.h"

namespace qx {

namespace {
void createGlobals() noexcept {
    try {
        exchangeLibraryLogger(std::make_unique<LogMsgWriter>("qxPropHandling", "qxDebugFlags.qxd"));
    } catch (const std::bad_alloc&) {
    }
}

// Components detach themselves from their callbacks as they go; then the callbacks go.
void destroyTree() noexcept {
    CPropListManager::destroyInstance();
    dropDeferredCalls();
    CallbackTable::destroyInstance();
}

void destroyLogger() noexcept { exchangeLibraryLogger(nullptr); }

struct ModuleLoad {
    ModuleLoad() {
        setLifecycleHooks({&createGlobals, &destroyTree, &destroyLogger});
        libInit();
    }
    ~ModuleLoad() { libDone(); }
    ModuleLoad(const ModuleLoad&) = delete;
    ModuleLoad& operator=(const ModuleLoad&) = delete;
};

ModuleLoad g_moduleLoad;
} // namespace

} // namespace qx
