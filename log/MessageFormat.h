// log/MessageFormat.h -- turning a caller's printf-style format and arguments into the message text.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qx::logformat {

// Room for the decimal text of any 64-bit magnitude with its sign.
struct DecimalBuffer {
    char digits[24];
};
// value in decimal, with a leading '-' when negative, written to the end of buffer; returns the text. Inline:
// every log line's prefix and most messages' numbers pass here.
inline std::string_view decimalText(std::uint64_t value, bool negative, DecimalBuffer& buffer) noexcept {
    std::size_t at = sizeof buffer.digits;
    do {
        buffer.digits[--at] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (negative) buffer.digits[--at] = '-';
    return std::string_view(buffer.digits + at, sizeof buffer.digits - at);
}

// Replaces out with the formatted message, exactly as vsnprintf would write it. A message that cannot be
// formatted becomes "(message could not be formatted)\n". out keeps its capacity between calls, so a
// thread's buffer stops allocating once it has seen its longest message.
void formatMessage(std::string& out, const char* format, va_list args);

} // namespace qx::logformat
