// BMP and TGA through stb_image, built here with only those two readers (its
// other readers, GIF among them, are left out).
#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

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

namespace {

uint32_t readLittle(const uint8_t* p, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

// stb_image reads the colours of a palette BMP from a table that holds only
// the entries the file has: pixels whose index lies beyond them (or all
// pixels, when the header leaves no room for a palette) take whatever the
// stack held. A copy of such a file with the palette filled up to 256 entries
// of black is decoded instead. Empty when the file needs no copy.
std::vector<uint8_t> withFullPalette(const uint8_t* data, size_t size)
{
    if (size < 30 || data[0] != 'B' || data[1] != 'M')
        return {};
    const uint32_t headerSize = readLittle(data + 14, 4);
    const bool core = headerSize == 12;
    const uint32_t bitsPerPixel = readLittle(data + (core ? 24 : 28), 2);
    if (bitsPerPixel >= (core ? 24u : 16u) || headerSize > size)
        return {};
    const int64_t entryBytes = core ? 3 : 4;
    const int64_t paletteStart = 14 + int64_t{headerSize};
    const int64_t offset = readLittle(data + 10, 4);
    const int64_t entries = (offset - paletteStart) / entryBytes;
    if (entries >= 256)
        return {};
    const int64_t end = int64_t(size);
    const int64_t available = std::clamp<int64_t>(end - paletteStart, 0, std::max<int64_t>(entries, 0) * entryBytes);
    std::vector<uint8_t> copy(data, data + std::min(paletteStart, end));
    copy.insert(copy.end(), data + copy.size(), data + copy.size() + available);
    copy.resize(size_t(paletteStart + 256 * entryBytes), 0);
    copy.insert(copy.end(), data + std::clamp<int64_t>(offset, 0, end), data + end);
    const uint32_t newOffset = static_cast<uint32_t>(paletteStart + 256 * entryBytes);
    for (int i = 0; i < 4; ++i)
        copy[10 + i] = static_cast<uint8_t>(newOffset >> (8 * i));
    return copy;
}

} // namespace

bool decodeBmpTga(const uint8_t* data, size_t size, Decoded& out)
{
    const std::vector<uint8_t> padded = withFullPalette(data, size);
    if (!padded.empty()) {
        data = padded.data();
        size = padded.size();
    }
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
