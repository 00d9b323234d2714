// tools/qxprop/ValueCommands.cpp -- the value family of qxprop commands: write values (as texts, which the
// library parses or translates through the dictionary, or as typed numbers), read them back as text, check
// values without storing them, set limits through the special indices, keep the translation dictionary,
// and show a property whole. A refused write prints the library's code, name and text; every text printed
// is formatted by the library.
#include <algorithm>
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

HOBJ parseHandle(const std::string& text) { return parseUInt32(text, "handle"); }

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

// Typed numbers: "int32", "int64" or "double" followed by the numbers.
ValBuffer numbers(const std::string& type, Args words, std::vector<qxValue>& slots) {
    std::uint32_t valType = 0;
    if (type == "int32") valType = QX_VT_INT32;
    else if (type == "int64") valType = QX_VT_INT64;
    else if (type == "double") valType = QX_VT_DOUBLE;
    else throw UsageError("type: int32, int64 or double");
    for (const std::string& w : words) {
        qxValue v{};
        char* end = nullptr;
        if (valType == QX_VT_DOUBLE) v.dbl = std::strtod(w.c_str(), &end);
        else v.i64 = std::strtoll(w.c_str(), &end, 0);
        if (end == w.c_str() || *end != '\0') throw UsageError("not a number: " + w);
        if (valType == QX_VT_INT32) {
            const std::int64_t wide = v.i64;
            v.bits = 0;
            v.i32 = static_cast<std::int32_t>(wide);
        }
        slots.push_back(v);
    }
    return ValBuffer{valType, slots.size(), slots.data()};
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

bool arrayText(Session& s, HOBJ h, int start, int end, const char* delimiter, int mode, std::string& text) {
    size_t size = 0;
    if (!s.check(qxPropGetValArrayAsStringEx(h, nullptr, delimiter, nullptr, &size, start, end, mode))) return false;
    std::vector<char> buffer(size);
    if (!s.check(qxPropGetValArrayAsStringEx(h, nullptr, delimiter, buffer.data(), &size, start, end, mode)))
        return false;
    text = buffer.data();
    return true;
}

bool set(Session& s, Args a, int force) {
    TextBuffer texts(a.subspan(2));
    return s.check(qxPropSetVal(parseHandle(a[0]), &texts.buffer, parseIndex(a[1]), QX_SETVAL_VALUES, nullptr, 0, force));
}

bool setNumbers(Session& s, Args a) {
    std::vector<qxValue> slots;
    const ValBuffer buffer = numbers(a[2], a.subspan(3), slots);
    return s.check(qxPropSetVal(parseHandle(a[0]), &buffer, parseIndex(a[1]), QX_SETVAL_VALUES, nullptr, 0, 0));
}

bool get(Session& s, Args a) {
    const HOBJ h = parseHandle(a[0]);
    std::string text;
    const bool ok = a.size() > 1 ? valueText(s, h, parseIndex(a[1]), a.size() > 2 ? a[2].c_str() : nullptr, text)
                                 : arrayText(s, h, 0, 0x7FFFFFFF, ", ", 0, text);
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
    CallParam type{};
    if (!s.check(qxCompGetParam(h, QX_PAR_TYPE, nullptr, 0, &type, 1))) return false;
    qxValue v{};
    const std::string& word = a[2];
    if (type.value.bits == QX_CT_PROP_STRING) {
        v.str = const_cast<char*>(word.c_str());
    } else {
        char* end = nullptr;
        if (type.value.bits == QX_CT_PROP_DOUBLE) v.dbl = std::strtod(word.c_str(), &end);
        else v.i64 = std::strtoll(word.c_str(), &end, 0);
        if (end == word.c_str() || *end != '\0') throw UsageError("not a number: " + word);
    }
    return s.check(qxPropRegisterTranslationEntry(h, a[1].c_str(), v.i64, 0));
}

bool undict(Session& s, Args a) {
    const HOBJ h = parseHandle(a[0]);
    return s.check(a.size() > 1 ? qxPropRemoveTranslationEntry(h, a[1].c_str(), 0) : qxPropRemoveTranslationTable(h, 0));
}

bool show(Session& s, Args a) {
    const HOBJ h = parseHandle(a[0]);
    CallParam name{}, type{};
    if (!s.check(qxCompGetParam(h, QX_PAR_NAME, nullptr, 0, &name, 1)) ||
        !s.check(qxCompGetParam(h, QX_PAR_TYPE, nullptr, 0, &type, 1)))
        return false;
    s.out() << name.value.str << '\n';
    static const char* const kSpecial[] = {"maximum", "minimum", "step", "default", "binary size max"};
    for (int index = -1; index >= -5; --index) {
        CallParam in{}, has{};
        in.type = QX_PT_INT32;
        in.value.i32 = index;
        if (!s.check(qxCompGetParam(h, QX_PAR_HAS_SPECIAL_VALUE, &in, 1, &has, 1))) return false;
        std::string text;
        if (has.value.bits == 1 && !valueText(s, h, index, nullptr, text)) return false;
        if (has.value.bits == 1) s.out() << "  " << kSpecial[-index - 1] << ": " << text << '\n';
    }
    std::vector<qxValue> names(256), values(256);
    ValBuffer n{QX_VT_STRING, 0, names.data()}, v{static_cast<std::uint32_t>(type.value.bits & 0xFFFF), 0, values.data()};
    CallParam size{};
    if (!s.check(qxCompGetParam(h, QX_PAR_DICTIONARY_SIZE, nullptr, 0, &size, 1))) return false;
    if (size.value.bits > 0) {
        n.count = v.count = std::min<std::uint64_t>(size.value.bits, names.size());
        if (n.count != size.value.bits) throw UsageError("the dictionary has more entries than show prints");
        if (!s.check(qxPropGetTranslationTable(h, &n, &v))) return false;
        s.out() << "  dictionary:";
        for (std::uint64_t i = 0; i < n.count; ++i) s.out() << ' ' << names[i].str;
        s.out() << '\n';
    }
    std::string text;
    if (!arrayText(s, h, 0, 0x7FFFFFFF, ", ", 0, text)) return false;
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
    t.add({"set", "<prop> <index> <text...>",
           "write values from texts (numbers, or dictionary names); index < 0 writes a limit: -1 max, -2 min, "
           "-3 step, -4 default, -5 binary size max",
           3, kAnyCount, [](Session& s, Args a) { return set(s, a, 0); }});
    t.add({"force-set", "<prop> <index> <text...>", "set with full rights (also where the property is read-only)", 3,
           kAnyCount, [](Session& s, Args a) { return set(s, a, 1); }});
    t.add({"setnum", "<prop> <index> <int32|int64|double> <number...>", "write values as typed numbers", 4, kAnyCount,
           setNumbers});
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
