// Source colour keys: through Blt (surface key and override) and BltFast,
// which bits take part, colour spaces, keys after scaling, and the key
// record of a surface.
#include "DDrawFixture.h"

using namespace ddt;

namespace {

class ColourKey : public DDrawTest {
protected:
    // A one-row source of the given pixels and a destination of the same
    // size filled with `background`.
    void pair(const DDPIXELFORMAT* format, const std::vector<uint32_t>& pixels, uint32_t background)
    {
        const DWORD width = DWORD(pixels.size());
        source = make(width, 1, format);
        dest = make(width, 1, format);
        ASSERT_NE(nullptr, dest);
        write(source, Image{width, 1, pixels});
        write(dest, filled(width, 1, background));
    }
    void setKey(IDirectDrawSurface* surface, DWORD low, DWORD high = 0, DWORD extra = 0)
    {
        DDCOLORKEY value = key(low, high == 0 ? low : high);
        ASSERT_EQ(DD_OK, surface->SetColorKey(DDCKEY_SRCBLT | extra, &value));
    }
    IDirectDrawSurface* source = nullptr;
    IDirectDrawSurface* dest = nullptr;
};

TEST_F(ColourKey, SurfaceKeyThroughBltAndBltFast)
{
    // XRGB: the unused byte takes no part, so 0xFF000000 is black too.
    const std::vector<uint32_t> pixels{0x00000000, 0xFF000000, 0x00FF00FF, 0x00123456, 0x01000001};
    pair(&formatXrgb, pixels, 0x777777);
    setKey(source, 0);
    const std::vector<uint32_t> keyed{0x777777, 0x777777, 0x00FF00FF, 0x00123456, 0x01000001};

    ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr));
    EXPECT_EQ(keyed, read(dest).pixels);

    write(dest, filled(5, 1, 0x777777));
    ASSERT_EQ(DD_OK, dest->BltFast(0, 0, source, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT));
    EXPECT_EQ(keyed, read(dest).pixels);

    // Without the key flags the key is not used.
    write(dest, filled(5, 1, 0x777777));
    ASSERT_EQ(DD_OK, dest->BltFast(0, 0, source, nullptr, DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT));
    EXPECT_EQ(pixels, read(dest).pixels);
    write(dest, filled(5, 1, 0x777777));
    ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(pixels, read(dest).pixels);
}

TEST_F(ColourKey, KeysCompareTheBitsTheFormatGivesMeaning)
{
    // Alpha is part of an ARGB pixel.
    pair(&formatArgb, {0x00000000, 0xFF000000, 0x80000000}, 0x11111111);
    setKey(source, 0);
    ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRC, nullptr));
    EXPECT_EQ((std::vector<uint32_t>{0x11111111, 0xFF000000, 0x80000000}), read(dest).pixels);

    // 565 uses all sixteen bits.
    pair(&format565, {0xF81F, 0xF81E, 0x781F, 0x0000}, 0x1234);
    setKey(source, 0xF81F);
    ASSERT_EQ(DD_OK, dest->BltFast(0, 0, source, nullptr, DDBLTFAST_SRCCOLORKEY));
    EXPECT_EQ((std::vector<uint32_t>{0x1234, 0xF81E, 0x781F, 0x0000}), read(dest).pixels);

    // 555 leaves bit 15 out, of the pixel and of the key.
    pair(&format555, {0x7FFF, 0xFFFF, 0x7FFE, 0x8000}, 0x1234);
    setKey(source, 0xFFFF);
    ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRC, nullptr));
    EXPECT_EQ((std::vector<uint32_t>{0x1234, 0x1234, 0x7FFE, 0x8000}), read(dest).pixels);

    // 24 bits, and palette indices of 8 and 4 bits.
    pair(&format24, {0xFFFFFF, 0xFFFFFE, 0x000000}, 0x010203);
    setKey(source, 0xFFFFFFFF);
    ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRC, nullptr));
    EXPECT_EQ((std::vector<uint32_t>{0x010203, 0xFFFFFE, 0x000000}), read(dest).pixels);
    pair(&format8, {5, 6, 5, 0}, 9);
    setKey(source, 0x105);
    ASSERT_EQ(DD_OK, dest->BltFast(0, 0, source, nullptr, DDBLTFAST_SRCCOLORKEY));
    EXPECT_EQ((std::vector<uint32_t>{9, 6, 9, 0}), read(dest).pixels);
    pair(&format4, {3, 4, 3, 3, 0}, 9);
    setKey(source, 3);
    ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRC, nullptr));
    EXPECT_EQ((std::vector<uint32_t>{9, 4, 9, 9, 0}), read(dest).pixels);
}

