// platform/NamedObject.cpp -- owns the files behind named objects and the process table of their mappings.
//
// Lifetime. Every process that holds an object keeps a shared flock on its own open() of the object's file;
// the kernel drops it when the process dies, so "a non-blocking exclusive flock succeeds" means honestly
// "nobody holds this name any more". Create, probe and the last close run under an exclusive flock on the
// directory's ".guard" file, which makes "open or create, learn whether it existed, initialise" one step for
// all processes; a file only dead processes held counts as absent and is initialised afresh. The last close
// unlinks the file. Not here: escaping names (ObjectName.cpp), what lives in the payload (Mutex.cpp, ...).
//
// Fork. flock locks belong to the open file description, which a fork()ed child shares with its parent. A
// child that destroys an object it inherited therefore only unmaps and closes; unlocking or unlinking would
// take the name away from the parent. Each mapping records the pid that opened it for that reason, and a
// child that opens the name itself gets a mapping (and a lock) of its own.
//
// Order: the process table lock before the namespace guard.
#include "platform/NamedObject.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errno.h"
#include "platform/ObjectName.h"

namespace qx::platform {

namespace {

constexpr std::uint32_t kMagic = 0x4F535851;  // "QXSO"
constexpr std::uint32_t kLayout = 1;
constexpr std::size_t kPayloadOffset = 64;
constexpr const char* kGuardFile = ".guard";

// What every object file starts with; the payload follows at kPayloadOffset and the full name after it.
struct FileHeader {
    std::uint32_t magic;
    std::uint32_t layout;
    std::uint32_t kind;
    std::uint32_t nameLength;
    std::uint64_t payloadSize;
};
static_assert(sizeof(FileHeader) <= kPayloadOffset);

std::size_t nameOffset(std::size_t payloadSize) { return kPayloadOffset + (payloadSize + 7) / 8 * 8; }

class Fd {
public:
    explicit Fd(int fd = -1) noexcept : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~Fd() { reset(); }
    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    int release() noexcept { return std::exchange(fd_, -1); }
    void reset(int fd = -1) noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

int retryOnInterrupt(int (*call)(int, int), int fd, int op) {
    int rc;
    do rc = call(fd, op);
    while (rc != 0 && isInterrupted(errno));
    return rc;
}

// Holds the namespace's guard flock for one scope.
class GuardLock {
public:
    GuardLock(int dirFd, bool mayCreate)
        : fd_(::openat(dirFd, kGuardFile, O_RDWR | O_NOFOLLOW | O_CLOEXEC | (mayCreate ? O_CREAT : 0), 0600)) {
        if (fd_ && retryOnInterrupt(::flock, fd_.get(), LOCK_EX) != 0) fd_.reset();
    }
    bool held() const noexcept { return static_cast<bool>(fd_); }

private:
    Fd fd_;  // closing it drops the lock
};

bool makeDirectory(const std::string& path, int depth) {
    if (::mkdir(path.c_str(), 0700) == 0) return ::chmod(path.c_str(), 0700) == 0;  // umask may have narrowed it
    if (errno == EEXIST) return true;
    if (errno != ENOENT || depth > 32) return false;
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return false;
    if (!makeDirectory(path.substr(0, slash), depth + 1)) return false;
    return ::mkdir(path.c_str(), 0700) == 0 ? ::chmod(path.c_str(), 0700) == 0 : errno == EEXIST;
}

// The namespace directory, opened and checked; invalid when refused or (for mayCreate false) missing.
Fd openNamespace(bool mayCreate) {
    const std::string dir = syncNamespaceDirectory();
    if (mayCreate && !makeDirectory(dir, 0)) return Fd();
    Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) return Fd();
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) return Fd();
    return fd;
}

bool fileIsOurs(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

bool readExactly(int fd, void* buffer, std::size_t size, off_t offset) {
    return ::pread(fd, buffer, size, offset) == static_cast<ssize_t>(size);
}

// Whether the file holds an object of this kind and name (and, when payloadSize is not 0, of this layout).
bool headerMatches(int fd, ObjectKind kind, std::size_t payloadSize, std::string_view name) {
    FileHeader header{};
    if (!readExactly(fd, &header, sizeof header, 0)) return false;
    if (header.magic != kMagic || header.layout != kLayout || header.kind != static_cast<std::uint32_t>(kind))
        return false;
    if (payloadSize != 0 && header.payloadSize != payloadSize) return false;
    if (header.nameLength != name.size()) return false;
    std::string stored(name.size(), '\0');
    return readExactly(fd, stored.data(), stored.size(), static_cast<off_t>(nameOffset(header.payloadSize))) &&
           stored == name;
}

} // namespace

struct NamedObject::Mapping {
    std::string key;  // namespace directory (device, inode) and file name
    pid_t pid;        // the process that opened it; only it may unlock or unlink
    Fd dirFd;
    Fd fd;
    std::string fileName;
    ObjectKind kind;
    std::size_t payloadSize;
    void* base;
    std::size_t size;
    int users;
    PayloadRelease release;
    Mapping* next;  // the process's next mapping (g_mappings)
};

namespace {

pthread_mutex_t g_tableLock = PTHREAD_MUTEX_INITIALIZER;

// A child forked while another thread held the table lock would otherwise find it locked for good.
void lockTableForFork() { pthread_mutex_lock(&g_tableLock); }
void unlockTableAfterFork() { pthread_mutex_unlock(&g_tableLock); }

// The process's named-object mappings, guarded by g_tableLock: an intrusive list whose head is
// constant-initialised, so it needs no allocation of its own and nothing is left behind when the module is
// unloaded with dlclose (objects destroyed by static destructors still find it).
constinit NamedObject::Mapping* g_mappings = nullptr;
constinit pthread_once_t g_atforkOnce = PTHREAD_ONCE_INIT;

void registerForkHandlers() { pthread_atfork(lockTableForFork, unlockTableAfterFork, unlockTableAfterFork); }

class TableLock {
public:
    TableLock() { pthread_mutex_lock(&g_tableLock); }
    ~TableLock() { pthread_mutex_unlock(&g_tableLock); }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;
};

void* mapFile(int fd, std::size_t size) {
    void* base = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return base == MAP_FAILED ? nullptr : base;
}

} // namespace

std::string syncNamespaceDirectory() {
    const char* configured = std::getenv("QXPROPHANDLING_SYNC_DIR");
    if (configured && *configured) return configured;
    return "/dev/shm/qx-" + std::to_string(::geteuid());
}

std::string syncNamespaceProblem() {
    const std::string dir = syncNamespaceDirectory();
    const std::string where = "the folder '" + dir + "' for named locks" +
                              (std::getenv("QXPROPHANDLING_SYNC_DIR") && *std::getenv("QXPROPHANDLING_SYNC_DIR")
                                   ? " (QXPROPHANDLING_SYNC_DIR)"
                                   : "");
    const std::string remedy = "; point QXPROPHANDLING_SYNC_DIR at a folder of your own with mode 0700 "
                               "(mkdir -m 700 DIR), or fix this one";
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0) {
        if (errno == ENOENT && makeDirectory(dir, 0)) return {};
        return where + " cannot be made: " + std::strerror(errno) + remedy;
    }
    if (S_ISLNK(st.st_mode)) return where + " is a symbolic link, which could lead anywhere" + remedy;
    if (!S_ISDIR(st.st_mode)) return where + " is not a directory" + remedy;
    if (st.st_uid != ::geteuid())
        return where + " belongs to user " + std::to_string(st.st_uid) + ", not to you (user " +
               std::to_string(::geteuid()) + ")" + remedy;
    if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return where + " has mode " + mode +
               ", so other users could reach the locks of your processes; it must be 0700 (chmod 700 " + dir + ")" +
               remedy;
    }
    if (::access(dir.c_str(), R_OK | W_OK | X_OK) != 0) return where + " is not writable: " + std::strerror(errno) + remedy;
    return {};
}

