// platform/Event.h -- the Linux stand-in for a (named) manual- or auto-reset event. POSIX stays in Event.cpp.
#pragma once

#include <memory>

#include "platform/SyncHandle.h"

namespace qx::platform {

class Event final : public SyncHandle {
public:
    // Null when a named event cannot be made. An existing named event keeps its own reset mode and state.
    static std::unique_ptr<Event> create(bool manualReset, bool initiallySignalled, const char* name);
    ~Event() override;

    // An auto-reset event is unsignalled again by the one wait that succeeds.
    WaitResult wait(unsigned timeoutMs) noexcept override;
    bool set() noexcept;
    bool reset() noexcept;
    bool existedBefore() const noexcept;

    struct Impl;
    explicit Event(std::unique_ptr<Impl> impl) noexcept;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace qx::platform
