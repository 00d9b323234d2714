// setting/CSettingXML.h -- the reader of XML settings: builds a new list from a document (import) or writes a
// document's contents into an existing list (update) through the ordinary checked value write. One reader
// per run; the first library failure of a handler is recorded (ExceptionAwareParser) and reported by
// CSetting after the parse. The reader keeps its place in the tree with a stack of open lists on the heap,
// never by recursion, so deep documents cost no stack.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/ExceptionAwareParser.h"
#include "qxPropHandling.h"

namespace qx {

class CPropList;
class CProperty;

class CSettingXML final : public ExceptionAwareParser {
public:
    // Lists nested deeper than this in one document are refused: each would be a list of its own, and
    // the list tree is torn down recursively.
    static constexpr std::size_t kMaxListDepth = 1000;

    // list null: import mode. parentList (not owned): where an imported root is registered, at position.
    CSettingXML(std::string settingName, CPropList* list, std::uint32_t storageFlags, CPropList* parentList,
                std::uint16_t position, bool strict);
    ~CSettingXML() override;

    CPropList* targetList() const { return targetList_; }
    bool elementSeen() const { return elementSeen_; }

protected:
    void OnPostCreate() override;
    void OnStartElement(const XML_Char* name, const XML_Char** attributes) override;
    void OnEndElement(const XML_Char* name) override;
    void OnCharacterData(const XML_Char* text, int length) override;

private:
    // The attributes of one start tag, first value kept for a repeated name. One instance is reused for
    // every element, so its strings keep their capacity and reading a tag allocates nothing once warm.
    struct Attributes {
        std::vector<std::pair<std::string_view, std::string>> items; // names point into expat's buffer
        std::size_t count = 0;
        const std::string* find(std::string_view name) const {
            for (std::size_t i = 0; i < count; ++i)
                if (items[i].first == name) return &items[i].second;
            return nullptr;
        }
        void add(std::string_view name, std::string_view value) {
            if (find(name) != nullptr) return;
            if (count == items.size()) items.emplace_back();
            items[count].first = name;
            items[count].second.assign(value);
            ++count;
        }
    };

    int GetTagType(const char* name);
    void startComponent(int tagType, const Attributes& attributes);
    void startList(const Attributes& attributes);
    void startProperty(const Attributes& attributes);
    void startPropertyPart(int tagType, const Attributes& attributes);
    void applyTextAttribute(std::uint32_t mask, bool docString, const Attributes& attributes);
    CPropList* BuildAndRegisterPropList(const Attributes& attributes, std::uint16_t position);
    void endProperty();
    void endValue();
    // The property that Value and dictionary elements address, or null.
    CProperty* currentProperty();
    // Counts what the document asks to allocate; EInvalidFileContent beyond the bound.
    void reserveCells(std::uint64_t count);
    CPropList* currentList() const { return openLists_.empty() ? nullptr : openLists_.back(); }

    bool skipProperty_ = false;
    bool clearDictFirst_ = false;
    bool rootHandled_;
    bool strict_;
    std::uint16_t currentPropIndex_ = 0xFFFF;
    bool elementSeen_ = false;
    std::uint32_t ignoredListDepth_ = 0;
    std::uint32_t unknownDepth_ = 0;
    std::string settingName_;
    std::vector<CPropList*> openLists_; // the lists of the open PropList elements; null for one that is no list
    std::unique_ptr<CProperty> newProperty_;
    std::int64_t pendingValueIndex_ = -1;
    std::string valueText_;
    std::uint16_t position_;
    CPropList* parentList_;
    CPropList* targetList_;
    std::uint32_t storageFlags_;
    std::uint64_t cellsUsed_ = 0;
    Attributes attributes_;
};

// Writes buffer into property at index with full rights. True when written as given; false when the value
// was clipped to a limit, replaced by the default, or refused (each logged). Failures outside the
// component family pass on.
bool assignPropValChecked(CProperty& property, const ::ValBuffer& buffer, int index);

// A stored integer text as the property reads it: zero padding of a decimal format ("0012") is dropped so
// that the text is not taken for octal. Other texts are returned unchanged.
std::string settingDecimalText(const CProperty& property, const std::string& text);
// The first value of a stored text parsed as the property's value type (hexadecimal by its format).
qxValue parseSettingValue(const CProperty& property, const std::string& text);

} // namespace qx
