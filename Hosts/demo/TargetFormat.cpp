#include "TargetFormat.h"

#include <cstring>

namespace zivdemo {

namespace {

const FormatInfo kFormats[] = {
    {TargetFormat::Rgb565, "565", "RGB 565", 16, 0xF800, 0x07E0, 0x001F, 16, 565},
    {TargetFormat::Rgb555, "555", "RGB 555", 16, 0x7C00, 0x03E0, 0x001F, 16, 555},
    {TargetFormat::Rgb24, "24", "24-bit RGB", 24, 0xFF0000, 0x00FF00, 0x0000FF, 24, 0},
    {TargetFormat::Rgb32, "32", "32-bit XRGB", 32, 0xFF0000, 0x00FF00, 0x0000FF, 32, 0},
};

uint32_t widen5(uint32_t v)
{
    return v << 3 | v >> 2;
}
uint32_t widen6(uint32_t v)
{
    return v << 2 | v >> 4;
}

} // namespace

const FormatInfo& formatInfo(TargetFormat format)
{
    for (const FormatInfo& info : kFormats) {
        if (info.format == format) {
            return info;
        }
    }
    return kFormats[0];
}

std::optional<TargetFormat> parseFormat(const std::string& name)
{
    for (const FormatInfo& info : kFormats) {
        if (name == info.name) {
            return info.format;
        }
    }
    return std::nullopt;
}

uint32_t packColour(TargetFormat format, uint32_t argb)
{
    const uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    switch (format) {
    case TargetFormat::Rgb565:
        return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
    case TargetFormat::Rgb555:
        return (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
    case TargetFormat::Rgb24:
    case TargetFormat::Rgb32:
        break;
    }
    return r << 16 | g << 8 | b;
}

uint32_t unpackPixel(TargetFormat format, uint32_t pixel)
{
    uint32_t r, g, b;
    switch (format) {
    case TargetFormat::Rgb565:
        r = widen5((pixel >> 11) & 0x1F);
        g = widen6((pixel >> 5) & 0x3F);
        b = widen5(pixel & 0x1F);
        break;
    case TargetFormat::Rgb555:
        r = widen5((pixel >> 10) & 0x1F);
        g = widen5((pixel >> 5) & 0x1F);
        b = widen5(pixel & 0x1F);
        break;
    default:
        r = (pixel >> 16) & 0xFF;
        g = (pixel >> 8) & 0xFF;
        b = pixel & 0xFF;
        break;
    }
    return 0xFF000000u | r << 16 | g << 8 | b;
}

void unpackRow(TargetFormat format, const uint8_t* row, uint32_t width, uint8_t* rgba)
{
    const uint32_t bytes = formatInfo(format).bitsPerPixel / 8;
    for (uint32_t x = 0; x < width; ++x) {
        const uint8_t* p = row + static_cast<size_t>(x) * bytes;
        uint32_t pixel = 0;
        if (bytes == 2) {
            pixel = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
        } else {
            pixel = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
        }
        const uint32_t argb = unpackPixel(format, pixel);
        rgba[x * 4] = static_cast<uint8_t>(argb >> 16);
        rgba[x * 4 + 1] = static_cast<uint8_t>(argb >> 8);
        rgba[x * 4 + 2] = static_cast<uint8_t>(argb);
        rgba[x * 4 + 3] = 0xFF;
    }
}

} // namespace zivdemo
