// api/ComponentParam.cpp -- one row per parameter ID of the component parameter functions. Each row
// resolves what it needs (api/Resolve.h), computes its result into a local element and writes pOut[0]
// only at the end, so a failing call writes no result.
// Input elements: numbers are read from the low 32 bits of the value, pointers and texts from all 64 bits,
// the user value (29) from all 64 bits. A row that reads an element the caller did not pass (pIn null or
// inCount too small) fails with EInvalidInputParameter rather than reading past the caller's array.
#include "api/ComponentParam.h"

#include <bit>
#include <string>
#include <string_view>

#include "component/CComponent.h"
#include "component/Vocabulary.h"
#include "frame/Eqx.h"
#include "api/Resolve.h"
#include "frame/StringOutput.h"
#include "list/CPropList.h"
#include "method/CMethod.h"
#include "property/CProperty.h"

namespace qx {

namespace {

constexpr HOBJ noHandle = 0xFFFFFFFFu;

EWrongParamCount wrongCount(int expected, std::size_t got) {
    return EWrongParamCount(formatText("Wrong parameter count. Expected: %d, got: %d.", expected, static_cast<int>(got)));
}

// The parameters of one call, with the element accessors every row shares.
struct Call {
    HOBJ handle;
    int id;
    const CallParam* in;
    std::size_t inCount;

