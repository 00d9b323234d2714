// api/Component.cpp -- the component parameter functions: read and change one descriptive parameter
// of any component, and restore defaults. Thin frames over api/ComponentParam.cpp.
#include "frame/Boundary.h"
#include "api/ComponentParam.h"
#include "api/Resolve.h"

using namespace qx;

extern "C" {

QX_API int qxCompGetParam(HOBJ hObj, int paramId, const CallParam* pIn, size_t inCount, CallParam* pOut,
                          size_t outCount) {
    return guarded([&] { getComponentParam(hObj, paramId, pIn, inCount, pOut, outCount); });
}

QX_API int qxCompSetParam(HOBJ hObj, int paramId, const CallParam* pIn, size_t inCount, int force) {
    return guarded([&] { setComponentParam(hObj, paramId, pIn, inCount, rightsFor(force)); });
}

QX_API int qxCompRestoreDefault(HOBJ hObj, int force) {
    return guarded([&] { restoreComponentDefault(hObj, rightsFor(force)); });
}

} // extern "C"
