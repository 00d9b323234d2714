// platform/Environment.h -- what the library reads from its environment: variables, and the user's data
// folder for when no data directory is configured. POSIX stays in Environment.cpp.
#pragma once

#include <optional>
#include <string>

namespace qx::platform {

// The variable's value; nullopt when it is not set.
std::optional<std::string> environmentValue(const char* name);
// The user's data folder after the XDG convention: $XDG_DATA_HOME when it is an absolute path, else
// $HOME/.local/share, else the home directory of the user's password entry + "/.local/share". Empty when
// none of these is known: never the file-system root.
std::string userDataFolder();

} // namespace qx::platform
