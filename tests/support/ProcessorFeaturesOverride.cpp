#include "ProcessorFeaturesOverride.h"

#include "renderer/CDDRender.h"
#include "renderer/ProcessorProbe.h"

namespace ZorvUISystem {

namespace {

bool g_overridden = false;
uint32_t g_features = 0;

} // namespace

void setProcessorFeaturesOverride(const uint32_t* features)
{
    g_overridden = features != nullptr;
    g_features = features != nullptr ? *features : 0;
}

// In place of the module's: the chosen word, else the real probe's answer.
uint32_t queryProcessorFeatures()
{
    if (g_overridden)
        return g_features;
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    return processorFeaturesFor(info.dwProcessorType, readProcessorFeatureFlags);
}

} // namespace ZorvUISystem
