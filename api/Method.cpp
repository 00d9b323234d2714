// api/Method.cpp -- the method-call functions: call a method with a parameter array or a parameter text.
// Each function is a thin frame: check arguments, resolve handles, delegate, and let guarded() report.
// Functions whose operations are not built yet report PROPHANDLING_IMPLEMENTATION_MISSING.
#include "frame/Boundary.h"

using namespace qx;

extern "C" {

QX_API int qxMethCall(HOBJ, const CallParam*, size_t, int64_t*) { return notImplemented("qxMethCall"); }

QX_API int qxMethCallS(HOBJ, const char*, const char*, int64_t*) { return notImplemented("qxMethCallS"); }

} // extern "C"
