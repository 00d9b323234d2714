// property/ValueFormat.cpp -- the checked, locale-free printf of property values. One walk over the format
// serves both checking and formatting: each conversion is parsed, judged against the argument it will
// consume, and only then formatted, so there is no path on which an unjudged conversion reaches snprintf.
// Integer, pointer and character conversions go to snprintf one at a time, with a conversion rebuilt
// from the parsed fields (those conversions do not depend on the locale once the grouping flag is gone);
// floating-point conversions never do, because the process locale would pick their decimal point.
// Not here: which format a property uses when (CPropertyText.cpp), the text of one slot (ValueText.cpp).
#include "property/ValueFormat.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "frame/Eqx.h"

namespace qx {

namespace {

// Widths and precisions above this are refused: they only serve to make huge texts, and the pieces of one
// conversion must fit the fixed buffers below.
constexpr int maxWidthOrPrecision = 1024;

enum class ArgKind { Int32, Int64, Double, Pointer, Text, None };
enum class Length { None, hh, h, l, ll, j, z, t, L, q };

struct Conversion {
    bool minus = false, plus = false, space = false, hash = false, zero = false;
    int width = -1;
    int precision = -1;
    Length length = Length::None;
    char conv = 0;
    std::string_view written; // as it stands in the format, for messages
};

ArgKind kindOfValueType(std::uint32_t valueType) {
    switch (valueType) {
    case QX_VT_INT32: return ArgKind::Int32;
    case QX_VT_DOUBLE: return ArgKind::Double;
    case QX_VT_POINTER: return ArgKind::Pointer;
    case QX_VT_STRING: return ArgKind::Text;
    case QX_VT_INT64: return ArgKind::Int64;
    default: return ArgKind::None;
    }
}

const char* kindText(ArgKind kind) {
    switch (kind) {
    case ArgKind::Int32: return "a 32 bit integer value";
    case ArgKind::Int64: return "a 64 bit integer value";
    case ArgKind::Double: return "a 64 bit floating point value";
    case ArgKind::Pointer: return "a pointer value";
    case ArgKind::Text: return "a string value";
    case ArgKind::None: break;
    }
    return "a value of unknown type";
}

// The arguments one use passes, in order.
struct Arguments {
    std::array<ArgKind, 2> kinds{};
    int count = 0;
    std::string description;
};

Arguments argumentsOf(std::uint32_t valueType, FormatUse use) {
    const ArgKind valueKind = kindOfValueType(valueType);
    switch (use) {
    case FormatUse::Value: return {{valueKind, ArgKind::None}, 1, kindText(valueKind)};
    case FormatUse::Name: return {{ArgKind::Text, ArgKind::None}, 1, "a dictionary name"};
    case FormatUse::NameAndValue:
        return {{ArgKind::Text, valueKind}, 2, std::string("a dictionary name and ") + kindText(valueKind)};
    }
    return {};
}

[[noreturn]] void reject(std::string_view format, const Arguments& args, const std::string& reason) {
    std::string message = "Format string '";
    message.append(format);
    message += "' cannot be applied to ";
    message += args.description;
    message += ": ";
    message += reason;
    throw EInvalidInputParameter(std::move(message));
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a run of decimal digits at pos; -2 when it exceeds maxWidthOrPrecision.
int readNumber(std::string_view format, std::size_t& pos) {
    int n = 0;
    while (pos < format.size() && isDigit(format[pos])) {
        n = n * 10 + (format[pos++] - '0');
        if (n > maxWidthOrPrecision) {
            while (pos < format.size() && isDigit(format[pos])) ++pos;
            return -2;
        }
    }
    return n;
}

// Parses the conversion whose '%' is at pos (not "%%") and leaves pos after it. Forms that are never
// accepted, whatever the argument, are refused here.
Conversion parseConversion(std::string_view format, std::size_t& pos, const Arguments& args) {
    const std::size_t start = pos++;
    Conversion c;
    // Built by appending: GCC 12 at -O3 misreports "'" + std::string&& as an overlapping copy (-Wrestrict).
    auto quote = [&] {
        std::string q(1, '\'');
        q.append(format.substr(start, pos - start));
        q += '\'';
        return q;
    };
    for (bool more = true; more && pos < format.size();) {
        switch (format[pos]) {
        case '-': c.minus = true; break;
        case '+': c.plus = true; break;
        case ' ': c.space = true; break;
        case '#': c.hash = true; break;
        case '0': c.zero = true; break;
        case '\'': break; // digit grouping: none in the "C" conventions
        default: more = false; continue;
        }
        ++pos;
    }
    if (pos < format.size() && isDigit(format[pos])) {
        c.width = readNumber(format, pos);
        if (pos < format.size() && format[pos] == '$') {
            ++pos;
            reject(format, args, "positional arguments (" + quote() + ") are not accepted");
        }
        if (c.width == -2) reject(format, args, "widths above 1024 are not accepted");
    }
    if (pos < format.size() && format[pos] == '*') {
        ++pos;
        reject(format, args, "widths taken from an argument (" + quote() + ") are not accepted");
    }
    if (pos < format.size() && format[pos] == '.') {
        ++pos;
        if (pos < format.size() && format[pos] == '*') {
            ++pos;
            reject(format, args, "precisions taken from an argument (" + quote() + ") are not accepted");
        }
        c.precision = readNumber(format, pos);
        if (c.precision == -2) reject(format, args, "precisions above 1024 are not accepted");
    }
    if (pos < format.size()) {
        const char l = format[pos];
        const char next = pos + 1 < format.size() ? format[pos + 1] : '\0';
        if (l == 'h' && next == 'h') { c.length = Length::hh; pos += 2; }
        else if (l == 'l' && next == 'l') { c.length = Length::ll; pos += 2; }
        else if (l == 'h') { c.length = Length::h; ++pos; }
        else if (l == 'l') { c.length = Length::l; ++pos; }
        else if (l == 'j') { c.length = Length::j; ++pos; }
        else if (l == 'z') { c.length = Length::z; ++pos; }
        else if (l == 't') { c.length = Length::t; ++pos; }
        else if (l == 'L') { c.length = Length::L; ++pos; }
        else if (l == 'q') { c.length = Length::q; ++pos; }
    }
    if (pos >= format.size()) reject(format, args, "the conversion " + quote() + " is incomplete");
    c.conv = format[pos++];
    c.written = format.substr(start, pos - start);
    if (c.conv == 'n') reject(format, args, "'%n' is not accepted");
    return c;
}

bool oneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

// Why c cannot consume an argument of kind, or null when it can.
const char* misfit(const Conversion& c, ArgKind kind) {
    const bool integer = oneOf(c.conv, "diouxX");
    const bool floating = oneOf(c.conv, "fFeEgGaA");
    bool fits = false;
    switch (kind) {
    case ArgKind::Int32:
        fits = (integer && (c.length == Length::None || c.length == Length::hh || c.length == Length::h)) ||
               (c.conv == 'c' && c.length == Length::None);
        break;
    case ArgKind::Int64:
        fits = integer && (c.length == Length::l || c.length == Length::ll || c.length == Length::j ||
                           c.length == Length::q);
        break;
    case ArgKind::Double: fits = floating && (c.length == Length::None || c.length == Length::l); break;
    case ArgKind::Pointer:
        fits = (c.conv == 'p' && c.length == Length::None) ||
               (integer && (c.length == Length::l || c.length == Length::ll || c.length == Length::j));
        break;
    case ArgKind::Text: fits = c.conv == 's' && c.length == Length::None; break;
    case ArgKind::None: break;
    }
    if (!fits) return "does not fit";
    // What C leaves undefined even for a fitting argument.
    if (c.hash && !oneOf(c.conv, "oxXaAeEfFgG")) return "cannot take the '#' flag";
    if (c.zero && !(integer || floating)) return "cannot take the '0' flag";
    if (c.precision >= 0 && (c.conv == 'c' || c.conv == 'p')) return "cannot take a precision";
    return nullptr;
}

// ---- floating point in the "C" conventions ----------------------------------------------------------------

constexpr std::size_t bodySize = 1600; // 309 integer digits + '.' + 1024 decimals, with room to spare

std::size_t toChars(char* body, double a, std::chars_format fmt, int precision) {
    const auto r = precision < 0 ? std::to_chars(body, body + bodySize, a, fmt)
                                 : std::to_chars(body, body + bodySize, a, fmt, precision);
    return r.ec == std::errc() ? static_cast<std::size_t>(r.ptr - body) : 0;
}

// Inserts '.' after the first digit when the body has no decimal point (the '#' forms).
void ensurePoint(char* body, std::size_t& n, bool afterFirstDigit) {
    if (std::memchr(body, '.', n) != nullptr) return;
    if (!afterFirstDigit) {
        body[n++] = '.';
        return;
    }
    std::memmove(body + 2, body + 1, n - 1);
    body[1] = '.';
    ++n;
}

void appendDouble(std::string& out, double v, const Conversion& c) {
    char body[bodySize + 4];
    std::size_t n = 0;
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c.conv)));
    const bool finite = std::isfinite(v);
    const double a = std::fabs(v);
    const char* prefix = "";
    if (!finite) {
        n = 3;
        std::memcpy(body, std::isnan(v) ? "nan" : "inf", 3);
    } else if (lower == 'f') {
        n = toChars(body, a, std::chars_format::fixed, c.precision < 0 ? 6 : c.precision);
        if (c.hash) ensurePoint(body, n, false);
    } else if (lower == 'e') {
        const int p = c.precision < 0 ? 6 : c.precision;
        n = toChars(body, a, std::chars_format::scientific, p);
        if (c.hash) ensurePoint(body, n, true);
    } else if (lower == 'g') {
        // C's rule: with P significant digits, the %e exponent X picks the style.
        const int p = c.precision < 0 ? 6 : (c.precision == 0 ? 1 : c.precision);
        n = toChars(body, a, std::chars_format::scientific, p - 1);
        const char* e = static_cast<const char*>(std::memchr(body, 'e', n));
        int x = 0;
        if (e != nullptr) {
            const char* digits = e + 1 < body + n && e[1] == '+' ? e + 2 : e + 1;
            std::from_chars(digits, body + n, x);
        }
        bool scientific = true;
        if (p > x && x >= -4) {
            n = toChars(body, a, std::chars_format::fixed, p - 1 - x);
            scientific = false;
        }
        if (c.hash) {
            ensurePoint(body, n, scientific);
        } else {
            // Trailing zeros of the fraction go, and the point with them when nothing is left after it.
            char* exp = scientific ? static_cast<char*>(std::memchr(body, 'e', n)) : nullptr;
            const std::size_t mantissaEnd = exp ? static_cast<std::size_t>(exp - body) : n;
            if (std::memchr(body, '.', mantissaEnd) != nullptr) {
                std::size_t cut = mantissaEnd;
                while (body[cut - 1] == '0') --cut;
                if (body[cut - 1] == '.') --cut;
                std::memmove(body + cut, body + mantissaEnd, n - mantissaEnd);
                n -= mantissaEnd - cut;
            }
        }
    } else { // 'a'
        prefix = "0x";
        n = toChars(body, a, std::chars_format::hex, c.precision);
        if (c.hash) ensurePoint(body, n, true);
    }
    if (std::isupper(static_cast<unsigned char>(c.conv))) {
        for (std::size_t i = 0; i < n; ++i) body[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(body[i])));
        if (*prefix) prefix = "0X";
    }
    const char* sign = std::signbit(v) ? "-" : (c.plus ? "+" : (c.space ? " " : ""));
    const std::size_t lead = std::strlen(sign) + std::strlen(prefix);
    const std::size_t width = c.width > 0 ? static_cast<std::size_t>(c.width) : 0;
    const std::size_t pad = width > lead + n ? width - lead - n : 0;
    if (pad > 0 && !c.minus && !(c.zero && finite)) out.append(pad, ' ');
    out += sign;
    out += prefix;
    if (pad > 0 && !c.minus && c.zero && finite) out.append(pad, '0');
    out.append(body, n);
    if (pad > 0 && c.minus) out.append(pad, ' ');
}

