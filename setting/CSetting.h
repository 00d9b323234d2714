// setting/CSetting.h -- the front of settings: routes export, import, update, deletion, existence tests and
// content-descriptor queries by the storage flags to files and the RAM store, and builds the XML document
// of a list. Stateless: each exported function makes one on the stack for one call. The registry location
// is not served yet; its requests fail with EImplementationMissing naming the exported function.
#pragma once

#include <cstdint>
#include <string>

#include "qxPropHandling.h"

namespace qx {

class CPropList;

class CSetting {
public:
    // The exported function on whose behalf this front works (for the registry's not-implemented text).
    explicit CSetting(const char* function) : function_(function) {}

    // qxPropListExport after the list was resolved.
    void exportList(CPropList& list, const std::string& name, std::uint32_t storageFlags);
    // qxPropListImport(Ex): the new list (owned by the manager, or registered in parentList at position).
    CPropList& importList(const std::string& name, std::uint32_t storageFlags, CPropList* parentList,
                          std::uint16_t position);
    // qxPropListUpdate after the list was resolved.
    void updateList(CPropList& list, const std::string& name, std::uint32_t storageFlags);

    void doFileOrRAMExport(const std::string& name, CPropList& list, std::uint32_t storageFlags);
    // list null: import. Returns the list built or updated.
    CPropList& doFileOrRAMUpdate(const std::string& name, CPropList* list, std::uint32_t storageFlags,
                                 CPropList* parentList, std::uint16_t position, bool strict);

    void deleteSetting(const std::string& name, std::uint32_t scope, std::uint32_t location);
    bool settingExists(const std::string& name, std::uint32_t scope, std::uint32_t location);
    std::string contentDescriptor(const std::string& name, std::uint32_t scope, std::uint32_t location);

    // The whole XML document of list, appended to out.
    static void buildXMLSetting(std::string& out, CPropList& list, std::uint32_t storageFlags);

private:
    [[noreturn]] void registryNotImplemented() const;

    const char* function_;
};

} // namespace qx
