// setting/CSetting.cpp -- routing of the setting operations to files and the RAM store, and the checks and
// messages of that routing. The XML text is built by CSettingWriter.cpp and read by CSettingXML.cpp.
// Files are replaced crash-safely (platform/SettingFile): a reader of the path finds the old setting or
// the new one, never a mixture.
#include "setting/CSetting.h"

#include <climits>

#include "frame/Eqx.h"
#include "frame/Log.h"
#include "list/CPropList.h"
#include "list/CPropListManager.h"
#include "platform/SettingFile.h"
#include "platform/SharedFile.h"
#include "setting/CSettingImpl.h"
#include "setting/CSettingXML.h"
#include "setting/RamStore.h"
#include "setting/SettingName.h"

namespace qx {
namespace {

constexpr std::uint32_t kLocationBits = QX_SF_FILE | QX_SF_RAM;

ECantAccessData cantAccess(const std::string& name) { return ECantAccessData("Can't access data '" + name + "'"); }

std::string invalidContentText(const std::string& name) {
    return "The file '" + name + "' doesn't contain valid data for this operation";
}

// Destroys the list an import has built unless the import succeeds: no half-built list stays behind.
class DiscardUnlessKept {
public:
    explicit DiscardUnlessKept(const CSettingXML& reader, bool import) : reader_(reader), import_(import) {}
    ~DiscardUnlessKept() {
        if (import_ && !kept_ && reader_.targetList() != nullptr) CPropListManager::instance().destroyList(*reader_.targetList());
    }
    DiscardUnlessKept(const DiscardUnlessKept&) = delete;
    DiscardUnlessKept& operator=(const DiscardUnlessKept&) = delete;
    void keep() { kept_ = true; }

private:
    const CSettingXML& reader_;
    bool import_;
    bool kept_ = false;
};

// The text between the first double quote after the word contentDescriptor and the next one (or the end).
bool descriptorIn(std::string_view text, std::string& out) {
    const std::size_t word = text.find("contentDescriptor");
    if (word == std::string_view::npos) return false;
    const std::size_t open = text.find('"', word);
    if (open == std::string_view::npos) {
        out.clear();
        return true;
    }
    const std::size_t close = text.find('"', open + 1);
    out = std::string(text.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1));
    return true;
}

} // namespace

void CSetting::exportList(CPropList& list, const std::string& name, std::uint32_t flags) {
    if ((list.flags() & QX_CF_DISALLOW_SERIALIZE) != 0) throw ECantSerializeData(list.name(), true);
    if ((flags & QX_SF_REGISTRY) != 0) {
        if ((flags & QX_SF_DERIVE_FROM_PARENT) != 0) throw EUnsupportedParameter();
        CSettingImpl().exportList(name, list, scope_, flags);
        if ((flags & kLocationBits) == 0) return;
    }
    if ((flags & kLocationBits) == 0) flags |= QX_SF_FILE;
    doFileOrRAMExport(name, list, flags);
}

void CSetting::doFileOrRAMExport(const std::string& name, CPropList& list, std::uint32_t flags) {
    if ((flags & QX_SF_REGISTRY_RAW_PATH) != 0) throw EUnsupportedParameter();
    if ((flags & QX_SF_INCLUDE_READ_ONLY) == 0 && (list.flags() & QX_CF_WRITE_ACCESS) == 0) return;
    if ((flags & QX_SF_SKIP_INVISIBLE) != 0) {
        const CComponent* owner = list.owner();
        if (owner != nullptr && isListType(owner->type()) &&
            (static_cast<const CPropList*>(owner)->effectiveEntryFlags(list.index()) & QX_CF_INVISIBLE) != 0)
            return;
    }
    std::string text;
    buildXMLSetting(text, list, flags);
    if ((flags & QX_SF_FILE) != 0 && !platform::replaceFile(settingFilePath(name), text)) {
        logError("%s: ERROR!!! Could not open file %s for writing(path valid?).\n", "qx::CSetting::doFileOrRAMExport",
                 name.c_str());
        throw cantAccess(name);
    }
    if ((flags & QX_SF_RAM) != 0) {
        auto& store = ramStore();
        const auto it = store.find(name);
        if (it != store.end()) {
            logWarning("%s: Overwriting existing setting '%s' in RAM.\n", "qx::CSetting::doFileOrRAMExport", name.c_str());
            it->second = std::move(text);
        } else {
            store.emplace(name, std::move(text));
        }
    }
}

CPropList& CSetting::importList(const std::string& name, std::uint32_t flags, CPropList* parentList,
                                std::uint16_t position) {
    if ((flags & QX_SF_REGISTRY) != 0) {
        if ((flags & QX_SF_DERIVE_FROM_PARENT) != 0) throw EUnsupportedParameter();
        return CSettingImpl().importList(name, scope_, flags | QX_SF_CREATE_MISSING, parentList, position);
    }
    flags |= QX_SF_CREATE_MISSING;
    if ((flags & kLocationBits) == 0) flags |= QX_SF_FILE;
    return doFileOrRAMUpdate(name, nullptr, flags, parentList, position, false);
}

