// Inside the image library: the decoders over libraries, one per file family
// (BMP and TGA have readers of our own, ImageReaders.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "CoronaCommon.h"
#include "ImageReaders.h"
#include "corona.h"

namespace corona::detail {

// Each decoder fills out with 8-bit RGB or RGBA pixels (RGBA only when the
// image has transparency) and answers whether it succeeded.
bool isPng(const uint8_t* data, size_t size);
bool decodePng(const uint8_t* data, size_t size, Decoded& out);
bool isJpeg(const uint8_t* data, size_t size);
bool decodeJpeg(const uint8_t* data, size_t size, Decoded& out);
bool isGif(const uint8_t* data, size_t size);
bool decodeGif(const uint8_t* data, size_t size, Decoded& out);

} // namespace corona::detail
