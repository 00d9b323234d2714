// Methods in settings through the C interface: the Method element the writer gives a method (and when it
// gives none), and the reader passing Method elements over in import and update, so a round trip keeps
// every property and never invents or alters a method.
#include <gtest/gtest.h>

#include <string>

#include "ApiTestSupport.h"
#include "ListTestSupport.h"
#include "qxPropHandling.h"

using namespace qxtest;

namespace {

constexpr const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* kVersion = " versionMajor=\"0\" versionMinor=\"1\" versionRelease=\"0\"";

int calls = 0;
int countCall(HOBJ, HOBJ, CallParam*, size_t, CallParam*, size_t) {
    ++calls;
    return 7;
}

HOBJ addMethod(HOBJ list, const char* name, unsigned flags = QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS,
               HOBJ at = QX_INDEX_APPEND) {
    HOBJ h = at;
    EXPECT_EQ(qxPropListRegisterMethod(list, name, countCall, nullptr, 0, flags, &h), 0) << name << ": "
                                                                                        << lastError().text;
    return h;
}

// A forced write the test needs to succeed.
void setForced(HOBJ prop, int32_t value) { ASSERT_EQ(setInt(prop, value, 1), 0) << lastError().text; }

void setParamText(HOBJ h, int id, const char* text) {
    const CallParam in = textIn(text);
    ASSERT_EQ(qxCompSetParam(h, id, &in, 1, 1), 0) << lastError().text;
}

HOBJ byName(HOBJ list, const char* name) { return byText(list, QX_PAR_HANDLE_BY_NAME, name); }

uint32_t nameExists(HOBJ list, const char* name) {
    const CallParam in = textIn(name);
    return static_cast<uint32_t>(param(list, QX_PAR_NAME_EXISTS, &in, 1).value.bits);
}

int64_t call(HOBJ method) {
    int64_t result = 0;
    EXPECT_EQ(qxMethCall(method, nullptr, 0, &result), 0) << lastError().text;
    return result;
}

class SettingMethod : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(qxPropHandlingLibInit(), 1);
        calls = 0;
    }
    void TearDown() override { qxPropHandlingLibDone(); }
};

// "L" (no owner) holds Gain (Int32 = 4) in slot 0 and the method Calc@i in slot 1.
HOBJ makeList(HOBJ* method = nullptr) {
    const HOBJ list = createList("L", 0);
    setForced(addProp(list, "Gain"), 4);
    const HOBJ m = addMethod(list, "Calc@i");
    if (method) *method = m;
    return list;
}

const std::string kGain = "<Property name=\"Gain\" default=\"0\" position=\"0\" flags=\"3\" size=\"1\" "
                          "formatString=\"%d\" valType=\"1\">\n"
                          "<Value index=\"0\" val=\"4\"></Value>\n"
                          "</Property>\n";

} // namespace

TEST_F(SettingMethod, ExtendedXmlWritesTheMethodElement) {
    const HOBJ list = makeList();
    ASSERT_EQ(qxPropListExport(list, "m", QX_SF_RAM | QX_SF_EXTENDED_XML, 0), 0) << lastError().text;
    EXPECT_EQ(ramText("m"), std::string(kDecl) + "<PropList name=\"L\" default=\"0\" flags=\"3\" size=\"2\" parent=\"none\"" +
                                kVersion + ">\n" + kGain +
                                "<Method name=\"Calc@i\" default=\"0\" position=\"1\" flags=\"3\">\n"
                                "</Method>\n"
                                "</PropList>\n");
}

TEST_F(SettingMethod, WhichMethodsAreWrittenAndWithWhat) {
    HOBJ m = 0;
    const HOBJ list = makeList(&m);
    // Without the extended flag no Method element at all.
    ASSERT_EQ(qxPropListExport(list, "plain", QX_SF_RAM, 0), 0);
    EXPECT_EQ(ramText("plain"), std::string(kDecl) + "<PropList name=\"L\" default=\"0\" flags=\"3\" size=\"2\" "
                                                     "parent=\"none\"" + kVersion + ">\n" + kGain + "</PropList>\n");
    // A read-only method is still written (methods are not judged by write access), its texts follow its
    // start tag under their flags, and without layout it keeps only name and default marker.
    addMethod(list, "Ro@v", QX_CF_READ_ACCESS);
    setParamText(m, QX_PAR_DOC_STRING, "adds");
    setParamText(m, QX_PAR_DISPLAY_NAME, "Calc");
    ASSERT_EQ(qxPropListExport(list, "x", QX_SF_RAM | QX_SF_EXTENDED_XML | QX_SF_OMIT_LAYOUT | QX_SF_SKIP_VALUES |
                                              QX_SF_PROCESS_DOC_STRINGS | QX_SF_PROCESS_DISPLAY_NAMES, 0), 0);
    EXPECT_EQ(ramText("x"), std::string(kDecl) + "<PropList name=\"L\" default=\"0\" parent=\"none\"" + kVersion + ">\n" +
                                "<Property name=\"Gain\" default=\"0\" size=\"1\" valType=\"1\">\n</Property>\n"
                                "<Method name=\"Calc@i\" default=\"0\">\n"
                                "<DocString value=\"adds\"></DocString>\n"
                                "<DisplayName value=\"Calc\"></DisplayName>\n"
                                "</Method>\n"
                                "<Method name=\"Ro@v\" default=\"0\">\n"
                                "</Method>\n"
                                "</PropList>\n");
    // cfDisallowSerialize keeps a method out; sfSkipInvisible drops an invisible one.
    const CallParam hide[2] = {u32In(1), u32In(QX_CF_INVISIBLE)};
    ASSERT_EQ(qxCompSetParam(m, QX_PAR_FLAGS, hide, 2, 1), 0) << lastError().text;
    addMethod(list, "No@v", QX_CF_READ_ACCESS | QX_CF_DISALLOW_SERIALIZE);
    ASSERT_EQ(qxPropListExport(list, "y", QX_SF_RAM | QX_SF_EXTENDED_XML | QX_SF_OMIT_LAYOUT | QX_SF_SKIP_VALUES |
                                              QX_SF_SKIP_INVISIBLE | QX_SF_OMIT_DEFAULT_MARKER, 0), 0);
    EXPECT_EQ(ramText("y"), std::string(kDecl) + "<PropList name=\"L\" parent=\"none\"" + kVersion + ">\n" +
                                "<Property name=\"Gain\" size=\"1\" valType=\"1\">\n</Property>\n"
                                "<Method name=\"Ro@v\">\n"
                                "</Method>\n"
                                "</PropList>\n");
}

