// Clippers: clip lists and windows, Blt cut to the list, BltFast refused on a
// clipped surface, Lock unaffected.
#include <vector>

#include "DDrawFixture.h"

using namespace ddt;

namespace {

// Region data of a list of rectangles, as SetClipList takes it.
std::vector<uint8_t> region(const std::vector<RECT>& rects)
{
    std::vector<uint8_t> bytes(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    RGNDATAHEADER header{sizeof(RGNDATAHEADER), RDH_RECTANGLES, DWORD(rects.size()), DWORD(rects.size() * sizeof(RECT)),
                         RECT{}};
    std::memcpy(bytes.data(), &header, sizeof header);
    if (!rects.empty())
        std::memcpy(bytes.data() + sizeof header, rects.data(), rects.size() * sizeof(RECT));
    return bytes;
}

LPRGNDATA asRegion(std::vector<uint8_t>& bytes)
{
    return reinterpret_cast<LPRGNDATA>(bytes.data());
}

class ClipperTest : public DDrawTest {
protected:
    void SetUp() override
    {
        DDrawTest::SetUp();
        ASSERT_EQ(DD_OK, dd->CreateClipper(0, &clipper, nullptr));
    }
    void TearDown() override
    {
        DDrawTest::TearDown();
        if (clipper != nullptr) {
            EXPECT_EQ(0u, clipper->Release()) << "surfaces gave back their references";
        }
    }

    // `expected` with the pixels outside the rectangles taken from `outside`.
    static Image inside(const Image& expected, const Image& outside, const std::vector<RECT>& rects)
    {
        Image image = outside;
        for (DWORD y = 0; y < image.height; ++y)
            for (DWORD x = 0; x < image.width; ++x)
                for (const RECT& r : rects)
                    if (LONG(x) >= r.left && LONG(x) < r.right && LONG(y) >= r.top && LONG(y) < r.bottom)
                        image.at(x, y) = expected.at(x, y);
        return image;
    }

    IDirectDrawClipper* clipper = nullptr;
};

TEST_F(ClipperTest, BltDrawsOnlyInsideTheClipList)
{
    const std::vector<RECT> rects = {{1, 1, 4, 3}, {5, 0, 20, 2}, {2, 2, 6, 6}}; // overlapping, one past the edge
    std::vector<uint8_t> list = region(rects);
    ASSERT_EQ(DD_OK, clipper->SetClipList(asRegion(list), 0));

    // Each kind of blit, drawn once without and once with the clipper.
    struct Case {
        const char* name;
        const DDPIXELFORMAT* format;
        RECT dest;
        bool stretch;
        bool fill;
    };
    const Case cases[] = {
        {"copy 32", &formatXrgb, {0, 0, 8, 6}, false, false},
        {"stretch 16", &format565, {1, 0, 7, 5}, true, false},
        {"stretch 4", &format4, {0, 1, 8, 6}, true, false},
        {"fill 24", &format24, {0, 0, 8, 6}, false, true},
    };
    for (const Case& c : cases) {
        IDirectDrawSurface* plain = make(8, 6, c.format);
        IDirectDrawSurface* clipped = make(8, 6, c.format);
        IDirectDrawSurface* source = make(8, 6, c.format);
        ASSERT_NE(nullptr, source);
        const uint32_t mask = c.format->dwRGBBitCount == 4 ? 0xF : 0xFFFF;
        write(source, numbered(8, 6, 3, mask));
        const Image background = numbered(8, 6, 7, mask);
        write(plain, background);
        write(clipped, background);
        ASSERT_EQ(DD_OK, clipped->SetClipper(clipper));
        RECT sourceRect{0, 0, c.stretch ? 3 : 8, c.stretch ? 4 : 6};
        RECT dest = c.dest;
        DDBLTFX fx = effects();
        fx.dwFillColor = 0x5;
        for (IDirectDrawSurface* target : {plain, clipped}) {
            ASSERT_EQ(DD_OK, c.fill ? target->Blt(&dest, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx)
                                    : target->Blt(&dest, source, &sourceRect, DDBLT_WAIT, nullptr))
                << c.name;
        }
        EXPECT_EQ(inside(read(plain), background, rects).pixels, read(clipped).pixels) << c.name;

        // BltFast cannot clip; Lock does not.
        EXPECT_EQ(DDERR_BLTFASTCANTCLIP, clipped->BltFast(0, 0, source, nullptr, DDBLTFAST_WAIT)) << c.name;
        write(clipped, background);
        EXPECT_EQ(background.pixels, read(clipped).pixels) << c.name;
        // Detached, it draws everywhere again.
        ASSERT_EQ(DD_OK, clipped->SetClipper(nullptr));
        EXPECT_EQ(DD_OK, clipped->BltFast(0, 0, source, nullptr, DDBLTFAST_WAIT)) << c.name;
    }
}

TEST_F(ClipperTest, ClipListsAndWindowsAsGetClipListAnswers)
{
    DWORD size = 0;
    EXPECT_EQ(DDERR_NOCLIPLIST, clipper->GetClipList(nullptr, nullptr, &size));
    IDirectDrawSurface* surface = make(4, 4);
    ASSERT_EQ(DD_OK, surface->SetClipper(clipper));
    EXPECT_EQ(DDERR_NOCLIPLIST, surface->Blt(nullptr, surface, nullptr, DDBLT_WAIT, nullptr));

    std::vector<uint8_t> list = region({{0, 0, 2, 2}, {3, 1, 9, 4}});
    ASSERT_EQ(DD_OK, clipper->SetClipList(asRegion(list), 0));
    const RECT cut{1, 1, 4, 4};
    ASSERT_EQ(DD_OK, clipper->GetClipList(const_cast<RECT*>(&cut), nullptr, &size));
    EXPECT_EQ(sizeof(RGNDATAHEADER) + 2 * sizeof(RECT), size);
    std::vector<uint8_t> answer(size);
    DWORD small = size - 1;
    EXPECT_EQ(DDERR_REGIONTOOSMALL, clipper->GetClipList(const_cast<RECT*>(&cut), asRegion(answer), &small));
    ASSERT_EQ(DD_OK, clipper->GetClipList(const_cast<RECT*>(&cut), asRegion(answer), &size));
    std::vector<uint8_t> expected = region({{1, 1, 2, 2}, {3, 1, 4, 4}});
    asRegion(expected)->rdh.rcBound = RECT{1, 1, 4, 4};
    EXPECT_EQ(expected, answer) << "the rectangles cut to the one asked about, and their bound";

    std::vector<uint8_t> inverted = region({{2, 0, 1, 1}});
    EXPECT_EQ(DDERR_INVALIDCLIPLIST, clipper->SetClipList(asRegion(inverted), 0));

    // A window's client rectangle is the list.
    HWND window = reinterpret_cast<HWND>(0x1234);
    ASSERT_TRUE(ddrawtest::setClientRect(window, RECT{0, 0, 1, 3}));
    ASSERT_EQ(DD_OK, clipper->SetHWnd(0, window));
    HWND given = nullptr;
    EXPECT_EQ(DD_OK, clipper->GetHWnd(&given));
    EXPECT_EQ(window, given);
    EXPECT_EQ(DDERR_CLIPPERISUSINGHWND, clipper->SetClipList(asRegion(list), 0));
    DDBLTFX fx = effects();
    fx.dwFillColor = 0xFF;
    ASSERT_EQ(DD_OK, surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
    Image drawn = filled(4, 4, 0);
    for (DWORD y = 0; y < 3; ++y)
        drawn.at(0, y) = 0xFF;
    EXPECT_EQ(drawn.pixels, read(surface).pixels);

    // GetClipper hands out a reference.
    IDirectDrawClipper* attached = nullptr;
    ASSERT_EQ(DD_OK, surface->GetClipper(&attached));
    EXPECT_EQ(clipper, attached);
    attached->Release();
    ASSERT_EQ(DD_OK, surface->SetClipper(nullptr));
    EXPECT_EQ(DDERR_NOCLIPPERATTACHED, surface->GetClipper(&attached));
    EXPECT_EQ(nullptr, attached);
    ASSERT_EQ(DD_OK, surface->SetClipper(clipper)); // released with the surface
}

} // namespace
