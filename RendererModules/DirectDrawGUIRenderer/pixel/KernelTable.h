// The kernel tables: one per instruction set, each entry a rows function for
// one kernel and one pixel mode. A table may leave an entry empty; the entry
// is then taken from the next lower table (its fallback), down to the
// portable table, which fills every entry.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/CpuFeatures.h"

namespace ZorvUISystem {

// The arguments of one kernel call, decoded once by the public entry points:
// both first-pixel pointers, both pitches, the rectangle size (at least 1 x 1),
// the clamped alpha (0-256), the colour factors and the channel masks of
// both descriptions; for the texel-alpha blend also the first pixel and pitch
// of the texture's alpha surface (null for the other kernels).
struct BlendJob {
    const uint8_t* source;
    uint8_t* destination;
    ptrdiff_t sourcePitch;
    ptrdiff_t destinationPitch;
    uint32_t width;
    uint32_t height;
    uint32_t alpha;
    uint32_t redFactor;
    uint32_t greenFactor;
    uint32_t blueFactor;
    uint32_t sourceMasks[3];      // red, green, blue
    uint32_t destinationMasks[3]; // red, green, blue
    const uint8_t* alphaSource;   // texel alpha: byte 3 of a 32-bit pixel, byte 0 of the others
    ptrdiff_t alphaPitch;
};

using BlendRowsFn = void (*)(const BlendJob& job);

constexpr uint32_t kKernelModeCount = 5; // the modes 0-4 that the kernels handle

struct KernelTable {
    KernelLevel level;
    const KernelTable* fallback; // next lower instruction set; null for the portable table
    BlendRowsFn modulated[kKernelModeCount];
    BlendRowsFn half[kKernelModeCount];
    BlendRowsFn alphaMmx[kKernelModeCount];
    BlendRowsFn halfMmx[kKernelModeCount];
    BlendRowsFn texelAlpha[kKernelModeCount];
};

// The tables as each instruction set defines them (entries may be empty).
// The vector tables are built only for x86 processors (ZIV_X86_KERNELS).
extern const KernelTable kPortableKernels;
extern const KernelTable kMmxKernels;
extern const KernelTable kSse2Kernels;
extern const KernelTable kAvx2Kernels;
extern const KernelTable kAvx512Kernels;

} // namespace ZorvUISystem
