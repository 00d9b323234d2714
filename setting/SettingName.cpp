// setting/SettingName.cpp -- the file name rule of settings: a name is cut into pieces at every '/' and
// '\' (empty pieces left out), the last piece at every '.' (again without empty pieces); one piece or
// none there means "no extension" and ".xml" is appended to the whole name. A name with no non-empty
// piece at all is used as it is.
#include "setting/SettingName.h"

#include <algorithm>

namespace qx {

std::string settingPathAsGiven(const std::string& name) {
    std::string path = name;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string settingFilePath(const std::string& name) {
    std::string path = settingPathAsGiven(name);
    // The last non-empty piece between separators.
    std::size_t end = path.size();
    while (end > 0 && path[end - 1] == '/') --end;
    if (end == 0) return path;
    const std::size_t begin = path.find_last_of('/', end - 1) == std::string::npos ? 0 : path.find_last_of('/', end - 1) + 1;
    int parts = 0;
    bool inPart = false;
    for (std::size_t i = begin; i < end; ++i) {
        if (path[i] == '.') {
            inPart = false;
        } else if (!inPart) {
            inPart = true;
            ++parts;
        }
    }
    if (parts <= 1) path += ".xml";
    return path;
}

} // namespace qx
