// Wine's DirectDraw, headless, as the notes on the differential test describe
// it: where it picks the source pixels of a stretch, the converting blit that
// reports success and draws nothing, BltFast's source key on a surface
// without one, and clippers on off-screen surfaces. If Wine changes, these notes (and the software DirectDraw that
// copies the stretch) need another look.
#include <windows.h>

#include <ddraw.h>

#include <cstdint>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "WinSurfaces.h"

namespace {

using ZivWinTest::OwnedSurface;

class WineSurfaces : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(d_directDraw.get(), nullptr) << std::hex << d_directDraw.result(); }

    OwnedSurface& make(DWORD width, DWORD height, const ZivWinTest::RgbLayout& layout)
    {
        d_surfaces.push_back(std::make_unique<OwnedSurface>(d_directDraw.get(), width, height, layout));
        EXPECT_NE(d_surfaces.back()->get(), nullptr) << std::hex << d_surfaces.back()->result();
        return *d_surfaces.back();
    }

    ZivWinTest::DirectDrawObject d_directDraw;
    std::vector<std::unique_ptr<OwnedSurface>> d_surfaces;
};

TEST_F(WineSurfaces, StretchPicksSourcesBySixteenDotSixteenSteps)
{
    // Destination index d takes source index (d * ((s << 16) / n)) >> 16 on
    // each axis: for 3 -> 7 that is 0 0 0 1 1 2 2, where rounding to the
    // nearest centre would give 0 0 1 1 2 2 2.
    for (const auto& [from, to] : {std::pair<DWORD, DWORD>{3, 7}, {7, 3}, {5, 8}, {11, 4}, {2, 31}}) {
        OwnedSurface& source = make(from, from, ZivWinTest::kRgb32);
        OwnedSurface& dest = make(to, to, ZivWinTest::kRgb32);
        ASSERT_FALSE(HasFailure());
        source.write([](DWORD x, DWORD y) { return (y << 8) | x; });
        ASSERT_EQ(dest.get()->Blt(nullptr, source.get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
        const std::vector<uint32_t> pixels = dest.read();
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
    OwnedSurface& source = make(4, 2, ZivWinTest::kRgb565);
    OwnedSurface& dest = make(4, 2, ZivWinTest::kRgb555);
    ASSERT_FALSE(HasFailure());
    source.write([](DWORD x, DWORD) { return 0xF800u >> x; });
    dest.fill(0x1234);
    EXPECT_EQ(dest.get()->Blt(nullptr, source.get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(dest.get()->BltFast(0, 0, source.get(), nullptr, DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(dest.read(), std::vector<uint32_t>(8, 0x1234u));
}

TEST_F(WineSurfaces, BltFastSourceKeyWithoutAKeyTakesZeroAsTheKey)
{
    OwnedSurface& source = make(3, 1, ZivWinTest::kRgb32);
    OwnedSurface& dest = make(3, 1, ZivWinTest::kRgb32);
    ASSERT_FALSE(HasFailure());
    source.write([](DWORD x, DWORD) { return x == 1 ? 0u : 0x00ABCDEFu; });
    dest.fill(0x00111111);
    DDCOLORKEY key{};
    EXPECT_EQ(source.get()->GetColorKey(DDCKEY_SRCBLT, &key), DDERR_NOCOLORKEY);
    EXPECT_EQ(dest.get()->BltFast(0, 0, source.get(), nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(dest.read(), (std::vector<uint32_t>{0x00ABCDEF, 0x00111111, 0x00ABCDEF}));
    // Blt with the source-key flag refuses instead.
    EXPECT_EQ(dest.get()->Blt(nullptr, source.get(), nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr), DDERR_INVALIDPARAMS);
}

} // namespace

namespace {

// What the software DirectDraw's clippers copy from Wine: Blt onto an
// off-screen surface draws inside the clip list (in the surface's own
// coordinates), BltFast refuses a clipped surface, Lock ignores the clipper.
TEST_F(WineSurfaces, ClippedBltDrawsInsideTheListAndBltFastRefuses)
{
    OwnedSurface& source = make(4, 2, ZivWinTest::kRgb32);
    OwnedSurface& dest = make(4, 2, ZivWinTest::kRgb32);
    ASSERT_FALSE(HasFailure());
    source.write([](DWORD x, DWORD y) { return 0x100u + y * 4 + x; });
    dest.fill(0x7);
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(d_directDraw.get()->CreateClipper(0, &clipper, nullptr), DD_OK);
    struct {
        RGNDATAHEADER header;
        RECT rects[2];
    } list{{sizeof(RGNDATAHEADER), RDH_RECTANGLES, 2, 2 * sizeof(RECT), RECT{0, 0, 4, 2}},
           {RECT{0, 0, 1, 1}, RECT{2, 1, 4, 2}}};
    ASSERT_EQ(clipper->SetClipList(reinterpret_cast<LPRGNDATA>(&list), 0), DD_OK);
    ASSERT_EQ(dest.get()->SetClipper(clipper), DD_OK);
    EXPECT_EQ(dest.get()->Blt(nullptr, source.get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(dest.read(), (std::vector<uint32_t>{0x100, 0x7, 0x7, 0x7, 0x7, 0x7, 0x106, 0x107}));
    EXPECT_EQ(dest.get()->BltFast(0, 0, source.get(), nullptr, DDBLTFAST_WAIT), DDERR_BLTFASTCANTCLIP);
    dest.fill(0x9); // through Lock, on every pixel
    EXPECT_EQ(dest.read(), std::vector<uint32_t>(8, 0x9u));
    ASSERT_EQ(dest.get()->SetClipper(nullptr), DD_OK);
    clipper->Release();
}

} // namespace
