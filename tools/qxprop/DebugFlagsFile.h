// tools/qxprop/DebugFlagsFile.h -- the debug-flags file as a list of DebugWriter elements that the shell can
// change and write back: how `log enable` and friends set up logging for the processes of the session that
// start afterwards (the library reads the file when it initialises).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qx::shell {

class DebugFlagsFile {
public:
    using Attributes = std::map<std::string, std::string>;

    // Reads path; a missing file reads as empty. False with error set when the file is not well-formed (it is
    // then not rewritten, so nothing of it is lost).
    bool load(const std::string& path, std::string& error);
    // The DebugWriter of module (case ignored), made when there is none.
    Attributes& writerFor(const std::string& module);
    // Writes every DebugWriter back (other elements and comments are not kept). False when it cannot be written.
    bool save(const std::string& path) const;

private:
    std::vector<Attributes> writers_;
};

} // namespace qx::shell
