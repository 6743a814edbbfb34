// IntersectRect, IsRectEmpty and SetPixel.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

// RECT lives in the global namespace, so its operators do too.
static bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::ostream& operator<<(std::ostream& out, const RECT& r)
{
    return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

const RECT kGarbage{-7, -7, -7, -7};
const RECT kZero{0, 0, 0, 0};

} // namespace

TEST(IntersectRect, OverlapContainmentAndNegativeCoordinates)
{
    struct Case {
        RECT a, b, expected;
    };
    const Case cases[] = {
        {{0, 0, 10, 10}, {5, 5, 15, 15}, {5, 5, 10, 10}},
        {{5, 5, 15, 15}, {0, 0, 10, 10}, {5, 5, 10, 10}},
        {{0, 0, 100, 100}, {20, 30, 40, 50}, {20, 30, 40, 50}},
        {{-20, -10, 5, 5}, {-5, -30, 30, 0}, {-5, -10, 5, 0}},
        {{0, 0, 1, 1}, {0, 0, 1, 1}, {0, 0, 1, 1}},
    };
    for (const Case& c : cases) {
        RECT out = kGarbage;
        EXPECT_TRUE(IntersectRect(&out, &c.a, &c.b)) << c.a << " " << c.b;
        EXPECT_EQ(out, c.expected) << c.a << " " << c.b;
    }
}

TEST(IntersectRect, EmptyResultsAreZeroed)
{
    const RECT pairs[][2] = {
        {{0, 0, 10, 10}, {10, 0, 20, 10}},  // touching on the right edge
        {{0, 0, 10, 10}, {0, 10, 10, 20}},  // touching on the bottom edge
        {{0, 0, 10, 10}, {20, 20, 30, 30}}, // apart
        {{0, 0, 10, 10}, {2, 2, 2, 8}},     // zero width inside
        {{10, 10, 0, 0}, {0, 0, 10, 10}},   // inverted
        {{0, 0, 10, 10}, {8, 8, 3, 3}},     // inverted inside
    };
    for (const auto& pair : pairs) {
        RECT out = kGarbage;
        EXPECT_FALSE(IntersectRect(&out, &pair[0], &pair[1])) << pair[0] << " " << pair[1];
        EXPECT_EQ(out, kZero) << pair[0] << " " << pair[1];
    }
    RECT out = kGarbage;
    const RECT some{0, 0, 4, 4};
    EXPECT_FALSE(IntersectRect(&out, nullptr, &some));
    EXPECT_EQ(out, kZero);
    EXPECT_FALSE(IntersectRect(nullptr, &some, &some));
}

TEST(IntersectRect, DestinationMayBeASource)
{
    RECT a{0, 0, 10, 10};
    const RECT b{4, -3, 12, 6};
    EXPECT_TRUE(IntersectRect(&a, &a, &b));
    EXPECT_EQ(a, (RECT{4, 0, 10, 6}));
    RECT c{0, 0, 10, 10};
    const RECT d{3, 2, 7, 12};
    EXPECT_TRUE(IntersectRect(&c, &d, &c));
    EXPECT_EQ(c, (RECT{3, 2, 7, 10}));
}

TEST(IsRectEmpty, WidthOrHeightNotPositive)
{
    const RECT full{0, 0, 1, 1};
    EXPECT_FALSE(IsRectEmpty(&full));
    const RECT negativeButProper{-5, -5, -4, -4};
    EXPECT_FALSE(IsRectEmpty(&negativeButProper));
    for (const RECT& r : {RECT{0, 0, 0, 5}, RECT{0, 0, 5, 0}, RECT{5, 0, 0, 5}, RECT{0, 5, 5, 0}, kZero})
        EXPECT_TRUE(IsRectEmpty(&r)) << r;
    EXPECT_TRUE(IsRectEmpty(nullptr));
}

namespace {

struct RecordingDC : HDC__ {
    struct Call {
        int x, y;
        COLORREF colour;
    };
    std::vector<Call> calls;
    COLORREF answer = RGB(1, 2, 3);

    COLORREF setPixel(int x, int y, COLORREF colour) override
    {
        calls.push_back({x, y, colour});
        return answer;
    }
};

} // namespace

TEST(SetPixel, ForwardsToTheDeviceContext)
{
    RecordingDC dc;
    EXPECT_EQ(RGB(1, 2, 3), SetPixel(&dc, 3, -4, RGB(0x10, 0x20, 0x30)));
    ASSERT_EQ(dc.calls.size(), 1u);
    EXPECT_EQ(dc.calls[0].x, 3);
    EXPECT_EQ(dc.calls[0].y, -4);
    EXPECT_EQ(dc.calls[0].colour, 0x00302010u) << "COLORREF is 0x00BBGGRR";
    dc.answer = CLR_INVALID;
    EXPECT_EQ(CLR_INVALID, SetPixel(&dc, 9999, 0, 0));
    EXPECT_EQ(CLR_INVALID, SetPixel(nullptr, 0, 0, 0));
}
