// property/CPropertySharedData.cpp -- storage of property limits and dictionaries, behind the client check.
#include "property/CPropertySharedData.h"

#include <cstdlib>

#include <stdexcept>

#include "property/CValBuffer.h"

namespace qx {

namespace {
const char* const where = "CComponentSharedData::setFeature";
const std::vector<DictionaryEntry> noEntries;
} // namespace

CPropertySharedData::CPropertySharedData(std::uint32_t type, std::uint32_t flags, const CComponent* owner)
    : CComponentSharedData(type, flags, owner) {}

CPropertySharedData::CPropertySharedData(const CPropertySharedData& source, const CComponent* newOwner)
    : CComponentSharedData(source.type(), source.flags(), newOwner) {
    copyDescriptionFrom(source);
    if (source.limits_) limits_ = std::make_unique<std::map<std::int32_t, qxValue>>(*source.limits_);
    refreshView();
    if (source.dictionary_) {
        dictionary_ = std::make_unique<std::vector<DictionaryEntry>>();
        dictionary_->reserve(source.dictionary_->size());
        for (const DictionaryEntry& entry : *source.dictionary_) dictionary_->push_back(makeEntry(entry.name, entry.value));
    }
}

CPropertySharedData::~CPropertySharedData() = default;

std::uint32_t CPropertySharedData::valueType() const { return valueTypeOfComponentType(type()); }

const qxValue* CPropertySharedData::limit(std::int32_t key) const {
    if (!limits_) return nullptr;
    const auto it = limits_->find(key);
    return it == limits_->end() ? nullptr : &it->second;
}

void CPropertySharedData::refreshView() {
    view_ = LimitView{limit(QX_LIM_MAXIMUM), limit(QX_LIM_MINIMUM), limit(QX_LIM_STEP_WIDTH)};
    if (view_.step != nullptr && valueType() == QX_VT_INT32 && view_.step->i32 != 0) {
        const std::uint64_t magnitude = static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(view_.step->i32)));
        view_.stepReciprocal = UINT64_MAX / magnitude + 1;
    }
}

bool CPropertySharedData::setLimit(std::int32_t key, const qxValue& value, const CComponent* client) {
    checkClient(client, where);
    if (!limits_) limits_ = std::make_unique<std::map<std::int32_t, qxValue>>();
    const auto [it, inserted] = limits_->try_emplace(key, value);
    if (!inserted) {
        // The binary size limit of a string property is a number, not a text.
        const std::uint32_t type = valueType() == QX_VT_STRING ? std::uint32_t{QX_VT_INT64} : valueType();
        if (compareSlots(type, it->second, value) == 0) return false;
        it->second = value;
    }
    refreshView();
    countChange();
    return true;
}

bool CPropertySharedData::removeLimit(std::int32_t key, const CComponent* client) {
    if (!limits_) return false;
    checkClient(client, where);
    if (limits_->erase(key) == 0) return false;
    refreshView();
    countChange();
    return true;
}

const std::vector<DictionaryEntry>& CPropertySharedData::dictionary() const {
    return dictionary_ ? *dictionary_ : noEntries;
}

bool CPropertySharedData::createDictionary(const CComponent* client) {
    checkClient(client, where);
    if (dictionary_) return false;
    dictionary_ = std::make_unique<std::vector<DictionaryEntry>>();
    return true;
}

DictionaryEntry CPropertySharedData::makeEntry(const std::string& name, const qxValue& value) const {
    DictionaryEntry entry{name, value, nullptr};
    if (valueType() == QX_VT_STRING) {
        entry.text.reset(duplicateText(value.str));
        entry.value.str = entry.text.get();
    }
    return entry;
}

void CPropertySharedData::appendEntry(const std::string& name, const qxValue& value, const CComponent* client) {
    checkClient(client, where);
    if (!dictionary_) dictionary_ = std::make_unique<std::vector<DictionaryEntry>>();
    dictionary_->push_back(makeEntry(name, value));
    countChange();
}

void CPropertySharedData::replaceEntry(std::size_t position, const std::string& name, const qxValue& value,
                                       const CComponent* client) {
    checkClient(client, where);
    if (!dictionary_ || position >= dictionary_->size()) throw std::out_of_range("dictionary position");
    (*dictionary_)[position] = makeEntry(name, value);
    countChange();
}

void CPropertySharedData::eraseEntry(std::size_t position, const CComponent* client) {
    checkClient(client, where);
    if (!dictionary_ || position >= dictionary_->size()) throw std::out_of_range("dictionary position");
    dictionary_->erase(dictionary_->begin() + static_cast<std::ptrdiff_t>(position));
    countChange();
}

bool CPropertySharedData::removeDictionary(const CComponent* client) {
    if (!dictionary_) return false;
    checkClient(client, where);
    dictionary_.reset();
    countChange();
    return true;
}

} // namespace qx
