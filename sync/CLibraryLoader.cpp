// sync/CLibraryLoader.cpp -- the module loader over platform::Library.
#include "sync/CLibraryLoader.h"

namespace qx {

CLibraryLoader::CLibraryLoader(const char* name, bool appendExtension) {
    if (!name) return;
    name_ = platform::Library::fileNameFor(name, appendExtension);
    library_ = platform::Library::load(name_);
}

CLibraryLoader::~CLibraryLoader() = default;

const std::array<int, 4>& CLibraryLoader::version() {
    constexpr std::array<int, 4> unknown{-1, -1, -1, -1};
    if (version_ == unknown && library_) version_ = library_->version();
    return version_;
}

} // namespace qx
