// Inside the image library: the size limits, the pixel buffers and the
// decoders, one per file family.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "corona.h"

namespace corona::detail {

// Larger images are refused before anything is allocated for them.
constexpr long long kMaxSide = 16384;
constexpr size_t kMaxPixelBytes = size_t{256} << 20;

// Pixel buffers come from malloc, so that a decoder's own buffer can be
// adopted without a copy.
struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};
using PixelBuffer = std::unique_ptr<uint8_t, FreeDeleter>;

// Byte count of a width x height image of bytesPerPixel, or 0 when either
// side is not 1 to kMaxSide or the count exceeds kMaxPixelBytes.
size_t pixelBufferSize(long long width, long long height, int bytesPerPixel);

// A buffer for such an image, or null when refused or out of memory.
PixelBuffer allocatePixels(long long width, long long height, int bytesPerPixel);

struct Decoded {
    int width = 0;
    int height = 0;
    PixelFormat format = PF_R8G8B8;
    PixelBuffer pixels;
};

// Each decoder fills out with 8-bit RGB or RGBA pixels (RGBA only when the
// image has transparency) and answers whether it succeeded.
bool isPng(const uint8_t* data, size_t size);
bool decodePng(const uint8_t* data, size_t size, Decoded& out);
bool isJpeg(const uint8_t* data, size_t size);
bool decodeJpeg(const uint8_t* data, size_t size, Decoded& out);
bool isGif(const uint8_t* data, size_t size);
bool decodeGif(const uint8_t* data, size_t size, Decoded& out);
// BMP and TGA.
bool decodeBmpTga(const uint8_t* data, size_t size, Decoded& out);

} // namespace corona::detail
