// platform/SharedFile.cpp -- owns the Linux stand-in for shared log files: plain descriptors opened
// close-on-exec, flock() for the writers' presence, and the refusal to rename or delete a held file.
//
// Why flock and not a count kept elsewhere: the kernel drops a flock when the process holding it dies, so a
// writer killed with SIGKILL never looks alive to the others. flock locks belong to the open file description,
// so a second descriptor of the same process counts as another holder, which is what "another writer" means.
#include "platform/SharedFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "platform/Errno.h"

namespace qx::platform {

namespace {
int retryFlock(int fd, int operation) {
    int rc;
    do rc = ::flock(fd, operation);
    while (rc != 0 && isInterrupted(errno));
    return rc;
}
} // namespace

std::unique_ptr<SharedFile> SharedFile::open(const std::string& path, Mode mode, int* error) {
    int flags = O_CLOEXEC;
    switch (mode) {
    case Mode::Read: flags |= O_RDONLY; break;
    // Writers always append: another process may be writing the same file, and a write at this descriptor's own
    // offset would overwrite what it added since.
    case Mode::Write: flags |= O_WRONLY | O_CREAT | O_TRUNC | O_APPEND; break;
    case Mode::Append: flags |= O_WRONLY | O_CREAT | O_APPEND; break;
    }
    int fd;
    do fd = ::open(path.c_str(), flags, 0644);
    while (fd < 0 && isInterrupted(errno));
    if (fd < 0) {
        if (error) *error = errno;
        return nullptr;
    }
    const bool writer = mode != Mode::Read;
    if (writer && retryFlock(fd, LOCK_SH) != 0) {
        if (error) *error = errno;
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<SharedFile>(new SharedFile(fd, writer));
}

SharedFile::~SharedFile() { ::close(fd_); }  // closing drops the flock too

// pwrite() on an O_APPEND descriptor appends on Linux whatever the offset (pwrite(2), BUGS), exactly as write()
// does, but leaves the descriptor's own offset alone: write() has to lock that offset on every call once the
// process has a second thread (the logger's watcher is one). The multi-process log tests hold it to that.
bool SharedFile::write(std::string_view data) noexcept {
    while (!data.empty()) {
        const ssize_t n = ::pwrite(fd_, data.data(), data.size(), 0);
        if (n < 0) {
            if (isInterrupted(errno)) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool SharedFile::readAll(std::string& out, std::size_t chunkSize) {
    std::string chunk(chunkSize, '\0');
    for (;;) {
        const ssize_t n = ::read(fd_, chunk.data(), chunk.size());
        if (n < 0) {
            if (isInterrupted(errno)) continue;
            return false;
        }
        if (n == 0) return true;
        out.append(chunk.data(), static_cast<std::size_t>(n));
    }
}

// An upgrade to an exclusive lock succeeds only when no other description holds one. Linux drops the shared
// lock before trying the exclusive one, so whatever the outcome the shared lock is taken again.
bool SharedFile::soleWriter() noexcept {
    if (!writer_) return false;
    const bool alone = retryFlock(fd_, LOCK_EX | LOCK_NB) == 0;
    retryFlock(fd_, LOCK_SH);
    return alone;
}

bool fileExists(const std::string& path) noexcept {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool fileReadable(const std::string& path) noexcept {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool isDirectory(const std::string& path) noexcept {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {
// Runs change on path while holding an exclusive flock on it, so no writer can be in the middle of it; a
// held file gives EBUSY. A path that cannot be opened goes straight to change, which reports its own error.
template <class Change>
int whileUnheld(const std::string& path, Change change) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return change() == 0 ? 0 : errno;
    int result;
    if (retryFlock(fd, LOCK_EX | LOCK_NB) != 0) result = errno == EWOULDBLOCK ? EBUSY : errno;
    else result = change() == 0 ? 0 : errno;
    ::close(fd);
    return result;
}
} // namespace

int removeFile(const std::string& path) noexcept {
    return whileUnheld(path, [&] { return ::unlink(path.c_str()); });
}

int renameFile(const std::string& from, const std::string& to) noexcept {
    return whileUnheld(from, [&] { return ::rename(from.c_str(), to.c_str()); });
}

std::string errorText(int error) {
    char buffer[256];
    return ::strerror_r(error, buffer, sizeof buffer);
}

} // namespace qx::platform
