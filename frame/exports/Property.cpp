// frame/exports/Property.cpp -- the property value functions: values, special values, texts, binary data and translation dictionaries of one property.
// Each function is a thin frame: check arguments, resolve handles, delegate, and let guarded() report.
// Functions whose operations are not built yet report PROPHANDLING_IMPLEMENTATION_MISSING.
#include "frame/Boundary.h"

using namespace qx;

extern "C" {

QX_API int qxPropGetVal(HOBJ, ValBuffer*, int) { return notImplemented("qxPropGetVal"); }

QX_API int qxPropSetVal(HOBJ, const ValBuffer*, int, int, const CallParam*, size_t, int) { return notImplemented("qxPropSetVal"); }

QX_API int qxPropValidateVal(HOBJ, const ValBuffer*) { return notImplemented("qxPropValidateVal"); }

QX_API int qxPropRemoveVal(HOBJ, int, int) { return notImplemented("qxPropRemoveVal"); }

QX_API int qxPropGetValAsStringEx(HOBJ, const char*, char*, size_t*, int) { return notImplemented("qxPropGetValAsStringEx"); }

QX_API int qxPropGetValAsString(HOBJ, const char*, char*, size_t, int) { return notImplemented("qxPropGetValAsString"); }

QX_API int qxPropGetValArrayAsStringEx(HOBJ, const char*, const char*, char*, size_t*, int, int, int) { return notImplemented("qxPropGetValArrayAsStringEx"); }

QX_API int qxPropGetValArrayAsString(HOBJ, const char*, const char*, char*, size_t, int, int, int) { return notImplemented("qxPropGetValArrayAsString"); }

QX_API int qxPropGetValAsBinaryDataEx(HOBJ, void*, size_t*, int) { return notImplemented("qxPropGetValAsBinaryDataEx"); }

QX_API int qxPropGetValAsBinaryData(HOBJ, void*, size_t, int) { return notImplemented("qxPropGetValAsBinaryData"); }

QX_API int qxPropGetTranslationTable(HOBJ, ValBuffer*, ValBuffer*) { return notImplemented("qxPropGetTranslationTable"); }

QX_API int qxPropRegisterTranslationEntry(HOBJ, const char*, int64_t, int) { return notImplemented("qxPropRegisterTranslationEntry"); }

QX_API int qxPropRemoveTranslationEntry(HOBJ, const char*, int) { return notImplemented("qxPropRemoveTranslationEntry"); }

QX_API int qxPropRemoveTranslationTable(HOBJ, int) { return notImplemented("qxPropRemoveTranslationTable"); }

} // extern "C"
