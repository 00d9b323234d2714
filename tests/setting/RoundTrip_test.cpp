// Export -> import -> export of random trees gives the same document, for RAM and file storage. The trees
// use every value type, arrays, limits, dictionaries, flags, nested and derived lists, doc strings, display
// names, binary data and texts with quotes, "]]>", markup characters, non-ASCII UTF-8 and control bytes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "qxPropHandling.h"

namespace {

constexpr unsigned kRW = QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS;
constexpr unsigned kAll = QX_SF_PROCESS_TRANSLATION_DICTS | QX_SF_PROCESS_CONSTANTS_DICTS | QX_SF_PROCESS_DOC_STRINGS |
                          QX_SF_PROCESS_DISPLAY_NAMES | QX_SF_INCLUDE_READ_ONLY | QX_SF_DERIVE_FROM_PARENT;

class TreeMaker {
public:
    explicit TreeMaker(unsigned seed) : rng_(seed) {}

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::string text(bool allowOdd) {
        static const char* pieces[] = {"a", "Gain", " ", "\"", "]]>", "<", ">", "&", "\t", "\n", "\xC3\xA9",
                                       "\xE2\x82\xAC", "x", "0", "\r", "\x01", "\x7F", "]]", "'", "=", "%"};
        std::string s;
        const int n = pick(6);
        for (int i = 0; i < n; ++i) {
            const int k = pick(allowOdd ? 21 : 13);
            s += pieces[k];
        }
        return s;
    }

    void setTextParam(HOBJ h, int id, const std::string& value) {
        CallParam in{};
        in.type = QX_PT_STRING;
        in.value.str = const_cast<char*>(value.c_str());
        ASSERT_EQ(qxCompSetParam(h, id, &in, 1, 1), 0);
    }

    void decorate(HOBJ h) {
        if (pick(3) == 0) setTextParam(h, QX_PAR_DOC_STRING, text(true));
        if (pick(3) == 0) setTextParam(h, QX_PAR_DISPLAY_NAME, text(true));
    }

    void setValue(HOBJ p, unsigned type, int index) {
        qxValue slot{};
        std::string s;
        ValBuffer b{type, 1, &slot};
        switch (type) {
        case QX_VT_INT32: slot.i32 = pick(200) - 100; break;
        case QX_VT_DOUBLE: slot.dbl = (pick(20001) - 10000) / 64.0; break;
        case QX_VT_POINTER: slot.bits = static_cast<std::uint64_t>(pick(1 << 30)); break;
        case QX_VT_INT64: slot.i64 = (static_cast<std::int64_t>(pick(1 << 30)) << 20) - 7; break;
        default:
            s = text(true);
            slot.str = s.data();
        }
        ASSERT_EQ(qxPropSetVal(p, &b, index, QX_SETVAL_VALUES, nullptr, 0, 1), 0);
    }

    void addProperty(HOBJ list, const std::string& name) {
        const unsigned type = 1 + static_cast<unsigned>(pick(5));
        const int count = 1 + pick(3);
        unsigned flags = kRW;
        if (pick(6) == 0) flags = QX_CF_READ_ACCESS;
        if (pick(6) == 0) flags |= QX_CF_INVISIBLE;
        const char* format = nullptr;
        if (type == QX_VT_DOUBLE && pick(2) == 0) format = "%.3f";
        if (type == QX_VT_INT64 && pick(2) == 0) format = "%llx";
        HOBJ p = QX_INDEX_APPEND;
        ASSERT_EQ(qxPropListRegisterProp(list, name.c_str(), QX_CT_PROPERTY | type, static_cast<size_t>(count), flags,
                                         format, &p),
                  0);
        decorate(p);
        if ((type == QX_VT_INT32 || type == QX_VT_INT64) && pick(3) == 0) {
            ASSERT_EQ(qxPropRegisterTranslationEntry(p, ("n" + text(false) + "0").c_str(), 5, 1), 0);
            ASSERT_EQ(qxPropRegisterTranslationEntry(p, "other", 7, 1), 0);
            return; // values of a dictionary property stay its entries
        }
        if (type == QX_VT_INT32 && pick(3) == 0) {
            qxValue limit{};
            limit.i32 = 100;
            ValBuffer b{QX_VT_INT32, 1, &limit};
            ASSERT_EQ(qxPropSetVal(p, &b, QX_LIM_MAXIMUM, QX_SETVAL_VALUES, nullptr, 0, 1), 0);
            limit.i32 = -100;
            ASSERT_EQ(qxPropSetVal(p, &b, QX_LIM_MINIMUM, QX_SETVAL_VALUES, nullptr, 0, 1), 0);
        }
        if (type == QX_VT_STRING && pick(4) == 0) { // binary data travels as base64 text
            std::vector<unsigned char> bytes(static_cast<std::size_t>(pick(120)));
            for (auto& byte : bytes) byte = static_cast<unsigned char>(pick(256));
            qxValue block{};
            block.ptr = bytes.data();
            ValBuffer b{QX_VT_STRING, 1, &block};
            CallParam size{};
            size.type = QX_PT_INT32;
            size.value.bits = bytes.size();
            ASSERT_EQ(qxPropSetVal(p, &b, 0, QX_SETVAL_BINARY, &size, 1, 1), 0);
            return;
        }
        for (int i = 0; i < count; ++i) setValue(p, type, i);
    }

