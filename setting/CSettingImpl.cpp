// setting/CSettingImpl.cpp -- settings in the registry (class comment in the header).
// Choices beyond the layout itself (each in docs/behaviour.md):
//   - an export runs as one registry transaction: a failure or a crash part way leaves the old setting;
//   - an import and an update read inside one read transaction, so they see one whole setting even while
//     another process exports it;
//   - stored sizes above the bound of a setting (list slots above a list's table, more than kMaxValues
//     values) are refused per component with a logged error, so a damaged tree cannot exhaust memory.
#include "setting/CSettingImpl.h"

#include <algorithm>
#include <cstdlib>
#include <list>
#include <optional>
#include <cstring>
#include <memory>
#include <vector>

#include "component/Vocabulary.h"
#include "frame/Eqx.h"
#include "frame/Log.h"
#include "list/CPropList.h"
#include "list/CPropListManager.h"
#include "platform/Registry.h"
#include "property/CProperty.h"
#include "property/ValueText.h"
#include "setting/CSettingXML.h"

namespace qx {
namespace {

using platform::Hive;
using platform::KeyAccess;
using platform::RegistryKey;
using platform::RegistryTransaction;

constexpr std::uint32_t kMaxValues = 1u << 24;
// The longest single text value, with its terminating zero; longer texts go into pieces data_0, data_1, ...
constexpr std::size_t kMaxSingleText = 0x7FC00;
constexpr std::size_t kPieceText = 0x7FBFF;
constexpr std::uint16_t kAnyPosition = 0xFFFF;

Hive hiveOf(std::uint32_t scope) { return platform::hiveOfScope(scope == 0 ? 0 : 1); }

std::string rootPath(const std::string& name) { return std::string(CSettingImpl::kRoot) + "\\" + name; }

ECantAccessData cantAccess(const std::string& path, const std::string& listName) {
    return ECantAccessData("Can't access data '" + path + "\\" + listName + "'");
}

std::string reason(int error) {
    std::string text = " (" + platform::registryErrorText(error);
    const std::string detail = platform::registryFailureDetail();
    if (!detail.empty()) text += ": " + detail;
    return text + ")";
}

CPropList* asList(CComponent* component) {
    return component != nullptr && isListType(component->type()) ? static_cast<CPropList*>(component) : nullptr;
}

// The values of one component, collected and then written to its key in one registry call: one step on
// the hive instead of one per value. Each failure is logged under its value's name as it would be alone.
// Texts are not copied: they must stay until the batch is stored (texts made up on the way are kept here).
// A batch for a key not made yet makes it with the first values (one step for key and values: an export
// makes a key per property).
class ValueBatch {
public:
    // For a key that is open.
    ValueBatch(const RegistryKey& key, const std::string& component) : key_(&key), component_(component) {}
    // For the subkey `component` of parent; *made, when given, gets a handle of the key once it is made.
    ValueBatch(const RegistryKey& parent, const std::string& component, bool isVolatile, RegistryKey* made)
        : parent_(&parent), made_(made), component_(component), isVolatile_(isVolatile) {}
    ValueBatch(const ValueBatch&) = delete;
    ValueBatch& operator=(const ValueBatch&) = delete;

    void dword(const char* name, std::uint32_t value, bool plain) {
        dwords_[count_] = value;
        add(name, name, platform::kRegDword, &dwords_[count_], sizeof value, plain);
    }
    void text(std::string_view name, const char* logName, const std::string& text, bool plain) {
        add(name, logName, platform::kRegSz, text.c_str(), text.size() + 1, plain);
    }
    // A text made up here (a piece of a long text, a joined list), kept until the batch is stored.
    const std::string& keep(std::string made) { return kept_.emplace_back(std::move(made)); }
    void multi(const char* name, const std::vector<std::string>& texts, bool plain) {
        std::string joined;
        for (const std::string& text : texts) {
            joined += text;
            joined += '\0';
        }
        joined += '\0';
        const std::string& bytes = keep(std::move(joined));
        add(name, name, platform::kRegMultiSz, bytes.data(), bytes.size(), plain);
    }

    // Writes what is left; false when the component's key could not be made (that is logged).
    bool finish() {
        store(true);
        if (made_ != nullptr && own_) *made_ = *own_;
        return !failed_;
    }

private:
    static constexpr std::size_t kMax = 12;  // a property with both dictionaries has 11 values

