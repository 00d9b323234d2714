// log/MessageFormat.h -- turning a caller's printf-style format and arguments into the message text.
#pragma once

#include <cstdarg>
#include <string>

namespace qx::logformat {

// Replaces out with the formatted message, exactly as vsnprintf would write it. A message that cannot be
// formatted becomes "(message could not be formatted)\n". out keeps its capacity between calls, so a
// thread's buffer stops allocating once it has seen its longest message.
void formatMessage(std::string& out, const char* format, va_list args);

} // namespace qx::logformat
