// setting/SettingName.h -- how a setting name becomes a file path.
#pragma once

#include <string>

namespace qx {

// The name with '\' read as '/', and ".xml" appended when its last path component holds no dot between
// two non-empty parts. Relative names stay relative: they are opened against the working folder.
std::string settingFilePath(const std::string& name);

// The name exactly as given, with '\' read as '/' (the deletion path adds no extension).
std::string settingPathAsGiven(const std::string& name);

} // namespace qx