TEST_F(ColourKey, OverrideUsesTheEffectsRecordKeyOnly)
{
    pair(&formatXrgb, {0x10, 0x20, 0x15, 0x30}, 0x999999);
    DDBLTFX fx = effects();
    fx.ddckSrcColorkey = key(0x10, 0x20); // a single colour: the high value is not looked at
    ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT, &fx));
    EXPECT_EQ((std::vector<uint32_t>{0x999999, 0x20, 0x15, 0x30}), read(dest).pixels);

    // The surface's own key is not used by an override.
    write(dest, filled(4, 1, 0x999999));
    setKey(source, 0x30);
    fx.ddckSrcColorkey = key(0x20, 0x20);
    ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRCOVERRIDE, &fx));
    EXPECT_EQ((std::vector<uint32_t>{0x10, 0x999999, 0x15, 0x30}), read(dest).pixels);
}

TEST_F(ColourKey, ColourSpaceKeysTakeEveryFieldInRange)
{
    // Field by field: blue 0x20 is out of the range although the whole value
    // 0x000020 lies between the low and the high value.
    pair(&formatXrgb, {0x050505, 0x050511, 0x100000, 0x0F0F0F, 0x000020, 0xFF101010}, 0x424242);
    setKey(source, 0x000000, 0x101010, DDCKEY_COLORSPACE);
    ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRC, nullptr));
    EXPECT_EQ((std::vector<uint32_t>{0x424242, 0x050511, 0x424242, 0x424242, 0x000020, 0x424242}), read(dest).pixels);

    // 565 fields: red 0..2, green anything, blue 4..31.
    pair(&format565, {0x0804, 0x1FFF, 0x1803, 0x0000, 0x101F}, 0xAAAA);
    setKey(source, 0x0004, 0x17FF, DDCKEY_COLORSPACE);
    ASSERT_EQ(DD_OK, dest->BltFast(0, 0, source, nullptr, DDBLTFAST_SRCCOLORKEY));
    EXPECT_EQ((std::vector<uint32_t>{0xAAAA, 0x1FFF, 0x1803, 0x0000, 0xAAAA}), read(dest).pixels);

    // Without DDCKEY_COLORSPACE only the low value is a key.
    pair(&formatXrgb, {0x01, 0x02, 0x03}, 0x424242);
    DDCOLORKEY range = key(0x01, 0x03);
    ASSERT_EQ(DD_OK, source->SetColorKey(DDCKEY_SRCBLT, &range));
    ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRC, nullptr));
    EXPECT_EQ((std::vector<uint32_t>{0x424242, 0x02, 0x03}), read(dest).pixels);
}

TEST_F(ColourKey, KeyIsAppliedToTheSampledPixel)
{
    // 2 to 4: the key pixel is taken twice and left out twice.
    pair(&formatXrgb, {0xEE, 0x11}, 0x55);
    setKey(source, 0xEE);
    IDirectDrawSurface* wide = make(4, 1, &formatXrgb);
    write(wide, filled(4, 1, 0x55));
    ASSERT_EQ(DD_OK, wide->Blt(nullptr, source, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr));
    EXPECT_EQ((std::vector<uint32_t>{0x55, 0x55, 0x11, 0x11}), read(wide).pixels);

    // 3 to 2 samples 0 and 1; a key pixel in column 2 is never looked at.
    pair(&formatXrgb, {0x11, 0xEE, 0x22}, 0x55);
    setKey(source, 0xEE);
    IDirectDrawSurface* narrow = make(2, 1, &formatXrgb);
    write(narrow, filled(2, 1, 0x55));
    ASSERT_EQ(DD_OK, narrow->Blt(nullptr, source, nullptr, DDBLT_KEYSRC, nullptr));
    EXPECT_EQ((std::vector<uint32_t>{0x11, 0x55}), read(narrow).pixels);
}

