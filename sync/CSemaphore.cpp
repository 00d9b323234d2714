// sync/CSemaphore.cpp -- the semaphore object over platform::Semaphore.
#include "sync/CSemaphore.h"

namespace qx {

CSemaphore::CSemaphore(long initial, long maximum, const char* name)
    : impl_(platform::Semaphore::create(initial, maximum, name)) {}

CSemaphore::~CSemaphore() = default;

} // namespace qx
