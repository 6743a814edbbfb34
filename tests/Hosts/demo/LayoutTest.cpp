// Layout: the quads that tiles, nine-slice frames and texts become, and the
// estimate of software-blended pixels.
#include <gtest/gtest.h>

#include "Layout.h"

using namespace zivdemo;

namespace {

Scene sceneWithFont()
{
    return parseScene(R"({"name": "t",
      "textures": {"a": {"file": "a.png"}, "glyphs": {"pixels": "g.png"}},
      "fonts": {"sans": {"texture": "glyphs", "metrics": "m.json", "face": "sans"}},
      "groups": {"one": [{"texture": "a", "dest": [1, 2, 3, 4]}],
                 "two": [{"texture": "a", "dest": [5, 6, 7, 8], "z": 0.25}]},
      "frames": [{"name": "f", "groups": ["two", "one"]}]})",
                      "t.json", "");
}

LayoutContext context(float w = 640, float h = 480)
{
    LayoutContext c;
    c.displayWidth = w;
    c.displayHeight = h;
    c.textureSize = [](const std::string& name) { return name == "a" ? TextureSize{64, 32} : TextureSize{256, 128}; };
    FontMetrics metrics;
    metrics.ascender = 10;
    metrics.lineHeight = 14;
    metrics.glyphs['A'] = Glyph{1, 2, 6, 8, 1, 8, 7};
    metrics.glyphs['B'] = Glyph{9, 2, 5, 8, 0, 8, 6};
    metrics.glyphs[' '] = Glyph{0, 0, 0, 0, 0, 0, 3};
    metrics.glyphs['?'] = Glyph{20, 2, 4, 8, 0, 8, 5};
    c.fonts["sans"] = metrics;
    c.variables["name"] = "AB";
    return c;
}

Item item(ItemKind kind)
{
    Item i;
    i.kind = kind;
    i.texture = "a";
    i.z = 0.75f;
    i.colours = Corners{0x80FF0000u, 0x80FF0000u, 0x80FF0000u, 0x80FF0000u};
    i.aux = 3;
    return i;
}

void expectRect(const Rect& r, float left, float top, float right, float bottom)
{
    EXPECT_FLOAT_EQ(r.left, left);
    EXPECT_FLOAT_EQ(r.top, top);
    EXPECT_FLOAT_EQ(r.right, right);
    EXPECT_FLOAT_EQ(r.bottom, bottom);
}

Quad quad(Rect dest, uint32_t colour)
{
    Quad q;
    q.dest = dest;
    q.colours = Corners{colour, colour, colour, colour};
    return q;
}

} // namespace

TEST(LayoutImage, NativeSizeComesFromTheSourceOrTheWholeTexture)
{
    const Scene s = sceneWithFont();
    Item i = item(ItemKind::Image);
    i.nativeSize = true;
    i.dest = Box{10, 20, 0, 0};
    std::vector<Quad> quads = layoutItem(i, s, context());
    ASSERT_EQ(quads.size(), 1u);
    expectRect(quads[0].dest, 10, 20, 74, 52);
    expectRect(quads[0].source, 0, 0, 64, 32);
    EXPECT_FLOAT_EQ(quads[0].z, 0.75f);
    EXPECT_EQ(quads[0].colours.topRight, 0x80FF0000u);
    EXPECT_EQ(quads[0].aux, 3u);

    i.source = Box{4, 8, 16, 12};
    quads = layoutItem(i, s, context());
    expectRect(quads[0].dest, 10, 20, 26, 32);
    expectRect(quads[0].source, 4, 8, 20, 20);
}

TEST(LayoutTile, CoversTheDisplayWithCroppedLastTiles)
{
    const Scene s = sceneWithFont();
    Item i = item(ItemKind::Tile);
    i.coversDisplay = true;
    const std::vector<Quad> quads = layoutItem(i, s, context(150, 40));
    // 64 x 32 tiles: 3 columns (64, 64, 22) by 2 rows (32, 8).
    ASSERT_EQ(quads.size(), 6u);
    expectRect(quads[0].dest, 0, 0, 64, 32);
    expectRect(quads[2].dest, 128, 0, 150, 32);
    expectRect(quads[2].source, 0, 0, 22, 32);
    expectRect(quads[5].dest, 128, 32, 150, 40);
    expectRect(quads[5].source, 0, 0, 22, 8);
}

