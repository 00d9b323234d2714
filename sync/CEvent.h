// sync/CEvent.h -- a manual- or auto-reset event, in-process when unnamed, shared by every process of the
// user when named. Callbacks hand over between a running callback and a waiting detacher with one.
#pragma once

#include <memory>

#include "platform/Event.h"
#include "sync/CSyncObj.h"

namespace qx {

class CEvent : public CSyncObj {
public:
    // An existing named event is opened with its own reset mode and state.
    CEvent(bool manualReset, bool initiallySignalled, const char* name);
    ~CEvent() override;

    platform::SyncHandle* handle() const noexcept override { return impl_.get(); }

    // A successful wait on an auto-reset event unsignals it again.
    virtual unsigned waitFor(unsigned timeoutMs) noexcept { return CSyncObj::waitFor(timeoutMs); }

    bool set() noexcept { return impl_ && impl_->set(); }
    bool reset() noexcept { return impl_ && impl_->reset(); }
    bool existedBefore() const noexcept { return impl_ && impl_->existedBefore(); }

private:
    std::unique_ptr<platform::Event> impl_;
};

} // namespace qx
