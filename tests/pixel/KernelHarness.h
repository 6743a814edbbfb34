// Test surfaces with guard bytes, surface descriptions pointing into them,
// and calls of the kernels through an explicit kernel table.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include <ddraw.h>

#include "BlendReference.h"
#include "pixel/BlendKernels.h"

namespace harness {

// A rectangle of width x height pixels inside a byte buffer. Every byte that
// is not a pixel of the rectangle is a guard byte: the rows' lead-in and
// padding, and the bytes before the first and after the last row.
struct Surface {
    std::vector<uint8_t> bytes;
    ptrdiff_t origin = 0; // first pixel of the rectangle
    ptrdiff_t pitch = 0;
    uint32_t bytesPerPixel = 0;

    uint8_t* firstPixel() { return bytes.data() + origin; }
    uint32_t pixel(uint32_t x, uint32_t y) const;
    void setPixel(uint32_t x, uint32_t y, uint32_t value);
    reference::View view() { return {&bytes, origin, pitch}; }
};

struct Layout {
    uint32_t width, height;
    uint32_t bytesPerPixel;
    uint32_t startOffsetPixels; // pixels of guard before each row
    uint32_t rowPadding;        // guard bytes after each row
    uint32_t lead, trail;       // guard bytes before the first row and after the last
    bool bottomUp;              // negative pitch
};

// A surface with random guard and pixel bytes.
Surface makeSurface(const Layout& layout, std::mt19937& rng);

// A description of the rectangle: lpSurface, lPitch, size and masks.
DDSURFACEDESC describe(Surface& surface, uint32_t width, uint32_t height, const uint32_t masks[3]);

// Runs one kernel call through a table, as the blit would call it; the
// texel-alpha kernel reads its alpha from `alpha`.
int32_t run(const ZorvUISystem::KernelTable& kernels, const reference::Call& call, Surface& source,
            Surface& destination, bool passRect = true, Surface* alpha = nullptr);

} // namespace harness
