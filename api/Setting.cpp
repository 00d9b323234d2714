// api/Setting.cpp -- the setting functions: export, import and update lists as settings in files, the RAM store and the registry.
// Each function is a thin frame: check arguments, resolve handles, delegate, and let guarded() report.
// Functions whose operations are not built yet report PROPHANDLING_IMPLEMENTATION_MISSING.
#include "frame/Boundary.h"

using namespace qx;

extern "C" {

QX_API int qxPropListExport(HOBJ, const char*, unsigned int, unsigned int) { return notImplemented("qxPropListExport"); }

QX_API int qxPropListImport(HOBJ*, const char*, unsigned int, unsigned int) { return notImplemented("qxPropListImport"); }

QX_API int qxPropListImportEx(HOBJ, HOBJ*, const char*, unsigned int, unsigned int) { return notImplemented("qxPropListImportEx"); }

QX_API int qxPropListUpdate(HOBJ, const char*, unsigned int, unsigned int) { return notImplemented("qxPropListUpdate"); }

QX_API int qxDeleteSetting(const char*, unsigned int, unsigned int) { return notImplemented("qxDeleteSetting"); }

QX_API int qxDoesSettingExist(const char*, unsigned int, unsigned int) { return notImplemented("qxDoesSettingExist"); }

QX_API int qxSettingGetContentDescriptor(const char*, unsigned int, unsigned int, char*, size_t*) { return notImplemented("qxSettingGetContentDescriptor"); }

QX_API int qxReadSettingFromRAM(const char*, char*, size_t*) { return notImplemented("qxReadSettingFromRAM"); }

QX_API int qxWriteSettingToRAM(const char*, const char*) { return notImplemented("qxWriteSettingToRAM"); }

} // extern "C"
