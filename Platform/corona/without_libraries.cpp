// The decoders of a build without the image libraries (the 32-bit x86 Linux
// build): PNG, JPEG and GIF files are recognised by their signatures and
// refused, so they fail as a damaged file does; BMP and TGA keep their own
// readers.
#include <cstring>

#include "decoders.h"

namespace corona::detail {

bool isPng(const uint8_t* data, size_t size)
{
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return size >= 8 && std::memcmp(data, kSignature, 8) == 0;
}

bool decodePng(const uint8_t*, size_t, Decoded&)
{
    return false;
}

bool isJpeg(const uint8_t* data, size_t size)
{
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool decodeJpeg(const uint8_t*, size_t, Decoded&)
{
    return false;
}

bool isGif(const uint8_t* data, size_t size)
{
    return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

bool decodeGif(const uint8_t*, size_t, Decoded&)
{
    return false;
}

} // namespace corona::detail