// ---- the other conversions ------------------------------------------------------------------------------

void appendText(std::string& out, const char* text, const Conversion& c) {
    const char* s = text ? text : "";
    const std::size_t len = c.precision >= 0 ? strnlen(s, static_cast<std::size_t>(c.precision)) : std::strlen(s);
    const std::size_t width = c.width > 0 ? static_cast<std::size_t>(c.width) : 0;
    const std::size_t pad = width > len ? width - len : 0;
    if (!c.minus) out.append(pad, ' ');
    out.append(s, len);
    if (c.minus) out.append(pad, ' ');
}

// Rebuilds the conversion of c with the given length modifier (grouping flag dropped) and formats one
// argument with it. Only reached for conversions that misfit() accepted for that argument.
template <class T>
void appendViaPrintf(std::string& out, const Conversion& c, const char* length, T arg) {
    char directive[32];
    std::size_t k = 0;
    directive[k++] = '%';
    if (c.minus) directive[k++] = '-';
    if (c.plus) directive[k++] = '+';
    if (c.space) directive[k++] = ' ';
    if (c.hash) directive[k++] = '#';
    if (c.zero) directive[k++] = '0';
    if (c.width >= 0) k += static_cast<std::size_t>(std::snprintf(directive + k, sizeof directive - k, "%d", c.width));
    if (c.precision >= 0) k += static_cast<std::size_t>(std::snprintf(directive + k, sizeof directive - k, ".%d", c.precision));
    for (const char* l = length; *l; ++l) directive[k++] = *l;
    directive[k++] = c.conv;
    directive[k] = '\0';
    char text[2 * maxWidthOrPrecision + 64];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(text, sizeof text, directive, arg);
#pragma GCC diagnostic pop
    if (n > 0) out.append(text, std::min(static_cast<std::size_t>(n), sizeof text - 1));
}

