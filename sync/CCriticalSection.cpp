// sync/CCriticalSection.cpp -- owns the one component-access lock of the process. Constant-initialised
// (see CCriticalSection.h), so it is usable from the module's load constructor onwards.
#include "sync/CCriticalSection.h"

namespace qx {

namespace {
constinit CCriticalSection g_componentAccessLock;
}

CCriticalSection& componentAccessLock() { return g_componentAccessLock; }

} // namespace qx
