// api/Feature.cpp -- the feature-selection functions: which components of a list select which others.
// Each function is a thin frame: resolve handles, delegate (component/FeatureSelection.h), let guarded() report.
#include "component/CComponent.h"
#include "component/FeatureSelection.h"
#include "frame/Boundary.h"
#include "api/Resolve.h"
#include "list/CPropList.h"

using namespace qx;

namespace {

int addSelection(HOBJ hSelector, HOBJ hFeature, int fullRights) {
    return guarded([&] {
        CComponent& selector = resolveComponent(hSelector);
        CComponent& feature = resolveComponent(hFeature);
        addFeatureSelection(selector, feature, fullRights != 0 ? rightsFull : rightsOrdinary);
    });
}

int read(HOBJ hComp, FeatureSide side, int index, HOBJ* pFeatures, size_t* pFeatureCount) {
    return guarded([&] {
        CPropList& list = resolveList(hComp);
        const CComponent& component = resolveComponent(hComp);
        readFeatures(component, side, list.listID(), index, pFeatures, pFeatureCount);
    });
}

} // namespace

extern "C" {

QX_API int qxCompAddSelectedFeature(HOBJ hComp, HOBJ hFeature, int fullRights) {
    return addSelection(hComp, hFeature, fullRights);
}

QX_API int qxCompAddSelectingFeature(HOBJ hComp, HOBJ hFeature, int fullRights) {
    return addSelection(hFeature, hComp, fullRights);
}

QX_API int qxCompGetSelectedFeatures(HOBJ hComp, int index, HOBJ* pFeatures, size_t* pFeatureCount) {
    return read(hComp, FeatureSide::Selected, index, pFeatures, pFeatureCount);
}

QX_API int qxCompGetSelectingFeatures(HOBJ hComp, int index, HOBJ* pFeatures, size_t* pFeatureCount) {
    return read(hComp, FeatureSide::Selecting, index, pFeatures, pFeatureCount);
}

} // extern "C"
