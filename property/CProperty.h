// property/CProperty.h -- the component that carries values: an array of 8-byte slots of one value type,
// its format string, default and maximum value counts and valid flag; its limits and dictionary live in
// CPropertySharedData so that clones can share them. CProperty is abstract: CPropertySimpleData keeps the
// four fixed-width types in the slots themselves, CPropertyS keeps owned texts and the binary cache.
//
// The class is implemented in three files: CProperty.cpp (creation and cloning, reading, the store step
// every successful write ends in, resizing, removing, comparing, counting, default values, invalidation),
// CPropertyValidation.cpp (what is judged before a store: the write hook, dictionary translation, text
// parsing, step snapping, limits, special-value writes and the dictionary itself) and CPropertyText.cpp
// (values as text). Callers of storeVals have done the checks already; writeVals does them.
//
// Index arguments: getVal and removeVal take a signed index, negative for special values (QX_LIM_...).
// rights: the access word of the calling operation (rightsOrdinary or rightsFull, component/Vocabulary.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "component/CComponent.h"
#include "property/CPropertySharedData.h"
#include "qxPropHandling.h"

namespace qx {

class CProperty : public CComponent {
public:
    // Value type 4 gives a CPropertyS, every other a CPropertySimpleData. A count of 0 means 1. An empty
    // format string means the type's default. owner: the owning list or null, not owned.
    static std::unique_ptr<CProperty> create(std::uint32_t valueType, std::string name, CComponent* owner,
                                             std::uint64_t count, std::uint32_t flags,
                                             const std::string& formatString);
    ~CProperty() override;

    // ---- component slots ----
    // Runs the owning list's dependency step first, then the component's notification.
    int raiseChangeNotification(bool valueChanged, bool valueCounted, bool dependentsForced,
                                bool forceNotify) override;
    // Without cfAlwaysForceClone the default marker; with it: as many values as the default value count,
    // each equal to limDefault when one is set.
    bool isDefault() override;
    // Also clears the valid flag, so the next read asks the read callback again.
    void invalidate() override;
    // Adds the read (1) and write (2) slots; the validation method is kind 2 of registerCallback.
    bool configureCallback(std::uint32_t kind, CCallback* callback) override;
    void registerCallback(CComponent* method, std::uint32_t kind) override;

    // ---- storage operations of the concrete classes ----
    // Copies the buffer's values into the slots from index on (which exist already).
    virtual void assignVals(const ::ValBuffer& buffer, std::uint64_t index) = 0;
    // Releases what the slots from index on own (texts, cached bytes); the slots themselves stay.
    virtual void freeValsFrom(std::uint64_t index);
    // Fills fresh[keptCount .. newCount-1] of a new slot array; the first keptCount are copied over after.
    virtual void initNewVals(qxValue* fresh, std::uint64_t newCount, std::uint64_t keptCount) = 0;
    // Removes the value at index, moving later values down; the last slot is left without content.
    virtual void removeValAt(std::uint64_t index) = 0;
    // Before values are read: fires the read callback (unless onlyIfInvalid and valid), string properties
    // then rebuild texts of binary values written since the last read.
    virtual void prepareRead(std::uint64_t index, std::uint64_t count, bool onlyIfInvalid);
    virtual void dropBinary(std::uint64_t index, std::uint64_t count);
    // Binary data exists in string properties only; the others fail with EInvalidValueType
    // (setBinarySizeMax: EUnsupportedOperation).
    virtual std::uint64_t binarySize(std::uint64_t index);
    virtual std::uint64_t binarySizeMax();
    virtual std::uint64_t getBinary(void* dest, std::uint64_t destSize, std::uint64_t index);
    virtual void setBinarySizeMax(std::uint64_t size, std::uint32_t rights);
    // blocks: a String buffer whose slots point at byte blocks; sizes[p] (low 32 bits of the value) is the
    // size of block p. Returns 1 when something changed, 0 when every block equalled the cached bytes.
    virtual int setBinary(std::uint32_t rights, const ::ValBuffer& blocks, const CallParam* sizes,
                          std::size_t sizeCount, int index);

    // Slot 16: values of another fixed-width type; string properties store them as text (each type's
    // default format), the others fail with EInvalidValueType. Returns what storeVals returns.
    virtual int setValsFromOtherType(std::uint32_t rights, const ::ValBuffer& buffer, std::uint64_t index);
    // Slot 17: the check of slot 16 without storing.
    virtual bool validateValsFromOtherType(const ::ValBuffer& buffer);

