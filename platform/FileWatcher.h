// platform/FileWatcher.h -- calls back when one file of a folder is replaced, written and closed, or removed:
// how a running process follows a configuration file that other processes edit. A thread of its own waits
// for the system's file-change notices; POSIX stays in FileWatcher.cpp.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace qx::platform {

class FileWatcher {
public:
    // Starts watching folder/name; onChange runs on the watcher's thread, one call for a burst of changes.
    // A folder that does not exist yet is looked for again every second. Null when the system refuses a
    // notification handle or a thread.
    static std::unique_ptr<FileWatcher> start(const std::string& folder, const std::string& name,
                                              std::function<void()> onChange);
    // Stops the thread; onChange is not running once this returns. In a fork()ed child, which has no
    // watcher thread, it only lets go of the inherited handles.
    ~FileWatcher();
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    struct Impl;
    explicit FileWatcher(std::unique_ptr<Impl> impl) noexcept;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace qx::platform
