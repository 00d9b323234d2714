// frame/exports/Component.cpp -- the component parameter functions: read and change one descriptive parameter of any component, and restore defaults.
// Each function is a thin frame: check arguments, resolve handles, delegate, and let guarded() report.
// Functions whose operations are not built yet report PROPHANDLING_IMPLEMENTATION_MISSING.
#include "frame/Boundary.h"

using namespace qx;

extern "C" {

QX_API int qxCompGetParam(HOBJ, int, const CallParam*, size_t, CallParam*, size_t) { return notImplemented("qxCompGetParam"); }

QX_API int qxCompSetParam(HOBJ, int, const CallParam*, size_t, int) { return notImplemented("qxCompSetParam"); }

QX_API int qxCompRestoreDefault(HOBJ, int) { return notImplemented("qxCompRestoreDefault"); }

} // extern "C"
