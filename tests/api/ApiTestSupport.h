// Helpers shared by the tests that drive the exported C interface.
#pragma once

#include <string>
#include <vector>

#include "qxPropHandling.h"

namespace qxtest {

struct LastError {
    int code;
    std::string text;
};

// The calling thread's last error, read with the size protocol as a careful caller would.
inline LastError lastError() {
    int code = 12345;
    size_t size = 0;
    if (qxPropHandlingGetLastError(&code, nullptr, &size) != 0) return {code, "<size query failed>"};
    std::vector<char> text(size);
    if (qxPropHandlingGetLastError(&code, text.data(), &size) != 0) return {code, "<read failed>"};
    return {code, std::string(text.data())};
}

} // namespace qxtest
