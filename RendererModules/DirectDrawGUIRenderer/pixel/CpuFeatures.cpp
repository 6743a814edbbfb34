#include "pixel/CpuFeatures.h"

#include <cstring>

#if defined(_MSC_VER) && !defined(__clang__) && (defined(_M_X64) || defined(_M_IX86))
#include <intrin.h>
#define ZIV_CPUID_MSVC 1
#elif (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#define ZIV_CPUID_GNU 1
#endif

namespace ZorvUISystem {

CpuidResult cpuid(uint32_t leaf, uint32_t subleaf)
{
    CpuidResult r;
#if defined(ZIV_CPUID_MSVC)
    int highest[4];
    __cpuid(highest, static_cast<int>(leaf & 0x80000000u));
    if (static_cast<uint32_t>(highest[0]) < leaf)
        return r;
    int regs[4];
    __cpuidex(regs, static_cast<int>(leaf), static_cast<int>(subleaf));
    r.eax = static_cast<uint32_t>(regs[0]);
    r.ebx = static_cast<uint32_t>(regs[1]);
    r.ecx = static_cast<uint32_t>(regs[2]);
    r.edx = static_cast<uint32_t>(regs[3]);
#elif defined(ZIV_CPUID_GNU)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid_count(leaf, subleaf, &a, &b, &c, &d) == 0)
        return r;
    r.eax = a;
    r.ebx = b;
    r.ecx = c;
    r.edx = d;
#else
    (void)leaf;
    (void)subleaf;
#endif
    return r;
}

namespace {

// The register state the operating system saves (XCR0); call only when
// CPUID reports OSXSAVE.
uint64_t enabledStateComponents()
{
#if defined(ZIV_CPUID_MSVC)
    return _xgetbv(0);
#elif defined(ZIV_CPUID_GNU)
    uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
#else
    return 0;
#endif
}

bool bit(uint32_t value, unsigned index)
{
    return ((value >> index) & 1u) != 0;
}

KernelLevel probeCpu()
{
    const CpuidResult leaf1 = cpuid(1, 0);
    if (!bit(leaf1.edx, 26)) // SSE2
        return bit(leaf1.edx, 23) ? KernelLevel::Mmx : KernelLevel::None;

    const bool osxsave = bit(leaf1.ecx, 27);
    const bool avx = bit(leaf1.ecx, 28);
    if (!osxsave || !avx)
        return KernelLevel::Sse2;
    const uint64_t xcr0 = enabledStateComponents();
    const bool ymmState = (xcr0 & 0x6) == 0x6;   // SSE and AVX state
    const bool zmmState = (xcr0 & 0xE6) == 0xE6; // plus opmask, ZMM_Hi256, Hi16_ZMM
    const CpuidResult leaf7 = cpuid(7, 0);
    if (!ymmState || !bit(leaf7.ebx, 5)) // AVX2
        return KernelLevel::Sse2;

    const bool avx512 = bit(leaf7.ebx, 16) && bit(leaf7.ebx, 30) && bit(leaf7.ebx, 31); // F, BW, VL
    if (!zmmState || !avx512)
        return KernelLevel::Avx2;
    return KernelLevel::Avx512;
}

} // namespace

const char* kernelLevelName(KernelLevel level)
{
    switch (level) {
    case KernelLevel::Mmx:
        return "mmx";
    case KernelLevel::Sse2:
        return "sse2";
    case KernelLevel::Avx2:
        return "avx2";
    case KernelLevel::Avx512:
        return "avx512";
    case KernelLevel::None:
        break;
    }
    return "none";
}

KernelLevel highestCpuKernelLevel()
{
    static const KernelLevel level = probeCpu();
    return level;
}

KernelLevel chooseKernelLevel(const char* forced, KernelLevel cpuLevel)
{
    if (forced == nullptr)
        return cpuLevel;
    for (uint32_t i = 0; i < kKernelLevelCount; ++i) {
        const KernelLevel candidate = static_cast<KernelLevel>(i);
        if (std::strcmp(forced, kernelLevelName(candidate)) == 0)
            return candidate < cpuLevel ? candidate : cpuLevel;
    }
    return cpuLevel;
}

} // namespace ZorvUISystem
