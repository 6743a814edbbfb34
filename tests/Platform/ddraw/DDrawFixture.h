// Fixture of the software DirectDraw tests: a DirectDraw object at normal
// cooperative level, surfaces released at the end of each test, and pixel
// access through Lock. Every test ends with intact guards and no leaked
// surface.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include <ddraw.h>

#include "ddraw_test.h"

namespace ddt {

inline DDPIXELFORMAT rgbFormat(DWORD bits, DWORD red, DWORD green, DWORD blue, DWORD alpha = 0)
{
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = DDPF_RGB | (alpha != 0 ? DDPF_ALPHAPIXELS : 0);
    format.dwRGBBitCount = bits;
    format.dwRBitMask = red;
    format.dwGBitMask = green;
    format.dwBBitMask = blue;
    format.dwRGBAlphaBitMask = alpha;
    return format;
}

inline DDPIXELFORMAT paletteFormat(DWORD bits)
{
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = bits == 4 ? DDPF_PALETTEINDEXED4 : DDPF_PALETTEINDEXED8;
    format.dwRGBBitCount = bits;
    return format;
}

inline const DDPIXELFORMAT format565 = rgbFormat(16, 0xF800, 0x07E0, 0x001F);
inline const DDPIXELFORMAT format555 = rgbFormat(16, 0x7C00, 0x03E0, 0x001F);
inline const DDPIXELFORMAT format24 = rgbFormat(24, 0xFF0000, 0x00FF00, 0x0000FF);
inline const DDPIXELFORMAT formatXrgb = rgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF);
inline const DDPIXELFORMAT formatArgb = rgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000);
inline const DDPIXELFORMAT format8 = paletteFormat(8);
inline const DDPIXELFORMAT format4 = paletteFormat(4);

inline DDSURFACEDESC creationDesc(DWORD width, DWORD height, const DDPIXELFORMAT* format = nullptr,
                                  DWORD caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY)
{
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = caps;
    if (format != nullptr) {
        desc.dwFlags |= DDSD_PIXELFORMAT;
        desc.ddpfPixelFormat = *format;
    }
    return desc;
}

inline DDBLTFX effects()
{
    DDBLTFX fx{};
    fx.dwSize = sizeof(DDBLTFX);
    return fx;
}

inline DDCOLORKEY key(DWORD low, DWORD high)
{
    return DDCOLORKEY{low, high};
}

// A pixel of `bits` at column x of a row; 4-bit rows hold the left pixel in
// the high nibble.
inline uint32_t readPixel(const uint8_t* row, unsigned bits, size_t x)
{
    switch (bits) {
    case 4:
        return (x & 1) != 0 ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    case 8:
        return row[x];
    case 16:
        return row[2 * x] | (uint32_t(row[2 * x + 1]) << 8);
    case 24:
        return row[3 * x] | (uint32_t(row[3 * x + 1]) << 8) | (uint32_t(row[3 * x + 2]) << 16);
    default:
        return row[4 * x] | (uint32_t(row[4 * x + 1]) << 8) | (uint32_t(row[4 * x + 2]) << 16) |
               (uint32_t(row[4 * x + 3]) << 24);
    }
}

inline void writePixel(uint8_t* row, unsigned bits, size_t x, uint32_t value)
{
    switch (bits) {
    case 4:
        if ((x & 1) != 0)
            row[x / 2] = uint8_t((row[x / 2] & 0xF0) | (value & 0x0F));
        else
            row[x / 2] = uint8_t((row[x / 2] & 0x0F) | ((value & 0x0F) << 4));
        return;
    default:
        for (unsigned i = 0; i < bits / 8; ++i)
            row[(bits / 8) * x + i] = uint8_t(value >> (8 * i));
    }
}

// A surface's pixels, row-major.
struct Image {
    DWORD width = 0;
    DWORD height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(DWORD x, DWORD y) const { return pixels[y * width + x]; }
    uint32_t& at(DWORD x, DWORD y) { return pixels[y * width + x]; }
};

class DDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ddrawtest::reset();
        ddrawtest::resetBehaviours();
        d_liveBefore = ddrawtest::liveSurfaceCount();
        ASSERT_EQ(DD_OK, DirectDrawCreate(nullptr, &dd, nullptr));
        ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
    }

    void TearDown() override
    {
        EXPECT_TRUE(ddrawtest::guardsIntact()) << "a write landed outside a surface";
        for (IDirectDrawSurface* surface : d_owned)
            surface->Release();
        if (dd != nullptr)
            dd->Release();
        EXPECT_EQ(d_liveBefore, ddrawtest::liveSurfaceCount());
        ddrawtest::reset();
        ddrawtest::resetBehaviours();
    }

    // A surface released by the fixture; null (and a failed expectation) when
    // it cannot be made.
    IDirectDrawSurface* make(DWORD width, DWORD height, const DDPIXELFORMAT* format = nullptr,
                             DWORD caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY)
    {
        DDSURFACEDESC desc = creationDesc(width, height, format, caps);
        IDirectDrawSurface* surface = nullptr;
        EXPECT_EQ(DD_OK, dd->CreateSurface(&desc, &surface, nullptr));
        if (surface != nullptr)
            d_owned.push_back(surface);
        return surface;
    }

    static DDSURFACEDESC lockDesc()
    {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(DDSURFACEDESC);
        return desc;
    }

    static Image read(IDirectDrawSurface* surface)
    {
        Image image;
        DDSURFACEDESC desc = lockDesc();
        EXPECT_EQ(DD_OK, surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
        if (desc.lpSurface == nullptr)
            return image;
        image.width = desc.dwWidth;
        image.height = desc.dwHeight;
        const unsigned bits = desc.ddpfPixelFormat.dwRGBBitCount;
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            const uint8_t* row = static_cast<const uint8_t*>(desc.lpSurface) + y * desc.lPitch;
            for (DWORD x = 0; x < desc.dwWidth; ++x)
                image.pixels.push_back(readPixel(row, bits, x));
        }
        EXPECT_EQ(DD_OK, surface->Unlock(nullptr));
        return image;
    }

    static void write(IDirectDrawSurface* surface, const Image& image)
    {
        DDSURFACEDESC desc = lockDesc();
        ASSERT_EQ(DD_OK, surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
        ASSERT_EQ(image.width, desc.dwWidth);
        ASSERT_EQ(image.height, desc.dwHeight);
        const unsigned bits = desc.ddpfPixelFormat.dwRGBBitCount;
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            uint8_t* row = static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch;
            for (DWORD x = 0; x < desc.dwWidth; ++x)
                writePixel(row, bits, x, image.at(x, y));
        }
        ASSERT_EQ(DD_OK, surface->Unlock(nullptr));
    }

    // An image whose pixel (x, y) is base + x + 16 * y, cut to `mask`.
    static Image numbered(DWORD width, DWORD height, uint32_t base = 1, uint32_t mask = 0xFFFFFFFF)
    {
        Image image{width, height, std::vector<uint32_t>(size_t(width) * height)};
        for (DWORD y = 0; y < height; ++y)
            for (DWORD x = 0; x < width; ++x)
                image.at(x, y) = (base + x + 16 * y) & mask;
        return image;
    }

    static Image filled(DWORD width, DWORD height, uint32_t value)
    {
        return Image{width, height, std::vector<uint32_t>(size_t(width) * height, value)};
    }

    IDirectDraw* dd = nullptr;

private:
    std::vector<IDirectDrawSurface*> d_owned;
    size_t d_liveBefore = 0;
};

} // namespace ddt
