// Settings in the registry through the exported C interface: round trips of every value type and feature
// through both hives, update semantics, the raw layout of a tree written through the platform registry,
// delete, existence, content descriptor, volatile settings, refused names and values of unexpected types.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "qxPropHandling.h"

using namespace qx::platform;
namespace fs = std::filesystem;

namespace {

constexpr unsigned kRW = QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS;
constexpr unsigned kReg = QX_SF_REGISTRY;
constexpr unsigned kDicts = QX_SF_PROCESS_TRANSLATION_DICTS | QX_SF_PROCESS_CONSTANTS_DICTS;
constexpr const char* kRootPath = "SOFTWARE\\KORVEN\\Settings";

std::string lastText() {
    int code = 0;
    size_t size = 0;
    if (qxPropHandlingGetLastError(&code, nullptr, &size) != 0) return "<no text>";
    std::string text(size, '\0');
    qxPropHandlingGetLastError(&code, text.data(), &size);
    text.resize(size - 1);
    return text;
}

HOBJ createList(const char* name, unsigned flags = kRW) {
    HOBJ h = 0;
    EXPECT_EQ(qxPropListCreate(&h, name, 0, static_cast<int>(flags)), 0) << lastText();
    return h;
}

HOBJ addProp(HOBJ list, const char* name, unsigned type, const char* format = nullptr, unsigned flags = kRW,
             size_t count = 1) {
    HOBJ h = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListRegisterProp(list, name, type, count, flags, format, &h), 0) << name << ": " << lastText();
    return h;
}

HOBJ addList(HOBJ parent, HOBJ list) {
    HOBJ h = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListRegisterList(parent, list, &h), 0) << lastText();
    return h;
}

void setText(HOBJ prop, const std::string& text, int index = 0) {
    qxValue slot{};
    slot.str = const_cast<char*>(text.c_str());
    ValBuffer b{QX_VT_STRING, 1, &slot};
    ASSERT_EQ(qxPropSetVal(prop, &b, index, QX_SETVAL_VALUES, nullptr, 0, 1), 0) << lastText();
}

std::string getText(HOBJ prop, int index = 0) {
    size_t size = 0;
    if (qxPropGetValAsStringEx(prop, nullptr, nullptr, &size, index) != 0) return "<error: " + lastText() + ">";
    std::string text(size, '\0');
    EXPECT_EQ(qxPropGetValAsStringEx(prop, nullptr, text.data(), &size, index), 0);
    text.resize(size - 1);
    return text;
}


CallParam textIn(const char* text) {
    CallParam p{};
    p.type = QX_PT_STRING;
    p.value.str = const_cast<char*>(text);
    return p;
}

std::uint64_t param(HOBJ h, int id) {
    CallParam out{};
    EXPECT_EQ(qxCompGetParam(h, id, nullptr, 0, &out, 1), 0) << "parameter " << id << ": " << lastText();
    return out.value.bits;
}

// The component called name in list (a list handle or a list's entry handle); 0 when there is none.
HOBJ find(HOBJ list, const char* name) {
    const CallParam in = textIn(name);
    CallParam out{};
    if (qxCompGetParam(list, QX_PAR_HANDLE_BY_NAME, &in, 1, &out, 1) != 0) return 0;
    const auto h = static_cast<HOBJ>(out.value.bits);
    return h == 0xFFFFFFFFu ? 0 : h;
}

std::string descriptor(const char* name, unsigned location, unsigned scope) {
    size_t size = 0;
    if (qxSettingGetContentDescriptor(name, location, scope, nullptr, &size) != 0) return "<error: " + lastText() + ">";
    std::string text(size, '\0');
    EXPECT_EQ(qxSettingGetContentDescriptor(name, location, scope, text.data(), &size), 0);
    text.resize(size - 1);
    return text;
}

RegistryKey makeKey(Hive hive, const std::string& path) {
    RegistryKey key;
    EXPECT_EQ(RegistryKey::root(hive).create(path, KeyAccess::ReadWrite, false, key), kRegSuccess) << path;
    return key;
}

void setRaw(const RegistryKey& key, const char* name, std::uint32_t type, const std::string& bytes) {
    ASSERT_EQ(key.setValue(name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size())), kRegSuccess) << name;
}

