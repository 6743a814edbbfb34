// The pixel formats the demo renders into, and how their pixels are packed
// and read back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zivdemo {

enum class TargetFormat { Rgb565, Rgb555, Rgb24, Rgb32 };

struct FormatInfo {
    TargetFormat format;
    const char* name;  // as given on the command line and in file names
    const char* label; // for people
    uint32_t bitsPerPixel;
    uint32_t redMask, greenMask, blueMask;
    uint32_t displayBits;       // SetDisplayMode's bits per pixel
    int32_t texturePixelFormat; // the device's answer: 565, 555 or 0 (the display's)
};

// 565, 555, 24, 32 in this order.
const FormatInfo& formatInfo(TargetFormat format);
constexpr TargetFormat kAllFormats[] = {TargetFormat::Rgb565, TargetFormat::Rgb555, TargetFormat::Rgb24,
                                        TargetFormat::Rgb32};
std::optional<TargetFormat> parseFormat(const std::string& name);

// An ARGB colour as a pixel of the format (alpha dropped; the fourth byte of
// a 32-bit pixel is 0).
uint32_t packColour(TargetFormat format, uint32_t argb);

// A pixel of the format as opaque ARGB, each channel widened by repeating its
// top bits, so that every distinct pixel gives a distinct colour.
uint32_t unpackPixel(TargetFormat format, uint32_t pixel);

// Reads width pixels of one row into RGBA bytes (alpha 255).
void unpackRow(TargetFormat format, const uint8_t* row, uint32_t width, uint8_t* rgba);

} // namespace zivdemo
