// property/CPropertySharedData.h -- the shared data of a property: what CComponentSharedData holds plus the
// translation dictionary and the limits table (special values keyed -1 maximum, -2 minimum, -3 step width,
// -4 default, -5 maximum binary size). Both start absent and cost one pointer each until first used.
// This file stores; it does not judge. Which keys a value type accepts, step-width rules and the renaming
// rules of registration belong to the validation code, which calls these primitives. Every primitive that
// changes something checks the client like the other shared-data setters and counts the change.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "component/CComponentSharedData.h"
#include "qxPropHandling.h"

namespace qx {

// One name/value pair. For a string property the value slot points into text, which the entry owns, so an
// entry never depends on the lifetime of the caller's string.
struct DictionaryEntry {
    std::string name;
    qxValue value{};
    std::unique_ptr<char[]> text;
};

// The three limits that judge a numeric write, found in one pass over the table; null where not set.
struct LimitView {
    const qxValue* maximum = nullptr;
    const qxValue* minimum = nullptr;
    const qxValue* step = nullptr;
    // For an Int32 step s: floor(2^64 / |s|) + 1, so that remainders by s need no division on the write
    // path (exact for every 32-bit dividend); 0 when there is no such step.
    std::uint64_t stepReciprocal = 0;
};

class CPropertySharedData : public CComponentSharedData {
public:
    CPropertySharedData(std::uint32_t type, std::uint32_t flags, const CComponent* owner);
    // Deep copy for another owner: description, dictionary and limits copied; counters and user data anew.
    CPropertySharedData(const CPropertySharedData& source, const CComponent* newOwner);
    ~CPropertySharedData() override;

    std::uint32_t valueType() const;

    // ---- limits table ----
    bool hasLimits() const { return limits_ != nullptr; }
    // The special value stored under key, or null.
    const qxValue* limit(std::int32_t key) const;
    // Kept up to date by every change of the table (map nodes never move), so a write reads it for free.
    const LimitView& limitView() const { return view_; }
    // Inserts or overwrites; false when the key already held an equal value (compared in the type's width).
    bool setLimit(std::int32_t key, const qxValue& value, const CComponent* client);
    // False when there is no table or no such key; the client is checked whenever a table exists.
    bool removeLimit(std::int32_t key, const CComponent* client);

    // ---- translation dictionary ----
    bool hasDictionary() const { return dictionary_ != nullptr; }
    std::size_t dictionarySize() const { return dictionary_ ? dictionary_->size() : 0; }
    // Entries in registration order; empty when there is no dictionary.
    const std::vector<DictionaryEntry>& dictionary() const;
    // Creates an empty dictionary when there is none; true when it was created now. Not counted: an empty
    // dictionary only becomes a change with its first entry.
    bool createDictionary(const CComponent* client);
    void appendEntry(const std::string& name, const qxValue& value, const CComponent* client);
    void replaceEntry(std::size_t position, const std::string& name, const qxValue& value, const CComponent* client);
    void eraseEntry(std::size_t position, const CComponent* client);
    // False when there was no dictionary.
    bool removeDictionary(const CComponent* client);

private:
    DictionaryEntry makeEntry(const std::string& name, const qxValue& value) const;
    void refreshView();

    std::unique_ptr<std::vector<DictionaryEntry>> dictionary_;
    std::unique_ptr<std::map<std::int32_t, qxValue>> limits_;
    LimitView view_;
};

} // namespace qx
