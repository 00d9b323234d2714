// frame/ExceptionAwareParser.h -- a parser that keeps the first library failure of its handlers instead of
// stopping at once: the failure's code and message are recorded, every content handler is switched off,
// and the rest of the document is still parsed (so a malformed tail is still reported as such). The
// reader that owns the run reports the record after the parse. Foreign failures (std::bad_alloc, ...)
// still stop the parser and are rethrown by parse(), as in CExpatImpl.
#pragma once

#include <string>

#include "frame/CExpatImpl.h"

namespace qx {

class Eqx;

class ExceptionAwareParser : public CExpatImpl {
public:
    // 0 while nothing was recorded.
    int recordedCode() const { return recordedCode_; }
    const std::string& recordedMessage() const { return recordedMessage_; }
    bool hasRecordedException() const { return recorded_; }

protected:
    // Keeps the first failure only; later ones cannot happen, since no handler runs after it.
    void recordException(const Eqx& e);
    void OnHandlerFailure(std::exception_ptr failure) noexcept override;

private:
    bool recorded_ = false;
    int recordedCode_ = 0;
    std::string recordedMessage_;
};

} // namespace qx
