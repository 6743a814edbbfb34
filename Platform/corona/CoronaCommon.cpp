// The image library's objects and pixel format conversion, on every platform.
#include "CoronaCommon.h"

#include <cstring>
#include <new>
#include <utility>

namespace corona::detail {

std::atomic<int> g_liveObjects{0};

namespace {

bool isDirectColour(int format)
{
    return format == PF_R8G8B8A8 || format == PF_R8G8B8 || format == PF_B8G8R8A8 || format == PF_B8G8R8;
}

// Memory offsets of red, green and blue within a pixel.
struct ChannelOrder {
    int red;
    int green;
    int blue;
};

ChannelOrder channelOrder(int format)
{
    return (format == PF_B8G8R8A8 || format == PF_B8G8R8) ? ChannelOrder{2, 1, 0} : ChannelOrder{0, 1, 2};
}

// Reorders channels and adds (as opaque) or drops alpha. Both formats are
// direct colour formats.
Image* convertDirect(Image* image, PixelFormat to)
{
    const int from = image->getFormat();
    const int width = image->getWidth();
    const int height = image->getHeight();
    const int inBytes = bytesPerPixel(from);
    const int outBytes = bytesPerPixel(to);
    PixelBuffer out = allocatePixels(width, height, outBytes);
    if (!out)
        return nullptr;
    const ChannelOrder src = channelOrder(from);
    const ChannelOrder dst = channelOrder(to);
    const uint8_t* in = static_cast<const uint8_t*>(image->getPixels());
    uint8_t* o = out.get();
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < count; ++i, in += inBytes, o += outBytes) {
        o[dst.red] = in[src.red];
        o[dst.green] = in[src.green];
        o[dst.blue] = in[src.blue];
        if (outBytes == 4)
            o[3] = inBytes == 4 ? in[3] : 0xFF;
    }
    return new PixelImage(width, height, to, std::move(out));
}

} // namespace

size_t pixelBufferSize(long long width, long long height, int bytesPerPixel)
{
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || bytesPerPixel < 1)
        return 0;
    const unsigned long long bytes = static_cast<unsigned long long>(width) * static_cast<unsigned long long>(height) *
                                     static_cast<unsigned long long>(bytesPerPixel);
    return bytes > kMaxPixelBytes ? 0 : static_cast<size_t>(bytes);
}

PixelBuffer allocatePixels(long long width, long long height, int bytesPerPixel)
{
    const size_t bytes = pixelBufferSize(width, height, bytesPerPixel);
    if (bytes == 0)
        return nullptr;
    return PixelBuffer(static_cast<uint8_t*>(std::calloc(bytes, 1)));
}

void dropAlpha(uint8_t* pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        std::memmove(pixels + i * 3, pixels + i * 4, 3);
}

MemoryFile::MemoryFile(const void* data, int size) : d_data(static_cast<const uint8_t*>(data)), d_size(size)
{
    ++g_liveObjects;
}

void MemoryFile::destroy()
{
    --g_liveObjects;
    delete this;
}

PixelImage::PixelImage(int width, int height, PixelFormat format, PixelBuffer pixels)
    : d_width(width), d_height(height), d_format(format), d_pixels(std::move(pixels))
{
    ++g_liveObjects;
}

void PixelImage::destroy()
{
    --g_liveObjects;
    delete this;
}

int bytesPerPixel(int format)
{
    switch (format) {
    case PF_R8G8B8A8:
    case PF_B8G8R8A8:
        return 4;
    case PF_R8G8B8:
    case PF_B8G8R8:
        return 3;
    default:
        return 1;
    }
}

File* createMemoryFile(const void* buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return nullptr;
    return new (std::nothrow) MemoryFile(buffer, size);
}

Image* convertImage(Image* image, PixelFormat format, bool refuse)
{
    if (image == nullptr)
        return nullptr;
    if (format == PF_DONTCARE || image->getFormat() == format)
        return image;
    Image* converted = nullptr;
    if (!refuse && isDirectColour(image->getFormat()) && isDirectColour(format)) {
        try {
            converted = convertDirect(image, format);
        } catch (const std::bad_alloc&) {
            converted = nullptr;
        }
    }
    image->destroy();
    return converted;
}

} // namespace corona::detail
