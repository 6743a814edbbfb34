// BMP and TGA through stb_image, built here with only those two readers (its
// other readers, GIF among them, are left out).
#include <climits>

#include "decoders.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS 16384
// Zeroed: stb_image leaves the rows of a truncated file unwritten, and they
// must not carry whatever the heap held before.
#define STBI_MALLOC(size) std::calloc(1, size)
#define STBI_REALLOC(p, size) std::realloc(p, size)
#define STBI_FREE(p) std::free(p)
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace corona::detail {

bool decodeBmpTga(const uint8_t* data, size_t size, Decoded& out)
{
    if (size == 0 || size > static_cast<size_t>(INT_MAX))
        return false;
    const int length = static_cast<int>(size);
    int width = 0;
    int height = 0;
    int channels = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &channels))
        return false;
    // Grey and grey-with-alpha come out as RGB and RGBA.
    const int wanted = (channels == 2 || channels == 4) ? 4 : 3;
    if (pixelBufferSize(width, height, wanted) == 0)
        return false;
    int actual = 0;
    uint8_t* pixels = stbi_load_from_memory(data, length, &width, &height, &actual, wanted);
    if (!pixels)
        return false;
    out.pixels.reset(pixels);
    if (pixelBufferSize(width, height, wanted) == 0) {
        out.pixels.reset();
        return false;
    }
    out.width = width;
    out.height = height;
    out.format = wanted == 4 ? PF_R8G8B8A8 : PF_R8G8B8;
    return true;
}

} // namespace corona::detail
