// component/FeatureSelection.cpp -- adding and reading feature selections. Storage is
// CComponentSharedData's (selectedFeatures / selectingFeatures); this file holds the rules around it.
#include "component/FeatureSelection.h"

#include <algorithm>
#include <vector>

#include "component/CComponent.h"
#include "component/Vocabulary.h"
#include "frame/Eqx.h"

namespace qx {

namespace {

const char* ownerName(const CComponent& component) {
    return component.owner() != nullptr ? component.owner()->name().c_str() : "null";
}

void addIndex(std::vector<std::uint16_t>& sequence, std::uint16_t index, const CComponent& named) {
    if (std::find(sequence.begin(), sequence.end(), index) != sequence.end()) {
        throw EComponentAlreadyRegistered("A component with the name '" + named.name() +
                                          "' is already registered in this list");
    }
    sequence.push_back(index);
}

} // namespace

void addFeatureSelection(CComponent& selector, CComponent& feature, std::uint32_t rights) {
    if ((rights & rightsForce) == 0) throw noWriteRights(selector);
    if (selector.owner() != feature.owner()) {
        throw EInvalidInputParameter(formatText(
            "A component can only select features having the same owner! '%s' is owned by '%s' while the feature it "
            "shall select('%s') is owned by '%s'",
            selector.name().c_str(), ownerName(selector), feature.name().c_str(), ownerName(feature)));
    }
    addIndex(selector.sharedData()->selectedFeaturesFor(&selector), feature.index(), feature);
    addIndex(feature.sharedData()->selectingFeaturesFor(&feature), selector.index(), selector);
}

void readFeatures(const CComponent& component, FeatureSide side, std::uint16_t listID, int index, HOBJ* pFeatures,
                  std::size_t* pCount) {
    if (pCount == nullptr) throw EInvalidInputParameter("Invalid input parameters: 'pFeatureCount' is invalid");
    const std::vector<std::uint16_t>& sequence =
        side == FeatureSide::Selected ? component.sharedData()->selectedFeatures() : component.sharedData()->selectingFeatures();
    const std::size_t n = sequence.size();
    if (pFeatures != nullptr) {
        if (index < 0) {
            throw EInvalidInputParameter(
                formatText("Invalid input parameters: 'index' must not be smaller than 0(is: %d)", index));
        }
        const auto start = static_cast<std::size_t>(index);
        if (n > 0 && start >= n) {
            throw EInvalidInputParameter(formatText("Invalid input parameters: 'index' must not be greater of equal "
                                                    "then the number of selected features(is: %d, max: %u)",
                                                    index, static_cast<unsigned>(n - 1)));
        }
        const std::size_t k = start >= n ? 0 : std::min(*pCount, n - start);
        for (std::size_t j = 0; j < k; ++j) {
            pFeatures[j] = (static_cast<HOBJ>(listID) << 16) | sequence[start + j];
        }
    }
    *pCount = n;
}

} // namespace qx
