// platform/Library.cpp -- dlopen/dlclose and the Linux form of the module's file name. The version comes from
// the module's note (ModuleVersion.cpp), found through its dynamic section, which lies inside the module.
#include "platform/Library.h"

#include <climits>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include "platform/ModuleVersion.h"

namespace qx::platform {

namespace {

std::string_view baseName(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void* openModule(const std::string& path) { return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

} // namespace

std::string Library::fileNameFor(std::string_view name, bool appendExtension) {
    if (!appendExtension || name.ends_with(".so")) return std::string(name);
    const std::size_t base = name.size() - baseName(name).size();
    std::string fileName(name.substr(0, base));
    fileName += "lib";
    fileName += name.substr(base);
    fileName += ".so";
    return fileName;
}

std::string ownModulePath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&ownModulePath), &info) != 0 && info.dli_fname &&
        std::string_view(info.dli_fname).find('/') != std::string_view::npos)
        return info.dli_fname;
    // The main program is reported by the name it was started with, which may carry no directory.
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

std::unique_ptr<Library> Library::load(const std::string& fileName) {
    if (fileName.empty()) return nullptr;
    void* handle = openModule(fileName);
    if (!handle && fileName.find('/') == std::string::npos) {
        const std::string own = ownModulePath();
        const std::size_t slash = own.find_last_of('/');
        if (slash != std::string::npos) handle = openModule(own.substr(0, slash + 1) + fileName);
        // "libqxPropHandling.so" names libqxPropHandling.so.0.1.0 when that is where we run.
        const std::string_view ownBase = baseName(own);
        if (!handle && ownBase.starts_with(fileName) &&
            (ownBase.size() == fileName.size() || ownBase[fileName.size()] == '.'))
            handle = openModule(own);
    }
    return handle ? std::unique_ptr<Library>(new Library(handle)) : nullptr;
}

Library::~Library() { ::dlclose(handle_); }

std::array<int, 4> Library::version() const {
    link_map* map = nullptr;
    if (::dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || !map) return {-1, -1, -1, -1};
    return moduleVersionAt(reinterpret_cast<const void*>(map->l_ld));
}

} // namespace qx::platform
