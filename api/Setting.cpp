// api/Setting.cpp -- the setting functions: export, import and update lists as settings in files and the RAM
// store (the registry location answers "not implemented yet"), and the queries of stored settings.
// Each function is a thin frame: check arguments, resolve handles, delegate to CSetting, let guarded() report.
#include <string>

#include "api/Resolve.h"
#include "frame/Boundary.h"
#include "list/CPropList.h"
#include "setting/CSetting.h"
#include "setting/RamStore.h"

using namespace qx;

namespace {

std::string& ramText(const char* pName) {
    auto& store = ramStore();
    const auto it = store.find(std::string_view(pName));
    if (it == store.end()) throw ECantAccessData(std::string("Can't access data '") + pName + "'");
    return it->second;
}

// The text-output rule of the setting functions: the needed size is always reported; a buffer that is too
// small gets nothing and the message names both sizes.
void settingTextOut(const std::string& text, char* pBuf, size_t* pBufSize) {
    const std::size_t needed = text.size() + 1;
    const std::size_t offered = *pBufSize;
    *pBufSize = needed;
    if (pBuf == nullptr) return;
    if (offered < needed)
        throw EPropertyHandling(formatText("Buffer too small. Got %zu while %zu where needed", offered, needed),
                                PROPHANDLING_INPUT_BUFFER_TOO_SMALL);
    text.copy(pBuf, text.size());
    pBuf[text.size()] = '\0';
}

} // namespace

extern "C" {

QX_API int qxPropListExport(HOBJ hList, const char* pName, unsigned int storageFlags, unsigned int scope) {
    return guarded([&] {
        if (pName == nullptr) throw EInvalidInputParameter();
        CSetting(scope).exportList(resolveList(hList), pName, storageFlags);
    });
}

QX_API int qxPropListImport(HOBJ* phList, const char* pName, unsigned int storageFlags, unsigned int scope) {
    return guarded([&] {
        if (pName == nullptr || phList == nullptr) throw EInvalidInputParameter();
        *phList = CSetting(scope).importList(pName, storageFlags, nullptr, 0xFFFF).handle();
    });
}

QX_API int qxPropListImportEx(HOBJ hParentList, HOBJ* pResult, const char* pName, unsigned int storageFlags,
                              unsigned int scope) {
    return guarded([&] {
        if (pName == nullptr || pResult == nullptr) throw EInvalidInputParameter();
        CPropList& parent = resolveList(hParentList);
        const auto position = static_cast<std::uint16_t>(*pResult & 0xFFFF);
        *pResult = CSetting(scope).importList(pName, storageFlags, &parent, position).handleInOwner();
    });
}

QX_API int qxPropListUpdate(HOBJ hList, const char* pName, unsigned int storageFlags, unsigned int scope) {
    return guarded([&] {
        if (pName == nullptr) throw EInvalidInputParameter();
        CSetting(scope).updateList(resolveList(hList), pName, storageFlags);
    });
}

QX_API int qxDeleteSetting(const char* pName, unsigned int location, unsigned int scope) {
    return guarded([&] {
        if (pName == nullptr) throw EInvalidInputParameter("Invalid 'pName' pointer");
        CSetting(scope).deleteSetting(pName, scope, location);
    });
}

QX_API int qxDoesSettingExist(const char* pName, unsigned int location, unsigned int scope) {
    return guarded([&] {
        if (pName == nullptr) throw EInvalidInputParameter("Invalid 'pName' pointer");
        if (!CSetting(scope).settingExists(pName, scope, location))
            throw ECantAccessData(formatText("The setting '%s' does not exist at storage location 0x%08x with scope 0x%08x",
                                             pName, location, scope));
    });
}

QX_API int qxSettingGetContentDescriptor(const char* pName, unsigned int location, unsigned int scope, char* pBuf,
                                         size_t* pBufSize) {
    return guarded([&] {
        if (pName == nullptr || pBufSize == nullptr) throw EInvalidInputParameter("Either 'pName' or 'pBufSize' are invalid");
        settingTextOut(CSetting(scope).contentDescriptor(pName, scope, location), pBuf, pBufSize);
    });
}

QX_API int qxReadSettingFromRAM(const char* pName, char* pBuf, size_t* pBufSize) {
    return guarded([&] {
        if (pName == nullptr) throw EInvalidInputParameter("Invalid 'pName' pointer");
        const std::string& text = ramText(pName);
        if (pBufSize == nullptr) throw EInvalidInputParameter("Invalid destination buffer size pointer");
        settingTextOut(text, pBuf, pBufSize);
    });
}

QX_API int qxWriteSettingToRAM(const char* pName, const char* pBuf) {
    return guarded([&] {
        if (pName == nullptr) throw EInvalidInputParameter("Invalid 'pName' pointer");
        if (pBuf == nullptr) throw EInvalidInputParameter("Invalid 'pBuf' pointer");
        ramText(pName) = pBuf;
    });
}

} // extern "C"
