// The cases that pin the kernels' rounding, transparency and memory rules,
// at every instruction set this processor offers.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "BlendReference.h"
#include "KernelHarness.h"
#include "pixel/BlendKernels.h"

namespace {

using reference::Kernel;
using namespace ZorvUISystem;

// The tables of every level this processor offers.
std::vector<std::pair<KernelLevel, const KernelTable*>> levels()
{
    std::vector<std::pair<KernelLevel, const KernelTable*>> all;
    for (uint32_t i = 0; i < kKernelLevelCount; ++i)
        if (const KernelTable* t = kernelTableFor(static_cast<KernelLevel>(i)))
            all.emplace_back(static_cast<KernelLevel>(i), t);
    return all;
}

// One row of pixels, source and destination in exact-size buffers, plus a
// guard byte after each row that must stay as it is.
struct Row {
    uint32_t bytesPerPixel;
    std::vector<uint8_t> source, destination;

    Row(uint32_t bpp, const std::vector<uint32_t>& src, const std::vector<uint32_t>& dst)
        : bytesPerPixel(bpp), source(src.size() * bpp + 1, 0xA5), destination(dst.size() * bpp + 1, 0x5A)
    {
        for (size_t i = 0; i < src.size(); ++i)
            for (uint32_t b = 0; b < bpp; ++b) {
                source[i * bpp + b] = static_cast<uint8_t>(src[i] >> (8 * b));
                destination[i * bpp + b] = static_cast<uint8_t>(dst[i] >> (8 * b));
            }
    }
    uint32_t width() const { return static_cast<uint32_t>((source.size() - 1) / bytesPerPixel); }
    uint32_t out(size_t i) const
    {
        uint32_t v = 0;
        for (uint32_t b = 0; b < bytesPerPixel; ++b)
            v |= static_cast<uint32_t>(destination[i * bytesPerPixel + b]) << (8 * b);
        return v;
    }
    std::vector<uint32_t> outs() const
    {
        std::vector<uint32_t> v;
        for (uint32_t i = 0; i < width(); ++i)
            v.push_back(out(i));
        return v;
    }
};

struct Args {
    int32_t alpha = 128;
    uint32_t red = 255, green = 255, blue = 255;
    uint32_t masks[3] = {0x0F00, 0x00F0, 0x000F};
};

int32_t runRow(const KernelTable& table, Kernel kernel, uint32_t mode, Row& row, const Args& args = {})
{
    DDSURFACEDESC src{}, dst{};
    src.dwWidth = row.width();
    src.dwHeight = 1;
    src.lPitch = static_cast<LONG>(row.source.size());
    src.lpSurface = row.source.data();
    dst.lPitch = static_cast<LONG>(row.destination.size());
    dst.lpSurface = row.destination.data();
    for (DDSURFACEDESC* d : {&src, &dst}) {
        d->ddpfPixelFormat.dwRBitMask = args.masks[0];
        d->ddpfPixelFormat.dwGBitMask = args.masks[1];
        d->ddpfPixelFormat.dwBBitMask = args.masks[2];
    }
    switch (kernel) {
    case Kernel::Modulated:
        return blendModulated(table, &src, &dst, 0, 0, nullptr, args.alpha, mode, args.red, args.green, args.blue);
    case Kernel::Half:
        return blendHalf(table, &src, &dst, 0, 0, nullptr, mode);
    case Kernel::AlphaMmx:
        return blendAlphaMmx(table, &src, &dst, 0, 0, nullptr, args.alpha, mode);
    case Kernel::HalfMmx:
        return blendHalfMmx(table, &src, &dst, 0, 0, nullptr, mode);
    case Kernel::TexelAlpha: // the texels' alpha from their own bytes (byte 3, or byte 0 of 16- and 24-bit ones)
        return blendTexelAlpha(table, &src, &src, &dst, 0, 0, nullptr, args.alpha, mode, args.red, args.green,
                               args.blue);
    }
    return -2;
}

using Pixels = std::vector<uint32_t>;

// Runs one row at every level and checks the destination pixels and the
// guard byte after the row.
void expectRow(Kernel kernel, uint32_t mode, const Pixels& src, const Pixels& dst, const Pixels& expected,
               const Args& args = {})
{
    const uint32_t bpp = mode <= 2 ? 2 : mode == 3 ? 3 : 4;
    for (auto [level, table] : levels()) {
        Row row(bpp, src, dst);
        EXPECT_EQ(runRow(*table, kernel, mode, row, args), 0);
        EXPECT_EQ(row.outs(), expected) << reference::kernelName(kernel) << " mode " << mode << " at "
                                        << kernelLevelName(level);
        EXPECT_EQ(row.destination.back(), 0x5A) << "byte after the row changed at " << kernelLevelName(level);
    }
}

// --- blendModulated ----------------------------------------------------------

TEST(BlendModulated, AlphaIsClampedToZeroAndTo256)
{
    Args below;
    below.alpha = -5;
    below.red = 200, below.green = 100, below.blue = 50;
    below.masks[0] = 0xF800, below.masks[1] = 0x07E0, below.masks[2] = 0x001F; // mode 2: every bit is a field
    Args above = below;
    above.alpha = 300;
    const Pixels src = {0xF81F, 0x07E0, 0x1234, 0xFFFF, 0x0801};
    const Pixels dst = {0x0000, 0xFFFF, 0xA5A5, 0x1234, 0xFFFF};
    for (uint32_t mode : {0u, 1u, 2u})
        expectRow(Kernel::Modulated, mode, src, dst, mode == 0 ? Pixels{0, 0x7FFF, 0x25A5, 0x1234, 0x7FFF} : dst,
                  below);
    // Alpha 256 gives the modulated source: pairs in the two-pixel form, the
    // last pixel in the one-pixel form.
    Pixels expected;
    for (size_t i = 0; i < src.size(); ++i) {
        const bool pair = i < 4;
        const int32_t f[3] = {200, 100, 50};
        const int32_t pos[3] = {11, 5, 0}, width[3] = {5, 6, 5};
        uint32_t r = 0;
        for (int c = 0; c < 3; ++c) {
            const int32_t s = (src[i] >> pos[c]) & ((1 << width[c]) - 1);
            const int32_t m = pair ? int32_t(reference::floorDiv((s + 64) * f[c], 256) - f[c] / 4) : s * f[c] / 256;
            r |= uint32_t(m) << pos[c];
        }
        expected.push_back(r);
    }
    expectRow(Kernel::Modulated, 1, src, dst, expected, above);
    // 24 and 32 bits: alpha -5 leaves the colour bytes; 32-bit changed pixels get a fourth byte of 0.
    expectRow(Kernel::Modulated, 3, {0x102030, 0x000000, 0xFFFFFF}, {0xABCDEF, 0x123456, 0x010203},
              {0xABCDEF, 0x123456, 0x010203}, below);
    expectRow(Kernel::Modulated, 4, {0x00102030, 0xFF000000, 0x00FFFFFF}, {0x99ABCDEF, 0x88123456, 0x77010203},
              {0x00ABCDEF, 0x88123456, 0x00010203}, below);
}

TEST(BlendModulated, FactorsAndAlpha255KeepPairsExactAndDarkenTheOddLastColumn)
{
    for (int32_t alpha : {255, 256}) {
        Args args;
        args.alpha = alpha;
        // Mode 1, width 3: the pair comes out as the source; the last pixel
        // (0xFFFF over 0) is one step darker per channel with alpha 256 and
        // one or two steps with alpha 255.
        const uint32_t last = alpha == 256 ? 0xF7DE : 0xEFBD;
        expectRow(Kernel::Modulated, 1, {0xFFFF, 0x8410, 0xFFFF}, {0x0000, 0x1234, 0x0000}, {0xFFFF, 0x8410, last},
                  args);
        // Mode 0: bit 15 is written as 0.
        expectRow(Kernel::Modulated, 0, {0xFFFF, 0x7C00, 0x7C00}, {0x8000, 0x03FF, 0x0000},
                  {0x7FFF, 0x7C00, alpha == 256 ? 0x7800u : 0x7400u}, args);
    }
    // Alpha 255 where the modulated value does not exceed the destination: a
    // lone pixel (the last column) comes out one step darker.
    Args args;
    args.alpha = 255;
    expectRow(Kernel::Modulated, 0, {0x7FFF}, {0x7FFF}, {0x7BDE}, args);
    expectRow(Kernel::Modulated, 1, {0xFFFF}, {0xFFFF}, {0xF7DE}, args);
}

TEST(BlendModulated, Mode0KeepsChannelsApart)
{
    Args args;
    args.alpha = 256;
    for (uint32_t dst : {0x0000u, 0x7FFFu, 0x83E0u, 0x001Fu})
        expectRow(Kernel::Modulated, 0, {0x7C00, 0x7C00}, {dst, dst}, {0x7C00, 0x7C00}, args);
}

TEST(BlendModulated, TransparentHalvesOfAPairLeaveTheirDestination)
{
    Args args;
    args.alpha = 200;
    args.red = 10;
    const Pixels dst = {0x1111, 0x2222, 0x3333, 0x4444, 0x5555, 0x6666};
    for (auto [level, table] : levels()) {
        Row row(2, {0xFFFF, 0x0000, 0x0000, 0x0000, 0x0000, 0xFFFF}, dst);
        runRow(*table, Kernel::Modulated, 1, row, args);
        EXPECT_NE(row.out(0), 0x1111u) << kernelLevelName(level);
        EXPECT_EQ(row.out(1), 0x2222u) << kernelLevelName(level);
        EXPECT_EQ(row.out(2), 0x3333u) << kernelLevelName(level);
        EXPECT_EQ(row.out(3), 0x4444u) << kernelLevelName(level);
        EXPECT_EQ(row.out(4), 0x5555u) << kernelLevelName(level);
        EXPECT_NE(row.out(5), 0x6666u) << kernelLevelName(level);
    }
}

TEST(BlendModulated, WidthOneUsesTheOnePixelFormAndWidthTwoTheTwoPixelForm)
{
    Args args;
    args.alpha = 256;
    expectRow(Kernel::Modulated, 1, {0xFFFF}, {0x0000}, {0xF7DE}, args);
    expectRow(Kernel::Modulated, 1, {0xFFFF, 0xFFFF}, {0x0000, 0x0000}, {0xFFFF, 0xFFFF}, args);
}

TEST(BlendModulated, BytesFollowTheirOwnChannelAndFactor)
{
    Args args;
    args.alpha = 256;
    expectRow(Kernel::Modulated, 3, {0x00FF00, 0x0000FF}, {0, 0}, {0x00FE00, 0x0000FE}, args);
    args.red = 0;
    expectRow(Kernel::Modulated, 3, {0xFFFFFF}, {0x123456}, {0x00FEFE}, args);
    expectRow(Kernel::Modulated, 4, {0x00FFFFFF, 0xAA000000}, {0xEE123456, 0xEE123456}, {0x0000FEFE, 0xEE123456}, args);
}

// --- blendHalf and blendHalfMmx ---------------------------------------------

TEST(BlendHalf, HalvesEachChannel)
{
    expectRow(Kernel::Half, 1, {0xFFFF}, {0x0000}, {0x7BEF});
    expectRow(Kernel::Half, 4, {0x00FFFFFF}, {0x00000000}, {0x007F7F7F});
    expectRow(Kernel::HalfMmx, 1, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, Pixels(5, 0xFFFF), Pixels(5, 0xF7DE));
    expectRow(Kernel::Half, 0, {0x7FFF, 0xFFFF, 0x7FFF}, {0x7FFF, 0xFFFF, 0x0000}, {0x7BDE, 0x7BDE, 0x3DEF});
    expectRow(Kernel::HalfMmx, 4, {0xFFFFFFFF, 0xFF000000, 0x00010101}, {0xFF808080, 0xFF808080, 0xFF030303},
              {0x00BFBFBF, 0xFF808080, 0x00010101});
    expectRow(Kernel::HalfMmx, 3, {0xFFFFFF, 0x000000, 0x030303}, {0x808080, 0x818181, 0x050505},
              {0xBFBFBF, 0x818181, 0x030303});
}

TEST(BlendHalf, OneTransparentHalfOfAPairClearsTheLowBitsUnderItButNotInTheVectorKernel)
{
    // Pixel 1 is transparent beside an opaque pixel 0: blendHalf averages
    // its destination with itself (lowest bit of each channel cleared),
    // blendHalfMmx leaves it. Pixel 2 is the transparent last pixel of an odd
    // row: both leave it.
    const Pixels src = {0xFFFF, 0x0000, 0x0000};
    const Pixels dst = {0x0000, 0xFFFF, 0xFFFF};
    expectRow(Kernel::Half, 1, src, dst, {0x7BEF, 0xF7DE, 0xFFFF});
    expectRow(Kernel::HalfMmx, 1, src, dst, {0x7BEF, 0xFFFF, 0xFFFF});
    expectRow(Kernel::Half, 0, {0x0000, 0x7FFF}, {0xFFFF, 0x0000}, {0x7BDE, 0x3DEF});
    // Mode 2 halves under the key made of the destination's masks.
    Args args; // 4-4-4
    expectRow(Kernel::Half, 2, {0x0FFF, 0x0000}, {0xF000, 0x0FFF}, {0x0777, 0x0EEE}, args);
    expectRow(Kernel::HalfMmx, 2, {0x0FFF, 0x0000}, {0xF000, 0x0FFF}, {0x0777, 0x0FFF}, args);
}

// --- blendAlphaMmx -----------------------------------------------------------

TEST(BlendAlphaMmx, RedOverBlueAtHalfAlphaGivesTheSameInGroupsAndRest)
{
    // Four group pixels and one rest pixel.
    expectRow(Kernel::AlphaMmx, 1, Pixels(5, 0xF800), Pixels(5, 0x001F), Pixels(5, 0x780F));
}

TEST(BlendAlphaMmx, TransparentLanesOfAGroupKeepTheirDestination)
{
    Args args;
    args.alpha = 77;
    const Pixels dst = {0xFFFF, 0x8000, 0x8001, 0x0000};
    for (auto [level, table] : levels()) {
        Row row(2, {0, 0x7FFF, 0, 0x7FFF}, dst);
        runRow(*table, Kernel::AlphaMmx, 0, row, args);
        EXPECT_EQ(row.out(0), 0xFFFFu) << kernelLevelName(level);
        EXPECT_EQ(row.out(2), 0x8001u) << kernelLevelName(level);
        EXPECT_EQ(row.out(1) & 0x8000u, 0u) << kernelLevelName(level);
    }
}

TEST(BlendAlphaMmx, Alpha256CopiesTheFieldsAndAlpha0KeepsThem)
{
    Args opaque;
    opaque.alpha = 256;
    expectRow(Kernel::AlphaMmx, 0, {0xFFFF, 0x8001, 0x1234, 0x7C1F, 0x0400}, Pixels(5, 0xFFFF),
              {0x7FFF, 0x0001, 0x1234, 0x7C1F, 0x0400}, opaque);
    expectRow(Kernel::AlphaMmx, 1, {0xFFFF, 0x8001, 0x1234, 0x7C1F, 0x0400}, Pixels(5, 0xFFFF),
              {0xFFFF, 0x8001, 0x1234, 0x7C1F, 0x0400}, opaque);
    opaque.masks[0] = 0x0F00, opaque.masks[1] = 0x00F0, opaque.masks[2] = 0x000F;
    expectRow(Kernel::AlphaMmx, 2, {0xFFFF, 0xF001, 0x1234, 0x0A5A, 0x8421}, Pixels(5, 0xFFFF),
              {0x0FFF, 0x0001, 0x0234, 0x0A5A, 0x0421}, opaque);
    Args clear;
    clear.alpha = 0;
    expectRow(Kernel::AlphaMmx, 0, Pixels(5, 0x1234), {0xFFFF, 0x8001, 0x1234, 0x7C1F, 0x0400},
              {0x7FFF, 0x0001, 0x1234, 0x7C1F, 0x0400}, clear);
    expectRow(Kernel::AlphaMmx, 1, Pixels(5, 0x1234), {0xFFFF, 0x8001, 0x1234, 0x7C1F, 0x0400},
              {0xFFFF, 0x8001, 0x1234, 0x7C1F, 0x0400}, clear);
    clear.masks[0] = 0x0F00, clear.masks[1] = 0x00F0, clear.masks[2] = 0x000F;
    expectRow(Kernel::AlphaMmx, 2, Pixels(5, 0x1234), {0xFFFF, 0xF001, 0x1234, 0x0A5A, 0x8421},
              {0x0FFF, 0x0001, 0x0234, 0x0A5A, 0x0421}, clear);
}

TEST(BlendAlphaMmx, ThirtyTwoBitPairsAndLastPixelRoundApart)
{
    // Width 3: both formulas agree here (blue 128); only the last pixel's
    // fourth byte is written as 0.
    expectRow(Kernel::AlphaMmx, 4, Pixels(3, 0x000001), Pixels(3, 0xAB0000FF), {0xAB000080, 0xAB000080, 0x00000080});
    // Source 255 over 1 at alpha 1: the split products give 1 + 0 - 0 = 1 in
    // the pair, the one-pixel form 1 + floor(254 / 256) = 1; at alpha 129
    // and source 3 over 200: pair 200 + 1 - 100 = 101, last
    // 200 + floor(129 * -197 / 256) = 200 - 100 = 100.
    Args args;
    args.alpha = 129;
    expectRow(Kernel::AlphaMmx, 4, Pixels(3, 0x00030303), Pixels(3, 0x11C8C8C8), {0x11656565, 0x11656565, 0x00646464},
              args);
    // 24 bits use the split products everywhere.
    expectRow(Kernel::AlphaMmx, 3, Pixels(3, 0x030303), Pixels(3, 0xC8C8C8), Pixels(3, 0x656565), args);
}

// --- every kernel --------------------------------------------------------------

TEST(BlendKernels, TwentyFourBitPixelsNeverTouchTheByteAfterThem)
{
    // The destination is exactly the row plus one guard byte; expectRow
    // checks the guard at every level for every kernel.
    const Pixels src = {0xFFFFFF, 0x000000, 0x808080, 0x010203, 0xFFFFFF};
    const Pixels dst = {0x000000, 0x111111, 0xFFFFFF, 0x000000, 0x7F7F7F};
    for (Kernel k : {Kernel::Modulated, Kernel::Half, Kernel::AlphaMmx, Kernel::HalfMmx}) {
        for (auto [level, table] : levels()) {
            for (uint32_t width = 1; width <= 5; ++width) {
                Row row(3, Pixels(src.begin(), src.begin() + width), Pixels(dst.begin(), dst.begin() + width));
                runRow(*table, k, 3, row);
                EXPECT_EQ(row.destination.back(), 0x5A) << reference::kernelName(k) << " " << kernelLevelName(level);
            }
        }
    }
}

TEST(BlendKernels, OtherModesReturnMinusOneAndTouchNothing)
{
    for (uint32_t mode : {5u, 6u, 7u, 0xFFFFFFFFu}) {
        for (Kernel k : {Kernel::Modulated, Kernel::Half, Kernel::AlphaMmx, Kernel::HalfMmx}) {
            for (auto [level, table] : levels()) {
                Row row(2, {0xFFFF, 0x1234, 0x0001}, {0x0000, 0x4321, 0xFFFF});
                const std::vector<uint8_t> src = row.source, dst = row.destination;
                EXPECT_EQ(runRow(*table, k, mode, row), -1) << reference::kernelName(k) << " mode " << mode;
                EXPECT_EQ(row.source, src);
                EXPECT_EQ(row.destination, dst);
            }
        }
    }
}

TEST(BlendKernels, EmptyRectanglesAndMissingDescriptionsTouchNothing)
{
    std::vector<uint8_t> src(64, 0xFF), dst(64, 0x11);
    DDSURFACEDESC s{}, d{};
    s.lpSurface = src.data();
    s.lPitch = 32;
    d.lpSurface = dst.data();
    d.lPitch = 32;
    const RECT empty{4, 4, 4, 9}, inverted{8, 2, 4, 3};
    for (auto [level, table] : levels()) {
        for (const RECT* r : {&empty, &inverted}) {
            EXPECT_EQ(blendModulated(*table, &s, &d, 0, 0, r, 128, 1, 1, 2, 3), 0);
            EXPECT_EQ(blendHalf(*table, &s, &d, 0, 0, r, 1), 0);
            EXPECT_EQ(blendAlphaMmx(*table, &s, &d, 0, 0, r, 128, 1), 0);
            EXPECT_EQ(blendHalfMmx(*table, &s, &d, 0, 0, r, 4), 0);
        }
        // No rectangle and a source description of size 0 x 0.
        EXPECT_EQ(blendAlphaMmx(*table, &s, &d, 0, 0, nullptr, 128, 4), 0);
        EXPECT_EQ(blendAlphaMmx(*table, nullptr, &d, 0, 0, &empty, 128, 1), -1);
        EXPECT_EQ(blendHalfMmx(*table, &s, nullptr, 0, 0, &empty, 1), -1);
        EXPECT_EQ(std::count(dst.begin(), dst.end(), 0x11), 64) << kernelLevelName(level);
    }
}

TEST(BlendAlphaMmx, AllLevelsAgreeOutsideTheNarrowFieldDomain)
{
    // Mode 2 asks for fields of at most 7 bits; wider or empty masks must
    // still give the same bytes at every level, and stay in the rectangle.
    const uint32_t layouts[][3] = {{0xFF00, 0x00F0, 0x000F}, {0xFFFF, 0, 0}, {0, 0, 0}, {0x0F0F, 0xF0F0, 0x1}};
    std::mt19937 rng(7);
    for (const auto& masks : layouts) {
        Args args;
        std::copy(masks, masks + 3, args.masks);
        for (int32_t alpha : {1, 100, 255, 256}) {
            args.alpha = alpha;
            Pixels src(37), dst(37);
            for (size_t i = 0; i < src.size(); ++i) {
                src[i] = rng() % 3 == 0 ? 0 : rng() & 0xFFFF;
                dst[i] = rng() & 0xFFFF;
            }
            Row portable(2, src, dst);
            runRow(*kernelTableFor(KernelLevel::None), Kernel::AlphaMmx, 2, portable, args);
            expectRow(Kernel::AlphaMmx, 2, src, dst, portable.outs(), args);
        }
    }
}

// --- blendTexelAlpha -----------------------------------------------------------

TEST(BlendTexelAlpha, OpaqueTexelsCopyAndTransparentOnesLeaveTheDestination)
{
    // White, constant alpha 255: alpha 255 writes the texel as it is, alpha 0
    // leaves the destination, colour 0 with alpha 255 draws black (16-bit:
    // the alpha is the pixel's low byte here).
    Args opaque;
    opaque.alpha = 255;
    expectRow(Kernel::TexelAlpha, 4, {0xFF123456, 0x00FFFFFF, 0xFF000000, 0x80808080},
              {0x11223344, 0x11223344, 0x11223344, 0x00FFFFFF}, {0xFF123456, 0x11223344, 0xFF000000, 0x80FFFFFF},
              opaque);
    expectRow(Kernel::TexelAlpha, 1, {0xF8FF, 0x1200, 0x00FF}, {0x1234, 0x5678, 0xFFFF}, {0xF8FF, 0x5678, 0x00FF},
              opaque);
    // Half the texel: 0x80 of white over white stays white; over black it is
    // the texel's colour scaled by the constant alpha.
    Args half = opaque;
    half.alpha = 128;
    expectRow(Kernel::TexelAlpha, 4, {0xFF808080}, {0x00000000}, {0x80404040}, half);
}

} // namespace
