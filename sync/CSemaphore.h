// sync/CSemaphore.h -- a counting semaphore, in-process when unnamed, shared by every process of the user when
// named (the logger counts the writers of a log file with one).
#pragma once

#include <memory>

#include "platform/Semaphore.h"
#include "sync/CSyncObj.h"

namespace qx {

class CSemaphore final : public CSyncObj {
public:
    // Creation fails (null handle) unless 0 <= initial <= maximum and 0 < maximum <= 0x7FFFFFFF. An existing
    // named semaphore is opened with its own count and maximum.
    CSemaphore(long initial, long maximum, const char* name);
    ~CSemaphore() override;

    platform::SyncHandle* handle() const noexcept override { return impl_.get(); }

    // Adds count; previous (may be null) receives the count before. False, with nothing changed, when the
    // count would pass the maximum, count <= 0 or the handle is null.
    bool release(long count, long* previous) noexcept { return impl_ && impl_->release(count, previous); }

    bool existedBefore() const noexcept { return impl_ && impl_->existedBefore(); }

private:
    std::unique_ptr<platform::Semaphore> impl_;
};

} // namespace qx
