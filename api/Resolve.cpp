// api/Resolve.cpp -- handle resolution for the exported functions: manager slot, list entry, kind, and
// the first-access notification. The texts are built here and in CPropList::componentAt, nowhere else.
// A first-access notification may run caller code that removes what was just found, so after it the
// lookup starts again from the handle, without a second notification.
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
    CComponent& component = resolveList(handle).componentAt(indexOf(handle));
    if (access == Access::Notify && component.notifyFirstAccess()) return resolveComponent(handle, Access::Quiet);
    return component;
}

CComponent& resolveDesignated(HOBJ handle, Access access) {
    if (indexOf(handle) != 0xFFFF) return resolveComponent(handle, access);
    CPropList& list = resolveList(handle);
    if (access == Access::Notify && list.notifyFirstAccess()) return resolveList(handle);
    return list;
}

CPropList& resolveListEntry(HOBJ handle) {
    CComponent& component = resolveComponent(handle);
    if (!isListType(component.type())) throw ENotAList(kindDetail(component, handle));
    return static_cast<CPropList&>(component);
}

CProperty& resolvePropertyForReadingSlow(HOBJ handle) {
    CComponent& component = resolveComponent(handle, Access::Notify);
    if (!isPropertyType(component.type())) throw ENotAProperty(kindDetail(component, handle));
    return static_cast<CProperty&>(component);
}

CProperty& resolvePropertyForWritingSlow(HOBJ handle, std::uint32_t rights) {
    CPropList* list = &resolveList(handle);
    CComponent* component = &list->componentAt(indexOf(handle));
    if (component->notifyFirstAccess()) {
        list = &resolveList(handle);
        component = &list->componentAt(indexOf(handle));
    }
    if (!isPropertyType(component->type())) throw ENotAProperty(kindDetail(*component, handle));
    return list->propertyForWriting(indexOf(handle), rights);
}

} // namespace qx
