// property/CPropertyValidation.cpp -- everything a property judges before the store step: the write hook,
// translation through the dictionary, parsing of texts, snapping to the step width, the minimum and
// maximum, the special-value writes that reshape stored values, and the dictionary's own rules
// (registration with renaming, removal, lookups). Storage itself is CProperty.cpp; texts CPropertyText.cpp.
//
// The common write -- values of the property's own fixed-width type over existing values -- stays off the
// heap: the limits are read in one pass, snapping uses a small scratch array on the stack, and every
// message string is built only on the failure path.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "component/CCallback.h"
#include "frame/Eqx.h"
#include "property/CProperty.h"
#include "property/CValBuffer.h"
#include "property/ValueFormat.h"
#include "property/ValueText.h"

namespace qx {

namespace {

const char* const ownerCheckWhere = "qx::CProperty";

bool isNumeric(std::uint32_t type) { return type == QX_VT_INT32 || type == QX_VT_DOUBLE || type == QX_VT_INT64; }

// The step rule on integers. Wide holds every intermediate sum of two T values, so the range tests of the
// rule never overflow; a result outside T falls back to rounding towards the start, which always fits.
// The truncating remainder a % s of the C operator. For Int32 steps the caller may pass the step's
// reciprocal (LimitView::stepReciprocal), which replaces the division by two multiplications.
template <class T>
T remainder(T a, T s, std::uint64_t reciprocal) {
    if constexpr (sizeof(T) == 4) {
        if (reciprocal != 0) {
            const auto magnitudeOf = [](T v) { return static_cast<std::uint32_t>(v < 0 ? -static_cast<std::int64_t>(v) : v); };
            const std::uint64_t low = reciprocal * magnitudeOf(a);
            const auto r = static_cast<T>((static_cast<unsigned __int128>(low) * magnitudeOf(s)) >> 64);
            return a < 0 ? T(-r) : r;
        }
    }
    return a % s;
}

template <class T, class Wide>
[[gnu::always_inline]] inline T snapInteger(T value, T s, const T* min, const T* max, std::uint64_t reciprocal = 0) {
    if (s == 0 || s == -1) return value; // every integer is on such a step (and -1 would overflow d % s)
    bool relative = false;
    T d = value;
    if (min != nullptr) {
        T diff;
        if (!__builtin_sub_overflow(value, *min, &diff)) {
            relative = true;
            d = diff;
        }
    }
    const T r = remainder(d, s, reciprocal);
    if (r == 0) return value;
    Wide rounded;
    if (r < s / 2) {
        if (min != nullptr && Wide(value) - s < *min) {
            if (value >= *min) return *min;
            rounded = Wide(d) - r + s; // below the minimum: towards it
        } else {
            rounded = Wide(d) - r;
        }
    } else if (max != nullptr && Wide(value) - remainder(value, s, reciprocal) + s > *max) {
        if (*max >= value) return *max;
        rounded = Wide(d) - r;
    } else {
        rounded = Wide(d) - r + s;
    }
    const Wide result = relative ? rounded + *min : rounded;
    if (result > std::numeric_limits<T>::max() || result < std::numeric_limits<T>::min()) return T(value - r);
    return T(result);
}

double snapDouble(double value, double s, const double* min, const double* max) {
    const bool relative = min != nullptr && *min > -1e11 && std::isfinite(value - *min);
    const double d = relative ? value - *min : value;
    const double r = std::fmod(d, s);
    if (r == 0 || std::isnan(r)) return value;
    double rounded;
    if (r < s / 2) {
        if (min != nullptr && value - s < *min) {
            if (value >= *min) return *min;
            rounded = d - r + s;
        } else {
            rounded = d - r;
        }
    } else if (max != nullptr && value + s > *max) {
        if (*max >= value) return *max;
        rounded = d - r;
    } else {
        rounded = d - r + s;
    }
    return relative ? rounded + *min : rounded;
}

qxValue snap(std::uint32_t type, const qxValue& value, const LimitView& limits) {
    if (limits.step == nullptr) return value;
    qxValue out = value;
    switch (type) {
    case QX_VT_INT32:
        out.i32 = snapInteger<std::int32_t, std::int64_t>(value.i32, limits.step->i32,
                                                          limits.minimum ? &limits.minimum->i32 : nullptr,
                                                          limits.maximum ? &limits.maximum->i32 : nullptr,
                                                          limits.stepReciprocal);
        break;
    case QX_VT_INT64:
        out.i64 = snapInteger<std::int64_t, __int128>(value.i64, limits.step->i64,
                                                      limits.minimum ? &limits.minimum->i64 : nullptr,
                                                      limits.maximum ? &limits.maximum->i64 : nullptr);
        break;
    case QX_VT_DOUBLE:
        out.dbl = snapDouble(value.dbl, limits.step->dbl, limits.minimum ? &limits.minimum->dbl : nullptr,
                             limits.maximum ? &limits.maximum->dbl : nullptr);
        break;
    default: break;
    }
    return out;
}

// -1, 0, 1 as value is below, equal to or above bound, compared as type.
// Equality of two numbers of a fixed-width type, as compareSlots finds it (a NaN equals nothing).
inline bool sameNumber(std::uint32_t type, const qxValue& a, const qxValue& b) {
    switch (type) {
    case QX_VT_INT32: return a.i32 == b.i32;
    case QX_VT_DOUBLE: return a.dbl == b.dbl;
    default: return a.i64 == b.i64;
    }
}

[[gnu::always_inline]] inline int order(std::uint32_t type, const qxValue& value, const qxValue& bound) {
    switch (type) {
    case QX_VT_INT32: return value.i32 < bound.i32 ? -1 : (value.i32 > bound.i32 ? 1 : 0);
    case QX_VT_INT64: return value.i64 < bound.i64 ? -1 : (value.i64 > bound.i64 ? 1 : 0);
    case QX_VT_DOUBLE: return value.dbl < bound.dbl ? -1 : (value.dbl > bound.dbl ? 1 : 0);
    default: return 0;
    }
}

[[noreturn]] void throwOutsideLimit(std::uint32_t type, bool tooLarge, std::uint64_t position, const qxValue& value,
                                    const qxValue& bound, const std::string& name) {
    const char* what = tooLarge ? "higher than the max." : "smaller than the min.";
    const auto pos = static_cast<unsigned>(position);
    std::string message;
    if (type == QX_VT_INT32) {
        message = formatText("The assigned value at index %u(%d) is %s value(%d) for property %s", pos, value.i32, what,
                             bound.i32, name.c_str());
    } else if (type == QX_VT_INT64) {
        message = formatText("The assigned value at index %u(%lld) is %s value(%lld) for property %s", pos,
                             static_cast<long long>(value.i64), what, static_cast<long long>(bound.i64), name.c_str());
    } else {
        message = formatText("The assigned value at index %u(%s) is %s value(%s) for property %s", pos,
                             doubleText(value.dbl).c_str(), what, doubleText(bound.dbl).c_str(), name.c_str());
    }
    if (tooLarge) throw EValTooLarge(std::move(message));
    throw EValTooSmall(std::move(message));
}

// The limit checks on buffer's values, each snapped first when snapFirst is set: every value against the
// maximum, then every value against the minimum.
void checkAgainst(std::uint32_t type, const ::ValBuffer& buffer, const LimitView& limits, bool snapFirst,
                  const std::string& name) {
    if (!isNumeric(type)) return;
    auto valueAt = [&](std::uint64_t i) { return snapFirst ? snap(type, buffer.pSlots[i], limits) : buffer.pSlots[i]; };
    if (limits.maximum != nullptr) {
        for (std::uint64_t i = 0; i < buffer.count; ++i) {
            const qxValue v = valueAt(i);
            if (order(type, v, *limits.maximum) > 0) throwOutsideLimit(type, true, i, v, *limits.maximum, name);
        }
    }
    if (limits.minimum != nullptr) {
        for (std::uint64_t i = 0; i < buffer.count; ++i) {
            const qxValue v = valueAt(i);
            if (order(type, v, *limits.minimum) < 0) throwOutsideLimit(type, false, i, v, *limits.minimum, name);
        }
    }
}

// A copy of a buffer's slots for snapping: on the stack up to inlineCount values, on the heap beyond.
class SlotScratch {
public:
    explicit SlotScratch(const ::ValBuffer& source) : view_{source.valType, source.count, inline_.data()} {
        if (source.count > inline_.size()) {
            heap_.reset(new qxValue[source.count]);
            view_.pSlots = heap_.get();
        }
    }
    SlotScratch(const SlotScratch&) = delete;
    SlotScratch& operator=(const SlotScratch&) = delete;
    qxValue& operator[](std::uint64_t i) { return view_.pSlots[i]; }
    const ::ValBuffer& view() const { return view_; }

private:
    std::array<qxValue, 16> inline_;
    std::unique_ptr<qxValue[]> heap_;
    ::ValBuffer view_;
};

bool isSeparator(char c) { return c == ' ' || c == '"' || c == '|'; }

} // namespace

void CProperty::judgeWrite(const ::ValBuffer& buffer) {
    CCallback* callback = this->callback(QX_CB_PROPERTY_WRITE);
    CComponent* method = callerHooks()->validationMethod;
    if (callback == nullptr && method == nullptr) return;
    // The caller's buffer as it came, before translation or parsing: String elements point at its texts.
    std::vector<CallParam> values(buffer.pSlots != nullptr ? buffer.count : 0);
    const std::uint32_t type = paramTypeOf(buffer.valType);
    for (std::size_t k = 0; k < values.size(); ++k) {
        values[k].type = type;
        values[k].value = buffer.pSlots[k];
    }
    const std::string name = this->name(); // the refusal names the property even if the code removed it
    const TreeWatch watch;
    const int result = callback != nullptr ? callback->execute(handle(), values.data(), values.size())
                                           : method->invokeRegistered(handle(), values.data(), values.size());
    watch.check();
    if (result != 0) throw EValidationFailed(name);
}

std::string CProperty::messageText(const qxValue& value) const { return valueText(valueType_, value, nullptr); }

qxValue CProperty::snapToStep(const qxValue& value) const {
    return snap(valueType_, value, propertySharedData().limitView());
}

void CProperty::checkLimits(const ::ValBuffer& buffer) const {
    checkAgainst(valueType_, buffer, propertySharedData().limitView(), false, name());
}

void CProperty::checkBinarySizes(const CallParam* sizes, std::size_t count) const {
    const qxValue* limit = propertySharedData().limit(QX_LIM_BINARY_SIZE_MAX);
    if (limit == nullptr) return;
    for (std::size_t p = 0; p < count; ++p) {
        const std::uint64_t size = sizes[p].value.bits & 0xFFFFFFFFu;
        if (size > limit->bits) {
            throw EValTooLarge(formatText("The value at index %u for property '%s' contains too much data. "
                                          "Allowed: %u bytes, got: %u bytes",
                                          static_cast<unsigned>(p), name().c_str(),
                                          static_cast<unsigned>(limit->bits), static_cast<unsigned>(size)));
        }
    }
}

void CProperty::parseTexts(const ::ValBuffer& texts, std::vector<qxValue>& out) const {
    const bool hex = hexMode();
    for (std::uint64_t i = 0; i < texts.count; ++i) {
        if (texts.pSlots[i].str != nullptr) parseValues(valueType_, texts.pSlots[i].str, hex, out);
    }
}

std::uint64_t CProperty::combinationMask() const {
    const CPropertySharedData& shared = propertySharedData();
    if (const qxValue* max = shared.limit(QX_LIM_MAXIMUM)) {
        return valueType_ == QX_VT_INT32 ? static_cast<std::uint32_t>(max->i32) : max->bits;
    }
    // Without a maximum (removed by a caller) the entries themselves say which bits exist.
    std::uint64_t mask = 0;
    for (const DictionaryEntry& entry : shared.dictionary()) {
        mask |= valueType_ == QX_VT_INT32 ? static_cast<std::uint32_t>(entry.value.i32) : entry.value.bits;
    }
    return mask;
}

bool CProperty::fitsCombinationMask(const qxValue& value) const {
    const std::uint64_t mask = combinationMask();
    const std::uint64_t bits = valueType_ == QX_VT_INT32 ? static_cast<std::uint32_t>(value.i32) : value.bits;
    return (bits | mask) == mask;
}

qxValue CProperty::translateName(const char* text) const {
    const char* t = text ? text : "";
    const auto& entries = propertySharedData().dictionary();
    if ((flags() & QX_CF_ALLOW_VALUE_COMBINATIONS) == 0) {
        const int position = findName(t);
        if (position < 0) throw EInvalidValue(name(), t);
        return entries[static_cast<std::size_t>(position)].value;
    }
    const std::string_view all(t);
    std::uint64_t bits = 0;
    bool anyPiece = false;
    for (std::size_t pos = 0; pos < all.size();) {
        while (pos < all.size() && isSeparator(all[pos])) ++pos;
        std::size_t end = pos;
        while (end < all.size() && !isSeparator(all[end])) ++end;
        if (end == pos) break;
        const std::string_view piece = all.substr(pos, end - pos);
        const int position = findName(piece);
        if (position < 0) throw EInvalidValue(name(), std::string(piece));
        const qxValue& v = entries[static_cast<std::size_t>(position)].value;
        bits |= valueType_ == QX_VT_INT32 ? static_cast<std::uint32_t>(v.i32) : v.bits;
        anyPiece = true;
        pos = end;
    }
    if (!anyPiece) throw EInvalidValue(name(), t);
    qxValue result = zeroSlot();
    if (valueType_ == QX_VT_INT32) result.i32 = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
    else result.bits = bits;
    return result;
}

int CProperty::limitedStore(std::uint32_t rights, const ::ValBuffer& buffer, std::uint64_t index) {
    const LimitView limits = propertySharedData().limitView();
    if (limits.step != nullptr && isNumeric(valueType_)) {
        SlotScratch snapped(buffer);
        for (std::uint64_t i = 0; i < buffer.count; ++i) snapped[i] = snap(valueType_, buffer.pSlots[i], limits);
        checkAgainst(valueType_, snapped.view(), limits, false, name());
        return storeVals(rights, snapped.view(), index);
    }
    if (limits.maximum != nullptr || limits.minimum != nullptr) checkAgainst(valueType_, buffer, limits, false, name());
    return storeVals(rights, buffer, index);
}

int CProperty::writeOneNumber(const ::ValBuffer& buffer, std::uint64_t at) {
    const LimitView& limits = propertySharedData().limitView();
    qxValue v;
    if (valueType_ == QX_VT_INT32 && limits.step != nullptr) {
        // The most common numbers of all, snapped without the type switch of snap(). The two halves of
        // the caller's slot are read apart: callers fill an Int32 slot with a 4-byte store, and reading
        // it back as 8 bytes at once would stall on that store. The upper half is kept as given.
        std::uint32_t halves[2];
        std::memcpy(halves, &buffer.pSlots[0], sizeof halves);
        const std::int32_t snapped = snapInteger<std::int32_t, std::int64_t>(
            static_cast<std::int32_t>(halves[0]), limits.step->i32, limits.minimum ? &limits.minimum->i32 : nullptr,
            limits.maximum ? &limits.maximum->i32 : nullptr, limits.stepReciprocal);
        v.bits = (std::uint64_t{halves[1]} << 32) | static_cast<std::uint32_t>(snapped);
    } else {
        v = snap(valueType_, buffer.pSlots[0], limits);
    }
    if (limits.maximum != nullptr && order(valueType_, v, *limits.maximum) > 0) {
        throwOutsideLimit(valueType_, true, 0, v, *limits.maximum, name());
    }
    if (limits.minimum != nullptr && order(valueType_, v, *limits.minimum) < 0) {
        throwOutsideLimit(valueType_, false, 0, v, *limits.minimum, name());
    }
    qxValue& stored = slots_[static_cast<std::size_t>(at)];
    if (valid_ && (flags() & QX_CF_ALWAYS_FORCE_UPDATE) == 0 && sameNumber(valueType_, stored, v)) return 0;
    stored = v;
    valid_ = true;
    // Properties add the dependents' step to the notification; without dependents nothing else differs.
    const CComponent* list = owner();
    if (list == nullptr || !list->hasDependents()) {
        if (countUnheardChange()) return 1;
    }
    CProperty::raiseChangeNotification(true, false, false, false); // no subclass adds to it
    return 1;
}

int CProperty::writeValsInGeneral(std::uint32_t rights, const ::ValBuffer& buffer, int index) {
    if (buffer.count > 0 && buffer.pSlots == nullptr) throw EInvalidInputParameter();
    if (index < 0) return writeSpecialVal(buffer, index);
    runWriteHook(buffer);
    const auto at = static_cast<std::uint64_t>(index);
    const CPropertySharedData& shared = propertySharedData();
    if (buffer.count == 1 && isOneNumberWrite(buffer, index)) return writeOneNumber(buffer, at);
    if (!shared.hasDictionary()) {
        if (buffer.valType == valueType_) return limitedStore(rights, buffer, at);
        if (buffer.valType == QX_VT_STRING) {
            std::vector<qxValue> parsed;
            parseTexts(buffer, parsed);
            const ::ValBuffer view{valueType_, parsed.size(), parsed.data()};
            return limitedStore(rights, view, at);
        }
        return setValsFromOtherType(rights, buffer, at);
    }
    if (buffer.valType == valueType_) {
        const bool combinations = (flags() & QX_CF_ALLOW_VALUE_COMBINATIONS) != 0;
        for (std::uint64_t i = 0; i < buffer.count; ++i) {
            const qxValue& v = buffer.pSlots[i];
            if (combinations ? !fitsCombinationMask(v) : findValue(v) < 0) throw EInvalidValue(name(), messageText(v));
        }
        return storeVals(rights, buffer, at);
    }
    if (buffer.valType == QX_VT_STRING) {
        std::vector<qxValue> values;
        values.reserve(buffer.count);
        for (std::uint64_t i = 0; i < buffer.count; ++i) values.push_back(translateName(buffer.pSlots[i].str));
        const ::ValBuffer view{valueType_, values.size(), values.data()};
        return storeVals(rights, view, at);
    }
    throw EInvalidValueType(name());
}

bool CProperty::validateVals(const ::ValBuffer& buffer) {
    if (buffer.count > 0 && buffer.pSlots == nullptr) throw EInvalidInputParameter();
    runWriteHook(buffer);
    const CPropertySharedData& shared = propertySharedData();
    if (!shared.hasDictionary()) {
        if (buffer.valType == valueType_) {
            checkAgainst(valueType_, buffer, shared.limitView(), true, name());
            return true;
        }
        if (buffer.valType == QX_VT_STRING) {
            std::vector<qxValue> parsed;
            parseTexts(buffer, parsed);
            const ::ValBuffer view{valueType_, parsed.size(), parsed.data()};
            checkAgainst(valueType_, view, shared.limitView(), true, name());
            return true;
        }
        return validateValsFromOtherType(buffer);
    }
    if (buffer.valType == valueType_) {
        const bool combinations = (flags() & QX_CF_ALLOW_VALUE_COMBINATIONS) != 0;
        for (std::uint64_t i = 0; i < buffer.count; ++i) {
            const qxValue& v = buffer.pSlots[i];
            if (combinations ? !fitsCombinationMask(v) : findValue(v) < 0) return false;
        }
        return true;
    }
    if (buffer.valType == QX_VT_STRING) {
        // Whole names only: a combination text is not split here.
        for (std::uint64_t i = 0; i < buffer.count; ++i) {
            if (findName(buffer.pSlots[i].str ? buffer.pSlots[i].str : "") < 0) return false;
        }
        return true;
    }
    throw EInvalidValueType(name());
}

int CProperty::writeSpecialVal(const ::ValBuffer& buffer, int index) {
    if ((flags() & QX_CF_ALLOW_VALUE_COMBINATIONS) != 0 && (index == QX_LIM_MAXIMUM || index == QX_LIM_MINIMUM)) {
        // The allowed bits of a combination property come from its dictionary only.
        throw ENoWriteRights(quoted("No write rights for component '", name(), "'"));
    }
    const bool numeric = isNumeric(valueType_);
    if (!numeric && index >= QX_LIM_STEP_WIDTH) throw EUnsupportedOperation(name());
    auto throwIfEmpty = [&] {
        if (buffer.count == 0) {
            throw EValIDOutOfBounds(formatText("The source buffer to receive the value at index %d has a size of 0", index));
        }
    };
    std::vector<qxValue> values;
    if (valueType_ == QX_VT_STRING) {
        // A string property keeps one special value, its maximum binary size: a byte count, taken as an
        // integer and never as a text pointer. Other keys are refused before anything reads the buffer.
        if (index != QX_LIM_BINARY_SIZE_MAX) throw EInvalidValueType(name());
        if (buffer.valType != QX_VT_INT32 && buffer.valType != QX_VT_INT64) throw EInvalidValueType(name());
        throwIfEmpty();
        qxValue count = zeroSlot();
        count.bits = buffer.valType == QX_VT_INT32 ? static_cast<std::uint32_t>(buffer.pSlots[0].i32) : buffer.pSlots[0].bits;
        values.push_back(count);
    } else if (buffer.valType == valueType_) {
        values.assign(buffer.pSlots, buffer.pSlots + buffer.count);
    } else if (buffer.valType == QX_VT_STRING) {
        if (!propertySharedData().hasDictionary()) throw EUnsupportedOperation(name());
        for (std::uint64_t i = 0; i < buffer.count; ++i) values.push_back(translateName(buffer.pSlots[i].str));
    } else {
        throw EInvalidValueType(name());
    }
    if (index == QX_LIM_DEFAULT) {
        const ::ValBuffer defaults{valueType_, values.size(), values.data()};
        if (!validateVals(defaults)) throw EInvalidValue(name(), messageText(values.front()));
    }
    throwIfEmpty();
    const bool changed = setLimit(index, values.front());
    if (numeric && (index == QX_LIM_STEP_WIDTH || index == QX_LIM_MINIMUM || index == QX_LIM_MAXIMUM)) {
        // The stored values follow the new limit directly, without a store step of their own.
        const LimitView limits = propertySharedData().limitView();
        qxValue* slots = mutableSlots();
        for (std::uint64_t i = 0; i < valCount_; ++i) {
            if (index == QX_LIM_STEP_WIDTH) slots[i] = snap(valueType_, slots[i], limits);
            else if (index == QX_LIM_MINIMUM && order(valueType_, slots[i], *limits.minimum) < 0) slots[i] = *limits.minimum;
            else if (index == QX_LIM_MAXIMUM && order(valueType_, slots[i], *limits.maximum) > 0) slots[i] = *limits.maximum;
        }
    }
    if (changed) raiseChangeNotification(true, false, true, false);
    return changed ? 1 : 0;
}

bool CProperty::setLimit(int key, const qxValue& value) {
    CPropertySharedData& shared = propertySharedData();
    shared.checkClient(this, ownerCheckWhere);
    const bool allowed = key < 0 && (valueType_ == QX_VT_STRING ? key == QX_LIM_BINARY_SIZE_MAX : isNumeric(valueType_));
    if (!allowed) throw EInvalidValueType(name());
    if (key == QX_LIM_STEP_WIDTH) {
        const bool zero = valueType_ == QX_VT_INT32 ? value.i32 == 0
                          : valueType_ == QX_VT_INT64 ? value.i64 == 0
                                                      : value.dbl == 0.0;
        if (zero) {
            throw EInvalidValue(formatText("Invalid step width (%s) for property %s", messageText(value).c_str(),
                                           name().c_str()));
        }
    }
    return shared.setLimit(key, value, this);
}

bool CProperty::removeLimit(int key) { return propertySharedData().removeLimit(key, this); }

// ---- dictionary ---------------------------------------------------------------------------------------------

int CProperty::findName(std::string_view text) const {
    const auto& entries = propertySharedData().dictionary();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].name == text) return static_cast<int>(i);
    }
    return -1;
}