std::string dword(std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

class RegistrySetting : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qxregset-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ::setenv("QXPROPHANDLING_REGISTRY_DIR", dir_.c_str(), 1);
        closeThreadHives();
        ASSERT_GE(qxPropHandlingLibInit(), 1);
    }
    void TearDown() override {
        qxPropHandlingLibDone();
        closeThreadHives();
        setBootIdSource("/proc/sys/kernel/random/boot_id");
        ::unsetenv("QXPROPHANDLING_REGISTRY_DIR");
        fs::remove_all(dir_);
    }
    // Every file in the registry folder belongs to a hive.
    void expectOnlyHiveFiles() const {
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string leaf = entry.path().filename().string();
            EXPECT_TRUE(leaf.rfind("user.hive", 0) == 0 || leaf.rfind("machine.hive", 0) == 0 || leaf == "boot_id") << leaf;
        }
    }
    fs::path dir_;
};

// "Cam" (descriptor "camera") with one property of each type, an array, a dictionary, a limit and a sub-list.
HOBJ makeCam() {
    const HOBJ cam = createList("Cam");
    const CallParam d = textIn("camera");
    EXPECT_EQ(qxCompSetParam(cam, QX_PAR_CONTENT_DESCRIPTOR, &d, 1, 1), 0);
    setText(addProp(cam, "Count", QX_CT_PROP_INT32, "%04d"), "12");
    setText(addProp(cam, "Gain", QX_CT_PROP_DOUBLE, "%f"), "1.5");
    setText(addProp(cam, "Name", QX_CT_PROP_STRING), "a \"quoted\" name");
    setText(addProp(cam, "Big", QX_CT_PROP_INT64), "1099511627776");
    setText(addProp(cam, "Mask", QX_CT_PROP_INT32, "0x%x"), "0x1f");
    const HOBJ arr = addProp(cam, "Arr", QX_CT_PROP_INT32, nullptr, kRW, 3);
    for (int i = 0; i < 3; ++i) setText(arr, std::to_string(10 * (i + 1)), i);
    const HOBJ mode = addProp(cam, "Mode", QX_CT_PROP_INT32);
    EXPECT_EQ(qxPropRegisterTranslationEntry(mode, "off", 0, 1), 0) << lastText();
    EXPECT_EQ(qxPropRegisterTranslationEntry(mode, "on", 7, 1), 0) << lastText();
    setText(mode, "on");
    const HOBJ sub = createList("Sub");
    addList(cam, sub);
    setText(addProp(sub, "Deep", QX_CT_PROP_STRING), "below");
    return cam;
}

struct Expected {
    const char* path;
    int index;
    const char* text;
};
const Expected kCamValues[] = {
    {"Count", 0, "0012"}, {"Gain", 0, "1.500000"}, {"Name", 0, "a \"quoted\" name"}, {"Big", 0, "1099511627776"},
    {"Mask", 0, "0x1f"},  {"Arr", 0, "10"},        {"Arr", 2, "30"},                  {"Mode", 0, "on"},
};

void expectCam(HOBJ list) {
    for (const Expected& e : kCamValues) {
        const HOBJ h = find(list, e.path);
        ASSERT_NE(h, 0u) << e.path;
        EXPECT_EQ(getText(h, e.index), e.text) << e.path << "[" << e.index << "]";
    }
    EXPECT_EQ(param(find(list, "Arr"), QX_PAR_VALUE_COUNT), 3u);
    EXPECT_EQ(param(find(list, "Mode"), QX_PAR_DICTIONARY_SIZE), 2u);
    const HOBJ sub = find(list, "Sub");
    ASSERT_NE(sub, 0u);
    EXPECT_EQ(getText(find(static_cast<HOBJ>(param(sub, QX_PAR_LIST_HANDLE)), "Deep")), "below");
}

} // namespace

