// The processor's CPUID instruction, the module's one way of asking it, and
// the instruction sets that the vector kernels can use with what this
// processor (and its operating system) offers.
#pragma once

#include <cstdint>

namespace ZorvUISystem {

// The four registers of one CPUID answer.
struct CpuidResult {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// Executes CPUID for a leaf (and sub-leaf): __cpuid/__cpuidex of <intrin.h>
// under MSVC, <cpuid.h> under GCC and Clang. All zero when the leaf is beyond
// the processor's range or the processor is not x86.
CpuidResult cpuid(uint32_t leaf, uint32_t subleaf = 0);

enum class KernelLevel : uint32_t {
    None = 0,   // portable code only
    Mmx = 1,    // MMX without its extensions (what a Pentium II or K6-2 has)
    Sse2 = 2,   // SSE2
    Avx2 = 3,   // AVX2
    Avx512 = 4, // AVX-512 F, BW and VL
};

constexpr uint32_t kKernelLevelCount = 5;

// "none", "mmx", "sse2", "avx2" or "avx512".
const char* kernelLevelName(KernelLevel level);

// The highest level that both the processor and the operating system support
// (AVX state must be enabled in XCR0 for AVX2, and the opmask and upper ZMM
// state for AVX-512). KernelLevel::None on processors that are not x86 and
// on those without MMX.
KernelLevel highestCpuKernelLevel();

// The level to use: the one named by forced (the value of ZIV_SIMD, may be
// null) but never above cpuLevel; cpuLevel itself when forced is null, empty
// or not one of the five names.
KernelLevel chooseKernelLevel(const char* forced, KernelLevel cpuLevel);

} // namespace ZorvUISystem
