// Reading settings through the C interface: update semantics (refused values, unknown components, the
// root checks), import details, the choices for odd documents, and bad input that must fail cleanly.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "ApiTestSupport.h"
#include "ListTestSupport.h"
#include "qxPropHandling.h"

using namespace qxtest;

namespace {

constexpr const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

// Puts text into the RAM store under name (entries are made by an export, then replaced).
void putRam(const char* name, const std::string& text) {
    HOBJ scratch = 0;
    ASSERT_EQ(qxPropListCreate(&scratch, "scratch", 0, 3), 0);
    ASSERT_EQ(qxPropListExport(scratch, name, QX_SF_RAM, 0), 0);
    ASSERT_EQ(qxPropListDelete(scratch), 0);
    ASSERT_EQ(qxWriteSettingToRAM(name, text.c_str()), 0);
}

// A forced write (index < 0: a special value) the test needs to succeed.
void setForced(HOBJ prop, int32_t value, int index = 0) {
    ASSERT_EQ(setIntAt(prop, value, index, 1), 0) << lastError().text;
}

std::string getText(HOBJ prop, int index = 0) {
    size_t size = 0;
    if (qxPropGetValAsStringEx(prop, nullptr, nullptr, &size, index) != 0) return "<error>";
    std::string text(size, '\0');
    EXPECT_EQ(qxPropGetValAsStringEx(prop, nullptr, text.data(), &size, index), 0);
    text.resize(size - 1);
    return text;
}

HOBJ byName(HOBJ list, const char* name) { return byText(list, QX_PAR_HANDLE_BY_NAME, name); }
uint32_t nameExists(HOBJ list, const char* name) {
    const CallParam in = textIn(name);
    return static_cast<uint32_t>(param(list, QX_PAR_NAME_EXISTS, &in, 1).value.bits);
}

HOBJ intProp(HOBJ list, const char* name, size_t count = 1, unsigned flags = 3) {
    HOBJ h = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListRegisterProp(list, name, QX_CT_PROP_INT32, count, flags, nullptr, &h), 0) << lastError().text;
    return h;
}

size_t listCount() {
    // Lists alive: the next list created gets the lowest free ID, so count by probing IDs.
    size_t n = 0;
    for (HOBJ id = 0; id < 64; ++id) n += qxIsPropListValid((id << 16) | 0xFFFF) != 0;
    return n;
}

std::string doc(const std::string& body, const char* root = "<PropList name=\"L\" flags=\"3\">") {
    return std::string(kDecl) + root + "\n" + body + "</PropList>\n";
}

std::string prop(const char* name, const std::string& values, unsigned flags = 3) {
    return std::string("<Property name=\"") + name + "\" flags=\"" + std::to_string(flags) + "\" valType=\"1\">\n" +
           values + "</Property>\n";
}

class SettingRead : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_GE(qxPropHandlingLibInit(), 1); }
    void TearDown() override { qxPropHandlingLibDone(); }
};

} // namespace

TEST_F(SettingRead, UpdateClipsToLimitsAndSkipsUnknownComponents) {
    HOBJ list = 0;
    ASSERT_EQ(qxPropListCreate(&list, "L", 0, 3), 0);
    const HOBJ gain = intProp(list, "Gain", 2);
    setForced(gain, 50, QX_LIM_MAXIMUM);
    setForced(gain, -5, QX_LIM_MINIMUM);
    const HOBJ other = intProp(list, "Other");
    putRam("u", doc(prop("Gain", "<Value index=\"0\" val=\"70\"></Value>\n<Value index=\"1\" val=\"-9\"></Value>\n") +
                    prop("Unknown", "<Value index=\"0\" val=\"1\"></Value>\n") +
                    "<PropList name=\"NoSuchList\" flags=\"3\"><Property name=\"x\" flags=\"3\"/></PropList>\n" +
                    prop("Other", "<Value index=\"0\" val=\"8\"></Value>\n")));
    ASSERT_EQ(qxPropListUpdate(list, "u", QX_SF_RAM, 0), 0) << lastError().text;
    EXPECT_EQ(getInt(gain, 0), 50);
    EXPECT_EQ(getInt(gain, 1), -5);
    EXPECT_EQ(getInt(other), 8); // the rest of the document was applied
    EXPECT_EQ(u32Param(list, QX_PAR_ENTRY_COUNT), 2u);
    // With sfCreateMissing the unknown components are made.
    ASSERT_EQ(qxPropListUpdate(list, "u", QX_SF_RAM | QX_SF_CREATE_MISSING, 0), 0) << lastError().text;
    EXPECT_EQ(getInt(byName(list, "Unknown")), 1);
    const HOBJ made = byName(list, "NoSuchList");
    EXPECT_EQ(u32Param(made, QX_PAR_TYPE), unsigned(QX_CT_LIST));
}

