// platform/DebugOutput.cpp -- owns the stand-in for the system debug output. The variable is read on every
// message: the channel is for people debugging, who change it between runs of a test and expect no cache.
// A file target is opened per message (append, close-on-exec) so several processes can share it the way
// they share a debugger's output window; O_APPEND makes each message land whole at the end.
#include "platform/DebugOutput.h"

#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

namespace qx::platform {

namespace {
void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}
} // namespace

std::string debugOutputTarget() {
    const char* value = std::getenv("QXPROPHANDLING_DEBUG_OUTPUT");
    if (value == nullptr || *value == '\0' || std::strcmp(value, "none") == 0) return "none";
    if (std::strcmp(value, "stderr") == 0 || std::strcmp(value, "syslog") == 0) return value;
    return std::string("file ") + value;
}

void writeDebugOutput(std::string_view text) noexcept {
    const char* value = std::getenv("QXPROPHANDLING_DEBUG_OUTPUT");
    if (value == nullptr || *value == '\0' || std::strcmp(value, "none") == 0) return;
    if (std::strcmp(value, "stderr") == 0) {
        writeAll(STDERR_FILENO, text);
    } else if (std::strcmp(value, "syslog") == 0) {
        ::syslog(LOG_DEBUG, "%.*s", static_cast<int>(text.size()), text.data());
    } else {
        const int fd = ::open(value, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return;
        writeAll(fd, text);
        ::close(fd);
    }
}

} // namespace qx::platform
