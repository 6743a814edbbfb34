// Inside the image library: the decoders, one per file family.
#pragma once

#include <cstddef>
#include <cstdint>

#include "CoronaCommon.h"
#include "corona.h"

namespace corona::detail {

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
