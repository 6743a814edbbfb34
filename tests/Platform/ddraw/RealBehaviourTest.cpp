// The behaviours of a real DirectDraw that the test switches put on: loss at
// any moment, refused operations on lost surfaces, DDERR_WRONGMODE, garbage
// memory, a busy blitter and a video memory budget.
#include <functional>

#include "DDrawFixture.h"

using namespace ddt;

namespace {

class RealBehaviour : public DDrawTest {
protected:
    static constexpr DWORD videoCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
    static constexpr DWORD noFlagCaps = DDSCAPS_OFFSCREENPLAIN;
    static constexpr DWORD systemCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;

    static bool allZero(const Image& image)
    {
        for (uint32_t pixel : image.pixels)
            if (pixel != 0)
                return false;
        return true;
    }
};

// What each operation that draws or opens a surface answers on a lost
// surface, with the operations on lost surfaces refused (as the SDK says) and
// allowed (as on Wine).
TEST_F(RealBehaviour, OperationsOnLostSurfacesFollowTheSwitch)
{
    IDirectDrawSurface* lost = make(4, 4, &format8);
    IDirectDrawSurface* other = make(4, 4, &format8);
    ASSERT_NE(nullptr, other);
    DDBLTFX fx = effects();
    DDSURFACEDESC lock = lockDesc();
    HDC dc = nullptr;
    const std::vector<std::pair<const char*, std::function<HRESULT()>>> operations = {
        {"Lock", [&] { return lost->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr); }},
        {"Blt onto", [&] { return lost->Blt(nullptr, other, nullptr, DDBLT_WAIT, nullptr); }},
        {"Blt from", [&] { return other->Blt(nullptr, lost, nullptr, DDBLT_WAIT, nullptr); }},
        {"BltFast onto", [&] { return lost->BltFast(0, 0, other, nullptr, DDBLTFAST_WAIT); }},
        {"fill", [&] { return lost->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx); }},
        {"GetDC", [&] { return lost->GetDC(&dc); }},
    };
    for (const bool usable : {false, true}) {
        ddrawtest::setLostSurfacesUsable(usable);
        for (const auto& [name, call] : operations) {
            ASSERT_TRUE(ddrawtest::markLost(lost));
            EXPECT_EQ(usable ? DD_OK : DDERR_SURFACELOST, call()) << name << (usable ? " usable" : " refused");
            if (lock.lpSurface != nullptr) {
                EXPECT_EQ(DD_OK, lost->Unlock(nullptr));
            }
            if (dc != nullptr) {
                EXPECT_EQ(DD_OK, lost->ReleaseDC(dc));
            }
            lock.lpSurface = nullptr;
            dc = nullptr;
            EXPECT_EQ(DDERR_SURFACELOST, lost->IsLost()) << "working on it does not restore it";
            ASSERT_EQ(DD_OK, lost->Restore());
        }
    }
}

TEST_F(RealBehaviour, LoseAllSurfacesLosesOneObjectsSurfacesAndKeepsTheMode)
{
    IDirectDrawSurface* one = make(2, 2);
    IDirectDrawSurface* two = make(2, 2, nullptr, videoCaps);
    IDirectDraw* other = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreate(nullptr, &other, nullptr));
    ASSERT_EQ(DD_OK, other->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
    DDSURFACEDESC desc = creationDesc(2, 2);
    IDirectDrawSurface* foreign = nullptr;
    ASSERT_EQ(DD_OK, other->CreateSurface(&desc, &foreign, nullptr));

    ddrawtest::setWrongModeOnRestore(true);
    ASSERT_TRUE(ddrawtest::loseAllSurfaces(dd));
    EXPECT_EQ(DDERR_SURFACELOST, one->IsLost());
    EXPECT_EQ(DDERR_SURFACELOST, two->IsLost());
    EXPECT_EQ(DD_OK, foreign->IsLost());
    DDSURFACEDESC mode = lockDesc();
    ASSERT_EQ(DD_OK, dd->GetDisplayMode(&mode));
    EXPECT_EQ(1024u, mode.dwWidth);
    EXPECT_EQ(32u, mode.ddpfPixelFormat.dwRGBBitCount);
    EXPECT_EQ(DD_OK, two->Restore()) << "same mode: restores even with the depth rule on";

    foreign->Release();
    other->Release();
    EXPECT_FALSE(ddrawtest::loseAllSurfaces(other)) << "released";
    EXPECT_FALSE(ddrawtest::loseAllSurfaces(nullptr));
}

