// setting/RamStore.cpp -- the one RAM store of the process (see the header for its guard and lifetime).
#include "setting/RamStore.h"

namespace qx {

std::map<std::string, std::string, std::less<>>& ramStore() {
    static std::map<std::string, std::string, std::less<>> store;
    return store;
}

} // namespace qx
