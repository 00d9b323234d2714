// api/Callback.cpp -- the callback functions: create, attach, detach and delete callbacks, and register legacy change and validation methods.
// Each function is a thin frame: check arguments, resolve handles, delegate, and let guarded() report.
// Functions whose operations are not built yet report PROPHANDLING_IMPLEMENTATION_MISSING.
#include "frame/Boundary.h"

using namespace qx;

extern "C" {

QX_API int qxCompCreateCallback(unsigned int, MethodFunction, CallParam*, size_t, HCALLBACK*) { return notImplemented("qxCompCreateCallback"); }

QX_API int qxCompCreateFeatureChangedCallback(FeatureChangedFunction, CallParam*, size_t, HCALLBACK*) { return notImplemented("qxCompCreateFeatureChangedCallback"); }

QX_API int qxCompAttachCallback(HOBJ, HCALLBACK) { return notImplemented("qxCompAttachCallback"); }

QX_API int qxCompDetachCallback(HOBJ, HCALLBACK) { return notImplemented("qxCompDetachCallback"); }

QX_API int qxCompDeleteCallback(HCALLBACK) { return notImplemented("qxCompDeleteCallback"); }

QX_API int qxCompRegisterCallback(HOBJ, HOBJ, unsigned int) { return notImplemented("qxCompRegisterCallback"); }

} // extern "C"