TEST_F(RegistrySetting, EveryTypeRoundTripsThroughBothHives) {
    struct Case {
        unsigned scope;
        unsigned otherScope;
        const char* hiveFile;
    } cases[] = {{0, 7, "machine.hive"}, {7, 0, "user.hive"}, {1, 0, "user.hive"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scope);
        const HOBJ cam = makeCam();
        ASSERT_EQ(qxPropListExport(cam, "app\\cam", kReg | kDicts, c.scope), 0) << lastText();
        EXPECT_TRUE(fs::exists(dir_ / c.hiveFile));
        EXPECT_EQ(qxDoesSettingExist("app\\cam", QX_SF_REGISTRY, c.scope), 0);
        EXPECT_EQ(qxDoesSettingExist("app\\cam", QX_SF_REGISTRY, c.otherScope), PROPHANDLING_LIST_CANT_ACCESS_DATA);
        HOBJ imported = 0;
        ASSERT_EQ(qxPropListImport(&imported, "app\\cam", kReg | kDicts, c.scope), 0) << lastText();
        ASSERT_NE(imported, cam);
        expectCam(imported);
        // Without the dictionary flag the dictionary is not read back.
        HOBJ plain = 0;
        ASSERT_EQ(qxPropListImport(&plain, "app\\cam", kReg, c.scope), 0) << lastText();
        EXPECT_EQ(param(find(plain, "Mode"), QX_PAR_DICTIONARY_SIZE), 0u);
        EXPECT_EQ(qxDeleteSetting("app\\cam", QX_SF_REGISTRY, c.scope), 0) << lastText();
        EXPECT_EQ(qxDoesSettingExist("app\\cam", QX_SF_REGISTRY, c.scope), PROPHANDLING_LIST_CANT_ACCESS_DATA);
        for (HOBJ h : {cam, imported, plain}) qxPropListDelete(h);
    }
    expectOnlyHiveFiles();
}

TEST_F(RegistrySetting, LayoutOfTheStoredKeys) {
    const HOBJ cam = makeCam();
    ASSERT_EQ(qxPropListExport(cam, "cam", kReg, 7), 0) << lastText();
    RegistryKey list;
    ASSERT_EQ(RegistryKey::root(Hive::User).open(std::string(kRootPath) + "\\cam\\Cam", KeyAccess::Read, list), kRegSuccess);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(list.queryValue("contentDescriptor", type, data), kRegSuccess);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data())), "camera");
    RegistryKey arr;
    ASSERT_EQ(list.open("Arr", KeyAccess::Read, arr), kRegSuccess);
    ASSERT_EQ(arr.queryValue("data", type, data), kRegSuccess);
    EXPECT_EQ(type, kRegMultiSz);
    EXPECT_EQ(std::string(data.begin(), data.end()), std::string("10\0" "20\0" "30\0\0", 10));
    ASSERT_EQ(arr.queryValue("position", type, data), kRegSuccess);
    EXPECT_EQ(std::string(data.begin(), data.end()), dword(5));
    ASSERT_EQ(arr.queryValue("type", type, data), kRegSuccess);
    EXPECT_EQ(std::string(data.begin(), data.end()), dword(QX_CT_PROP_INT32));
    RegistryKey sub;
    EXPECT_EQ(list.open("Sub\\Deep", KeyAccess::Read, sub), kRegSuccess);
    // Exactly one list key below the setting key.
    KeyInfo info;
    RegistryKey setting;
    ASSERT_EQ(RegistryKey::root(Hive::User).open(std::string(kRootPath) + "\\cam", KeyAccess::Read, setting), kRegSuccess);
    ASSERT_EQ(setting.queryInfo(info), kRegSuccess);
    EXPECT_EQ(info.subKeys, 1u);
}

TEST_F(RegistrySetting, LongTextIsCutIntoPiecesAndJoinedAgain) {
    const HOBJ list = createList("L");
    const std::string text(600000, 'q');
    setText(addProp(list, "Long", QX_CT_PROP_STRING), text + "end");
    ASSERT_EQ(qxPropListExport(list, "long", kReg, 7), 0) << lastText();
    RegistryKey key;
    ASSERT_EQ(RegistryKey::root(Hive::User).open(std::string(kRootPath) + "\\long\\L\\Long", KeyAccess::Read, key), kRegSuccess);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(key.queryValue("data_0", type, data), kRegSuccess);
    EXPECT_EQ(data.size(), 523263u + 1);
    EXPECT_EQ(key.queryValue("data_1", type, data), kRegSuccess);
    EXPECT_EQ(key.queryValue("data", type, data), kRegFileNotFound);
    HOBJ imported = 0;
    ASSERT_EQ(qxPropListImport(&imported, "long", kReg, 7), 0) << lastText();
    const std::string back = getText(find(imported, "Long"));
    EXPECT_EQ(back.size(), text.size() + 3);
    EXPECT_TRUE(back == text + "end");
}

