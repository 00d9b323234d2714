// setting/RamStore.h -- the process's store of XML settings kept in memory, by name (case matters).
// It lives from module load to module unload, so it survives the library's last release.
// Guard: the component-access lock; every exported setting function holds it while it uses the store.
#pragma once

#include <map>
#include <string>

namespace qx {

std::map<std::string, std::string, std::less<>>& ramStore();

} // namespace qx
