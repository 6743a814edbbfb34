// Wine's DirectDraw, headless, as the notes on the differential test describe
// it: where it picks the source pixels of a stretch, the converting blit that
// reports success and draws nothing, and BltFast's source key on a surface
// without one. If Wine changes, these notes (and the software DirectDraw that
// copies the stretch) need another look.
#include <windows.h>

#include <ddraw.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace {

class WineSurfaces : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GE(DirectDrawCreate(nullptr, &d_directDraw, nullptr), 0);
        ASSERT_GE(d_directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL), 0);
    }
    void TearDown() override
    {
        for (IDirectDrawSurface* surface : d_surfaces)
            surface->Release();
        if (d_directDraw != nullptr)
            d_directDraw->Release();
    }

    IDirectDrawSurface* make(DWORD width, DWORD height, DWORD bits, DWORD red, DWORD green, DWORD blue)
    {
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
        desc.ddpfPixelFormat.dwRGBBitCount = bits;
        desc.ddpfPixelFormat.dwRBitMask = red;
        desc.ddpfPixelFormat.dwGBitMask = green;
        desc.ddpfPixelFormat.dwBBitMask = blue;
        IDirectDrawSurface* surface = nullptr;
        EXPECT_GE(d_directDraw->CreateSurface(&desc, &surface, nullptr), 0);
        if (surface != nullptr)
            d_surfaces.push_back(surface);
        return surface;
    }
    IDirectDrawSurface* make32(DWORD width, DWORD height) { return make(width, height, 32, 0xFF0000, 0xFF00, 0xFF); }
    IDirectDrawSurface* make16(DWORD width, DWORD height, bool is565)
    {
        return is565 ? make(width, height, 16, 0xF800, 0x07E0, 0x001F) : make(width, height, 16, 0x7C00, 0x03E0, 0x1F);
    }

    // Row-major pixels of a 16- or 32-bit surface.
    static std::vector<uint32_t> read(IDirectDrawSurface* surface)
    {
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        std::vector<uint32_t> pixels;
        if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK)
            return pixels;
        const DWORD bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            const auto* row = static_cast<const uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch;
            for (DWORD x = 0; x < desc.dwWidth; ++x) {
                uint32_t value = 0;
                std::memcpy(&value, row + x * bytes, bytes);
                pixels.push_back(value);
            }
        }
        surface->Unlock(nullptr);
        return pixels;
    }
    template <class F> static void write(IDirectDrawSurface* surface, F pixel)
    {
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        const DWORD bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            auto* row = static_cast<uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch;
            for (DWORD x = 0; x < desc.dwWidth; ++x) {
                const uint32_t value = pixel(x, y);
                std::memcpy(row + x * bytes, &value, bytes);
            }
        }
        surface->Unlock(nullptr);
    }

    IDirectDraw* d_directDraw = nullptr;
    std::vector<IDirectDrawSurface*> d_surfaces;
};

TEST_F(WineSurfaces, StretchPicksSourcesBySixteenDotSixteenSteps)
{
    // Destination index d takes source index (d * ((s << 16) / n)) >> 16 on
    // each axis: for 3 -> 7 that is 0 0 0 1 1 2 2, where rounding to the
    // nearest centre would give 0 0 1 1 2 2 2.
    for (const auto& [from, to] : {std::pair<DWORD, DWORD>{3, 7}, {7, 3}, {5, 8}, {11, 4}, {2, 31}}) {
        IDirectDrawSurface* source = make32(from, from);
        IDirectDrawSurface* dest = make32(to, to);
        ASSERT_NE(source, nullptr);
        ASSERT_NE(dest, nullptr);
        write(source, [](DWORD x, DWORD y) { return (y << 8) | x; });
        ASSERT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
        const std::vector<uint32_t> pixels = read(dest);
        const uint64_t step = (uint64_t(from) << 16) / to;
        for (DWORD y = 0; y < to; ++y) {
            for (DWORD x = 0; x < to; ++x) {
                const uint32_t expected = uint32_t(((y * step) >> 16) << 8 | ((x * step) >> 16));
                ASSERT_EQ(pixels[y * to + x], expected) << from << " -> " << to << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(WineSurfaces, ConvertingBlitFrom565To555ReportsSuccessAndDrawsNothing)
{
    IDirectDrawSurface* source = make16(4, 2, true);
    IDirectDrawSurface* dest = make16(4, 2, false);
    ASSERT_NE(source, nullptr);
    ASSERT_NE(dest, nullptr);
    write(source, [](DWORD x, DWORD) { return 0xF800u >> x; });
    write(dest, [](DWORD, DWORD) { return 0x1234u; });
    EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(dest->BltFast(0, 0, source, nullptr, DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(read(dest), std::vector<uint32_t>(8, 0x1234u));
}

TEST_F(WineSurfaces, BltFastSourceKeyWithoutAKeyTakesZeroAsTheKey)
{
    IDirectDrawSurface* source = make32(3, 1);
    IDirectDrawSurface* dest = make32(3, 1);
    ASSERT_NE(source, nullptr);
    ASSERT_NE(dest, nullptr);
    write(source, [](DWORD x, DWORD) { return x == 1 ? 0u : 0x00ABCDEFu; });
    write(dest, [](DWORD, DWORD) { return 0x00111111u; });
    DDCOLORKEY key{};
    EXPECT_EQ(source->GetColorKey(DDCKEY_SRCBLT, &key), DDERR_NOCOLORKEY);
    EXPECT_EQ(dest->BltFast(0, 0, source, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(read(dest), (std::vector<uint32_t>{0x00ABCDEF, 0x00111111, 0x00ABCDEF}));
    // Blt with the source-key flag refuses instead.
    EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr), DDERR_INVALIDPARAMS);
}

} // namespace
