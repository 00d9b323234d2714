// frame/exports/Feature.cpp -- the feature-selection functions: which components of a list select which others.
// Each function is a thin frame: check arguments, resolve handles, delegate, and let guarded() report.
// Functions whose operations are not built yet report PROPHANDLING_IMPLEMENTATION_MISSING.
#include "frame/Boundary.h"

using namespace qx;

extern "C" {

QX_API int qxCompAddSelectedFeature(HOBJ, HOBJ, int) { return notImplemented("qxCompAddSelectedFeature"); }

QX_API int qxCompAddSelectingFeature(HOBJ, HOBJ, int) { return notImplemented("qxCompAddSelectingFeature"); }

QX_API int qxCompGetSelectedFeatures(HOBJ, int, HOBJ*, size_t*) { return notImplemented("qxCompGetSelectedFeatures"); }

QX_API int qxCompGetSelectingFeatures(HOBJ, int, HOBJ*, size_t*) { return notImplemented("qxCompGetSelectingFeatures"); }

} // extern "C"
