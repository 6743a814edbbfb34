// The DirectDraw object: creation, cooperative level, display mode, surface
// creation checks and reference counting.
#include "DDrawFixture.h"

using namespace ddt;

namespace {

class DirectDrawObject : public DDrawTest {
protected:
    // The result of a creation; a surface made is released at once, and a
    // failed creation must leave the pointer null.
    HRESULT create(DDSURFACEDESC desc)
    {
        IDirectDrawSurface* surface = reinterpret_cast<IDirectDrawSurface*>(0x1);
        const HRESULT result = dd->CreateSurface(&desc, &surface, nullptr);
        if (result < 0) {
            EXPECT_EQ(nullptr, surface);
        } else if (surface != nullptr) {
            surface->Release();
        }
        return result;
    }
};

TEST(DirectDrawCreate, GivesAnObjectAndChecksItsArguments)
{
    ddrawtest::reset();
    const size_t before = ddrawtest::liveDirectDrawCount();
    IDirectDraw* dd = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreate(nullptr, &dd, nullptr));
    ASSERT_NE(nullptr, dd);
    EXPECT_EQ(before + 1, ddrawtest::liveDirectDrawCount());
    EXPECT_EQ(0u, dd->Release());
    EXPECT_EQ(before, ddrawtest::liveDirectDrawCount());

    EXPECT_EQ(DDERR_INVALIDPARAMS, DirectDrawCreate(nullptr, nullptr, nullptr));
    IUnknown* outer = reinterpret_cast<IUnknown*>(&dd);
    dd = reinterpret_cast<IDirectDraw*>(0x1);
    EXPECT_EQ(DDERR_INVALIDPARAMS, DirectDrawCreate(nullptr, &dd, outer));
    EXPECT_EQ(nullptr, dd);
}

TEST(DirectDrawCreate, SurfacesNeedACooperativeLevelFirst)
{
    IDirectDraw* dd = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreate(nullptr, &dd, nullptr));
    DDSURFACEDESC desc = creationDesc(4, 4);
    IDirectDrawSurface* surface = nullptr;
    EXPECT_EQ(DDERR_NOCOOPERATIVELEVELSET, dd->CreateSurface(&desc, &surface, nullptr));
    EXPECT_EQ(nullptr, surface);

    // Normal, or exclusive together with full-screen; nothing else.
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(nullptr, 0));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(nullptr, DDSCL_FULLSCREEN));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL | DDSCL_EXCLUSIVE));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL | 0x80000000u));
    EXPECT_EQ(DDERR_NOCOOPERATIVELEVELSET, dd->CreateSurface(&desc, &surface, nullptr));

    EXPECT_EQ(DD_OK, dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN));
    ASSERT_EQ(DD_OK, dd->CreateSurface(&desc, &surface, nullptr));
    ASSERT_NE(nullptr, surface);
    surface->Release();
    dd->Release();
}

TEST_F(DirectDrawObject, DisplayModeStartsAt1024x768XrgbAndChangesAtAnyLevel)
{
    DDSURFACEDESC mode = lockDesc();
    ASSERT_EQ(DD_OK, dd->GetDisplayMode(&mode));
    EXPECT_EQ(1024u, mode.dwWidth);
    EXPECT_EQ(768u, mode.dwHeight);
    EXPECT_EQ(4096, mode.lPitch);
    EXPECT_EQ(DWORD(DDPF_RGB), mode.ddpfPixelFormat.dwFlags);
    EXPECT_EQ(32u, mode.ddpfPixelFormat.dwRGBBitCount);
    EXPECT_EQ(0x00FF0000u, mode.ddpfPixelFormat.dwRBitMask);
    EXPECT_EQ(0x0000FF00u, mode.ddpfPixelFormat.dwGBitMask);
    EXPECT_EQ(0x000000FFu, mode.ddpfPixelFormat.dwBBitMask);
    EXPECT_EQ(0u, mode.ddpfPixelFormat.dwRGBAlphaBitMask);

    // Without a cooperative level too.
    IDirectDraw* other = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreate(nullptr, &other, nullptr));
    EXPECT_EQ(DD_OK, other->SetDisplayMode(640, 480, 16));
    ASSERT_EQ(DD_OK, other->GetDisplayMode(&mode));
    EXPECT_EQ(640u, mode.dwWidth);
    EXPECT_EQ(480u, mode.dwHeight);
    EXPECT_EQ(1280, mode.lPitch);
    EXPECT_EQ(0xF800u, mode.ddpfPixelFormat.dwRBitMask);
    other->Release();

    for (DWORD bits : {0u, 1u, 4u, 15u, 64u})
        EXPECT_EQ(DDERR_INVALIDMODE, dd->SetDisplayMode(800, 600, bits)) << bits;
    EXPECT_EQ(DDERR_INVALIDMODE, dd->SetDisplayMode(0, 600, 32));
    EXPECT_EQ(DDERR_INVALIDMODE, dd->SetDisplayMode(800, 0, 32));

    mode.dwSize = 0;
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->GetDisplayMode(&mode));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->GetDisplayMode(nullptr));
}

