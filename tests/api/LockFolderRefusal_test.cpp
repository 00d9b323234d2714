// A lock folder the library refuses (others may write it) is explained: the caller's last error and one
// class-3 message per process say which folder, what is wrong and what to do.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ApiTestSupport.h"
#include "ForkedChild.h"
#include "qxPropHandling.h"

namespace {

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(LockFolderRefusal, AFolderOthersCanReachIsNamedWithTheFix) {
    char pattern[] = "/tmp/qx-refusal-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::filesystem::path root = pattern;
    const std::string bad = (root / "locks").string();
    ASSERT_EQ(::mkdir(bad.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(bad.c_str(), 0755), 0);
    std::filesystem::create_directories(root / "data" / "Logs");
    std::ofstream(root / "data" / "Logs" / "qxDebugFlags.qxd")
        << "<DebugWriterList><DebugWriter name=\"qxPropHandling\" flags=\"1000\" outputmask=\"10\"/></DebugWriterList>";
    const std::string debugOut = (root / "debug.txt").string();

    qx::test::ForkedChild child([&] {
        ::setenv("QXPROPHANDLING_SYNC_DIR", bad.c_str(), 1);
        ::setenv("QXTELVAR_DATA_DIR", (root / "data").c_str(), 1);
        ::setenv("QXPROPHANDLING_DEBUG_OUTPUT", debugOut.c_str(), 1);
        for (int round = 0; round < 2; ++round) {
            if (qxPropHandlingLibDone() != 0 || qxPropHandlingLibInit() != 1) return 10;
            if (qxGlobalLock(0) != QX_WAIT_TIMEOUT) return 11;
            const qxtest::LastError error = qxtest::lastError();
            if (error.code != PROPHANDLING_UNSUPPORTED_OPERATION) return 12;
            if (error.text.find("'" + bad + "'") == std::string::npos) return 13;
            if (error.text.find("has mode 0755") == std::string::npos) return 14;
            if (error.text.find("chmod 700") == std::string::npos) return 15;
        }
        return 0;
    });
    EXPECT_EQ(child.wait(20000), 0);
    std::stringstream out;
    out << std::ifstream(debugOut).rdbuf();
    // Once per process, although the library was initialised twice and both its locks were refused.
    EXPECT_EQ(countOf(out.str(), "ERROR!!!"), 1u) << out.str();
    EXPECT_EQ(countOf(out.str(), "the folder '" + bad + "' for named locks (QXPROPHANDLING_SYNC_DIR) has mode 0755"), 1u)
        << out.str();
    std::filesystem::remove_all(root);
}

} // namespace