    // Writes the values collected so far, in order, and logs each one that fails. last: no more follow.
    void store(bool last) {
        if (!failed_ && key_ == nullptr) {
            // Values still to come need a handle of the key; the caller may want one too.
            RegistryKey* handle = last ? made_ : &own_.emplace();
            if (parent_->createWithValues(component_, isVolatile_, writes_, count_, results_, handle) != 0) {
                logError("%s: ERROR!!! Couldn't create key %s.\n", "qx::CSettingImpl::exportList", component_.c_str());
                failed_ = true;
            } else if (!last) {
                key_ = &*own_;
            }
            logFailures();
        } else if (!failed_ && count_ != 0) {
            key_->setValues(writes_, count_, results_);
            logFailures();
        }
        count_ = 0;
        kept_.clear();
    }
    void logFailures() const {
        if (failed_) return;
        constexpr const char* op = "qx::CSettingImpl::storeComponent";
        for (std::size_t i = 0; i < count_; ++i) {
            if (results_[i] == 0) continue;
            logError(plain_[i] ? "%s: ERROR!!! While storing '%s' data for '%s' Windows error code: %d\n"
                               : "%s: ERROR!!! While storing '%s' data for '%s' Windows error code: %d.\n",
                     op, logNames_[i], component_.c_str(), results_[i]);
        }
    }
    void add(std::string_view name, const char* logName, std::uint32_t type, const void* data, std::size_t size,
             bool plain) {
        // Field by field: a whole-struct copy went through the stack, and its wide reload stalled each time.
        platform::ValueWrite& write = writes_[count_];
        write.name = name;
        write.type = type;
        write.data = data;
        write.size = static_cast<std::uint32_t>(size);
        logNames_[count_] = logName;  // pieces of a long text are logged as "data"
        plain_[count_] = plain;       // its failure message ends without a full stop
        if (++count_ == kMax) [[unlikely]] store(false);
    }

