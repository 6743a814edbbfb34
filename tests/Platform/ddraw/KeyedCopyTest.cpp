// Keyed copies of equal size (BltFast with the source key, Blt with the
// source key or a key override) against a pixel-by-pixel reference: every
// width from 1 to 80 pixels at every alignment, in 16- and 32-bit storage,
// with a third of the source pixels keyed (XRGB ones with other unused bytes,
// which the key does not compare). The copies run in vector registers with a
// last vector that may overlap the one before; these cases reach every
// width of that last step.
#include <random>

#include "DDrawFixture.h"

using namespace ddt;

namespace {

class KeyedCopy : public DDrawTest {};

struct Storage {
    const DDPIXELFORMAT* format;
    uint32_t mask;    // the bits a pixel holds
    uint32_t keyMask; // the bits a key compares
};
const Storage kStorages[] = {{&format565, 0xFFFF, 0xFFFF}, {&formatXrgb, 0xFFFFFFFF, 0xFFFFFF}};

// What the copy of `from` at (sx, sy) onto `to` at (dx, dy) gives: the source
// pixel except where it matches the key.
Image keyedReference(const Image& from, DWORD sx, DWORD sy, Image to, DWORD dx, DWORD dy, DWORD w, DWORD h,
                     uint32_t key, uint32_t keyMask)
{
    for (DWORD y = 0; y < h; ++y)
        for (DWORD x = 0; x < w; ++x) {
            const uint32_t pixel = from.at(sx + x, sy + y);
            if ((pixel & keyMask) != (key & keyMask))
                to.at(dx + x, dy + y) = pixel;
        }
    return to;
}

TEST_F(KeyedCopy, EveryWidthAndAlignmentMatchesTheReference)
{
    std::mt19937 random(77);
    auto pick = [&](uint32_t low, uint32_t high) { return std::uniform_int_distribution<uint32_t>(low, high)(random); };
    constexpr DWORD kSide = 96;
    for (const Storage& storage : kStorages) {
        IDirectDrawSurface* source = make(kSide, 8, storage.format);
        IDirectDrawSurface* dest = make(kSide, 8, storage.format);
        ASSERT_NE(nullptr, dest);
        const uint32_t key = 0x0841;
        Image picture = filled(kSide, 8, 0);
        for (uint32_t& p : picture.pixels)
            p = (pick(0, 2) == 0 ? key | (pick(0, 255) << 24) : uint32_t(random())) & storage.mask;
        write(source, picture);
        DDCOLORKEY sourceKey = ddt::key(key, key);
        ASSERT_EQ(DD_OK, source->SetColorKey(DDCKEY_SRCBLT, &sourceKey));
        for (DWORD width = 1; width <= 80; ++width) {
            for (int way = 0; way < 3; ++way) {
                Image before = filled(kSide, 8, 0);
                for (uint32_t& p : before.pixels)
                    p = uint32_t(random()) & storage.mask;
                write(dest, before);
                const DWORD h = pick(1, 8);
                const DWORD sx = pick(0, kSide - width), sy = pick(0, 8 - h);
                const DWORD dx = pick(0, kSide - width), dy = pick(0, 8 - h);
                RECT from{LONG(sx), LONG(sy), LONG(sx + width), LONG(sy + h)};
                RECT to{LONG(dx), LONG(dy), LONG(dx + width), LONG(dy + h)};
                if (way == 0) {
                    ASSERT_EQ(DD_OK, dest->BltFast(dx, dy, source, &from, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT));
                } else if (way == 1) {
                    ASSERT_EQ(DD_OK, dest->Blt(&to, source, &from, DDBLT_KEYSRC | DDBLT_WAIT, nullptr));
                } else {
                    DDBLTFX fx = effects();
                    fx.ddckSrcColorkey = ddt::key(key, key);
                    ASSERT_EQ(DD_OK, dest->Blt(&to, source, &from, DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT, &fx));
                }
                ASSERT_EQ(keyedReference(picture, sx, sy, before, dx, dy, width, h, key, storage.keyMask).pixels,
                          read(dest).pixels)
                    << "mask " << storage.mask << " width " << width << " way " << way;
            }
        }
    }
}

} // namespace
