#include "renderer/ProcessorProbe.h"

#include "pixel/CpuFeatures.h"

namespace ZorvUISystem {

uint32_t readProcessorFeatureFlags()
{
    return cpuid(1).edx;
}

uint32_t processorFeaturesFor(DWORD processorType, uint32_t (*readFlags)())
{
    if (processorType == PROCESSOR_INTEL_386 || processorType == PROCESSOR_INTEL_486)
        return 0;
    return readFlags();
}

} // namespace ZorvUISystem