    const RegistryKey* key_ = nullptr;     // the component's key once it is open
    const RegistryKey* parent_ = nullptr;  // where it is made, while it is not
    RegistryKey* made_ = nullptr;
    std::optional<RegistryKey> own_;       // a handle of the key made here, when one is needed
    const std::string& component_;
    bool isVolatile_ = false;
    bool failed_ = false;
    // Filled up to count_ before they are read; left unset beyond, since a batch is made per component.
    platform::ValueWrite writes_[kMax];
    int results_[kMax];
    const char* logNames_[kMax];
    bool plain_[kMax];
    std::uint32_t dwords_[kMax];
    std::size_t count_ = 0;
    std::list<std::string> kept_;  // a list: references stay valid, and an empty one allocates nothing
};

int readDword(const RegistryKey& key, const char* name, std::uint32_t& value) {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    const int rc = key.queryValue(name, type, data);
    if (rc != 0) return rc;
    if (type != platform::kRegDword || data.size() != sizeof value) return platform::kRegInvalidParameter;
    std::memcpy(&value, data.data(), sizeof value);
    return 0;
}

// The strings of a multi-string, up to the first empty one.
std::vector<std::string> multiStrings(const std::vector<std::uint8_t>& data) {
    std::vector<std::string> out;
    const char* p = reinterpret_cast<const char*>(data.data());
    const char* end = p + data.size();
    while (p < end) {
        const char* zero = static_cast<const char*>(std::memchr(p, 0, static_cast<std::size_t>(end - p)));
        const char* stop = zero != nullptr ? zero : end;
        if (stop == p) break;
        out.emplace_back(p, stop);
        p = stop + 1;
    }
    return out;
}

std::string textUpToZero(const std::vector<std::uint8_t>& data) {
    const char* p = reinterpret_cast<const char*>(data.data());
    const void* zero = std::memchr(p, 0, data.size());
    return std::string(p, zero != nullptr ? static_cast<const char*>(zero) : p + data.size());
}

bool queryString(const RegistryKey& key, const std::string& objectName, const char* valueName, std::string& text,
                 const char* op) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (key.queryValue(valueName, &type, nullptr, &size) != 0) {
        logError("%s: ERROR!!! Can't query %s value size of %s. No Property created!\n", op, valueName, objectName.c_str());
        return false;
    }
    std::vector<std::uint8_t> data;
    if (key.queryValue(valueName, type, data) != 0 ||
        (type != platform::kRegSz && type != platform::kRegExpandSz)) {
        logError("%s: ERROR!!! Can't query %s value of %s. No Property created!\n", op, valueName, objectName.c_str());
        return false;
    }
    text = textUpToZero(data);
    return true;
}

bool isDefaultKey(const RegistryKey& key) {
    std::uint32_t value = 0;
    if (readDword(key, "default", value) != 0) {
        logWarning("%s: WARNING!!! Can't query %s value of %p. No new component created!\n", "qx::CSettingImpl::isDefault",
                   "default", static_cast<const void*>(&key));
        return false;
    }
    return value == 1;
}

bool assignText(CProperty& property, const std::string& raw, int index) {
    std::string text = settingDecimalText(property, raw);
    qxValue slot{};
    slot.str = text.data();
    const ::ValBuffer buffer{QX_VT_STRING, 1, &slot};
    return assignPropValChecked(property, buffer, index);
}

// Writes the value valueName of key into property; 0 or the registry's error number.
int setPropVal(const RegistryKey& key, const std::string& valueName, CProperty& property) {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    std::uint32_t size = 0;
    int rc = key.queryValue(valueName, &type, nullptr, &size);
    if (rc != 0) return rc;
    rc = key.queryValue(valueName, type, data);
    if (rc != 0) {
        logError("%s: ERROR!!! Can't read value of %s for object '%s'(errorCode: %d).\n", "qx::CSettingImpl::setPropVal",
                 valueName.c_str(), property.name().c_str(), rc);
        return rc;
    }
    switch (type) {
    case platform::kRegSz:
        assignText(property, textUpToZero(data), 0);
        return 0;
    case platform::kRegExpandSz: {
        const auto expanded = platform::expandEnvironmentStrings(textUpToZero(data));
        if (!expanded) {
            logError("%s: ERROR!!! Can't read value of %s for object '%s'(errorCode: %d).\n",
                     "qx::CSettingImpl::setPropVal", valueName.c_str(), property.name().c_str(), platform::kRegMoreData);
            return platform::kRegMoreData;
        }
        assignText(property, *expanded, 0);
        return 0;
    }
    case platform::kRegMultiSz: {
        std::vector<std::string> texts = multiStrings(data);
        const std::size_t found = texts.size();
        if (found > property.maxValCount()) {
            const int max = static_cast<int>(property.maxValCount());
            logWarning("%s( %p, %s, %s ): WARNING!!! Too many values detected(%d, max.: %d)! Will only process %d\n",
                       "qx::CSettingImpl::setPropVal", static_cast<const void*>(&key), valueName.c_str(),
                       property.name().c_str(), static_cast<int>(found), max, max);
            texts.resize(property.maxValCount());
        }
        for (std::size_t k = 0; k < texts.size(); ++k) assignText(property, texts[k], static_cast<int>(k));
        return 0;
    }
    case platform::kRegDword:
    case platform::kRegQword: {
        qxValue slot{};
        const bool dword = type == platform::kRegDword;
        if (data.size() != (dword ? 4u : 8u)) return platform::kRegInvalidParameter;
        if (dword) std::memcpy(&slot.i32, data.data(), 4);
        else std::memcpy(&slot.i64, data.data(), 8);
        const ::ValBuffer buffer{dword ? static_cast<std::uint32_t>(QX_VT_INT32) : static_cast<std::uint32_t>(QX_VT_INT64), 1,
                                 &slot};
        assignPropValChecked(property, buffer, 0);
        return 0;
    }
    default:
        logWarning("%s( %p, %s, %s ): WARNING!!! Found unsupported type (%d) value in registry! Ignored!\n",
                   "qx::CSettingImpl::setPropVal", static_cast<const void*>(&key), valueName.c_str(),
                   property.name().c_str(), static_cast<int>(type));
        return 0;
    }
}

// Joins data_0, data_1, ... into value 0 of property.
void setPropLongVal(const RegistryKey& key, CProperty& property) {
    std::string text;
    for (std::size_t i = 0;; ++i) {
        const std::string name = "data_" + std::to_string(i);
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        if (key.queryValue(name, &type, nullptr, &size) != 0) break;
        std::vector<std::uint8_t> data;
        const int rc = key.queryValue(name, type, data);
        if (rc != 0) {
            logError("%s: ERROR!!! Found value '%s', but can't read data! Error code: %d.\n",
                     "qx::CSettingImpl::setPropLongVal", name.c_str(), rc);
            continue;
        }
        text += textUpToZero(data);
    }
    assignText(property, text, 0);
}

std::unique_ptr<CProperty> buildPropFromRegType(std::uint32_t type, const std::string& name) {
    switch (type) {
    case platform::kRegSz:
    case platform::kRegExpandSz:
    case platform::kRegMultiSz: return CProperty::create(QX_VT_STRING, name, nullptr, 1, 3, std::string());
    case platform::kRegDword: return CProperty::create(QX_VT_INT32, name, nullptr, 1, 3, std::string());
    case platform::kRegQword: return CProperty::create(QX_VT_INT64, name, nullptr, 1, 3, std::string());
    default:
        logWarning("%s(%s): WARNING!!! Unsupported type (%d) value in registry! Ignored!\n",
                   "qx::CSettingImpl::buildPropFromRegType", name.c_str(), static_cast<int>(type));
        return nullptr;
    }
}

// Registers component in list at position; a refused registration is logged and raised again (the
// component died with it).
std::uint16_t saveRegistration(CPropList& list, std::unique_ptr<CComponent> component, std::uint16_t position) {
    try {
        return static_cast<std::uint16_t>(list.registerComponent(std::move(component), position) & 0xFFFF);
    } catch (const Eqx& e) {
        logWarning("%s: WARNING: Exception caught (%s/%d). Object deleted.\n", "qx::CSettingImpl::saveRegistration",
                   e.message().c_str(), e.code());
        throw;
    }
}

void readDictionaries(const RegistryKey& key, CProperty& property, std::uint32_t flags) {
    if (property.sharedData()->owner() != &property) return;
    const auto readPair = [&key](const char* keysName, const char* valuesName, std::vector<std::string>& keys,
                                 std::vector<std::string>& values) {
        std::uint32_t t1 = 0;
        std::uint32_t t2 = 0;
        std::vector<std::uint8_t> d1;
        std::vector<std::uint8_t> d2;
        if (key.queryValue(keysName, t1, d1) != 0 || key.queryValue(valuesName, t2, d2) != 0) return false;
        if (t1 != platform::kRegMultiSz || t2 != platform::kRegMultiSz) return false;
        keys = multiStrings(d1);
        values = multiStrings(d2);
        return true;
    };
    std::vector<std::string> keys;
    std::vector<std::string> values;
    if ((flags & QX_SF_PROCESS_TRANSLATION_DICTS) != 0) {
        property.removeDictionary();
        if (readPair("translationDictKeys", "translationDictValues", keys, values))
            for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i)
                property.registerEntry(keys[i].c_str(), parseSettingValue(property, values[i]));
    }
    if ((flags & QX_SF_PROCESS_CONSTANTS_DICTS) != 0 && readPair("constantsDictKeys", "constantsDictValues", keys, values)) {
        for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) {
            const int limitKey = static_cast<int>(std::strtol(keys[i].c_str(), nullptr, 10));
            if (property.valueType() == QX_VT_STRING && limitKey == QX_LIM_BINARY_SIZE_MAX)
                property.setBinarySizeMax(std::strtoull(values[i].c_str(), nullptr, 10), rightsFull);
            else
                property.setLimit(limitKey, parseSettingValue(property, values[i]));
        }
    }
}

