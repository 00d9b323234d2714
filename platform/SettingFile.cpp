// platform/SettingFile.cpp -- POSIX side of setting files.
// Why a temporary file and rename(): other processes (and the shell) read settings by path without any
// lock of ours, and rename over an existing name is the one update they can never see half-done. The data
// is fsync'ed before the rename and the folder after it, so after a crash the name holds a whole document.
#include "platform/SettingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace qx::platform {
namespace {

// Closes a descriptor when the scope ends.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool closeNow() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

bool replaceFile(const std::string& path, std::string_view data) {
    static std::atomic<unsigned> counter{0};
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(::getpid()), counter.fetch_add(1));
    const std::string temp = path + suffix;
    Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0) return false;
    const bool written = writeAll(fd.get(), data) && ::fsync(fd.get()) == 0;
    if (!fd.closeNow() || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    Fd folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get()); // the rename is done; a folder that cannot sync is no failure
    return true;
}

bool readFileInto(const std::string& path, const std::function<char*(std::size_t)>& alloc, std::size_t& read) {
    read = 0;
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    char* dest = alloc(size);
    if (dest == nullptr) return false;
    while (read < size) {
        const ssize_t n = ::read(fd.get(), dest + read, size - read);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break; // the file shrank while we read it
        read += static_cast<std::size_t>(n);
    }
    return true;
}

bool readFile(const std::string& path, std::string& out) {
    std::size_t read = 0;
    const bool ok = readFileInto(
        path,
        [&out](std::size_t size) {
            out.resize(size);
            return out.data();
        },
        read);
    out.resize(read);
    return ok;
}

bool isReadable(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    return fd.get() >= 0 && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace qx::platform