TEST(LayoutTile, RejectsTilingThatWouldFloodTheQueue)
{
    const Scene s = sceneWithFont();
    Item i = item(ItemKind::Tile);
    i.where = "groups.g[0]";
    i.dest = Box{0, 0, 4000, 4000};
    i.source = Box{0, 0, 1, 1};
    try {
        layoutItem(i, s, context());
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "groups.g[0]: the tiling would make more than 100000 quads");
    }
}

TEST(LayoutNine, CornersKeepTheirSizeAndEdgesStretch)
{
    const Scene s = sceneWithFont();
    Item i = item(ItemKind::Nine);
    i.dest = Box{100, 50, 200, 80};
    i.border[0] = 8;
    i.border[1] = 4;
    i.border[2] = 6;
    i.border[3] = 2;
    const std::vector<Quad> quads = layoutItem(i, s, context());
    ASSERT_EQ(quads.size(), 9u);
    expectRect(quads[0].dest, 100, 50, 108, 54); // top-left corner, unscaled
    expectRect(quads[0].source, 0, 0, 8, 4);
    expectRect(quads[4].dest, 108, 54, 294, 128); // centre, stretched
    expectRect(quads[4].source, 8, 4, 58, 30);
    expectRect(quads[8].dest, 294, 128, 300, 130); // bottom-right corner
    expectRect(quads[8].source, 58, 30, 64, 32);
}

TEST(LayoutNine, ZeroBordersLeaveOutEmptySlices)
{
    const Scene s = sceneWithFont();
    Item i = item(ItemKind::Nine);
    i.dest = Box{0, 0, 100, 40};
    i.border[0] = 6;
    i.border[2] = 6;
    const std::vector<Quad> quads = layoutItem(i, s, context());
    ASSERT_EQ(quads.size(), 3u);
    expectRect(quads[1].dest, 6, 0, 94, 40);
    expectRect(quads[1].source, 6, 0, 58, 32);
}

TEST(LayoutNine, BorderWiderThanTheDestinationIsAnError)
{
    const Scene s = sceneWithFont();
    Item i = item(ItemKind::Nine);
    i.where = "groups.g[1]";
    i.dest = Box{0, 0, 10, 40};
    i.border[0] = 6;
    i.border[2] = 6;
    EXPECT_THROW(layoutItem(i, s, context()), std::runtime_error);
}

TEST(LayoutText, PlacesGlyphsOnTheBaselineAndSkipsBlanks)
{
    const Scene s = sceneWithFont();
    Item i = item(ItemKind::Text);
    i.texture.clear();
    i.font = "sans";
    i.text = "A B";
    i.atX = 100;
    i.atY = 20;
    const std::vector<Quad> quads = layoutItem(i, s, context());
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(quads[0].texture, "glyphs");
    // Baseline 20 + ascender 10; 'A' sits 1 right of the pen, its top 8 above.
    expectRect(quads[0].dest, 101, 22, 107, 30);
    expectRect(quads[0].source, 1, 2, 7, 10);
    // Pen after 'A' (7) and ' ' (3).
    expectRect(quads[1].dest, 110, 22, 115, 30);
    EXPECT_EQ(quads[1].colours.topLeft, 0x80FF0000u);
}

