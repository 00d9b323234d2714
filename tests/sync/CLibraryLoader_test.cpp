// tests/sync/CLibraryLoader_test.cpp -- the loader's file-name rule, loading, and the version numbers read
// from the module's own note.
#include "sync/CLibraryLoader.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "platform/Library.h"

namespace qx {
namespace {

namespace fs = std::filesystem;
constexpr std::array<int, 4> kNone{-1, -1, -1, -1};
constexpr std::array<int, 4> kBuilt{QX_VERSION_MAJOR, QX_VERSION_MINOR, QX_VERSION_PATCH, QX_VERSION_TWEAK};

TEST(CLibraryLoader, FileNameRule) {
    EXPECT_EQ(CLibraryLoader("qx-missing-extlib", true).name(), "libqx-missing-extlib.so");
    EXPECT_EQ(CLibraryLoader("extlib.so", true).name(), "extlib.so");
    EXPECT_EQ(CLibraryLoader("extlib.SO", true).name(), "libextlib.SO.so");
    EXPECT_EQ(CLibraryLoader("extlib", false).name(), "extlib");
    EXPECT_EQ(CLibraryLoader("/opt/x/extlib", true).name(), "/opt/x/libextlib.so");
    EXPECT_EQ(CLibraryLoader("extlib.so.1", true).name(), "libextlib.so.1.so");
}

TEST(CLibraryLoader, LibraryReportsTheVersionItWasBuiltWith) {
    CLibraryLoader byPath(QX_LIBRARY_FILE, false);
    ASSERT_TRUE(byPath.loaded());
    EXPECT_EQ(byPath.version(), kBuilt);
    EXPECT_EQ(byPath.version(), kBuilt);  // remembered
    CLibraryLoader byRule(QX_BINARY_DIR "/qxPropHandling", true);
    ASSERT_TRUE(byRule.loaded());
    EXPECT_EQ(byRule.version(), kBuilt);
}

TEST(CLibraryLoader, ModuleWithoutVersionNoteGivesMinusOnes) {
    CLibraryLoader libc("libc.so.6", false);
    ASSERT_TRUE(libc.loaded());
    EXPECT_EQ(libc.version(), kNone);
    CLibraryLoader expat("libexpat.so.1", false);
    ASSERT_TRUE(expat.loaded());
    EXPECT_EQ(expat.version(), kNone);
}

TEST(CLibraryLoader, MissingModuleIsNotLoaded) {
    CLibraryLoader missing("qx-no-such-module", true);
    EXPECT_FALSE(missing.loaded());
    EXPECT_EQ(missing.version(), kNone);
    CLibraryLoader none(nullptr, true);
    EXPECT_FALSE(none.loaded());
}

// Only the directory of the module doing the loading can supply this one.
TEST(CLibraryLoader, FallsBackToTheLoadingModulesDirectory) {
    const fs::path ownDir = fs::path(platform::ownModulePath()).parent_path();
    ASSERT_FALSE(ownDir.empty());
    const std::string stem = "qxloadertest" + std::to_string(::getpid());
    const fs::path link = ownDir / ("lib" + stem + ".so");
    fs::create_symlink(QX_LIBRARY_FILE, link);
    CLibraryLoader loader(stem.c_str(), true);
    fs::remove(link);
    ASSERT_TRUE(loader.loaded());
    EXPECT_EQ(loader.version(), kBuilt);
}

} // namespace
} // namespace qx
