// log/LogFolders.h -- where the logger's files live: the data directory and its Logs folder. Apart from the
// logger so the shell can find the same folders with the same rules.
#pragma once

#include <string>

namespace qx::logfolders {

// QXTELVAR_DATA_DIR when set and not empty, else the user's data folder + "/Orsolan/Telvar"; empty when
// neither is known.
std::string dataDirectory();
// dataDirectory() + "/Logs", or empty.
std::string logDirectory();

} // namespace qx::logfolders