TEST_F(RealBehaviour, AnArmedLossHappensJustBeforeItsCall)
{
    IDirectDrawSurface* dest = make(2, 2);
    IDirectDrawSurface* source = make(2, 2);
    ASSERT_NE(nullptr, source);
    EXPECT_FALSE(ddrawtest::loseAllSurfacesOn("NoSuchCall", 1, dd));
    EXPECT_FALSE(ddrawtest::loseAllSurfacesOn("Blt", 0, dd));
    ASSERT_TRUE(ddrawtest::loseAllSurfacesOn("Blt", 2, dd));
    EXPECT_EQ(1u, ddrawtest::armedLosses());
    EXPECT_EQ(0u, ddrawtest::armedFaults());
    EXPECT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(DD_OK, source->IsLost());
    EXPECT_EQ(DDERR_SURFACELOST, dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(DDERR_SURFACELOST, source->IsLost());
    EXPECT_EQ(0u, ddrawtest::armedLosses());

    ASSERT_TRUE(ddrawtest::loseAllSurfacesOn("Unlock", 1, dd));
    ddrawtest::reset();
    EXPECT_EQ(0u, ddrawtest::armedLosses());
}

TEST_F(RealBehaviour, RestoreAfterADepthChangeFailsForVideoMemory)
{
    struct Case {
        DWORD caps;
        DWORD width, bits; // the mode changed to
        bool rule;
        HRESULT restored;
    };
    const Case cases[] = {
        {videoCaps, 1024, 16, true, DDERR_WRONGMODE}, {noFlagCaps, 1024, 8, true, DDERR_WRONGMODE},
        {systemCaps, 1024, 16, true, DD_OK},          {videoCaps, 800, 32, true, DD_OK},
        {videoCaps, 1024, 16, false, DD_OK},
    };
    for (const Case& c : cases) {
        ddrawtest::setWrongModeOnRestore(c.rule);
        ASSERT_EQ(DD_OK, dd->SetDisplayMode(1024, 768, 32));
        DDSURFACEDESC desc = creationDesc(4, 4, &formatXrgb, c.caps);
        IDirectDrawSurface* surface = nullptr;
        ASSERT_EQ(DD_OK, dd->CreateSurface(&desc, &surface, nullptr));
        ASSERT_EQ(DD_OK, dd->SetDisplayMode(c.width, 768, c.bits));
        EXPECT_EQ(c.restored, surface->Restore()) << c.caps << " " << c.width << "x" << c.bits;
        EXPECT_EQ(c.restored == DD_OK ? DD_OK : DDERR_SURFACELOST, surface->IsLost());
        // Back in the depth it was made in, it restores.
        ASSERT_EQ(DD_OK, dd->SetDisplayMode(1024, 768, 32));
        EXPECT_EQ(DD_OK, surface->Restore());
        surface->Release();
    }
}

TEST_F(RealBehaviour, GarbageFillsNewAndRestoredMemoryOnly)
{
    IDirectDrawSurface* clean = make(9, 5, &format24);
    ASSERT_NE(nullptr, clean);
    EXPECT_TRUE(allZero(read(clean)));

    ddrawtest::setGarbageMemory(true);
    IDirectDrawSurface* first = make(9, 5, &format24);
    IDirectDrawSurface* second = make(9, 5, &format24);
    ASSERT_NE(nullptr, second);
    const Image a = read(first);
    EXPECT_FALSE(allZero(a));
    EXPECT_NE(a.pixels, read(second).pixels) << "each surface gets its own garbage";
    write(first, filled(9, 5, 0x123456));
    EXPECT_EQ(filled(9, 5, 0x123456).pixels, read(first).pixels) << "written pixels stay";
    ASSERT_TRUE(ddrawtest::markLost(first));
    ASSERT_EQ(DD_OK, first->Restore());
    const Image restored = read(first);
    EXPECT_FALSE(allZero(restored));
    EXPECT_NE(filled(9, 5, 0x123456).pixels, restored.pixels);
    // Guards and row padding are checked by the fixture.
}

// Each call of the table on a surface that a blit just drew: refused
// `busyCalls` times without the wait flag, at once with it.
TEST_F(RealBehaviour, BusyBlitterRefusesCallsWithoutTheWaitFlag)
{
    constexpr unsigned busyCalls = 2;
    ddrawtest::setBusyBlitter(busyCalls);
    IDirectDrawSurface* dest = make(4, 4);
    IDirectDrawSurface* source = make(4, 4);
    IDirectDrawSurface* idle = make(4, 4);
    IDirectDrawSurface* untouched = make(4, 4);
    ASSERT_NE(nullptr, untouched);
    DDBLTFX fx = effects();
    DDSURFACEDESC lock = lockDesc();
    struct Call {
        const char* name;
        std::function<HRESULT(bool wait)> run;
    };
    const Call calls[] = {
        {"Blt", [&](bool wait) { return dest->Blt(nullptr, source, nullptr, wait ? DDBLT_WAIT : 0, nullptr); }},
        {"Blt from the source",
         [&](bool wait) { return idle->Blt(nullptr, source, nullptr, wait ? DDBLT_WAIT : 0, nullptr); }},
        {"fill",
         [&](bool wait) {
             return dest->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | (wait ? DDBLT_WAIT : 0), &fx);
         }},
        {"BltFast", [&](bool wait) { return dest->BltFast(0, 0, source, nullptr, wait ? DDBLTFAST_WAIT : 0); }},
        {"Lock",
         [&](bool wait) {
             const HRESULT result = dest->Lock(nullptr, &lock, wait ? DDLOCK_WAIT : 0, nullptr);
             if (result == DD_OK)
                 dest->Unlock(nullptr);
             return result;
         }},
    };
    for (const Call& call : calls) {
        ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr));
        for (unsigned i = 0; i < busyCalls; ++i)
            EXPECT_EQ(DDERR_WASSTILLDRAWING, call.run(false)) << call.name << " call " << i;
        EXPECT_EQ(DD_OK, call.run(false)) << call.name << " after the blit is done";
        ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr));
        EXPECT_EQ(DD_OK, call.run(true)) << call.name << " waits";
        // A surface no blit touched is never busy.
        EXPECT_EQ(DD_OK, untouched->Lock(nullptr, &lock, 0, nullptr));
        untouched->Unlock(nullptr);
    }
    ddrawtest::setBusyBlitter(0);
    ASSERT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, 0, nullptr));
    EXPECT_EQ(DD_OK, dest->Blt(nullptr, source, nullptr, 0, nullptr)) << "off: never busy";
}

