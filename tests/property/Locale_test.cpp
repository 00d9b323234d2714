// tests/property/Locale_test.cpp -- numbers keep the "C" conventions under a German process locale (decimal
// comma, '.' grouping): texts of values, limit messages and the parsing of written texts. The locale is
// generated into a private directory when the system has not installed it; the test is skipped, saying
// why, only when even that is impossible.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "PropertyTestSupport.h"
#include "component/Vocabulary.h"

namespace qx {
namespace {

using namespace test;

constexpr const char* german = "de_DE.UTF-8";

// True when setlocale can switch to the German locale, generating it with localedef when needed.
bool germanLocaleAvailable() {
    static const bool available = [] {
        if (std::setlocale(LC_ALL, german) != nullptr) return true;
        const char* own = std::getenv("QXPROPHANDLING_SYNC_DIR");
        const std::filesystem::path dir =
            std::filesystem::path(own ? own : std::filesystem::temp_directory_path().string()) / "qx-locales";
        std::error_code ignored;
        std::filesystem::create_directories(dir, ignored);
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + (dir / german).string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) return false;
        setenv("LOCPATH", dir.c_str(), 1);
        return std::setlocale(LC_ALL, german) != nullptr;
    }();
    return available;
}

class UnderGermanLocale : public ::testing::Test {
protected:
    void SetUp() override {
        if (!germanLocaleAvailable()) {
            GTEST_SKIP() << "de_DE.UTF-8 is not installed and localedef could not generate it (package 'locales')";
        }
        ASSERT_NE(std::setlocale(LC_ALL, german), nullptr);
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.1f", 1.5);
        ASSERT_STREQ(probe, "1,5") << "the locale must really change printf for this test to mean anything";
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(UnderGermanLocale, ValuesFormatWithADecimalPoint) {
    auto p = CProperty::create(QX_VT_DOUBLE, "Rate", nullptr, 2, 3, "");
    p->writeVals(rightsOrdinary, doubles({1.5, -2.25}), 0);
    EXPECT_EQ(p->valueTextAt(nullptr, 0), "1.500000");
    EXPECT_EQ(p->valueTextAt("%.2e", 1), "-2.25e+00");
    EXPECT_EQ(p->arrayText("%g", ";", 0, 1, 0), "1.5;-2.25");
    auto n = CProperty::create(QX_VT_INT32, "Count", nullptr, 1, 3, "%'d");
    n->writeVals(rightsOrdinary, ints({1234567}), 0);
    EXPECT_EQ(n->valueTextAt(nullptr, 0), "1234567") << "no thousands separator";
}

TEST_F(UnderGermanLocale, TextsAreReadWithADecimalPoint) {
    auto p = CProperty::create(QX_VT_DOUBLE, "Rate", nullptr, 1, 3, "");
    p->writeVals(rightsOrdinary, texts({"1.5 -2,5"}), 0);
    EXPECT_EQ(readDoubles(*p), (std::vector<double>{1.5, -2.0})) << "the comma is no decimal separator, whatever the locale";
    auto s = CProperty::create(QX_VT_STRING, "Text", nullptr, 1, 3, "");
    s->writeVals(rightsOrdinary, doubles({0.5}), 0);
    EXPECT_EQ(s->valueTextAt(nullptr, 0), "0.500000");
}

TEST_F(UnderGermanLocale, MessagesShowValuesWithADecimalPoint) {
    auto p = CProperty::create(QX_VT_DOUBLE, "Rate", nullptr, 1, 3, "");
    p->writeVals(rightsOrdinary, doubles({1.5}), QX_LIM_MAXIMUM);
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, doubles({2.25}), 0); }).message,
              "The assigned value at index 0(2.250000) is higher than the max. value(1.500000) for property Rate");
    EXPECT_EQ(failureOf([&] { p->writeVals(rightsOrdinary, doubles({0.0}), QX_LIM_STEP_WIDTH); }).message,
              "Invalid step width (0.000000) for property Rate");
}

} // namespace
} // namespace qx
