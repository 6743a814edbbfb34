// Images in memory and on disk: 8-bit RGBA pixels, read from and written to
// PNG files with libpng. Shared by the demo, the skin generator and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zivdemo {

// Rows packed top to bottom, four bytes per pixel: red, green, blue, alpha.
struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;

    Image() = default;
    Image(uint32_t w, uint32_t h, uint32_t fill = 0);

    uint8_t* pixel(uint32_t x, uint32_t y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    const uint8_t* pixel(uint32_t x, uint32_t y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    // The pixel as 0xAARRGGBB.
    uint32_t argb(uint32_t x, uint32_t y) const;
    void setArgb(uint32_t x, uint32_t y, uint32_t argb);
    // True when every pixel has alpha 255.
    bool opaque() const;
    // The pixels without alpha: three bytes red, green, blue per pixel.
    std::vector<uint8_t> rgb() const;
};

// Reads any PNG that libpng reads (palette, grey, 16-bit, interlaced) as
// 8-bit RGBA. Throws std::runtime_error naming the file on failure.
Image readPng(const std::string& path);

// Writes the image as an 8-bit PNG, with an alpha channel unless withAlpha is
// false. Throws std::runtime_error naming the file on failure.
void writePng(const std::string& path, const Image& image, bool withAlpha);

// Where two images of equal size differ: the number of differing pixels and
// the first one in row order. Images of different sizes count as all
// different, with the first difference at 0, 0.
struct ImageDifference {
    uint64_t pixels = 0;
    uint32_t firstX = 0;
    uint32_t firstY = 0;
};
ImageDifference compareImages(const Image& a, const Image& b);

// A picture of the difference for a person to look at: the expected image
// dimmed to a quarter, with every differing pixel in bright magenta. Of
// different sizes, the larger of both with the expected image in its corner.
Image differenceImage(const Image& expected, const Image& actual);

} // namespace zivdemo