int CProperty::findValue(const qxValue& slot) const {
    if (valueType_ < QX_VT_INT32 || valueType_ > QX_VT_INT64) throw EInvalidValueType(name());
    const auto& entries = propertySharedData().dictionary();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (compareSlots(valueType_, entries[i].value, slot) == 0) return static_cast<int>(i);
    }
    return -1;
}

void CProperty::registerEntry(const char* entryName, const qxValue& value) {
    if (entryName == nullptr) throw EInvalidInputParameter();
    CPropertySharedData& shared = propertySharedData();
    shared.checkClient(this, ownerCheckWhere);
    const bool combinations = (flags() & QX_CF_ALLOW_VALUE_COMBINATIONS) != 0;
    if (!combinations) {
        // Judged before the dictionary may come into being: a refused first entry leaves none behind.
        const qxValue snapped = snapToStep(value);
        checkLimits(::ValBuffer{valueType_, 1, const_cast<qxValue*>(&snapped)});
    }
    const bool created = shared.createDictionary(this);
    bool changed = false;
    const int byName = findName(entryName);
    if (byName < 0) {
        const int byValue = findValue(value);
        if (byValue < 0) shared.appendEntry(entryName, value, this);
        else shared.replaceEntry(static_cast<std::size_t>(byValue), entryName, value, this);
        changed = true;
    } else if (compareSlots(valueType_, shared.dictionary()[static_cast<std::size_t>(byName)].value, value) != 0) {
        shared.replaceEntry(static_cast<std::size_t>(byName), entryName, value, this);
        changed = true;
    }
    if (combinations) {
        qxValue mask = zeroSlot();
        const qxValue* old = shared.limit(QX_LIM_MAXIMUM);
        if (valueType_ == QX_VT_INT32) mask.i32 = (old ? old->i32 : 0) | value.i32;
        else mask.i64 = (old ? old->i64 : 0) | value.i64;
        shared.setLimit(QX_LIM_MAXIMUM, mask, this);
    }
    if (created) {
        // The first entry is the only value the property can now hold.
        const qxValue first = shared.dictionary().front().value;
        std::vector<qxValue> all(valCount_, first);
        dropBinary(0, valCount_);
        assignVals(::ValBuffer{valueType_, all.size(), all.data()}, 0);
        if (shared.limit(QX_LIM_DEFAULT) != nullptr) shared.setLimit(QX_LIM_DEFAULT, first, this);
    }
    if (changed) raiseChangeNotification(true, false, true, false);
}

