// setting/CSettingXML.cpp -- the handlers of the setting reader (class comment in the header).
// Choices of this reader beyond the document format itself (each in docs/behaviour.md):
//   - everything inside an unrecognised element is ignored, known elements included;
//   - the root PropList is never refused by the visibility filter: it is the list the caller asked for;
//   - attributes named "<name>.b64" carry the base64 form of attribute <name> (setting/XmlText.h);
//   - lists nest at most kMaxListDepth deep, and the sizes a document asks for (list slots, value
//     counts, value indices) are bounded in total, so a hostile document cannot exhaust memory or stack.
// Write hooks: values go through CProperty::writeVals, whose first step is the property's write hook
// (write callback or validation method), so an update runs them as any other write does.
#include "setting/CSettingXML.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "component/Vocabulary.h"
#include "frame/Eqx.h"
#include "frame/Log.h"
#include "list/CPropList.h"
#include "list/CPropListManager.h"
#include "property/CProperty.h"
#include "property/ValueText.h"
#include "setting/XmlText.h"

namespace qx {
namespace {

constexpr const char* kStartOp = "qx::CSettingXML::OnStartElement";
constexpr const char* kEndOp = "qx::CSettingXML::OnEndElement";
constexpr const char* kAssignOp = "qx::assignPropValChecked";
// Slots of lists, values of properties and value indices a single document may ask for in total.
constexpr std::uint64_t kMaxCells = 1u << 24;

enum TagType { Unknown = 0, Property = 1, PropList = 2, Value = 3, ConstantsDictEntry = 4, TranslationDictEntry = 5,
               DocString = 6, DisplayName = 7 };

// Decimal text to integer: leading white space, an optional sign, digits up to the first other character;
// no digits read as 0. Saturates instead of overflowing.
long long readNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (LLONG_MAX - digit) / 10) return negative ? LLONG_MIN : LLONG_MAX;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

int readInt(std::string_view text) {
    const long long v = readNumber(text);
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

template <class Attributes>
const std::string* find(const Attributes& attributes, std::string_view name) {
    return attributes.find(name);
}

CPropList* asList(CComponent* component) {
    return component != nullptr && isListType(component->type()) ? static_cast<CPropList*>(component) : nullptr;
}

} // namespace

// The writer formats integers with the property's format, which may pad with zeros ("%04d" gives "0012"),
// while the value-text rules read a leading 0 as octal. A decimal-formatted integer text is read back as
// decimal by dropping its leading zeros first.
std::string settingDecimalText(const CProperty& property, const std::string& text) {
    const std::uint32_t type = property.valueType();
    if ((type != QX_VT_INT32 && type != QX_VT_INT64) || property.propertySharedData().hasDictionary() ||
        property.formatString().find_first_of("xXo") != std::string::npos)
        return text;
    const std::size_t sign = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    std::size_t first = sign;
    while (first + 1 < text.size() && text[first] == '0') ++first;
    if (first == sign || text.find_first_not_of("0123456789", sign) != std::string::npos) return text;
    return text.substr(0, sign) + text.substr(first);
}

qxValue parseSettingValue(const CProperty& property, const std::string& rawText) {
    const std::string text = settingDecimalText(property, rawText);
    std::vector<qxValue> values;
    parseValues(property.valueType(), text, property.hexMode(), values);
    qxValue v{};
    if (!values.empty()) v = values.front();
    return v;
}


CSettingXML::CSettingXML(std::string settingName, CPropList* list, std::uint32_t storageFlags, CPropList* parentList,
                         std::uint16_t position, bool strict)
    : rootHandled_(list == nullptr), strict_(strict), settingName_(std::move(settingName)), position_(position),
      parentList_(parentList), targetList_(list), storageFlags_(storageFlags) {}

CSettingXML::~CSettingXML() = default;

void CSettingXML::OnPostCreate() {
    enableStartElementHandler();
    enableEndElementHandler();
    enableCharacterDataHandler();
}

int CSettingXML::GetTagType(const char* name) {
    elementSeen_ = true;
    if (std::strcmp(name, "PropList") == 0) return PropList;
    if (std::strcmp(name, "Property") == 0) return Property;
    if (std::strcmp(name, "Value") == 0) return Value;
    if (std::strcmp(name, "ConstantsDictEntry") == 0) return ConstantsDictEntry;
    if (std::strcmp(name, "TranslationDictEntry") == 0) return TranslationDictEntry;
    if (std::strcmp(name, "DisplayName") == 0) return DisplayName;
    if (std::strcmp(name, "DocString") == 0) return DocString;
    // Method included: a method's function cannot be rebuilt from text, so its element (and everything in it)
    // is passed over like any unknown one, in import and update alike; the list's own methods stay as they are.
    logWarning("%s: Unrecognized tag: %s.\n", "qx::CSettingXML::GetTagType", name);
    return Unknown;
}

void CSettingXML::reserveCells(std::uint64_t count) {
    if (count > kMaxCells || cellsUsed_ + count > kMaxCells)
        throw EInvalidFileContent("The file '" + settingName_ +
                                  "' doesn't contain valid data for this operation (sizes beyond the limit of a setting)");
    cellsUsed_ += count;
}

void CSettingXML::OnStartElement(const XML_Char* name, const XML_Char** rawAttributes) {
    if (unknownDepth_ != 0) {
        ++unknownDepth_;
        return;
    }
    const int t = GetTagType(name);
    if (t == Unknown) {
        ++unknownDepth_;
        return;
    }
    if (ignoredListDepth_ != 0) {
        if (t == PropList) ++ignoredListDepth_;
        return;
    }
    Attributes& attributes = attributes_;
    attributes.count = 0;
    for (int i = 0; rawAttributes[i] != nullptr; i += 2) {
        std::string_view key = rawAttributes[i];
        if (key.size() > kBase64AttributeSuffix.size() && key.ends_with(kBase64AttributeSuffix)) {
            key.remove_suffix(kBase64AttributeSuffix.size());
            if (attributes.find(key) == nullptr) attributes.add(key, decodeBase64Text(rawAttributes[i + 1]));
        } else {
            attributes.add(key, rawAttributes[i + 1]);
        }
    }
    switch (t) {
    case DocString:
    case DisplayName:
        if (!skipProperty_)
            applyTextAttribute(t == DocString ? QX_SF_PROCESS_DOC_STRINGS : QX_SF_PROCESS_DISPLAY_NAMES, t == DocString,
                               attributes);
        return;
    case Value:
    case ConstantsDictEntry:
    case TranslationDictEntry:
        startPropertyPart(t, attributes);
        return;
    default:
        startComponent(t, attributes);
    }
}

void CSettingXML::startComponent(int t, const Attributes& attributes) {
    const std::string* name = find(attributes, "name");
    const std::string* flags = find(attributes, "flags");
    const bool root = t == PropList && openLists_.empty() && (targetList_ == nullptr || !rootHandled_);
    const bool filtered = (storageFlags_ & QX_SF_INCLUDE_READ_ONLY) == 0 || (storageFlags_ & QX_SF_SKIP_INVISIBLE) != 0;
    if (filtered && !root) {
        if (flags == nullptr) {
            if ((storageFlags_ & QX_SF_OMIT_LAYOUT) == 0)
                logWarning("%s: WARNING! No flags stored in file for component %s(storage flags: 0x%08x). Continue "
                           "processing component.\n",
                           kStartOp, name ? name->c_str() : "", storageFlags_);
        } else {
            const auto f = static_cast<std::uint32_t>(readNumber(*flags));
            if ((f & QX_CF_WRITE_ACCESS) == 0 || (f & QX_CF_INVISIBLE) != 0) {
                if (t == PropList) ignoredListDepth_ = 1;
                else skipProperty_ = true;
                return;
            }
        }
    }
    if (t == PropList) startList(attributes);
    else startProperty(attributes);
}

void CSettingXML::startList(const Attributes& attributes) {
    const std::string* nameAttr = find(attributes, "name");
    const std::string name = nameAttr ? *nameAttr : std::string();
    const std::string* descriptor = find(attributes, "contentDescriptor");
    if (targetList_ != nullptr && !rootHandled_) { // the root of an update
        if (descriptor == nullptr) {
            if (strict_ && targetList_->name() != name) throw ECantAccessData("Can't access data '" + settingName_ + "'");
        } else if (*descriptor != targetList_->contentDescriptor()) {
            throw EIncompatibleComponents(formatText(
                "List '%s' defines a type descriptor of '%s' while the setting defines one of type '%s'",
                targetList_->name().c_str(), targetList_->contentDescriptor().c_str(), descriptor->c_str()));
        }
        rootHandled_ = true;
        openLists_.push_back(targetList_);
        return;
    }
    const std::string* size = find(attributes, "size");
    const std::string* flags = find(attributes, "flags");
    const std::uint64_t slots = size ? static_cast<std::uint64_t>(std::max(0LL, readNumber(*size))) : 0;
    if (targetList_ == nullptr) { // the root of an import
        reserveCells(slots);
        if (slots > CPropList::kMaxEntries) throw EInvalidFileContent("List '" + name + "' is larger than a list can be");
        auto fresh = std::make_unique<CPropList>(name, slots, flags ? static_cast<std::uint32_t>(readNumber(*flags)) : 3u);
        if (descriptor != nullptr) fresh->setContentDescriptor(*descriptor);
        CPropListManager& manager = CPropListManager::instance();
        CPropList& list = manager.adopt(std::move(fresh));
        if (parentList_ != nullptr) {
            try {
                parentList_->registerList(list, position_);
            } catch (const Eqx&) { // it is no longer the result: nothing of a refused import stays
                manager.destroyList(list);
                throw;
            }
        }
        targetList_ = &list;
        openLists_.push_back(&list);
        return;
    }
    if (openLists_.size() >= kMaxListDepth)
        throw EInvalidFileContent(formatText("The file '%s' doesn't contain valid data for this operation (lists "
                                             "nested deeper than %zu)",
                                             settingName_.c_str(), kMaxListDepth));
    CPropList* current = currentList();
    if (current == nullptr) { // inside an element that named no list: nothing below it has a place
        ignoredListDepth_ = 1;
        return;
    }
    const std::uint16_t index = current->indexOfName(name);
    if (index != 0xFFFF) {
        CPropList* found = asList(current->entryComponent(index));
        if (found == nullptr) logWarning("%s(%d): WARNING!!! Current list pointer just became invalid...\n", kStartOp, __LINE__);
        openLists_.push_back(found);
        return;
    }
    if ((storageFlags_ & QX_SF_CREATE_MISSING) == 0) {
        ignoredListDepth_ = 1;
        logWarning("%s: List '%s' ignored while updating setting.\n", kStartOp, name.c_str());
        return;
    }
    reserveCells(slots);
    if (slots > CPropList::kMaxEntries) throw EInvalidFileContent("List '" + name + "' is larger than a list can be");
    const std::string* position = find(attributes, "position");
    openLists_.push_back(BuildAndRegisterPropList(attributes, position ? static_cast<std::uint16_t>(readNumber(*position)) : 0xFFFF));
}

CPropList* CSettingXML::BuildAndRegisterPropList(const Attributes& attributes, std::uint16_t position) {
    CPropList& current = *currentList();
    const std::string* nameAttr = find(attributes, "name");
    const std::string name = nameAttr ? *nameAttr : std::string();
    std::unique_ptr<CPropList> fresh;
    const std::string* parent = find(attributes, "parent");
    if ((storageFlags_ & QX_SF_DERIVE_FROM_PARENT) != 0 && parent != nullptr && *parent != "none") {
        // The stored parent by name, in this list and then in each enclosing one, lists only, any depth.
        for (auto it = openLists_.rbegin(); it != openLists_.rend() && !fresh; ++it) {
            if (*it == nullptr) continue;
            const HOBJ found = (*it)->find(*parent, QX_SM_EXCLUDE_METHODS | QX_SM_EXCLUDE_PROPERTIES, 0xFFFFFFFFu);
            if (found == 0xFFFFFFFFu) continue;
            CPropList* holder = CPropListManager::instance().listAt(found);
            CPropList* base = holder ? asList(holder->entryComponent(found & 0xFFFF)) : nullptr;
            if (base != nullptr) fresh = CPropList::derive(*base, nullptr, &name);
        }
    }
    if (!fresh) {
        const std::string* size = find(attributes, "size");
        const std::string* flags = find(attributes, "flags");
        fresh = std::make_unique<CPropList>(name, size ? static_cast<std::size_t>(std::max(0LL, readNumber(*size))) : 0,
                                            flags ? static_cast<std::uint32_t>(readNumber(*flags)) : 3u);
    }
    CPropList* made = fresh.get();
    try {
        current.registerComponent(std::move(fresh), position);
    } catch (const Eqx& e) { // the new list died with the refused registration
        logWarning("%s: Exception caught (%s/%d). Object deleted.\n", "qx::CSettingXML::BuildAndRegisterPropList",
                   e.message().c_str(), e.code());
        throw;
    }
    return made;
}

void CSettingXML::startProperty(const Attributes& attributes) {
    CPropList* current = currentList();
    const std::string* nameAttr = find(attributes, "name");
    const std::string name = nameAttr ? *nameAttr : std::string();
    if (current == nullptr) {
        skipProperty_ = true;
        return;
    }
    const std::uint16_t index = current->indexOfName(name);
    if (index != 0xFFFF) {
        CComponent* component = current->entryComponent(index);
        if ((component->flags() & QX_CF_DISALLOW_SERIALIZE) != 0) {
            logWarning("%s: WARNING! Component %s does specify the 'cfDisallowSerialize' flag. This might be due to an "
                       "old setting. Ignoring feature.\n",
                       kStartOp, name.c_str());
            skipProperty_ = true;
            return;
        }
        if (!isPropertyType(component->type())) {
            logWarning("%s: Property '%s' ignored while updating setting.\n", kStartOp, name.c_str());
            skipProperty_ = true;
            return;
        }
        const std::string* isDefault = find(attributes, "default");
        if (isDefault != nullptr && readNumber(*isDefault) != 0 && current->derivedFrom() != nullptr) {
            current->restoreDefault(index, rightsFull);
            skipProperty_ = true;
            return;
        }
        currentPropIndex_ = index;
        skipProperty_ = false;
        clearDictFirst_ = true;
        return;
    }
    if ((storageFlags_ & QX_SF_CREATE_MISSING) == 0) {
        logWarning("%s: Property '%s' ignored while updating setting.\n", kStartOp, name.c_str());
        skipProperty_ = true;
        return;
    }
    const std::string* position = find(attributes, "position");
    currentPropIndex_ = position ? static_cast<std::uint16_t>(readNumber(*position)) : 0xFFFF;
    clearDictFirst_ = false;
    // BuildAndRegisterProperty: made now, registered by its end tag.
    const std::string* valType = find(attributes, "valType");
    const std::string* size = find(attributes, "size");
    const std::string* flags = find(attributes, "flags");
    const std::string* format = find(attributes, "formatString");
    const int type = valType ? readInt(*valType) : QX_VT_STRING;
    if (type < QX_VT_INT32 || type > QX_VT_INT64) throw EInvalidValueType(name);
    const std::uint64_t count = size ? static_cast<std::uint64_t>(std::max(0LL, readNumber(*size))) : 0;
    reserveCells(count);
    newProperty_ = CProperty::create(static_cast<std::uint32_t>(type), name, nullptr, count,
                                     flags ? static_cast<std::uint32_t>(readNumber(*flags)) : 3u,
                                     format ? *format : std::string());
    skipProperty_ = false;
}

CProperty* CSettingXML::currentProperty() {
    if (newProperty_) return newProperty_.get();
    CPropList* current = currentList();
    if (currentPropIndex_ == 0xFFFF || current == nullptr) return nullptr;
    return &current->propertyForWriting(currentPropIndex_, rightsFull);
}

void CSettingXML::startPropertyPart(int t, const Attributes& attributes) {
    if (skipProperty_) return;
    if (currentPropIndex_ == 0xFFFF && !newProperty_) return;
    CProperty* property = currentProperty();
    if (property == nullptr) return;
    if (t == ConstantsDictEntry || t == TranslationDictEntry) {
        if (property->sharedData()->owner() != property) return;
        const std::string* key = find(attributes, "key");
        const std::string* value = find(attributes, "value");
        if (key == nullptr || value == nullptr) {
            logError("%s: ERROR! Detected invalid translation dictionary entry for element '%s'.\n", kStartOp,
                     property->name().c_str());
            return;
        }
        if (t == ConstantsDictEntry && (storageFlags_ & QX_SF_PROCESS_CONSTANTS_DICTS) != 0) {
            static constexpr std::pair<const char*, const char*> names[] = {
                {"Max", "-1"}, {"Min", "-2"}, {"Inc", "-3"}, {"Default", "-4"}, {"MaxBinaryBufferSize", "-5"}};
            std::string_view keyText = *key;
            for (const auto& [word, number] : names)
                if (keyText == word) keyText = number;
            const int limitKey = readInt(keyText);
            if (property->valueType() == QX_VT_STRING && limitKey == QX_LIM_BINARY_SIZE_MAX) {
                property->setBinarySizeMax(static_cast<std::uint64_t>(readInt(*value)), rightsFull);
            } else {
                property->setLimit(limitKey, parseSettingValue(*property, *value));
            }
        } else if (t == TranslationDictEntry && (storageFlags_ & QX_SF_PROCESS_TRANSLATION_DICTS) != 0) {
            const qxValue v = parseSettingValue(*property, *value);
            if (clearDictFirst_) {
                property->removeDictionary();
                clearDictFirst_ = false;
            }
            property->registerEntry(key->c_str(), v);
        }
        return;
    }
    const std::string* index = find(attributes, "index");
    if ((storageFlags_ & QX_SF_SKIP_VALUES) != 0 || index == nullptr) return;
    const int i = readInt(*index);
    const auto wanted = static_cast<std::uint32_t>(i);
    if (wanted < property->maxValCount()) {
        if (wanted >= property->valCount()) reserveCells(wanted + 1 - property->valCount());
        const std::string* val = find(attributes, "val");
        if (val == nullptr) {
            pendingValueIndex_ = i;
            valueText_.clear();
            return;
        }
        std::string text = settingDecimalText(*property, *val);
        qxValue slot{};
        slot.str = text.data();
        const ::ValBuffer buffer{QX_VT_STRING, 1, &slot};
        assignPropValChecked(*property, buffer, i);
    } else {
        logWarning("%s: Detected invalid(too large) value index(%d, max: %d) for property '%s'. Skipped.\n", kStartOp, i,
                   static_cast<int>(property->maxValCount() - 1), property->name().c_str());
    }
}

void CSettingXML::applyTextAttribute(std::uint32_t mask, bool docString, const Attributes& attributes) {
    if ((storageFlags_ & mask) == 0) return;
    CComponent* target = newProperty_.get();
    if (target == nullptr && currentPropIndex_ != 0xFFFF && currentList() != nullptr)
        target = currentList()->entryComponent(currentPropIndex_);
    if (target == nullptr) target = currentList();
    const std::string* value = find(attributes, "value");
    if (target == nullptr || value == nullptr || target->sharedData()->owner() != target) return;
    if (docString) target->sharedData()->setDocString(*value, target);
    else target->sharedData()->setDisplayName(*value, target);
}

void CSettingXML::OnEndElement(const XML_Char* name) {
    if (unknownDepth_ != 0) {
        --unknownDepth_;
        return;
    }
    if (std::strcmp(name, "Property") == 0) {
        endProperty();
    } else if (std::strcmp(name, "Value") == 0) {
        endValue();
    } else if (std::strcmp(name, "PropList") == 0) {
        if (ignoredListDepth_ != 0) {
            --ignoredListDepth_;
            return;
        }
        if (!openLists_.empty()) openLists_.pop_back();
    }
}

void CSettingXML::endProperty() {
    std::unique_ptr<CProperty> made = std::move(newProperty_);
    const std::uint16_t index = currentPropIndex_;
    currentPropIndex_ = 0xFFFF;
    skipProperty_ = false;
    CPropList* current = currentList();
    if (!made || current == nullptr) return;
    try {
        current->registerComponent(std::move(made), index);
    } catch (const Eqx& e) { // the property died with the refused registration
        logWarning("%s: Exception caught (%s/%d). Object deleted.\n", kEndOp, e.message().c_str(), e.code());
        throw;
    }
}

void CSettingXML::endValue() {
    if (pendingValueIndex_ == -1) return;
    const int index = static_cast<int>(pendingValueIndex_);
    pendingValueIndex_ = -1;
    std::string text = std::move(valueText_);
    valueText_.clear();
    CProperty* property = skipProperty_ ? nullptr : currentProperty();
    if (property != nullptr) text = settingDecimalText(*property, text);
    if (property == nullptr) {
        logError("%s(%d): Invalid property pointer detected while expecting to write value '%s' at index %d.\n", kEndOp,
                 __LINE__, text.c_str(), index);
        return;
    }
    qxValue slot{};
    slot.str = text.data();
    const ::ValBuffer buffer{QX_VT_STRING, 1, &slot};
    assignPropValChecked(*property, buffer, index);
}

void CSettingXML::OnCharacterData(const XML_Char* text, int length) {
    if (pendingValueIndex_ != -1) valueText_.append(text, static_cast<std::size_t>(length));
}

bool assignPropValChecked(CProperty& property, const ::ValBuffer& buffer, int index) {
    auto clipTo = [&](int key) {
        const qxValue* limit = property.propertySharedData().limit(key);
        if (limit == nullptr) return;
        std::vector<qxValue> slots(buffer.count, *limit);
        const ::ValBuffer clipped{property.valueType(), buffer.count, slots.data()};
        property.writeVals(rightsFull, clipped, index);
    };
    // A write callback that destroys components leaves the reader's lists and properties dangling: such a
    // failure stops the run instead of being logged and skipped like a refused value.
    const std::uint64_t destroyedBefore = componentsDestroyed();
    const auto stopIfTreeChanged = [destroyedBefore] {
        if (componentsDestroyed() != destroyedBefore) throw;
    };
    try {
        property.writeVals(rightsFull, buffer, index);
        return true;
    } catch (const EInvalidValue&) {
        stopIfTreeChanged();
        logWarning("%s(%s): WARNING! This property defines a translation dictionary, that doesn't contain the value "
                   "specified. Using default.\n",
                   kAssignOp, property.name().c_str());
        if (CPropList* owner = asList(property.owner())) owner->restoreDefault(property.index(), rightsFull);
    } catch (const EValTooLarge&) {
        stopIfTreeChanged();
        logWarning("%s(%s): WARNING! This property defines a max. value, that is smaller than the value stored in the "
                   "setting. Clipping to maximum.\n",
                   kAssignOp, property.name().c_str());
        clipTo(QX_LIM_MAXIMUM);
    } catch (const EValTooSmall&) {
        stopIfTreeChanged();
        logWarning("%s(%s): WARNING! This property defines a min. value, that is larger than the value stored in the "
                   "setting. Clipping to minimum.\n",
                   kAssignOp, property.name().c_str());
        clipTo(QX_LIM_MINIMUM);
    } catch (const EComponent& e) {
        stopIfTreeChanged();
        logError("%s(%s): ERROR!!! Setting this property raise an internal exception (%s(%d)) the data from the setting "
                 "does not match the data expected by / allowed for this property. Its update might be incomplete.\n",
                 kAssignOp, property.name().c_str(), e.message().c_str(), e.code());
    }
    return false;
}

} // namespace qx
