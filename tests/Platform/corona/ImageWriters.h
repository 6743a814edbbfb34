// Image files written in memory with the formats' own encoders (libpng,
// libjpeg, giflib, stb_image_write), for tests that decode them again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ZivTest {

using Bytes = std::vector<uint8_t>;

struct PngSpec {
    int width = 0;
    int height = 0;
    int colourType = 0; // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    // Samples as the PNG stores them, rows packed (16-bit samples big-endian).
    Bytes samples;
    // Palette as red, green, blue triples, and tRNS alpha per palette entry
    // (or for grey/RGB images, the transparent colour as 16-bit samples in
    // transparentColour).
    Bytes palette;
    Bytes paletteAlpha;
    bool headerOnly = false; // signature and IHDR only
};
Bytes writePng(const PngSpec& spec);

// RGB (3 components) or grey (1) at the given quality, sequential or
// progressive.
Bytes writeJpeg(int width, int height, int components, const Bytes& pixels, int quality = 95, bool progressive = false);

struct GifSpec {
    int screenWidth = 0;
    int screenHeight = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    Bytes palette; // red, green, blue triples; 2, 4, ... 256 entries
    Bytes indices; // width x height
    int transparentIndex = -1;
    bool interlaced = false;
};
Bytes writeGif(const GifSpec& spec);

// stb_image_write: 3 or 4 components, RGB(A) byte order.
Bytes writeBmp(int width, int height, int components, const Bytes& pixels);
Bytes writeTga(int width, int height, int components, const Bytes& pixels, bool rle = true);

// A BMP header (no pixel data) claiming the given size, 24 bits per pixel.
Bytes bmpHeaderOnly(int width, int height);

void writeFile(const std::string& path, const Bytes& bytes);

} // namespace ZivTest