const char* lengthText(Length l) {
    switch (l) {
    case Length::hh: return "hh";
    case Length::h: return "h";
    default: return "";
    }
}

// Formats one accepted conversion with its argument.
void appendConversion(std::string& out, const Conversion& c, ArgKind kind, const char* name, const qxValue& value) {
    switch (kind) {
    case ArgKind::Int32: appendViaPrintf(out, c, lengthText(c.length), static_cast<int>(value.i32)); break;
    case ArgKind::Int64: appendViaPrintf(out, c, "ll", static_cast<long long>(value.i64)); break;
    case ArgKind::Double: appendDouble(out, value.dbl, c); break;
    case ArgKind::Pointer:
        if (c.conv == 'p') {
            // Sixteen upper-case hex digits, null included: the same text on every C library (glibc's own
            // "%p" would print "0x..." or "(nil)", doubling the prefix of the default "0x%p").
            char digits[17];
            std::snprintf(digits, sizeof digits, "%016llX", static_cast<unsigned long long>(value.bits));
            appendText(out, digits, c);
        } else {
            appendViaPrintf(out, c, "ll", static_cast<unsigned long long>(value.bits));
        }
        break;
    case ArgKind::Text: appendText(out, name ? name : value.str, c); break;
    case ArgKind::None: break;
    }
}

