// tests/platform/RegistryTestSupport.h -- a private registry folder per test, so hives never leak between
// tests or into the user's configuration folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace qx::platform {

// The names of a key's subkeys in enumeration order.
inline std::vector<std::string> subkeys(const RegistryKey& key) {
    std::vector<std::string> names;
    std::string name;
    for (std::uint32_t i = 0; key.enumKey(i, name) == kRegSuccess; ++i) names.push_back(name);
    return names;
}

class RegistryFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qx-registry-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        ::setenv("QXPROPHANDLING_REGISTRY_DIR", folder_.c_str(), 1);
        closeThreadHives();
    }
    void TearDown() override {
        closeThreadHives();
        setBootIdSource("/proc/sys/kernel/random/boot_id");
        setBusyWait(2000, 5);
        std::filesystem::remove_all(folder_);
    }

    // A key below the user hive's root, made for writing.
    RegistryKey make(const std::string& path, bool isVolatile = false) {
        RegistryKey key;
        EXPECT_EQ(RegistryKey::root(Hive::User).create(path, KeyAccess::ReadWrite, isVolatile, key), kRegSuccess)
            << path;
        return key;
    }
    static int setText(const RegistryKey& key, const std::string& name, const std::string& text,
                       std::uint32_t type = kRegSz) {
        return key.setValue(name, type, text.c_str(), static_cast<std::uint32_t>(text.size() + 1));
    }
    static std::string text(const RegistryKey& key, const std::string& name) {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        if (key.queryValue(name, type, data) != kRegSuccess) return "<missing>";
        return std::string(data.begin(), data.end()).c_str();
    }

    std::string folder_;
};

} // namespace qx::platform
