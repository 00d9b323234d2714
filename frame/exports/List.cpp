// frame/exports/List.cpp -- the list functions: create, clone, derive and delete lists, register, find, move and remove their components.
// Each function is a thin frame: check arguments, resolve handles, delegate, and let guarded() report.
// Functions whose operations are not built yet report PROPHANDLING_IMPLEMENTATION_MISSING.
#include "frame/Boundary.h"

using namespace qx;

extern "C" {

QX_API int qxPropListCreate(HOBJ*, const char*, size_t, int) { return notImplemented("qxPropListCreate"); }

QX_API int qxPropListClone(HOBJ*, HOBJ, const char*) { return notImplemented("qxPropListClone"); }

QX_API int qxPropListDerive(HOBJ*, HOBJ, const char*) { return notImplemented("qxPropListDerive"); }

QX_API int qxPropListDelete(HOBJ) { return notImplemented("qxPropListDelete"); }

QX_API int qxPropListRegisterProp(HOBJ, const char*, unsigned int, size_t, unsigned int, const char*, HOBJ*) { return notImplemented("qxPropListRegisterProp"); }

QX_API int qxPropListRegisterMethod(HOBJ, const char*, MethodFunction, CallParam*, size_t, unsigned int, HOBJ*) { return notImplemented("qxPropListRegisterMethod"); }

QX_API int qxPropListRegisterList(HOBJ, HOBJ, HOBJ*) { return notImplemented("qxPropListRegisterList"); }

QX_API int qxPropListRemoveComp(HOBJ) { return notImplemented("qxPropListRemoveComp"); }

QX_API int qxPropListUpdateWithList(HOBJ, HOBJ, uint64_t*) { return notImplemented("qxPropListUpdateWithList"); }

QX_API int qxPropListFindComp(HOBJ*, HOBJ, const char*, unsigned int, unsigned int) { return notImplemented("qxPropListFindComp"); }

QX_API int qxPropListMoveEntries(HOBJ, HOBJ, unsigned int, unsigned int, unsigned int, unsigned int) { return notImplemented("qxPropListMoveEntries"); }

} // extern "C"
