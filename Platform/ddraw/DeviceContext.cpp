#include "DeviceContext.h"

#include "FaultInjection.h"
#include "Palette.h"
#include "Surface.h"

namespace zivdd {

namespace {

// An 8-bit channel to the nearest value of a field, and back.
uint32_t toField(uint32_t channel, const Field& field)
{
    const uint64_t top = (uint64_t(1) << field.width) - 1;
    return static_cast<uint32_t>((channel * top + 127) / 255) << field.shift;
}

uint32_t fromField(uint32_t pixel, const Field& field)
{
    const uint64_t top = (uint64_t(1) << field.width) - 1;
    const uint64_t value = (pixel >> field.shift) & top;
    return static_cast<uint32_t>((value * 255 + top / 2) / top);
}

} // namespace

COLORREF DeviceContext::setPixel(int x, int y, COLORREF colour)
{
    enterOperation(Operation::SetPixel, &d_surface);
    if (!d_open || x < 0 || y < 0 || DWORD(x) >= d_surface.width() || DWORD(y) >= d_surface.height())
        return CLR_INVALID;
    const uint8_t red = colour & 0xFF;
    const uint8_t green = (colour >> 8) & 0xFF;
    const uint8_t blue = (colour >> 16) & 0xFF;
    const Format& format = d_surface.format();
    uint8_t* row = d_surface.row(DWORD(y));

    if (format.palettised()) {
        const Palette& palette = d_surface.palette();
        const unsigned index = palette.nearest(red, green, blue);
        withPixel(format.bits, [&](auto pixel) { decltype(pixel)::put(row, DWORD(x), index); });
        const PALETTEENTRY& set = palette.entries[index];
        return RGB(set.peRed, set.peGreen, set.peBlue);
    }

    // Alpha, where the format has it, is written as 0.
    const Field r = fieldOf(format.pf.dwRBitMask);
    const Field g = fieldOf(format.pf.dwGBitMask);
    const Field b = fieldOf(format.pf.dwBBitMask);
    const uint32_t value = toField(red, r) | toField(green, g) | toField(blue, b);
    withPixel(format.bits, [&](auto pixel) { decltype(pixel)::put(row, DWORD(x), value); });
    return RGB(fromField(value, r), fromField(value, g), fromField(value, b));
}

} // namespace zivdd
