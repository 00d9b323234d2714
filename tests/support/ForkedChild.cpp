// tests/support/ForkedChild.cpp -- fork, pipe and reaping for the cross-process tests (ForkedChild.h).
#include "ForkedChild.h"

#include <chrono>
#include <thread>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qx::test {

Signal::Signal() {
    if (::pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
}

Signal::~Signal() {
    ::close(fds_[0]);
    ::close(fds_[1]);
}

void Signal::notify() {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(fds_[1], &byte, 1);
}

bool Signal::waitFor(int timeoutMs) {
    pollfd p{fds_[0], POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) return false;
    char byte;
    return ::read(fds_[0], &byte, 1) == 1;
}

ForkedChild::ForkedChild(const std::function<int()>& body) : pid_(::fork()) {
    if (pid_ == 0) ::_exit(body());
}

ForkedChild::~ForkedChild() {
    if (!reaped_) kill();
}

int ForkedChild::wait(int timeoutMs) {
    if (pid_ < 0 || reaped_) return -1;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            kill();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

void ForkedChild::kill() {
    if (pid_ <= 0 || reaped_) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    reaped_ = true;
}

} // namespace qx::test
