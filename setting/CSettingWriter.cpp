// setting/CSettingWriter.cpp -- builds the XML document of a list: one line per start tag, no indentation,
// the elements of every component in slot order. The text is plain string appends, not an XML library,
// so the output is exactly the lines documented in docs/formats.md; the few texts that need escaping go
// through setting/XmlText. Methods are written as Method elements with sfExtendedXml (their name and
// layout only: nothing of a method's signature is part of a setting).
#include <array>
#include <charconv>

#include "component/Vocabulary.h"
#include "frame/Log.h"
#include "list/CPropList.h"
#include "platform/ModuleVersion.h"
#include "property/CProperty.h"
#include "property/ValueText.h"
#include "setting/CSetting.h"
#include "setting/XmlText.h"

namespace qx {
namespace {

void appendNumber(std::string& out, long long value) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, r.ptr);
}

void appendNumberAttribute(std::string& out, const char* name, long long value) {
    out += ' ';
    out += name;
    out += "=\"";
    appendNumber(out, value);
    out += '"';
}

void appendTextLines(std::string& out, const CComponent& component, std::uint32_t flags) {
    const CComponentSharedData* shared = component.sharedData();
    if (shared == nullptr) return;
    if ((flags & QX_SF_PROCESS_DOC_STRINGS) != 0 && !shared->docString().empty()) {
        out += "<DocString";
        appendAttribute(out, "value", shared->docString());
        out += "></DocString>\n";
    }
    if ((flags & QX_SF_PROCESS_DISPLAY_NAMES) != 0 && !shared->displayName().empty()) {
        out += "<DisplayName";
        appendAttribute(out, "value", shared->displayName());
        out += "></DisplayName>\n";
    }
}

const char* elementName(const CComponent& component) {
    if (isListType(component.type())) return "PropList";
    if (isMethodType(component.type())) return "Method";
    return "Property";
}

std::string parentName(const CPropList& list) { return list.derivedFrom() ? list.derivedFrom()->name() : "none"; }

const char* constantsKeyName(int key) {
    switch (key) {
    case QX_LIM_MAXIMUM: return "Max";
    case QX_LIM_MINIMUM: return "Min";
    case QX_LIM_STEP_WIDTH: return "Inc";
    case QX_LIM_DEFAULT: return "Default";
    case QX_LIM_BINARY_SIZE_MAX: return "MaxBinaryBufferSize";
    default: return nullptr;
    }
}

void appendPropertyBody(std::string& out, CProperty& property, std::uint32_t flags) {
    const CPropertySharedData& shared = property.propertySharedData();
    const std::uint32_t type = property.valueType();
    const char* format = property.formatString().c_str();
    if ((flags & QX_SF_PROCESS_TRANSLATION_DICTS) != 0 && shared.hasDictionary()) {
        for (const DictionaryEntry& entry : shared.dictionary()) {
            out += "<TranslationDictEntry";
            appendAttribute(out, "key", entry.name);
            appendAttribute(out, "value", valueText(type, entry.value, format));
            out += "></TranslationDictEntry>\n";
        }
    }
    if ((flags & QX_SF_PROCESS_CONSTANTS_DICTS) != 0 && shared.hasLimits()) {
        for (int key = QX_LIM_BINARY_SIZE_MAX; key <= QX_LIM_MAXIMUM; ++key) {
            const qxValue* limit = shared.limit(key);
            if (limit == nullptr) continue;
            out += "<ConstantsDictEntry";
            const char* keyName = (flags & QX_SF_EXTENDED_XML) != 0 ? constantsKeyName(key) : nullptr;
            if (keyName != nullptr) appendAttribute(out, "key", keyName);
            else appendNumberAttribute(out, "key", key);
            if (type == QX_VT_STRING) appendNumberAttribute(out, "value", limit->i64);
            else appendAttribute(out, "value", valueText(type, *limit, format));
            out += "></ConstantsDictEntry>\n";
        }
    }
    if ((flags & QX_SF_SKIP_VALUES) == 0) {
        const std::uint64_t count = property.valCount();
        for (std::uint64_t i = 0; i < count; ++i)
            appendValueElement(out, i, property.valueTextAt(nullptr, static_cast<int>(i)));
    }
    appendTextLines(out, property, flags);
}

