// component/FeatureSelection.h -- which components of a list select which others ("features"). The relation
// is bookkeeping only and lives in both directions in the shared data of the two components (entry indices
// in their common owning list), so every component object that shares the data sees the same relation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qxPropHandling.h"

namespace qx {

class CComponent;

enum class FeatureSide { Selected, Selecting };

// Records that selector selects feature. Needs full rights (rightsForce), the same owning list, and each
// component the creator of its shared data; a pair recorded already fails with EComponentAlreadyRegistered.
// The selector's half stays recorded when the feature's half fails.
void addFeatureSelection(CComponent& selector, CComponent& feature, std::uint32_t rights);

// Copies handles (listID << 16 | entry index) of one side of component's relation, from position index,
// into pFeatures (at most *pCount of them) and stores the total behind pCount. pFeatures may be null (count
// only). Nothing is written when it fails.
void readFeatures(const CComponent& component, FeatureSide side, std::uint16_t listID, int index, HOBJ* pFeatures,
                  std::size_t* pCount);

} // namespace qx
