// api/Resolve.cpp -- handle resolution for the exported functions: manager slot, list entry, kind. The
// texts are built here and in CPropList::componentAt, nowhere else.
#include "api/Resolve.h"

#include "frame/Eqx.h"
#include "list/CPropList.h"
#include "list/CPropListManager.h"
#include "property/CProperty.h"

namespace qx {

namespace {
std::uint16_t indexOf(HOBJ handle) { return static_cast<std::uint16_t>(handle & 0xFFFFu); }
} // namespace

CPropList& resolveList(HOBJ handle) { return CPropListManager::instance().listFromHandle(handle); }

CComponent& resolveComponent(HOBJ handle, Access access) {
    return resolveList(handle).componentAt(indexOf(handle), access == Access::Notify);
}

CComponent& resolveDesignated(HOBJ handle, Access access) {
    CPropList& list = resolveList(handle);
    if (indexOf(handle) == 0xFFFF) {
        if (access == Access::Notify) notifyFirstAccess(list);
        return list;
    }
    return list.componentAt(indexOf(handle), access == Access::Notify);
}

CPropList& resolveListEntry(HOBJ handle) {
    CComponent& component = resolveComponent(handle);
    if (!isListType(component.type())) throw ENotAList(kindDetail(component, handle));
    return static_cast<CPropList&>(component);
}

CProperty& resolvePropertyForReading(HOBJ handle) {
    CComponent& component = resolveComponent(handle, Access::Notify);
    if (!isPropertyType(component.type())) throw ENotAProperty(kindDetail(component, handle));
    return static_cast<CProperty&>(component);
}

CProperty& resolvePropertyForWriting(HOBJ handle, std::uint32_t rights) {
    CPropList& list = resolveList(handle);
    const CComponent& component = list.componentAt(indexOf(handle), false);
    if (!isPropertyType(component.type())) throw ENotAProperty(kindDetail(component, handle));
    return list.propertyForWriting(indexOf(handle), rights);
}

} // namespace qx
