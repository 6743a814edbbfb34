#include "KernelHarness.h"

namespace harness {

uint32_t Surface::pixel(uint32_t x, uint32_t y) const
{
    const uint8_t* p = bytes.data() + origin + static_cast<ptrdiff_t>(y) * pitch + x * bytesPerPixel;
    uint32_t v = 0;
    for (uint32_t i = 0; i < bytesPerPixel; ++i)
        v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}

void Surface::setPixel(uint32_t x, uint32_t y, uint32_t value)
{
    uint8_t* p = bytes.data() + origin + static_cast<ptrdiff_t>(y) * pitch + x * bytesPerPixel;
    for (uint32_t i = 0; i < bytesPerPixel; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

Surface makeSurface(const Layout& layout, std::mt19937& rng)
{
    Surface s;
    s.bytesPerPixel = layout.bytesPerPixel;
    const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(layout.width) * layout.bytesPerPixel;
    const ptrdiff_t lineIn = static_cast<ptrdiff_t>(layout.startOffsetPixels) * layout.bytesPerPixel;
    const ptrdiff_t pitch = lineIn + rowBytes + layout.rowPadding;
    const size_t size = layout.lead + static_cast<size_t>(layout.height - 1) * pitch + lineIn + rowBytes + layout.trail;
    s.bytes.resize(size);
    for (uint8_t& b : s.bytes)
        b = static_cast<uint8_t>(rng());
    if (layout.bottomUp) {
        s.origin = layout.lead + static_cast<ptrdiff_t>(layout.height - 1) * pitch + lineIn;
        s.pitch = -pitch;
    } else {
        s.origin = layout.lead + lineIn;
        s.pitch = pitch;
    }
    return s;
}

DDSURFACEDESC describe(Surface& surface, uint32_t width, uint32_t height, const uint32_t masks[3])
{
    DDSURFACEDESC d{};
    d.dwSize = 108;
    d.dwFlags = DDSD_PITCH | DDSD_LPSURFACE;
    d.dwWidth = width;
    d.dwHeight = height;
    d.lPitch = static_cast<LONG>(surface.pitch);
    d.lpSurface = surface.firstPixel();
    d.ddpfPixelFormat.dwRGBBitCount = surface.bytesPerPixel * 8;
    d.ddpfPixelFormat.dwRBitMask = masks[0];
    d.ddpfPixelFormat.dwGBitMask = masks[1];
    d.ddpfPixelFormat.dwBBitMask = masks[2];
    return d;
}

int32_t run(const ZorvUISystem::KernelTable& kernels, const reference::Call& call, Surface& source,
            Surface& destination, bool passRect, Surface* alpha)
{
    using namespace ZorvUISystem;
    const DDSURFACEDESC src = describe(source, call.width, call.height, call.sourceMasks);
    DDSURFACEDESC dst = describe(destination, 0, 0, call.destinationMasks);
    // Only the rectangle's size counts, not its position.
    const RECT rect{17, -3, 17 + static_cast<LONG>(call.width), -3 + static_cast<LONG>(call.height)};
    const RECT* r = passRect ? &rect : nullptr;
    switch (call.kernel) {
    case reference::Kernel::Modulated:
        return blendModulated(kernels, &src, &dst, 5, 7, r, call.alpha, call.mode, call.red, call.green, call.blue);
    case reference::Kernel::Half:
        return blendHalf(kernels, &src, &dst, 5, 7, r, call.mode);
    case reference::Kernel::AlphaMmx:
        return blendAlphaMmx(kernels, &src, &dst, 5, 7, r, call.alpha, call.mode);
    case reference::Kernel::HalfMmx:
        return blendHalfMmx(kernels, &src, &dst, 5, 7, r, call.mode);
    case reference::Kernel::TexelAlpha: {
        const DDSURFACEDESC alphas = describe(*alpha, call.width, call.height, call.sourceMasks);
        return blendTexelAlpha(kernels, &src, &alphas, &dst, 5, 7, r, call.alpha, call.mode, call.red, call.green,
                               call.blue);
    }
    }
    return -2;
}

} // namespace harness