// Values of an existing property from its key: dictionaries, then data (or its pieces).
void updateProperty(const RegistryKey& key, CProperty& property, std::uint32_t flags) {
    readDictionaries(key, property, flags);
    if (setPropVal(key, "data", property) != 0) setPropLongVal(key, property);
}

template <class Each>
void forEachSubkey(const RegistryKey& key, const char* op, Each&& each) {
    std::string name;
    for (std::uint32_t i = 0; key.enumKey(i, name) == 0; ++i) {
        RegistryKey sub;
        if (key.open(name, KeyAccess::Read, sub) != 0) {
            logError("%s: ERROR!!! Can't open key %s.\n", op, name.c_str());
            continue;
        }
        each(name, sub);
    }
}

void readSubkeys(const RegistryKey& key, CPropList& list, std::uint32_t flags);

void buildAndRegisterComponent(const RegistryKey& key, const std::string& name, CPropList& list, std::uint32_t flags) {
    constexpr const char* op = "qx::CSettingImpl::buildAndRegisterComponent";
    std::uint32_t type = 0;
    std::uint32_t position = 0;
    std::uint32_t ownFlags = 0;
    std::uint32_t size = 0;
    bool ok = true;
    const std::pair<const char*, std::uint32_t*> fields[] = {
        {"type", &type}, {"position", &position}, {"flags", &ownFlags}, {"size", &size}};
    for (const auto& [valueName, target] : fields) {
        if (readDword(key, valueName, *target) != 0) {
            logError("%s: ERROR!!! Can't query %s value of %s. No new component created!\n", op, valueName, name.c_str());
            ok = false;
        }
    }
    if (!ok) return;
    const auto at = static_cast<std::uint16_t>(position > kAnyPosition ? kAnyPosition : position);
    if (type == QX_CT_LIST) {
        if (size > CPropList::kMaxEntries) {
            logError("%s: ERROR!!! Invalid size(%u) of list %s. No new component created!\n", op, size, name.c_str());
            return;
        }
        auto fresh = std::make_unique<CPropList>(name, size, ownFlags);
        CPropList& made = *fresh;
        saveRegistration(list, std::move(fresh), at);
        readSubkeys(key, made, flags);
        return;
    }
    if (type < QX_CT_PROP_INT32 || type > QX_CT_PROP_INT64) {
        logError("%s: ERROR!!! Invalid type(%d) detected! Ignored.\n", op, static_cast<int>(type));
        return;
    }
    std::string format;
    if (!queryString(key, name, "formatString", format, op)) return;
    if (size > kMaxValues) {
        logError("%s: ERROR!!! Invalid size(%u) of property %s. No new component created!\n", op, size, name.c_str());
        return;
    }
    auto property = CProperty::create(type - QX_CT_PROPERTY, name, nullptr, size, ownFlags, format);
    updateProperty(key, *property, flags);
    const std::uint16_t index = saveRegistration(list, std::move(property), at);
    if (isDefaultKey(key)) list.restoreDefault(index, rightsFull);
}

void readSubkeys(const RegistryKey& key, CPropList& list, std::uint32_t flags) {
    forEachSubkey(key, "qx::CSettingImpl::importList",
                  [&](const std::string& name, const RegistryKey& sub) { buildAndRegisterComponent(sub, name, list, flags); });
}

void importListRaw(const RegistryKey& key, CPropList& list, std::uint32_t flags);

// A new list named name in list, read from the key tree below key.
void importNewListRaw(const RegistryKey& key, const std::string& name, CPropList& list, std::uint32_t flags) {
    auto fresh = std::make_unique<CPropList>(name, 0, 3);
    CPropList& made = *fresh;
    saveRegistration(list, std::move(fresh), kAnyPosition);
    importListRaw(key, made, flags);
}

