// Inside the image library: the readers of our own, for the formats that no
// library at hand covers as the formats define them (BMP and TGA, on Linux
// and under the Windows Imaging Component alike). They depend on nothing but
// the standard library, so the same sources serve every platform.
//
// A reader answers true only for a whole, consistent file: truncated pixel
// data, palette indices beyond the palette and size fields that contradict
// the file's length are refused. Stored pixels are checked against the
// file's length before the picture is allocated, TGA packets against the
// least they can take; BMP run lengths can skip pixels and are only known
// while they are read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "CoronaCommon.h"
#include "corona.h"

namespace corona::detail {

struct Decoded {
    int width = 0;
    int height = 0;
    PixelFormat format = PF_R8G8B8;
    PixelBuffer pixels;
};

// Files that start with the BMP file header's "BM".
bool isBmp(const uint8_t* data, size_t size);
// Core (OS/2), info, V4 and V5 headers; 1, 4, 8, 16, 24 and 32 bits, RLE4,
// RLE8 and bitfields; bottom-up and top-down. RGBA when the header gives an
// alpha mask, when a 32-bit BI_RGB file has a fourth byte that is not zero,
// and when run lengths skip pixels (which stay transparent).
bool decodeBmp(const uint8_t* data, size_t size, Decoded& out);

// Files whose 18-byte TGA header names an image type this reader knows.
bool isTga(const uint8_t* data, size_t size);
// Types 1, 2, 3 and their run-length forms 9, 10, 11, in every orientation.
// RGBA when the colours carry alpha: as the extension area says, or without
// one, 32-bit colours with a fourth byte that is not zero and 16-bit colours
// of one attribute bit set somewhere.
bool decodeTga(const uint8_t* data, size_t size, Decoded& out);

// JPEG files whose picture is whole but whose bytes around it are damaged,
// mended before a JPEG decoder sees them (jpeg_segments.cpp): application
// segments and comments whose lengths do not lead to the next segment are
// cut out, and with addEnd a missing end marker is added (for a decoder that
// still refuses a file cut inside its entropy-coded data then). When the
// file needs mending, mended holds the copy and data and size point at it.
// Answers whether the end marker was added.
bool mendJpeg(const uint8_t*& data, size_t& size, std::vector<uint8_t>& mended, bool addEnd);

} // namespace corona::detail
