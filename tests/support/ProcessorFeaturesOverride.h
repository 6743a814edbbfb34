// White-box tests choose the processor's feature word that a renderer sees at
// construction. Linking ProcessorFeaturesOverride.cpp puts its
// queryProcessorFeatures in place of the module's (a link seam: the module's
// stands alone in renderer/ProcessorQuery.cpp).
#pragma once

#include <cstdint>

namespace ZorvUISystem {

// Renderers constructed from now on see *features; nullptr gives them the
// real probe again.
void setProcessorFeaturesOverride(const uint32_t* features);

} // namespace ZorvUISystem
