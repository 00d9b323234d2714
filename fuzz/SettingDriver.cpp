// fuzz/SettingDriver.cpp -- drives the setting reader with arbitrary documents through the C interface.
// Besides "no crash", one property is checked: a list that an import accepted exports to a document that
// imports again to a list of the same layout, dictionaries, limits and texts (anything the reader builds,
// the writer can write back). Values are left out of that comparison: an integer written with a
// zero-padded format ("%04d" gives "0012") is read back by the "%i" rules of value texts as octal.
#include "SettingDriver.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "qxPropHandling.h"

namespace {

// Content flags the input may choose; the location is always the RAM store.
constexpr unsigned kChoosable = QX_SF_PROCESS_TRANSLATION_DICTS | QX_SF_CREATE_MISSING | QX_SF_INCLUDE_READ_ONLY |
                                QX_SF_SKIP_VALUES | QX_SF_PROCESS_DOC_STRINGS | QX_SF_PROCESS_CONSTANTS_DICTS |
                                QX_SF_DERIVE_FROM_PARENT | QX_SF_OMIT_LAYOUT | QX_SF_SKIP_INVISIBLE |
                                QX_SF_PROCESS_DISPLAY_NAMES;

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "setting fuzzer: %s\n", what);
    std::abort();
}

// The list an update writes into: a few properties of each kind, a nested list and a derived list.
HOBJ makeTarget() {
    HOBJ list = 0, sub = 0, derived = 0;
    qxPropListCreate(&list, "L", 0, 3);
    const unsigned types[] = {QX_CT_PROP_INT32, QX_CT_PROP_DOUBLE, QX_CT_PROP_STRING, QX_CT_PROP_INT64, QX_CT_PROP_POINTER};
    const char* names[] = {"i", "d", "s", "l", "p"};
    for (int i = 0; i < 5; ++i) {
        HOBJ h = QX_INDEX_APPEND;
        qxPropListRegisterProp(list, names[i], types[i], 2, 3, nullptr, &h);
    }
    HOBJ mode = QX_INDEX_APPEND;
    qxPropListRegisterProp(list, "m", QX_CT_PROP_INT32, 1, 3, nullptr, &mode);
    qxPropRegisterTranslationEntry(mode, "On", 1, 1);
    qxPropRegisterTranslationEntry(mode, "Off", 0, 1);
    qxPropListCreate(&sub, "sub", 0, 3);
    HOBJ h = QX_INDEX_APPEND;
    qxPropListRegisterProp(sub, "i", QX_CT_PROP_INT32, 1, 3, nullptr, &h);
    h = QX_INDEX_APPEND;
    qxPropListRegisterList(list, sub, &h);
    qxPropListDerive(&derived, sub, "derived");
    h = QX_INDEX_APPEND;
    qxPropListRegisterList(list, derived, &h);
    return list;
}

std::string ramText(const char* name) {
    size_t size = 0;
    if (qxReadSettingFromRAM(name, nullptr, &size) != 0) return {};
    std::string text(size, '\0');
    qxReadSettingFromRAM(name, text.data(), &size);
    text.resize(size - 1);
    return text;
}

} // namespace

void runSettingInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return;
    const unsigned flags = ((static_cast<unsigned>(data[0]) << 8 | data[1]) << 3) & kChoosable;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    if (text.find('\0') != std::string::npos) return; // RAM texts end at their first zero byte
    qxPropHandlingLibInit();
    const HOBJ target = makeTarget();
    check(qxPropListExport(target, "fuzz", QX_SF_RAM, 0) == 0, "export of the target failed");
    check(qxWriteSettingToRAM("fuzz", text.c_str()) == 0, "RAM write failed");
    qxPropListUpdate(target, "fuzz", QX_SF_RAM | flags, 0);
    HOBJ imported = 0;
    const unsigned all = QX_SF_RAM | QX_SF_PROCESS_TRANSLATION_DICTS | QX_SF_PROCESS_CONSTANTS_DICTS |
                         QX_SF_PROCESS_DOC_STRINGS | QX_SF_PROCESS_DISPLAY_NAMES | QX_SF_INCLUDE_READ_ONLY |
                         QX_SF_DERIVE_FROM_PARENT;
    if (qxPropListImport(&imported, "fuzz", QX_SF_RAM | flags, 0) == 0) {
        check(qxPropListExport(imported, "first", all, 0) == 0, "export of an imported list failed");
        HOBJ again = 0;
        check(qxPropListImport(&again, "first", all, 0) == 0, "a written document did not import");
        check(qxPropListExport(imported, "first", all | QX_SF_SKIP_VALUES, 0) == 0, "export without values failed");
        check(qxPropListExport(again, "second", all | QX_SF_SKIP_VALUES, 0) == 0, "second export failed");
        check(ramText("second") == ramText("first"), "a written document read back differently");
        qxDeleteSetting("first", QX_SF_RAM, 0);
        qxDeleteSetting("second", QX_SF_RAM, 0);
    }
    qxDeleteSetting("fuzz", QX_SF_RAM, 0);
    qxPropHandlingLibDone(); // the last release destroys every list
}
