// The processor probe's parts, for tests that feed it a processor type and a
// CPUID answer of their own.
#pragma once

#include <cstdint>

#include <windows.h>

namespace ZorvUISystem {

// EDX of CPUID leaf 1, or 0 where the processor cannot report its features.
uint32_t readProcessorFeatureFlags();

// The probe's rule: processors reported as 386 or 486 have no features and are
// not asked; every other type answers readFlags() unchanged.
uint32_t processorFeaturesFor(DWORD processorType, uint32_t (*readFlags)());

} // namespace ZorvUISystem