void CProperty::removeEntry(const char* entryName) {
    if (entryName == nullptr) throw EInvalidInputParameter();
    const int position = findName(entryName);
    if (position < 0) return;
    propertySharedData().eraseEntry(static_cast<std::size_t>(position), this);
    raiseChangeNotification(true, false, true, false);
}

void CProperty::removeDictionary() {
    if (propertySharedData().removeDictionary(this)) raiseChangeNotification(true, false, true, false);
}

void CProperty::getTranslationTable(::ValBuffer& names, ::ValBuffer& values) const {
    const CPropertySharedData& shared = propertySharedData();
    if (!shared.hasDictionary()) return;
    const auto& entries = shared.dictionary();
    if (names.count != entries.size() || values.count != entries.size()) {
        throw ESizeMismatch(formatText("Size mismatch! string rep size: %d, val rep size: %d, dictionary size: %d",
                                       static_cast<int>(names.count), static_cast<int>(values.count),
                                       static_cast<int>(entries.size())));
    }
    if (!entries.empty() && (names.pSlots == nullptr || values.pSlots == nullptr)) throw EInvalidInputParameter();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        // Read-only for the caller; valid until the dictionary changes.
        names.pSlots[i].str = const_cast<char*>(entries[i].name.c_str());
        values.pSlots[i] = entries[i].value;
    }
}

void CProperty::dictionaryEntry(std::uint64_t position, CallParam& nameOut, CallParam& valueOut) const {
    const CPropertySharedData& shared = propertySharedData();
    if (!shared.hasDictionary()) throw ETranslationTableNotDefined(name());
    if (position >= shared.dictionarySize()) throw EInvalidInputParameter();
    std::uint32_t paramType = 0;
    switch (valueType_) {
    case QX_VT_INT32: paramType = QX_PT_INT32; break;
    case QX_VT_DOUBLE: paramType = QX_PT_DOUBLE; break;
    case QX_VT_INT64: paramType = QX_PT_INT64; break;
    default: throw EInvalidValueType(name());
    }
    const DictionaryEntry& entry = shared.dictionary()[position];
    nameOut.type = QX_PT_STRING;
    nameOut.value = zeroSlot();
    nameOut.value.str = const_cast<char*>(entry.name.c_str());
    valueOut.type = paramType;
    valueOut.value = entry.value;
}

int CProperty::compareValues(const CProperty& other) {
    const ::ValBuffer theirs{other.valueType_, other.valCount_, other.slots_.get()};
    return valCmp(theirs, 0);
}

} // namespace qx