TEST_F(SettingMethod, ImportPassesMethodsOverAndKeepsTheirSlots) {
    const HOBJ list = makeList();
    addProp(list, "After");
    setForced(byName(list, "After"), 9);
    ASSERT_EQ(qxPropListExport(list, "rt", QX_SF_RAM | QX_SF_EXTENDED_XML | QX_SF_PROCESS_DOC_STRINGS, 0), 0);
    HOBJ imported = 0;
    ASSERT_EQ(qxPropListImport(&imported, "rt", QX_SF_RAM | QX_SF_PROCESS_DOC_STRINGS, 0), 0) << lastError().text;
    // The properties on both sides of the method come back in their slots; the method does not, since
    // a function cannot be rebuilt from text, and its slot stays empty rather than being filled by another.
    EXPECT_EQ(u32Param(imported, QX_PAR_ENTRY_COUNT), 3u);
    EXPECT_EQ(getInt(byName(imported, "Gain")), 4);
    const HOBJ after = byName(imported, "After");
    EXPECT_EQ(after & 0xFFFF, 2u);
    EXPECT_EQ(getInt(after), 9);
    EXPECT_EQ(nameExists(imported, "Calc@i"), 0u);
    // Exporting the import again gives the original document less its Method element.
    ASSERT_EQ(qxPropListExport(imported, "again", QX_SF_RAM | QX_SF_EXTENDED_XML, 0), 0);
    ASSERT_EQ(qxPropListExport(list, "orig", QX_SF_RAM, 0), 0);
    EXPECT_EQ(ramText("again"), ramText("orig"));
}

TEST_F(SettingMethod, UpdateLeavesMethodsAsTheyAreAndAppliesTheRest) {
    HOBJ m = 0;
    const HOBJ list = makeList(&m);
    setParamText(m, QX_PAR_DOC_STRING, "mine");
    // A document whose Method element names the list's method and carries other texts and flags, and
    // whose Property after it must still be applied.
    ASSERT_EQ(qxPropListExport(list, "u", QX_SF_RAM, 0), 0);
    const std::string text = std::string(kDecl) + "<PropList name=\"L\" flags=\"3\">\n"
                             "<Method name=\"Calc@i\" position=\"5\" flags=\"17\">\n"
                             "<DocString value=\"theirs\"></DocString>\n"
                             "<Value index=\"0\" val=\"1\"></Value>\n"
                             "</Method>\n"
                             "<Method name=\"Unknown@v\">\n</Method>\n"
                             "<Property name=\"Gain\" valType=\"1\">\n<Value index=\"0\" val=\"8\"></Value>\n</Property>\n"
                             "</PropList>\n";
    ASSERT_EQ(qxWriteSettingToRAM("u", text.c_str()), 0);
    ASSERT_EQ(qxPropListUpdate(list, "u", QX_SF_RAM | QX_SF_PROCESS_DOC_STRINGS | QX_SF_CREATE_MISSING, 0), 0)
        << lastError().text;
    EXPECT_EQ(getInt(byName(list, "Gain")), 8);
    EXPECT_EQ(m & 0xFFFF, 1u);
    EXPECT_EQ(byName(list, "Calc@i"), m);
    EXPECT_EQ(textParam(m, QX_PAR_DOC_STRING), "mine");
    EXPECT_EQ(u32Param(m, QX_PAR_FLAGS), 3u);
    EXPECT_EQ(nameExists(list, "Unknown@v"), 0u);
    EXPECT_EQ(u32Param(list, QX_PAR_ENTRY_COUNT), 2u);
    // The method still runs its own function.
    EXPECT_EQ(call(m), 7);
    EXPECT_EQ(calls, 1);
}

TEST_F(SettingMethod, UpdateFromItsOwnExportRestoresValuesAndKeepsTheMethod) {
    HOBJ m = 0;
    const HOBJ list = makeList(&m);
    ASSERT_EQ(qxPropListExport(list, "rt", QX_SF_RAM | QX_SF_EXTENDED_XML, 0), 0);
    setForced(byName(list, "Gain"), 100);
    ASSERT_EQ(qxPropListUpdate(list, "rt", QX_SF_RAM | QX_SF_EXTENDED_XML, 0), 0) << lastError().text;
    EXPECT_EQ(getInt(byName(list, "Gain")), 4);
    EXPECT_EQ(byName(list, "Calc@i"), m);
    EXPECT_EQ(call(m), 7);
    ASSERT_EQ(qxPropListExport(list, "rt2", QX_SF_RAM | QX_SF_EXTENDED_XML, 0), 0);
    EXPECT_EQ(ramText("rt2"), ramText("rt"));
}
