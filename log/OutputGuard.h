// log/OutputGuard.h -- the scope guard of the logger's output lock, shared by the files of the logger.
#pragma once

#include "log/LogMsgWriter.h"
#include "sync/CMutex.h"

namespace qx {

// Holds the output lock (or, when the named mutex could not be made, a lock of this process) for one scope.
// An abandoned output lock is simply taken over: a message is written whole or not at all, so a writer that
// died holding it left nothing half-done behind.
class LogMsgWriter::OutputGuard {
public:
    explicit OutputGuard(LogMsgWriter& writer) : writer_(writer) {
        named_ = writer_.outputLock_ && writer_.outputLock_->handle() &&
                 writer_.outputLock_->waitFor(CSyncObj::kInfinite) != CSyncObj::kTimedOut;
        if (!named_) writer_.localLock_.lock();
    }
    ~OutputGuard() {
        if (named_) writer_.outputLock_->release();
        else writer_.localLock_.unlock();
    }
    // Whether the session-wide named lock is held (not this process's stand-in).
    bool named() const noexcept { return named_; }
    OutputGuard(const OutputGuard&) = delete;
    OutputGuard& operator=(const OutputGuard&) = delete;

private:
    LogMsgWriter& writer_;
    bool named_;
};

} // namespace qx
