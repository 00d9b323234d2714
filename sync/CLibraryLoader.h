// sync/CLibraryLoader.h -- keeps a shared module loaded for the object's lifetime and reads the version
// numbers built into it (the XML setting writer records the library's own version this way).
#pragma once

#include <array>
#include <memory>
#include <string>

#include "platform/Library.h"

namespace qx {

class CLibraryLoader {
public:
    // With appendExtension, "extlib" loads "libextlib.so"; a name already ending in ".so" is used as given.
    // name null: nothing is loaded.
    CLibraryLoader(const char* name, bool appendExtension);
    ~CLibraryLoader();
    CLibraryLoader(const CLibraryLoader&) = delete;
    CLibraryLoader& operator=(const CLibraryLoader&) = delete;

    bool loaded() const noexcept { return library_ != nullptr; }
    // The file name asked of the loader.
    const std::string& name() const noexcept { return name_; }

    // major, minor, patch, tweak; all -1 when nothing is loaded or the module carries no version. Read once,
    // then remembered.
    const std::array<int, 4>& version();

private:
    std::string name_;
    std::unique_ptr<platform::Library> library_;
    std::array<int, 4> version_{-1, -1, -1, -1};
};

} // namespace qx
