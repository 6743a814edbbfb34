// The image library's format table: small files of every BMP and TGA variant
// and a PNG, JPEG and GIF of each kind, written byte by byte, with the
// pixels they decode to; and damaged files of every kind, which must be
// refused. The same table runs against every platform's image library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "corona.h"

namespace ZivImageTable {

using Bytes = std::vector<uint8_t>;

struct Case {
    std::string name;
    Bytes file;
    // Empty pixels: the file must be refused.
    int width = 0;
    int height = 0;
    int channels = 3; // 3: red, green, blue; 4: with alpha
    Bytes pixels;     // top row first, rows packed

    // Decoded only where libjpeg reads JPEG files; the Imaging Component
    // refuses the file.
    bool libjpegOnly = false;

    bool refused() const { return pixels.empty(); }
};

std::vector<Case> wellFormed();
std::vector<Case> damaged();

// What is wrong with the image decoded from the case's file (null when the
// library refused it): empty when it is what the case expects.
std::string verdict(const Case& c, corona::Image* image);

} // namespace ZivImageTable
