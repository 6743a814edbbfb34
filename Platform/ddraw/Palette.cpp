#include "Palette.h"

namespace zivdd {

namespace {

PALETTEENTRY entry(unsigned red, unsigned green, unsigned blue)
{
    return PALETTEENTRY{static_cast<BYTE>(red), static_cast<BYTE>(green), static_cast<BYTE>(blue), 0};
}

Palette makeCubePalette()
{
    Palette palette;
    palette.count = 256;
    // Index red * 36 + green * 6 + blue, six levels 0, 51, ..., 255 each:
    // 0 is black and 215 white.
    for (unsigned i = 0; i < 216; ++i)
        palette.entries[i] = entry(i / 36 * 51, i / 6 % 6 * 51, i % 6 * 51);
    // Forty greys between the cube's levels.
    for (unsigned i = 0; i < 40; ++i) {
        const unsigned level = (i + 1) * 255 / 41;
        palette.entries[216 + i] = entry(level, level, level);
    }
    return palette;
}

Palette makeVgaPalette()
{
    static const unsigned vga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                        {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                        {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                        {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    Palette palette;
    palette.count = 16;
    for (unsigned i = 0; i < 16; ++i)
        palette.entries[i] = entry(vga[i][0], vga[i][1], vga[i][2]);
    return palette;
}

} // namespace

unsigned Palette::nearest(uint8_t red, uint8_t green, uint8_t blue) const
{
    unsigned best = 0;
    int bestDistance = -1;
    for (unsigned i = 0; i < count; ++i) {
        const int dr = int(entries[i].peRed) - red;
        const int dg = int(entries[i].peGreen) - green;
        const int db = int(entries[i].peBlue) - blue;
        const int distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
            if (distance == 0)
                break;
        }
    }
    return best;
}

const Palette& defaultPalette(unsigned bits)
{
    static const Palette cube = makeCubePalette();
    static const Palette vga = makeVgaPalette();
    return bits == 4 ? vga : cube;
}

} // namespace zivdd
