// tools/qxprop/LastError.h -- reading the calling thread's last error through the C interface, for the
// shell's error lines and its lasterror command. The text always comes from the library.
#pragma once

#include <string>

namespace qx::shell {

struct LastError {
    int code = 0;
    std::string text;
};

// Asks the library for the needed size, then fetches code and text. Returns the library's result:
// 0, or the code qxPropHandlingGetLastError itself failed with (then `error` is unchanged).
int readLastError(LastError& error);

// The library's name of a code ("UNKNOWN ERROR CODE" for codes it does not know).
std::string errorName(int code);

} // namespace qx::shell
