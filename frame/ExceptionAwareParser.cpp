// frame/ExceptionAwareParser.cpp -- the record of a handler's first library failure (see the header).
#include "frame/ExceptionAwareParser.h"

#include "frame/Eqx.h"

namespace qx {

void ExceptionAwareParser::recordException(const Eqx& e) {
    if (recorded_) return;
    recorded_ = true;
    recordedCode_ = e.code();
    recordedMessage_ = e.message();
    enableStartElementHandler(false);
    enableEndElementHandler(false);
    enableCharacterDataHandler(false);
}

void ExceptionAwareParser::OnHandlerFailure(std::exception_ptr failure) noexcept {
    try {
        std::rethrow_exception(failure);
    } catch (const Eqx& e) {
        try {
            recordException(e);
            return;
        } catch (...) { // copying the message ran out of memory: fall through and stop the parse instead
        }
    } catch (...) {
    }
    CExpatImpl::OnHandlerFailure(std::move(failure));
}

} // namespace qx