void importListRaw(const RegistryKey& key, CPropList& list, std::uint32_t flags) {
    forEachSubkey(key, "qx::CSettingImpl::importListRaw",
                  [&](const std::string& name, const RegistryKey& sub) { importNewListRaw(sub, name, list, flags); });
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t i = 0; key.enumValue(i, name, type, data) == 0; ++i) {
        auto property = buildPropFromRegType(type, name);
        if (!property) continue;
        CProperty& made = *property;
        saveRegistration(list, std::move(property), kAnyPosition);
        const int rc = setPropVal(key, name, made);
        if (rc != 0)
            logError("%s: ERROR!!! While processing property %s(result: %d).\n", "qx::CSettingImpl::importListRaw",
                     name.c_str(), rc);
    }
}

void updateListRaw(const RegistryKey& key, CPropList& list, std::uint32_t flags) {
    constexpr const char* op = "qx::CSettingImpl::updateListRaw";
    forEachSubkey(key, op, [&](const std::string& name, const RegistryKey& sub) {
        const std::uint16_t index = list.indexOfName(name);
        if (index != kAnyPosition) {
            if (CPropList* found = asList(list.entryComponent(index))) updateListRaw(sub, *found, flags);
            return;
        }
        if ((flags & QX_SF_CREATE_MISSING) != 0) importNewListRaw(sub, name, list, flags);
    });
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t i = 0;; ++i) {
        const int rc = key.enumValue(i, name, type, data);
        if (rc == platform::kRegNoMoreItems) break;
        if (rc != 0) {
            logError("%s: ERROR!!! Can't query value of %s(errorCode: %d).\n", op, key.path().c_str(), rc);
            break;
        }
        const std::uint16_t index = list.indexOfName(name);
        if (index != kAnyPosition) {
            CComponent* component = list.entryComponent(index);
            if (component == nullptr || !isPropertyType(component->type())) continue;
            const int result = setPropVal(key, name, list.propertyForWriting(index, rightsFull));
            if (result != 0)
                logError("%s: ERROR!!! While processing existing property %s(result: %d).\n", op, name.c_str(), result);
            continue;
        }
        if ((flags & QX_SF_CREATE_MISSING) == 0) continue;
        auto property = buildPropFromRegType(type, name);
        if (!property) continue;
        const int result = setPropVal(key, name, *property);
        if (result != 0) logError("%s: ERROR!!! While processing property %s(result: %d).\n", op, name.c_str(), result);
        saveRegistration(list, std::move(property), kAnyPosition);
    }
}

// The read-only and visibility rules for an entry of list: true when it takes part.
bool takesPart(const CPropList& list, std::uint16_t index, const CComponent& component, std::uint32_t flags) {
    if ((flags & QX_SF_INCLUDE_READ_ONLY) == 0 && (component.flags() & QX_CF_WRITE_ACCESS) == 0) return false;
    return (flags & QX_SF_SKIP_INVISIBLE) == 0 ||
           ((component.flags() | list.effectiveEntryFlags(index)) & QX_CF_INVISIBLE) == 0;
}

void updateEntry(const RegistryKey& sub, CPropList& list, std::uint16_t index, std::uint32_t flags, bool byListEntries);

void walkStored(const RegistryKey& key, CPropList& list, std::uint32_t flags) {
    constexpr const char* op = "qx::CSettingImpl::updateList";
    std::vector<std::pair<std::uint32_t, std::string>> stored;
    std::string name;
    for (std::uint32_t i = 0; key.enumKey(i, name) == 0; ++i) {
        RegistryKey sub;
        std::uint32_t position = 0;
        if (key.open(name, KeyAccess::Read, sub) != 0) {
            logError("%s: getSubkeysSortedByPosition: ERROR!!! Can't open key %s.\n", op, name.c_str());
        } else if (readDword(sub, "position", position) != 0) {
            logError("%s: getSubkeysSortedByPosition: ERROR!!! Can't query %s value of %s.\n", op, "position", name.c_str());
        } else {
            stored.emplace_back(position, name);
        }
    }
    std::stable_sort(stored.begin(), stored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : stored) {
        RegistryKey sub;
        if (key.open(entry.second, KeyAccess::Read, sub) != 0) {
            logError("%s: ERROR!!! Can't open key %s.\n", op, entry.second.c_str());
            continue;
        }
        const std::uint16_t index = list.indexOfName(entry.second);
        if (index == kAnyPosition) {
            if ((flags & QX_SF_CREATE_MISSING) != 0) buildAndRegisterComponent(sub, entry.second, list, flags);
            continue;
        }
        updateEntry(sub, list, index, flags, false);
    }
}

void updateListEx(const RegistryKey& key, CPropList& list, std::uint32_t flags) {
    constexpr const char* op = "qx::CSettingImpl::updateListEx";
    platform::KeyInfo info;
    key.queryInfo(info);
    int counted = 0;
    for (std::size_t i = 0; i < list.entryCount(); ++i) {
        const CComponent* c = list.entryComponent(i);
        if (c == nullptr || isMethodType(c->type())) continue;
        const std::uint32_t f = c->flags();
        if ((f & QX_CF_READ_ACCESS) == 0 || (f & QX_CF_DISALLOW_SERIALIZE) != 0) continue;
        if ((flags & QX_SF_INCLUDE_READ_ONLY) == 0 && (f & QX_CF_WRITE_ACCESS) == 0) continue;
        ++counted;
    }
    if (static_cast<int>(info.subKeys) != counted)
        logWarning("%s: WARNING!!! For list %s %d sub-entries are stored, but %d entries are in the list itself\n", op,
                   list.name().c_str(), static_cast<int>(info.subKeys), counted);
    for (std::size_t i = 0; i < list.entryCount(); ++i) {
        CComponent* c = list.entryComponent(i);
        if (c == nullptr || isMethodType(c->type())) continue;
        RegistryKey sub;
        if (key.open(c->name(), KeyAccess::Read, sub) != 0) {
            logWarning("%s: WARNING!!! Component %s is not stored in this parameter set but is part of the list to "
                       "update...\n",
                       op, c->name().c_str());
            continue;
        }
        updateEntry(sub, list, static_cast<std::uint16_t>(i), flags, true);
    }
}