    // ---- checked writes (CPropertyValidation.cpp) ----
    // The value write, in this order: write hook; dictionary translation (names, or values checked against
    // the entries) or, without a dictionary, parsing of texts; step snapping; limit checks; the store step
    // and its notification. index < 0 writes that special value and reshapes the stored values to it.
    // Returns 1 when something changed. Nothing is stored when a check fails. Values of this property's
    // fixed-width type written over existing values cost no heap allocation (up to 16 values with a step).
    int writeVals(std::uint32_t rights, const ::ValBuffer& buffer, int index) {
        if (buffer.count == 1 && index >= 0 && callerHooks() == nullptr && isOneNumberWrite(buffer, index))
            return writeOneNumber(buffer, static_cast<std::uint64_t>(index));
        return writeValsInGeneral(rights, buffer, index);
    }
    // The checks of writeVals without storing. False when a dictionary property would refuse the values;
    // type, limit and write-hook failures throw as they would in writeVals.
    bool validateVals(const ::ValBuffer& buffer);
    // Judges and stores one special value (owner only; allowed keys depend on the type; a step of 0 is
    // refused). True when the table changed. The stored values are not reshaped here.
    bool setLimit(int key, const qxValue& value);
    // False when nothing was removed. The stored values stay as they are.
    bool removeLimit(int key);
    bool hasSpecialValue(int key) const { return propertySharedData().limit(key) != nullptr; }
    // The value snapped to the step width (unchanged without one, and for non-numeric types).
    qxValue snapToStep(const qxValue& value) const;
    // EValTooLarge/EValTooSmall for the first value (by position in buffer) above the maximum, then the
    // first below the minimum. buffer must be of this property's type; non-numeric types pass.
    void checkLimits(const ::ValBuffer& buffer) const;
    // EValTooLarge for the first of count byte counts (low 32 bits of each value) above limBinarySizeMax.
    void checkBinarySizes(const CallParam* sizes, std::size_t count) const;

    // ---- translation dictionary (CPropertyValidation.cpp) ----
    // Adds or changes one entry (owner only). An unknown name with a known value renames that entry; a known
    // name gets the value. The first entry ever also becomes every stored value (and limDefault).
    void registerEntry(const char* entryName, const qxValue& value);
    // Unknown names and a missing dictionary change nothing and need no rights.
    void removeEntry(const char* entryName);
    void removeDictionary();
    // Position of the first entry with exactly this name / this value; -1 when none.
    int findName(std::string_view text) const;
    int findValue(const qxValue& slot) const;
    // Fills slot i of names with entry i's name (owned here, valid until the dictionary changes) and slot i
    // of values with its value. Nothing without a dictionary; ESizeMismatch unless both counts equal the
    // number of entries.
    void getTranslationTable(::ValBuffer& names, ::ValBuffer& values) const;
    // One entry as two result elements: String name, value as Int32/Double/Int64.
    void dictionaryEntry(std::uint64_t position, CallParam& nameOut, CallParam& valueOut) const;
    // valCmp of this property's values against all of other's values from index 0.
    int compareValues(const CProperty& other);

    // ---- values as text (CPropertyText.cpp) ----
    // format: null or "" for none; checked before use (EInvalidInputParameter naming it on a misfit).
    // One value or special value as text; dictionary names (and combination names "A B") where a
    // dictionary holds the value.
    std::string valueTextAt(const char* format, int index);
    // Values start..end (end 0x7FFFFFFF: the last) as one text, special values (start < 0) first, each
    // followed by delimiter (null: " "), then the values separated by it. mode bit 0 (QX_AT_RAW_VALUES):
    // numbers even where a dictionary names them.
    std::string arrayText(const char* format, const char* delimiter, int start, int end, int mode);
    // Texts written to an Int64 property are read in base 16 when the format string holds an 'x' or 'X'.
    bool hexMode() const { return formatString_.find_first_of("xX") != std::string::npos; }

    // ---- value operations ----
    // Fills buffer.count slots from index (index >= 0), or its first slot with the special value index.
    // An Int64 buffer may read an Int32 property and, with a logged warning, an Int32 buffer an Int64 one;
    // slots are copied whole either way.
    void getVal(::ValBuffer& buffer, int index);
    // getVal for the read callers make most -- one fixed-width value of the property's own type, no read
    // callback -- done inline; false (nothing read) for anything else, which getVal then handles.
    bool getOneQuickly(::ValBuffer& buffer, int index) const {
        if (buffer.count != 1 || buffer.valType != valueType_ || valueType_ == QX_VT_STRING || buffer.pSlots == nullptr ||
            index < 0 || static_cast<std::uint64_t>(index) >= valCount_ || callerHooks() != nullptr)
            return false;
        buffer.pSlots[0] = slots_[static_cast<std::size_t>(index)];
        return true;
    }
    // The store step: writes checked values of this property's type from index on, growing the property
    // when they reach past its end. Returns 1 when something was stored, 0 for an equal write (nothing
    // stored, nothing notified) unless the property is invalid or has cfAlwaysForceUpdate.
    int storeVals(std::uint32_t rights, const ::ValBuffer& buffer, std::uint64_t index);
    // A count of 0 means 1. Fails with ENoModifySizeRights for a fixed-size property in a list without
    // rightsForce, and beyond the maximum value count without rightsGrowBeyondMax.
    void setValCount(std::uint64_t count, std::uint32_t rights);
    // Shrinks the values when they exceed the new maximum (with the same rights rules).
    void setMaxValCount(std::uint32_t maxCount, std::uint32_t rights);
    // Fails with EInvalidInputParameter when larger than the maximum value count.
    void setDefaultValCount(std::uint32_t defaultCount);
    // index < 0 removes a special value; otherwise removes one value. The last value never goes: a
    // one-value property keeps it and still notifies.
    void removeVal(int index, std::uint32_t rights);
    // 0 when the buffer equals the stored values from index on, -1/1 by the first difference; -1 for a
    // buffer of another type or one reaching past the end.
    int valCmp(const ::ValBuffer& buffer, std::uint64_t index);
    // query 0: number of values; 1: number of dictionary entries; anything else logs and gives 0.
    std::uint64_t valCnt(int query) const;
    // Needs cfAlwaysForceClone (else EUnsupportedOperation): back to the default value count and, when
    // limDefault is set, every value limDefault.
    void restoreDefault(std::uint32_t rights);