// The one walk: with out null it only checks.
void walk(std::string* out, std::string_view format, std::uint32_t valueType, FormatUse use, const char* name,
          const qxValue& value) {
    const Arguments args = argumentsOf(valueType, use);
    int consumed = 0;
    std::size_t pos = 0;
    while (pos < format.size()) {
        const std::size_t percent = format.find('%', pos);
        const std::size_t literalEnd = percent == std::string_view::npos ? format.size() : percent;
        if (out) out->append(format.substr(pos, literalEnd - pos));
        pos = literalEnd;
        if (pos >= format.size()) break;
        if (pos + 1 < format.size() && format[pos + 1] == '%') {
            if (out) *out += '%';
            pos += 2;
            continue;
        }
        const Conversion c = parseConversion(format, pos, args);
        if (consumed >= args.count) {
            reject(format, args, "it has more conversions than the " + std::to_string(args.count) +
                                     (args.count == 1 ? " argument" : " arguments") + " passed");
        }
        const ArgKind kind = args.kinds[static_cast<std::size_t>(consumed)];
        if (const char* why = misfit(c, kind)) {
            reject(format, args, "the conversion '" + std::string(c.written) + "' " + why + " " + kindText(kind));
        }
        if (out) {
            // The name, when passed, is always the first argument and the value the last.
            const bool isName = use != FormatUse::Value && consumed == 0;
            appendConversion(*out, c, kind, isName ? (name ? name : "") : nullptr, value);
        }
        ++consumed;
    }
}

} // namespace

void checkFormat(std::string_view format, std::uint32_t valueType, FormatUse use) {
    walk(nullptr, format, valueType, use, nullptr, qxValue{});
}

void appendFormatted(std::string& out, std::string_view format, std::uint32_t valueType, FormatUse use,
                     const char* name, const qxValue& value) {
    // The default formats skip the walk: they are the common case of every text read.
    if (use == FormatUse::Value) {
        if (valueType == QX_VT_INT32 && format == "%d") {
            char text[16];
            const auto r = std::to_chars(text, text + sizeof text, value.i32);
            out.append(text, r.ptr);
            return;
        }
        if (valueType == QX_VT_INT64 && format == "%lld") {
            char text[24];
            const auto r = std::to_chars(text, text + sizeof text, value.i64);
            out.append(text, r.ptr);
            return;
        }
        if (valueType == QX_VT_STRING && format == "%s") {
            out += value.str ? value.str : "";
            return;
        }
    } else if (use == FormatUse::Name && format == "%s") {
        out += name ? name : "";
        return;
    }
    walk(&out, format, valueType, use, name, value);
}

std::string doubleText(double value) {
    std::string out;
    Conversion c;
    c.conv = 'f';
    appendDouble(out, value, c);
    return out;
}

} // namespace qx
