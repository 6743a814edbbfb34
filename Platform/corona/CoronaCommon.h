// Inside the image library, on every platform: the size limits, the pixel
// buffers, the memory file and image objects and the conversions between
// pixel formats. The decoders differ by platform.
#pragma once

#include <atomic>
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

// A zeroed buffer for such an image, or null when refused or out of memory.
PixelBuffer allocatePixels(long long width, long long height, int bytesPerPixel);

// Drops the fourth byte of each of count pixels in place: four bytes a
// pixel become three, packed at the start of the same buffer.
void dropAlpha(uint8_t* pixels, size_t count);

// Files and images alive now.
extern std::atomic<int> g_liveObjects;

// The caller's bytes, not copied.
class MemoryFile final : public File {
public:
    MemoryFile(const void* data, int size);

    void destroy() override;

    const uint8_t* data() const { return d_data; }
    size_t size() const { return static_cast<size_t>(d_size); }

private:
    ~MemoryFile() = default;

    const uint8_t* d_data;
    int d_size;
};

class PixelImage final : public Image {
public:
    PixelImage(int width, int height, PixelFormat format, PixelBuffer pixels);

    void destroy() override;
    int getWidth() override { return d_width; }
    int getHeight() override { return d_height; }
    PixelFormat getFormat() override { return d_format; }
    void* getPixels() override { return d_pixels.get(); }

private:
    ~PixelImage() = default;

    int d_width;
    int d_height;
    PixelFormat d_format;
    PixelBuffer d_pixels;
};

// 4 for the formats with alpha, 3 for the other direct colour formats, 1
// otherwise.
int bytesPerPixel(int format);

// A memory file over buffer, or null when there is nothing to read or no
// memory.
File* createMemoryFile(const void* buffer, int size);

// What CorConvertImage answers; refuse makes every conversion that would
// change the pixels fail.
Image* convertImage(Image* image, PixelFormat format, bool refuse);

} // namespace corona::detail
