// platform/VersionNote.cpp -- builds the library's version into its file as an ELF note (section
// ".note.qx.version", owner "QXV", type 1, four int32: major, minor, patch, tweak), the Linux counterpart of a
// module's version resource. The linker puts it in a PT_NOTE segment, which ModuleVersion.cpp reads from
// memory; `readelf -n` shows it on disk.
#include <cstdint>

namespace qx::platform {

namespace {

struct VersionNote {
    std::uint32_t nameSize;
    std::uint32_t descSize;
    std::uint32_t type;
    char owner[4];
    std::int32_t version[4];
};

[[gnu::used, gnu::section(".note.qx.version")]] alignas(4) const VersionNote kVersionNote = {
    4, 16, 1, {'Q', 'X', 'V', '\0'}, {QX_VERSION_MAJOR, QX_VERSION_MINOR, QX_VERSION_PATCH, QX_VERSION_TWEAK}};

} // namespace

} // namespace qx::platform
