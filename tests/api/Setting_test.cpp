// The setting functions through the C interface: the exact document, where each storage flag sends a
// setting and what it leaves out, update and import semantics, the RAM store, and the refusals.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ApiTestSupport.h"
#include "ListTestSupport.h"
#include "qxPropHandling.h"

using namespace qxtest;
namespace fs = std::filesystem;

namespace {

constexpr const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* kVersion = " versionMajor=\"0\" versionMinor=\"1\" versionRelease=\"0\"";
constexpr unsigned kRW = QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS;

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void setText(HOBJ prop, const char* text, int index = 0) {
    qxValue slot{};
    slot.str = const_cast<char*>(text);
    ValBuffer b{QX_VT_STRING, 1, &slot};
    ASSERT_EQ(qxPropSetVal(prop, &b, index, QX_SETVAL_VALUES, nullptr, 0, 1), 0) << lastError().text;
}

std::string getText(HOBJ prop, int index = 0) {
    size_t size = 0;
    if (qxPropGetValAsStringEx(prop, nullptr, nullptr, &size, index) != 0) return "<error: " + lastError().text + ">";
    std::string text(size, '\0');
    EXPECT_EQ(qxPropGetValAsStringEx(prop, nullptr, text.data(), &size, index), 0);
    text.resize(size - 1);
    return text;
}

HOBJ addTyped(HOBJ list, const char* name, unsigned type, const char* format = nullptr, unsigned flags = kRW) {
    HOBJ h = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListRegisterProp(list, name, type, 1, flags, format, &h), 0) << name << ": " << lastError().text;
    return h;
}

// The handle of the component called name in list (a list handle or a list entry handle).
HOBJ byName(HOBJ list, const char* name) { return byText(list, QX_PAR_HANDLE_BY_NAME, name); }

void setParamText(HOBJ h, int id, const char* text) {
    const CallParam in = textIn(text);
    ASSERT_EQ(qxCompSetParam(h, id, &in, 1, 1), 0) << lastError().text;
}

class Setting : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qxsetting-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ASSERT_GE(qxPropHandlingLibInit(), 1);
    }
    void TearDown() override {
        qxPropHandlingLibDone();
        ::unsetenv("QXPROPHANDLING_REGISTRY_DIR");
        fs::remove_all(dir_);
    }
    std::string path(const char* leaf) const { return (dir_ / leaf).string(); }
    fs::path dir_;
};

// "Cam" sits in entry 3 of "Top" and holds one Double property.
HOBJ makeCam(HOBJ* camEntry = nullptr) {
    const HOBJ top = createList("Top", 4);
    const HOBJ cam = createList("Cam", 0);
    const HOBJ entry = addList(top, cam, 3);
    if (camEntry) *camEntry = entry;
    const HOBJ gain = addTyped(cam, "Gain", QX_CT_PROP_DOUBLE, "%f");
    setText(gain, "1.5");
    return cam;
}

} // namespace

TEST_F(Setting, SmallListGivesTheExactDocument) {
    const HOBJ cam = makeCam();
    ASSERT_EQ(qxPropListExport(cam, "cam", QX_SF_RAM, 0), 0) << lastError().text;
    EXPECT_EQ(ramText("cam"), std::string(kDecl) +
                                  "<PropList name=\"Cam\" default=\"0\" position=\"3\" flags=\"3\" size=\"1\" parent=\"none\"" +
                                  kVersion + ">\n"
                                  "<Property name=\"Gain\" default=\"0\" position=\"0\" flags=\"3\" size=\"1\" "
                                  "formatString=\"%f\" valType=\"2\">\n"
                                  "<Value index=\"0\" val=\"1.500000\"></Value>\n"
                                  "</Property>\n"
                                  "</PropList>\n");
}