std::unique_ptr<NamedObject> NamedObject::open(std::string_view name, ObjectKind kind, std::size_t payloadSize,
                                               PayloadInit init, const void* initContext, PayloadRelease release) {
    if (name.empty() || payloadSize == 0) return nullptr;
    Fd dir = openNamespace(true);
    struct stat dirStat {};
    if (!dir || ::fstat(dir.get(), &dirStat) != 0) return nullptr;
    const std::string fileName = objectFileName(name);
    const std::string key =
        std::to_string(dirStat.st_dev) + ':' + std::to_string(dirStat.st_ino) + '/' + fileName;
    const pid_t self = ::getpid();
    const std::size_t size = nameOffset(payloadSize) + name.size();

    pthread_once(&g_atforkOnce, registerForkHandlers);
    TableLock tableLock;
    for (Mapping* m = g_mappings; m; m = m->next) {
        if (m->key != key || m->pid != self) continue;
        if (m->kind != kind || m->payloadSize != payloadSize) return nullptr;
        ++m->users;
        return std::unique_ptr<NamedObject>(
            new NamedObject(m, static_cast<char*>(m->base) + kPayloadOffset, true));
    }

    GuardLock guard(dir.get(), true);
    if (!guard.held()) return nullptr;
    Fd fd(::openat(dir.get(), fileName.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd || !fileIsOurs(fd.get())) return nullptr;

    void* base = nullptr;
    bool existed = false;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
        // Nobody holds it: new, or left behind by dead processes. Zero it and set it up from scratch.
        FileHeader header{kMagic, kLayout, static_cast<std::uint32_t>(kind),
                          static_cast<std::uint32_t>(name.size()), payloadSize};
        bool ready = ::ftruncate(fd.get(), 0) == 0 && ::ftruncate(fd.get(), static_cast<off_t>(size)) == 0 &&
                     (base = mapFile(fd.get(), size)) != nullptr;
        if (ready) {
            std::memcpy(base, &header, sizeof header);
            std::memcpy(static_cast<char*>(base) + nameOffset(payloadSize), name.data(), name.size());
            ready = init(static_cast<char*>(base) + kPayloadOffset, initContext) &&
                    ::flock(fd.get(), LOCK_SH | LOCK_NB) == 0;
        }
        if (!ready) {
            if (base) ::munmap(base, size);
            ::unlinkat(dir.get(), fileName.c_str(), 0);
            return nullptr;
        }
    } else {
        struct stat st {};
        if (errno != EWOULDBLOCK || ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0) return nullptr;
        // A live object: it must be the same kind with the same full name (a hashed file name may collide).
        if (!headerMatches(fd.get(), kind, payloadSize, name) || ::fstat(fd.get(), &st) != 0 ||
            static_cast<std::size_t>(st.st_size) != size || (base = mapFile(fd.get(), size)) == nullptr)
            return nullptr;  // closing fd drops our shared lock; the live holders keep theirs
        existed = true;
    }

    auto* m = new Mapping{key,  self,        std::move(dir), std::move(fd), fileName, kind,
                          payloadSize, base, size, 1, release, g_mappings};
    g_mappings = m;
    return std::unique_ptr<NamedObject>(new NamedObject(m, static_cast<char*>(base) + kPayloadOffset, existed));
}