TEST_F(ColourKey, KeyedBlitsCheckTheirArguments)
{
    pair(&formatXrgb, {1, 2, 3}, 0x99);
    // No key on the source.
    EXPECT_EQ(DDERR_INVALIDPARAMS, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRC, nullptr));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dest->BltFast(0, 0, source, nullptr, DDBLTFAST_SRCCOLORKEY));
    // An override needs its effects record, of the right size.
    EXPECT_EQ(DDERR_INVALIDPARAMS, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRCOVERRIDE, nullptr));
    DDBLTFX fx = effects();
    fx.dwSize = 0;
    EXPECT_EQ(DDERR_INVALIDPARAMS, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRCOVERRIDE, &fx));
    setKey(source, 1);
    fx.dwSize = sizeof(DDBLTFX);
    EXPECT_EQ(DDERR_INVALIDPARAMS, dest->Blt(nullptr, source, nullptr, DDBLT_KEYSRC | DDBLT_KEYSRCOVERRIDE, &fx));
    EXPECT_EQ(DDERR_INVALIDPARAMS,
              dest->BltFast(0, 0, source, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_DESTCOLORKEY));
    EXPECT_EQ(filled(3, 1, 0x99).pixels, read(dest).pixels);
}

TEST_F(ColourKey, TheKeyRecordOfASurface)
{
    IDirectDrawSurface* surface = make(2, 2);
    ASSERT_NE(nullptr, surface);
    DDCOLORKEY value = key(7, 7);
    EXPECT_EQ(DDERR_NOCOLORKEY, surface->GetColorKey(DDCKEY_SRCBLT, &value));
    EXPECT_EQ(DDERR_INVALIDPARAMS, surface->GetColorKey(DDCKEY_SRCBLT, nullptr));

    value = key(0x123456, 0x999999);
    ASSERT_EQ(DD_OK, surface->SetColorKey(DDCKEY_SRCBLT, &value));
    DDCOLORKEY back = key(1, 1);
    ASSERT_EQ(DD_OK, surface->GetColorKey(DDCKEY_SRCBLT, &back));
    EXPECT_EQ(0x123456u, back.dwColorSpaceLowValue);
    EXPECT_EQ(0x123456u, back.dwColorSpaceHighValue); // a single colour
    EXPECT_EQ(DDERR_NOCOLORKEY, surface->GetColorKey(DDCKEY_DESTBLT, &back));

    ASSERT_EQ(DD_OK, surface->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &value));
    ASSERT_EQ(DD_OK, surface->GetColorKey(DDCKEY_SRCBLT, &back));
    EXPECT_EQ(0x999999u, back.dwColorSpaceHighValue);

    // The lock description carries the key.
    DDSURFACEDESC desc = lockDesc();
    ASSERT_EQ(DD_OK, surface->GetSurfaceDesc(&desc));
    EXPECT_NE(0u, desc.dwFlags & DDSD_CKSRCBLT);
    EXPECT_EQ(0x123456u, desc.ddckCKSrcBlt.dwColorSpaceLowValue);

    // No record takes the key away.
    ASSERT_EQ(DD_OK, surface->SetColorKey(DDCKEY_SRCBLT, nullptr));
    EXPECT_EQ(DDERR_NOCOLORKEY, surface->GetColorKey(DDCKEY_SRCBLT, &back));

    EXPECT_EQ(DDERR_UNSUPPORTED, surface->SetColorKey(DDCKEY_SRCOVERLAY, &value));
    EXPECT_EQ(DDERR_INVALIDPARAMS, surface->SetColorKey(DDCKEY_SRCBLT | DDCKEY_DESTBLT, &value));
    EXPECT_EQ(DDERR_INVALIDPARAMS, surface->SetColorKey(0, &value));

    // A key given at creation.
    DDSURFACEDESC create = creationDesc(3, 1, &formatXrgb);
    create.dwFlags |= DDSD_CKSRCBLT;
    create.ddckCKSrcBlt = key(0x44, 0x44);
    IDirectDrawSurface* keyed = nullptr;
    ASSERT_EQ(DD_OK, dd->CreateSurface(&create, &keyed, nullptr));
    ASSERT_EQ(DD_OK, keyed->GetColorKey(DDCKEY_SRCBLT, &back));
    EXPECT_EQ(0x44u, back.dwColorSpaceLowValue);
    write(keyed, Image{3, 1, {0x44, 0x45, 0x44}});
    IDirectDrawSurface* target = make(3, 1, &formatXrgb);
    ASSERT_EQ(DD_OK, target->BltFast(0, 0, keyed, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT));
    EXPECT_EQ((std::vector<uint32_t>{0, 0x45, 0}), read(target).pixels);
    keyed->Release();
}

} // namespace
