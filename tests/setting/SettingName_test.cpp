// The file name rule of settings and the escaping rules of the document's texts.
#include <gtest/gtest.h>

#include <string>

#include "setting/SettingName.h"
#include "setting/XmlText.h"

using namespace qx;

TEST(SettingFilePath, XmlIsAppendedWhenTheLastComponentHasNoExtension) {
    const struct {
        const char* name;
        const char* path;
    } cases[] = {
        {"cam", "cam.xml"},
        {"dir.d/cam", "dir.d/cam.xml"},
        {"dir/cam.cfg", "dir/cam.cfg"},
        {"a.b.c", "a.b.c"},
        {"cam.", "cam..xml"},
        {".cam", ".cam.xml"},
        {"dir/", "dir/.xml"},
        {"dir.x/", "dir.x/"},
        {"dir\\sub\\cam", "dir/sub/cam.xml"},
        {"C:\\cfg\\cam.xml", "C:/cfg/cam.xml"},
        {"", ""},
        {"//", "//"},
        {"..", "...xml"},
    };
    for (const auto& c : cases) EXPECT_EQ(settingFilePath(c.name), c.path) << c.name;
    EXPECT_EQ(settingPathAsGiven("a\\b"), "a/b");
}

TEST(XmlText, AttributesEscapeOnlyWhatXmlWouldLose) {
    const struct {
        const char* value;
        const char* written;
    } cases[] = {
        {"plain >", " a=\"plain >\""},
        {"q\"&<", " a=\"q&quot;&amp;&lt;\""},
        {"t\tn\nr\r", " a=\"t&#9;n&#10;r&#13;\""},
        {"\xC3\xA9", " a=\"\xC3\xA9\""},
        {"\x01", " a.b64=\"AQ==\""},
        {"\xC3", " a.b64=\"ww==\""},
        {"\xEF\xBF\xBE", " a.b64=\"77++\""},
    };
    for (const auto& c : cases) {
        std::string out;
        appendAttribute(out, "a", c.value);
        EXPECT_EQ(out, c.written) << c.value;
    }
}

TEST(XmlText, OnlyWellFormedUtf8WithoutForbiddenControlsIsXmlText) {
    EXPECT_TRUE(isXmlText("tab\tlf\ncr\r \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(isXmlText(std::string("nul\0", 4)));
    EXPECT_FALSE(isXmlText("\xC0\x80"));         // overlong
    EXPECT_FALSE(isXmlText("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(isXmlText("\xF4\x90\x80\x80")); // beyond U+10FFFF
    EXPECT_FALSE(isXmlText("\xE2\x82"));         // cut short
}