// One component's start tag and the elements that belong to it (not the end tag, not a list's members).
void appendElement(std::string& out, CPropList& list, std::uint16_t index, CComponent& component, std::uint32_t flags) {
    out += '<';
    out += elementName(component);
    appendAttribute(out, "name", component.name());
    if ((flags & QX_SF_OMIT_DEFAULT_MARKER) == 0) out += list.entryIsDefault(index) ? " default=\"1\"" : " default=\"0\"";
    const bool layout = (flags & QX_SF_OMIT_LAYOUT) == 0;
    CPropList* asList = isListType(component.type()) ? static_cast<CPropList*>(&component) : nullptr;
    CProperty* asProp = isPropertyType(component.type()) ? static_cast<CProperty*>(&component) : nullptr;
    if (layout) {
        appendNumberAttribute(out, "position", index);
        // The entry flags (cfInvisible among them) travel with the component's own, so they survive a round trip.
        appendNumberAttribute(out, "flags", component.flags() | list.entryFlags(index));
        if (asList) appendNumberAttribute(out, "size", static_cast<long long>(asList->entryCount()));
    }
    if (asProp && (layout || (flags & QX_SF_EXTENDED_XML) != 0))
        appendNumberAttribute(out, "size", static_cast<long long>(asProp->valCount()));
    if (asList) {
        appendAttribute(out, "parent", parentName(*asList));
        out += ">\n";
        appendTextLines(out, component, flags);
    } else if (asProp) {
        if (layout) appendAttribute(out, "formatString", asProp->formatString());
        appendNumberAttribute(out, "valType", asProp->valueType());
        out += ">\n";
        appendPropertyBody(out, *asProp, flags);
    } else {
        out += ">\n";
        appendTextLines(out, component, flags);
    }
}

bool skipped(const CComponent& component, std::uint32_t effective, std::uint32_t flags) {
    if ((effective & QX_CF_DISALLOW_SERIALIZE) != 0) return true;
    if (isMethodType(component.type())) {
        if ((flags & QX_SF_EXTENDED_XML) == 0) return true;
    } else if ((flags & QX_SF_INCLUDE_READ_ONLY) == 0 && (effective & QX_CF_WRITE_ACCESS) == 0) {
        return true;
    }
    return (flags & QX_SF_SKIP_INVISIBLE) != 0 && (effective & QX_CF_INVISIBLE) != 0;
}

void appendMembers(std::string& out, CPropList& list, std::uint32_t flags) {
    const std::size_t count = list.entryCount();
    for (std::size_t i = 0; i < count; ++i) {
        CComponent* component = list.entryComponent(i);
        if (component == nullptr) continue;
        const auto index = static_cast<std::uint16_t>(i);
        if (skipped(*component, component->flags() | list.effectiveEntryFlags(index), flags)) continue;
        appendElement(out, list, index, *component, flags);
        if (isListType(component->type())) {
            appendMembers(out, static_cast<CPropList&>(*component), flags);
            out += "</PropList>\n";
        } else if (isMethodType(component->type())) {
            out += "</Method>\n";
        } else {
            out += "</Property>\n";
        }
    }
}

// The list's entry in its owning list, or null when the list sits in no list.
CPropList* owningList(const CPropList& list) {
    CComponent* owner = list.owner();
    return owner != nullptr && isListType(owner->type()) ? static_cast<CPropList*>(owner) : nullptr;
}

} // namespace

void CSetting::buildXMLSetting(std::string& out, CPropList& list, std::uint32_t flags) {
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<PropList";
    const bool hasDescriptor = !list.contentDescriptor().empty();
    if (hasDescriptor) appendAttribute(out, "contentDescriptor", list.contentDescriptor());
    appendAttribute(out, "name", list.name());
    if ((flags & QX_SF_OMIT_DEFAULT_MARKER) == 0) out += " default=\"0\"";
    if ((flags & QX_SF_OMIT_LAYOUT) == 0) {
        // A list that sits in no list has no entry: no position, and its own flags alone.
        CPropList* owner = owningList(list);
        if (owner != nullptr && !hasDescriptor) appendNumberAttribute(out, "position", list.index());
        const std::uint32_t entryFlags = owner != nullptr ? owner->effectiveEntryFlags(list.index()) : 0;
        appendNumberAttribute(out, "flags", list.flags() | entryFlags);
        appendNumberAttribute(out, "size", static_cast<long long>(list.entryCount()));
    }
    appendAttribute(out, "parent", parentName(list));
    const std::array<int, 4> version = platform::moduleVersionAt(reinterpret_cast<const void*>(&CSetting::buildXMLSetting));
    appendNumberAttribute(out, "versionMajor", version[0]);
    appendNumberAttribute(out, "versionMinor", version[1]);
    appendNumberAttribute(out, "versionRelease", version[2]);
    out += ">\n";
    appendTextLines(out, list, flags);
    appendMembers(out, list, flags);
    out += "</PropList>\n";
}

} // namespace qx
