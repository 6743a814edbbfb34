// The processor probe: old processor types are never asked, others answer
// their CPUID feature word unchanged.
#include <gtest/gtest.h>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "ProcessorFeaturesOverride.h"
#include "renderer/CDDRender.h"
#include "renderer/ProcessorProbe.h"

namespace {

using ZorvUISystem::processorFeaturesFor;

int g_reads = 0;
uint32_t g_flags = 0;

uint32_t fakeFlags()
{
    ++g_reads;
    return g_flags;
}

TEST(ProcessorProbe, OldProcessorsReportNothingWithoutAskingCpuid)
{
    g_flags = 0xFFFFFFFFu;
    for (DWORD type : {DWORD(PROCESSOR_INTEL_386), DWORD(PROCESSOR_INTEL_486)}) {
        g_reads = 0;
        EXPECT_EQ(processorFeaturesFor(type, fakeFlags), 0u) << type;
        EXPECT_EQ(g_reads, 0) << type;
    }
}

TEST(ProcessorProbe, OtherProcessorsAnswerTheFeatureWordUnchanged)
{
    g_flags = 0x178BFBFFu;
    for (DWORD type : {DWORD(PROCESSOR_INTEL_PENTIUM), DWORD(PROCESSOR_AMD_X8664), DWORD(0), DWORD(487)}) {
        g_reads = 0;
        EXPECT_EQ(processorFeaturesFor(type, fakeFlags), 0x178BFBFFu) << type;
        EXPECT_EQ(g_reads, 1) << type;
    }
}

TEST(ProcessorProbe, OverrideReplacesTheAnswerUntilCleared)
{
    const uint32_t real = ZorvUISystem::queryProcessorFeatures();
    const uint32_t forced = 0x12345678u;
    ZorvUISystem::setProcessorFeaturesOverride(&forced);
    EXPECT_EQ(ZorvUISystem::queryProcessorFeatures(), forced);
    ZorvUISystem::setProcessorFeaturesOverride(nullptr);
    EXPECT_EQ(ZorvUISystem::queryProcessorFeatures(), real);
}

#if defined(__i386__) || defined(__x86_64__)
TEST(ProcessorProbe, MmxBitMatchesThisProcessor)
{
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    ASSERT_NE(__get_cpuid(1, &eax, &ebx, &ecx, &edx), 0);
    EXPECT_EQ(ZorvUISystem::readProcessorFeatureFlags(), edx);
    EXPECT_EQ(ZorvUISystem::queryProcessorFeatures() & ZorvUISystem::kProcessorFeatureMmx,
              edx & ZorvUISystem::kProcessorFeatureMmx);
#if defined(__x86_64__)
    // Every x86-64 processor has MMX.
    EXPECT_NE(ZorvUISystem::queryProcessorFeatures() & ZorvUISystem::kProcessorFeatureMmx, 0u);
#endif
}
#endif

} // namespace