    // ---- state ----
    std::uint32_t valueType() const { return valueType_; }
    std::uint64_t valCount() const { return valCount_; }
    const qxValue* slots() const { return slots_.get(); }
    const std::string& formatString() const { return formatString_; }
    std::uint32_t defaultValCount() const { return defaultValCount_; }
    std::uint32_t maxValCount() const { return maxValCount_; }
    bool valid() const { return valid_; }
    CPropertySharedData& propertySharedData() const { return *static_cast<CPropertySharedData*>(sharedData()); }

protected:
    CProperty(std::uint32_t valueType, std::string name, CComponent* owner, std::uint64_t count, std::uint32_t flags,
              const std::string& formatString);
    // The clone's shared data per mode; its slots are zeroed and its values left to the concrete class.
    CProperty(const CProperty& source, CComponent* newOwner, const std::string* newName, CloneMode mode);

    qxValue* mutableSlots() { return slots_.get(); }
    void setValid() { valid_ = true; }
    [[noreturn]] void throwOutOfBounds(std::int64_t index, std::uint64_t count) const;
    // First step of every value write, validation and binary write: the write callback, else the
    // validation method, judges the buffer; a refusal throws EValidationFailed. Inline: most properties
    // have neither, and every write passes here.
    void runWriteHook(const ::ValBuffer& buffer) {
        if (callerHooks() != nullptr) judgeWrite(buffer);
    }
    // The size checks of setValCount, made before anything changes.
    void checkResize(std::uint64_t newCount, std::uint32_t rights) const;

private:
    void judgeWrite(const ::ValBuffer& buffer);
    void resizeStorage(std::uint64_t newCount);
    // Write steps of CPropertyValidation.cpp.
    int limitedStore(std::uint32_t rights, const ::ValBuffer& buffer, std::uint64_t index);
    // The write callers make most: one number of the property's own type over an existing value, with no
    // dictionary. writeOneNumber does all of writeVals after the write hook for it in one pass.
    bool isOneNumberWrite(const ::ValBuffer& buffer, int index) const {
        return buffer.pSlots != nullptr && buffer.valType == valueType_ &&
               (valueType_ == QX_VT_INT32 || valueType_ == QX_VT_DOUBLE || valueType_ == QX_VT_INT64) &&
               static_cast<std::uint64_t>(index) < valCount_ && !propertySharedData().hasDictionary();
    }
    int writeOneNumber(const ::ValBuffer& buffer, std::uint64_t at);
    int writeValsInGeneral(std::uint32_t rights, const ::ValBuffer& buffer, int index);
    int writeSpecialVal(const ::ValBuffer& buffer, int index);
    // Every text of a String buffer read as numbers of this property's type, appended to out.
    void parseTexts(const ::ValBuffer& texts, std::vector<qxValue>& out) const;
    // Dictionary names to values (split at ' ', '"' and '|' for combination properties).
    qxValue translateName(const char* text) const;
    // The bits a combination property allows: limMaximum, or the union of the entries without one.
    std::uint64_t combinationMask() const;
    bool fitsCombinationMask(const qxValue& value) const;
    // The text of a value in messages: the type's default format.
    std::string messageText(const qxValue& value) const;
    // Text of a special value (string properties keep byte counts there, shown as 64-bit integers).
    std::string specialValueText(const char* format, const qxValue& value) const;
    // The text of one stored value by the dictionary rules of arrayText and valueTextAt.
    void appendNameText(std::string& out, const char* format, const qxValue& value) const;

    std::string formatString_;
    std::unique_ptr<qxValue[]> slots_;
    std::uint64_t valCount_;
    std::uint32_t valueType_;
    std::uint32_t defaultValCount_;
    std::uint32_t maxValCount_;
    bool valid_ = true;
};

// The format string a property of valueType gets when created without one ("" for unknown types).
const char* defaultFormatString(std::uint32_t valueType);

} // namespace qx
