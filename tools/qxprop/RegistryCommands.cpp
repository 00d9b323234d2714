// tools/qxprop/RegistryCommands.cpp -- the registry family of qxprop commands: look at and edit the
// emulated registry the library keeps its registry settings in, as one would with a registry editor: list
// the subkeys and values below a path, read a value, set a value of each type, delete a value or a tree,
// and expand environment strings. Unlike the other families this one calls the platform layer directly
// (the C interface has no registry calls); it opens the same hive files the library does.
//
// A path is a hive word (machine or HKLM, user or HKCU) and a key path below it, backslashes between keys.
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Command.h"
#include "Tokenizer.h"
#include "platform/Registry.h"

namespace qx::shell {

namespace {

using platform::Hive;
using platform::KeyAccess;
using platform::RegistryKey;

Hive parseHive(const std::string& word) {
    if (word == "user" || word == "HKCU" || word == "HKEY_CURRENT_USER") return Hive::User;
    if (word == "machine" || word == "HKLM" || word == "HKEY_LOCAL_MACHINE") return Hive::Machine;
    throw UsageError("hive: user (HKCU) or machine (HKLM), not '" + word + "'");
}

// Prints a failure of the platform call and returns false; true for 0.
bool report(Session& s, int error, const std::string& what) {
    if (error == platform::kRegSuccess) return true;
    s.out() << "error " << error << " (" << platform::registryErrorText(error) << "): " << what;
    const std::string detail = platform::registryFailureDetail();
    if (!detail.empty()) s.out() << "; " << detail;
    s.out() << '\n';
    return false;
}

// A value name as messages show it: long ones cut, so a refused name does not flood the output.
std::string valueShown(const std::string& name) {
    if (name.size() <= 64) return " value '" + name + "'";
    return " value '" + name.substr(0, 64) + "...' (" + std::to_string(name.size()) + " bytes)";
}

std::string shown(Hive hive, const std::string& path) {
    const std::string h = hive == Hive::User ? "user" : "machine";
    return path.empty() ? h : h + "\\" + path;
}

bool openKey(Session& s, Hive hive, const std::string& path, KeyAccess access, RegistryKey& key) {
    platform::clearRegistryFailureDetail();
    return report(s, RegistryKey::root(hive).open(path, access, key), shown(hive, path));
}

std::string typeName(std::uint32_t type) {
    switch (type) {
    case platform::kRegNone: return "REG_NONE";
    case platform::kRegSz: return "REG_SZ";
    case platform::kRegExpandSz: return "REG_EXPAND_SZ";
    case platform::kRegBinary: return "REG_BINARY";
    case platform::kRegDword: return "REG_DWORD";
    case platform::kRegMultiSz: return "REG_MULTI_SZ";
    case platform::kRegQword: return "REG_QWORD";
    default: return "REG_TYPE_" + std::to_string(type);
    }
}

std::uint32_t parseType(const std::string& word) {
    const struct {
        const char* name;
        std::uint32_t type;
    } names[] = {{"sz", platform::kRegSz},           {"expand_sz", platform::kRegExpandSz},
                 {"binary", platform::kRegBinary},   {"dword", platform::kRegDword},
                 {"multi_sz", platform::kRegMultiSz}, {"qword", platform::kRegQword}};
    for (const auto& n : names)
        if (word == n.name || word == typeName(n.type)) return n.type;
    throw UsageError("type: sz, expand_sz, binary, dword, qword or multi_sz");
}

std::string hexBytes(const std::vector<std::uint8_t>& data) {
    std::string out;
    char two[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(two, sizeof two, "%02x", data[i]);
        out += (i ? " " : "") + std::string(two);
    }
    return out;
}

// Text up to the first zero: what a reader of a string value gets.
std::string textOf(const std::vector<std::uint8_t>& data) {
    std::string text(data.begin(), data.end());
    return text.substr(0, text.find('\0'));
}

// The data in a form that can be typed back into `reg set`.
std::string dataText(std::uint32_t type, const std::vector<std::uint8_t>& data) {
    char number[64];
    switch (type) {
    case platform::kRegSz:
    case platform::kRegExpandSz: return "\"" + textOf(data) + "\"";
    case platform::kRegDword:
        if (data.size() != 4) break;
        {
            std::uint32_t v;
            std::memcpy(&v, data.data(), 4);
            std::snprintf(number, sizeof number, "%" PRIu32 " (0x%08" PRIx32 ")", v, v);
            return number;
        }
    case platform::kRegQword:
        if (data.size() != 8) break;
        {
            std::uint64_t v;
            std::memcpy(&v, data.data(), 8);
            std::snprintf(number, sizeof number, "%" PRIu64 " (0x%016" PRIx64 ")", v, v);
            return number;
        }
    case platform::kRegMultiSz: {
        std::string out;
        std::size_t start = 0;
        while (start < data.size() && data[start] != 0) {
            std::size_t end = start;
            while (end < data.size() && data[end] != 0) ++end;
            out += (out.empty() ? "\"" : " \"") + std::string(data.begin() + start, data.begin() + end) + "\"";
            start = end + 1;
        }
        return out;
    }
    default: break;
    }
    return "[" + hexBytes(data) + "]";
}

// reg list <hive> [path]: subkeys (ending in a backslash), then values with type and data.
bool list(Session& s, Args a) {
    const Hive hive = parseHive(a[0]);
    const std::string path = a.size() > 1 ? a[1] : "";
    RegistryKey key;
    if (!openKey(s, hive, path, KeyAccess::Read, key)) return false;
    std::string name;
    std::uint32_t i = 0;
    int rc;
    while ((rc = key.enumKey(i++, name)) == platform::kRegSuccess) s.out() << name << "\\\n";
    if (rc != platform::kRegNoMoreItems) return report(s, rc, shown(hive, path));
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    i = 0;
    while ((rc = key.enumValue(i++, name, type, data)) == platform::kRegSuccess)
        s.out() << (name.empty() ? "(default)" : name) << ' ' << typeName(type) << ' ' << dataText(type, data) << '\n';
    return rc == platform::kRegNoMoreItems || report(s, rc, shown(hive, path));
}

// reg get <hive> <path> <value>
bool get(Session& s, Args a) {
    const Hive hive = parseHive(a[0]);
    RegistryKey key;
    if (!openKey(s, hive, a[1], KeyAccess::Read, key)) return false;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (!report(s, key.queryValue(a[2], type, data), shown(hive, a[1]) + valueShown(a[2]))) return false;
    s.out() << typeName(type) << ' ' << dataText(type, data) << '\n';
    return true;
}

std::vector<std::uint8_t> parseBinary(Args words) {
    std::vector<std::uint8_t> out;
    for (const std::string& w : words) {
        if (w.size() % 2) throw UsageError("binary: pairs of hex digits, like 00ff or 00 ff");
        for (std::size_t i = 0; i < w.size(); i += 2) {
            char* end = nullptr;
            const std::string pair = w.substr(i, 2);
            const long byte = std::strtol(pair.c_str(), &end, 16);
            if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(pair[0])))
                throw UsageError("binary: '" + w + "' is not hex");
            out.push_back(static_cast<std::uint8_t>(byte));
        }
    }
    return out;
}

