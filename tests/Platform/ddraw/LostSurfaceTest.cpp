// Loss of surfaces on a display mode change and their restore.
#include "DDrawFixture.h"

using namespace ddt;

namespace {

class LostSurface : public DDrawTest {};

TEST_F(LostSurface, ModeChangeLosesEverySurfaceOfTheObject)
{
    IDirectDrawSurface* display = make(6, 4);
    IDirectDrawSurface* indexed = make(5, 3, &format8);
    IDirectDrawSurface* source = make(6, 4);
    ASSERT_NE(nullptr, source);
    write(display, numbered(6, 4));
    write(source, numbered(6, 4, 100));
    EXPECT_EQ(DD_OK, display->IsLost());

    // A surface of another DirectDraw object is not touched.
    IDirectDraw* other = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreate(nullptr, &other, nullptr));
    ASSERT_EQ(DD_OK, other->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
    DDSURFACEDESC desc = creationDesc(2, 2);
    IDirectDrawSurface* foreign = nullptr;
    ASSERT_EQ(DD_OK, other->CreateSurface(&desc, &foreign, nullptr));

    ASSERT_EQ(DD_OK, dd->SetDisplayMode(800, 600, 16));
    for (IDirectDrawSurface* surface : {display, indexed, source})
        EXPECT_EQ(DDERR_SURFACELOST, surface->IsLost());
    EXPECT_EQ(DD_OK, foreign->IsLost());
    foreign->Release();
    other->Release();

    // Lost as destination and as source.
    DDSURFACEDESC lock = lockDesc();
    EXPECT_EQ(DDERR_SURFACELOST, display->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DDERR_SURFACELOST, display->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(DDERR_SURFACELOST, display->BltFast(0, 0, source, nullptr, DDBLTFAST_WAIT));
    DDBLTFX fx = effects();
    EXPECT_EQ(DDERR_SURFACELOST, display->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    HDC dc = reinterpret_cast<HDC>(0x1);
    EXPECT_EQ(DDERR_SURFACELOST, indexed->GetDC(&dc));
    EXPECT_EQ(nullptr, dc);
    ASSERT_EQ(DD_OK, source->Restore());
    EXPECT_EQ(DDERR_SURFACELOST, source->Blt(nullptr, display, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(DDERR_SURFACELOST, source->BltFast(0, 0, display, nullptr, DDBLTFAST_WAIT));

    // Restored: usable, pixels gone, size and format kept (the display is 16
    // bits now, the surface stays 32).
    ASSERT_EQ(DD_OK, display->Restore());
    EXPECT_EQ(DD_OK, display->IsLost());
    EXPECT_EQ(DD_OK, display->Restore()); // restoring a surface that is not lost does nothing
    ASSERT_EQ(DD_OK, display->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(6u, lock.dwWidth);
    EXPECT_EQ(4u, lock.dwHeight);
    EXPECT_EQ(32u, lock.ddpfPixelFormat.dwRGBBitCount);
    ASSERT_EQ(DD_OK, display->Unlock(nullptr));
    EXPECT_EQ(filled(6, 4, 0).pixels, read(display).pixels);
    ASSERT_EQ(DD_OK, indexed->Restore());
    EXPECT_EQ(DD_OK, indexed->GetDC(&dc));
    EXPECT_EQ(DD_OK, indexed->ReleaseDC(dc));

    // New surfaces take the new display format.
    IDirectDrawSurface* fresh = make(3, 3);
    ASSERT_NE(nullptr, fresh);
    ASSERT_EQ(DD_OK, fresh->GetSurfaceDesc(&lock));
    EXPECT_EQ(16u, lock.ddpfPixelFormat.dwRGBBitCount);
    EXPECT_EQ(0xF800u, lock.ddpfPixelFormat.dwRBitMask);
    EXPECT_EQ(DD_OK, fresh->IsLost());
}

TEST_F(LostSurface, LockAndContextSurviveTheLossUntilReleased)
{
    IDirectDrawSurface* surface = make(4, 4, &format8);
    ASSERT_NE(nullptr, surface);
    DDSURFACEDESC lock = lockDesc();
    ASSERT_EQ(DD_OK, surface->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr));
    ASSERT_EQ(DD_OK, dd->SetDisplayMode(640, 480, 8));
    // Still locked: no restore under a lock, but the unlock works.
    EXPECT_EQ(DDERR_SURFACEBUSY, surface->Restore());
    EXPECT_EQ(DD_OK, surface->Unlock(lock.lpSurface));
    EXPECT_EQ(DD_OK, surface->Restore());

    HDC dc = nullptr;
    ASSERT_EQ(DD_OK, surface->GetDC(&dc));
    ASSERT_EQ(DD_OK, dd->RestoreDisplayMode());
    EXPECT_EQ(DDERR_SURFACELOST, surface->IsLost());
    EXPECT_EQ(DDERR_SURFACEBUSY, surface->Restore());
    EXPECT_EQ(DD_OK, surface->ReleaseDC(dc));
    EXPECT_EQ(DD_OK, surface->Restore());

    // Restoring the mode that is already set loses nothing.
    ASSERT_EQ(DD_OK, dd->RestoreDisplayMode());
    EXPECT_EQ(DD_OK, surface->IsLost());
}

TEST_F(LostSurface, MarkLostLosesOneSurface)
{
    IDirectDrawSurface* one = make(2, 2);
    IDirectDrawSurface* two = make(2, 2);
    ASSERT_NE(nullptr, two);
    write(one, filled(2, 2, 0xABCDEF));
    ASSERT_TRUE(ddrawtest::markLost(one));
    EXPECT_EQ(DDERR_SURFACELOST, one->IsLost());
    EXPECT_EQ(DD_OK, two->IsLost());
    ASSERT_EQ(DD_OK, one->Restore());
    EXPECT_EQ(filled(2, 2, 0).pixels, read(one).pixels);

    int notASurface = 0;
    EXPECT_FALSE(ddrawtest::markLost(reinterpret_cast<IDirectDrawSurface*>(&notASurface)));
    EXPECT_FALSE(ddrawtest::markLost(nullptr));
}

} // namespace
