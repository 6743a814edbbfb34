// Surface formats as Lock describes them, lock rectangles and the lock state.
#include "DDrawFixture.h"

using namespace ddt;

namespace {

struct FormatCase {
    const char* name;
    const DDPIXELFORMAT* request; // null: the display's format
    DWORD displayBits;            // 0: the starting display mode
    DWORD flags;
    DWORD bits;
    DWORD red, green, blue, alpha;
    LONG pitch; // of a 13 pixel wide surface
};

const DDPIXELFORMAT format444 = rgbFormat(16, 0x0F00, 0x00F0, 0x000F);
const DDPIXELFORMAT format4444 = rgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000);
const DDPIXELFORMAT format1555 = rgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
const DDPIXELFORMAT format565Swapped = rgbFormat(16, 0x001F, 0x07E0, 0xF800);

const FormatCase formatCases[] = {
    {"DisplayDefault", nullptr, 0, DDPF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0, 56},
    {"Display8", nullptr, 8, DDPF_RGB | DDPF_PALETTEINDEXED8, 8, 0, 0, 0, 0, 16},
    {"Display16", nullptr, 16, DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0, 32},
    {"Display24", nullptr, 24, DDPF_RGB, 24, 0xFF0000, 0xFF00, 0xFF, 0, 40},
    {"Display32", nullptr, 32, DDPF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0, 56},
    {"Rgb565", &format565, 0, DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0, 32},
    {"Rgb555", &format555, 0, DDPF_RGB, 16, 0x7C00, 0x03E0, 0x001F, 0, 32},
    {"Rgb444", &format444, 0, DDPF_RGB, 16, 0x0F00, 0x00F0, 0x000F, 0, 32},
    {"Argb4444", &format4444, 0, DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000, 32},
    {"Argb1555", &format1555, 0, DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000, 32},
    {"Bgr565", &format565Swapped, 8, DDPF_RGB, 16, 0x001F, 0x07E0, 0xF800, 0, 32},
    {"Rgb24", &format24, 16, DDPF_RGB, 24, 0xFF0000, 0xFF00, 0xFF, 0, 40},
    {"Xrgb32", &formatXrgb, 0, DDPF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0, 56},
    {"Argb32", &formatArgb, 0, DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 56},
    {"Indexed8", &format8, 0, DDPF_RGB | DDPF_PALETTEINDEXED8, 8, 0, 0, 0, 0, 16},
    {"Indexed4", &format4, 0, DDPF_RGB | DDPF_PALETTEINDEXED4, 4, 0, 0, 0, 0, 8},
};

class SurfaceFormat : public DDrawTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(SurfaceFormat, LockDescribesTheSurface)
{
    const FormatCase& c = GetParam();
    if (c.displayBits != 0) {
        ASSERT_EQ(DD_OK, dd->SetDisplayMode(800, 600, c.displayBits));
    }
    IDirectDrawSurface* surface = make(13, 3, c.request);
    ASSERT_NE(nullptr, surface);