    // Fills list with components; nested lists down to depth 0.
    void fill(HOBJ list, int depth) {
        const int members = pick(6);
        std::vector<std::string> subLists;
        for (int i = 0; i < members; ++i) {
            const std::string name = "c" + std::to_string(i) + text(true);
            if (depth > 0 && pick(4) == 0) {
                HOBJ sub = 0;
                ASSERT_EQ(qxPropListCreate(&sub, name.c_str(), static_cast<size_t>(pick(2)), kRW), 0);
                decorate(sub);
                fill(sub, depth - 1);
                HOBJ at = QX_INDEX_APPEND;
                ASSERT_EQ(qxPropListRegisterList(list, sub, &at), 0);
                subLists.push_back(name);
            } else if (!subLists.empty() && pick(5) == 0) { // a list derived from an earlier sibling
                HOBJ base = 0, derived = 0;
                CallParam in{};
                in.type = QX_PT_STRING;
                in.value.str = const_cast<char*>(subLists.front().c_str());
                CallParam out{};
                ASSERT_EQ(qxCompGetParam(list, QX_PAR_HANDLE_BY_NAME, &in, 1, &out, 1), 0);
                CallParam listHandle{};
                ASSERT_EQ(qxCompGetParam(static_cast<HOBJ>(out.value.bits), QX_PAR_LIST_HANDLE, nullptr, 0, &listHandle, 1), 0);
                base = static_cast<HOBJ>(listHandle.value.bits);
                ASSERT_EQ(qxPropListDerive(&derived, base, name.c_str()), 0);
                HOBJ at = QX_INDEX_APPEND;
                ASSERT_EQ(qxPropListRegisterList(list, derived, &at), 0);
            } else {
                addProperty(list, name);
            }
        }
    }

private:
    std::mt19937 rng_;
};

std::string ramText(const char* name) {
    size_t size = 0;
    EXPECT_EQ(qxReadSettingFromRAM(name, nullptr, &size), 0);
    std::string text(size, '\0');
    EXPECT_EQ(qxReadSettingFromRAM(name, text.data(), &size), 0);
    text.resize(size ? size - 1 : 0);
    return text;
}

} // namespace

TEST(SettingRoundTrip, ThousandRandomTreesReadBackToTheSameDocument) {
    ASSERT_GE(qxPropHandlingLibInit(), 1);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("qxroundtrip-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "first").string(); // stored as first.xml
    TreeMaker maker(20261206);
    // How many documents showed each feature: the generator must really produce them.
    std::map<std::string, int> seen;
    const char* features[] = {".b64=", "<![CDATA[", "&quot;", "parent=\"c", "<ConstantsDictEntry", "<TranslationDictEntry",
                              "<DocString", "<DisplayName", "valType=\"1\"", "valType=\"2\"", "valType=\"3\"",
                              "valType=\"4\"", "valType=\"5\"", "index=\"2\"", "flags=\"1\"", "flags=\"19\"",
                              "default=\"1\"", "&#13;", "\xE2\x82\xAC"};
    for (int tree = 0; tree < 1000; ++tree) {
        HOBJ list = 0;
        const std::string name = "tree" + std::to_string(tree) + maker.text(true);
        ASSERT_EQ(qxPropListCreate(&list, name.c_str(), 0, kRW), 0);
        maker.fill(list, 2);
        if (HasFatalFailure()) return;
        ASSERT_EQ(qxPropListExport(list, file.c_str(), QX_SF_RAM | QX_SF_FILE | kAll, 0), 0);
        const std::string first = ramText(file.c_str());
        for (const char* f : features) seen[f] += first.find(f) != std::string::npos;
        for (unsigned location : {unsigned(QX_SF_RAM), unsigned(QX_SF_FILE)}) {
            HOBJ back = 0;
            ASSERT_EQ(qxPropListImport(&back, file.c_str(), location | kAll, 0), 0)
                << "tree " << tree << "\n" << first;
            ASSERT_EQ(qxPropListExport(back, "second", QX_SF_RAM | kAll, 0), 0);
            ASSERT_EQ(ramText("second"), first) << "tree " << tree;
            ASSERT_EQ(qxPropListDelete(back), 0);
        }
        ASSERT_EQ(qxPropListDelete(list), 0);
    }
    for (const char* f : features) EXPECT_GE(seen[f], 20) << f;
    std::filesystem::remove_all(dir);
    qxPropHandlingLibDone();
}
