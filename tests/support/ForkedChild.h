// tests/support/ForkedChild.h -- real child processes for the cross-process tests, and a
// one-way signal between processes. Children end with _exit (never returning into the test runner), and a
// child still running when its ForkedChild goes away is killed and reaped, so no test leaves a zombie or hangs.
#pragma once

#include <functional>

namespace qx::test {

// A pipe: notify() in one process, waitFor() in another. Make it before forking.
class Signal {
public:
    Signal();
    ~Signal();
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    void notify();
    bool waitFor(int timeoutMs);

private:
    int fds_[2];
};

class ForkedChild {
public:
    // The child runs body and _exits with its result.
    explicit ForkedChild(const std::function<int()>& body);
    ~ForkedChild();
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;

    // The child's exit code; -1 when it did not end in time (it is then killed), -2 when a signal ended it.
    int wait(int timeoutMs = 10000);
    // Ends the child as a crash would (SIGKILL) and reaps it.
    void kill();

private:
    int pid_;
    bool reaped_ = false;
};

} // namespace qx::test
