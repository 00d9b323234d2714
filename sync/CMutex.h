// sync/CMutex.h -- a mutex, in-process when unnamed, shared by every process of the user when named. The
// owner may take it again (it must release it as often); a thread or process that ends while owning it
// abandons it, and the next waitFor reports 0 and owns it. Also the probe for a named mutex.
#pragma once

#include <memory>

#include "platform/Mutex.h"
#include "sync/CSyncObj.h"

namespace qx {

class CMutex final : public CSyncObj {
public:
    // name null: a mutex private to this object. initialOwner takes it for the calling thread, but only when
    // this call created it (an existing named mutex is opened, not taken).
    CMutex(bool initialOwner, const char* name);
    ~CMutex() override;

    platform::SyncHandle* handle() const noexcept override { return impl_.get(); }

    // False when the calling thread does not own the mutex or the handle is null.
    bool release() noexcept { return impl_ && impl_->release(); }

    // Named only: whether a live mutex of this name existed before this object was made.
    bool existedBefore() const noexcept { return impl_ && impl_->existedBefore(); }

private:
    std::unique_ptr<platform::Mutex> impl_;
};

// Whether some process (this one included) holds a live mutex of this name. Creates nothing.
bool namedMutexExists(const char* name);

} // namespace qx
