// tools/qxprop/SettingCommands.cpp -- the settings family of qxprop commands: export, import and update lists
// as settings in files and the RAM store, query and delete stored settings, open a setting file for editing
// and save it back, and compare two settings component by component. Storage flags are given by name
// (--ram, --file, --registry, --dicts, --doc, ...); without a location word a setting is a file. Registry
// settings go to the user hive unless --machine is given.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Command.h"
#include "Tokenizer.h"
#include "qxPropHandling.h"

namespace qx::shell {

namespace {

constexpr unsigned kEverything = QX_SF_PROCESS_TRANSLATION_DICTS | QX_SF_PROCESS_CONSTANTS_DICTS |
                                 QX_SF_PROCESS_DOC_STRINGS | QX_SF_PROCESS_DISPLAY_NAMES | QX_SF_INCLUDE_READ_ONLY;

struct FlagWord {
    const char* word;
    unsigned bits;
};
constexpr FlagWord kFlagWords[] = {
    {"--file", QX_SF_FILE},
    {"--ram", QX_SF_RAM},
    {"--registry", QX_SF_REGISTRY},
    {"--raw", QX_SF_REGISTRY | QX_SF_REGISTRY_RAW_PATH},
    {"--volatile", QX_SF_VOLATILE},
    {"--by-entries", QX_SF_UPDATE_BY_LIST_ENTRIES},
    {"--dicts", QX_SF_PROCESS_TRANSLATION_DICTS},
    {"--constants", QX_SF_PROCESS_CONSTANTS_DICTS},
    {"--doc", QX_SF_PROCESS_DOC_STRINGS},
    {"--display-names", QX_SF_PROCESS_DISPLAY_NAMES},
    {"--create-missing", QX_SF_CREATE_MISSING},
    {"--read-only", QX_SF_INCLUDE_READ_ONLY},
    {"--skip-values", QX_SF_SKIP_VALUES},
    {"--skip-invisible", QX_SF_SKIP_INVISIBLE},
    {"--derive", QX_SF_DERIVE_FROM_PARENT},
    {"--omit-layout", QX_SF_OMIT_LAYOUT},
    {"--omit-default", QX_SF_OMIT_DEFAULT_MARKER},
    {"--extended", QX_SF_EXTENDED_XML},
    {"--all", kEverything},
};

// The words of a command split into plain arguments and storage flags.
struct Parsed {
    std::vector<std::string> words;
    unsigned flags = 0;
    unsigned scope = 1; // the user hive; --machine: 0
};

Parsed parse(Args a) {
    Parsed p;
    for (const std::string& word : a) {
        if (word == "--machine") {
            p.scope = 0;
        } else if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
            bool known = false;
            for (const FlagWord& f : kFlagWords)
                if (word == f.word) {
                    p.flags |= f.bits;
                    known = true;
                }
            if (!known) throw UsageError("unknown storage flag " + word + " (try --file, --ram, --registry, --dicts, --doc, --all)");
        } else {
            p.words.push_back(word);
        }
    }
    return p;
}

void needWords(const Parsed& p, std::size_t min, std::size_t max, const char* usage) {
    if (p.words.size() < min || p.words.size() > max) throw UsageError(std::string("usage: ") + usage);
}

// The location of delete, exists and descriptor: one location word, a file when none is given.
unsigned location(unsigned flags) {
    const unsigned where = flags & (QX_SF_FILE | QX_SF_RAM | QX_SF_REGISTRY | QX_SF_REGISTRY_RAW_PATH);
    return where == 0 ? unsigned(QX_SF_FILE) : where;
}

// Files opened for editing: list handle -> (file name, flags it was read with).
std::map<HOBJ, std::pair<std::string, unsigned>>& openFiles() {
    static std::map<HOBJ, std::pair<std::string, unsigned>> files;
    return files;
}

std::string nameOf(HOBJ h) {
    CallParam out{};
    if (qxCompGetParam(h, QX_PAR_NAME, nullptr, 0, &out, 1) != 0 || out.value.str == nullptr) return {};
    return out.value.str;
}

bool importAs(Session& s, const std::string& name, unsigned flags, HOBJ& list, unsigned scope = 1) {
    if (!s.check(qxPropListImport(&list, name.c_str(), flags, scope))) return false;
    rememberList(nameOf(list), list);
    return true;
}

bool exportCmd(Session& s, Args a) {
    const Parsed p = parse(a);
    needWords(p, 2, 2, "export <list> <setting> [flags]");
    return s.check(qxPropListExport(parseHandle(p.words[0]), p.words[1].c_str(), p.flags, p.scope));
}

bool importCmd(Session& s, Args a) {
    const Parsed p = parse(a);
    needWords(p, 1, 2, "import <setting> [parent list] [flags]");
    HOBJ h = 0;
    if (p.words.size() == 2) {
        h = QX_INDEX_APPEND;
        if (!s.check(qxPropListImportEx(parseHandle(p.words[1]), &h, p.words[0].c_str(), p.flags, p.scope))) return false;
    } else if (!importAs(s, p.words[0], p.flags, h, p.scope)) {
        return false;
    }
    s.out() << handleAndPath(h) << '\n';
    return true;
}

bool updateCmd(Session& s, Args a) {
    const Parsed p = parse(a);
    needWords(p, 2, 2, "update <list> <setting> [flags]");
    return s.check(qxPropListUpdate(parseHandle(p.words[0]), p.words[1].c_str(), p.flags, p.scope));
}

bool deleteCmd(Session& s, Args a) {
    const Parsed p = parse(a);
    needWords(p, 1, 1, "delete-setting <setting> [--file|--ram|--registry [--machine]]");
    return s.check(qxDeleteSetting(p.words[0].c_str(), location(p.flags), p.scope));
}

bool existsCmd(Session& s, Args a) {
    const Parsed p = parse(a);
    needWords(p, 1, 1, "exists <setting> [--file|--ram|--registry [--machine]]");
    const int result = qxDoesSettingExist(p.words[0].c_str(), location(p.flags), p.scope);
    if (result == PROPHANDLING_LIST_CANT_ACCESS_DATA) {
        s.out() << "no\n";
        return true;
    }
    if (!s.check(result)) return false;
    s.out() << "yes\n";
    return true;
}

bool descriptorCmd(Session& s, Args a) {
    const Parsed p = parse(a);
    needWords(p, 1, 1, "descriptor <setting> [--file|--ram|--registry|--raw [--machine]]");
    size_t size = 0;
    if (!s.check(qxSettingGetContentDescriptor(p.words[0].c_str(), location(p.flags), p.scope, nullptr, &size))) return false;
    std::string text(size, '\0');
    if (!s.check(qxSettingGetContentDescriptor(p.words[0].c_str(), location(p.flags), p.scope, text.data(), &size))) return false;
    text.resize(size - 1);
    s.out() << text << '\n';
    return true;
}

// describe: the content descriptor a setting of the list carries, and which an update checks.
bool describeCmd(Session& s, Args a) {
    CallParam in{};
    in.type = QX_PT_STRING;
    in.value.str = const_cast<char*>(a[1].c_str());
    return s.check(qxCompSetParam(parseHandle(a[0]), QX_PAR_CONTENT_DESCRIPTOR, &in, 1, 1));
}

// open: the setting file becomes a list of the session; save writes it back with the same flags.
bool openCmd(Session& s, Args a) {
    const Parsed p = parse(a);
    needWords(p, 1, 1, "open <file> [flags]");
    // Without flags a file is opened with everything it may hold, so save writes all of it back.
    const unsigned content = (p.flags & ~unsigned(QX_SF_RAM | QX_SF_FILE)) != 0 ? p.flags : kEverything;
    const unsigned flags = (content & ~unsigned(QX_SF_RAM)) | QX_SF_FILE;
    HOBJ h = 0;
    if (!importAs(s, p.words[0], flags, h)) return false;
    openFiles()[h] = {p.words[0], flags & ~unsigned(QX_SF_CREATE_MISSING)};
    s.out() << handleAndPath(h) << " opened from " << p.words[0] << '\n';
    return true;
}

bool saveCmd(Session& s, Args a) {
    const Parsed p = parse(a);
    needWords(p, 0, 2, "save [list] [file] [flags]");
    auto& files = openFiles();
    HOBJ h = 0;
    if (!p.words.empty()) {
        h = parseHandle(p.words[0]);
    } else if (files.size() == 1) {
        h = files.begin()->first;
    } else {
        throw UsageError(files.empty() ? "save: no setting file is open; name a list and a file"
                                       : "save: several files are open; name the list");
    }
    const auto it = files.find(h);
    std::string file = p.words.size() > 1 ? p.words[1] : it != files.end() ? it->second.first : std::string();
    if (file.empty()) throw UsageError("save: this list was not opened from a file; name one");
    const unsigned flags = (p.flags != 0 ? p.flags : it != files.end() ? it->second.second : 0u) | QX_SF_FILE;
    if (!s.check(qxPropListExport(h, file.c_str(), flags & ~unsigned(QX_SF_RAM), 0))) return false;
    s.out() << "saved " << file << '\n';
    return true;
}

// ---- diff -------------------------------------------------------------------------------------------

std::string valuesText(HOBJ h) {
    size_t size = 0;
    if (qxPropGetValArrayAsStringEx(h, nullptr, " | ", nullptr, &size, 0, 0x7FFFFFFF, 0) != 0) return "<unreadable>";
    std::string text(size, '\0');
    if (qxPropGetValArrayAsStringEx(h, nullptr, " | ", text.data(), &size, 0, 0x7FFFFFFF, 0) != 0) return "<unreadable>";
    text.resize(size - 1);
    return text;
}

std::uint64_t param(HOBJ h, int id) {
    CallParam out{};
    return qxCompGetParam(h, id, nullptr, 0, &out, 1) == 0 ? out.value.bits : 0;
}

// name -> entry handle of every component of a list.
std::map<std::string, HOBJ> members(HOBJ list) {
    std::map<std::string, HOBJ> found;
    for (HOBJ e = static_cast<HOBJ>(param(list, QX_PAR_FIRST_COMPONENT)); (e & 0xFFFF) != 0xFFFF;
         e = static_cast<HOBJ>(param(e, QX_PAR_NEXT_COMPONENT)))
        found.emplace(nameOf(e), e);
    return found;
}

int compareLists(Session& s, HOBJ a, HOBJ b, const std::string& path) {
    int differences = 0;
    const auto inA = members(a), inB = members(b);
    for (const auto& [name, ea] : inA) {
        const std::string here = path + "/" + name;
        const auto itB = inB.find(name);
        if (itB == inB.end()) {
            s.out() << "- " << here << '\n';
            ++differences;
            continue;
        }
        const HOBJ eb = itB->second;
        const auto typeA = param(ea, QX_PAR_TYPE), typeB = param(eb, QX_PAR_TYPE);
        if (typeA != typeB) {
            s.out() << "~ " << here << ": type " << typeA << " | " << typeB << '\n';
            ++differences;
        } else if ((typeA & QX_CT_LIST) != 0) {
            differences += compareLists(s, static_cast<HOBJ>(param(ea, QX_PAR_LIST_HANDLE)),
                                        static_cast<HOBJ>(param(eb, QX_PAR_LIST_HANDLE)), here);
        } else if ((typeA & QX_CT_PROPERTY) != 0) {
            const std::string va = valuesText(ea), vb = valuesText(eb);
            if (va != vb) {
                s.out() << "~ " << here << ": " << va << "  ->  " << vb << '\n';
                ++differences;
            }
        }
    }
    for (const auto& [name, eb] : inB)
        if (!inA.contains(name)) {
            s.out() << "+ " << path << "/" << name << '\n';
            ++differences;
        }
    return differences;
}

bool diffCmd(Session& s, Args a) {
    const Parsed p = parse(a);
    needWords(p, 2, 2, "diff <setting A> <setting B> [--file|--ram]");
    // Dictionaries always: a value stored as a dictionary name means nothing without them.
    const unsigned flags = (p.flags & ~unsigned(QX_SF_CREATE_MISSING)) | QX_SF_INCLUDE_READ_ONLY |
                           QX_SF_PROCESS_TRANSLATION_DICTS | QX_SF_PROCESS_CONSTANTS_DICTS | ((p.flags & (QX_SF_FILE | QX_SF_RAM)) == 0 ? unsigned(QX_SF_FILE) : 0u);
    HOBJ la = 0, lb = 0;
    if (!s.check(qxPropListImport(&la, p.words[0].c_str(), flags, p.scope))) return false;
    if (!s.check(qxPropListImport(&lb, p.words[1].c_str(), flags, p.scope))) {
        qxPropListDelete(la);
        return false;
    }
    const int differences = compareLists(s, la, lb, "");
    s.out() << (differences == 0 ? std::string("same") : std::to_string(differences) + " difference(s)") << '\n';
    qxPropListDelete(la);
    qxPropListDelete(lb);
    return true;
}

void install(CommandTable& t) {
    t.add({"export", "<list> <setting> [flags]", "write a list as a setting (a file unless --ram or --registry)", 2,
           kAnyCount, exportCmd});
    t.add({"import", "<setting> [parent list] [flags]", "build a new list from a setting; prints its handle and path", 1,
           kAnyCount, importCmd});
    t.add({"update", "<list> <setting> [flags]", "write a setting's values into an existing list", 2, kAnyCount,
           updateCmd});
    t.add({"delete-setting", "<setting> [--file|--ram|--registry]", "remove a stored setting (a file name as given)", 1, kAnyCount,
           deleteCmd});
    t.add({"exists", "<setting> [--file|--ram|--registry]", "whether a setting is stored: yes or no", 1, kAnyCount, existsCmd});
    t.add({"descriptor", "<setting> [--file|--ram|--registry|--raw]", "the content descriptor of a stored setting", 1, kAnyCount,
           descriptorCmd});
    t.add({"describe", "<list> <descriptor>", "set the content descriptor of a list (an update checks it)", 2, 2,
           describeCmd});
    t.add({"open", "<file> [flags]", "open a setting file as a list of this session (save writes it back)", 1, kAnyCount,
           openCmd});
    t.add({"save", "[list] [file] [flags]", "write an opened list back to its file (safely replaced)", 0, kAnyCount,
           saveCmd});
    t.add({"diff", "<setting A> <setting B> [--file|--ram]", "compare two settings component by component", 2,
           kAnyCount, diffCmd});
}

const FamilyRegistration registration("settings", &install);

} // namespace

} // namespace qx::shell