// A text of seven pieces gives its key thirteen values, more than one batch holds: the key is made with the
// first twelve and gets the last one afterwards, and the text comes back whole.
TEST_F(RegistrySetting, AKeyWithMoreValuesThanABatchGetsThemAll) {
    const HOBJ list = createList("L");
    std::string text;
    for (char piece = 'a'; piece < 'h'; ++piece) text += std::string(523263, piece);
    setText(addProp(list, "Huge", QX_CT_PROP_STRING), text);
    ASSERT_EQ(qxPropListExport(list, "huge", kReg, 7), 0) << lastText();
    RegistryKey key;
    ASSERT_EQ(RegistryKey::root(Hive::User).open(std::string(kRootPath) + "\\huge\\L\\Huge", KeyAccess::Read, key),
              kRegSuccess);
    KeyInfo info;
    ASSERT_EQ(key.queryInfo(info), kRegSuccess);
    EXPECT_EQ(info.values, 13u);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(key.queryValue("formatString", type, data), kRegSuccess);
    ASSERT_EQ(key.queryValue("data_6", type, data), kRegSuccess);
    EXPECT_EQ(data.size(), 523263u + 1);
    EXPECT_EQ(data.front(), 'g');
    HOBJ imported = 0;
    ASSERT_EQ(qxPropListImport(&imported, "huge", kReg, 7), 0) << lastText();
    EXPECT_TRUE(getText(find(imported, "Huge")) == text);
}

