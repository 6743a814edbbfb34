#include "renderer/ProcessorProbe.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "renderer/CDDRender.h"

namespace ZorvUISystem {

namespace {

bool g_featuresOverridden = false;
uint32_t g_overriddenFeatures = 0;

} // namespace

uint32_t readProcessorFeatureFlags()
{
#if defined(__i386__) || defined(__x86_64__)
    // __get_cpuid checks that the instruction and the leaf exist first.
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0)
        return 0;
    return edx;
#else
    return 0;
#endif
}

uint32_t processorFeaturesFor(DWORD processorType, uint32_t (*readFlags)())
{
    if (processorType == PROCESSOR_INTEL_386 || processorType == PROCESSOR_INTEL_486)
        return 0;
    return readFlags();
}

uint32_t queryProcessorFeatures()
{
    if (g_featuresOverridden)
        return g_overriddenFeatures;
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    return processorFeaturesFor(info.dwProcessorType, readProcessorFeatureFlags);
}

void setProcessorFeaturesOverride(const uint32_t* features)
{
    g_featuresOverridden = features != nullptr;
    g_overriddenFeatures = features != nullptr ? *features : 0;
}

} // namespace ZorvUISystem
