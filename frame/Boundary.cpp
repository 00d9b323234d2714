// frame/Boundary.cpp -- classifies the exception in flight for guarded(). Kept out of the template so
// that the 59 exported functions share one copy of the catch clauses.
#include "frame/Boundary.h"

namespace qx {

namespace detail {

int codeOfCurrentException(std::string_view& prefix, std::string_view& text) noexcept {
    prefix = {};
    try {
        throw;
    } catch (const Eqx& e) {
        text = e.message();
        return e.code();
    } catch (const std::out_of_range&) {
        text = "Array index out of range";
        return PROPHANDLING_COMPONENT_ID_INVALID;
    } catch (const std::bad_alloc&) {
        text = "Out of memory";
        return kForeignFailureCode;
    } catch (const std::exception& e) {
        prefix = "Internal error: ";
        text = e.what();
        return kForeignFailureCode;
    } catch (...) {
        text = "Internal error: unknown exception";
        return kForeignFailureCode;
    }
}

} // namespace detail

} // namespace qx
