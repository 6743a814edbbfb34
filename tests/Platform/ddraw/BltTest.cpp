// Colour fills, copies and stretches through Blt and BltFast, rectangle
// validation and the checks on flags and formats.
#include <random>

#include "DDrawFixture.h"

using namespace ddt;

namespace {

class Blit : public DDrawTest {};

// Every storage size with the mask of its pixel values and the bits a colour
// key compares.
struct Storage {
    const DDPIXELFORMAT* format;
    uint32_t mask;
    uint32_t keyMask;
};
const Storage storages[] = {{&format4, 0xF, 0xF},
                            {&format8, 0xFF, 0xFF},
                            {&format565, 0xFFFF, 0xFFFF},
                            {&format24, 0xFFFFFF, 0xFFFFFF},
                            {&formatXrgb, 0xFFFFFFFF, 0xFFFFFF}};

// Source index of destination index d when sourceLength pixels are spread
// over destLength.
uint32_t sampled(uint32_t d, uint32_t sourceLength, uint32_t destLength)
{
    const uint64_t step = (uint64_t(sourceLength) << 16) / destLength;
    return uint32_t((d * step) >> 16);
}

// What a copy of `from` at `source` onto `to` at `dest` gives, pixel by
// pixel, with an optional single-colour key compared on `keyMask`.
Image reference(const Image& from, RECT source, Image to, RECT dest, const uint32_t* key = nullptr,
                uint32_t keyMask = 0xFFFFFFFF)
{
    const uint32_t sw = source.right - source.left, sh = source.bottom - source.top;
    const uint32_t dw = dest.right - dest.left, dh = dest.bottom - dest.top;
    for (uint32_t y = 0; y < dh; ++y)
        for (uint32_t x = 0; x < dw; ++x) {
            const uint32_t pixel = from.at(source.left + sampled(x, sw, dw), source.top + sampled(y, sh, dh));
            if (key == nullptr || (pixel & keyMask) != (*key & keyMask))
                to.at(dest.left + x, dest.top + y) = pixel;
        }
    return to;
}

std::vector<uint32_t> row(const Image& image, DWORD y)
{
    return std::vector<uint32_t>(image.pixels.begin() + y * image.width, image.pixels.begin() + (y + 1) * image.width);
}

TEST_F(Blit, ColourFillCoversTheSurfaceOrTheRectangleOnly)
{
    const uint32_t value = 0xA5C3E1F7;
    for (const Storage& storage : storages) {
        IDirectDrawSurface* surface = make(7, 5, storage.format);
        ASSERT_NE(nullptr, surface);
        DDBLTFX fx = effects();
        fx.dwFillColor = value;
        ASSERT_EQ(DD_OK, surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
        EXPECT_EQ(filled(7, 5, value & storage.mask).pixels, read(surface).pixels) << storage.mask;

        // An odd left edge splits 4-bit bytes.
        Image expected = read(surface);
        RECT rect{1, 2, 6, 4};
        fx.dwFillColor = 0x3;
        ASSERT_EQ(DD_OK, surface->Blt(&rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
        for (LONG y = rect.top; y < rect.bottom; ++y)
            for (LONG x = rect.left; x < rect.right; ++x)
                expected.at(x, y) = 0x3;
        EXPECT_EQ(expected.pixels, read(surface).pixels) << storage.mask;
    }
}

TEST_F(Blit, ColourFillChecksItsEffectsRecordAndRectangle)
{
    IDirectDrawSurface* surface = make(4, 4);
    ASSERT_NE(nullptr, surface);
    EXPECT_EQ(DDERR_INVALIDPARAMS, surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr));
    DDBLTFX fx = effects();
    fx.dwFillColor = 0xFFFFFF;
    fx.dwSize = 100; // the 32-bit size is not this build's size
    static_assert(sizeof(DDBLTFX) != 100);
    EXPECT_EQ(DDERR_INVALIDPARAMS, surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    fx.dwSize = sizeof(DDBLTFX);
    RECT outside{2, 2, 5, 4};
    EXPECT_EQ(DDERR_INVALIDRECT, surface->Blt(&outside, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    EXPECT_EQ(filled(4, 4, 0).pixels, read(surface).pixels);
}

TEST_F(Blit, PlainCopiesThroughBltAndBltFast)
{
    for (const Storage& storage : storages) {
        IDirectDrawSurface* source = make(6, 5, storage.format);
        IDirectDrawSurface* dest = make(9, 8, storage.format);
        ASSERT_NE(nullptr, dest);
        const Image picture = numbered(6, 5, 7, storage.mask);
        write(source, picture);
        const Image blank = filled(9, 8, 0);
        DDBLTFX clear = effects();

        // Whole surface onto a rectangle of the same size, odd offsets.
        RECT whole{0, 0, 6, 5};
        RECT placed{3, 1, 9, 6};
        ASSERT_EQ(DD_OK, dest->Blt(&placed, source, nullptr, DDBLT_WAIT, nullptr));
        EXPECT_EQ(reference(picture, whole, blank, placed).pixels, read(dest).pixels) << storage.mask;

        // A part of the source by BltFast.
        ASSERT_EQ(DD_OK, dest->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &clear));
        RECT part{1, 2, 6, 5};
        ASSERT_EQ(DD_OK, dest->BltFast(4, 5, source, &part, DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT));
        EXPECT_EQ(reference(picture, part, blank, RECT{4, 5, 9, 8}).pixels, read(dest).pixels) << storage.mask;

        // Null rectangles on both sides: the whole of each, same size here.
        IDirectDrawSurface* same = make(6, 5, storage.format);
        ASSERT_EQ(DD_OK, same->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr));
        EXPECT_EQ(picture.pixels, read(same).pixels);
        ASSERT_EQ(DD_OK, same->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &clear));
        ASSERT_EQ(DD_OK, same->BltFast(0, 0, source, nullptr, DDBLTFAST_WAIT));
        EXPECT_EQ(picture.pixels, read(same).pixels);
    }
}

TEST_F(Blit, StretchSamplesByTheFixedPointRule)
{
    IDirectDrawSurface* four = make(4, 4, &formatXrgb);
    IDirectDrawSurface* seven = make(7, 7, &formatXrgb);
    ASSERT_NE(nullptr, seven);
    write(four, numbered(4, 4, 0));
    write(seven, numbered(7, 7, 0));

    // 4 to 7 takes 0 0 1 1 2 2 3 on each axis.
    IDirectDrawSurface* wide = make(7, 4, &formatXrgb);
    ASSERT_EQ(DD_OK, wide->Blt(nullptr, four, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ((std::vector<uint32_t>{0, 0, 1, 1, 2, 2, 3}), row(read(wide), 0));
    EXPECT_EQ((std::vector<uint32_t>{48, 48, 49, 49, 50, 50, 51}), row(read(wide), 3));
    IDirectDrawSurface* tall = make(1, 7, &formatXrgb);
    RECT column{2, 0, 3, 4};
    ASSERT_EQ(DD_OK, tall->Blt(nullptr, four, &column, DDBLT_WAIT, nullptr));
    EXPECT_EQ((std::vector<uint32_t>{2, 2, 18, 18, 34, 34, 50}), read(tall).pixels);

    // 7 to 4 takes 0 1 3 5.
    IDirectDrawSurface* narrow = make(4, 7, &formatXrgb);
    ASSERT_EQ(DD_OK, narrow->Blt(nullptr, seven, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 3, 5}), row(read(narrow), 0));
    IDirectDrawSurface* shortColumn = make(1, 4, &formatXrgb);
    RECT sourceColumn{6, 0, 7, 7};
    ASSERT_EQ(DD_OK, shortColumn->Blt(nullptr, seven, &sourceColumn, DDBLT_WAIT, nullptr));
    EXPECT_EQ((std::vector<uint32_t>{6, 22, 54, 86}), read(shortColumn).pixels);

    // Both axes at once.
    ASSERT_EQ(DD_OK, seven->Blt(nullptr, four, nullptr, DDBLT_WAIT, nullptr));
    const Image both = read(seven);
    const uint32_t map[7] = {0, 0, 1, 1, 2, 2, 3};
    for (DWORD y = 0; y < 7; ++y)
        for (DWORD x = 0; x < 7; ++x)
            EXPECT_EQ(map[x] + 16 * map[y], both.at(x, y)) << x << "," << y;
}

// Random rectangles, plain and keyed; a third of the source pixels carry the
// key value, some of them (XRGB) with a different unused byte.
TEST_F(Blit, StretchesMatchTheReferenceInEveryStorage)
{
    std::mt19937 random(20240611);
    auto pick = [&](uint32_t low, uint32_t high) { return std::uniform_int_distribution<uint32_t>(low, high)(random); };
    for (const Storage& storage : storages) {
        IDirectDrawSurface* source = make(23, 19, storage.format);
        IDirectDrawSurface* dest = make(31, 29, storage.format);
        ASSERT_NE(nullptr, dest);
        const uint32_t keyValue = 0x5;
        Image picture{23, 19, {}};
        for (int i = 0; i < 23 * 19; ++i)
            picture.pixels.push_back(uint32_t(pick(0, 2) == 0 ? keyValue | (random() << 24) : random()) & storage.mask);
        write(source, picture);
        DDCOLORKEY sourceKey = key(keyValue, keyValue);
        ASSERT_EQ(DD_OK, source->SetColorKey(DDCKEY_SRCBLT, &sourceKey));
        for (int round = 0; round < 60; ++round) {
            const uint32_t sl = pick(0, 22), st = pick(0, 18);
            const RECT from{LONG(sl), LONG(st), LONG(pick(sl + 1, 23)), LONG(pick(st + 1, 19))};
            const uint32_t dl = pick(0, 30), dt = pick(0, 28);
            const RECT to{LONG(dl), LONG(dt), LONG(pick(dl + 1, 31)), LONG(pick(dt + 1, 29))};
            const bool keyed = round % 2 == 1;
            const Image before = read(dest);
            RECT sourceRect = from, destRect = to;
            ASSERT_EQ(DD_OK, dest->Blt(&destRect, source, &sourceRect, keyed ? DDBLT_KEYSRC : DDBLT_WAIT, nullptr));
            ASSERT_EQ(reference(picture, from, before, to, keyed ? &keyValue : nullptr, storage.keyMask).pixels,
                      read(dest).pixels)
                << "mask " << storage.mask << " round " << round;
        }
    }
}

TEST_F(Blit, OverlappingRectanglesOfOneSurfaceCopyThroughATemporary)
{
    for (const Storage& storage : storages) {
        IDirectDrawSurface* surface = make(12, 10, storage.format);
        ASSERT_NE(nullptr, surface);
        const Image picture = numbered(12, 10, 1, storage.mask);
        const struct {
            RECT from, to;
        } moves[] = {
            {{0, 0, 8, 6}, {1, 1, 9, 7}},    // right and down
            {{3, 3, 12, 10}, {0, 1, 9, 8}},  // left and up
            {{1, 0, 9, 10}, {2, 0, 10, 10}}, // one column right: rows overlap in place
            {{0, 0, 5, 5}, {2, 2, 12, 10}},  // stretched onto itself
            {{2, 2, 12, 10}, {0, 0, 5, 4}},  // shrunk onto itself
        };
        for (const auto& move : moves) {
            write(surface, picture);
            RECT from = move.from, to = move.to;
            ASSERT_EQ(DD_OK, surface->Blt(&to, surface, &from, DDBLT_WAIT, nullptr));
            EXPECT_EQ(reference(picture, move.from, picture, move.to).pixels, read(surface).pixels)
                << storage.mask << " " << move.to.left << "," << move.to.top;
        }
        write(surface, picture);
        RECT from{0, 0, 10, 9};
        ASSERT_EQ(DD_OK, surface->BltFast(2, 1, surface, &from, DDBLTFAST_WAIT));
        EXPECT_EQ(reference(picture, from, picture, RECT{2, 1, 12, 10}).pixels, read(surface).pixels);
    }
}

TEST_F(Blit, BadRectanglesDrawNothing)
{
    IDirectDrawSurface* source = make(8, 6);
    IDirectDrawSurface* dest = make(10, 10);
    ASSERT_NE(nullptr, dest);
    write(source, numbered(8, 6));
    const std::vector<uint32_t> blank = read(dest).pixels;

    const RECT badDest[] = {{0, 0, 11, 10}, {0, 0, 10, 11}, {-1, 0, 5, 5}, {0, -2, 5, 5},
                            {4, 4, 4, 8},   {4, 4, 8, 4},   {6, 2, 3, 8},  {2, 8, 6, 3}};
    for (RECT rect : badDest) {
        EXPECT_EQ(DDERR_INVALIDRECT, dest->Blt(&rect, source, nullptr, DDBLT_WAIT, nullptr));
        DDBLTFX fx = effects();
        fx.dwFillColor = 0xFFFFFF;
        EXPECT_EQ(DDERR_INVALIDRECT, dest->Blt(&rect, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    }
    const RECT badSource[] = {{0, 0, 9, 6}, {0, 0, 8, 7}, {-1, 0, 4, 4}, {3, 3, 3, 4}, {5, 1, 2, 4}};
    for (RECT rect : badSource) {
        EXPECT_EQ(DDERR_INVALIDRECT, dest->Blt(nullptr, source, &rect, DDBLT_WAIT, nullptr));
        EXPECT_EQ(DDERR_INVALIDRECT, dest->BltFast(0, 0, source, &rect, DDBLTFAST_WAIT));
    }
    // BltFast places the whole source rectangle or nothing.
    EXPECT_EQ(DDERR_INVALIDRECT, dest->BltFast(3, 0, source, nullptr, DDBLTFAST_WAIT));
    EXPECT_EQ(DDERR_INVALIDRECT, dest->BltFast(0, 5, source, nullptr, DDBLTFAST_WAIT));
    EXPECT_EQ(DDERR_INVALIDRECT, dest->BltFast(0xFFFFFFFFu, 0, source, nullptr, DDBLTFAST_WAIT));
    EXPECT_EQ(blank, read(dest).pixels);
    EXPECT_EQ(DD_OK, dest->BltFast(2, 4, source, nullptr, DDBLTFAST_WAIT));
}

TEST_F(Blit, FlagsSourcesAndFormatsAreChecked)
{
    IDirectDrawSurface* xrgb = make(4, 4, &formatXrgb);
    IDirectDrawSurface* argb = make(4, 4, &formatArgb);
    IDirectDrawSurface* rgb565 = make(4, 4, &format565);
    IDirectDrawSurface* rgb555 = make(4, 4, &format555);
    ASSERT_NE(nullptr, rgb555);

    EXPECT_EQ(DDERR_INVALIDPARAMS, xrgb->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(DDERR_INVALIDPARAMS, xrgb->BltFast(0, 0, nullptr, nullptr, DDBLTFAST_WAIT));
    EXPECT_EQ(DDERR_UNSUPPORTED, xrgb->Blt(nullptr, argb, nullptr, DDBLT_ROP, nullptr));
    EXPECT_EQ(DDERR_UNSUPPORTED, xrgb->Blt(nullptr, argb, nullptr, DDBLT_KEYDEST, nullptr));
    EXPECT_EQ(DDERR_UNSUPPORTED, xrgb->BltFast(0, 0, argb, nullptr, DDBLTFAST_DESTCOLORKEY));
    EXPECT_EQ(DDERR_INVALIDPARAMS, xrgb->BltFast(0, 0, argb, nullptr, 0x100));

    // No conversion between pixel layouts; an alpha channel over the unused
    // byte is the same layout.
    EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, xrgb->Blt(nullptr, rgb565, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, rgb565->BltFast(0, 0, rgb555, nullptr, DDBLTFAST_WAIT));
    write(argb, filled(4, 4, 0x80123456));
    EXPECT_EQ(DD_OK, xrgb->Blt(nullptr, argb, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(filled(4, 4, 0x80123456).pixels, read(xrgb).pixels);
}

} // namespace
