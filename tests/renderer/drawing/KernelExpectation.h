// Snapshots of a recording surface's memory, and the pixels a blend kernel
// would give, worked out by running the kernel on the snapshots: the tests
// that use it check which kernel the quad blit chose, with which arguments,
// where it pointed, and that nothing else changed.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "RecordingDirectDraw.h"
#include "pixel/BlendKernels.h"

namespace ZivTest {

struct Snapshot {
    std::vector<uint8_t> bytes; // every row with its padding
    LONG pitch = 0;
    DWORD width = 0;
    DWORD height = 0;
    FakeFormat format{};

    bool operator==(const Snapshot& other) const { return bytes == other.bytes; }
};

inline Snapshot snapshot(FakeSurface* surface)
{
    Snapshot shot;
    shot.pitch = surface->pitch;
    shot.width = surface->width;
    shot.height = surface->height;
    shot.format = surface->format;
    shot.bytes.assign(surface->row(0), surface->row(0) + size_t(surface->pitch) * surface->height);
    return shot;
}

// A lock description of the snapshot pointing at pixel (x, y) of
// bytesPerPixel bytes.
inline DDSURFACEDESC describe(Snapshot& shot, LONG x, LONG y, uint32_t bytesPerPixel)
{
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_PITCH | DDSD_LPSURFACE | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = shot.width;
    desc.dwHeight = shot.height;
    desc.lPitch = shot.pitch;
    desc.lpSurface = shot.bytes.data() + size_t(y) * shot.pitch + size_t(x) * bytesPerPixel;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = shot.format.flags;
    desc.ddpfPixelFormat.dwRGBBitCount = shot.format.bits;
    desc.ddpfPixelFormat.dwRBitMask = shot.format.red;
    desc.ddpfPixelFormat.dwGBitMask = shot.format.green;
    desc.ddpfPixelFormat.dwBBitMask = shot.format.blue;
    desc.ddpfPixelFormat.dwRGBAlphaBitMask = shot.format.alpha;
    return desc;
}

enum class Kernel { Modulated, Half, AlphaMmx, HalfMmx };

struct KernelCall {
    Kernel kernel;
    int32_t alpha = 255;
    uint32_t red = 255;
    uint32_t green = 255;
    uint32_t blue = 255;
};

// The destination after one kernel call from source rectangle s onto the
// destination at (d.left, d.top), in the given pixel mode.
inline Snapshot expectedBlend(Snapshot destination, Snapshot source, const RECT& d, const RECT& s, uint32_t mode,
                              const KernelCall& call)
{
    const uint32_t bytes = mode <= 2 ? 2 : mode == 3 ? 3 : 4;
    DDSURFACEDESC to = describe(destination, d.left, d.top, bytes);
    const DDSURFACEDESC from = describe(source, s.left, s.top, bytes);
    switch (call.kernel) {
    case Kernel::Modulated:
        ZorvUISystem::blendModulated(&from, &to, d.left, d.top, &s, call.alpha, mode, call.red, call.green, call.blue);
        break;
    case Kernel::Half:
        ZorvUISystem::blendHalf(&from, &to, d.left, d.top, &s, mode);
        break;
    case Kernel::AlphaMmx:
        ZorvUISystem::blendAlphaMmx(&from, &to, d.left, d.top, &s, call.alpha, mode);
        break;
    case Kernel::HalfMmx:
        ZorvUISystem::blendHalfMmx(&from, &to, d.left, d.top, &s, mode);
        break;
    }
    return destination;
}

// Fills a surface with a pattern that varies by position, with no pixel
// whose colour bits are all zero.
inline void fillPattern(FakeSurface* surface, uint32_t seed)
{
    for (DWORD y = 0; y < surface->height; ++y)
        for (DWORD x = 0; x < surface->width; ++x) {
            uint32_t value = (x * 0x9E3779B1u) ^ (y * 0x85EBCA77u) ^ seed;
            value ^= value >> 13;
            value |= 0x00210821u; // a set bit in every channel of every layout
            surface->setPixel(x, y, value);
        }
}

} // namespace ZivTest
