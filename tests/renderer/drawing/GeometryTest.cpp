// Float coordinates to whole pixels, and the clipping of a blit's two
// rectangles.
#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "renderer/QuadGeometry.h"

namespace {

using ZorvUISystem::clipBlit;
using ZorvUISystem::intersectRects;
using ZorvUISystem::isStretched;
using ZorvUISystem::kUnboundedRect;
using ZorvUISystem::truncateCoordinate;
using ZorvUISystem::truncateRect;
using ZorvUISystem::truncateToPixels;

bool same(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(Truncation, TowardZeroNeverRounding)
{
    const RECT d = truncateRect({10.9f, -0.5f, 42.2f, 31.99f});
    EXPECT_TRUE(same(d, RECT{10, 0, 42, 31}));
    EXPECT_EQ(truncateCoordinate(-7.99f), -7);
    EXPECT_EQ(truncateCoordinate(0.999999f), 0);
    EXPECT_EQ(truncateCoordinate(-0.0f), 0);
}

// Sizes go through the same conversion into the unsigned range: 800.9 by
// 600.2 is a display of 800 by 600; nothing below zero.
TEST(Truncation, SizesSaturateIntoTheUnsignedRange)
{
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(truncateToPixels(800.9f), 800u);
    EXPECT_EQ(truncateToPixels(600.2f), 600u);
    EXPECT_EQ(truncateToPixels(0.99f), 0u);
    EXPECT_EQ(truncateToPixels(16777216.0f), 16777216u);
    EXPECT_EQ(truncateToPixels(1e20f), UINT32_MAX);
    EXPECT_EQ(truncateToPixels(-0.5f), 0u);
    EXPECT_EQ(truncateToPixels(-inf), 0u);
    EXPECT_EQ(truncateToPixels(std::nanf("")), 0u);
    EXPECT_EQ(truncateToPixels(inf), UINT32_MAX);
    EXPECT_EQ(truncateToPixels(4294967296.0f), UINT32_MAX);
    // The largest float below 2^32, and one beyond the signed range.
    EXPECT_EQ(truncateToPixels(4294967040.0f), 4294967040u);
    EXPECT_EQ(truncateToPixels(2147483648.0f), 2147483648u);
}

TEST(Intersection, TheCommonPartOrAnEmptyRectangle)
{
    EXPECT_TRUE(same(intersectRects({0, 0, 37, 5}, {30, 3, 50, 9}), RECT{30, 3, 37, 5}));
    EXPECT_TRUE(same(intersectRects({30, 3, 50, 9}, {0, 0, 37, 5}), RECT{30, 3, 37, 5}));
    EXPECT_TRUE(same(intersectRects(kUnboundedRect, {-5, -6, 7, 8}), RECT{-5, -6, 7, 8}));
    const RECT apart = intersectRects({0, 0, 10, 10}, {20, 0, 30, 10});
    EXPECT_GE(apart.left, apart.right);
}

TEST(Truncation, NonFiniteAndHugeSaturate)
{
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(truncateCoordinate(std::nanf("")), 0);
    EXPECT_EQ(truncateCoordinate(-std::nanf("")), 0);
    EXPECT_EQ(truncateCoordinate(inf), INT32_MAX);
    EXPECT_EQ(truncateCoordinate(-inf), INT32_MIN);
    EXPECT_EQ(truncateCoordinate(2147483648.0f), INT32_MAX);
    EXPECT_EQ(truncateCoordinate(1e30f), INT32_MAX);
    EXPECT_EQ(truncateCoordinate(-2147483648.0f), INT32_MIN);
    EXPECT_EQ(truncateCoordinate(-1e30f), INT32_MIN);
    // The largest float below 2^31 still converts exactly.
    EXPECT_EQ(truncateCoordinate(2147483520.0f), 2147483520);
    EXPECT_EQ(truncateCoordinate(-2147483520.0f), -2147483520);
}

TEST(Stretch, ComparesSizesWithoutOverflow)
{
    EXPECT_FALSE(isStretched(RECT{100, 50, 132, 82}, RECT{0, 0, 32, 32}));
    EXPECT_TRUE(isStretched(RECT{100, 50, 164, 114}, RECT{0, 0, 32, 32}));
    EXPECT_TRUE(isStretched(RECT{0, 0, 32, 33}, RECT{0, 0, 32, 32}));
    // Widths of 2^32 - 1 and -(2^32 - 1) differ, though they wrap to equal 32-bit values.
    EXPECT_TRUE(isStretched(RECT{INT32_MIN, 0, INT32_MAX, 1}, RECT{INT32_MAX, 0, INT32_MIN, 1}));
}

TEST(ClipBlit, UnstretchedLosesTheSameRowsAndColumnsOnBothSides)
{
    RECT d{-5, -3, 27, 29};
    RECT s{0, 0, 32, 32};
    ASSERT_TRUE(clipBlit(d, s, RECT{0, 0, 20, 100}, kUnboundedRect));
    EXPECT_TRUE(same(d, RECT{0, 0, 20, 29}));
    EXPECT_TRUE(same(s, RECT{5, 3, 25, 32}));

    // A source limit moves the destination with it.
    d = RECT{10, 10, 42, 42};
    s = RECT{-8, 4, 24, 36};
    ASSERT_TRUE(clipBlit(d, s, kUnboundedRect, RECT{0, 0, 16, 32}));
    EXPECT_TRUE(same(d, RECT{18, 10, 34, 38}));
    EXPECT_TRUE(same(s, RECT{0, 4, 16, 32}));
}

TEST(ClipBlit, InsideStaysUntouchedAndOutsideIsEmpty)
{
    RECT d{3, 4, 13, 14};
    RECT s{1, 2, 11, 12};
    ASSERT_TRUE(clipBlit(d, s, RECT{0, 0, 64, 48}, RECT{0, 0, 16, 16}));
    EXPECT_TRUE(same(d, RECT{3, 4, 13, 14}));
    EXPECT_TRUE(same(s, RECT{1, 2, 11, 12}));

    RECT right{64, 0, 80, 16};
    RECT source{0, 0, 16, 16};
    EXPECT_FALSE(clipBlit(right, source, RECT{0, 0, 64, 48}, kUnboundedRect));
    EXPECT_TRUE(same(right, RECT{64, 0, 80, 16})) << "left unchanged";
    RECT inverted{10, 10, 5, 20};
    EXPECT_FALSE(clipBlit(inverted, source, RECT{0, 0, 64, 48}, kUnboundedRect));
    RECT empty{10, 10, 10, 20};
    EXPECT_FALSE(clipBlit(empty, source, RECT{0, 0, 64, 48}, kUnboundedRect));
    RECT d2{0, 0, 16, 16};
    RECT invertedSource{16, 0, 0, 16};
    EXPECT_FALSE(clipBlit(d2, invertedSource, RECT{0, 0, 64, 48}, kUnboundedRect));
}

TEST(ClipBlit, StretchedKeepsTheScale)
{
    // 32 texels onto 64 pixels, the left 16 pixels off the surface: the
    // source loses 8 texels.
    RECT d{-16, 0, 48, 64};
    RECT s{0, 0, 32, 32};
    ASSERT_TRUE(clipBlit(d, s, RECT{0, 0, 40, 40}, kUnboundedRect));
    EXPECT_TRUE(same(d, RECT{0, 0, 40, 40}));
    EXPECT_TRUE(same(s, RECT{8, 0, 28, 20}));

    // A shrink, 30 texels onto 10 pixels, cut at 7 pixels: 21 texels.
    d = RECT{0, 0, 10, 1};
    s = RECT{0, 0, 30, 1};
    ASSERT_TRUE(clipBlit(d, s, RECT{0, 0, 7, 1}, kUnboundedRect));
    EXPECT_TRUE(same(d, RECT{0, 0, 7, 1}));
    EXPECT_TRUE(same(s, RECT{0, 0, 21, 1}));

    // Edges that fall inside a texel widen the source to whole texels.
    d = RECT{0, 0, 3, 1};
    s = RECT{0, 0, 2, 1};
    ASSERT_TRUE(clipBlit(d, s, RECT{1, 0, 2, 1}, kUnboundedRect));
    EXPECT_TRUE(same(d, RECT{1, 0, 2, 1}));
    EXPECT_TRUE(same(s, RECT{0, 0, 2, 1}));
}

TEST(ClipBlit, StretchedSourceLimitKeepsOnlyBackedPixels)
{
    // 8 texels onto 16 pixels, the texture only 6 texels wide: the pixels
    // showing texels 6 and 7 go.
    RECT d{0, 0, 16, 1};
    RECT s{0, 0, 8, 1};
    ASSERT_TRUE(clipBlit(d, s, kUnboundedRect, RECT{0, 0, 6, 1}));
    EXPECT_TRUE(same(d, RECT{0, 0, 12, 1}));
    EXPECT_TRUE(same(s, RECT{0, 0, 6, 1}));

    // Starting 2 texels left of the texture.
    d = RECT{0, 0, 16, 1};
    s = RECT{-2, 0, 6, 1};
    ASSERT_TRUE(clipBlit(d, s, kUnboundedRect, RECT{0, 0, 6, 1}));
    EXPECT_TRUE(same(d, RECT{4, 0, 16, 1}));
    EXPECT_TRUE(same(s, RECT{0, 0, 6, 1}));
}

TEST(ClipBlit, SaturatedCoordinatesClipToTheLimit)
{
    RECT d{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    RECT s{0, 0, 32, 32};
    ASSERT_TRUE(clipBlit(d, s, RECT{0, 0, 64, 48}, RECT{0, 0, 32, 32}));
    EXPECT_TRUE(same(d, RECT{0, 0, 64, 48}));
    EXPECT_GE(s.left, 0);
    EXPECT_LE(s.right, 32);
    EXPECT_LT(s.left, s.right);
    EXPECT_GE(s.top, 0);
    EXPECT_LE(s.bottom, 32);
    EXPECT_LT(s.top, s.bottom);

    // Unstretched, the widest possible rectangles.
    d = RECT{INT32_MIN, 0, INT32_MAX, 1};
    s = RECT{INT32_MIN, 0, INT32_MAX, 1};
    ASSERT_TRUE(clipBlit(d, s, RECT{0, 0, 64, 1}, RECT{0, 0, 16, 1}));
    EXPECT_TRUE(same(d, RECT{0, 0, 16, 1}));
    EXPECT_TRUE(same(s, RECT{0, 0, 16, 1}));

    // A source shrunk onto the destination and reaching past the texture on
    // both sides keeps the pixels backed by texels.
    d = RECT{0, 0, 10, 1};
    s = RECT{-30, 0, 50, 1};
    ASSERT_TRUE(clipBlit(d, s, RECT{0, 0, 64, 48}, RECT{0, 0, 32, 1}));
    EXPECT_TRUE(same(d, RECT{4, 0, 7, 1}));
    EXPECT_TRUE(same(s, RECT{2, 0, 26, 1}));

    // A source of 2^32 texels shrunk onto 10 pixels leaves no pixel wholly
    // backed by the 32 texels of the texture.
    d = RECT{0, 0, 10, 10};
    s = RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_FALSE(clipBlit(d, s, RECT{0, 0, 64, 48}, RECT{0, 0, 32, 32}));
}

} // namespace
