// api/Method.cpp -- the method-call functions: call a method with a parameter array or a parameter text.
// Each function is a thin frame: check arguments, resolve handles, delegate, and let guarded() report.
// The function's result goes to the caller's slot widened with its sign; the call itself returns 0
// whatever the function answered.
#include <span>

#include "api/Resolve.h"
#include "frame/Boundary.h"
#include "list/CPropList.h"
#include "method/CMethod.h"

using namespace qx;

namespace {

CMethod& resolveMethod(HOBJ handle) {
    CComponent& component = resolveComponent(handle, Access::Notify);
    if (!isMethodType(component.type())) throw ENotAMethod(kindDetail(component, handle));
    return static_cast<CMethod&>(component);
}

void storeResult(std::int32_t result, int64_t* pResult) {
    if (pResult != nullptr) *pResult = result;
}

} // namespace

extern "C" {

QX_API int qxMethCall(HOBJ hMeth, const CallParam* pParams, size_t paramCount, int64_t* pResult) {
    return guarded([&] {
        CMethod& method = resolveMethod(hMeth);
        // The caller's array goes to the caller's function as it is; the library only passes it through.
        CallParam* params = pParams != nullptr ? const_cast<CallParam*>(pParams) : nullptr;
        storeResult(method.invoke(hMeth, std::span<CallParam>(params, params != nullptr ? paramCount : 0)), pResult);
    });
}

QX_API int qxMethCallS(HOBJ hMeth, const char* pParams, const char* pDelimiters, int64_t* pResult) {
    return guarded([&] {
        CMethod& method = resolveMethod(hMeth);
        if (pParams == nullptr) {
            storeResult(method.invoke(hMeth, {}), pResult);
            return;
        }
        CMethod::TextParams converted = method.convertParamText(pParams, pDelimiters);
        storeResult(method.invoke(hMeth, converted.params), pResult);
    });
}

} // extern "C"
