// platform/ModuleVersion.cpp -- reads the version note of a loaded module from memory: find the module whose
// loaded segments contain the address, then walk its PT_NOTE segments for the note VersionNote.cpp writes
// (owner "QXV", type 1, four int32). The qxprop shell compiles this file in to show the version of the
// library it loaded, so it must stay self-contained: libc, libdl and its own header only.
#include "platform/ModuleVersion.h"

#include <cstdint>
#include <cstring>

#include <elf.h>
#include <link.h>

namespace qx::platform {

namespace {

constexpr char kOwner[4] = {'Q', 'X', 'V', '\0'};
constexpr ElfW(Word) kVersionNoteType = 1;

struct Search {
    std::uintptr_t address;
    std::array<int, 4> version;
};

std::size_t alignUp(std::size_t value, std::size_t alignment) { return (value + alignment - 1) / alignment * alignment; }

bool containsAddress(const dl_phdr_info* info, std::uintptr_t address) {
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        const std::uintptr_t start = info->dlpi_addr + ph.p_vaddr;
        if (ph.p_type == PT_LOAD && address >= start && address < start + ph.p_memsz) return true;
    }
    return false;
}

bool readVersionNote(const dl_phdr_info* info, std::array<int, 4>& version) {
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_NOTE) continue;
        // Notes in a segment aligned to 8 pad name and description to 8, all others to 4.
        const std::size_t alignment = ph.p_align == 8 ? 8 : 4;
        const char* note = reinterpret_cast<const char*>(info->dlpi_addr + ph.p_vaddr);
        const char* end = note + ph.p_memsz;
        while (static_cast<std::size_t>(end - note) >= sizeof(ElfW(Nhdr))) {
            ElfW(Nhdr) header;
            std::memcpy(&header, note, sizeof header);
            const std::size_t descOffset = alignUp(sizeof header + header.n_namesz, alignment);
            const std::size_t next = alignUp(descOffset + header.n_descsz, alignment);
            if (next > static_cast<std::size_t>(end - note)) break;
            if (header.n_type == kVersionNoteType && header.n_namesz == sizeof kOwner &&
                std::memcmp(note + sizeof header, kOwner, sizeof kOwner) == 0 &&
                header.n_descsz == sizeof(std::int32_t) * 4) {
                std::int32_t numbers[4];
                std::memcpy(numbers, note + descOffset, sizeof numbers);
                for (int k = 0; k < 4; ++k) version[k] = numbers[k];
                return true;
            }
            note += next;
        }
    }
    return false;
}

int visitModule(dl_phdr_info* info, std::size_t, void* data) {
    auto* search = static_cast<Search*>(data);
    if (!containsAddress(info, search->address)) return 0;
    readVersionNote(info, search->version);
    return 1;  // found the module; stop
}

} // namespace

std::array<int, 4> moduleVersionAt(const void* addressInModule) {
    Search search{reinterpret_cast<std::uintptr_t>(addressInModule), {-1, -1, -1, -1}};
    if (addressInModule) dl_iterate_phdr(visitModule, &search);
    return search.version;
}

} // namespace qx::platform