TEST(LayoutText, AlignsEachLineAndSubstitutesVariables)
{
    const Scene s = sceneWithFont();
    Item i = item(ItemKind::Text);
    i.font = "sans";
    i.text = "{name}\nA";
    i.atX = 100;
    i.atY = 0;
    i.align = Align::Centre;
    std::vector<Quad> quads = layoutItem(i, s, context());
    ASSERT_EQ(quads.size(), 3u);
    // "AB" is 13 wide: the pen starts at floor(100 - 6.5) = 93.
    EXPECT_FLOAT_EQ(quads[0].dest.left, 94);
    // Second line: "A" is 7 wide, pen at floor(96.5) = 96, one line lower.
    EXPECT_FLOAT_EQ(quads[2].dest.left, 97);
    EXPECT_FLOAT_EQ(quads[2].dest.top, 16);

    i.align = Align::Right;
    i.text = "AB";
    quads = layoutItem(i, s, context());
    EXPECT_FLOAT_EQ(quads[1].dest.right, 100 - 6 + 5);
}

TEST(LayoutText, UnknownCharactersUseTheQuestionMark)
{
    const Scene s = sceneWithFont();
    Item i = item(ItemKind::Text);
    i.font = "sans";
    i.text = "\xC3\xA9"; // two bytes outside the atlas
    const std::vector<Quad> quads = layoutItem(i, s, context());
    ASSERT_EQ(quads.size(), 2u);
    expectRect(quads[0].source, 20, 2, 24, 10);
}

TEST(LayoutFrame, GroupsInTheFramesOrder)
{
    const Scene s = sceneWithFont();
    const std::vector<Quad> quads = layoutFrame(s, s.frames[0], context());
    ASSERT_EQ(quads.size(), 2u);
    expectRect(quads[0].dest, 5, 6, 12, 14);
    EXPECT_FLOAT_EQ(quads[0].z, 0.25f);
    expectRect(quads[1].dest, 1, 2, 4, 6);
}

TEST(LayoutSubstitute, ReplacesKnownNamesOnly)
{
    const std::map<std::string, std::string> vars{{"a", "1"}, {"bb", "22"}};
    EXPECT_EQ(substitute("x{a}y{bb}z", vars), "x1y22z");
    EXPECT_EQ(substitute("{c} {a}", vars), "{c} 1");
    EXPECT_EQ(substitute("{a", vars), "{a");
    EXPECT_EQ(substitute("{{a}}", vars), "{1}");
    EXPECT_EQ(substitute("", vars), "");
}

TEST(BlendEstimate, CountsTranslucentAndTintedQuadsInModesOneAndTwo)
{
    const std::vector<Quad> quads = {
        quad(Rect{0, 0, 10, 10}, 0xFFFFFFFFu),       // opaque white: copied
        quad(Rect{0, 0, 10, 10}, 0x80FFFFFFu),       // translucent: 100
        quad(Rect{0, 0, 4.9f, 2.9f}, 0xFF808080u),   // tinted, truncated to 4 x 2: 8
        quad(Rect{-5, -5, 5, 5}, 0xFF0000FFu),       // clipped to 5 x 5: 25
        quad(Rect{630, 470, 700, 500}, 0xFF0000FFu), // clipped to 10 x 10: 100
        quad(Rect{0, 0, 10, 10}, 0x00FF0000u),       // invisible: nothing
        quad(Rect{700, 0, 710, 10}, 0xFF0000FFu),    // off the display: nothing
    };
    EXPECT_EQ(estimateBlendedPixels(quads, 0, 640, 480), 0u);
    EXPECT_EQ(estimateBlendedPixels(quads, 1, 640, 480), 233u);
    EXPECT_EQ(estimateBlendedPixels(quads, 2, 640, 480), 233u);
}

TEST(BlendEstimate, AveragesCornersByTruncation)
{
    // Alphas 255, 255, 255, 254 average to 254: translucent.
    Quad q = quad(Rect{0, 0, 2, 2}, 0xFFFFFFFFu);
    q.colours.bottomRight = 0xFEFFFFFFu;
    EXPECT_EQ(estimateBlendedPixels({q}, 2, 640, 480), 4u);
    // Alphas 1, 0, 0, 0 average to 0: nothing is drawn.
    q.colours = Corners{0x01FF0000u, 0x00FF0000u, 0x00FF0000u, 0x00FF0000u};
    EXPECT_EQ(estimateBlendedPixels({q}, 2, 640, 480), 0u);
}
