// platform/Library.h -- a loaded shared module, held open for the lifetime of the object. POSIX stays in
// Library.cpp.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace qx::platform {

class Library {
public:
    // The file to ask the loader for: with appendExtension, a name not ending in ".so" (exact, case-sensitive)
    // becomes "lib" + name + ".so", the "lib" going before the last path component ("dir/x" -> "dir/libx.so").
    static std::string fileNameFor(std::string_view name, bool appendExtension);

    // Loads by the loader's search rules; when that fails and the name has no directory, from the directory
    // of the module this code is in; a name that is this module's own ("libqxPropHandling.so" while running
    // from libqxPropHandling.so.0) finds the module itself. Null when nothing loads.
    static std::unique_ptr<Library> load(const std::string& fileName);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // The module's version note; all -1 without one.
    std::array<int, 4> version() const;

private:
    explicit Library(void* handle) noexcept : handle_(handle) {}
    void* handle_;  // the loader's handle, closed by the destructor
};

// The path of the module this code is linked into (the library, or a program that links its objects).
std::string ownModulePath();

} // namespace qx::platform