TEST_F(RealBehaviour, VideoMemoryBudgetRefusesWhatDoesNotFit)
{
    // 16x16 XRGB: 1024 bytes a surface.
    const size_t before = ddrawtest::videoMemoryInUse();
    ddrawtest::setVideoMemoryBudget(before + 2048);
    IDirectDraw2* dd2 = nullptr;
    ASSERT_EQ(DD_OK, dd->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd2)));
    DDSCAPS caps{DDSCAPS_VIDEOMEMORY};
    DWORD total = 0, free = 0;
    ASSERT_EQ(DD_OK, dd2->GetAvailableVidMem(&caps, &total, &free));
    EXPECT_EQ(before + 2048, total);
    EXPECT_EQ(2048u, free);

    DDSURFACEDESC desc = creationDesc(16, 16, &formatXrgb, videoCaps);
    IDirectDrawSurface* video = nullptr;
    ASSERT_EQ(DD_OK, dd->CreateSurface(&desc, &video, nullptr));
    IDirectDrawSurface* noFlag = make(16, 16, &formatXrgb, noFlagCaps);
    ASSERT_NE(nullptr, noFlag);
    EXPECT_EQ(before + 2048, ddrawtest::videoMemoryInUse());
    ASSERT_EQ(DD_OK, dd2->GetAvailableVidMem(&caps, nullptr, &free));
    EXPECT_EQ(0u, free);
    for (const DWORD placement : {videoCaps, noFlagCaps}) {
        DDSURFACEDESC one = creationDesc(1, 1, &formatXrgb, placement);
        IDirectDrawSurface* surface = reinterpret_cast<IDirectDrawSurface*>(0x1);
        EXPECT_EQ(DDERR_OUTOFVIDEOMEMORY, dd->CreateSurface(&one, &surface, nullptr));
        EXPECT_EQ(nullptr, surface);
    }
    EXPECT_NE(nullptr, make(16, 16, &formatXrgb, systemCaps)) << "system memory is not counted";

    // Released memory can be had again.
    video->Release();
    ASSERT_EQ(DD_OK, dd->CreateSurface(&desc, &video, nullptr));
    video->Release();
    caps.dwCaps = DDSCAPS_SYSTEMMEMORY;
    EXPECT_EQ(DDERR_INVALIDCAPS, dd2->GetAvailableVidMem(&caps, &total, &free));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd2->GetAvailableVidMem(&caps, nullptr, nullptr));
    ddrawtest::setVideoMemoryBudget(0);
    caps.dwCaps = DDSCAPS_VIDEOMEMORY;
    ASSERT_EQ(DD_OK, dd2->GetAvailableVidMem(&caps, &total, &free));
    EXPECT_EQ(0xFFFFFFFFu, total) << "unlimited";
    dd2->Release();
}

} // namespace
