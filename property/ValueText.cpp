// property/ValueText.cpp -- slot-to-text and text-to-slot conversion of single values. The number readers
// keep their established rules exactly, odd corners included (a minus after an exponent letter starts a new
// number; an Int64 piece counts only its trailing decimal run), because stored settings and callers' texts
// depend on them. They never fail: what cannot be read adds nothing (Int32, Pointer) or reads
// as 0 (Double, Int64), and the limit checks judge the result.
#include "property/ValueText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "property/CProperty.h"
#include "property/CValBuffer.h"
#include "property/ValueFormat.h"

namespace qx {

namespace {

const char* const integerStart = "0123456789abcdefABCDEF-";
const char* const integerContinue = "0123456789abcdefABCDEFx";
const char* const doubleStart = "0123456789-";
const char* const doubleContinue = "0123456789,.e";

bool inSet(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "%i" of sscanf into a 32-bit int: optional '-', "0x" hexadecimal, leading 0 octal, else decimal. The
// number is read as a long (saturating like strtol) and then cut to 32 bits as the int store does.
// False when the piece holds no number at all.
bool scanPercentI(std::string_view piece, std::int32_t& result) {
    std::size_t pos = 0;
    const bool negative = !piece.empty() && piece[0] == '-';
    if (negative) ++pos;
    if (pos >= piece.size() || piece[pos] < '0' || piece[pos] > '9') return false;
    unsigned base = 10;
    if (piece[pos] == '0') {
        base = 8;
        if (pos + 1 < piece.size() && (piece[pos + 1] == 'x' || piece[pos + 1] == 'X')) {
            base = 16;
            pos += 2; // "0x" without digits still reads as 0
        }
    }
    constexpr std::uint64_t limit = std::uint64_t{1} << 63;
    std::uint64_t magnitude = 0;
    bool overflow = false;
    for (; pos < piece.size(); ++pos) {
        const int d = digitValue(piece[pos]);
        if (d < 0 || static_cast<unsigned>(d) >= base) break;
        if (magnitude > (limit - static_cast<unsigned>(d)) / base) overflow = true;
        if (!overflow) magnitude = magnitude * base + static_cast<unsigned>(d);
    }
    std::int64_t wide;
    if (negative) {
        wide = overflow || magnitude >= limit ? std::numeric_limits<std::int64_t>::min()
                                              : -static_cast<std::int64_t>(magnitude);
    } else {
        wide = overflow || magnitude >= limit ? std::numeric_limits<std::int64_t>::max()
                                              : static_cast<std::int64_t>(magnitude);
    }
    result = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)));
    return true;
}

// atof of the piece in the "C" conventions: the longest prefix that reads as a number, 0 when none;
// beyond the range of a double, infinity (too large) or 0 (too small), keeping the sign.
double atofC(std::string_view piece) {
    double value = 0.0;
    const auto r = std::from_chars(piece.data(), piece.data() + piece.size(), value, std::chars_format::general);
    if (r.ec == std::errc()) return value;
    if (r.ec != std::errc::result_out_of_range) return 0.0;
    // The decimal magnitude decides: digits before the point plus the exponent (pieces hold no '-' after
    // their first character, so the exponent is never negative).
    const std::string_view number(piece.data(), static_cast<std::size_t>(r.ptr - piece.data()));
    const bool negative = !number.empty() && number[0] == '-';
    long magnitude = 0;
    bool seenNonZero = false;
    bool afterPoint = false;
    std::size_t i = negative ? 1 : 0;
    for (; i < number.size() && number[i] != 'e'; ++i) {
        if (number[i] == '.') {
            afterPoint = true;
        } else if (!afterPoint) {
            if (number[i] != '0') seenNonZero = true;
            if (seenNonZero) ++magnitude;
        } else if (!seenNonZero) {
            if (number[i] != '0') seenNonZero = true;
            else --magnitude;
        }
    }
    if (i < number.size()) magnitude += std::atol(std::string(number.substr(i + 1)).c_str());
    const double result = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -result : result;
}

// The Int64 reader: "0x" hexadecimal, else an optional '-' and base 16 (hex mode) or 10. The digits run up
// to the first character that is no hexadecimal digit and are weighed from the last one back; in base 10
// the first non-decimal character on that walk ends the number. No overflow check: long runs wrap.
std::int64_t readInt64(std::string_view piece, bool hex) {
    std::size_t pos = 0;
    bool negative = false;
    unsigned base = hex ? 16 : 10;
    if (piece.size() >= 2 && piece[0] == '0' && (piece[1] == 'x' || piece[1] == 'X')) {
        base = 16;
        pos = 2;
    } else if (!piece.empty() && piece[0] == '-') {
        negative = true;
        pos = 1;
    }
    std::size_t end = pos;
    while (end < piece.size() && digitValue(piece[end]) >= 0) ++end;
    std::uint64_t value = 0;
    std::uint64_t weight = 1;
    for (std::size_t i = end; i > pos; --i) {
        const int d = digitValue(piece[i - 1]);
        if (static_cast<unsigned>(d) >= base) break;
        value += static_cast<std::uint64_t>(d) * weight;
        weight *= base;
    }
    if (negative) value = 0 - value;
    return static_cast<std::int64_t>(value);
}

} // namespace

std::string valueText(std::uint32_t valueType, const qxValue& slot, const char* format) {
    const char* use = format && *format ? format : defaultFormatString(valueType);
    std::string out;
    if (*defaultFormatString(valueType) == '\0') return out; // unknown type
    appendFormatted(out, use, valueType, FormatUse::Value, nullptr, slot);
    return out;
}

void parseValues(std::uint32_t valueType, std::string_view text, bool hex, std::vector<qxValue>& out) {
    const bool isDouble = valueType == QX_VT_DOUBLE;
    if (!isDouble && valueType != QX_VT_INT32 && valueType != QX_VT_POINTER && valueType != QX_VT_INT64) return;
    const char* start = isDouble ? doubleStart : integerStart;
    const char* more = isDouble ? doubleContinue : integerContinue;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && !inSet(text[pos], start)) ++pos;
        if (pos >= text.size()) break;
        std::size_t end = pos + 1;
        while (end < text.size() && inSet(text[end], more)) ++end;
        const std::string_view piece = text.substr(pos, end - pos);
        pos = end;
        qxValue slot = zeroSlot();
        if (isDouble) {
            slot.dbl = atofC(piece);
        } else if (valueType == QX_VT_INT64) {
            slot.i64 = readInt64(piece, hex);
        } else {
            std::int32_t v = 0;
            if (!scanPercentI(piece, v)) continue;
            // A pointer read from text is the 32-bit number, zero-extended.
            if (valueType == QX_VT_POINTER) slot.bits = static_cast<std::uint32_t>(v);
            else slot.i32 = v;
        }
        out.push_back(slot);
    }
}

} // namespace qx
