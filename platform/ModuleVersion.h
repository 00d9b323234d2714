// platform/ModuleVersion.h -- the version numbers built into a loaded module (see VersionNote.cpp), found
// from any address inside it.
#pragma once

#include <array>

namespace qx::platform {

// major, minor, patch, tweak; all -1 when the address lies in no loaded module or the module has no note.
std::array<int, 4> moduleVersionAt(const void* addressInModule);

} // namespace qx::platform
