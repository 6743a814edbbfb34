// A reference model of the blend kernels, one pixel at a time, in wide
// integers with explicit floor division, written from the formulas and not
// from the kernels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace reference {

enum class Kernel { Modulated, Half, AlphaMmx, HalfMmx, TexelAlpha };

const char* kernelName(Kernel kernel);

// One surface rectangle in a byte buffer: pixel (x, y) starts at
// origin + y * pitch + x * bytesPerPixel.
struct View {
    std::vector<uint8_t>* bytes;
    ptrdiff_t origin;
    ptrdiff_t pitch;
};

struct Call {
    Kernel kernel;
    uint32_t mode;
    uint32_t width, height;
    int32_t alpha;             // as passed (before clamping)
    uint32_t red, green, blue; // factors as passed
    uint32_t sourceMasks[3];   // red, green, blue
    uint32_t destinationMasks[3];
    View alphaSurface{nullptr, 0, 0}; // TexelAlpha: the texels' alpha surface, same pixel size as the source
};

// Applies the call to the destination view as the formulas define it.
// Returns the kernel's result (-1 for modes outside 0-4, nothing changed).
int32_t apply(const Call& call, const View& source, const View& destination);

int64_t floorDiv(int64_t numerator, int64_t denominator);

} // namespace reference