TEST_F(DirectDrawObject, CreationRejectsBadDescriptions)
{
    DDSURFACEDESC desc = creationDesc(8, 8);
    desc.dwSize = 108; // the 32-bit size is not this build's size
    static_assert(sizeof(DDSURFACEDESC) != 108);
    EXPECT_EQ(DDERR_INVALIDPARAMS, create(desc));
    desc.dwSize = sizeof(DDSURFACEDESC) + 4;
    EXPECT_EQ(DDERR_INVALIDPARAMS, create(desc));

    EXPECT_EQ(DDERR_INVALIDPARAMS, create(creationDesc(0, 8)));
    EXPECT_EQ(DDERR_INVALIDPARAMS, create(creationDesc(8, 0)));
    desc = creationDesc(8, 8);
    desc.dwFlags &= ~DDSD_WIDTH;
    EXPECT_EQ(DDERR_INVALIDPARAMS, create(desc));
    desc = creationDesc(8, 8);
    desc.dwFlags &= ~DDSD_CAPS;
    EXPECT_EQ(DDERR_INVALIDPARAMS, create(desc));
    desc = creationDesc(8, 8);
    desc.dwFlags |= DDSD_LPSURFACE;
    EXPECT_EQ(DDERR_INVALIDPARAMS, create(desc));

    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->CreateSurface(nullptr, nullptr, nullptr));
    desc = creationDesc(8, 8);
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->CreateSurface(&desc, nullptr, nullptr));
    IDirectDrawSurface* surface = nullptr;
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->CreateSurface(&desc, &surface, reinterpret_cast<IUnknown*>(dd)));
    EXPECT_EQ(nullptr, surface);
}

TEST_F(DirectDrawObject, CreationChecksCapsAndPixelFormats)
{
    // Every memory placement is accepted and reported.
    const struct {
        DWORD asked;
        DWORD reported;
    } placements[] = {
        {DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY},
        {DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY,
         DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM},
        {DDSCAPS_OFFSCREENPLAIN, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM},
        {DDSCAPS_VIDEOMEMORY | DDSCAPS_NONLOCALVIDMEM,
         DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY | DDSCAPS_NONLOCALVIDMEM},
    };
    for (const auto& placement : placements) {
        DDSURFACEDESC desc = creationDesc(3, 3, nullptr, placement.asked);
        IDirectDrawSurface* surface = nullptr;
        ASSERT_EQ(DD_OK, dd->CreateSurface(&desc, &surface, nullptr));
        DDSCAPS caps{};
        EXPECT_EQ(DD_OK, surface->GetCaps(&caps));
        EXPECT_EQ(placement.reported, caps.dwCaps) << std::hex << placement.asked;
        surface->Release();
    }
    EXPECT_EQ(DDERR_INVALIDCAPS, create(creationDesc(4, 4, nullptr, DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY)));
    EXPECT_EQ(DDERR_INVALIDCAPS, create(creationDesc(4, 4, nullptr, DDSCAPS_LOCALVIDMEM)));
    EXPECT_EQ(DDERR_INVALIDCAPS, create(creationDesc(4, 4, nullptr, 0x00000004)));
    EXPECT_EQ(DDERR_UNSUPPORTED, create(creationDesc(4, 4, nullptr, DDSCAPS_PRIMARYSURFACE)));

    DDPIXELFORMAT format = format565;
    format.dwSize = 0;
    EXPECT_EQ(DDERR_INVALIDPARAMS, create(creationDesc(4, 4, &format)));
    const DDPIXELFORMAT bad[] = {
        rgbFormat(12, 0xF00, 0x0F0, 0x00F),            // no such storage
        rgbFormat(8, 0xE0, 0x1C, 0x03),                // 8-bit RGB is not offered
        rgbFormat(16, 0xF800, 0x0FE0, 0x001F),         // overlapping masks
        rgbFormat(16, 0xF800, 0x07E0, 0x0015),         // a mask with gaps
        rgbFormat(16, 0xF800, 0x07E0, 0),              // a missing channel
        rgbFormat(16, 0x1F800, 0x07E0, 0x001F),        // a mask beyond the pixel
        rgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8001), // alpha over blue
        paletteFormat(2),
    };
    for (const DDPIXELFORMAT& request : bad)
        EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, create(creationDesc(4, 4, &request)))
            << request.dwRGBBitCount << " " << std::hex << request.dwRBitMask << " " << request.dwBBitMask;
    format = format8;
    format.dwFlags |= DDPF_ALPHAPIXELS;
    EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, create(creationDesc(4, 4, &format)));
    format = format565;
    format.dwFlags |= DDPF_FOURCC;
    EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, create(creationDesc(4, 4, &format)));
}

