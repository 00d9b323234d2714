// tools/qxprop/Paths.cpp -- handles by path: the lists this session made, imported or opened are known by
// name, and a path of names from one of them (camera/gain) stands wherever a handle is taken. Paths are
// resolved and printed through the C interface only (names, owners and lookups by name).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Command.h"
#include "Tokenizer.h"
#include "qxPropHandling.h"

namespace qx::shell {

namespace {

std::vector<std::pair<std::string, std::uint32_t>>& lists() {
    static std::vector<std::pair<std::string, std::uint32_t>> known;
    return known;
}

bool handleParam(HOBJ h, int id, const char* text, HOBJ& out) {
    CallParam in{};
    in.type = QX_PT_STRING;
    in.value.str = const_cast<char*>(text);
    CallParam result{};
    if (qxCompGetParam(h, id, text ? &in : nullptr, text ? 1 : 0, &result, 1) != 0) return false;
    out = static_cast<HOBJ>(result.value.bits);
    return true;
}

std::string nameOf(HOBJ h) {
    CallParam out{};
    if (qxCompGetParam(h, QX_PAR_NAME, nullptr, 0, &out, 1) != 0 || out.value.str == nullptr) return {};
    return out.value.str;
}

} // namespace

void rememberList(const std::string& name, std::uint32_t list) {
    forgetList(list);
    auto& known = lists();
    std::erase_if(known, [&](const auto& entry) { return entry.first == name; });
    known.emplace_back(name, list);
}

void forgetList(std::uint32_t list) {
    std::erase_if(lists(), [&](const auto& entry) { return entry.second == list; });
}

const std::vector<std::pair<std::string, std::uint32_t>>& knownLists() {
    std::erase_if(lists(), [](const auto& entry) { return qxIsPropListValid(entry.second) == 0; });
    return lists();
}

std::uint32_t parseHandle(std::string_view text) {
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') return parseUInt32(text, "handle");
    const std::size_t slash = text.find('/');
    const std::string first(text.substr(0, slash));
    HOBJ h = 0xFFFFFFFFu;
    for (const auto& [name, list] : knownLists())
        if (name == first) h = list;
    if (h == 0xFFFFFFFFu)
        throw UsageError("handle: '" + std::string(text) + "' is neither a number nor a path from a list of this session");
    std::string_view rest = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
    while (!rest.empty()) {
        const std::size_t next = rest.find('/');
        const std::string name(rest.substr(0, next));
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
        if (name.empty()) continue;
        HOBJ entry = 0, type = 0;
        if (!handleParam(h, QX_PAR_HANDLE_BY_NAME, name.c_str(), entry))
            throw UsageError("handle: no '" + name + "' in '" + std::string(text) + "'");
        h = entry;
        CallParam out{};
        if (qxCompGetParam(h, QX_PAR_TYPE, nullptr, 0, &out, 1) == 0) type = static_cast<HOBJ>(out.value.bits);
        if ((type & QX_CT_LIST) != 0 && !handleParam(h, QX_PAR_LIST_HANDLE, nullptr, h))
            throw UsageError("handle: '" + name + "' cannot be opened as a list");
    }
    return h;
}

std::string pathOf(std::uint32_t h) {
    std::vector<std::string> names; // innermost first
    if ((h & 0xFFFFu) != 0xFFFFu) {
        names.push_back(nameOf(h));
        h |= 0xFFFFu; // the list that holds the entry
    }
    for (int depth = 0; depth < 256; ++depth) {
        HOBJ owner = 0xFFFFFFFFu;
        if (!handleParam(h, QX_PAR_PARENT_LIST, nullptr, owner)) return {};
        names.push_back(nameOf(h));
        if (owner == 0xFFFFFFFFu) {
            bool known = false;
            for (const auto& [name, list] : knownLists()) known = known || (list == h && name == names.back());
            if (!known) return {};
            std::string path;
            for (auto it = names.rbegin(); it != names.rend(); ++it) path += (path.empty() ? "" : "/") + *it;
            return path;
        }
        h = owner | 0xFFFFu;
    }
    return {};
}

std::string handleAndPath(std::uint32_t h) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", h);
    const std::string path = pathOf(h);
    return path.empty() ? std::string(text) : std::string(text) + " " + path;
}

std::vector<std::string> completeLine(const CommandTable& table, std::string_view line) {
    const std::size_t start = line.find_last_of(" \t") == std::string_view::npos ? 0 : line.find_last_of(" \t") + 1;
    const std::string_view word = line.substr(start);
    const bool first = line.substr(0, start).find_first_not_of(" \t!") == std::string_view::npos;
    std::vector<std::string> found;
    if (first) {
        for (const Command& c : table.commands())
            if (c.name.compare(0, word.size(), word) == 0) found.push_back(c.name);
    } else {
        const std::size_t slash = word.rfind('/');
        if (slash == std::string_view::npos) {
            for (const auto& [name, list] : knownLists())
                if (name.compare(0, word.size(), word) == 0) found.push_back(name);
        } else {
            const std::string_view stem = word.substr(slash + 1);
            HOBJ list = 0;
            try {
                list = parseHandle(word.substr(0, slash));
            } catch (const UsageError&) { // not a path of this session: nothing to offer
                return found;
            }
            CallParam out{};
            for (HOBJ e = qxCompGetParam(list, QX_PAR_FIRST_COMPONENT, nullptr, 0, &out, 1) == 0
                              ? static_cast<HOBJ>(out.value.bits)
                              : 0xFFFFFFFFu;
                 (e & 0xFFFFu) != 0xFFFFu;
                 e = qxCompGetParam(e, QX_PAR_NEXT_COMPONENT, nullptr, 0, &out, 1) == 0 ? static_cast<HOBJ>(out.value.bits)
                                                                                        : 0xFFFFFFFFu) {
                const std::string name = nameOf(e);
                if (name.compare(0, stem.size(), stem) == 0) found.push_back(std::string(word.substr(0, slash + 1)) + name);
            }
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace qx::shell
