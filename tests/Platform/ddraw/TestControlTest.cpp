// The test controls: armed faults, call counts, guard checks and live counts.
#include "DDrawFixture.h"

using namespace ddt;

namespace {

class TestControl : public DDrawTest {};

TEST_F(TestControl, TheNextCallFailsAndNothingElseHappens)
{
    IDirectDrawSurface* surface = make(4, 4);
    ASSERT_NE(nullptr, surface);
    ASSERT_TRUE(ddrawtest::failNext("Lock", DDERR_SURFACELOST));
    EXPECT_EQ(1u, ddrawtest::armedFaults());
    DDSURFACEDESC desc = lockDesc();
    EXPECT_EQ(DDERR_SURFACELOST, surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(0u, ddrawtest::armedFaults());
    // The failed lock did not lock.
    EXPECT_EQ(DDERR_NOTLOCKED, surface->Unlock(nullptr));
    ASSERT_EQ(DD_OK, surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    ASSERT_EQ(DD_OK, surface->Unlock(nullptr));

    // A failed fill draws nothing.
    ASSERT_TRUE(ddrawtest::failNext("Blt", DDERR_GENERIC));
    DDBLTFX fx = effects();
    fx.dwFillColor = 0xFFFFFF;
    EXPECT_EQ(DDERR_GENERIC, surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    EXPECT_EQ(filled(4, 4, 0).pixels, read(surface).pixels);

    // A failed creation gives no surface.
    ASSERT_TRUE(ddrawtest::failNext("CreateSurface", DDERR_OUTOFVIDEOMEMORY));
    const size_t live = ddrawtest::liveSurfaceCount();
    DDSURFACEDESC create = creationDesc(2, 2);
    IDirectDrawSurface* made = reinterpret_cast<IDirectDrawSurface*>(0x1);
    EXPECT_EQ(DDERR_OUTOFVIDEOMEMORY, dd->CreateSurface(&create, &made, nullptr));
    EXPECT_EQ(nullptr, made);
    EXPECT_EQ(live, ddrawtest::liveSurfaceCount());

    ASSERT_TRUE(ddrawtest::failNext("DirectDrawCreate", DDERR_GENERIC));
    IDirectDraw* object = reinterpret_cast<IDirectDraw*>(0x1);
    EXPECT_EQ(DDERR_GENERIC, DirectDrawCreate(nullptr, &object, nullptr));
    EXPECT_EQ(nullptr, object);

    // A failed mode change loses nothing.
    ASSERT_TRUE(ddrawtest::failNext("SetDisplayMode", DDERR_INVALIDMODE));
    EXPECT_EQ(DDERR_INVALIDMODE, dd->SetDisplayMode(640, 480, 16));
    EXPECT_EQ(DD_OK, surface->IsLost());
}

TEST_F(TestControl, TheNthCallOfOneSurfaceFails)
{
    IDirectDrawSurface* one = make(2, 2);
    IDirectDrawSurface* two = make(2, 2);
    ASSERT_NE(nullptr, two);
    ASSERT_TRUE(ddrawtest::failNext("IsLost", DDERR_SURFACELOST, 3));
    EXPECT_EQ(DD_OK, one->IsLost());
    EXPECT_EQ(DD_OK, two->IsLost());
    EXPECT_EQ(DDERR_SURFACELOST, one->IsLost());
    EXPECT_EQ(DD_OK, one->IsLost());

    ASSERT_TRUE(ddrawtest::failNext("Restore", DDERR_WRONGMODE, 2, two));
    EXPECT_EQ(DD_OK, two->Restore());
    EXPECT_EQ(DD_OK, one->Restore()); // another surface does not count
    EXPECT_EQ(DD_OK, one->Restore());
    EXPECT_EQ(DDERR_WRONGMODE, two->Restore());
    EXPECT_EQ(DD_OK, two->Restore());

    // Two faults of one operation count on their own.
    ASSERT_TRUE(ddrawtest::failNext("GetColorKey", DDERR_GENERIC, 2));
    ASSERT_TRUE(ddrawtest::failNext("GetColorKey", DDERR_INVALIDOBJECT, 1));
    DDCOLORKEY key{};
    EXPECT_EQ(DDERR_INVALIDOBJECT, one->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(DDERR_GENERIC, one->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(DDERR_NOCOLORKEY, one->GetColorKey(DDCKEY_SRCBLT, &key));
}

TEST_F(TestControl, LastingFaultsStayUntilReset)
{
    IDirectDrawSurface* surface = make(2, 2, &format8);
    ASSERT_NE(nullptr, surface);
    ASSERT_TRUE(ddrawtest::failAlways("GetDC", DDERR_CANTCREATEDC, surface));
    HDC dc = nullptr;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(DDERR_CANTCREATEDC, surface->GetDC(&dc));
    EXPECT_EQ(1u, ddrawtest::armedFaults());
    ddrawtest::reset();
    EXPECT_EQ(0u, ddrawtest::armedFaults());
    ASSERT_EQ(DD_OK, surface->GetDC(&dc));
    ASSERT_EQ(DD_OK, surface->ReleaseDC(dc));
}

TEST_F(TestControl, FaultsAreArmedOnlyForKnownOperationsAndFailures)
{
    EXPECT_FALSE(ddrawtest::failNext("Lokc", DDERR_GENERIC));
    EXPECT_FALSE(ddrawtest::failNext(nullptr, DDERR_GENERIC));
    EXPECT_FALSE(ddrawtest::failNext("Release", DDERR_GENERIC)); // counted only
    EXPECT_FALSE(ddrawtest::failNext("SetPixel", DDERR_GENERIC));
    EXPECT_FALSE(ddrawtest::failNext("Lock", DD_OK));
    EXPECT_FALSE(ddrawtest::failNext("Lock", DDERR_GENERIC, 0));
    EXPECT_FALSE(ddrawtest::failAlways("Unknown", DDERR_GENERIC));
    EXPECT_EQ(0u, ddrawtest::armedFaults());
    // The listed failable operations are exactly those that can be armed.
    size_t listed = 0;
    for (; const char* name = ddrawtest::failableOperation(listed); ++listed)
        EXPECT_TRUE(ddrawtest::failNext(name, DDERR_GENERIC)) << name;
    EXPECT_EQ(19u, listed);
    EXPECT_EQ(19u, ddrawtest::armedFaults());
    EXPECT_STREQ("DirectDrawCreate", ddrawtest::failableOperation(0));
    EXPECT_STREQ("GetCaps", ddrawtest::failableOperation(18));
    EXPECT_EQ(nullptr, ddrawtest::failableOperation(1000));
}

TEST_F(TestControl, CallsAreCountedPerOperation)
{
    IDirectDrawSurface* surface = make(3, 3);
    ASSERT_NE(nullptr, surface);
    EXPECT_EQ(1ul, ddrawtest::callCount("CreateSurface"));
    DDSURFACEDESC desc = lockDesc();
    surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr); // fails, still counted
    surface->Unlock(nullptr);
    surface->AddRef();
    surface->Release();
    EXPECT_EQ(2ul, ddrawtest::callCount("Lock"));
    EXPECT_EQ(1ul, ddrawtest::callCount("Unlock"));
    EXPECT_EQ(1ul, ddrawtest::callCount("AddRef"));
    EXPECT_EQ(1ul, ddrawtest::callCount("Release"));
    EXPECT_EQ(0ul, ddrawtest::callCount("Blt"));
    EXPECT_EQ(0ul, ddrawtest::callCount("NoSuchOperation"));
    ddrawtest::reset();
    EXPECT_EQ(0ul, ddrawtest::callCount("Lock"));
}

// The pattern a fault matrix follows: run a sequence once to count an
// operation, then make each of its calls fail in turn.
TEST_F(TestControl, EachCallOfASequenceCanFailInTurn)
{
    IDirectDrawSurface* source = make(4, 4);
    IDirectDrawSurface* dest = make(8, 8);
    ASSERT_NE(nullptr, dest);
    auto sequence = [&]() {
        int failures = 0;
        for (LONG i = 0; i < 4; ++i) {
            RECT place{i, i, i + 4, i + 4};
            failures += dest->Blt(&place, source, nullptr, DDBLT_WAIT, nullptr) < 0 ? 1 : 0;
        }
        return failures;
    };
    ddrawtest::reset();
    EXPECT_EQ(0, sequence());
    const unsigned long calls = ddrawtest::callCount("Blt");
    ASSERT_EQ(4ul, calls);
    for (unsigned n = 1; n <= calls; ++n) {
        ASSERT_TRUE(ddrawtest::failNext("Blt", DDERR_SURFACEBUSY, n));
        EXPECT_EQ(1, sequence()) << n;
        EXPECT_EQ(0u, ddrawtest::armedFaults());
    }
}

TEST_F(TestControl, GuardsFindWritesOutsideTheSurface)
{
    for (const DDPIXELFORMAT* format : {&formatXrgb, &format24, &format565, &format8, &format4}) {
        for (int place = 0; place < 3; ++place) {
            DDSURFACEDESC create = creationDesc(5, 3, format);
            IDirectDrawSurface* surface = nullptr;
            ASSERT_EQ(DD_OK, dd->CreateSurface(&create, &surface, nullptr));
            EXPECT_TRUE(ddrawtest::guardsIntact(surface));
            DDSURFACEDESC desc = lockDesc();
            ASSERT_EQ(DD_OK, surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
            uint8_t* pixels = static_cast<uint8_t*>(desc.lpSurface);
            const size_t rowBytes = (5 * format->dwRGBBitCount + 7) / 8;
            ASSERT_LT(rowBytes, size_t(desc.lPitch)) << "every width here has padding";
            // Every pixel byte may be written.
            for (int y = 0; y < 3; ++y)
                std::memset(pixels + y * desc.lPitch, 0x5A, rowBytes);
            EXPECT_TRUE(ddrawtest::guardsIntact(surface));
            switch (place) {
            case 0:
                pixels[-1] ^= 0xFF; // before the first row
                break;
            case 1:
                pixels[desc.lPitch + rowBytes] ^= 0xFF; // the padding of a middle row
                break;
            default:
                pixels[3 * desc.lPitch] ^= 0xFF; // after the last row
                break;
            }
            ASSERT_EQ(DD_OK, surface->Unlock(nullptr));
            EXPECT_FALSE(ddrawtest::guardsIntact(surface)) << format->dwRGBBitCount << " " << place;
            EXPECT_FALSE(ddrawtest::guardsIntact());
            surface->Release();
        }
    }
    EXPECT_TRUE(ddrawtest::guardsIntact());
    int notASurface = 0;
    EXPECT_FALSE(ddrawtest::guardsIntact(reinterpret_cast<IDirectDrawSurface*>(&notASurface)));
}

TEST_F(TestControl, RestoreKeepsTheGuards)
{
    IDirectDrawSurface* surface = make(7, 5, &format24);
    ASSERT_NE(nullptr, surface);
    write(surface, filled(7, 5, 0xFFFFFF));
    ASSERT_EQ(DD_OK, dd->SetDisplayMode(320, 200, 8));
    ASSERT_EQ(DD_OK, surface->Restore());
    EXPECT_TRUE(ddrawtest::guardsIntact(surface));
}

} // namespace