TEST_F(Setting, EmptyListAndListWithoutOwner) {
    const HOBJ empty = createList("Empty", 0);
    setParamText(empty, QX_PAR_CONTENT_DESCRIPTOR, "camera");
    ASSERT_EQ(qxPropListExport(empty, "e", QX_SF_RAM, 0), 0);
    // A list in no list has no entry: no position, its own flags.
    EXPECT_EQ(ramText("e"), std::string(kDecl) + "<PropList contentDescriptor=\"camera\" name=\"Empty\" default=\"0\" "
                                                  "flags=\"3\" size=\"0\" parent=\"none\"" +
                                kVersion + ">\n</PropList>\n");
}

TEST_F(Setting, ValueTextsTakeTheFormTheirCharactersNeed) {
    struct Case {
        const char* text;
        const char* line;
    } cases[] = { // texts: checked below for the cases whose text this file owns
        {"plain", "<Value index=\"0\" val=\"plain\"></Value>"},
        {"", "<Value index=\"0\" val=\"\"></Value>"},
        {"a\tb", "<Value index=\"0\">a\tb</Value>"},
        {"line\nfeed", "<Value index=\"0\">line\nfeed</Value>"},
        {"a<b", "<Value index=\"0\"><![CDATA[a<b]]></Value>"},
        {"x > y & z", "<Value index=\"0\"><![CDATA[x > y & z]]></Value>"},
        {"say \"hi\"", "<Value index=\"0\" val=\"say &quot;hi&quot;\"></Value>"},
        {"a]]>b<", "<Value index=\"0\"><![CDATA[a]]]]><![CDATA[>b<]]></Value>"},
        {"cr\rx", "<Value index=\"0\" val=\"cr&#13;x\"></Value>"},
        {"bell\x07", "<Value index=\"0\" val.b64=\"YmVsbAc=\"></Value>"},
        {"gr\xC3\xBC\xC3\x9F", "<Value index=\"0\" val=\"gr\xC3\xBC\xC3\x9F\"></Value>"},
    };
    for (const Case& c : cases) {
        const HOBJ list = createList("L", 0);
        const HOBJ s = addTyped(list, "S", QX_CT_PROP_STRING);
        setText(s, c.text);
        ASSERT_EQ(qxPropListExport(list, "v", QX_SF_RAM | QX_SF_OMIT_LAYOUT | QX_SF_OMIT_DEFAULT_MARKER, 0), 0);
        const std::string doc = ramText("v");
        EXPECT_NE(doc.find(std::string("<Property name=\"S\" valType=\"4\">\n") + c.line + "\n</Property>\n"),
                  std::string::npos)
            << c.text << "\n" << doc;
        HOBJ back = 0;
        ASSERT_EQ(qxPropListImport(&back, "v", QX_SF_RAM, 0), 0) << lastError().text;
        EXPECT_EQ(getText(byName(back, "S")), c.text);
        ASSERT_EQ(qxPropListDelete(back), 0);
        ASSERT_EQ(qxPropListDelete(list), 0);
    }
}

TEST_F(Setting, AttributeTextsWithQuotesAndMarkupReadBackUnchanged) {
    const HOBJ list = createList("odd \"name\" <&>", 0);
    const HOBJ p = addTyped(list, "p&q", QX_CT_PROP_INT32);
    setParamText(p, QX_PAR_DOC_STRING, "doc with \"quotes\", <tags> & a\ttab\nand lines");
    setParamText(p, QX_PAR_DISPLAY_NAME, "Gr\xC3\xB6\xC3\x9F" "e \x01");
    ASSERT_EQ(qxPropListExport(list, "a", QX_SF_RAM | QX_SF_PROCESS_DOC_STRINGS | QX_SF_PROCESS_DISPLAY_NAMES, 0), 0);
    const std::string doc = ramText("a");
    EXPECT_NE(doc.find("name=\"odd &quot;name&quot; &lt;&amp;>\""), std::string::npos) << doc;
    EXPECT_NE(doc.find("<DisplayName value.b64="), std::string::npos) << doc;
    HOBJ back = 0;
    ASSERT_EQ(qxPropListImport(&back, "a", QX_SF_RAM | QX_SF_PROCESS_DOC_STRINGS | QX_SF_PROCESS_DISPLAY_NAMES, 0), 0)
        << lastError().text;
    EXPECT_EQ(textParam(back, QX_PAR_NAME), "odd \"name\" <&>");
    const HOBJ q = byName(back, "p&q");
    EXPECT_EQ(textParam(q, QX_PAR_DOC_STRING), "doc with \"quotes\", <tags> & a\ttab\nand lines");
    EXPECT_EQ(textParam(q, QX_PAR_DISPLAY_NAME), "Gr\xC3\xB6\xC3\x9F" "e \x01");
}

