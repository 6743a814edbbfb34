#include "Fill.h"

#include <cstring>

namespace zivdd {

namespace {

template <class P> void fillRect(const PixelRect& dest, uint32_t value)
{
    uint8_t* first = dest.row(0);
    for (size_t x = 0; x < dest.width; ++x)
        P::put(first, dest.x + x, value);
    if constexpr (P::bits >= 8) {
        // The first row is the pattern of every other row.
        constexpr size_t bytes = P::bits / 8;
        for (size_t y = 1; y < dest.height; ++y)
            std::memcpy(dest.row(y) + dest.x * bytes, first + dest.x * bytes, dest.width * bytes);
    } else {
        for (size_t y = 1; y < dest.height; ++y) {
            uint8_t* row = dest.row(y);
            for (size_t x = 0; x < dest.width; ++x)
                P::put(row, dest.x + x, value);
        }
    }
}

} // namespace

void fillPixels(const Format& format, const PixelRect& dest, uint32_t value)
{
    value &= format.pixelMask();
    withPixel(format.bits, [&](auto pixel) { fillRect<decltype(pixel)>(dest, value); });
}

} // namespace zivdd
