// platform/FileWatcher.cpp -- owns the Linux stand-in for file-change notification: an inotify descriptor on
// the folder (the file itself may not exist yet, and editors replace it by renaming a new one over it), an
// eventfd that tells the thread to stop, and the thread that polls both.
//
// Which notices count: a file written and closed, one renamed into place, one removed or renamed away. Not
// creation or each write: a file caught half-written would be read as a broken configuration.
//
// fork(): the child has no watcher thread, only copies of the parent's objects. Joining a copied thread would
// wait forever, so an object whose thread belongs to another process is let go of without a join (the copy
// of the thread's handle is simply dropped). Callbacks run under one process-wide lock that fork()
// also takes, so a child never starts from a state that a callback was halfway through changing.
#include "platform/FileWatcher.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "platform/Errno.h"

namespace qx::platform {

namespace {

std::mutex g_callbackLock;
void lockCallbacks() { g_callbackLock.lock(); }
void unlockCallbacks() { g_callbackLock.unlock(); }
[[maybe_unused]] const int g_forkHook = pthread_atfork(lockCallbacks, unlockCallbacks, unlockCallbacks);

constexpr std::uint32_t kFolderGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED;
constexpr std::uint32_t kWatched = IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | kFolderGone;
constexpr int kRetryMs = 1000;

} // namespace

struct FileWatcher::Impl {
    std::string folder, name;
    std::function<void()> onChange;
    int notify = -1;
    int stop = -1;
    int watch = -1;  // -1 while the folder is not watched
    pid_t owner = 0;
    bool started = false;
    std::atomic<bool> running{false};
    pthread_t thread{};

    ~Impl() {
        if (started && owner == ::getpid()) {
            const std::uint64_t one = 1;
            while (::write(stop, &one, sizeof one) < 0 && isInterrupted(errno)) {
            }
            ::pthread_join(thread, nullptr);
        }
        if (notify >= 0) ::close(notify);
        if (stop >= 0) ::close(stop);
    }

    void addWatch() { watch = ::inotify_add_watch(notify, folder.c_str(), kWatched | IN_ONLYDIR); }

    // Whether the notices read now concern the file; drops the watch when the folder went away.
    bool readNotices() {
        alignas(inotify_event) char buffer[4096];
        bool changed = false;
        for (;;) {
            const ssize_t n = ::read(notify, buffer, sizeof buffer);
            if (n <= 0) return changed;  // EAGAIN: all read
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & kFolderGone) {
                    watch = -1;
                    changed = true;  // the file went with its folder
                } else if (event->len > 0 && name == event->name) {
                    changed = true;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    void run() {
        for (;;) {
            if (watch < 0) {
                addWatch();
                if (watch >= 0) notifyChange();  // the folder appeared: the file may have come with it
            }
            pollfd fds[2] = {{stop, POLLIN, 0}, {notify, POLLIN, 0}};
            const int ready = ::poll(fds, 2, watch < 0 ? kRetryMs : -1);
            if (ready < 0 && !isInterrupted(errno)) return;
            if (fds[0].revents) return;
            if ((fds[1].revents & POLLIN) && readNotices()) notifyChange();
        }
    }

    // The thread's body is a boundary like an exported function's: what the callback cannot finish for lack of
    // memory is dropped (the next change tries again), rather than ending the host process.
    void notifyChange() {
        std::lock_guard<std::mutex> lock(g_callbackLock);
        try {
            onChange();
        } catch (const std::bad_alloc&) {
        }
    }

    static void* threadMain(void* self) {
        static_cast<Impl*>(self)->running.store(true, std::memory_order_release);
        static_cast<Impl*>(self)->run();
        return nullptr;
    }
};

FileWatcher::FileWatcher(std::unique_ptr<Impl> impl) noexcept : impl_(std::move(impl)) {}
FileWatcher::~FileWatcher() = default;

std::unique_ptr<FileWatcher> FileWatcher::start(const std::string& folder, const std::string& name,
                                                std::function<void()> onChange) {
    auto impl = std::make_unique<Impl>();
    impl->folder = folder;
    impl->name = name;
    impl->onChange = std::move(onChange);
    impl->owner = ::getpid();
    impl->notify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    impl->stop = ::eventfd(0, EFD_CLOEXEC);
    if (impl->notify < 0 || impl->stop < 0) return nullptr;
    impl->addWatch();  // before the thread starts: a change right after start() returns is not missed
    if (::pthread_create(&impl->thread, nullptr, &Impl::threadMain, impl.get()) != 0) return nullptr;
    impl->started = true;
    // Wait until the thread runs its own code: a thread still being set up may hold a lock of the memory
    // allocator (a sanitizer's is not fork-safe), and a process that forks right after loading the library
    // would hand that lock, held, to its child. Once running, the thread sleeps in poll() and allocates only
    // while applying a change, which fork() waits for (the handler above).
    while (!impl->running.load(std::memory_order_acquire)) std::this_thread::yield();
    return std::make_unique<FileWatcher>(std::move(impl));
}

} // namespace qx::platform