TEST_F(Setting, DictionariesLimitsAndExtendedKeys) {
    const HOBJ list = createList("L", 0);
    const HOBJ mode = addTyped(list, "Mode", QX_CT_PROP_INT32);
    ASSERT_EQ(qxPropRegisterTranslationEntry(mode, "Off", 0, 1), 0);
    ASSERT_EQ(qxPropRegisterTranslationEntry(mode, "On", 1, 1), 0);
    const HOBJ gain = addTyped(list, "Gain", QX_CT_PROP_INT32);
    const CallParam sizes{};
    (void)sizes;
    qxValue v{};
    v.i32 = 10;
    ValBuffer b{QX_VT_INT32, 1, &v};
    ASSERT_EQ(qxPropSetVal(gain, &b, QX_LIM_MAXIMUM, QX_SETVAL_VALUES, nullptr, 0, 1), 0) << lastError().text;
    const unsigned flags = QX_SF_RAM | QX_SF_PROCESS_TRANSLATION_DICTS | QX_SF_PROCESS_CONSTANTS_DICTS | QX_SF_OMIT_LAYOUT |
                           QX_SF_OMIT_DEFAULT_MARKER;
    ASSERT_EQ(qxPropListExport(list, "d", flags, 0), 0);
    std::string doc = ramText("d");
    EXPECT_NE(doc.find("<Property name=\"Mode\" valType=\"1\">\n"
                       "<TranslationDictEntry key=\"Off\" value=\"0\"></TranslationDictEntry>\n"
                       "<TranslationDictEntry key=\"On\" value=\"1\"></TranslationDictEntry>\n"
                       "<Value index=\"0\" val=\"Off\"></Value>\n</Property>\n"),
              std::string::npos)
        << doc;
    EXPECT_NE(doc.find("<ConstantsDictEntry key=\"-1\" value=\"10\"></ConstantsDictEntry>"), std::string::npos) << doc;
    ASSERT_EQ(qxPropListExport(list, "d", flags | QX_SF_EXTENDED_XML, 0), 0);
    doc = ramText("d");
    EXPECT_NE(doc.find("<ConstantsDictEntry key=\"Max\" value=\"10\"></ConstantsDictEntry>"), std::string::npos) << doc;
    EXPECT_NE(doc.find("<Property name=\"Gain\" size=\"1\" valType=\"1\">"), std::string::npos) << doc;
    // Read back: the maximum holds in the imported list, the dictionary names values.
    HOBJ back = 0;
    ASSERT_EQ(qxPropListImport(&back, "d", flags, 0), 0) << lastError().text;
    v.i32 = 11;
    EXPECT_EQ(qxPropSetVal(byName(back, "Gain"), &b, 0, QX_SETVAL_VALUES, nullptr, 0, 1), PROPHANDLING_PROP_VAL_TOO_LARGE);
    setText(byName(back, "Mode"), "On");
    EXPECT_EQ(getText(byName(back, "Mode")), "On");
}

