// platform/ObjectName.h -- how the name of a named object becomes the name of its file in the namespace
// directory. Deterministic, so every process finds the same file.
#pragma once

#include <string>
#include <string_view>

namespace qx::platform {

// Letters, digits, '-', '_' and (not leading) '.' stay; every other byte becomes %XX, so '/' and '\\' are
// safe and no name turns into "." or "..", or into the directory's own ".guard". Escaped names longer than
// 160 characters keep their first 120 characters and add '~' and a 64-bit hash of the whole name; '~' never
// appears otherwise, and the full name stored inside the file decides whether a hashed file is ours.
std::string objectFileName(std::string_view name);

} // namespace qx::platform
