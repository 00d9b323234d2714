// platform/Environment.cpp -- owns environment lookups and the XDG data folder. Why the checks: a relative or
// empty XDG_DATA_HOME is invalid by the convention and would put files below the current directory, and an
// empty HOME would turn "/.local/share" into a folder at the root of the file system.
#include "platform/Environment.h"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace qx::platform {

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::string userDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    std::string home;
    const char* env = std::getenv("HOME");
    if (env != nullptr && env[0] == '/' && env[1] != '\0') {
        home = env;
    } else {
        passwd entry{};
        passwd* found = nullptr;
        char buffer[4096];
        if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
            found->pw_dir != nullptr && found->pw_dir[0] == '/' && found->pw_dir[1] != '\0')
            home = found->pw_dir;
    }
    if (home.empty()) return {};
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    return home + "/.local/share";
}

} // namespace qx::platform
