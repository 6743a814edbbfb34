// Device contexts: SetPixel on palette-indexed and RGB surfaces, and how a
// context and a lock exclude each other.
#include "DDrawFixture.h"

using namespace ddt;

namespace {

class DeviceContext : public DDrawTest {};

TEST_F(DeviceContext, EightBitSetPixelTakesTheNearestPaletteEntry)
{
    IDirectDrawSurface* surface = make(8, 2, &format8);
    ASSERT_NE(nullptr, surface);
    HDC dc = nullptr;
    ASSERT_EQ(DD_OK, surface->GetDC(&dc));
    ASSERT_NE(nullptr, dc);
    const struct {
        COLORREF asked;
        uint32_t index;
        COLORREF set;
    } cases[] = {
        {RGB(0, 0, 0), 0, RGB(0, 0, 0)},
        {RGB(255, 255, 255), 215, RGB(255, 255, 255)},
        {RGB(255, 0, 0), 180, RGB(255, 0, 0)},      // red 5 * 36
        {RGB(0, 0, 255), 5, RGB(0, 0, 255)},        // blue 5
        {RGB(100, 100, 100), 231, RGB(99, 99, 99)}, // a grey of the ramp is nearer than the cube's 102
        {RGB(60, 200, 10), 1 * 36 + 4 * 6 + 0, RGB(51, 204, 0)},
        {RGB(130, 131, 129) | 0x02000000, 236, RGB(130, 130, 130)}, // the top byte is not a colour
    };
    int x = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(c.set, dc->setPixel(x, 1, c.asked)) << std::hex << c.asked;
        ++x;
    }
    ASSERT_EQ(DD_OK, surface->ReleaseDC(dc));
    const Image image = read(surface);
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(0u, image.at(DWORD(i), 0));
        EXPECT_EQ(cases[i].index, image.at(DWORD(i), 1)) << i;
    }
}

