// Surfaces as the tests and fuzzers make and read them: off-screen surfaces in
// system memory, and their pixel bytes without the row padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <ddraw.h>

namespace ZivTest {

// The description of an off-screen system-memory surface of the given size,
// in the display's pixel format unless the caller adds DDSD_PIXELFORMAT.
inline DDSURFACEDESC offscreenSurfaceDesc(DWORD width, DWORD height)
{
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    return desc;
}

// Asks for 16-bit 555 pixels (x1r5g5b5) in a surface description.
inline void requestRgb555(DDSURFACEDESC& desc)
{
    desc.dwFlags |= DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = 16;
    desc.ddpfPixelFormat.dwRBitMask = 0x7C00;
    desc.ddpfPixelFormat.dwGBitMask = 0x03E0;
    desc.ddpfPixelFormat.dwBBitMask = 0x001F;
}

// The bytes of every pixel row of a surface, row after row, without the pitch
// padding. False, with rows empty, when the surface does not lock.
inline bool readSurfaceRows(IDirectDrawSurface* surface, std::vector<uint8_t>& rows)
{
    rows.clear();
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK)
        return false;
    const size_t rowBytes = size_t(desc.dwWidth) * desc.ddpfPixelFormat.dwRGBBitCount / 8;
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
        const auto* row = static_cast<const uint8_t*>(desc.lpSurface) + ptrdiff_t(y) * desc.lPitch;
        rows.insert(rows.end(), row, row + rowBytes);
    }
    surface->Unlock(nullptr);
    return true;
}

} // namespace ZivTest
