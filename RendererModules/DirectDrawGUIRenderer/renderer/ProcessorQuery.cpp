// The probe the renderer runs at construction. Alone in its file: white-box
// tests link their own queryProcessorFeatures in its place to choose the
// processor's answer (tests/support/ProcessorFeaturesOverride.cpp).
#include "renderer/CDDRender.h"
#include "renderer/ProcessorProbe.h"

namespace ZorvUISystem {

uint32_t queryProcessorFeatures()
{
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    return processorFeaturesFor(info.dwProcessorType, readProcessorFeatureFlags);
}

} // namespace ZorvUISystem
