// platform/SharedFile.h -- a file that several processes read and write at the same time, as the log files
// are. POSIX stays in SharedFile.cpp. Writers hold a shared advisory lock on the file for as long as they have
// it open: that is how "is anyone else writing this file?" gets an honest answer even after a writer was
// killed, and why renameFile/removeFile refuse a file that a writer still holds (EBUSY), as a system with
// mandatory sharing modes would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qx::platform {

class SharedFile {
public:
    // Both writing modes write at the end of the file, wherever other writers have taken it.
    enum class Mode { Read, Write /* create or truncate */, Append /* create */ };

    // Null on failure; error (may be null) then receives the system's error number. Opened close-on-exec.
    static std::unique_ptr<SharedFile> open(const std::string& path, Mode mode, int* error = nullptr);
    ~SharedFile();
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;

    // Writes all of data (one system call when it can): false on failure.
    bool write(std::string_view data) noexcept;
    // Reads from the current position to the end, appending to out, in chunks of chunkSize.
    bool readAll(std::string& out, std::size_t chunkSize = 1024);
    // Whether no other open writer (in this or another process) holds the file. Callers serialise this
    // question with their own lock: the answer is only momentary.
    bool soleWriter() noexcept;

private:
    SharedFile(int fd, bool writer) noexcept : fd_(fd), writer_(writer) {}
    int fd_;
    bool writer_;
};

// Whether a file of this path exists (any kind).
bool fileExists(const std::string& path) noexcept;
// Whether the file can be opened for reading.
bool fileReadable(const std::string& path) noexcept;
// 0 on success, else the error number; EBUSY when a writer still holds the file.
int removeFile(const std::string& path) noexcept;
int renameFile(const std::string& from, const std::string& to) noexcept;
// The system's text for an error number.
std::string errorText(int error);
// Whether the path names an existing directory.
bool isDirectory(const std::string& path) noexcept;

} // namespace qx::platform