void updateEntry(const RegistryKey& sub, CPropList& list, std::uint16_t index, std::uint32_t flags, bool byListEntries) {
    CComponent* component = list.entryComponent(index);
    if (component == nullptr || isMethodType(component->type()) || !takesPart(list, index, *component, flags)) return;
    if ((component->flags() & QX_CF_DISALLOW_SERIALIZE) != 0) {
        logWarning("%s(%s): Component %s does specify the 'cfDisallowSerialize' flag. This might be due to an old "
                   "setting. Ignoring feature.\n",
                   "qx::CSettingImpl::updateListEx", list.name().c_str(), component->name().c_str());
        return;
    }
    if (CPropList* sublist = asList(component)) {
        if (byListEntries) updateListEx(sub, *sublist, flags);
        else walkStored(sub, *sublist, flags);
        return;
    }
    if (isDefaultKey(sub) && list.derivedFrom() != nullptr) {
        list.restoreDefault(index, rightsFull);
        return;
    }
    updateProperty(sub, list.propertyForWriting(index, rightsFull), flags);
}

// The values of a component's key. text: where the data text is kept until the batch is stored.
void collectValues(ValueBatch& batch, std::string& text, CComponent& component, std::uint16_t position,
                   bool isDefault, std::uint32_t entryFlags, std::uint32_t flags) {
    batch.dword("position", position, false);
    batch.dword("type", component.type(), false);
    batch.dword("flags", component.flags() | entryFlags, false);
    batch.dword("default", isDefault ? 1 : 0, false);
    if (CPropList* list = asList(&component)) {
        batch.dword("size", static_cast<std::uint32_t>(list->entryCount()), true);
        if (!list->contentDescriptor().empty())
            batch.text("contentDescriptor", "contentDescriptor", list->contentDescriptor(), false);
        return;
    }
    if (!isPropertyType(component.type())) return;
    auto& property = static_cast<CProperty&>(component);
    const std::uint64_t count = property.valCount();
    batch.dword("size", static_cast<std::uint32_t>(count), true);
    if (count == 1) {
        text = property.valueTextAt(nullptr, 0);
        if (text.size() + 1 <= kMaxSingleText) {
            batch.text("data", "data", text, true);
        } else {
            for (std::size_t piece = 0, at = 0; at < text.size(); ++piece, at += kPieceText)
                batch.text(batch.keep("data_" + std::to_string(piece)), "data", batch.keep(text.substr(at, kPieceText)),
                           false);
        }
    } else {
        std::vector<std::string> texts;
        for (std::uint64_t i = 0; i < count; ++i) texts.push_back(property.valueTextAt(nullptr, static_cast<int>(i)));
        batch.multi("data", texts, false);
    }
    batch.text("formatString", "formatString", property.formatString(), false);
    const CPropertySharedData& shared = property.propertySharedData();
    const std::uint32_t type = property.valueType();
    const char* format = property.formatString().c_str();
    if ((flags & QX_SF_PROCESS_TRANSLATION_DICTS) != 0 && shared.hasDictionary() && !shared.dictionary().empty()) {
        std::vector<std::string> keys;
        std::vector<std::string> values;
        for (const DictionaryEntry& entry : shared.dictionary()) {
            keys.push_back(entry.name);
            values.push_back(valueText(type, entry.value, format));
        }
        batch.multi("translationDictKeys", keys, false);
        batch.multi("translationDictValues", values, false);
    }
    if ((flags & QX_SF_PROCESS_CONSTANTS_DICTS) != 0 && shared.hasLimits()) {
        std::vector<std::string> keys;
        std::vector<std::string> values;
        for (int limitKey = QX_LIM_BINARY_SIZE_MAX; limitKey <= QX_LIM_MAXIMUM; ++limitKey) {
            const qxValue* limit = shared.limit(limitKey);
            if (limit == nullptr) continue;
            keys.push_back(std::to_string(limitKey));
            values.push_back(type == QX_VT_STRING ? std::to_string(limit->i64) : valueText(type, *limit, format));
        }
        if (!keys.empty()) {
            batch.multi("constantsDictKeys", keys, false);
            batch.multi("constantsDictValues", values, false);
        }
    }
}

