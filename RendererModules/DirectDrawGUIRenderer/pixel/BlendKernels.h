// The software blend kernels. Each combines the source rectangle with the
// destination in place; both descriptions point at the rectangle's first
// pixel and are stepped by their own lPitch. Result 0, or -1 for a mode
// outside 0-4 (nothing touched).
#pragma once

#include <cstdint>

#include <ddraw.h>

#include "pixel/CpuFeatures.h"

namespace ZorvUISystem {

// Modulates each source channel by its factor, then blends with a constant
// alpha (clamped to 0-256).
int32_t blendModulated(const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t destX, int32_t destY,
                       const RECT* sourceRect, int32_t alpha, uint32_t mode, uint32_t redFactor, uint32_t greenFactor,
                       uint32_t blueFactor);

// Half source, half destination, ignoring alpha.
int32_t blendHalf(const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t destX, int32_t destY,
                  const RECT* sourceRect, uint32_t mode);

// The vector kernels: a constant-alpha blend and the 50 % blend.
int32_t blendAlphaMmx(const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t destX, int32_t destY,
                      const RECT* sourceRect, int32_t alpha, uint32_t mode);
int32_t blendHalfMmx(const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t destX, int32_t destY,
                     const RECT* sourceRect, uint32_t mode);

// Soft edges: each texel blended source-over by its own alpha, read from the
// texture's alpha surface (alphaSource, pointing at the rectangle's first
// pixel; byte 3 of each 32-bit pixel, byte 0 of the others). The texel's
// colour holds its alpha already; it is modulated by the factors, and both it
// and the texel's alpha are scaled by the constant alpha (clamped to 0-255,
// 255 meaning opaque). A texel of alpha 0 leaves its destination as it was;
// alpha 255 with white factors and constant alpha 255 writes the texel.
int32_t blendTexelAlpha(const DDSURFACEDESC* source, const DDSURFACEDESC* alphaSource, DDSURFACEDESC* destination,
                        int32_t destX, int32_t destY, const RECT* sourceRect, int32_t alpha, uint32_t mode,
                        uint32_t redFactor, uint32_t greenFactor, uint32_t blueFactor);

// The instruction set the vector kernels use in this process, chosen once at
// start-up from the processor (ZIV_SIMD=none|sse2|avx2|avx512 forces one):
// "none", "sse2", "avx2" or "avx512".
const char* activeKernelLevelName();

// --- Kernel levels, for tests and benchmarks ---------------------------------

struct KernelTable;

// The level in use (see activeKernelLevelName) and its table.
KernelLevel activeKernelLevel();
const KernelTable& activeKernelTable();

// The complete table of one level (empty entries already taken from the
// lower levels), or null when this processor or this build lacks the level.
const KernelTable* kernelTableFor(KernelLevel level);

// The kernels with an explicit table; the functions above use
// activeKernelTable().
int32_t blendModulated(const KernelTable& kernels, const DDSURFACEDESC* source, DDSURFACEDESC* destination,
                       int32_t destX, int32_t destY, const RECT* sourceRect, int32_t alpha, uint32_t mode,
                       uint32_t redFactor, uint32_t greenFactor, uint32_t blueFactor);
int32_t blendHalf(const KernelTable& kernels, const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t destX,
                  int32_t destY, const RECT* sourceRect, uint32_t mode);
int32_t blendAlphaMmx(const KernelTable& kernels, const DDSURFACEDESC* source, DDSURFACEDESC* destination,
                      int32_t destX, int32_t destY, const RECT* sourceRect, int32_t alpha, uint32_t mode);
int32_t blendHalfMmx(const KernelTable& kernels, const DDSURFACEDESC* source, DDSURFACEDESC* destination, int32_t destX,
                     int32_t destY, const RECT* sourceRect, uint32_t mode);
int32_t blendTexelAlpha(const KernelTable& kernels, const DDSURFACEDESC* source, const DDSURFACEDESC* alphaSource,
                        DDSURFACEDESC* destination, int32_t destX, int32_t destY, const RECT* sourceRect, int32_t alpha,
                        uint32_t mode, uint32_t redFactor, uint32_t greenFactor, uint32_t blueFactor);

} // namespace ZorvUISystem
