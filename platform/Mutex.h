// platform/Mutex.h -- the Linux stand-in for a (named) recursive mutex whose owner's death is reported as
// abandonment. The POSIX side stays in Mutex.cpp.
#pragma once

#include <memory>

#include "platform/SyncHandle.h"

namespace qx::platform {

class Mutex final : public SyncHandle {
public:
    // Null when the object cannot be made (bad namespace directory, a name used by another kind of object,
    // system limits). name null: private to the returned object.
    static std::unique_ptr<Mutex> create(bool initialOwner, const char* name);
    ~Mutex() override;

    WaitResult wait(unsigned timeoutMs) noexcept override;
    // False when the calling thread is not the owner.
    bool release() noexcept;
    bool existedBefore() const noexcept;

    struct Impl;
    explicit Mutex(std::unique_ptr<Impl> impl) noexcept;

private:
    std::unique_ptr<Impl> impl_;
};

// Whether a live mutex of this name exists; creates and leaves nothing.
bool namedMutexExists(const char* name);

} // namespace qx::platform