TEST_F(DirectDrawObject, TooLargeIsOutOfMemoryWithoutAllocating)
{
    EXPECT_EQ(DDERR_OUTOFMEMORY, create(creationDesc(16385, 1)));
    EXPECT_EQ(DDERR_OUTOFMEMORY, create(creationDesc(1, 16385)));
    EXPECT_EQ(DDERR_OUTOFMEMORY, create(creationDesc(16384, 16384)));             // 1 GiB at 32 bits
    EXPECT_EQ(DDERR_OUTOFMEMORY, create(creationDesc(0xFFFFFFFFu, 0xFFFFFFFFu))); // no overflow either
    // A long thin surface is fine.
    EXPECT_EQ(DD_OK, create(creationDesc(16384, 2)));
}

TEST_F(DirectDrawObject, ReferencesCountAndTheLastReleaseFrees)
{
    const size_t before = ddrawtest::liveSurfaceCount();
    DDSURFACEDESC desc = creationDesc(5, 5);
    IDirectDrawSurface* surface = nullptr;
    ASSERT_EQ(DD_OK, dd->CreateSurface(&desc, &surface, nullptr));
    EXPECT_EQ(before + 1, ddrawtest::liveSurfaceCount());
    EXPECT_EQ(2u, surface->AddRef());
    EXPECT_EQ(3u, surface->AddRef());
    EXPECT_EQ(2u, surface->Release());
    EXPECT_EQ(1u, surface->Release());
    EXPECT_EQ(before + 1, ddrawtest::liveSurfaceCount());
    EXPECT_EQ(0u, surface->Release());
    EXPECT_EQ(before, ddrawtest::liveSurfaceCount());

    // Surfaces hold no reference on the object that made them.
    EXPECT_EQ(2u, dd->AddRef());
    EXPECT_EQ(1u, dd->Release());
}

TEST_F(DirectDrawObject, SurfacesOutliveTheirDirectDrawObject)
{
    IDirectDraw* other = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreate(nullptr, &other, nullptr));
    ASSERT_EQ(DD_OK, other->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
    DDSURFACEDESC desc = creationDesc(4, 2);
    IDirectDrawSurface* surface = nullptr;
    ASSERT_EQ(DD_OK, other->CreateSurface(&desc, &surface, nullptr));
    EXPECT_EQ(0u, other->Release());

    DDBLTFX fx = effects();
    fx.dwFillColor = 0x123456;
    EXPECT_EQ(DD_OK, surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    EXPECT_EQ(filled(4, 2, 0x123456).pixels, read(surface).pixels);
    EXPECT_EQ(0u, surface->Release());
}

} // namespace
