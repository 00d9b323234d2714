// setting/CSetting.h -- the front of settings: routes export, import, update, deletion, existence tests and
// content-descriptor queries by the storage flags to files, the RAM store and the registry (CSettingImpl),
// and builds the XML document of a list. Stateless: each exported function makes one on the stack for one
// call, with the registry scope of that call.
#pragma once

#include <cstdint>
#include <string>

#include "qxPropHandling.h"

namespace qx {

class CPropList;

class CSetting {
public:
    // scope: the registry hive of this call (0 the machine's, anything else the user's).
    explicit CSetting(std::uint32_t scope = 0) : scope_(scope) {}

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
    std::uint32_t scope_;
};

} // namespace qx
