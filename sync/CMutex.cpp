// sync/CMutex.cpp -- the mutex object over platform::Mutex.
#include "sync/CMutex.h"

namespace qx {

CMutex::CMutex(bool initialOwner, const char* name) : impl_(platform::Mutex::create(initialOwner, name)) {}

CMutex::~CMutex() = default;

bool namedMutexExists(const char* name) { return platform::namedMutexExists(name); }

} // namespace qx
