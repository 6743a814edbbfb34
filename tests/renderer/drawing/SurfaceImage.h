// Pixels of a DirectDraw surface read through a lock, a reference for what
// DirectDraw's copies do to them (nearest-neighbour sampling, colour keys
// compared on the meaningful bits, colour fills), and the blend kernels run
// on such images. Tests work out the picture a quad should leave with these
// and compare it with the surface.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <ddraw.h>

#include "pixel/BlendKernels.h"

namespace ZivTest {

struct SurfaceImage {
    std::vector<uint8_t> bytes; // height rows of pitch bytes
    LONG pitch = 0;
    DWORD width = 0;
    DWORD height = 0;
    DDPIXELFORMAT format{};
    uint32_t bytesPerPixel = 0;

    uint32_t get(LONG x, LONG y) const
    {
        uint32_t value = 0;
        std::memcpy(&value, bytes.data() + size_t(y) * pitch + size_t(x) * bytesPerPixel, bytesPerPixel);
        return value;
    }
    void set(LONG x, LONG y, uint32_t value)
    {
        std::memcpy(bytes.data() + size_t(y) * pitch + size_t(x) * bytesPerPixel, &value, bytesPerPixel);
    }
    // The bits that carry colour (or the palette index): what a key compares.
    uint32_t meaningful() const
    {
        if (format.dwRGBBitCount == 8)
            return 0xFF;
        return format.dwRBitMask | format.dwGBitMask | format.dwBBitMask | format.dwRGBAlphaBitMask;
    }
    // The first pixel where two images differ, as text, or "" when none does.
    std::string firstDifference(const SurfaceImage& other) const
    {
        for (DWORD y = 0; y < height; ++y)
            for (DWORD x = 0; x < width; ++x)
                if (get(LONG(x), LONG(y)) != other.get(LONG(x), LONG(y))) {
                    char text[96];
                    std::snprintf(text, sizeof text, "(%u,%u): 0x%X, expected 0x%X", unsigned(x), unsigned(y),
                                  unsigned(get(LONG(x), LONG(y))), unsigned(other.get(LONG(x), LONG(y))));
                    return text;
                }
        return "";
    }
    // A lock description pointing at pixel (x, y), for the kernels.
    DDSURFACEDESC describe(LONG x, LONG y, uint32_t pixelBytes)
    {
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof(desc));
        desc.dwSize = sizeof(DDSURFACEDESC);
        desc.dwFlags = DDSD_PITCH | DDSD_LPSURFACE | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.lPitch = pitch;
        desc.ddpfPixelFormat = format;
        desc.lpSurface = bytes.data() + size_t(y) * pitch + size_t(x) * pixelBytes;
        return desc;
    }
};

inline DDSURFACEDESC lockDescription()
{
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    return desc;
}

// The surface's pixels; an empty image when it cannot be locked.
inline SurfaceImage readImage(IDirectDrawSurface* surface)
{
    SurfaceImage image;
    DDSURFACEDESC desc = lockDescription();
    if (surface == nullptr || surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != 0)
        return image;
    image.pitch = desc.lPitch;
    image.width = desc.dwWidth;
    image.height = desc.dwHeight;
    image.format = desc.ddpfPixelFormat;
    image.bytesPerPixel = (desc.ddpfPixelFormat.dwRGBBitCount + 7) / 8;
    const auto* first = static_cast<const uint8_t*>(desc.lpSurface);
    image.bytes.assign(first, first + size_t(desc.lPitch) * desc.dwHeight);
    surface->Unlock(nullptr);
    return image;
}

// Writes every pixel of the image into the surface (same size and format).
inline bool writeImage(IDirectDrawSurface* surface, const SurfaceImage& image)
{
    DDSURFACEDESC desc = lockDescription();
    if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != 0)
        return false;
    auto* first = static_cast<uint8_t*>(desc.lpSurface);
    for (DWORD y = 0; y < image.height; ++y)
        std::memcpy(first + size_t(y) * desc.lPitch, image.bytes.data() + size_t(y) * image.pitch,
                    size_t(image.width) * image.bytesPerPixel);
    surface->Unlock(nullptr);
    return true;
}

// DirectDraw's copy of source rectangle s onto destination rectangle d:
// each axis sampled on its own, destination index i taking source index
// (i * ((sourceLength << 16) / destLength)) >> 16; with a key, source pixels
// equal to it on the meaningful bits are left out.
inline void referenceBlit(SurfaceImage& dest, const SurfaceImage& source, const RECT& d, const RECT& s,
                          std::optional<uint32_t> key = std::nullopt)
{
    const uint32_t dw = uint32_t(d.right - d.left);
    const uint32_t dh = uint32_t(d.bottom - d.top);
    const uint32_t stepX = (uint32_t(s.right - s.left) << 16) / dw;
    const uint32_t stepY = (uint32_t(s.bottom - s.top) << 16) / dh;
    const uint32_t mask = source.meaningful();
    for (uint32_t y = 0; y < dh; ++y)
        for (uint32_t x = 0; x < dw; ++x) {
            const uint32_t value = source.get(s.left + LONG((x * stepX) >> 16), s.top + LONG((y * stepY) >> 16));
            if (key && (value & mask) == (*key & mask))
                continue;
            dest.set(d.left + LONG(x), d.top + LONG(y), value);
        }
}

// Fills every pixel with a pattern that varies by position and has a set bit
// in every channel of every layout (no pixel is 0, the transparent value).
inline void fillPattern(SurfaceImage& image, uint32_t seed)
{
    for (DWORD y = 0; y < image.height; ++y)
        for (DWORD x = 0; x < image.width; ++x) {
            uint32_t value = (x * 0x9E3779B1u) ^ (y * 0x85EBCA77u) ^ seed;
            value ^= value >> 13;
            image.set(LONG(x), LONG(y), value | 0x00210821u);
        }
}

inline void referenceFill(SurfaceImage& dest, const RECT& d, uint32_t value)
{
    for (LONG y = d.top; y < d.bottom; ++y)
        for (LONG x = d.left; x < d.right; ++x)
            dest.set(x, y, value);
}

enum class BlendKernel { Modulated, AlphaMmx, HalfMmx };

// One kernel call from source rectangle s onto the destination at
// (d.left, d.top), both taken to have the given pixel mode.
inline void referenceKernel(SurfaceImage& dest, SurfaceImage source, const RECT& d, const RECT& s, uint32_t mode,
                            BlendKernel kernel, int32_t alpha, uint32_t red = 255, uint32_t green = 255,
                            uint32_t blue = 255)
{
    const uint32_t bytes = mode <= 2 ? 2 : mode == 3 ? 3 : 4;
    DDSURFACEDESC to = dest.describe(d.left, d.top, bytes);
    const DDSURFACEDESC from = source.describe(s.left, s.top, bytes);
    switch (kernel) {
    case BlendKernel::Modulated:
        ZorvUISystem::blendModulated(&from, &to, d.left, d.top, &s, alpha, mode, red, green, blue);
        break;
    case BlendKernel::AlphaMmx:
        ZorvUISystem::blendAlphaMmx(&from, &to, d.left, d.top, &s, alpha, mode);
        break;
    case BlendKernel::HalfMmx:
        ZorvUISystem::blendHalfMmx(&from, &to, d.left, d.top, &s, mode);
        break;
    }
}

} // namespace ZivTest