TEST_F(Setting, StorageFlagsChooseWhereTheTextGoes) {
    const HOBJ cam = makeCam();
    const std::string base = path("cam");
    ASSERT_EQ(qxPropListExport(cam, base.c_str(), 0, 0), 0) << lastError().text;
    EXPECT_TRUE(fs::exists(base + ".xml"));
    EXPECT_NE(qxReadSettingFromRAM(base.c_str(), nullptr, nullptr), 0);
    const std::string both = path("both.txt");
    ASSERT_EQ(qxPropListExport(cam, both.c_str(), QX_SF_FILE | QX_SF_RAM, 0), 0);
    EXPECT_EQ(fileText(both), ramText(both.c_str()));
    EXPECT_EQ(fileText(both), fileText(base + ".xml"));
}

TEST_F(Setting, WhatTheContentFlagsLeaveOut) {
    const HOBJ list = createList("L", 0);
    addTyped(list, "ro", QX_CT_PROP_INT32, nullptr, QX_CF_READ_ACCESS);
    addTyped(list, "ser", QX_CT_PROP_INT32, nullptr, kRW | QX_CF_DISALLOW_SERIALIZE);
    const HOBJ inv = addSubList(list, "inv");
    const CallParam on[] = {u32In(1), u32In(QX_CF_INVISIBLE, QX_PT_FLAGS)};
    ASSERT_EQ(qxCompSetParam(inv, QX_PAR_FLAGS, on, 2, 1), 0) << lastError().text;
    addTyped(static_cast<HOBJ>(handleParam(inv, QX_PAR_LIST_HANDLE)), "deep", QX_CT_PROP_INT32);
    ASSERT_EQ(qxPropListExport(list, "f", QX_SF_RAM, 0), 0);
    std::string doc = ramText("f");
    EXPECT_EQ(doc.find("\"ro\""), std::string::npos);
    EXPECT_EQ(doc.find("\"ser\""), std::string::npos);
    EXPECT_NE(doc.find("<PropList name=\"inv\" default=\"0\" position=\"2\" flags=\"19\""), std::string::npos) << doc;
    EXPECT_NE(doc.find("\"deep\""), std::string::npos);
    ASSERT_EQ(qxPropListExport(list, "f", QX_SF_RAM | QX_SF_INCLUDE_READ_ONLY | QX_SF_SKIP_INVISIBLE | QX_SF_SKIP_VALUES, 0), 0);
    doc = ramText("f");
    EXPECT_NE(doc.find("\"ro\""), std::string::npos);
    EXPECT_EQ(doc.find("\"ser\""), std::string::npos);
    EXPECT_EQ(doc.find("\"inv\""), std::string::npos);
    EXPECT_EQ(doc.find("<Value"), std::string::npos);
}