// Stores a component's values through its batch, which makes the key first when it is a batch for a new
// key; false when that key could not be made (logged).
bool storeComponent(ValueBatch& batch, CComponent& component, std::uint16_t position, bool isDefault,
                    std::uint32_t entryFlags, std::uint32_t flags) {
    std::string text;
    collectValues(batch, text, component, position, isDefault, entryFlags, flags);
    return batch.finish();
}

void walkExport(const RegistryKey& key, CPropList& list, std::uint32_t flags, bool isVolatile) {
    for (std::size_t i = 0; i < list.entryCount(); ++i) {
        CComponent* component = list.entryComponent(i);
        if (component == nullptr || isMethodType(component->type())) continue;
        if ((component->flags() & QX_CF_DISALLOW_SERIALIZE) != 0) continue;
        const auto index = static_cast<std::uint16_t>(i);
        if (!takesPart(list, index, *component, flags)) continue;
        // A property's key is made together with its values; a list's is kept open for its members.
        CPropList* sublist = asList(component);
        RegistryKey sub;
        ValueBatch batch(key, component->name(), isVolatile, sublist != nullptr ? &sub : nullptr);
        if (!storeComponent(batch, *component, index, list.entryIsDefault(index), list.entryFlags(index), flags))
            continue;
        if (sublist != nullptr) walkExport(sub, *sublist, flags, isVolatile);
    }
}

// Destroys an imported list unless the import succeeds.
class DiscardUnlessKept {
public:
    explicit DiscardUnlessKept(CPropList& list) : list_(list) {}
    ~DiscardUnlessKept() {
        if (!kept_) CPropListManager::instance().destroyList(list_);
    }
    DiscardUnlessKept(const DiscardUnlessKept&) = delete;
    DiscardUnlessKept& operator=(const DiscardUnlessKept&) = delete;
    void keep() { kept_ = true; }

private:
    CPropList& list_;
    bool kept_ = false;
};

} // namespace

bool CSettingImpl::getPathAndName(const std::string& name, std::string& path, std::string& listName, std::uint32_t mode,
                                  std::uint32_t scope) {
    if ((mode & QX_SF_REGISTRY) != 0 && (mode & QX_SF_REGISTRY_RAW_PATH) != 0) {
        path = name;
        const std::size_t cut = name.find_last_of("\\/");
        listName = cut == std::string::npos ? name : name.substr(cut + 1);
        return true;
    }
    path = rootPath(name);
    RegistryKey key;
    if (name.empty() || RegistryKey::root(hiveOf(scope)).open(path, KeyAccess::Read, key) != 0) {
        logWarning("%s: WARNING!!! Can't open key %s.\n", "qx::CSettingImpl::getPathAndName", path.c_str());
        return false;
    }
    if (key.enumKey(0, listName) != 0) {
        logWarning("%s: WARNING!!! No stored settings found under %s.\n", "qx::CSettingImpl::getPathAndName", path.c_str());
        return false;
    }
    return true;
}

void CSettingImpl::exportList(const std::string& name, CPropList& list, std::uint32_t scope, std::uint32_t flags) {
    constexpr const char* op = "qx::CSettingImpl::exportList";
    const Hive hive = hiveOf(scope);
    const bool isVolatile = (flags & QX_SF_VOLATILE) != 0;
    RegistryTransaction transaction(hive, RegistryTransaction::Mode::Write);
    if (transaction.status() != 0)
        throw ECantAccessData("Can't access data '" + std::string(kRoot) + "'" + reason(transaction.status()));
    RegistryKey root;
    int rc = RegistryKey::root(hive).create(kRoot, KeyAccess::ReadWrite, false, root);
    if (rc != 0) {
        logError("%s: ERROR!!! Couldn't create root key (%s)(WinApi code: %d).\n", op, kRoot, rc);
        throw ECantAccessData("Can't access data '" + std::string(kRoot) + "'" + reason(rc));
    }
    const std::string path = rootPath(name);
    if (name.empty()) throw ECantAccessData("Can't access data '" + path + "'" + reason(platform::kRegBadPathname));
    root.deleteTree(name);
    RegistryKey setting;
    rc = root.create(name, KeyAccess::ReadWrite, isVolatile, setting);
    if (rc != 0) throw ECantAccessData("Can't access data '" + path + "'" + reason(rc));
    bool exported = (flags & QX_SF_INCLUDE_READ_ONLY) != 0 || (list.flags() & QX_CF_WRITE_ACCESS) != 0;
    if (exported && (flags & QX_SF_SKIP_INVISIBLE) != 0) {
        CPropList* owner = asList(list.owner());
        exported = owner == nullptr || (owner->effectiveEntryFlags(list.index()) & QX_CF_INVISIBLE) == 0;
    }
    if (exported) {
        RegistryKey listKey;
        rc = setting.create(list.name(), KeyAccess::ReadWrite, isVolatile, listKey);
        if (rc != 0) throw ECantAccessData("Can't access data '" + path + "\\" + list.name() + "'" + reason(rc));
        ValueBatch batch(listKey, list.name());
        storeComponent(batch, list, 0, false, 0, flags);
        walkExport(listKey, list, flags, isVolatile);
    }
    rc = transaction.commit();
    if (rc != 0) throw ECantAccessData("Can't access data '" + path + "'" + reason(rc));
}

