// The message text of a log entry must be what vsnprintf writes, whichever way it is made: plain formats on
// the fast path, everything else (flags, widths, other conversions, a null string) through the C library.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <limits>
#include <string>

#include "log/MessageFormat.h"

namespace qx::logformat {
namespace {

std::string viaLogger(std::string& buffer, const char* format, ...) __attribute__((format(printf, 2, 3)));
std::string viaLogger(std::string& buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    formatMessage(buffer, format, args);
    va_end(args);
    return buffer;
}

std::string viaLibrary(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string viaLibrary(const char* format, ...) {
    va_list args;
    va_start(args, format);
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// One shared buffer for all cases: a long message before a short one must not leave its tail behind.
TEST(MessageFormat, EveryFormatReadsAsTheCLibraryWritesIt) {
    std::string buffer;
    const long long llMin = std::numeric_limits<long long>::min();
    const unsigned long long ullMax = std::numeric_limits<unsigned long long>::max();
    const char* volatile null = nullptr;  // volatile: the compiler must not see it is null
    const std::string longText(3000, 'x');
    struct Case {
        std::string logged, expected;
    } cases[] = {
        {viaLogger(buffer, "plain text\n"), viaLibrary("plain text\n")},
        {viaLogger(buffer, "%s: WARNING!!! value %d is out of range\n", "qx::A::b", -42),
         viaLibrary("%s: WARNING!!! value %d is out of range\n", "qx::A::b", -42)},
        {viaLogger(buffer, "%i|%u|%c|%%|%s", 0, 4000000000u, 'Z', ""), viaLibrary("%i|%u|%c|%%|%s", 0, 4000000000u, 'Z', "")},
        {viaLogger(buffer, "%ld %lu %lld %llu", -7L, 7UL, llMin, ullMax), viaLibrary("%ld %lu %lld %llu", -7L, 7UL, llMin, ullMax)},
        {viaLogger(buffer, "%d %d", std::numeric_limits<int>::min(), std::numeric_limits<int>::max()),
         viaLibrary("%d %d", std::numeric_limits<int>::min(), std::numeric_limits<int>::max())},
        {viaLogger(buffer, "%zu %zd", static_cast<std::size_t>(123456789), static_cast<ssize_t>(-5)),
         viaLibrary("%zu %zd", static_cast<std::size_t>(123456789), static_cast<ssize_t>(-5))},
        // Left to the C library, after the fast path has already consumed arguments.
        {viaLogger(buffer, "%s %08x %p", "a", 0xbeefu, static_cast<void*>(&buffer)),
         viaLibrary("%s %08x %p", "a", 0xbeefu, static_cast<void*>(&buffer))},
        {viaLogger(buffer, "%d then %5d and %-3s|", 1, 2, "r"), viaLibrary("%d then %5d and %-3s|", 1, 2, "r")},
        {viaLogger(buffer, "%.2f %.3s", 2.5, "abcdef"), viaLibrary("%.2f %.3s", 2.5, "abcdef")},
        {viaLogger(buffer, "%s and %s", "first", null), viaLibrary("%s and %s", "first", null)},
        {viaLogger(buffer, "%hd %hhu", 70000, 300), viaLibrary("%hd %hhu", 70000, 300)},
        {viaLogger(buffer, "%s", longText.c_str()), longText},
        {viaLogger(buffer, "%lc", static_cast<wint_t>('w')), viaLibrary("%lc", static_cast<wint_t>('w'))},
        {viaLogger(buffer, "short"), "short"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.logged, c.expected);
}

TEST(MessageFormat, ANullFormatIsReportedAsUnformattable) {
    std::string buffer;
    const auto format = [&](const char* f, ...) {
        va_list args;
        va_start(args, f);
        formatMessage(buffer, f, args);
        va_end(args);
    };
    format(nullptr);
    EXPECT_EQ(buffer, "(message could not be formatted)\n");
}

} // namespace
} // namespace qx::logformat
