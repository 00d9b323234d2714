// tools/qxprop/ListCommands.cpp -- the list family of qxprop commands: create, clone, derive and delete
// lists, register properties and lists, find components by name or path, remove and move entries, and
// print a tree with handles, types and flags. Every value printed is the library's answer (handles, names,
// type and flag texts come from qxCompGetParam), so the tree shows what a caller of the interface sees.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Command.h"
#include "Tokenizer.h"
#include "qxPropHandling.h"

namespace qx::shell {

namespace {

std::string hex(HOBJ h) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", h);
    return text;
}


unsigned propertyType(const std::string& word) {
    if (word == "int32") return QX_CT_PROP_INT32;
    if (word == "double") return QX_CT_PROP_DOUBLE;
    if (word == "pointer") return QX_CT_PROP_POINTER;
    if (word == "string") return QX_CT_PROP_STRING;
    if (word == "int64") return QX_CT_PROP_INT64;
    throw UsageError("type: int32, double, pointer, string or int64");
}

// h by reference: the call that fills it is the other argument, and argument order is unspecified.
// Prints the handle with the path of names that leads to it, when the session knows one.
bool printHandle(Session& s, int result, const HOBJ& h) {
    if (!s.check(result)) return false;
    s.out() << handleAndPath(h) << '\n';
    return true;
}

bool create(Session& s, Args a) {
    const std::size_t size = a.size() > 1 ? parseUInt32(a[1], "size") : 0;
    const int flags = a.size() > 2 ? parseInt32(a[2], "flags") : QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS;
    HOBJ h = 0;
    if (!s.check(qxPropListCreate(&h, a[0].c_str(), size, flags))) return false;
    rememberList(a[0], h); // paths may start from it
    s.out() << handleAndPath(h) << '\n';
    return true;
}

bool cloneOrDerive(Session& s, Args a, bool derive) {
    HOBJ h = 0;
    const char* name = a.size() > 1 ? a[1].c_str() : nullptr;
    const HOBJ source = parseHandle(a[0]);
    return printHandle(s, derive ? qxPropListDerive(&h, source, name) : qxPropListClone(&h, source, name), h);
}

bool prop(Session& s, Args a) {
    HOBJ h = a.size() > 3 ? parseEntryIndex(a[3]) : HOBJ{QX_INDEX_APPEND};
    const unsigned flags = a.size() > 4 ? parseUInt32(a[4], "flags") : QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS;
    return printHandle(s, qxPropListRegisterProp(parseHandle(a[0]), a[1].c_str(), propertyType(a[2]), 1, flags, nullptr, &h), h);
}

bool regList(Session& s, Args a) {
    HOBJ h = a.size() > 2 ? parseEntryIndex(a[2]) : HOBJ{QX_INDEX_APPEND};
    return printHandle(s, qxPropListRegisterList(parseHandle(a[0]), parseHandle(a[1]), &h), h);
}

bool find(Session& s, Args a) {
    HOBJ h = 0;
    const unsigned mode = a.size() > 2 ? parseUInt32(a[2], "mode") : 0;
    const unsigned depth = a.size() > 3 ? parseUInt32(a[3], "depth") : 0;
    if (!s.check(qxPropListFindComp(&h, parseHandle(a[0]), a[1].c_str(), mode, depth))) return false;
    s.out() << (h == 0xFFFFFFFFu ? std::string("not found") : handleAndPath(h)) << '\n';
    return true;
}

bool path(Session& s, Args a) {
    CallParam in{};
    in.type = QX_PT_STRING;
    in.value.str = const_cast<char*>(a[1].c_str());
    CallParam out{};
    if (!s.check(qxCompGetParam(parseHandle(a[0]), QX_PAR_HANDLE_BY_PATH, &in, 1, &out, 1))) return false;
    s.out() << handleAndPath(static_cast<HOBJ>(out.value.bits)) << '\n';
    return true;
}

bool move(Session& s, Args a) {
    const unsigned mode = a.size() > 5 ? parseUInt32(a[5], "mode") : 0;
    return s.check(qxPropListMoveEntries(parseHandle(a[0]), parseHandle(a[1]), parseEntryIndex(a[2]), parseEntryIndex(a[3]),
                                         parseEntryIndex(a[4]), mode));
}

// One parameter with no input; false (after printing the library's error) when refused.
bool get(Session& s, HOBJ h, int id, CallParam& out) { return s.check(qxCompGetParam(h, id, nullptr, 0, &out, 1)); }

bool bufferText(Session& s, HOBJ h, int id, const char* separator, std::string& text) {
    char buffer[512];
    CallParam in[2]{};
    in[0].type = QX_PT_UINT32;
    in[0].value.bits = sizeof buffer;
    in[1].type = QX_PT_STRING;
    in[1].value.str = const_cast<char*>(separator);
    CallParam out{};
    out.value.ptr = buffer;
    if (!s.check(qxCompGetParam(h, id, in, separator ? 2 : 1, &out, 1))) return false;
    text = buffer;
    return true;
}

// Prints h and, for a list, its entries one level deeper. h is how the caller reached the component.
bool printNode(Session& s, HOBJ h, int depth) {
    CallParam name{}, type{};
    std::string typeText, flagsText;
    if (!get(s, h, QX_PAR_NAME, name) || !get(s, h, QX_PAR_TYPE, type) ||
        !bufferText(s, h, QX_PAR_TYPE_TEXT, nullptr, typeText) || !bufferText(s, h, QX_PAR_FLAGS_TEXT, "|", flagsText)) {
        return false;
    }
    s.out() << std::string(2 * static_cast<std::size_t>(depth), ' ') << hex(h) << ' ' << name.value.str << " ("
            << typeText << ") [" << flagsText << "]\n";
    if ((type.value.bits & QX_CT_LIST) == 0) return true;
    CallParam self{};
    if (!get(s, h, QX_PAR_LIST_HANDLE, self)) return false;
    const HOBJ list = static_cast<HOBJ>(self.value.bits);
    CallParam next{};
    if (!get(s, list, QX_PAR_FIRST_COMPONENT, next)) return false;
    for (HOBJ entry = static_cast<HOBJ>(next.value.bits); (entry & 0xFFFF) != 0xFFFF;
         entry = static_cast<HOBJ>(next.value.bits)) {
        if (!printNode(s, entry, depth + 1) || !get(s, entry, QX_PAR_NEXT_COMPONENT, next)) return false;
    }
    return true;
}

void install(CommandTable& t) {
    t.add({"create", "<name> [size] [flags]", "create a list that sits in no list; prints its handle", 1, 3, create});
    t.add({"clone", "<list> [name]", "deep copy of a list; prints the copy's handle", 1, 2,
           [](Session& s, Args a) { return cloneOrDerive(s, a, false); }});
    t.add({"derive", "<list> [name]", "derive a list from another; prints its handle", 1, 2,
           [](Session& s, Args a) { return cloneOrDerive(s, a, true); }});
    t.add({"delete", "<list>", "delete a list with what it owns and the lists derived from it", 1, 1,
           [](Session& s, Args a) { return s.check(qxPropListDelete(parseHandle(a[0]))); }});
    t.add({"prop", "<list> <name> <int32|double|pointer|string|int64> [index|append|free] [flags]",
           "register a new property; prints its handle", 3, 5, prop});
    t.add({"reglist", "<parent> <list> [index|append|free]", "register a list in another; prints its entry handle",
           2, 3, regList});
    t.add({"remove", "<handle>", "remove the component of an entry (index 0xffff: the last one)", 1, 1,
           [](Session& s, Args a) { return s.check(qxPropListRemoveComp(parseHandle(a[0]))); }});
    t.add({"find", "<list entry> <name> [mode] [depth]", "find a component by name; prints its handle", 2, 4, find});
    t.add({"path", "<list> <a/b/c>", "the handle of a nested list named by a path", 2, 2, path});
    t.add({"move", "<source entry> <dest entry> <first> <last> <dest index> [mode]",
           "move entries between lists (mode 1: compact the source, 2: fill free entries)", 5, 6, move});
    t.add({"tree", "<handle>", "print a component and, for a list, everything in it: handle, name, type, flags", 1, 1,
           [](Session& s, Args a) { return printNode(s, parseHandle(a[0]), 0); }});
}

const FamilyRegistration registration("lists", &install);

} // namespace

} // namespace qx::shell