TEST_F(SettingRead, UpdateRootChecksNameAndContentDescriptor) {
    HOBJ list = 0;
    ASSERT_EQ(qxPropListCreate(&list, "L", 0, 3), 0);
    const HOBJ gain = intProp(list, "Gain");
    const std::string body = prop("Gain", "<Value index=\"0\" val=\"4\"></Value>\n");
    putRam("other", doc(body, "<PropList name=\"M\" flags=\"3\">"));
    EXPECT_EQ(qxPropListUpdate(list, "other", QX_SF_RAM, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(lastError().text, "Can't access data 'other'");
    putRam("typed", doc(body, "<PropList contentDescriptor=\"lens\" name=\"M\" flags=\"3\">"));
    EXPECT_EQ(qxPropListUpdate(list, "typed", QX_SF_RAM, 0), PROPHANDLING_INCOMPATIBLE_COMPONENTS);
    EXPECT_EQ(lastError().text, "List 'L' defines a type descriptor of '' while the setting defines one of type 'lens'");
    EXPECT_EQ(getInt(gain), 0); // nothing written
    const CallParam lens = textIn("lens");
    ASSERT_EQ(qxCompSetParam(list, QX_PAR_CONTENT_DESCRIPTOR, &lens, 1, 1), 0);
    ASSERT_EQ(qxPropListUpdate(list, "typed", QX_SF_RAM, 0), 0) << lastError().text; // the descriptor matches, the name may differ
    EXPECT_EQ(getInt(gain), 4);
}

TEST_F(SettingRead, ValueIndexBeyondAFixedSizeIsSkipped) {
    HOBJ list = 0;
    ASSERT_EQ(qxPropListCreate(&list, "L", 0, 3), 0);
    const HOBJ fixed = intProp(list, "F", 3, 3 | QX_CF_FIXED_SIZE);
    putRam("f", doc(prop("F", "<Value index=\"5\" val=\"1\"></Value>\n<Value index=\"1\" val=\"7\"></Value>\n")));
    ASSERT_EQ(qxPropListUpdate(list, "f", QX_SF_RAM, 0), 0);
    EXPECT_EQ(u32Param(fixed, QX_PAR_VALUE_COUNT), 3u);
    EXPECT_EQ(getInt(fixed, 1), 7);
}

TEST_F(SettingRead, ValueTextInPiecesAndCdataIsJoined) {
    HOBJ list = 0;
    ASSERT_EQ(qxPropListCreate(&list, "L", 0, 3), 0);
    HOBJ s = QX_INDEX_APPEND;
    ASSERT_EQ(qxPropListRegisterProp(list, "S", QX_CT_PROP_STRING, 1, 3, nullptr, &s), 0);
    putRam("c", doc("<Property name=\"S\" flags=\"3\" valType=\"4\">\n<Value index=\"0\">a&amp;<![CDATA[<b>]]>c\n"
                    "d</Value>\n</Property>\n"));
    ASSERT_EQ(qxPropListUpdate(list, "c", QX_SF_RAM, 0), 0) << lastError().text;
    EXPECT_EQ(getText(s), "a&<b>c\nd");
}

TEST_F(SettingRead, DefaultMarkerRestoresTheParentsEntryInADerivedList) {
    HOBJ base = 0, derived = 0;
    ASSERT_EQ(qxPropListCreate(&base, "Base", 0, 3), 0);
    const HOBJ gain = intProp(base, "Gain");
    setForced(gain, 3);
    ASSERT_EQ(qxPropListDerive(&derived, base, "L"), 0);
    const HOBJ mine = byName(derived, "Gain");
    setForced(mine, 9); // the derived list takes its own copy
    EXPECT_EQ(getInt(byName(derived, "Gain")), 9);
    putRam("d", doc("<Property name=\"Gain\" default=\"1\" flags=\"3\" valType=\"1\">\n"
                    "<Value index=\"0\" val=\"42\"></Value>\n</Property>\n"));
    ASSERT_EQ(qxPropListUpdate(derived, "d", QX_SF_RAM, 0), 0) << lastError().text;
    EXPECT_EQ(getInt(byName(derived, "Gain")), 3);
    EXPECT_EQ(u32Param(byName(derived, "Gain"), QX_PAR_IS_INHERITED), 1u);
}

TEST_F(SettingRead, ImportBuildsPropertiesWithTheirStoredLayout) {
    putRam("i", doc("<Property name=\"P\" position=\"4\" flags=\"7\" size=\"2\" formatString=\"%04d\" valType=\"1\">\n"
                    "<Value index=\"1\" val=\"12\"></Value>\n</Property>\n"
                    "<Method name=\"m\" position=\"0\" flags=\"3\">\n</Method>\n"
                    "<Property name=\"D\" valType=\"5\">\n<TranslationDictEntry key=\"Max\" value=\"9\">"
                    "</TranslationDictEntry>\n<Value index=\"0\" val=\"Max\"></Value>\n</Property>\n",
                    "<PropList name=\"Imp\" size=\"6\" flags=\"3\">"));
    HOBJ list = 0;
    ASSERT_EQ(qxPropListImport(&list, "i", QX_SF_RAM | QX_SF_PROCESS_TRANSLATION_DICTS, 0), 0) << lastError().text;
    EXPECT_EQ(textParam(list, QX_PAR_NAME), "Imp");
    EXPECT_EQ(u32Param(list, QX_PAR_ENTRY_COUNT), 7u); // D is appended after the six slots
    const HOBJ p = byName(list, "P");
    EXPECT_EQ(p & 0xFFFF, 4u);
    EXPECT_EQ(u32Param(p, QX_PAR_FLAGS), 7u);
    EXPECT_EQ(u32Param(p, QX_PAR_VALUE_COUNT), 2u);
    EXPECT_EQ(getText(p, 1), "0012");
    EXPECT_EQ(nameExists(list, "m"), 0u); // methods are not read
    const HOBJ d = byName(list, "D");
    EXPECT_EQ(getText(d), "Max"); // the entry's text is "Max", not the maximum
    qxValue v{};
    ValBuffer b{QX_VT_INT64, 1, &v};
    ASSERT_EQ(qxPropGetVal(d, &b, 0), 0);
    EXPECT_EQ(v.i64, 9);
    EXPECT_EQ(qxPropGetVal(d, &b, QX_LIM_MAXIMUM), PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS); // no maximum was set
}

TEST_F(SettingRead, ImportExRegistersInTheParentOrLeavesNothing) {
    HOBJ parent = 0;
    ASSERT_EQ(qxPropListCreate(&parent, "Parent", 0, 3), 0);
    putRam("x", doc(prop("P", "<Value index=\"0\" val=\"1\"></Value>\n"), "<PropList name=\"Child\" flags=\"3\">"));
    HOBJ result = 2;
    ASSERT_EQ(qxPropListImportEx(parent, &result, "x", QX_SF_RAM, 0), 0) << lastError().text;
    EXPECT_EQ(result, (parent & 0xFFFF0000u) | 2u);
    EXPECT_EQ(u32Param(byName(parent, "Child"), QX_PAR_TYPE), unsigned(QX_CT_LIST));
    const size_t before = listCount();
    result = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListImportEx(parent, &result, "x", QX_SF_RAM, 0), PROPHANDLING_COMPONENT_ALREADY_REGISTERED);
    EXPECT_EQ(listCount(), before);
    // A failure after the root was built removes the list too (the parent keeps only its first child).
    putRam("late", doc("<Property name=\"Q\" valType=\"9\"/>\n", "<PropList name=\"Late\" flags=\"3\">"));
    EXPECT_EQ(qxPropListImportEx(parent, &result, "late", QX_SF_RAM, 0), PROPHANDLING_INVALID_PROP_VALUE_TYPE);
    EXPECT_EQ(listCount(), before);
    EXPECT_EQ(nameExists(parent, "Late"), 0u);
    HOBJ plain = 0;
    EXPECT_EQ(qxPropListImport(&plain, "late", QX_SF_RAM, 0), PROPHANDLING_INVALID_PROP_VALUE_TYPE);
    EXPECT_EQ(listCount(), before);
}

TEST_F(SettingRead, OddDocumentsFollowTheDocumentedChoices) {
    HOBJ h = 0;
    // Only unrecognised elements: an update succeeds and changes nothing; an import has no root.
    putRam("unknown", std::string(kDecl) + "<Other><PropList name=\"L\"><Property name=\"Gain\"><Value index=\"0\" "
                                            "val=\"5\"/></Property></PropList></Other>\n");
    HOBJ list = 0;
    ASSERT_EQ(qxPropListCreate(&list, "L", 0, 3), 0);
    const HOBJ gain = intProp(list, "Gain");
    EXPECT_EQ(qxPropListUpdate(list, "unknown", QX_SF_RAM, 0), 0) << lastError().text;
    EXPECT_EQ(getInt(gain), 0); // known elements inside an unknown one are ignored
    EXPECT_EQ(qxPropListImport(&h, "unknown", QX_SF_RAM, 0), PROPHANDLING_INVALID_FILE_CONTENT);
    EXPECT_EQ(lastError().text, "The file 'unknown' doesn't contain valid data for this operation (no PropList element)");
    // An invisible, read-only root is still read.
    putRam("inv", doc(prop("Gain", "<Value index=\"0\" val=\"6\"></Value>\n"), "<PropList name=\"L\" flags=\"17\">"));
    ASSERT_EQ(qxPropListUpdate(list, "inv", QX_SF_RAM, 0), 0) << lastError().text;
    EXPECT_EQ(getInt(gain), 6);
    ASSERT_EQ(qxPropListImport(&h, "inv", QX_SF_RAM, 0), 0) << lastError().text;
    EXPECT_EQ(getInt(byName(h, "Gain")), 6);
    // ... but an invisible or read-only component below it is not, unless sfIncludeReadOnly.
    putRam("invprop", doc(prop("Gain", "<Value index=\"0\" val=\"7\"></Value>\n", 19)));
    ASSERT_EQ(qxPropListUpdate(list, "invprop", QX_SF_RAM, 0), 0);
    EXPECT_EQ(getInt(gain), 6);
    ASSERT_EQ(qxPropListUpdate(list, "invprop", QX_SF_RAM | QX_SF_INCLUDE_READ_ONLY, 0), 0);
    EXPECT_EQ(getInt(gain), 7);
}

TEST_F(SettingRead, BadInputFailsWithACodeAndLeavesTheListAlone) {
    HOBJ list = 0;
    ASSERT_EQ(qxPropListCreate(&list, "L", 0, 3), 0);
    const HOBJ gain = intProp(list, "Gain");
    setForced(gain, 11);
    const std::string good = doc(prop("Gain", "<Value index=\"0\" val=\"12\"></Value>\n"));
    std::string nested = std::string(kDecl) + "<PropList name=\"L\" flags=\"3\">";
    for (int i = 0; i < 100000; ++i) nested += "<PropList name=\"n\" flags=\"3\">";
    std::string deepUnknown = std::string(kDecl) + "<PropList name=\"L\" flags=\"3\">";
    for (int i = 0; i < 100000; ++i) deepUnknown += "<X>";
    for (int i = 0; i < 100000; ++i) deepUnknown += "</X>";
    deepUnknown += "</PropList>";
    const struct {
        const char* what;
        std::string text;
        unsigned flags;
        int code;
        bool unchanged; // values read before a late failure stay written
    } cases[] = {
        {"truncated", good.substr(0, good.size() - 20), QX_SF_RAM, PROPHANDLING_INVALID_FILE_CONTENT, false},
        {"not xml", "Gain=12", QX_SF_RAM, PROPHANDLING_INVALID_FILE_CONTENT, true},
        {"wrong root name", doc("", "<PropList name=\"X\">"), QX_SF_RAM, PROPHANDLING_LIST_CANT_ACCESS_DATA, true},
        {"invalid utf-8", doc("", "<PropList name=\"L\xC3\">"), QX_SF_RAM, PROPHANDLING_INVALID_FILE_CONTENT, true},
        {"nested lists", nested, QX_SF_RAM | QX_SF_CREATE_MISSING, PROPHANDLING_INVALID_FILE_CONTENT, true},
        {"huge list size", doc("<PropList name=\"big\" size=\"99999999\"></PropList>\n"), QX_SF_RAM | QX_SF_CREATE_MISSING,
         PROPHANDLING_INVALID_FILE_CONTENT, true},
        {"huge value index", doc(prop("New", "<Value index=\"2000000000\" val=\"1\"></Value>\n")),
         QX_SF_RAM | QX_SF_CREATE_MISSING, PROPHANDLING_INVALID_FILE_CONTENT, true},
    };
    for (const auto& c : cases) {
        putRam("bad", c.text);
        EXPECT_EQ(qxPropListUpdate(list, "bad", c.flags, 0), c.code) << c.what << ": " << lastError().text;
        if (c.unchanged) EXPECT_EQ(getInt(gain), 11) << c.what;
        else EXPECT_EQ(getInt(gain), 12) << c.what;
        setForced(gain, 11);
    }
    // Deep unknown nesting is only counted: the run succeeds.
    putRam("deep", deepUnknown);
    EXPECT_EQ(qxPropListUpdate(list, "deep", QX_SF_RAM, 0), 0) << lastError().text;
    // A value of the wrong type is refused by the property and logged; the run goes on.
    putRam("type", doc(prop("Gain", "<Value index=\"0\" val=\"twelve\"></Value>\n")));
    EXPECT_EQ(qxPropListUpdate(list, "type", QX_SF_RAM, 0), 0) << lastError().text;
    // A 100 MB attribute is read like any other.
    HOBJ s = QX_INDEX_APPEND;
    ASSERT_EQ(qxPropListRegisterProp(list, "Big", QX_CT_PROP_STRING, 1, 3, nullptr, &s), 0);
    std::string big = std::string(kDecl) + "<PropList name=\"L\" flags=\"3\">\n<Property name=\"Big\" flags=\"3\" "
                                           "valType=\"4\">\n<Value index=\"0\" val=\"";
    big.append(100u << 20, 'b');
    big += "\"></Value>\n</Property>\n</PropList>\n";
    putRam("big", big);
    big.clear();
    big.shrink_to_fit();
    ASSERT_EQ(qxPropListUpdate(list, "big", QX_SF_RAM, 0), 0) << lastError().text;
    size_t size = 0;
    ASSERT_EQ(qxPropGetValAsStringEx(s, nullptr, nullptr, &size, 0), 0);
    EXPECT_EQ(size, (100u << 20) + 1);
    ASSERT_EQ(qxDeleteSetting("big", QX_SF_RAM, 0), 0);
}

namespace {
HOBJ g_victim = 0;
int g_writes = 0;
// A write callback: counts the writes it sees; with a victim set, deletes that list first.
int onWrite(HOBJ, HOBJ, CallParam*, size_t, CallParam*, size_t) {
    ++g_writes;
    if (g_victim != 0) qxPropListDelete(std::exchange(g_victim, 0));
    return 0;
}
} // namespace

TEST_F(SettingRead, UpdateRunsWriteCallbacksAndStopsWhenOneDestroysTheTree) {
    HOBJ list = 0, other = 0;
    ASSERT_EQ(qxPropListCreate(&list, "L", 0, 3), 0);
    const HOBJ gain = intProp(list, "Gain");
    const HOBJ after = intProp(list, "After");
    HCALLBACK cb = 0;
    ASSERT_EQ(qxCompCreateCallback(QX_CB_PROPERTY_WRITE, &onWrite, nullptr, 0, &cb), 0) << lastError().text;
    ASSERT_EQ(qxCompAttachCallback(gain, cb), 0) << lastError().text;
    putRam("cb", doc(prop("Gain", "<Value index=\"0\" val=\"4\"></Value>\n") +
                     prop("After", "<Value index=\"0\" val=\"5\"></Value>\n")));
    g_writes = 0;
    ASSERT_EQ(qxPropListUpdate(list, "cb", QX_SF_RAM, 0), 0) << lastError().text;
    EXPECT_EQ(g_writes, 1); // the ordinary write path runs the property's write callback
    EXPECT_EQ(getInt(gain), 4);
    ASSERT_EQ(qxPropListCreate(&other, "Other", 0, 3), 0);
    g_victim = other;
    setForced(after, 0);
    EXPECT_EQ(qxPropListUpdate(list, "cb", QX_SF_RAM, 0), PROPHANDLING_COMPONENT_ID_INVALID);
    EXPECT_EQ(lastError().text, "Components were deleted while a callback or method ran; the operation was stopped");
    EXPECT_EQ(getInt(after), 0); // nothing after the stop was applied
    EXPECT_EQ(qxCompDeleteCallback(cb), 0);
}
