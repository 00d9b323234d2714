// tests/log/LogTestSupport.h -- a private data directory per test (QXTELVAR_DATA_DIR with its Logs folder and
// a debug output file), and small file helpers for reading what the logger wrote.
#pragma once

#include <gtest/gtest.h>

#include <expat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

namespace qx::test {

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// Whether expat accepts text as one whole document.
inline bool parsesAsXml(const std::string& text, std::string* error = nullptr) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), XML_TRUE) == XML_STATUS_OK;
    if (!ok && error) *error = XML_ErrorString(XML_GetErrorCode(parser));
    XML_ParserFree(parser);
    return ok;
}

// Polls until done() or 10 s: a watching logger applies a change on its own thread, within milliseconds when
// the machine is idle.
inline bool eventually(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class LogDirFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qx-log-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        logs_ = root_ / "Logs";
        std::filesystem::create_directories(logs_);
        debugOut_ = root_ / "debug-output.txt";
        ::setenv("QXTELVAR_DATA_DIR", root_.c_str(), 1);
        ::setenv("QXPROPHANDLING_DEBUG_OUTPUT", debugOut_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("QXPROPHANDLING_DEBUG_OUTPUT");
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    void writeDebugFlags(const std::string& attributes) { writeText(logs_ / "qxDebugFlags.qxd", debugFlagsText(attributes)); }
    // Replaced by a rename, as the shell and careful editors do: a watching logger never sees it half-written.
    void replaceDebugFlags(const std::string& attributes) {
        const auto temporary = logs_ / "flags.tmp";
        writeText(temporary, debugFlagsText(attributes));
        std::filesystem::rename(temporary, logs_ / "qxDebugFlags.qxd");
    }
    static std::string debugFlagsText(const std::string& attributes) {
        return "<DebugWriterList>\n  <DebugWriter name=\"qxPropHandling\" " + attributes + " />\n</DebugWriterList>\n";
    }
    std::string debugOutput() const { return readText(debugOut_); }

    std::filesystem::path root_, logs_, debugOut_;
};

} // namespace qx::test
