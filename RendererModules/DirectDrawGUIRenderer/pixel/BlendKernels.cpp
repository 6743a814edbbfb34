// The kernels' entry points: argument decoding, and the choice of the kernel
// table once per process.

#include "pixel/BlendKernels.h"

#include <cstdlib>

#include "pixel/KernelTable.h"
#include "pixel/LevelTables.h"

namespace ZorvUISystem {

namespace {

const KernelTable* const kDeclaredKernels[] = {
    &kPortableKernels,
#if defined(ZIV_X86_KERNELS)
    &kMmxKernels,      &kSse2Kernels, &kAvx2Kernels, &kAvx512Kernels,
#endif
};

// Fills each empty entry of one kernel from the fallback chain.
void resolveEntries(BlendRowsFn (KernelTable::*entries)[kKernelModeCount], const KernelTable& declared,
                    KernelTable& resolved)
{
    for (uint32_t mode = 0; mode < kKernelModeCount; ++mode)
        (resolved.*entries)[mode] = entryFromChain(declared, [&](const KernelTable& t) { return (t.*entries)[mode]; });
}

KernelTable resolve(const KernelTable& declared)
{
    KernelTable resolved = declared;
    resolveEntries(&KernelTable::modulated, declared, resolved);
    resolveEntries(&KernelTable::half, declared, resolved);
    resolveEntries(&KernelTable::alphaMmx, declared, resolved);
    resolveEntries(&KernelTable::halfMmx, declared, resolved);
    resolveEntries(&KernelTable::texelAlpha, declared, resolved);
    return resolved;
}

const LevelTables<KernelTable>& kernelSet()
{
    static const LevelTables<KernelTable> set = chooseLevelTables(
        kDeclaredKernels, [](KernelLevel usable) { return chooseKernelLevel(std::getenv("ZIV_SIMD"), usable); },
        resolve);
    return set;
}

enum class Decoded { Run, Empty, Invalid };

// Decodes what every kernel needs. Empty for a rectangle without pixels (zero
// or negative width or height), Invalid for a missing description or surface
// pointer; in both cases nothing is read or written.
Decoded decodeJob(const DDSURFACEDESC* source, DDSURFACEDESC* destination, const RECT* sourceRect, BlendJob& job)
{
    if (source == nullptr || destination == nullptr || source->lpSurface == nullptr ||
        destination->lpSurface == nullptr)
        return Decoded::Invalid;
    int64_t width, height;
    if (sourceRect != nullptr) {
        width = static_cast<int64_t>(sourceRect->right) - sourceRect->left;
        height = static_cast<int64_t>(sourceRect->bottom) - sourceRect->top;
    } else {
        width = source->dwWidth;
        height = source->dwHeight;
    }
    if (width <= 0 || height <= 0)
        return Decoded::Empty;
    job.source = static_cast<const uint8_t*>(source->lpSurface);
    job.destination = static_cast<uint8_t*>(destination->lpSurface);
    job.sourcePitch = source->lPitch;
    job.destinationPitch = destination->lPitch;
    job.width = static_cast<uint32_t>(width);
    job.height = static_cast<uint32_t>(height);
    job.alpha = 0;
    job.redFactor = job.greenFactor = job.blueFactor = 0;
    const DDPIXELFORMAT& sf = source->ddpfPixelFormat;
    const DDPIXELFORMAT& df = destination->ddpfPixelFormat;
    job.sourceMasks[0] = sf.dwRBitMask;
    job.sourceMasks[1] = sf.dwGBitMask;
    job.sourceMasks[2] = sf.dwBBitMask;
    job.destinationMasks[0] = df.dwRBitMask;
    job.destinationMasks[1] = df.dwGBitMask;
    job.destinationMasks[2] = df.dwBBitMask;
    job.alphaSource = nullptr;
    job.alphaPitch = 0;
    return Decoded::Run;
}

uint32_t clampAlpha(int32_t alpha)
{
    return alpha < 0 ? 0u : alpha > 256 ? 256u : static_cast<uint32_t>(alpha);
}
uint32_t clampFactor(uint32_t factor)
{
    return factor > 255 ? 255u : factor;
}

// The steps every kernel entry shares: refuse a mode outside 0-4, decode the
// descriptions and the rectangle, let `setUp` add the kernel's own arguments,
// then run the kernel of that mode. An empty rectangle is a success that
// touches nothing; a null description or surface pointer is -1.
template <class SetUp>
int32_t runKernel(const BlendRowsFn (&kernels)[kKernelModeCount], uint32_t mode, const DDSURFACEDESC* source,
                  DDSURFACEDESC* destination, const RECT* sourceRect, const SetUp& setUp)
{
    if (mode >= kKernelModeCount)
        return -1;
    BlendJob job;
    const Decoded decoded = decodeJob(source, destination, sourceRect, job);
    if (decoded != Decoded::Run)
        return decoded == Decoded::Invalid ? -1 : 0;
    setUp(job);
    kernels[mode](job);
    return 0;
}

void noArguments(BlendJob&) {}

} // namespace

KernelLevel activeKernelLevel()
{
    return kernelSet().active;
}

const KernelTable& activeKernelTable()
{
    return kernelSet().activeTable();
}

const KernelTable* kernelTableFor(KernelLevel level)
{
    return kernelSet().tableFor(level);
}

const char* activeKernelLevelName()
{
    return kernelLevelName(activeKernelLevel());
}

int32_t blendModulated(const KernelTable& kernels, const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t,
                       int32_t, const RECT* sourceRect, int32_t alpha, uint32_t mode, uint32_t redFactor,
                       uint32_t greenFactor, uint32_t blueFactor)
{
    return runKernel(kernels.modulated, mode, source, destination, sourceRect, [&](BlendJob& job) {
        job.alpha = clampAlpha(alpha);
        job.redFactor = clampFactor(redFactor);
        job.greenFactor = clampFactor(greenFactor);
        job.blueFactor = clampFactor(blueFactor);
    });
}

int32_t blendHalf(const KernelTable& kernels, const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t, int32_t,
                  const RECT* sourceRect, uint32_t mode)
{
    return runKernel(kernels.half, mode, source, destination, sourceRect, noArguments);
}

int32_t blendAlphaMmx(const KernelTable& kernels, const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t,
                      int32_t, const RECT* sourceRect, int32_t alpha, uint32_t mode)
{
    return runKernel(kernels.alphaMmx, mode, source, destination, sourceRect,
                     [&](BlendJob& job) { job.alpha = clampAlpha(alpha); });
}

int32_t blendHalfMmx(const KernelTable& kernels, const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t,
                     int32_t, const RECT* sourceRect, uint32_t mode)
{
    return runKernel(kernels.halfMmx, mode, source, destination, sourceRect, noArguments);
}

int32_t blendTexelAlpha(const KernelTable& kernels, const DDSURFACEDESC* source, const DDSURFACEDESC* alphaSource,
                        DDSURFACEDESC* destination, int32_t, int32_t, const RECT* sourceRect, int32_t alpha,
                        uint32_t mode, uint32_t redFactor, uint32_t greenFactor, uint32_t blueFactor)
{
    if (alphaSource == nullptr || alphaSource->lpSurface == nullptr)
        return -1;
    return runKernel(kernels.texelAlpha, mode, source, destination, sourceRect, [&](BlendJob& job) {
        const uint32_t a = clampAlpha(alpha);
        job.alpha = a > 255 ? 255u : a;
        job.redFactor = clampFactor(redFactor);
        job.greenFactor = clampFactor(greenFactor);
        job.blueFactor = clampFactor(blueFactor);
        job.alphaSource = static_cast<const uint8_t*>(alphaSource->lpSurface);
        job.alphaPitch = alphaSource->lPitch;
    });
}

int32_t blendModulated(const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t destX, int32_t destY,
                       const RECT* sourceRect, int32_t alpha, uint32_t mode, uint32_t redFactor, uint32_t greenFactor,
                       uint32_t blueFactor)
{
    return blendModulated(activeKernelTable(), source, destination, destX, destY, sourceRect, alpha, mode, redFactor,
                          greenFactor, blueFactor);
}

int32_t blendHalf(const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t destX, int32_t destY,
                  const RECT* sourceRect, uint32_t mode)
{
    return blendHalf(activeKernelTable(), source, destination, destX, destY, sourceRect, mode);
}

int32_t blendAlphaMmx(const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t destX, int32_t destY,
                      const RECT* sourceRect, int32_t alpha, uint32_t mode)
{
    return blendAlphaMmx(activeKernelTable(), source, destination, destX, destY, sourceRect, alpha, mode);
}

int32_t blendHalfMmx(const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t destX, int32_t destY,
                     const RECT* sourceRect, uint32_t mode)
{
    return blendHalfMmx(activeKernelTable(), source, destination, destX, destY, sourceRect, mode);
}

int32_t blendTexelAlpha(const DDSURFACEDESC* source, const DDSURFACEDESC* alphaSource, DDSURFACEDESC* destination,
                        int32_t destX, int32_t destY, const RECT* sourceRect, int32_t alpha, uint32_t mode,
                        uint32_t redFactor, uint32_t greenFactor, uint32_t blueFactor)
{
    return blendTexelAlpha(activeKernelTable(), source, alphaSource, destination, destX, destY, sourceRect, alpha, mode,
                           redFactor, greenFactor, blueFactor);
}

} // namespace ZorvUISystem