void CSetting::updateList(CPropList& list, const std::string& name, std::uint32_t flags) {
    if ((flags & QX_SF_REGISTRY) != 0 && (flags & QX_SF_FILE) != 0) throw EInvalidInputParameter();
    if ((flags & QX_SF_REGISTRY) != 0) {
        if ((flags & QX_SF_DERIVE_FROM_PARENT) != 0) throw EUnsupportedParameter();
        CSettingImpl().updateList(name, list, scope_, flags);
        return;
    }
    if ((flags & kLocationBits) == 0) flags |= QX_SF_FILE;
    doFileOrRAMUpdate(name, &list, flags, nullptr, 0xFFFF, true);
}

CPropList& CSetting::doFileOrRAMUpdate(const std::string& name, CPropList* list, std::uint32_t flags,
                                       CPropList* parentList, std::uint16_t position, bool strict) {
    if ((flags & QX_SF_REGISTRY_RAW_PATH) != 0) throw EUnsupportedParameter();
    if ((flags & kLocationBits) == kLocationBits)
        throw EInvalidInputParameter(formatText("When trying to update a setting 'sfFile' and 'sfRAM' must not be "
                                                "combined! Storage flags got: 0x%08x",
                                                flags));
    CSettingXML reader(name, list, flags, parentList, position, strict);
    reader.create();
    DiscardUnlessKept discard(reader, list == nullptr);
    bool parsed = true;
    if ((flags & QX_SF_FILE) != 0) {
        std::size_t read = 0;
        const bool opened = platform::readFileInto(
            settingFilePath(name),
            [&reader](std::size_t size) -> char* {
                if (size >= static_cast<std::size_t>(INT_MAX)) return nullptr;
                return static_cast<char*>(reader.getBuffer(static_cast<int>(size) + 1));
            },
            read);
        if (!opened) throw cantAccess(name);
        if (read > 0) parsed = reader.parseBuffer(static_cast<int>(read), true);
    } else {
        const auto& store = ramStore();
        const auto it = store.find(name);
        if (it == store.end()) throw cantAccess(name);
        if (it->second.size() >= static_cast<std::size_t>(INT_MAX)) throw EInvalidFileContent(invalidContentText(name));
        parsed = reader.parse(it->second.data(), static_cast<int>(it->second.size()), true);
    }
    if (!parsed) {
        const XML_Error code = reader.errorCode();
        logError("%s: ERROR!!! XML error: %d(%s).\n", "qx::CSetting::doFileOrRAMUpdate", static_cast<int>(code),
                 CExpatImpl::errorString(code));
        throw EInvalidFileContent(invalidContentText(name) +
                                  formatText(" (XML error: %d(%s))", static_cast<int>(code), CExpatImpl::errorString(code)));
    }
    if (!reader.elementSeen()) throw EInvalidFileContent(invalidContentText(name));
    if (reader.hasRecordedException()) throw EPropertyHandling(reader.recordedMessage(), reader.recordedCode());
    if (reader.targetList() == nullptr) // an import whose document has no PropList root
        throw EInvalidFileContent(invalidContentText(name) + " (no PropList element)");
    discard.keep();
    return *reader.targetList();
}

void CSetting::deleteSetting(const std::string& name, std::uint32_t scope, std::uint32_t location) {
    if (location == QX_SF_REGISTRY || location == (QX_SF_REGISTRY | QX_SF_REGISTRY_RAW_PATH)) {
        CSettingImpl().deleteSetting(name, scope);
        return;
    }
    if (location == QX_SF_FILE) {
        if (platform::removeFile(settingPathAsGiven(name)) != 0)
            throw ECantAccessData(formatText("Could not locate setting '%s' in file system", name.c_str()));
        return;
    }
    if (location == QX_SF_RAM) {
        if (ramStore().erase(name) == 0)
            throw ECantAccessData(formatText("Could not locate setting '%s' in RAM", name.c_str()));
        return;
    }
    throw EInvalidInputParameter(
        formatText("Unsupported storage location for 'deleteSetting' operation detected: 0x%08x", location));
}

bool CSetting::settingExists(const std::string& name, std::uint32_t scope, std::uint32_t location) {
    if ((location & QX_SF_REGISTRY) != 0) return CSettingImpl().settingExists(name, scope);
    if ((location & QX_SF_RAM) != 0) return ramStore().contains(name);
    return platform::isReadable(settingFilePath(name));
}

std::string CSetting::contentDescriptor(const std::string& name, std::uint32_t scope, std::uint32_t location) {
    if (location == QX_SF_REGISTRY || location == (QX_SF_REGISTRY | QX_SF_REGISTRY_RAW_PATH))
        return CSettingImpl().contentDescriptor(name, location, scope);
    std::string result;
    bool found = false;
    if (location == QX_SF_RAM) {
        const auto& store = ramStore();
        const auto it = store.find(name);
        if (it == store.end()) throw cantAccess(name);
        found = descriptorIn(it->second, result);
    } else {
        std::string text;
        if (!platform::readFile(settingFilePath(name), text)) throw cantAccess(name);
        // Line by line: the closing quote is looked for on the line that holds the word.
        for (std::size_t begin = 0; begin < text.size() && !found;) {
            std::size_t end = text.find('\n', begin);
            if (end == std::string::npos) end = text.size();
            found = descriptorIn(std::string_view(text).substr(begin, end - begin), result);
            begin = end + 1;
        }
    }
    if (!found) throw EIncompatibleComponents(formatText("No content descriptor detected in setting '%s'", name.c_str()));
    return result;
}

} // namespace qx