std::uint64_t parseUInt64(const std::string& word) {
    char* end = nullptr;
    errno = 0;
    const bool negative = !word.empty() && word[0] == '-';
    const std::uint64_t v = negative ? static_cast<std::uint64_t>(std::strtoll(word.c_str(), &end, 0))
                                     : std::strtoull(word.c_str(), &end, 0);
    if (word.empty() || *end != '\0' || errno == ERANGE) throw UsageError("qword: a 64-bit number, not '" + word + "'");
    return v;
}

// reg set <hive> <path> <value> <type> [data...]: makes the key when it is missing.
bool set(Session& s, Args a) {
    const Hive hive = parseHive(a[0]);
    const std::uint32_t type = parseType(a[3]);
    const Args data = a.subspan(4);
    std::vector<std::uint8_t> bytes;
    switch (type) {
    case platform::kRegSz:
    case platform::kRegExpandSz:
        if (data.size() != 1) throw UsageError("sz and expand_sz take one text (quote it when it has blanks)");
        bytes.assign(data[0].begin(), data[0].end());
        bytes.push_back(0);
        break;
    case platform::kRegDword: {
        if (data.size() != 1) throw UsageError("dword takes one number");
        const std::uint32_t v = data[0].starts_with('-') ? static_cast<std::uint32_t>(parseInt32(data[0], "dword"))
                                                         : parseUInt32(data[0], "dword");
        bytes.resize(4);
        std::memcpy(bytes.data(), &v, 4);
        break;
    }
    case platform::kRegQword: {
        if (data.size() != 1) throw UsageError("qword takes one number");
        const std::uint64_t v = parseUInt64(data[0]);
        bytes.resize(8);
        std::memcpy(bytes.data(), &v, 8);
        break;
    }
    case platform::kRegMultiSz:
        for (const std::string& w : data) {
            if (w.empty()) throw UsageError("multi_sz: a string may not be empty (it would end the list)");
            bytes.insert(bytes.end(), w.begin(), w.end());
            bytes.push_back(0);
        }
        bytes.push_back(0);
        break;
    default: bytes = parseBinary(data); break;
    }
    platform::clearRegistryFailureDetail();
    // One transaction, so a refused value leaves no key behind that this command made for it.
    platform::RegistryTransaction transaction(hive, platform::RegistryTransaction::Mode::Write);
    if (!report(s, transaction.status(), shown(hive, a[1]))) return false;
    RegistryKey key;
    if (!report(s, RegistryKey::root(hive).create(a[1], KeyAccess::ReadWrite, false, key), shown(hive, a[1])) ||
        !report(s, key.setValue(a[2], type, bytes.data(), static_cast<std::uint32_t>(bytes.size())),
                shown(hive, a[1]) + valueShown(a[2])))
        return false;
    return report(s, transaction.commit(), shown(hive, a[1]));
}