CPropList& CSettingImpl::importList(const std::string& name, std::uint32_t scope, std::uint32_t flags,
                                    CPropList* parentList, std::uint16_t position) {
    const Hive hive = hiveOf(scope);
    RegistryTransaction transaction(hive, RegistryTransaction::Mode::Read);
    std::string path;
    std::string listName;
    RegistryKey pathKey;
    if (!getPathAndName(name, path, listName, flags, scope) ||
        RegistryKey::root(hive).open(path, KeyAccess::Read, pathKey) != 0)
        throw cantAccess(path, listName);
    CPropList& list = CPropListManager::instance().adopt(std::make_unique<CPropList>(listName, 0, 3));
    DiscardUnlessKept discard(list);
    if (parentList != nullptr) {
        try {
            parentList->registerList(list, position);
        } catch (const Eqx& e) {
            logWarning("%s: WARNING: Exception caught (%s/%d). Object deleted.\n", "qx::CSettingImpl::saveRegistration",
                       e.message().c_str(), e.code());
            throw;
        }
    }
    if ((flags & QX_SF_REGISTRY_RAW_PATH) != 0) {
        importListRaw(pathKey, list, flags);
    } else {
        RegistryKey listKey;
        if (pathKey.open(listName, KeyAccess::Read, listKey) != 0) throw cantAccess(path, listName);
        readSubkeys(listKey, list, flags);
    }
    discard.keep();
    return list;
}

void CSettingImpl::updateList(const std::string& name, CPropList& list, std::uint32_t scope, std::uint32_t flags) {
    const Hive hive = hiveOf(scope);
    RegistryTransaction transaction(hive, RegistryTransaction::Mode::Read);
    std::string path;
    std::string listName;
    RegistryKey pathKey;
    if (!getPathAndName(name, path, listName, flags, scope) || path.empty() ||
        RegistryKey::root(hive).open(path, KeyAccess::Read, pathKey) != 0)
        throw cantAccess(path, list.name());
    if ((flags & QX_SF_REGISTRY_RAW_PATH) != 0) {
        updateListRaw(pathKey, list, flags);
        return;
    }
    RegistryKey listKey;
    if (pathKey.open(list.name(), KeyAccess::Read, listKey) != 0) throw cantAccess(path, list.name());
    std::string descriptor;
    if (!queryString(listKey, list.name(), "contentDescriptor", descriptor, "qx::CSettingImpl::updateList"))
        throw EIncompatibleComponents(formatText("No content descriptor detected for list '%s'", list.name().c_str()));
    if (descriptor != list.contentDescriptor())
        throw EIncompatibleComponents(formatText("List '%s' defines a type descriptor of '%s' while the setting defines one of type '%s'",
                                                 list.name().c_str(), list.contentDescriptor().c_str(), descriptor.c_str()));
    if ((flags & QX_SF_INCLUDE_READ_ONLY) == 0 && (list.flags() & QX_CF_WRITE_ACCESS) == 0) return;
    if ((flags & QX_SF_SKIP_INVISIBLE) != 0) {
        CPropList* owner = asList(list.owner());
        if (owner != nullptr && ((list.flags() | owner->effectiveEntryFlags(list.index())) & QX_CF_INVISIBLE) != 0) return;
    }
    if ((flags & QX_SF_UPDATE_BY_LIST_ENTRIES) != 0) updateListEx(listKey, list, flags);
    else walkStored(listKey, list, flags);
}

void CSettingImpl::deleteSetting(const std::string& name, std::uint32_t scope) {
    RegistryKey root;
    if (RegistryKey::root(hiveOf(scope)).open(kRoot, KeyAccess::ReadWrite, root) != 0)
        throw ECantAccessData(formatText("Couldn't open root key (%s)", kRoot));
    const int rc = root.deleteTree(name);
    if (rc != 0)
        throw ECantAccessData(formatText("Could not delete subkey '%s'. SHDeleteKey returned %d", name.c_str(), rc));
}

bool CSettingImpl::settingExists(const std::string& name, std::uint32_t scope) {
    RegistryKey key;
    return !name.empty() && RegistryKey::root(hiveOf(scope)).open(rootPath(name), KeyAccess::Read, key) == 0;
}

std::string CSettingImpl::contentDescriptor(const std::string& name, std::uint32_t location, std::uint32_t scope) {
    const Hive hive = hiveOf(scope);
    RegistryTransaction transaction(hive, RegistryTransaction::Mode::Read);
    std::string path;
    std::string listName;
    RegistryKey pathKey;
    RegistryKey listKey;
    if (!getPathAndName(name, path, listName, location, scope) ||
        RegistryKey::root(hive).open(path, KeyAccess::Read, pathKey) != 0 ||
        pathKey.open(listName, KeyAccess::Read, listKey) != 0)
        throw cantAccess(path, listName);
    std::string descriptor;
    if (!queryString(listKey, listName, "contentDescriptor", descriptor, "qx::CSettingImpl::contentDescriptor"))
        throw EIncompatibleComponents(formatText("No content descriptor detected for list '%s'", listName.c_str()));
    return descriptor;
}

} // namespace qx
