// property/CPropertyText.cpp -- a property's values as text: one value or special value (valueTextAt) and a
// range of them (arrayText), with dictionary names in place of values where a dictionary holds them. Which
// format applies where: the caller's when given, else the property's own for numbers and "%s" (or the
// combination forms "%s " and "%s|") for names. A caller's format is checked against every use the call
// will make before the read callback fires, so a refused format leaves no trace.
// Formatting of one slot and the format rules themselves: ValueFormat.cpp and ValueText.cpp.
#include <algorithm>

#include "frame/Eqx.h"
#include "property/CProperty.h"
#include "property/CValBuffer.h"
#include "property/ValueFormat.h"
#include "property/ValueText.h"

namespace qx {

namespace {

const char* callerFormat(const char* format) { return format != nullptr && *format != '\0' ? format : nullptr; }

std::uint64_t bitsOf(std::uint32_t type, const qxValue& v) {
    return type == QX_VT_INT32 ? static_cast<std::uint32_t>(v.i32) : v.bits;
}

} // namespace

std::string CProperty::specialValueText(const char* format, const qxValue& value) const {
    std::string out;
    if (valueType_ == QX_VT_STRING) {
        // A string property keeps a byte count there, not a text.
        appendFormatted(out, format ? format : "%lld", QX_VT_INT64, FormatUse::Value, nullptr, value);
    } else {
        appendFormatted(out, format ? format : formatString_.c_str(), valueType_, FormatUse::Value, nullptr, value);
    }
    return out;
}

std::string CProperty::valueTextAt(const char* format, int index) {
    const char* fmt = callerFormat(format);
    if (index < 0) {
        const qxValue* special = propertySharedData().limit(index);
        if (special == nullptr) throwOutOfBounds(index, 1);
        return specialValueText(fmt, *special);
    }
    if (static_cast<std::uint64_t>(index) >= valCount_) throwOutOfBounds(index, 1);
    const CPropertySharedData& shared = propertySharedData();
    const bool dictionary = shared.hasDictionary();
    const bool combinations = dictionary && (flags() & QX_CF_ALLOW_VALUE_COMBINATIONS) != 0;
    if (combinations && valueType_ != QX_VT_INT32 && valueType_ != QX_VT_INT64) throw EInvalidValueType(name());
    if (fmt) checkFormat(fmt, valueType_, dictionary ? FormatUse::Name : FormatUse::Value);

    prepareRead(static_cast<std::uint64_t>(index), 1, false);
    if (static_cast<std::uint64_t>(index) >= valCount_) throwOutOfBounds(index, 1); // shortened by the read callback
    const qxValue value = slots_[static_cast<std::size_t>(index)];
    std::string out;
    if (!dictionary) {
        appendFormatted(out, fmt ? fmt : formatString_.c_str(), valueType_, FormatUse::Value, nullptr, value);
        return out;
    }
    const auto& entries = shared.dictionary();
    if (!combinations) {
        const int position = findValue(value);
        if (position >= 0) {
            appendFormatted(out, fmt ? fmt : "%s", valueType_, FormatUse::Name,
                            entries[static_cast<std::size_t>(position)].name.c_str(), value);
        }
        return out;
    }
    const std::uint64_t bits = bitsOf(valueType_, value);
    if (bits == 0) {
        const int position = findValue(value);
        if (position >= 0) out = entries[static_cast<std::size_t>(position)].name;
        return out;
    }
    for (const DictionaryEntry& entry : entries) {
        if ((bitsOf(valueType_, entry.value) & bits) != 0) {
            appendFormatted(out, fmt ? fmt : "%s ", valueType_, FormatUse::Name, entry.name.c_str(), value);
        }
    }
    if (!fmt && !out.empty()) out.pop_back();
    return out;
}

void CProperty::appendNameText(std::string& out, const char* format, const qxValue& value) const {
    const auto& entries = propertySharedData().dictionary();
    if ((flags() & QX_CF_ALLOW_VALUE_COMBINATIONS) == 0) {
        const int position = findValue(value);
        if (position >= 0) {
            appendFormatted(out, format ? format : "%s", valueType_, FormatUse::Name,
                            entries[static_cast<std::size_t>(position)].name.c_str(), value);
        }
        return;
    }
    const std::uint64_t bits = bitsOf(valueType_, value);
    const std::size_t before = out.size();
    for (const DictionaryEntry& entry : entries) {
        if ((bitsOf(valueType_, entry.value) & bits) != 0) {
            appendFormatted(out, format ? format : "%s|", valueType_, FormatUse::NameAndValue, entry.name.c_str(),
                            entry.value);
        }
    }
    // The format in use is never empty here, so the last character of a non-empty text goes.
    if (out.size() > before) out.pop_back();
}

std::string CProperty::arrayText(const char* format, const char* delimiter, int start, int end, int mode) {
    if (start > end) throw EInvalidInputParameter();
    std::int64_t last = end == 0x7FFFFFFF ? static_cast<std::int64_t>(valCount_) - 1 : end;
    if (start < QX_LIM_BINARY_SIZE_MAX || (last >= 0 && static_cast<std::uint64_t>(last) >= valCount_)) {
        throwOutOfBounds(start, static_cast<std::uint64_t>(last - start + 1));
    }
    const char* fmt = callerFormat(format);
    const char* delim = delimiter ? delimiter : " ";
    const CPropertySharedData& shared = propertySharedData();
    const bool names = (mode & QX_AT_RAW_VALUES) == 0 && shared.hasDictionary();
    const bool combinations = names && (flags() & QX_CF_ALLOW_VALUE_COMBINATIONS) != 0;
    if (combinations && valueType_ != QX_VT_INT32 && valueType_ != QX_VT_INT64) throw EInvalidValueType(name());
    if (fmt) {
        if (start < 0) checkFormat(fmt, valueType_ == QX_VT_STRING ? std::uint32_t{QX_VT_INT64} : valueType_, FormatUse::Value);
        if (last >= 0) {
            checkFormat(fmt, valueType_,
                        !names ? FormatUse::Value : (combinations ? FormatUse::NameAndValue : FormatUse::Name));
        }
    }

    std::string out;
    for (std::int64_t k = start; k <= std::min<std::int64_t>(last, -1); ++k) {
        const qxValue* special = shared.limit(static_cast<std::int32_t>(k));
        if (special == nullptr) throwOutOfBounds(start, static_cast<std::uint64_t>(last - start + 1));
        out += specialValueText(fmt, *special);
        out += delim;
    }
    if (last < 0) return out;
    const auto first = static_cast<std::uint64_t>(std::max(start, 0));
    const auto stop = static_cast<std::uint64_t>(last);
    if (first > stop) return out;
    prepareRead(first, stop - first + 1, false);
    if (stop >= valCount_) throwOutOfBounds(start, static_cast<std::uint64_t>(last - start + 1)); // shortened meanwhile
    for (std::uint64_t i = first; i <= stop; ++i) {
        if (i > first) out += delim;
        if (names) {
            appendNameText(out, fmt, slots_[i]);
        } else {
            appendFormatted(out, fmt ? fmt : formatString_.c_str(), valueType_, FormatUse::Value, nullptr, slots_[i]);
        }
    }
    return out;
}

} // namespace qx