    std::uint16_t index() const { return static_cast<std::uint16_t>(handle & 0xFFFFu); }
    const CallParam& input(std::size_t i) const {
        if (in == nullptr || i >= inCount) throw EInvalidInputParameter();
        return in[i];
    }
    std::uint32_t u32(std::size_t i) const { return static_cast<std::uint32_t>(input(i).value.bits); }
    const char* text(std::size_t i) const {
        const char* t = input(i).value.str;
        if (t == nullptr) throw EInvalidInputParameter();
        return t;
    }
};

CPropList& designatedList(HOBJ handle, Access access = Access::Quiet) {
    CComponent& component = resolveDesignated(handle, access);
    if (!isListType(component.type())) throw ENotAList(kindDetail(component, handle));
    return static_cast<CPropList&>(component);
}

CProperty& designatedProperty(HOBJ handle, Access access = Access::Quiet) {
    CComponent& component = resolveDesignated(handle, access);
    if (!isPropertyType(component.type())) throw ENotAProperty(kindDetail(component, handle));
    return static_cast<CProperty&>(component);
}

CMethod& designatedMethod(HOBJ handle) {
    CComponent& component = resolveDesignated(handle);
    if (!isMethodType(component.type())) throw ENotAMethod(kindDetail(component, handle));
    return static_cast<CMethod&>(component);
}

const CPropList* owningList(const CComponent& component) { return dynamic_cast<const CPropList*>(component.owner()); }

// A list's handle inside its owner, 0xFFFFFFFF without one.
HOBJ handleInOwnerOrNone(const CPropList& list) { return owningList(list) != nullptr ? list.handleInOwner() : noHandle; }
// Family links (derived chain, base) point to lists that often have no owner; those answer with their
// own list handle, so that a caller can follow the link.
HOBJ familyHandle(const CPropList* list) { return list != nullptr ? list->handleInOwner() : noHandle; }

// Shared flags of the component plus the entry flags of its placement.
std::uint32_t flagsOf(const CPropList& list, std::uint16_t index, const CComponent& component) {
    std::uint32_t flags = component.flags();
    if (index != 0xFFFF) return flags | list.entryFlags(index);
    if (const CPropList* owner = owningList(component)) flags |= owner->entryFlags(component.index());
    return flags;
}

HOBJ handleByPath(CPropList& start, std::string_view path) {
    HOBJ result = noHandle;
    CPropList* current = &start;
    std::size_t pos = 0;
    while (pos < path.size()) {
        if (path[pos] == '/') {
            ++pos;
            continue;
        }
        const std::size_t end = std::min(path.find('/', pos), path.size());
        const std::string name(path.substr(pos, end - pos));
        pos = end;
        const std::uint16_t index = current->indexOfName(name);
        if (index == 0xFFFF) throw EComponentNotFound(name, current->name());
        CComponent* component = current->entryComponent(index);
        result = current->handleOf(index);
        if (!isListType(component->type())) throw ENotAList(kindDetail(*component, result));
        current = static_cast<CPropList*>(component);
    }
    return result;
}

// Text into the caller's buffer: pOut[0].value is the buffer, the first input element its size.
void textToBuffer(const std::string& text, const Call& call, CallParam& out) {
    std::size_t size = call.u32(0);
    char* buffer = static_cast<char*>(out.value.ptr);
    if (buffer == nullptr) throw EInvalidInputParameter();
    writeStringOut(text, buffer, &size);
    out.type = QX_PT_STRING;
}

// Flag change of a list that sits in no list: its entry-level flags are still in its shared data.
void setFlagOfUnplacedList(CComponent& component, std::uint32_t mask, bool value) {
    if (std::popcount(mask) != 1) {
        throw EInvalidValue(formatText("Property '%s': Only a single component flag can be modified at a given time. "
                                       "bit mask got: 0x%08x",
                                       component.name().c_str(), mask));
    }
    if ((mask & QX_CF_SETTABLE_MASK) == 0) throw noWriteRights(component);
    if (component.sharedData()->setFlag(mask, value, &component)) {
        const bool entryLevel = (mask & QX_CF_ENTRY_MASK) != 0;
        component.raiseChangeNotification(false, entryLevel, !entryLevel, false);
    }
}

} // namespace

void getComponentParam(HOBJ handle, int id, const CallParam* pIn, std::size_t inCount, CallParam* pOut,
                       std::size_t outCount) {
    const bool unresolved = id == QX_PAR_VISIBILITY_VALUE_TEXT || id == QX_PAR_REPRESENTATION_VALUE_TEXT;
    CPropList* list = unresolved ? nullptr : &resolveList(handle);
    if (id < 1 || id > 54 || id == 16 || id == 35 || id == QX_PAR_INVALIDATE) throw EUnsupportedParameter();
    if (pOut == nullptr) throw EInvalidInputParameter();
    const Call call{handle, id, pIn, inCount};
    const std::uint16_t index = call.index();
    CallParam out = pOut[0];
    auto setHandle = [&out](HOBJ h) {
        out.type = QX_PT_HANDLE;
        out.value.bits = h;
    };
    auto setUnsigned = [&out](std::uint32_t type, std::uint64_t v) {
        out.type = type;
        out.value.bits = v;
    };
    auto setInt32 = [&out](std::int32_t v) {
        out.type = QX_PT_INT32;
        out.value.bits = 0;
        out.value.i32 = v;
    };
    auto setText = [&out](const std::string& text) {
        out.type = QX_PT_STRING;
        out.value.str = const_cast<char*>(text.c_str());
    };

    switch (id) {
    case QX_PAR_LIST_HANDLE: setHandle(designatedList(handle).handle()); break;
    case QX_PAR_FIRST_DERIVED_LIST: setHandle(familyHandle(designatedList(handle).firstDerived())); break;
    case QX_PAR_PARENT_LIST: setHandle(handleInOwnerOrNone(*list)); break;
    case QX_PAR_BASE_LIST: setHandle(familyHandle(designatedList(handle).derivedFrom())); break;
    case QX_PAR_NEXT_DERIVED_LIST: setHandle(familyHandle(designatedList(handle).nextDerived())); break;
    case QX_PAR_HANDLE_BY_NAME: {
        const char* name = call.text(0);
        const std::uint16_t found = list->indexOfName(name);
        if (found == 0xFFFF) throw EComponentNotFound(name, list->name());
        setHandle(list->handleOf(found));
        break;
    }
    case QX_PAR_IS_VALID_HANDLE: setUnsigned(QX_PT_UINT32, list->entryComponent(index) != nullptr ? 1 : 0); break;
    case QX_PAR_IS_INHERITED: {
        const CComponent& component = resolveDesignated(handle);
        const bool inherited = isListType(component.type())
                                   ? static_cast<const CPropList&>(component).derivedFrom() != nullptr
                                   : component.owner() != list;
        setUnsigned(QX_PT_UINT32, inherited ? 1 : 0);
        break;
    }
    case QX_PAR_NAME: setText(resolveDesignated(handle).name()); break;
    case QX_PAR_ENTRY_COUNT: setUnsigned(QX_PT_UINT32, designatedList(handle).entryCount()); break;
    case QX_PAR_NEXT_COMPONENT:
        setHandle(list->handleOf(index == 0xFFFF ? std::uint16_t{0xFFFF} : list->nextOccupied(std::size_t{index} + 1)));
        break;
    case QX_PAR_FIRST_COMPONENT: setHandle(list->handleOf(list->nextOccupied(0))); break;
    case QX_PAR_CHANGE_COUNT: {
        const CComponent& component = resolveDesignated(handle);
        setUnsigned(QX_PT_UINT32, static_cast<std::uint32_t>(component.sharedData()->changeCount() + component.changeCount()));
        break;
    }
    case QX_PAR_IS_DEFAULT: {
        bool isDefault;
        if (index == 0xFFFF) {
            isDefault = list->isDefault();
        } else {
            if (index >= list->entryCount()) throw std::out_of_range("parIsDefault");
            isDefault = list->entryIsDefault(index);
        }
        setUnsigned(QX_PT_UINT32, isDefault ? 1 : 0);
        break;
    }
    case QX_PAR_HANDLE_BY_PATH: setHandle(handleByPath(designatedList(handle, Access::Notify), call.text(0))); break;
    case QX_PAR_FLAGS: {
        const CComponent& component = resolveDesignated(handle, Access::Notify);
        setUnsigned(QX_PT_FLAGS, flagsOf(*list, index, component));
        break;
    }
    case QX_PAR_TYPE: setUnsigned(QX_PT_COMPONENT_TYPE, resolveDesignated(handle).type()); break;
    case QX_PAR_NAME_EXISTS: setUnsigned(QX_PT_UINT32, list->indexOfName(call.text(0)) != 0xFFFF ? 1 : 0); break;
    case QX_PAR_ORIGIN: {
        const CComponent& component = resolveDesignated(handle);
        if (isListType(component.type())) {
            setHandle(handleInOwnerOrNone(static_cast<const CPropList&>(component).origin()));
        } else {
            const CPropList* owner = owningList(component);
            setHandle(owner != nullptr ? owner->handleOf(component.index()) : noHandle);
        }
        break;
    }
    case QX_PAR_DOC_STRING: setText(resolveDesignated(handle).sharedData()->docString()); break;
    case QX_PAR_LIST_AUX_TEXT: setText(designatedList(handle).infoText()); break;
    case QX_PAR_METHOD_SUPPRESSED: setInt32(resolveDesignated(handle).methodSuppressed() != 0 ? 1 : 0); break;
    case QX_PAR_COMPONENT_DATA: setUnsigned(QX_PT_COMPONENT_DATA, resolveDesignated(handle).userValue()); break;
    case QX_PAR_CONTENT_DESCRIPTOR: setText(designatedList(handle).contentDescriptor()); break;
    case QX_PAR_VALUE_CHANGE_COUNT: {
        const CComponent& component = resolveDesignated(handle);
        setUnsigned(QX_PT_UINT32,
                    static_cast<std::uint32_t>(component.sharedData()->changeCount() + component.valueChangeCount()));
        break;
    }
    case QX_PAR_FIRST_CHILD: {
        const CPropList& designated = designatedList(handle);
        setHandle(designated.handleOf(designated.nextOccupied(0)));
        break;
    }
    case QX_PAR_FIRST_FREE_ENTRY: setInt32(designatedList(handle).firstFreeEntry()); break;
    case QX_PAR_TYPE_TEXT: textToBuffer(componentTypeText(resolveDesignated(handle).type()), call, out); break;
    case QX_PAR_FLAGS_TEXT: {
        if (inCount != 2) throw wrongCount(2, inCount);
        const CallParam& separator = call.input(1);
        if (separator.type != QX_PT_STRING || separator.value.str == nullptr) throw EInvalidInputParameter();
        const CComponent& component = resolveDesignated(handle, Access::Notify);
        textToBuffer(componentFlagsText(flagsOf(*list, index, component), separator.value.str), call, out);
        break;
    }
    case QX_PAR_USER_DATA:
        out.type = QX_PT_POINTER;
        out.value.ptr = resolveDesignated(handle).sharedData()->userData();
        break;
    case QX_PAR_LAST_COMPONENT: setHandle(list->handleOf(list->lastOccupied())); break;
    case QX_PAR_COUNT_MATCHING: {
        auto optional = [&call](std::size_t i, std::uint32_t type) -> std::uint32_t {
            if (call.in == nullptr || i >= call.inCount || call.in[i].type != type) return 0;
            return static_cast<std::uint32_t>(call.in[i].value.bits);
        };
        const CPropList& designated = designatedList(handle, Access::Notify);
        setUnsigned(QX_PT_UINT32, designated.countMatching(optional(0, QX_PT_FLAGS), optional(1, QX_PT_FLAGS),
                                                           optional(2, QX_PT_UINT32)));
        break;
    }
    case QX_PAR_VISIBILITY: setUnsigned(QX_PT_VISIBILITY, resolveDesignated(handle).sharedData()->visibility()); break;
    case QX_PAR_VISIBILITY_TEXT:
        textToBuffer(visibilityText(resolveDesignated(handle).sharedData()->visibility()), call, out);
        break;
    case QX_PAR_VISIBILITY_VALUE_TEXT:
        if (inCount != 2) throw wrongCount(2, inCount);
        textToBuffer(visibilityText(call.u32(1)), call, out);
        break;
    case QX_PAR_DISPLAY_NAME: setText(resolveDesignated(handle).sharedData()->displayName()); break;
    case QX_PAR_CALLBACK_SUPPRESSED: setInt32(resolveDesignated(handle).callbackSuppressed() != 0 ? 1 : 0); break;
    case QX_PAR_REPRESENTATION:
        setUnsigned(QX_PT_REPRESENTATION, resolveDesignated(handle).sharedData()->representation());
        break;
    case QX_PAR_REPRESENTATION_TEXT:
        textToBuffer(representationText(resolveDesignated(handle).sharedData()->representation()), call, out);
        break;
    case QX_PAR_REPRESENTATION_VALUE_TEXT:
        if (inCount != 2) throw wrongCount(2, inCount);
        textToBuffer(representationText(call.u32(1)), call, out);
        break;
    case QX_PAR_VALUE_COUNT: setUnsigned(QX_PT_UINT32, designatedProperty(handle).valCount()); break;
    case QX_PAR_DICTIONARY_SIZE:
        setUnsigned(QX_PT_UINT32, designatedProperty(handle, Access::Notify).valCnt(1));
        break;
    case QX_PAR_HAS_SPECIAL_VALUE: {
        CProperty& property = designatedProperty(handle, Access::Notify);
        setUnsigned(QX_PT_UINT32, property.hasSpecialValue(static_cast<std::int32_t>(call.u32(0))) ? 1 : 0);
        break;
    }
    case QX_PAR_COMPARE_VALUES: {
        CProperty& property = designatedProperty(handle, Access::Notify);
        setInt32(property.compareValues(designatedProperty(static_cast<HOBJ>(call.u32(0)))));
        break;
    }
    case QX_PAR_FORMAT_STRING: setText(designatedProperty(handle).formatString()); break;
    case QX_PAR_DICTIONARY_ENTRY: {
        if (outCount != 2) throw wrongCount(2, outCount);
        CProperty& property = designatedProperty(handle, Access::Notify);
        CallParam value = pOut[1];
        property.dictionaryEntry(call.u32(0), out, value);
        pOut[1] = value;
        break;
    }
    case QX_PAR_BINARY_SIZE:
        setUnsigned(QX_PT_UINT32, designatedProperty(handle, Access::Notify).binarySize(call.u32(0)));
        break;
    case QX_PAR_DEFAULT_VALUE_COUNT: setUnsigned(QX_PT_UINT32, designatedProperty(handle).defaultValCount()); break;
    case QX_PAR_MAX_VALUE_COUNT: setUnsigned(QX_PT_UINT32, designatedProperty(handle).maxValCount()); break;
    case QX_PAR_BINARY_SIZE_MAX:
        setUnsigned(QX_PT_UINT32, designatedProperty(handle, Access::Notify).binarySizeMax());
        break;
    case QX_PAR_METHOD_SIGNATURE: setText(designatedMethod(handle).signature()); break;
    default: throw EUnsupportedParameter();
    }
    pOut[0] = out;
}

void setComponentParam(HOBJ handle, int id, const CallParam* pIn, std::size_t inCount, std::uint32_t rights) {
    CPropList& list = resolveList(handle);
    int expected = 1;
    switch (id) {
    case QX_PAR_FLAGS: expected = 2; break;
    case QX_PAR_INVALIDATE: expected = 0; break;
    case QX_PAR_VALUE_COUNT:
    case QX_PAR_DOC_STRING:
    case QX_PAR_LIST_AUX_TEXT:
    case QX_PAR_METHOD_SUPPRESSED:
    case QX_PAR_COMPONENT_DATA:
    case QX_PAR_CONTENT_DESCRIPTOR:
    case QX_PAR_DEFAULT_VALUE_COUNT:
    case QX_PAR_MAX_VALUE_COUNT:
    case QX_PAR_USER_DATA:
    case QX_PAR_VISIBILITY:
    case QX_PAR_DISPLAY_NAME:
    case QX_PAR_BINARY_SIZE_MAX:
    case QX_PAR_CALLBACK_SUPPRESSED:
    case QX_PAR_REPRESENTATION: break;
    default: throw EUnsupportedParameter();
    }
    if (id != QX_PAR_INVALIDATE && inCount != static_cast<std::size_t>(expected)) throw wrongCount(expected, inCount);
    const Call call{handle, id, pIn, inCount};
    const std::uint16_t index = call.index();

    switch (id) {
    case QX_PAR_FLAGS: {
        CComponent& component = resolveDesignated(handle, Access::Notify);
        checkWriteRights(rights, component);
        const std::uint32_t mask = call.u32(1);
        const bool value = call.u32(0) != 0;
        if (index != 0xFFFF) {
            list.setEntryFlag(index, mask, value);
        } else if (CPropList* owner = const_cast<CPropList*>(owningList(component))) {
            owner->setEntryFlag(component.index(), mask, value);
        } else {
            setFlagOfUnplacedList(component, mask, value);
        }
        break;
    }
    case QX_PAR_DOC_STRING:
    case QX_PAR_DISPLAY_NAME: {
        const std::string text = call.text(0);
        CComponent& component = resolveDesignated(handle);
        checkWriteRights(rights, component);
        const bool seenThroughDerivation = index == 0xFFFF ? list.derivedFrom() != nullptr : component.owner() != &list;
        if (seenThroughDerivation) throw noWriteRights(component, "(Derived features cannot modify this parameter)");
        CComponentSharedData& data = *component.sharedData();
        const bool changed = id == QX_PAR_DOC_STRING ? data.setDocString(text, &component)
                                                     : data.setDisplayName(text, &component);
        if (changed) component.raiseChangeNotification(true, false, false, false);
        break;
    }
    case QX_PAR_LIST_AUX_TEXT:
    case QX_PAR_CONTENT_DESCRIPTOR: {
        std::string text = call.text(0);
        CPropList& designated = designatedList(handle);
        checkWriteRights(rights, designated);
        if (id == QX_PAR_LIST_AUX_TEXT) {
            designated.setInfoText(std::move(text));
        } else {
            designated.setContentDescriptor(std::move(text));
        }
        break;
    }
    case QX_PAR_METHOD_SUPPRESSED: {
        CComponent& component = resolveDesignated(handle);
        checkWriteRights(rights, component);
        component.setMethodSuppressed(call.u32(0) != 0 ? 1 : 0);
        break;
    }
    case QX_PAR_COMPONENT_DATA: {
        CComponent& component = resolveDesignated(handle);
        component.setUserValue(call.input(0).value.bits);
        component.raiseChangeNotification(true, true, false, false);
        break;
    }
    case QX_PAR_USER_DATA: {
        CComponent& component = resolveDesignated(handle);
        if (component.sharedData()->setUserData(call.input(0).value.ptr, &component)) {
            component.raiseChangeNotification(false, false, false, false);
        }
        break;
    }
    case QX_PAR_VISIBILITY: {
        CComponent& component = resolveDesignated(handle);
        if (component.sharedData()->setVisibility(call.u32(0), &component)) {
            component.raiseChangeNotification(false, false, false, false);
        }
        break;
    }
    case QX_PAR_REPRESENTATION: {
        CComponent& component = resolveDesignated(handle);
        if (component.sharedData()->setRepresentation(call.u32(0), &component)) {
            component.raiseChangeNotification(false, false, false, false);
        }
        break;
    }
    case QX_PAR_INVALIDATE: {
        CComponent& component = resolveDesignated(handle);
        checkWriteRights(rights, component);
        component.invalidate();
        break;
    }
    case QX_PAR_CALLBACK_SUPPRESSED: {
        CComponent& component = resolveDesignated(handle);
        checkWriteRights(rights, component);
        component.setCallbackSuppressed(call.u32(0) != 0 ? 1 : 0);
        break;
    }
    case QX_PAR_VALUE_COUNT: resolvePropertyForWriting(handle, rights).setValCount(call.u32(0), rights); break;
    case QX_PAR_DEFAULT_VALUE_COUNT: resolvePropertyForWriting(handle, rights).setDefaultValCount(call.u32(0)); break;
    case QX_PAR_MAX_VALUE_COUNT: resolvePropertyForWriting(handle, rights).setMaxValCount(call.u32(0), rights); break;
    case QX_PAR_BINARY_SIZE_MAX:
        resolvePropertyForWriting(handle, rights).setBinarySizeMax(call.u32(0), rights);
        break;
    default: throw EUnsupportedParameter(); // every ID without a row was refused above
    }
}

void restoreComponentDefault(HOBJ handle, std::uint32_t rights) {
    resolveList(handle).restoreDefault(static_cast<std::uint16_t>(handle & 0xFFFFu), rights);
}

} // namespace qx
