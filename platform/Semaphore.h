// platform/Semaphore.h -- the Linux stand-in for a (named) counting semaphore. POSIX stays in Semaphore.cpp.
#pragma once

#include <memory>

#include "platform/SyncHandle.h"

namespace qx::platform {

class Semaphore final : public SyncHandle {
public:
    // Null unless 0 <= initial <= maximum, 0 < maximum <= 0x7FFFFFFF, and (named) the object can be made.
    // An existing named semaphore keeps its own count and maximum.
    static std::unique_ptr<Semaphore> create(long initial, long maximum, const char* name);
    ~Semaphore() override;

    // Takes one count.
    WaitResult wait(unsigned timeoutMs) noexcept override;
    // Adds count (> 0); previous (may be null) receives the count before. Fails, changing nothing, when the
    // result would exceed the maximum.
    bool release(long count, long* previous) noexcept;
    bool existedBefore() const noexcept;

    struct Impl;
    explicit Semaphore(std::unique_ptr<Impl> impl) noexcept;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace qx::platform
