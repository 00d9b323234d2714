// A file export killed at any moment leaves the old setting or the new one at the target, never a mixture,
// an empty file or no file: a child process exports a large list and is killed with SIGKILL at random
// moments, 200 times.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "ForkedChild.h"
#include "qxPropHandling.h"

namespace {

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

HOBJ bigList(const char* name, int properties, int value) {
    HOBJ list = 0;
    EXPECT_EQ(qxPropListCreate(&list, name, 0, 3), 0);
    for (int i = 0; i < properties; ++i) {
        HOBJ p = QX_INDEX_APPEND;
        EXPECT_EQ(qxPropListRegisterProp(list, ("p" + std::to_string(i)).c_str(), QX_CT_PROP_INT32, 1, 3, nullptr, &p), 0);
        qxValue v{};
        v.i32 = value + i;
        ValBuffer b{QX_VT_INT32, 1, &v};
        EXPECT_EQ(qxPropSetVal(p, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 1), 0);
    }
    return list;
}

} // namespace

TEST(CrashSafeExport, KilledExportLeavesTheOldOrTheNewDocument) {
    ASSERT_GE(qxPropHandlingLibInit(), 1);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("qxcrash-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string target = (dir / "cam.xml").string();
    const HOBJ oldList = bigList("Cam", 500, 0);
    const HOBJ newList = bigList("Cam", 10000, 1000);
    ASSERT_EQ(qxPropListExport(newList, target.c_str(), QX_SF_FILE, 0), 0);
    const std::string newText = fileText(target);
    ASSERT_EQ(qxPropListExport(oldList, target.c_str(), QX_SF_FILE, 0), 0);
    const std::string oldText = fileText(target);
    ASSERT_GT(newText.size(), 500000u);

    // How long one export takes, so the kills spread over the whole of it.
    const auto start = std::chrono::steady_clock::now();
    {
        qx::test::ForkedChild child([&] { return qxPropListExport(newList, target.c_str(), QX_SF_FILE, 0) == 0 ? 0 : 1; });
        ASSERT_EQ(child.wait(), 0);
    }
    const auto exportMicros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();

    // The delay before the kill follows the moment of the rename: longer after a kill that came too early,
    // shorter after one that came too late, so a loaded machine still spreads kills on both sides of it.
    std::mt19937 rng(7);
    long delay = exportMicros;
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 200; ++round) {
        ASSERT_EQ(qxPropListExport(oldList, target.c_str(), QX_SF_FILE, 0), 0);
        qx::test::ForkedChild child([&] { return qxPropListExport(newList, target.c_str(), QX_SF_FILE, 0) == 0 ? 0 : 1; });
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<long>(delay / 2, delay + delay / 2)(rng)));
        child.kill();
        const std::string now = fileText(target);
        ASSERT_TRUE(now == oldText || now == newText) << "round " << round << ": " << now.size() << " bytes";
        (now == oldText ? sawOld : sawNew)++;
        delay = now == oldText ? delay + delay / 4 + 1 : delay - delay / 5;
        HOBJ back = 0;
        if (round % 20 == 0) { // and the file parses
            ASSERT_EQ(qxPropListImport(&back, target.c_str(), QX_SF_FILE, 0), 0);
            ASSERT_EQ(qxPropListDelete(back), 0);
        }
    }
    // The kills hit before and after the rename, so both outcomes were really seen.
    EXPECT_GT(sawOld, 10);
    EXPECT_GT(sawNew, 10);
    std::filesystem::remove_all(dir);
    qxPropHandlingLibDone();
}
