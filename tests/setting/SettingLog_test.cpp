// The warnings and errors the setting functions log: the texts a support engineer greps for, captured by
// a sink installed in place of the logger.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "frame/Log.h"
#include "qxPropHandling.h"

namespace {

struct Capture final : qx::LogSink {
    std::vector<std::pair<int, std::string>> lines;
    bool isEnabled(int) const noexcept override { return true; }
    void writeV(int messageClass, const char* format, va_list args) override {
        char text[1024];
        std::vsnprintf(text, sizeof text, format, args);
        lines.emplace_back(messageClass, text);
    }
    int count(const std::string& text) const {
        int n = 0;
        for (const auto& line : lines) n += line.second == text;
        return n;
    }
};

class SettingLog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(qxPropHandlingLibInit(), 1);
        previous_ = qx::logSink();
        qx::setLogSink(&capture_);
    }
    void TearDown() override {
        qx::setLogSink(previous_);
        qxPropHandlingLibDone();
    }
    Capture capture_;
    qx::LogSink* previous_ = nullptr;
};

void putRam(const char* name, const char* text) {
    HOBJ scratch = 0;
    ASSERT_EQ(qxPropListCreate(&scratch, "scratch", 0, 3), 0);
    ASSERT_EQ(qxPropListExport(scratch, name, QX_SF_RAM, 0), 0);
    ASSERT_EQ(qxPropListDelete(scratch), 0);
    ASSERT_EQ(qxWriteSettingToRAM(name, text), 0);
}

} // namespace

TEST_F(SettingLog, OverwritingARamSettingIsLoggedOnce) {
    HOBJ list = 0;
    ASSERT_EQ(qxPropListCreate(&list, "L", 0, 3), 0);
    ASSERT_EQ(qxPropListExport(list, "twice", QX_SF_RAM, 0), 0);
    EXPECT_EQ(capture_.lines.size(), 0u);
    ASSERT_EQ(qxPropListExport(list, "twice", QX_SF_RAM, 0), 0);
    EXPECT_EQ(capture_.count("qx::CSetting::doFileOrRAMExport: Overwriting existing setting 'twice' in RAM.\n"), 1);
    EXPECT_EQ(capture_.lines.at(0).first, qx::Warning);
    ASSERT_EQ(qxDeleteSetting("twice", QX_SF_RAM, 0), 0);
}

TEST_F(SettingLog, ReaderWarnsAboutWhatItSkipsClipsAndCannotParse) {
    HOBJ list = 0;
    ASSERT_EQ(qxPropListCreate(&list, "L", 0, 3), 0);
    HOBJ gain = QX_INDEX_APPEND;
    ASSERT_EQ(qxPropListRegisterProp(list, "Gain", QX_CT_PROP_INT32, 1, 3, nullptr, &gain), 0);
    qxValue v{};
    v.i32 = 5;
    ValBuffer b{QX_VT_INT32, 1, &v};
    ASSERT_EQ(qxPropSetVal(gain, &b, QX_LIM_MAXIMUM, QX_SETVAL_VALUES, nullptr, 0, 1), 0);
    putRam("w", "<?xml version=\"1.0\"?>\n<PropList name=\"L\" flags=\"3\">\n"
                "<Property name=\"Gain\" flags=\"3\" valType=\"1\"><Value index=\"0\" val=\"9\"/></Property>\n"
                "<Property name=\"Nope\" flags=\"3\" valType=\"1\"/>\n<PropList name=\"NoList\" flags=\"3\"/>\n"
                "<Property name=\"Gain\" valType=\"1\"/>\n<Method name=\"m\" flags=\"3\"/>\n</PropList>\n");
    ASSERT_EQ(qxPropListUpdate(list, "w", QX_SF_RAM, 0), 0);
    EXPECT_EQ(capture_.count("qx::assignPropValChecked(Gain): WARNING! This property defines a max. value, that is "
                             "smaller than the value stored in the setting. Clipping to maximum.\n"),
              1);
    EXPECT_EQ(capture_.count("qx::CSettingXML::OnStartElement: Property 'Nope' ignored while updating setting.\n"), 1);
    EXPECT_EQ(capture_.count("qx::CSettingXML::OnStartElement: List 'NoList' ignored while updating setting.\n"), 1);
    EXPECT_EQ(capture_.count("qx::CSettingXML::OnStartElement: WARNING! No flags stored in file for component "
                             "Gain(storage flags: 0x00004000). Continue processing component.\n"),
              1);
    EXPECT_EQ(capture_.count("qx::CSettingXML::GetTagType: Unrecognized tag: Method.\n"), 1);
    putRam("broken", "<PropList name=\"L\"><Value>");
    EXPECT_EQ(qxPropListUpdate(list, "broken", QX_SF_RAM, 0), PROPHANDLING_INVALID_FILE_CONTENT);
    EXPECT_EQ(capture_.count("qx::CSetting::doFileOrRAMUpdate: ERROR!!! XML error: 3(no element found).\n"), 1);
    EXPECT_EQ(capture_.lines.back().first, qx::Error);
}