// reg delete <hive> <path> [value]: without a value name the key goes with everything below it.
bool remove(Session& s, Args a) {
    const Hive hive = parseHive(a[0]);
    platform::clearRegistryFailureDetail();
    if (a.size() == 2) return report(s, RegistryKey::root(hive).deleteTree(a[1]), shown(hive, a[1]));
    RegistryKey key;
    if (!openKey(s, hive, a[1], KeyAccess::ReadWrite, key)) return false;
    return report(s, key.deleteValue(a[2]), shown(hive, a[1]) + valueShown(a[2]));
}

bool expand(Session& s, Args a) {
    const auto text = platform::expandEnvironmentStrings(a[0]);
    if (!text) {
        s.out() << "error: the expanded text is longer than 32767 bytes\n";
        return false;
    }
    s.out() << *text << '\n';
    return true;
}

bool where(Session& s, Args) {
    s.out() << "user " << platform::hiveFile(Hive::User) << '\n';
    s.out() << "machine " << platform::hiveFile(Hive::Machine) << '\n';
    return true;
}

bool reg(Session& s, Args a) {
    const std::string& sub = a[0];
    const Args rest = a.subspan(1);
    const auto need = [&](std::size_t least, std::size_t most, const char* usage) {
        if (rest.size() < least || rest.size() > most) throw UsageError(std::string("usage: reg ") + usage);
    };
    if (sub == "list") return need(1, 2, "list <hive> [path]"), list(s, rest);
    if (sub == "get") return need(3, 3, "get <hive> <path> <value>"), get(s, rest);
    if (sub == "set") return need(4, kAnyCount, "set <hive> <path> <value> <type> [data...]"), set(s, rest);
    if (sub == "delete") return need(2, 3, "delete <hive> <path> [value]"), remove(s, rest);
    if (sub == "expand") return need(1, 1, "expand <text>"), expand(s, rest);
    if (sub == "where") return need(0, 0, "where"), where(s, rest);
    throw UsageError("reg what? list, get, set, delete, expand or where");
}

void install(CommandTable& t) {
    t.add({"reg", "list|get|set|delete|expand|where ...",
           "the emulated registry: reg list <hive> [path] | get <hive> <path> <value> | set <hive> <path> <value> "
           "sz|expand_sz|binary|dword|qword|multi_sz [data...] | delete <hive> <path> [value] | expand <text> | "
           "where; <hive> is user (HKCU) or machine (HKLM)",
           1, kAnyCount, reg});
}

const FamilyRegistration registration("registry", &install);

} // namespace

} // namespace qx::shell
