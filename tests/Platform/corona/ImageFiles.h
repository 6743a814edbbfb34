// Small image files written byte by byte, so that a test controls exactly
// what the decoder sees: PNG of every colour type (stored, uncompressed
// deflate blocks) and GIF with or without a transparent index and with a
// frame anywhere on its logical screen.
#pragma once

#include <cstdint>
#include <vector>

namespace ZivImageFiles {

struct PngSpec {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t bitDepth = 8;
    uint8_t colourType = 2;            // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    std::vector<uint8_t> rows;         // packed rows without the filter byte
    std::vector<uint8_t> palette;      // RGB triples (colour type 3)
    std::vector<uint8_t> transparency; // tRNS contents, when not empty
    // A width and height written into the header that differ from the
    // rows (0: the real ones).
    uint32_t claimedWidth = 0;
    uint32_t claimedHeight = 0;
};

PngSpec pngSpec(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colourType, std::vector<uint8_t> rows,
                std::vector<uint8_t> palette = {}, std::vector<uint8_t> transparency = {});

std::vector<uint8_t> makePng(const PngSpec& spec);

struct GifSpec {
    uint16_t screenWidth = 0;
    uint16_t screenHeight = 0;
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    std::vector<uint8_t> palette; // 4 RGB triples
    std::vector<uint8_t> indices; // width x height, each 0-3
    int transparentIndex = -1;
};

std::vector<uint8_t> makeGif(const GifSpec& spec);

} // namespace ZivImageFiles