NamedObject::~NamedObject() {
    TableLock tableLock;
    Mapping* m = mapping_;
    if (--m->users > 0) return;
    for (Mapping** link = &g_mappings; *link; link = &(*link)->next) {
        if (*link == m) {
            *link = m->next;
            break;
        }
    }
    if (m->release && !m->release(payload_)) {
        // Still owned by the caller (also in a forked child using its parent's mapping): keep the memory and
        // the hold on the file, so the owner's end marks the object abandoned for every other holder, as a
        // mutex of a process that exits owning it is.
        (void)m->fd.release();
        delete m;
        return;
    }
    if (m->pid == ::getpid()) {
        GuardLock guard(m->dirFd.get(), false);
        ::munmap(m->base, m->size);
        // Succeeds only when no other open file description holds the file: we were its last holder.
        if (guard.held() && ::flock(m->fd.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(m->dirFd.get(), m->fileName.c_str(), 0);
        m->fd.reset();
    } else {
        ::munmap(m->base, m->size);
        // Closing our descriptor leaves the lock of the description the parent shares untouched.
    }
    delete m;
}

bool namedObjectExists(std::string_view name, ObjectKind kind) {
    if (name.empty()) return false;
    Fd dir = openNamespace(false);
    if (!dir) return false;
    const std::string fileName = objectFileName(name);
    if (!Fd(::openat(dir.get(), fileName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC))) return false;

    GuardLock guard(dir.get(), false);
    Fd fd(::openat(dir.get(), fileName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd || !fileIsOurs(fd.get())) return false;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
        if (guard.held()) ::unlinkat(dir.get(), fileName.c_str(), 0);  // only dead processes held it
        return false;
    }
    return headerMatches(fd.get(), kind, 0, name);
}

} // namespace qx::platform
