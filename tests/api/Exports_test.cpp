// The library exports exactly the functions of the ordinal table, and the ones whose operations are not
// built yet say so with PROPHANDLING_IMPLEMENTATION_MISSING and their own name.
#include <elf.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ApiTestSupport.h"
#include "qxPropHandling.h"

namespace {

std::map<std::string, int> ordinalTable() {
    std::map<std::string, int> table;
    std::ifstream in(QX_ORDINALS_FILE);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name;
        int ordinal = 0;
        fields >> name >> ordinal;
        table[name] = ordinal;
    }
    return table;
}

// Names of the functions and objects that the file's dynamic symbol table defines.
std::set<std::string> definedDynamicSymbols(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (file.size() < sizeof(Elf64_Ehdr)) return names;
    const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(file.data());
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(file.data() + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM) continue;
        const Elf64_Shdr& strtab = sections[sections[i].sh_link];
        const auto* syms = reinterpret_cast<const Elf64_Sym*>(file.data() + sections[i].sh_offset);
        const size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (size_t s = 1; s < count; ++s) {
            const unsigned bind = ELF64_ST_BIND(syms[s].st_info);
            if (syms[s].st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
            names.insert(file.data() + strtab.sh_offset + syms[s].st_name);
        }
    }
    return names;
}

TEST(Exports, TheTableHas59FunctionsInSlots2To351) {
    const auto table = ordinalTable();
    ASSERT_EQ(table.size(), 59u);
    std::set<int> ordinals;
    for (const auto& [name, ordinal] : table) {
        EXPECT_GE(ordinal, 2) << name;
        EXPECT_LE(ordinal, 351) << name;
        EXPECT_TRUE(ordinals.insert(ordinal).second) << "ordinal used twice: " << ordinal;
    }
    EXPECT_EQ(table.at("qxCompGetParam"), 2);
    EXPECT_EQ(table.at("qxPropListImportEx"), 116);
    EXPECT_EQ(table.at("qxPropHandlingLibDone"), 351);
}

TEST(Exports, TheLibraryExportsExactlyTheTable) {
    const auto table = ordinalTable();
    std::set<std::string> expected;
    for (const auto& entry : table) expected.insert(entry.first);
    EXPECT_EQ(definedDynamicSymbols(QX_LIBRARY_FILE), expected);
}

TEST(Exports, TheDefFileComesFromTheSameTable) {
    std::ifstream in(QX_BINARY_DIR "/qxPropHandling.def");
    ASSERT_TRUE(in) << "the build writes qxPropHandling.def";
    std::string line;
    std::map<std::string, int> def;
    while (std::getline(in, line)) {
        const auto at = line.find(" @");
        if (at == std::string::npos) continue;
        std::istringstream name(line.substr(0, at));
        std::string n;
        name >> n;
        def[n] = std::stoi(line.substr(at + 2));
    }
    EXPECT_EQ(def, ordinalTable());
}

} // namespace
