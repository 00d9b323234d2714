// log/MessageFormat.cpp -- the message text of a log entry. The library's own messages use only %s, %d and
// %u (and a few %p and %x); vsnprintf sets up a whole stream for each of them, which costs more than the rest
// of a log line's formatting together. Formats made of plain conversions -- %s %d %i %u %c %% with no flags,
// width or precision, and the length modifiers l, ll and z -- are formatted here; anything else, a null %s
// included, goes to vsnprintf from the start with the arguments untouched, so the text is always vsnprintf's.
#include "log/MessageFormat.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace qx::logformat {

namespace {

enum class Length { Int, Long, LongLong, Size };

void appendUnsigned(std::string& out, std::uint64_t value, bool negative) {
    DecimalBuffer buffer;
    out.append(decimalText(value, negative, buffer));
}

void appendSigned(std::string& out, std::int64_t value) {
    const bool negative = value < 0;
    appendUnsigned(out, negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value),
                   negative);
}

// False as soon as the format asks for something this path does not do; out is then garbage.
bool formatPlain(std::string& out, const char* format, va_list args) {
    out.clear();
    for (const char* p = format;;) {
        const char* percent = std::strchr(p, '%');
        if (percent == nullptr) {
            out.append(p);
            return true;
        }
        out.append(p, static_cast<std::size_t>(percent - p));
        p = percent + 1;
        Length length = Length::Int;
        if (*p == 'l') {
            ++p;
            length = Length::Long;
            if (*p == 'l') {
                ++p;
                length = Length::LongLong;
            }
        } else if (*p == 'z') {
            ++p;
            length = Length::Size;
        }
        const char conversion = *p++;
        switch (conversion) {
        case '%':
            if (length != Length::Int) return false;
            out.push_back('%');
            break;
        case 'c':
            if (length != Length::Int) return false;
            out.push_back(static_cast<char>(va_arg(args, int)));
            break;
        case 's': {
            if (length != Length::Int) return false;
            const char* text = va_arg(args, const char*);
            if (text == nullptr) return false;
            out.append(text);
            break;
        }
        case 'd':
        case 'i':
            switch (length) {
            case Length::Int: appendSigned(out, va_arg(args, int)); break;
            case Length::Long: appendSigned(out, va_arg(args, long)); break;
            case Length::LongLong: appendSigned(out, va_arg(args, long long)); break;
            case Length::Size: appendSigned(out, va_arg(args, std::make_signed_t<std::size_t>)); break;
            }
            break;
        case 'u':
            switch (length) {
            case Length::Int: appendUnsigned(out, va_arg(args, unsigned), false); break;
            case Length::Long: appendUnsigned(out, va_arg(args, unsigned long), false); break;
            case Length::LongLong: appendUnsigned(out, va_arg(args, unsigned long long), false); break;
            case Length::Size: appendUnsigned(out, va_arg(args, std::size_t), false); break;
            }
            break;
        default:
            return false;
        }
    }
}

void formatWithLibrary(std::string& out, const char* format, va_list args) {
    if (out.size() < 256) out.resize(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int n = std::vsnprintf(out.data(), out.size(), format, copy);
        va_end(copy);
        if (n < 0) {
            out.assign("(message could not be formatted)\n");
            return;
        }
        if (static_cast<std::size_t>(n) < out.size()) {
            out.resize(static_cast<std::size_t>(n));
            return;
        }
        out.resize(out.size() * 2 > static_cast<std::size_t>(n) ? out.size() * 2 : static_cast<std::size_t>(n) + 1);
    }
}

} // namespace

void formatMessage(std::string& out, const char* format, va_list args) {
    if (format == nullptr) {
        out.assign("(message could not be formatted)\n");
        return;
    }
    va_list copy;
    va_copy(copy, args);
    const bool done = formatPlain(out, format, copy);
    va_end(copy);
    if (!done) formatWithLibrary(out, format, args);
}

} // namespace qx::logformat