TEST_F(Setting, ReadOnlyListIsNotExportedWithoutIncludeReadOnly) {
    const HOBJ ro = createList("ro", 0, QX_CF_READ_ACCESS);
    EXPECT_EQ(qxPropListExport(ro, path("ro").c_str(), QX_SF_FILE | QX_SF_RAM, 0), 0);
    EXPECT_FALSE(fs::exists(path("ro.xml")));
    EXPECT_EQ(qxDoesSettingExist(path("ro").c_str(), QX_SF_RAM, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(qxPropListExport(ro, path("ro").c_str(), QX_SF_FILE | QX_SF_INCLUDE_READ_ONLY, 0), 0);
    EXPECT_TRUE(fs::exists(path("ro.xml")));
}

TEST_F(Setting, RamStoreReadWriteExistsDelete) {
    const HOBJ cam = makeCam();
    EXPECT_EQ(qxWriteSettingToRAM("never", "<x/>"), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(lastError().text, "Can't access data 'never'");
    EXPECT_EQ(qxDoesSettingExist("never", QX_SF_RAM, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(lastError().text, "The setting 'never' does not exist at storage location 0x00004000 with scope 0x00000000");
    ASSERT_EQ(qxPropListExport(cam, "r", QX_SF_RAM, 0), 0);
    ASSERT_EQ(qxPropListExport(cam, "r", QX_SF_RAM | QX_SF_SKIP_VALUES, 0), 0);
    EXPECT_EQ(ramText("r").find("<Value"), std::string::npos);
    EXPECT_EQ(qxDoesSettingExist("r", QX_SF_RAM, 0), 0);
    EXPECT_EQ(qxDoesSettingExist("R", QX_SF_RAM, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    ASSERT_EQ(qxWriteSettingToRAM("r", "replaced"), 0);
    EXPECT_EQ(ramText("r"), "replaced");
    size_t size = 3;
    char small[3];
    EXPECT_EQ(qxReadSettingFromRAM("r", small, &size), PROPHANDLING_INPUT_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(lastError().text, "Buffer too small. Got 3 while 9 where needed");
    EXPECT_EQ(qxReadSettingFromRAM("r", small, nullptr), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(lastError().text, "Invalid destination buffer size pointer");
    EXPECT_EQ(qxDeleteSetting("r", QX_SF_RAM, 0), 0);
    EXPECT_EQ(qxDeleteSetting("r", QX_SF_RAM, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(lastError().text, "Could not locate setting 'r' in RAM");
    EXPECT_EQ(qxDeleteSetting("r", 0x5000, 0), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(lastError().text, "Unsupported storage location for 'deleteSetting' operation detected: 0x00005000");
}

TEST_F(Setting, RamStoreSurvivesTheLastRelease) {
    const HOBJ cam = makeCam();
    ASSERT_EQ(qxPropListExport(cam, "keep", QX_SF_RAM, 0), 0);
    while (qxPropHandlingLibDone() > 0) {
    }
    ASSERT_GE(qxPropHandlingLibInit(), 1);
    EXPECT_EQ(qxDoesSettingExist("keep", QX_SF_RAM, 0), 0);
    HOBJ back = 0;
    ASSERT_EQ(qxPropListImport(&back, "keep", QX_SF_RAM, 0), 0) << lastError().text;
    EXPECT_EQ(getText(byName(back, "Gain")), "1.500000");
    ASSERT_EQ(qxDeleteSetting("keep", QX_SF_RAM, 0), 0);
}

TEST_F(Setting, FileDeleteUsesTheNameAsGiven) {
    const HOBJ cam = makeCam();
    const std::string base = path("del");
    ASSERT_EQ(qxPropListExport(cam, base.c_str(), QX_SF_FILE, 0), 0);
    EXPECT_EQ(qxDoesSettingExist(base.c_str(), QX_SF_FILE, 0), 0);
    EXPECT_EQ(qxDeleteSetting(base.c_str(), QX_SF_FILE, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(lastError().text, "Could not locate setting '" + base + "' in file system");
    EXPECT_EQ(qxDeleteSetting((base + ".xml").c_str(), QX_SF_FILE, 0), 0);
    EXPECT_EQ(qxDoesSettingExist(base.c_str(), QX_SF_FILE, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA);
}

TEST_F(Setting, RefusedArgumentsAndFlagCombinations) {
    ::setenv("QXPROPHANDLING_REGISTRY_DIR", dir_.c_str(), 1); // the registry cases reach an empty hive of this test
    const HOBJ cam = makeCam();
    HOBJ h = 0;
    struct Case {
        const char* what;
        int code;
        int expected;
        const char* text;
    } cases[] = {
        {"export null name", qxPropListExport(cam, nullptr, 0, 0), PROPHANDLING_INVALID_INPUT_PARAMETER, nullptr},
        {"import null handle", qxPropListImport(nullptr, "x", QX_SF_RAM, 0), PROPHANDLING_INVALID_INPUT_PARAMETER, nullptr},
        {"importEx null result", qxPropListImportEx(cam, nullptr, "x", QX_SF_RAM, 0), PROPHANDLING_INVALID_INPUT_PARAMETER,
         nullptr},
        {"update null name", qxPropListUpdate(cam, nullptr, QX_SF_RAM, 0), PROPHANDLING_INVALID_INPUT_PARAMETER, nullptr},
        {"export bad list", qxPropListExport(0x7FFFFFFF, "x", QX_SF_RAM, 0), PROPHANDLING_LIST_ID_INVALID, nullptr},
        {"import both", qxPropListImport(&h, "x", 0x5000, 0), PROPHANDLING_INVALID_INPUT_PARAMETER,
         "When trying to update a setting 'sfFile' and 'sfRAM' must not be combined! Storage flags got: 0x00005010"},
        {"update both", qxPropListUpdate(cam, "x", 0x5000, 0), PROPHANDLING_INVALID_INPUT_PARAMETER,
         "When trying to update a setting 'sfFile' and 'sfRAM' must not be combined! Storage flags got: 0x00005000"},
        {"update registry and file", qxPropListUpdate(cam, "x", QX_SF_REGISTRY | QX_SF_FILE, 0),
         PROPHANDLING_INVALID_INPUT_PARAMETER, "One or more of the input parameters are invalid (NULL-pointers?)"},
        {"update registry", qxPropListUpdate(cam, "x", QX_SF_REGISTRY, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA,
         "Can't access data 'SOFTWARE\\KORVEN\\Settings\\x\\Cam'"},
        {"import registry and file", qxPropListImport(&h, "x", QX_SF_REGISTRY | QX_SF_FILE, 0),
         PROPHANDLING_LIST_CANT_ACCESS_DATA, nullptr},
        {"export registry derive", qxPropListExport(cam, "x", QX_SF_REGISTRY | QX_SF_DERIVE_FROM_PARENT, 0),
         PROPHANDLING_UNSUPPORTED_PARAMETER, "Unsupported parameter"},
        {"export raw path", qxPropListExport(cam, "x", QX_SF_RAM | QX_SF_REGISTRY_RAW_PATH, 0),
         PROPHANDLING_UNSUPPORTED_PARAMETER, nullptr},
        {"exists registry", qxDoesSettingExist("x", QX_SF_REGISTRY, 1), PROPHANDLING_LIST_CANT_ACCESS_DATA, nullptr},
        {"delete null", qxDeleteSetting(nullptr, QX_SF_RAM, 0), PROPHANDLING_INVALID_INPUT_PARAMETER,
         "Invalid 'pName' pointer"},
        {"write null buffer", qxWriteSettingToRAM("x", nullptr), PROPHANDLING_INVALID_INPUT_PARAMETER,
         "Invalid 'pBuf' pointer"},
        {"descriptor null size", qxSettingGetContentDescriptor("x", QX_SF_RAM, 0, nullptr, nullptr),
         PROPHANDLING_INVALID_INPUT_PARAMETER, "Either 'pName' or 'pBufSize' are invalid"},
        {"update missing RAM", qxPropListUpdate(cam, "nowhere", QX_SF_RAM, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA,
         "Can't access data 'nowhere'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.code, c.expected) << c.what;
    }
    EXPECT_EQ(qxPropListUpdate(cam, "x", QX_SF_REGISTRY, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(lastError().text, "Can't access data 'SOFTWARE\\KORVEN\\Settings\\x\\Cam'");
    EXPECT_EQ(qxDoesSettingExist("x", QX_SF_REGISTRY, 1), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(lastError().text, "The setting 'x' does not exist at storage location 0x00000001 with scope 0x00000001");
    EXPECT_EQ(qxPropListImport(&h, "x", 0x5000, 0), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(lastError().text,
              "When trying to update a setting 'sfFile' and 'sfRAM' must not be combined! Storage flags got: 0x00005010");
    const HOBJ noSer = createList("noSer", 0, kRW | QX_CF_DISALLOW_SERIALIZE);
    EXPECT_EQ(qxPropListExport(noSer, "x", QX_SF_RAM, 0), PROPHANDLING_CANT_SERIALIZE_DATA);
    EXPECT_EQ(lastError().text, "No serialize rights for list 'noSer'");
}

TEST_F(Setting, ContentDescriptorOfFileAndRamSettings) {
    const HOBJ cam = makeCam();
    setParamText(cam, QX_PAR_CONTENT_DESCRIPTOR, "camera v2");
    ASSERT_EQ(qxPropListExport(cam, path("c").c_str(), QX_SF_FILE | QX_SF_RAM, 0), 0);
    for (unsigned location : {unsigned(QX_SF_FILE), unsigned(QX_SF_RAM), 0u}) {
        size_t size = 0;
        ASSERT_EQ(qxSettingGetContentDescriptor(path("c").c_str(), location, 0, nullptr, &size), 0) << lastError().text;
        EXPECT_EQ(size, 10u);
        char small[9];
        size = sizeof small;
        EXPECT_EQ(qxSettingGetContentDescriptor(path("c").c_str(), location, 0, small, &size),
                  PROPHANDLING_INPUT_BUFFER_TOO_SMALL);
        EXPECT_EQ(size, 10u);
        char buf[10];
        EXPECT_EQ(qxSettingGetContentDescriptor(path("c").c_str(), location, 0, buf, &size), 0);
        EXPECT_STREQ(buf, "camera v2");
    }
    const HOBJ plain = createList("plain", 0);
    ASSERT_EQ(qxPropListExport(plain, "p", QX_SF_RAM, 0), 0);
    size_t size = 0;
    EXPECT_EQ(qxSettingGetContentDescriptor("p", QX_SF_RAM, 0, nullptr, &size), PROPHANDLING_INCOMPATIBLE_COMPONENTS);
    EXPECT_EQ(lastError().text, "No content descriptor detected in setting 'p'");
}

TEST_F(Setting, EmptyOrBrokenFilesAreInvalidContent) {
    const std::string empty = path("empty.xml");
    std::ofstream(empty).close();
    HOBJ h = 0;
    EXPECT_EQ(qxPropListImport(&h, empty.c_str(), QX_SF_FILE, 0), PROPHANDLING_INVALID_FILE_CONTENT);
    EXPECT_EQ(lastError().text, "The file '" + empty + "' doesn't contain valid data for this operation");
    const std::string broken = path("broken.xml");
    std::ofstream(broken) << "<PropList name=\"x\"><Property";
    EXPECT_EQ(qxPropListImport(&h, broken.c_str(), QX_SF_FILE, 0), PROPHANDLING_INVALID_FILE_CONTENT);
    EXPECT_EQ(lastError().text, "The file '" + broken +
                                    "' doesn't contain valid data for this operation (XML error: 5(unclosed token))");
    EXPECT_EQ(qxPropListImport(&h, path("absent").c_str(), QX_SF_FILE, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA);
}

TEST_F(Setting, ZeroPaddedIntegersReadBackAsDecimal) {
    const HOBJ list = createList("Z", 0);
    const HOBJ p = addTyped(list, "p", QX_CT_PROP_INT32, "%04d");
    setText(p, "12");
    qxValue v{};
    v.i32 = 10;
    ValBuffer b{QX_VT_INT32, 1, &v};
    ASSERT_EQ(qxPropSetVal(p, &b, QX_LIM_MAXIMUM, QX_SETVAL_VALUES, nullptr, 0, 1), 0);
    setText(p, "9");
    const unsigned flags = QX_SF_RAM | QX_SF_PROCESS_CONSTANTS_DICTS;
    ASSERT_EQ(qxPropListExport(list, "z", flags, 0), 0);
    EXPECT_NE(ramText("z").find("<ConstantsDictEntry key=\"-1\" value=\"0010\">"), std::string::npos) << ramText("z");
    HOBJ back = 0;
    ASSERT_EQ(qxPropListImport(&back, "z", flags, 0), 0) << lastError().text;
    ASSERT_EQ(qxPropGetVal(byName(back, "p"), &b, QX_LIM_MAXIMUM), 0);
    EXPECT_EQ(v.i32, 10);
    EXPECT_EQ(getText(byName(back, "p")), "0009");
}
