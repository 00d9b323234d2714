// platform/DebugOutput.h -- the system debug output, a channel a developer can watch without the program's
// own console. Linux has no such channel, so QXPROPHANDLING_DEBUG_OUTPUT picks one: "none" (the default,
// also for an empty value), "stderr", "syslog", or the path of a file the text is appended to.
#pragma once

#include <string>
#include <string_view>

namespace qx::platform {

// Sends text as one piece. Never fails visibly: a debug channel that cannot be written drops the text.
void writeDebugOutput(std::string_view text) noexcept;
// The channel the variable selects now: "none", "stderr", "syslog" or "file <path>".
std::string debugOutputTarget();

} // namespace qx::platform