    DDSURFACEDESC desc = lockDesc();
    desc.dwFlags = DDSD_PITCH | DDSD_LPSURFACE; // what is asked for does not matter
    ASSERT_EQ(DD_OK, surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(sizeof(DDSURFACEDESC), desc.dwSize);
    EXPECT_EQ(DWORD(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE),
              desc.dwFlags);
    EXPECT_EQ(13u, desc.dwWidth);
    EXPECT_EQ(3u, desc.dwHeight);
    EXPECT_EQ(c.pitch, desc.lPitch);
    EXPECT_EQ(0, desc.lPitch % 8);
    EXPECT_NE(nullptr, desc.lpSurface);
    EXPECT_EQ(DWORD(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY), desc.ddsCaps.dwCaps);
    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    EXPECT_EQ(32u, pf.dwSize);
    EXPECT_EQ(c.flags, pf.dwFlags);
    EXPECT_EQ(0u, pf.dwFourCC);
    EXPECT_EQ(c.bits, pf.dwRGBBitCount);
    EXPECT_EQ(c.red, pf.dwRBitMask);
    EXPECT_EQ(c.green, pf.dwGBitMask);
    EXPECT_EQ(c.blue, pf.dwBBitMask);
    EXPECT_EQ(c.alpha, pf.dwRGBAlphaBitMask);
    // A new surface starts zeroed.
    for (DWORD y = 0; y < 3; ++y)
        for (DWORD x = 0; x < 13; ++x)
            EXPECT_EQ(0u, readPixel(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch, c.bits, x));
    ASSERT_EQ(DD_OK, surface->Unlock(desc.lpSurface));

    // The same description without the memory, and the same format.
    DDSURFACEDESC described = lockDesc();
    ASSERT_EQ(DD_OK, surface->GetSurfaceDesc(&described));
    EXPECT_EQ(desc.dwFlags & ~DWORD(DDSD_LPSURFACE), described.dwFlags);
    EXPECT_EQ(nullptr, described.lpSurface);
    EXPECT_EQ(0, std::memcmp(&pf, &described.ddpfPixelFormat, sizeof(DDPIXELFORMAT)));
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(DDPIXELFORMAT);
    ASSERT_EQ(DD_OK, surface->GetPixelFormat(&format));
    EXPECT_EQ(0, std::memcmp(&pf, &format, sizeof(DDPIXELFORMAT)));
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, SurfaceFormat, ::testing::ValuesIn(formatCases),
                         [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

class SurfaceLock : public DDrawTest {};

TEST_F(SurfaceLock, RectangleLockPointsAtItsCorner)
{
    for (const DDPIXELFORMAT* format : {&formatXrgb, &format24, &format565, &format8, &format4}) {
        IDirectDrawSurface* surface = make(9, 7, format);
        ASSERT_NE(nullptr, surface);
        DDSURFACEDESC whole = lockDesc();
        ASSERT_EQ(DD_OK, surface->Lock(nullptr, &whole, DDLOCK_WAIT, nullptr));
        ASSERT_EQ(DD_OK, surface->Unlock(nullptr));
        RECT rect{4, 2, 9, 7};
        DDSURFACEDESC part = lockDesc();
        ASSERT_EQ(DD_OK, surface->Lock(&rect, &part, DDLOCK_WAIT, nullptr));
        const size_t bits = format->dwRGBBitCount;
        EXPECT_EQ(static_cast<uint8_t*>(whole.lpSurface) + 2 * whole.lPitch + 4 * bits / 8, part.lpSurface) << bits;
        EXPECT_EQ(whole.lPitch, part.lPitch);
        EXPECT_EQ(9u, part.dwWidth); // the surface's size, not the rectangle's
        EXPECT_EQ(DD_OK, surface->Unlock(part.lpSurface));
    }
}

TEST_F(SurfaceLock, LockStateErrors)
{
    IDirectDrawSurface* surface = make(8, 8);
    ASSERT_NE(nullptr, surface);
    DDSURFACEDESC desc = lockDesc();

    // Rectangles outside, empty or inverted.
    const RECT bad[] = {{0, 0, 9, 8}, {0, 0, 8, 9}, {-1, 0, 4, 4}, {0, -1, 4, 4},
                        {3, 3, 3, 5}, {3, 3, 5, 3}, {5, 2, 4, 6},  {2, 5, 6, 4}};
    for (RECT rect : bad)
        EXPECT_EQ(DDERR_INVALIDPARAMS, surface->Lock(&rect, &desc, DDLOCK_WAIT, nullptr))
            << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;

    desc.dwSize = 0;
    EXPECT_EQ(DDERR_INVALIDPARAMS, surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DDERR_INVALIDPARAMS, surface->Lock(nullptr, nullptr, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DDERR_NOTLOCKED, surface->Unlock(nullptr));

    desc = lockDesc();
    ASSERT_EQ(DD_OK, surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    DDSURFACEDESC second = lockDesc();
    EXPECT_EQ(DDERR_SURFACEBUSY, surface->Lock(nullptr, &second, DDLOCK_WAIT, nullptr));
    RECT rect{0, 0, 1, 1};
    EXPECT_EQ(DDERR_SURFACEBUSY, surface->Lock(&rect, &second, DDLOCK_WAIT, nullptr));
    // Blits wait for nobody: a locked surface is busy as destination and source.
    IDirectDrawSurface* other = make(8, 8);
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(DDERR_SURFACEBUSY, surface->Blt(nullptr, other, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(DDERR_SURFACEBUSY, other->Blt(nullptr, surface, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(DDERR_SURFACEBUSY, other->BltFast(0, 0, surface, nullptr, DDBLTFAST_WAIT));
    DDBLTFX fx = effects();
    EXPECT_EQ(DDERR_SURFACEBUSY, surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));

    int elsewhere = 0;
    EXPECT_EQ(DDERR_INVALIDPARAMS, surface->Unlock(&elsewhere));
    EXPECT_EQ(DD_OK, surface->Unlock(desc.lpSurface));
    EXPECT_EQ(DDERR_NOTLOCKED, surface->Unlock(nullptr));
    EXPECT_EQ(DD_OK, surface->Blt(nullptr, other, nullptr, DDBLT_WAIT, nullptr));
}

} // namespace
