// tools/qxprop/ValueCommands.cpp -- the value family of qxprop commands: write values (as texts, which the
// library parses or translates through the dictionary, or as typed numbers), read them back as text, check
// values without storing them, set limits through the special indices, keep the translation dictionary,
// and show a property whole. A refused write prints the library's code, name and text; every text printed
// is formatted by the library.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Command.h"
#include "Tokenizer.h"
#include "qxPropHandling.h"

namespace qx::shell {

namespace {


// The words as a String buffer; the slots point into the words, which outlive the call.
struct TextBuffer {
    explicit TextBuffer(Args words) {
        for (const std::string& w : words) {
            qxValue v;
            v.str = const_cast<char*>(w.c_str());
            slots.push_back(v);
        }
        buffer = ValBuffer{QX_VT_STRING, slots.size(), slots.data()};
    }
    std::vector<qxValue> slots;
    ValBuffer buffer{};
};

// The words as numbers of valType (Int32, Int64 or Double) into slots; false when a word is not one.
bool numbers(std::uint32_t valType, Args words, std::vector<qxValue>& slots) {
    for (const std::string& w : words) {
        qxValue v{};
        char* end = nullptr;
        if (valType == QX_VT_DOUBLE) {
            v.dbl = std::strtod(w.c_str(), &end);
        } else {
            const long long wide = std::strtoll(w.c_str(), &end, 0);
            if (valType == QX_VT_INT32) v.i32 = static_cast<std::int32_t>(wide);
            else v.i64 = wide;
        }
        if (end == w.c_str() || *end != '\0') return false;
        slots.push_back(v);
    }
    return true;
}

// The value type of a property (the low half of its component type); 0 after printing a refusal.
std::uint32_t valueTypeOf(Session& s, HOBJ h) {
    CallParam type{};
    if (!s.check(qxCompGetParam(h, QX_PAR_TYPE, nullptr, 0, &type, 1))) return 0;
    return static_cast<std::uint32_t>(type.value.bits & 0xFFFF);
}

int parseIndex(const std::string& text) { return parseInt32(text, "index"); }

// The library's text of one value (or special value); false after printing the error when refused.
bool valueText(Session& s, HOBJ h, int index, const char* format, std::string& text) {
    size_t size = 0;
    if (!s.check(qxPropGetValAsStringEx(h, format, nullptr, &size, index))) return false;
    std::vector<char> buffer(size);
    if (!s.check(qxPropGetValAsStringEx(h, format, buffer.data(), &size, index))) return false;
    text = buffer.data();
    return true;
}

bool arrayText(Session& s, HOBJ h, const char* delimiter, std::string& text) {
    size_t size = 0;
    if (!s.check(qxPropGetValArrayAsStringEx(h, nullptr, delimiter, nullptr, &size, 0, 0x7FFFFFFF, 0))) return false;
    std::vector<char> buffer(size);
    if (!s.check(qxPropGetValArrayAsStringEx(h, nullptr, delimiter, buffer.data(), &size, 0, 0x7FFFFFFF, 0)))
        return false;
    text = buffer.data();
    return true;
}

// Numbers go to a numeric property as numbers of its type; anything else goes as texts, which the library
// parses or translates through the dictionary. asText forces the texts.
bool set(Session& s, Args a, int force, bool asText) {
    const HOBJ h = parseHandle(a[0]);
    const std::uint32_t valType = asText ? std::uint32_t{QX_VT_STRING} : valueTypeOf(s, h);
    if (valType == 0) return false;
    std::vector<qxValue> slots;
    if (valType != QX_VT_STRING && valType != QX_VT_POINTER && numbers(valType, a.subspan(2), slots)) {
        const ValBuffer buffer{valType, slots.size(), slots.data()};
        return s.check(qxPropSetVal(h, &buffer, parseIndex(a[1]), QX_SETVAL_VALUES, nullptr, 0, force));
    }
    TextBuffer texts(a.subspan(2));
    return s.check(qxPropSetVal(h, &texts.buffer, parseIndex(a[1]), QX_SETVAL_VALUES, nullptr, 0, force));
}

bool get(Session& s, Args a) {
    const HOBJ h = parseHandle(a[0]);
    std::string text;
    const bool ok = a.size() > 1 ? valueText(s, h, parseIndex(a[1]), a.size() > 2 ? a[2].c_str() : nullptr, text)
                                 : arrayText(s, h, ", ", text);
    if (ok) s.out() << text << '\n';
    return ok;
}

bool validate(Session& s, Args a) {
    TextBuffer texts(a.subspan(1));
    if (!s.check(qxPropValidateVal(parseHandle(a[0]), &texts.buffer))) return false;
    s.out() << "valid\n";
    return true;
}

// The dictionary value is one slot in the property's own type: the text for a string property, the bits
// of the number for a double one, the number itself otherwise.
bool dict(Session& s, Args a) {
    const HOBJ h = parseHandle(a[0]);
    const std::uint32_t valType = valueTypeOf(s, h);
    if (valType == 0) return false;
    std::vector<qxValue> slot;
    if (valType == QX_VT_STRING) {
        qxValue v{};
        v.str = const_cast<char*>(a[2].c_str());
        slot.push_back(v);
    } else if (!numbers(valType == QX_VT_DOUBLE ? std::uint32_t{QX_VT_DOUBLE} : std::uint32_t{QX_VT_INT64}, a.subspan(2), slot)) {
        throw UsageError("not a number: " + a[2]);
    }
    return s.check(qxPropRegisterTranslationEntry(h, a[1].c_str(), slot[0].i64, 0));
}

bool undict(Session& s, Args a) {
    const HOBJ h = parseHandle(a[0]);
    return s.check(a.size() > 1 ? qxPropRemoveTranslationEntry(h, a[1].c_str(), 0) : qxPropRemoveTranslationTable(h, 0));
}

bool show(Session& s, Args a) {
    const HOBJ h = parseHandle(a[0]);
    CallParam name{};
    if (!s.check(qxCompGetParam(h, QX_PAR_NAME, nullptr, 0, &name, 1))) return false;
    const std::uint32_t valType = valueTypeOf(s, h);
    if (valType == 0) return false;
    s.out() << name.value.str << '\n';
    static const char* const kSpecial[] = {"maximum", "minimum", "step", "default", "binary size max"};
    for (int index = -1; index >= -5; --index) {
        CallParam in{}, has{};
        in.type = QX_PT_INT32;
        in.value.i32 = index;
        if (!s.check(qxCompGetParam(h, QX_PAR_HAS_SPECIAL_VALUE, &in, 1, &has, 1))) return false;
        if (has.value.bits != 1) continue;
        std::string text;
        if (!valueText(s, h, index, nullptr, text)) return false;
        s.out() << "  " << kSpecial[-index - 1] << ": " << text << '\n';
    }
    CallParam size{};
    if (!s.check(qxCompGetParam(h, QX_PAR_DICTIONARY_SIZE, nullptr, 0, &size, 1))) return false;
    if (size.value.bits > 0) {
        std::vector<qxValue> names(size.value.bits), values(size.value.bits);
        ValBuffer n{QX_VT_STRING, names.size(), names.data()}, v{valType, values.size(), values.data()};
        if (!s.check(qxPropGetTranslationTable(h, &n, &v))) return false;
        s.out() << "  dictionary:";
        for (const qxValue& entry : names) s.out() << ' ' << entry.str;
        s.out() << '\n';
    }
    std::string text;
    if (!arrayText(s, h, ", ", text)) return false;
    s.out() << "  values: " << text << '\n';
    return true;
}

bool count(Session& s, Args a) {
    CallParam in{};
    in.type = QX_PT_UINT32;
    in.value.bits = parseUInt32(a[1], "count");
    return s.check(qxCompSetParam(parseHandle(a[0]), QX_PAR_VALUE_COUNT, &in, 1, 0));
}

void install(CommandTable& t) {
    t.add({"set", "<prop> <index> <value...>",
           "write values from index on: numbers as numbers, other words as texts or dictionary names; "
           "index < 0 writes a limit: -1 max, -2 min, -3 step, -4 default, -5 binary size max",
           3, kAnyCount, [](Session& s, Args a) { return set(s, a, 0, false); }});
    t.add({"settext", "<prop> <index> <text...>", "write the words as texts, which the library parses", 3, kAnyCount,
           [](Session& s, Args a) { return set(s, a, 0, true); }});
    t.add({"force-set", "<prop> <index> <value...>", "set with full rights (also where the property is read-only)", 3,
           kAnyCount, [](Session& s, Args a) { return set(s, a, 1, false); }});
    t.add({"get", "<prop> [index [format]]", "all values as text, or one value (index < 0: a limit)", 1, 3, get});
    t.add({"validate", "<prop> <text...>", "check values without storing them", 2, kAnyCount, validate});
    t.add({"unset", "<prop> <index>", "remove a value, or a limit (index < 0)", 2, 2,
           [](Session& s, Args a) { return s.check(qxPropRemoveVal(parseHandle(a[0]), parseIndex(a[1]), 0)); }});
    t.add({"dict", "<prop> <name> <value>", "add or rename a dictionary entry", 3, 3, dict});
    t.add({"undict", "<prop> [name]", "remove one dictionary entry, or the whole dictionary", 1, 2, undict});
    t.add({"count", "<prop> <n>", "set the number of values", 2, 2, count});
    t.add({"show", "<prop>", "a property with its limits, dictionary and values", 1, 1, show});
}

const FamilyRegistration registration("values", &install);

} // namespace

} // namespace qx::shell