TEST_F(RegistrySetting, UpdateWritesStoredValuesAndCreatesOnlyWhenAsked) {
    const HOBJ cam = makeCam();
    ASSERT_EQ(qxPropListExport(cam, "cam", kReg | kDicts, 7), 0) << lastText();
    setText(find(cam, "Gain"), "9.25");
    setText(find(cam, "Arr"), "99", 1);
    ASSERT_EQ(qxPropListRemoveComp(find(cam, "Name")), 0) << lastText();
    const HOBJ extra = addProp(cam, "Extra", QX_CT_PROP_INT32);
    setText(extra, "5");

    ASSERT_EQ(qxPropListUpdate(cam, "cam", kReg, 7), 0) << lastText();
    EXPECT_EQ(getText(find(cam, "Gain")), "1.500000");
    EXPECT_EQ(getText(find(cam, "Arr"), 1), "20");
    EXPECT_EQ(getText(extra), "5");
    EXPECT_EQ(find(cam, "Name"), 0u) << "created without sfCreateMissing";

    ASSERT_EQ(qxPropListUpdate(cam, "cam", kReg | QX_SF_CREATE_MISSING, 7), 0) << lastText();
    ASSERT_NE(find(cam, "Name"), 0u);
    EXPECT_EQ(getText(find(cam, "Name")), "a \"quoted\" name");

    // Walking the list's own entries gives the same values and never creates.
    setText(find(cam, "Gain"), "3");
    ASSERT_EQ(qxPropListRemoveComp(find(cam, "Name")), 0);
    ASSERT_EQ(qxPropListUpdate(cam, "cam", kReg | QX_SF_UPDATE_BY_LIST_ENTRIES | QX_SF_CREATE_MISSING, 7), 0) << lastText();
    EXPECT_EQ(getText(find(cam, "Gain")), "1.500000");
    EXPECT_EQ(find(cam, "Name"), 0u);

    // Nested lists follow the same rule: the walk by list entries creates nothing below either.
    const HOBJ sub = static_cast<HOBJ>(param(find(cam, "Sub"), QX_PAR_LIST_HANDLE));
    ASSERT_EQ(qxPropListRemoveComp(find(sub, "Deep")), 0) << lastText();
    ASSERT_EQ(qxPropListUpdate(cam, "cam", kReg | QX_SF_UPDATE_BY_LIST_ENTRIES | QX_SF_CREATE_MISSING, 7), 0);
    EXPECT_EQ(find(sub, "Deep"), 0u);
    ASSERT_EQ(qxPropListUpdate(cam, "cam", kReg | QX_SF_CREATE_MISSING, 7), 0) << lastText();
    EXPECT_EQ(getText(find(sub, "Deep")), "below");

    // An update looks for the key of the list's own name, not for whatever list the setting holds.
    const HOBJ other = createList("Other");
    const CallParam d = textIn("camera");
    ASSERT_EQ(qxCompSetParam(other, QX_PAR_CONTENT_DESCRIPTOR, &d, 1, 1), 0);
    EXPECT_EQ(qxPropListUpdate(other, "cam", kReg | QX_SF_CREATE_MISSING, 7), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(lastText(), "Can't access data 'SOFTWARE\\KORVEN\\Settings\\cam\\Other'");
}

TEST_F(RegistrySetting, UpdateLeavesReadOnlyEntriesAndChecksTheDescriptor) {
    const HOBJ cam = makeCam();
    const HOBJ fixed = addProp(cam, "Fixed", QX_CT_PROP_INT32, nullptr, QX_CF_READ_ACCESS);
    setText(fixed, "1");
    ASSERT_EQ(qxPropListExport(cam, "cam", kReg | QX_SF_INCLUDE_READ_ONLY, 7), 0) << lastText();
    setText(fixed, "2");
    for (unsigned extraFlags : {0u, static_cast<unsigned>(QX_SF_UPDATE_BY_LIST_ENTRIES)}) {
        ASSERT_EQ(qxPropListUpdate(cam, "cam", kReg | extraFlags, 7), 0) << lastText();
        EXPECT_EQ(getText(fixed), "2") << extraFlags;
    }
    ASSERT_EQ(qxPropListUpdate(cam, "cam", kReg | QX_SF_INCLUDE_READ_ONLY, 7), 0) << lastText();
    EXPECT_EQ(getText(fixed), "1");

    const CallParam other = textIn("scanner");
    ASSERT_EQ(qxCompSetParam(cam, QX_PAR_CONTENT_DESCRIPTOR, &other, 1, 1), 0);
    EXPECT_EQ(qxPropListUpdate(cam, "cam", kReg, 7), PROPHANDLING_INCOMPATIBLE_COMPONENTS);
    EXPECT_EQ(lastText(), "List 'Cam' defines a type descriptor of 'scanner' while the setting defines one of type 'camera'");

    const HOBJ bare = createList("Bare");
    setText(addProp(bare, "V", QX_CT_PROP_INT32), "4");
    ASSERT_EQ(qxPropListExport(bare, "bare", kReg, 7), 0) << lastText();
    EXPECT_EQ(qxPropListUpdate(bare, "bare", kReg, 7), PROPHANDLING_INCOMPATIBLE_COMPONENTS);
    EXPECT_EQ(lastText(), "No content descriptor detected for list 'Bare'");
    EXPECT_EQ(qxPropListUpdate(bare, "nothing", kReg, 7), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(lastText(), "Can't access data 'SOFTWARE\\KORVEN\\Settings\\nothing\\Bare'");
}

TEST_F(RegistrySetting, RawLayoutReadsAnyTree) {
    ::setenv("QX_REGSET_TEST_DIR", "/opt/x", 1);
    const RegistryKey app = makeKey(Hive::User, "SOFTWARE\\Vendor\\App");
    setRaw(app, "Title", kRegSz, std::string("hello\0", 6));
    setRaw(app, "Where", kRegExpandSz, std::string("%QX_REGSET_TEST_DIR%\\bin\0", 25));
    setRaw(app, "Names", kRegMultiSz, std::string("a\0bb\0ccc\0\0", 10));
    setRaw(app, "Count", kRegDword, dword(42));
    const std::int64_t big = 1LL << 40;
    setRaw(app, "Big", kRegQword, std::string(reinterpret_cast<const char*>(&big), 8));
    setRaw(app, "Blob", kRegBinary, "xyz");
    setRaw(app, "Gap", kRegMultiSz, std::string("x\0\0y\0\0", 6)); // strings end at the first empty one
    const RegistryKey child = makeKey(Hive::User, "SOFTWARE\\Vendor\\App\\Child");
    setRaw(child, "Level", kRegDword, dword(3));

    HOBJ list = 0;
    ASSERT_EQ(qxPropListImport(&list, "SOFTWARE\\Vendor\\App", kReg | QX_SF_REGISTRY_RAW_PATH, 7), 0) << lastText();
    EXPECT_EQ(param(list, QX_PAR_NAME) != 0, true);
    const Expected values[] = {{"Title", 0, "hello"}, {"Where", 0, "/opt/x\\bin"}, {"Names", 0, "a"},
                               {"Names", 2, "ccc"},   {"Count", 0, "42"},          {"Big", 0, "1099511627776"}};
    for (const Expected& e : values) EXPECT_EQ(getText(find(list, e.path), e.index), e.text) << e.path;
    EXPECT_EQ(param(find(list, "Count"), QX_PAR_TYPE), static_cast<std::uint64_t>(QX_CT_PROP_INT32));
    EXPECT_EQ(param(find(list, "Big"), QX_PAR_TYPE), static_cast<std::uint64_t>(QX_CT_PROP_INT64));
    EXPECT_EQ(find(list, "Blob"), 0u);
    EXPECT_EQ(param(find(list, "Gap"), QX_PAR_VALUE_COUNT), 1u);
    EXPECT_EQ(param(find(list, "Names"), QX_PAR_VALUE_COUNT), 3u);
    const HOBJ childEntry = find(list, "Child");
    ASSERT_NE(childEntry, 0u);
    EXPECT_EQ(getText(find(static_cast<HOBJ>(param(childEntry, QX_PAR_LIST_HANDLE)), "Level")), "3");

    // Raw update: changed values are written, new ones only with sfCreateMissing.
    setRaw(app, "Count", kRegDword, dword(43));
    setRaw(child, "Level", kRegDword, dword(4));
    setRaw(app, "Later", kRegSz, std::string("new\0", 4));
    ASSERT_EQ(qxPropListUpdate(list, "SOFTWARE\\Vendor\\App", kReg | QX_SF_REGISTRY_RAW_PATH, 7), 0) << lastText();
    EXPECT_EQ(getText(find(list, "Count")), "43");
    EXPECT_EQ(getText(find(static_cast<HOBJ>(param(childEntry, QX_PAR_LIST_HANDLE)), "Level")), "4");
    EXPECT_EQ(find(list, "Later"), 0u);
    ASSERT_EQ(qxPropListUpdate(list, "SOFTWARE\\Vendor\\App", kReg | QX_SF_REGISTRY_RAW_PATH | QX_SF_CREATE_MISSING, 7), 0);
    EXPECT_EQ(getText(find(list, "Later")), "new");
    // The raw path is read in the hive the scope names.
    EXPECT_EQ(qxPropListImport(&list, "SOFTWARE\\Vendor\\App\\Missing", kReg | QX_SF_REGISTRY_RAW_PATH, 7),
              PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(qxPropListImport(&list, "SOFTWARE\\Vendor\\App", kReg | QX_SF_REGISTRY_RAW_PATH, 0),
              PROPHANDLING_LIST_CANT_ACCESS_DATA);
    ::unsetenv("QX_REGSET_TEST_DIR");
}

TEST_F(RegistrySetting, DeleteExistsAndDescriptor) {
    const HOBJ cam = makeCam();
    ASSERT_EQ(qxPropListExport(cam, "group\\cam", kReg, 0), 0) << lastText();
    EXPECT_EQ(descriptor("group\\cam", QX_SF_REGISTRY, 0), "camera");
    EXPECT_EQ(descriptor("group\\cam", QX_SF_REGISTRY, 7).rfind("<error: Can't access data", 0), 0u);
    // A raw path names a key whose last part is also the list key below it (names compare without case).
    EXPECT_EQ(descriptor((std::string(kRootPath) + "\\group\\cam").c_str(), QX_SF_REGISTRY | QX_SF_REGISTRY_RAW_PATH, 0),
              "camera");
    EXPECT_EQ(descriptor((std::string(kRootPath) + "\\group").c_str(), QX_SF_REGISTRY | QX_SF_REGISTRY_RAW_PATH, 0),
              "<error: Can't access data 'SOFTWARE\\KORVEN\\Settings\\group\\group'>");
    const HOBJ bare = createList("Bare");
    ASSERT_EQ(qxPropListExport(bare, "bare", kReg, 0), 0) << lastText();
    EXPECT_EQ(descriptor("bare", QX_SF_REGISTRY, 0), "<error: No content descriptor detected for list 'Bare'>");

    EXPECT_EQ(qxDeleteSetting("group\\cam", QX_SF_REGISTRY | QX_SF_REGISTRY_RAW_PATH, 0), 0) << lastText();
    EXPECT_EQ(qxDoesSettingExist("group\\cam", QX_SF_REGISTRY, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(qxDoesSettingExist("group", QX_SF_REGISTRY, 0), 0) << "only the setting key goes";
    EXPECT_EQ(qxDeleteSetting("group\\cam", QX_SF_REGISTRY, 0), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(lastText(), "Could not delete subkey 'group\\cam'. SHDeleteKey returned 2");
    EXPECT_EQ(qxDeleteSetting("bare", QX_SF_REGISTRY, 7), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(qxDoesSettingExist("bare", QX_SF_REGISTRY, 0), 0);
}

TEST_F(RegistrySetting, ExportReplacesTheWholeSettingOrNothing) {
    const HOBJ cam = makeCam();
    ASSERT_EQ(qxPropListExport(cam, "cam", kReg, 7), 0) << lastText();
    // A second export of another list replaces the first entirely (one list key only).
    const HOBJ other = createList("Other");
    setText(addProp(other, "X", QX_CT_PROP_INT32), "1");
    ASSERT_EQ(qxPropListExport(other, "cam", kReg, 7), 0) << lastText();
    HOBJ imported = 0;
    ASSERT_EQ(qxPropListImport(&imported, "cam", kReg, 7), 0) << lastText();
    EXPECT_EQ(getText(find(imported, "X")), "1");
    EXPECT_EQ(find(imported, "Gain"), 0u);
    // An export that fails part way (a list name too long for a key) leaves the setting as it was.
    const HOBJ tooLong = createList(std::string(300, 'n').c_str());
    EXPECT_EQ(qxPropListExport(tooLong, "cam", kReg, 7), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_NE(lastText().find("Can't access data 'SOFTWARE\\KORVEN\\Settings\\cam\\nnn"), std::string::npos) << lastText();
    HOBJ again = 0;
    ASSERT_EQ(qxPropListImport(&again, "cam", kReg, 7), 0) << lastText();
    EXPECT_EQ(getText(find(again, "X")), "1");
}

TEST_F(RegistrySetting, BadNamesAreRefusedAndWriteNothingOutsideTheHives) {
    const HOBJ cam = makeCam();
    const std::string longPart(256, 'k');
    const std::string names[] = {"a\\..\\b", "a\\\\b", "", "\\lead", "trail\\", ".", longPart, "ok\\" + longPart};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(qxPropListExport(cam, name.c_str(), kReg, 7), PROPHANDLING_LIST_CANT_ACCESS_DATA);
        const std::string text = lastText();
        EXPECT_EQ(text.rfind("Can't access data 'SOFTWARE\\KORVEN\\Settings\\", 0), 0u) << text;
        EXPECT_NE(text.find(" ("), std::string::npos) << "a reason follows: " << text;
        HOBJ h = 0;
        EXPECT_EQ(qxPropListImport(&h, name.c_str(), kReg, 7), PROPHANDLING_LIST_CANT_ACCESS_DATA);
        EXPECT_EQ(qxPropListUpdate(cam, name.c_str(), kReg, 7), PROPHANDLING_LIST_CANT_ACCESS_DATA);
        EXPECT_EQ(qxDoesSettingExist(name.c_str(), QX_SF_REGISTRY, 7), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    }
    RegistryKey settings; // nothing of a refused export stays, not even the root it made on the way
    EXPECT_EQ(RegistryKey::root(Hive::User).open(kRootPath, KeyAccess::Read, settings), kRegFileNotFound);
    expectOnlyHiveFiles();
    EXPECT_FALSE(fs::exists(dir_ / "machine.hive"));
}

TEST_F(RegistrySetting, StoredValuesOfUnexpectedTypesAreSkipped) {
    const std::string base = std::string(kRootPath) + "\\odd\\L";
    const RegistryKey list = makeKey(Hive::User, base);
    const auto component = [&](const char* name, std::uint32_t typeCode, std::uint32_t typeOfType) {
        const RegistryKey key = makeKey(Hive::User, base + "\\" + name);
        setRaw(key, "type", typeOfType, typeOfType == kRegDword ? dword(typeCode) : std::string("1\0", 2));
        setRaw(key, "position", kRegDword, dword(0xFFFF));
        setRaw(key, "flags", kRegDword, dword(kRW));
        setRaw(key, "size", kRegDword, dword(1));
        setRaw(key, "default", kRegDword, dword(0));
        setRaw(key, "formatString", kRegSz, std::string("%d\0", 3));
        return key;
    };
    setRaw(component("Good", QX_CT_PROP_INT32, kRegDword), "data", kRegSz, std::string("5\0", 2));
    component("TypeAsText", QX_CT_PROP_INT32, kRegSz);
    component("UnknownType", 0x30000, kRegDword);
    setRaw(component("BinaryData", QX_CT_PROP_INT32, kRegDword), "data", kRegBinary, "\x01\x02");
    const RegistryKey huge = component("Huge", QX_CT_PROP_INT32, kRegDword);
    setRaw(huge, "size", kRegDword, dword(0xFFFFFFFFu));
    setRaw(component("DwordData", QX_CT_PROP_INT32, kRegDword), "data", kRegDword, dword(77));
    HOBJ imported = 0;
    ASSERT_EQ(qxPropListImport(&imported, "odd", kReg, 7), 0) << lastText();
    EXPECT_EQ(getText(find(imported, "Good")), "5");
    EXPECT_EQ(getText(find(imported, "DwordData")), "77");
    EXPECT_EQ(find(imported, "TypeAsText"), 0u);
    EXPECT_EQ(find(imported, "UnknownType"), 0u);
    EXPECT_EQ(find(imported, "Huge"), 0u);
    ASSERT_NE(find(imported, "BinaryData"), 0u);
    EXPECT_EQ(getText(find(imported, "BinaryData")), "0");
}

TEST_F(RegistrySetting, VolatileSettingsVanishAfterARestart) {
    const std::string bootFile = (dir_ / "boot_id").string();
    std::ofstream(bootFile) << "boot-one\n";
    setBootIdSource(bootFile);
    closeThreadHives();
    const HOBJ cam = makeCam();
    ASSERT_EQ(qxPropListExport(cam, "lasting", kReg, 7), 0) << lastText();
    ASSERT_EQ(qxPropListExport(cam, "group\\fleeting", kReg | QX_SF_VOLATILE, 7), 0) << lastText();
    closeThreadHives();
    EXPECT_EQ(qxDoesSettingExist("group\\fleeting", QX_SF_REGISTRY, 7), 0);
    std::ofstream(bootFile) << "boot-two\n";
    closeThreadHives();
    EXPECT_EQ(qxDoesSettingExist("group\\fleeting", QX_SF_REGISTRY, 7), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(qxDoesSettingExist("group", QX_SF_REGISTRY, 7), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    EXPECT_EQ(qxDoesSettingExist("lasting", QX_SF_REGISTRY, 7), 0);
}

TEST_F(RegistrySetting, ImportIntoAParentAndRefusals) {
    const HOBJ cam = makeCam();
    ASSERT_EQ(qxPropListExport(cam, "cam", kReg, 7), 0) << lastText();
    const HOBJ parent = createList("Parent");
    HOBJ result = 2;
    ASSERT_EQ(qxPropListImportEx(parent, &result, "cam", kReg, 7), 0) << lastText();
    EXPECT_EQ(result & 0xFFFF, 2u);
    EXPECT_EQ(find(parent, "Cam"), result);
    result = QX_INDEX_APPEND;
    EXPECT_EQ(qxPropListImportEx(parent, &result, "cam", kReg, 7), PROPHANDLING_COMPONENT_ALREADY_REGISTERED);
    HOBJ h = 0;
    EXPECT_EQ(qxPropListImport(&h, "cam", kReg | QX_SF_DERIVE_FROM_PARENT, 7), PROPHANDLING_UNSUPPORTED_PARAMETER);
    EXPECT_EQ(qxPropListExport(cam, "cam", kReg | QX_SF_DERIVE_FROM_PARENT, 7), PROPHANDLING_UNSUPPORTED_PARAMETER);
    // A list without write access is not written unless read-only entries are asked for: the key stays empty.
    const HOBJ ro = createList("RO", QX_CF_READ_ACCESS);
    ASSERT_EQ(qxPropListExport(ro, "ro", kReg, 7), 0) << lastText();
    EXPECT_EQ(qxDoesSettingExist("ro", QX_SF_REGISTRY, 7), 0);
    EXPECT_EQ(qxPropListImport(&h, "ro", kReg, 7), PROPHANDLING_LIST_CANT_ACCESS_DATA);
    // Registry plus a file copy: both are written.
    const std::string file = (dir_ / "copy.xml").string();
    ASSERT_EQ(qxPropListExport(cam, file.c_str(), kReg | QX_SF_FILE, 7), 0) << lastText();
    EXPECT_TRUE(fs::exists(file));
}
