// tools/qxprop/LastError.cpp -- the two-step read of the last-error text: a size query with a null
// buffer, then the fetch into a buffer of exactly that size.
#include "LastError.h"

#include <cstring>
#include <vector>

#include "qxPropHandling.h"

namespace qx::shell {

int readLastError(LastError& error) {
    int code = 0;
    std::size_t size = 0;
    int result = qxPropHandlingGetLastError(&code, nullptr, &size);
    if (result != PROPHANDLING_NO_ERROR) return result;
    std::vector<char> buffer(size > 0 ? size : 1, '\0');
    size = buffer.size();
    result = qxPropHandlingGetLastError(&code, buffer.data(), &size);
    if (result != PROPHANDLING_NO_ERROR) return result;
    error.code = code;
    error.text.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
    return PROPHANDLING_NO_ERROR;
}

std::string errorName(int code) {
    const char* name = qxPropHandlingErrorCodeToString(code);
    return name ? name : "(null)";
}

} // namespace qx::shell
