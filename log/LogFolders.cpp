// log/LogFolders.cpp -- the data directory and the log directory. An empty answer means "none": callers must
// not turn it into a folder at the root of the file system by appending to it.
#include "log/LogFolders.h"

#include "platform/Environment.h"

namespace qx::logfolders {

std::string dataDirectory() {
    if (auto value = platform::environmentValue("QXTELVAR_DATA_DIR"); value && !value->empty()) return *value;
    const std::string folder = platform::userDataFolder();
    if (folder.empty()) return {};
    return folder + "/Orsolan/Telvar";
}

std::string logDirectory() {
    std::string directory = dataDirectory();
    if (directory.empty()) return {};
    return directory + "/Logs";
}

} // namespace qx::logfolders
