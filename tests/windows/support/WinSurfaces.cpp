#include "WinSurfaces.h"

#include <cstring>
#include <stdexcept>

namespace ZivWinTest {

namespace {

uint32_t placeChannel(uint8_t value, DWORD mask)
{
    if (mask == 0)
        return 0;
    unsigned shift = 0;
    while (((mask >> shift) & 1u) == 0)
        ++shift;
    unsigned width = 0;
    while (((mask >> (shift + width)) & 1u) != 0)
        ++width;
    const uint32_t top = width >= 8 ? uint32_t(value) << (width - 8) : uint32_t(value) >> (8 - width);
    return (top << shift) & mask;
}

DDSURFACEDESC emptyDescription()
{
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    return desc;
}

} // namespace

uint32_t packRgb(const RgbLayout& layout, uint8_t red, uint8_t green, uint8_t blue)
{
    return placeChannel(red, layout.red) | placeChannel(green, layout.green) | placeChannel(blue, layout.blue);
}

DirectDrawObject::DirectDrawObject()
{
    d_result = DirectDrawCreate(nullptr, &d_directDraw, nullptr);
    if (d_result >= 0 && d_directDraw != nullptr)
        d_result = d_directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    if (d_result < 0 && d_directDraw != nullptr) {
        d_directDraw->Release();
        d_directDraw = nullptr;
    }
}

DirectDrawObject::~DirectDrawObject()
{
    if (d_directDraw != nullptr)
        d_directDraw->Release();
}

OwnedSurface::OwnedSurface(IDirectDraw* directDraw, DWORD width, DWORD height, const RgbLayout& layout)
{
    DDSURFACEDESC desc = emptyDescription();
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = layout.bits;
    desc.ddpfPixelFormat.dwRBitMask = layout.red;
    desc.ddpfPixelFormat.dwGBitMask = layout.green;
    desc.ddpfPixelFormat.dwBBitMask = layout.blue;
    d_result = directDraw->CreateSurface(&desc, &d_surface, nullptr);
    if (d_result < 0)
        d_surface = nullptr;
}

OwnedSurface::~OwnedSurface()
{
    if (d_surface != nullptr)
        d_surface->Release();
}

std::vector<uint32_t> OwnedSurface::read() const
{
    DDSURFACEDESC desc = emptyDescription();
    if (d_surface == nullptr || d_surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK)
        throw std::runtime_error("cannot lock the surface to read it");
    const DWORD bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
    std::vector<uint32_t> pixels;
    pixels.reserve(size_t(desc.dwWidth) * desc.dwHeight);
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
        const auto* row = static_cast<const uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch;
        for (DWORD x = 0; x < desc.dwWidth; ++x) {
            uint32_t value = 0;
            std::memcpy(&value, row + x * bytes, bytes);
            pixels.push_back(value);
        }
    }
    d_surface->Unlock(nullptr);
    return pixels;
}

void OwnedSurface::write(const std::function<uint32_t(DWORD x, DWORD y)>& pixel)
{
    DDSURFACEDESC desc = emptyDescription();
    if (d_surface == nullptr || d_surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK)
        throw std::runtime_error("cannot lock the surface to write it");
    const DWORD bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
        auto* row = static_cast<uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch;
        for (DWORD x = 0; x < desc.dwWidth; ++x) {
            const uint32_t value = pixel(x, y);
            std::memcpy(row + x * bytes, &value, bytes);
        }
    }
    d_surface->Unlock(nullptr);
}

} // namespace ZivWinTest
