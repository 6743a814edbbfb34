// GetSystemInfo: the values the renderer and hosts read.
#include <windows.h>

#include <gtest/gtest.h>

#include <bitset>
#include <cstring>
#include <unistd.h>

TEST(GetSystemInfo, DescribesThisMachine)
{
    SYSTEM_INFO info;
    std::memset(&info, 0xA5, sizeof info);
    GetSystemInfo(&info);

    EXPECT_EQ(long(info.dwPageSize), sysconf(_SC_PAGESIZE));
    EXPECT_GE(info.dwAllocationGranularity, info.dwPageSize);
    EXPECT_GE(info.dwNumberOfProcessors, 1u);
    EXPECT_EQ(std::bitset<64>(info.dwActiveProcessorMask).count(), info.dwNumberOfProcessors);
    EXPECT_LT(info.lpMinimumApplicationAddress, info.lpMaximumApplicationAddress);
    EXPECT_EQ(info.wReserved, 0);
#if defined(__x86_64__)
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(info.dwProcessorType, DWORD(PROCESSOR_AMD_X8664));
#elif defined(__i386__)
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
    EXPECT_EQ(info.dwProcessorType, DWORD(PROCESSOR_INTEL_PENTIUM));
#endif
#if defined(__i386__) || defined(__x86_64__)
    // Every x86-64 processor is at least family 6 (or 15 and above).
    EXPECT_GE(info.wProcessorLevel, 5);
#endif
    // A processor type the renderer treats as "older than a Pentium" would
    // switch off its fast paths.
    EXPECT_NE(info.dwProcessorType, DWORD(PROCESSOR_INTEL_386));
    EXPECT_NE(info.dwProcessorType, DWORD(PROCESSOR_INTEL_486));
}
