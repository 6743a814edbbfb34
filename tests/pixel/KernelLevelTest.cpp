// The choice of instruction set and the kernel tables' fallback chain.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "pixel/BlendKernels.h"
#include "pixel/CpuFeatures.h"
#include "pixel/KernelTable.h"

namespace {

using namespace ZorvUISystem;

TEST(KernelLevel, ForcedLevelNeverExceedsTheProcessor)
{
    EXPECT_EQ(chooseKernelLevel(nullptr, KernelLevel::Avx2), KernelLevel::Avx2);
    EXPECT_EQ(chooseKernelLevel("", KernelLevel::Avx2), KernelLevel::Avx2);
    EXPECT_EQ(chooseKernelLevel("fastest", KernelLevel::Avx512), KernelLevel::Avx512);
    EXPECT_EQ(chooseKernelLevel("none", KernelLevel::Avx512), KernelLevel::None);
    EXPECT_EQ(chooseKernelLevel("mmx", KernelLevel::Avx512), KernelLevel::Mmx);
    EXPECT_EQ(chooseKernelLevel("sse2", KernelLevel::Mmx), KernelLevel::Mmx);
    EXPECT_EQ(chooseKernelLevel("sse2", KernelLevel::Avx512), KernelLevel::Sse2);
    EXPECT_EQ(chooseKernelLevel("avx2", KernelLevel::Avx512), KernelLevel::Avx2);
    EXPECT_EQ(chooseKernelLevel("avx512", KernelLevel::Avx512), KernelLevel::Avx512);
    EXPECT_EQ(chooseKernelLevel("avx512", KernelLevel::Avx2), KernelLevel::Avx2);
    EXPECT_EQ(chooseKernelLevel("avx2", KernelLevel::None), KernelLevel::None);
    EXPECT_EQ(chooseKernelLevel("AVX2", KernelLevel::Avx512), KernelLevel::Avx512);
}

TEST(KernelLevel, NamesAreTheFourLevels)
{
    EXPECT_STREQ(kernelLevelName(KernelLevel::None), "none");
    EXPECT_STREQ(kernelLevelName(KernelLevel::Mmx), "mmx");
    EXPECT_STREQ(kernelLevelName(KernelLevel::Sse2), "sse2");
    EXPECT_STREQ(kernelLevelName(KernelLevel::Avx2), "avx2");
    EXPECT_STREQ(kernelLevelName(KernelLevel::Avx512), "avx512");
}

TEST(KernelLevel, ActiveLevelFollowsTheEnvironment)
{
    // The suite runs once as it is and once with ZIV_SIMD=none.
    const char* forced = std::getenv("ZIV_SIMD");
    KernelLevel usable = KernelLevel::None;
    while (static_cast<uint32_t>(usable) + 1 < kKernelLevelCount &&
           kernelTableFor(static_cast<KernelLevel>(static_cast<uint32_t>(usable) + 1)) != nullptr)
        usable = static_cast<KernelLevel>(static_cast<uint32_t>(usable) + 1);
    EXPECT_EQ(activeKernelLevel(), chooseKernelLevel(forced, usable));
    EXPECT_STREQ(activeKernelLevelName(), kernelLevelName(activeKernelLevel()));
    EXPECT_EQ(&activeKernelTable(), kernelTableFor(activeKernelLevel()));
    if (forced != nullptr && std::strcmp(forced, "none") == 0) {
        EXPECT_STREQ(activeKernelLevelName(), "none");
    }
}

TEST(KernelLevel, TablesExistUpToTheProcessorsLevelAndAreComplete)
{
    ASSERT_NE(kernelTableFor(KernelLevel::None), nullptr);
    bool missing = false;
    for (uint32_t i = 0; i < kKernelLevelCount; ++i) {
        const KernelTable* t = kernelTableFor(static_cast<KernelLevel>(i));
        if (t == nullptr) {
            missing = true;
            EXPECT_GT(static_cast<KernelLevel>(i), highestCpuKernelLevel())
                << kernelLevelName(static_cast<KernelLevel>(i));
            continue;
        }
        EXPECT_FALSE(missing) << "a level above a missing one";
        EXPECT_EQ(t->level, static_cast<KernelLevel>(i));
        for (uint32_t mode = 0; mode < kKernelModeCount; ++mode) {
            EXPECT_NE(t->modulated[mode], nullptr);
            EXPECT_NE(t->half[mode], nullptr);
            EXPECT_NE(t->alphaMmx[mode], nullptr);
            EXPECT_NE(t->halfMmx[mode], nullptr);
        }
    }
}

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
// Every vector level serves every kernel and mode with code of its own
// instruction set, except where that code is slower than the level below's:
// MMX leaves blendHalf on 16-bit pixels to portable, AVX-512 leaves the 24-bit
// mode to AVX2, and blendTexelAlpha has no vector code for the other 16-bit
// layouts. An entry left empty by
// mistake would quietly fall back to a slower level.
TEST(KernelLevel, EveryVectorTableFillsItsEntries)
{
    struct Declared {
        const KernelTable* table;
        bool (*own)(uint32_t kernel, uint32_t mode); // kernels: modulated, half, alphaMmx, halfMmx, texelAlpha
    };
    const Declared declared[] = {
        {&kMmxKernels,
         [](uint32_t kernel, uint32_t mode) {
             if (kernel == 4)
                 return mode != 2;
             return mode > 2 || kernel != 1;
         }},
        {&kSse2Kernels, [](uint32_t kernel, uint32_t mode) { return kernel != 4 || mode != 2; }},
        {&kAvx2Kernels, [](uint32_t kernel, uint32_t mode) { return kernel != 4 || mode != 2; }},
        {&kAvx512Kernels, [](uint32_t kernel, uint32_t mode) { return mode != 3 && (kernel != 4 || mode != 2); }},
    };
    for (const Declared& d : declared)
        for (uint32_t mode = 0; mode < kKernelModeCount; ++mode) {
            const char* level = kernelLevelName(d.table->level);
            const BlendRowsFn entries[] = {d.table->modulated[mode], d.table->half[mode], d.table->alphaMmx[mode],
                                           d.table->halfMmx[mode], d.table->texelAlpha[mode]};
            for (uint32_t kernel = 0; kernel < 5; ++kernel)
                EXPECT_EQ(entries[kernel] != nullptr, d.own(kernel, mode))
                    << level << " kernel " << kernel << " mode " << mode;
        }
}
#endif

} // namespace

// The one CPUID of the module answers as the compiler's own intrinsic does,
// and a leaf beyond the processor's range reads as zero.
#if defined(__i386__) || defined(__x86_64__)
TEST(Cpuid, AnswersAsTheCompilersIntrinsic)
{
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    ASSERT_NE(__get_cpuid(1, &eax, &ebx, &ecx, &edx), 0);
    const ZorvUISystem::CpuidResult leaf1 = ZorvUISystem::cpuid(1);
    EXPECT_EQ(leaf1.edx, edx);
    EXPECT_EQ(leaf1.ecx, ecx);
    const uint32_t highest = __get_cpuid_max(0, nullptr);
    const ZorvUISystem::CpuidResult beyond = ZorvUISystem::cpuid(highest + 1);
    EXPECT_EQ(beyond.eax | beyond.ebx | beyond.ecx | beyond.edx, 0u);
}
#endif
