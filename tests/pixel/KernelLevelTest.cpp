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
// instruction set: none of its entries is left to a lower table.
TEST(KernelLevel, EveryVectorTableFillsEveryEntry)
{
    for (const KernelTable* t : {&kSse2Kernels, &kAvx2Kernels, &kAvx512Kernels})
        for (uint32_t mode = 0; mode < kKernelModeCount; ++mode) {
            const char* level = kernelLevelName(t->level);
            EXPECT_NE(t->modulated[mode], nullptr) << level << " blendModulated mode " << mode;
            EXPECT_NE(t->half[mode], nullptr) << level << " blendHalf mode " << mode;
            EXPECT_NE(t->alphaMmx[mode], nullptr) << level << " blendAlphaMmx mode " << mode;
            EXPECT_NE(t->halfMmx[mode], nullptr) << level << " blendHalfMmx mode " << mode;
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
