// api/List.cpp -- the list functions: create, clone, derive and delete lists, register, find, move
// and remove their components, update one list from another.
// Each function is a thin frame: check arguments, resolve handles, delegate, and let guarded() report.
#include <memory>
#include <string>

#include "component/Vocabulary.h"
#include "frame/Boundary.h"
#include "api/Resolve.h"
#include "list/CPropList.h"
#include "list/CPropListManager.h"
#include "method/CMethod.h"
#include "property/CProperty.h"

using namespace qx;

namespace {

std::uint16_t requestedIndex(const HOBJ* pHandle) { return static_cast<std::uint16_t>(*pHandle & 0xFFFFu); }

// Lists that sit in no other list belong to the manager; returns the new list's handle.
HOBJ adoptNew(std::unique_ptr<CPropList> list) { return CPropListManager::instance().adopt(std::move(list)).handle(); }

} // namespace

extern "C" {

QX_API int qxPropListCreate(HOBJ* phList, const char* pName, size_t size, int flags) {
    return guarded([&] {
        if (pName == nullptr || phList == nullptr || size > CPropList::kMaxEntries) throw EInvalidInputParameter();
        *phList = adoptNew(std::make_unique<CPropList>(pName, size, static_cast<std::uint32_t>(flags)));
    });
}

QX_API int qxPropListClone(HOBJ* phList, HOBJ hList, const char* pName) {
    return guarded([&] {
        if (phList == nullptr) throw EInvalidInputParameter();
        const std::string name = pName != nullptr ? pName : "";
        std::unique_ptr<CComponent> copy = resolveList(hList).clone(nullptr, pName ? &name : nullptr, CloneMode::CopyData);
        *phList = adoptNew(std::unique_ptr<CPropList>(static_cast<CPropList*>(copy.release())));
    });
}

QX_API int qxPropListDerive(HOBJ* phList, HOBJ hParentList, const char* pName) {
    return guarded([&] {
        if (phList == nullptr) throw EInvalidInputParameter();
        const std::string name = pName != nullptr ? pName : "";
        *phList = adoptNew(CPropList::derive(resolveList(hParentList), nullptr, pName ? &name : nullptr));
    });
}

QX_API int qxPropListDelete(HOBJ hList) {
    return guarded([&] { CPropListManager::instance().destroyList(resolveList(hList)); });
}

QX_API int qxPropListRegisterProp(HOBJ hList, const char* pName, unsigned int type, size_t valCount, unsigned int flags,
                                  const char* pFormatString, HOBJ* pHandle) {
    return guarded([&] {
        if (pName == nullptr || pHandle == nullptr) throw EInvalidInputParameter();
        const std::uint16_t index = requestedIndex(pHandle);
        CPropList& list = resolveList(hList);
        const std::uint32_t valueType = type & 0xFFFFu;
        if (!isPropertyType(type) || valueType < QX_VT_INT32 || valueType > QX_VT_INT64) throw EInvalidValueType(pName);
        *pHandle = list.registerComponent(
            CProperty::create(valueType, pName, &list, valCount, flags, pFormatString ? pFormatString : ""), index);
    });
}

QX_API int qxPropListRegisterMethod(HOBJ hList, const char* pName, MethodFunction pFunction, CallParam* pUserData,
                                    size_t userDataCount, unsigned int flags, HOBJ* pHandle) {
    return guarded([&] {
        // User data counted but not given would be elements of unknown content: refused, as for callbacks.
        if (pName == nullptr || pHandle == nullptr || (pUserData == nullptr && userDataCount > 0)) {
            throw EInvalidInputParameter();
        }
        const std::uint16_t index = requestedIndex(pHandle);
        CPropList& list = resolveList(hList);
        *pHandle = list.registerComponent(
            std::make_unique<CMethod>(pName, &list, pFunction, pUserData, userDataCount, flags), index);
    });
}

QX_API int qxPropListRegisterList(HOBJ hParentList, HOBJ hList, HOBJ* pHandle) {
    return guarded([&] {
        if (pHandle == nullptr) throw EInvalidInputParameter();
        const std::uint16_t index = requestedIndex(pHandle);
        CPropList& parent = resolveList(hParentList);
        *pHandle = parent.registerList(resolveList(hList), index);
    });
}

QX_API int qxPropListRemoveComp(HOBJ hObj) {
    return guarded([&] { resolveList(hObj).remove(static_cast<std::uint16_t>(hObj & 0xFFFFu)); });
}

QX_API int qxPropListUpdateWithList(HOBJ hDstList, HOBJ hSrcList, uint64_t* pResult) {
    return guarded([&] {
        if (pResult == nullptr) throw EInvalidInputParameter();
        CPropList& dest = resolveList(hDstList);
        *pResult = dest.update(&resolveList(hSrcList));
    });
}

QX_API int qxPropListFindComp(HOBJ* phObj, HOBJ hList, const char* pName, unsigned int searchMode,
                              unsigned int maxSearchDepth) {
    return guarded([&] {
        if (pName == nullptr || phObj == nullptr) throw EInvalidInputParameter();
        *phObj = resolveListEntry(hList).find(pName, searchMode, maxSearchDepth);
    });
}

QX_API int qxPropListMoveEntries(HOBJ hSrcList, HOBJ hDstList, unsigned int first, unsigned int last,
                                 unsigned int dstIndex, unsigned int mode) {
    return guarded([&] {
        CPropList& source = resolveListEntry(hSrcList);
        CPropList& dest = resolveListEntry(hDstList);
        CPropList::moveEntries(source, dest, static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(last),
                               static_cast<std::uint16_t>(dstIndex), mode);
    });
}

} // extern "C"
