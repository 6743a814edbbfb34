// The palettes of palette-indexed surfaces. A surface of 8 bits starts with
// a 6x6x6 colour cube followed by a grey ramp, one of 4 bits with the 16 VGA
// colours.
#pragma once

#include <cstdint>

#include <windows.h>

namespace zivdd {

struct Palette {
    PALETTEENTRY entries[256] = {};
    unsigned count = 0;

    // The entry closest to the colour (squared distance over red, green and
    // blue; the lowest index wins a tie).
    unsigned nearest(uint8_t red, uint8_t green, uint8_t blue) const;
};

// The default palette of 4 or 8 bits per pixel.
const Palette& defaultPalette(unsigned bits);

} // namespace zivdd