TEST_F(DeviceContext, FourBitSurfacesUseTheVgaColours)
{
    IDirectDrawSurface* surface = make(3, 1, &format4);
    ASSERT_NE(nullptr, surface);
    HDC dc = nullptr;
    ASSERT_EQ(DD_OK, surface->GetDC(&dc));
    EXPECT_EQ(RGB(192, 192, 192), dc->setPixel(0, 0, RGB(200, 200, 200)));
    EXPECT_EQ(RGB(128, 0, 0), dc->setPixel(1, 0, RGB(140, 10, 0)));
    EXPECT_EQ(RGB(255, 255, 0), dc->setPixel(2, 0, RGB(250, 240, 20)));
    ASSERT_EQ(DD_OK, surface->ReleaseDC(dc));
    EXPECT_EQ((std::vector<uint32_t>{7, 1, 11}), read(surface).pixels);
    // The left pixel sits in the high nibble.
    DDSURFACEDESC desc = lockDesc();
    ASSERT_EQ(DD_OK, surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(0x71, static_cast<uint8_t*>(desc.lpSurface)[0]);
    ASSERT_EQ(DD_OK, surface->Unlock(nullptr));
}

TEST_F(DeviceContext, RgbSurfacesPlaceTheChannelsInTheirMasks)
{
    IDirectDrawSurface* surface565 = make(2, 1, &format565);
    IDirectDrawSurface* surface32 = make(2, 1, &formatArgb);
    ASSERT_NE(nullptr, surface32);
    HDC dc = nullptr;
    ASSERT_EQ(DD_OK, surface565->GetDC(&dc));
    EXPECT_EQ(RGB(255, 255, 255), dc->setPixel(0, 0, RGB(255, 255, 255)));
    EXPECT_EQ(RGB(255, 130, 0), dc->setPixel(1, 0, RGB(253, 130, 2))); // 31, 32, 0 back to 8 bits
    ASSERT_EQ(DD_OK, surface565->ReleaseDC(dc));
    EXPECT_EQ((std::vector<uint32_t>{0xFFFF, 0xF800 | (32 << 5)}), read(surface565).pixels);

    ASSERT_EQ(DD_OK, surface32->GetDC(&dc));
    EXPECT_EQ(RGB(1, 2, 3), dc->setPixel(1, 0, RGB(1, 2, 3)));
    ASSERT_EQ(DD_OK, surface32->ReleaseDC(dc));
    EXPECT_EQ((std::vector<uint32_t>{0, 0x010203}), read(surface32).pixels);
}

TEST_F(DeviceContext, PixelsOutsideOrAfterReleaseAreRefused)
{
    IDirectDrawSurface* surface = make(4, 3, &format8);
    ASSERT_NE(nullptr, surface);
    HDC dc = nullptr;
    ASSERT_EQ(DD_OK, surface->GetDC(&dc));
    EXPECT_EQ(CLR_INVALID, dc->setPixel(-1, 0, RGB(255, 255, 255)));
    EXPECT_EQ(CLR_INVALID, dc->setPixel(0, -1, RGB(255, 255, 255)));
    EXPECT_EQ(CLR_INVALID, dc->setPixel(4, 0, RGB(255, 255, 255)));
    EXPECT_EQ(CLR_INVALID, dc->setPixel(0, 3, RGB(255, 255, 255)));
    ASSERT_EQ(DD_OK, surface->ReleaseDC(dc));
    EXPECT_EQ(CLR_INVALID, dc->setPixel(0, 0, RGB(255, 255, 255)));
    EXPECT_EQ(filled(4, 3, 0).pixels, read(surface).pixels);
    EXPECT_EQ(5ul, ddrawtest::callCount("SetPixel"));
}

TEST_F(DeviceContext, ContextAndLockExcludeEachOther)
{
    IDirectDrawSurface* surface = make(4, 4, &format8);
    IDirectDrawSurface* other = make(4, 4, &format8);
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(DDERR_INVALIDPARAMS, surface->GetDC(nullptr));
    EXPECT_EQ(DDERR_NODC, surface->ReleaseDC(nullptr));

    HDC dc = nullptr;
    ASSERT_EQ(DD_OK, surface->GetDC(&dc));
    HDC second = reinterpret_cast<HDC>(0x1);
    EXPECT_EQ(DDERR_DCALREADYCREATED, surface->GetDC(&second));
    EXPECT_EQ(nullptr, second);
    DDSURFACEDESC desc = lockDesc();
    EXPECT_EQ(DDERR_SURFACEBUSY, surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DDERR_SURFACEBUSY, surface->Blt(nullptr, other, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(DDERR_SURFACEBUSY, other->BltFast(0, 0, surface, nullptr, DDBLTFAST_WAIT));
    EXPECT_EQ(DDERR_NOTLOCKED, surface->Unlock(nullptr));
    HDC otherDc = nullptr;
    ASSERT_EQ(DD_OK, other->GetDC(&otherDc));
    EXPECT_EQ(DDERR_INVALIDPARAMS, surface->ReleaseDC(otherDc));
    ASSERT_EQ(DD_OK, other->ReleaseDC(otherDc));
    ASSERT_EQ(DD_OK, surface->ReleaseDC(dc));
    EXPECT_EQ(DDERR_NODC, surface->ReleaseDC(dc));

    ASSERT_EQ(DD_OK, surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DDERR_SURFACEBUSY, surface->GetDC(&dc));
    EXPECT_EQ(nullptr, dc);
    ASSERT_EQ(DD_OK, surface->Unlock(nullptr));
    ASSERT_EQ(DD_OK, surface->GetDC(&dc));
    ASSERT_EQ(DD_OK, surface->ReleaseDC(dc));
}

} // namespace

namespace {

// An attached palette replaces the default one for SetPixel, entries changed
// later included; detached, the default palette serves again.
TEST_F(DeviceContext, AnAttachedPaletteIsTheOneSetPixelMatches)
{
    PALETTEENTRY entries[256];
    for (unsigned i = 0; i < 256; ++i)
        entries[i] = PALETTEENTRY{BYTE(255 - i), BYTE(255 - i), BYTE(255 - i), 0}; // greys, white first
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(DD_OK, dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr));
    IDirectDrawSurface* surface = make(3, 1, &format8);
    IDirectDrawSurface* rgb = make(1, 1);
    IDirectDrawSurface* nibbles = make(1, 1, &format4);
    ASSERT_NE(nullptr, nibbles);
    EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, rgb->SetPalette(palette));
    EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, nibbles->SetPalette(palette)) << "256 entries for 4 bits";
    IDirectDrawPalette* attached = nullptr;
    EXPECT_EQ(DDERR_NOPALETTEATTACHED, surface->GetPalette(&attached));
    ASSERT_EQ(DD_OK, surface->SetPalette(palette));
    ASSERT_EQ(DD_OK, surface->GetPalette(&attached));
    EXPECT_EQ(palette, attached);
    attached->Release();

    HDC dc = nullptr;
    ASSERT_EQ(DD_OK, surface->GetDC(&dc));
    EXPECT_EQ(RGB(255, 255, 255), dc->setPixel(0, 0, RGB(255, 255, 255)));
    PALETTEENTRY red{255, 0, 0, 0};
    ASSERT_EQ(DD_OK, palette->SetEntries(0, 200, 1, &red));
    EXPECT_EQ(RGB(255, 0, 0), dc->setPixel(1, 0, RGB(250, 5, 5)));
    ASSERT_EQ(DD_OK, surface->ReleaseDC(dc));
    ASSERT_EQ(DD_OK, surface->SetPalette(nullptr));
    ASSERT_EQ(DD_OK, surface->GetDC(&dc));
    EXPECT_EQ(RGB(255, 0, 0), dc->setPixel(2, 0, RGB(250, 5, 5))) << "the cube's red";
    ASSERT_EQ(DD_OK, surface->ReleaseDC(dc));
    EXPECT_EQ((std::vector<uint32_t>{0, 200, 180}), read(surface).pixels);

    PALETTEENTRY back[2] = {};
    ASSERT_EQ(DD_OK, palette->GetEntries(0, 199, 2, back));
    EXPECT_EQ(56, back[0].peRed);
    EXPECT_EQ(255, back[1].peRed);
    EXPECT_EQ(DDERR_INVALIDPARAMS, palette->GetEntries(0, 255, 2, back));
    DWORD caps = 0;
    ASSERT_EQ(DD_OK, palette->GetCaps(&caps));
    EXPECT_EQ(DWORD(DDPCAPS_8BIT | DDPCAPS_ALLOW256), caps);
    ASSERT_EQ(DD_OK, surface->SetPalette(palette)); // released with the surface
    EXPECT_EQ(1u, palette->Release());
}

} // namespace
