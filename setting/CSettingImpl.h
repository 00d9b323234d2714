// setting/CSettingImpl.h -- settings in the registry: the structured layout written by an export (one key
// per component below "SOFTWARE\KORVEN\Settings", typed values describing it) and read by import and update,
// and the raw layout in which any key tree reads as lists (keys) and properties (values). Works only through
// platform/Registry.h; stateless, one instance per call like CSetting.
#pragma once

#include <cstdint>
#include <string>

namespace qx {

class CPropList;

class CSettingImpl {
public:
    static constexpr const char* kRoot = "SOFTWARE\\KORVEN\\Settings";

    void exportList(const std::string& name, CPropList& list, std::uint32_t scope, std::uint32_t storageFlags);
    // The new list: owned by the list manager, or registered in parentList at position.
    CPropList& importList(const std::string& name, std::uint32_t scope, std::uint32_t storageFlags,
                          CPropList* parentList, std::uint16_t position);
    void updateList(const std::string& name, CPropList& list, std::uint32_t scope, std::uint32_t storageFlags);
    void deleteSetting(const std::string& name, std::uint32_t scope);
    bool settingExists(const std::string& name, std::uint32_t scope);
    // location: the location word of the exported function (3 reads the name as a raw key path).
    std::string contentDescriptor(const std::string& name, std::uint32_t location, std::uint32_t scope);

    // The key path of a setting and the name of its list key; false (logged) when not found.
    bool getPathAndName(const std::string& name, std::string& path, std::string& listName, std::uint32_t mode,
                        std::uint32_t scope);
};

} // namespace qx
