// Conversion of 8-bit RGBA or RGB pixels into the memory of locked texture
// surfaces, one pass per pixel mode, through the upload kernel table in use
// (pixel/UploadKernels.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/RgbMode.h"
#include "pixel/UploadKernels.h"

namespace ZorvUISystem {

// Source pixels: rows of 4 bytes (red, green, blue, alpha) or 3 bytes (red,
// green, blue) per pixel, pitch bytes apart.
struct UploadSource {
    const uint8_t* pixels;
    size_t pitch;
    bool rgba;
};

// Converts width x height pixels into a surface of mode 0 to 4 (555, 565,
// other 16-bit, 24, 32). Colour is scaled by alpha so that a texel of alpha 0
// becomes 0, the transparent value:
// - 555, 565, 24, 32: c * (a + 1) >> 8;
// - other 16-bit layouts: c * a >> 8.
// The alpha surface receives a as the fourth byte of a 32-bit pixel, the
// first byte of a 24-bit pixel, the low byte of a 565 or 555 pixel (the high
// byte is kept), or the whole pixel of other 16-bit layouts. When alpha lives
// in the colour surface, only a 32-bit pixel has room for it (its fourth
// byte); other layouts keep their colour. With a separate alpha surface a
// 32-bit colour pixel keeps its fourth byte unless a is 0. RGB sources are
// not scaled and fill the fourth byte of 32-bit pixels with 0xFF.
// Other modes convert nothing.
void convertPixels(RgbMode mode, const UploadSource& source, const UploadTarget& target);

// The same with the kernels of one table (tests and benchmarks compare the
// levels).
void convertPixels(const UploadTable& kernels, RgbMode mode, const UploadSource& source, const UploadTarget& target);

// The colour of an 8-bit surface pixel as GDI takes it (red in the low
// byte), scaled by c * a >> 8 for RGBA sources.
uint32_t paletteColour(const uint8_t* pixel, bool rgba);

} // namespace ZorvUISystem
