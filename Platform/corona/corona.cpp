// The image library's objects and calls: a memory file, the image object,
// format detection and pixel format conversion.
#include <atomic>
#include <cstring>
#include <new>

#include "corona.h"
#include "corona_test.h"
#include "decoders.h"

namespace corona {
namespace detail {

namespace {

std::atomic<int> g_liveObjects{0};
std::atomic<test::DecoderHook> g_decoderHook{nullptr};
std::atomic<bool> g_failMemoryFile{false};
std::atomic<bool> g_failConversion{false};

class MemoryFile final : public File {
public:
    MemoryFile(const void* data, int size) : d_data(static_cast<const uint8_t*>(data)), d_size(size)
    {
        ++g_liveObjects;
    }

    void destroy() override
    {
        --g_liveObjects;
        delete this;
    }

    const uint8_t* data() const { return d_data; }
    size_t size() const { return static_cast<size_t>(d_size); }

private:
    ~MemoryFile() = default;

    const uint8_t* d_data;
    int d_size;
};

class SimpleImage final : public Image {
public:
    SimpleImage(int width, int height, PixelFormat format, PixelBuffer pixels)
        : d_width(width), d_height(height), d_format(format), d_pixels(std::move(pixels))
    {
        ++g_liveObjects;
    }

    void destroy() override
    {
        --g_liveObjects;
        delete this;
    }
    int getWidth() override { return d_width; }
    int getHeight() override { return d_height; }
    PixelFormat getFormat() override { return d_format; }
    void* getPixels() override { return d_pixels.get(); }

private:
    ~SimpleImage() = default;

    int d_width;
    int d_height;
    PixelFormat d_format;
    PixelBuffer d_pixels;
};

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
    return new SimpleImage(width, height, to, std::move(out));
}

Image* decode(const uint8_t* data, size_t size)
{
    Decoded decoded;
    bool ok = false;
    if (isPng(data, size))
        ok = decodePng(data, size, decoded);
    else if (isJpeg(data, size))
        ok = decodeJpeg(data, size, decoded);
    else if (isGif(data, size))
        ok = decodeGif(data, size, decoded);
    else
        ok = decodeBmpTga(data, size, decoded);
    if (!ok || !decoded.pixels)
        return nullptr;
    return new SimpleImage(decoded.width, decoded.height, decoded.format, std::move(decoded.pixels));
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
    return PixelBuffer(static_cast<uint8_t*>(std::malloc(bytes)));
}

} // namespace detail

File* CorCreateMemoryFile(const void* buffer, int size)
{
    if (!buffer || size <= 0 || detail::g_failMemoryFile)
        return nullptr;
    return new (std::nothrow) detail::MemoryFile(buffer, size);
}

Image* CorOpenImageFromFile(File* file, FileFormat format)
{
    if (!file || format != FF_AUTODETECT)
        return nullptr;
    const auto* memory = static_cast<const detail::MemoryFile*>(file);
    if (test::DecoderHook hook = detail::g_decoderHook) {
        if (Image* image = hook(memory->data(), static_cast<int>(memory->size())))
            return image;
    }
    try {
        return detail::decode(memory->data(), memory->size());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

Image* CorConvertImage(Image* image, PixelFormat format)
{
    if (!image)
        return nullptr;
    if (format == PF_DONTCARE || image->getFormat() == format)
        return image;
    Image* converted = nullptr;
    if (!detail::g_failConversion && detail::isDirectColour(image->getFormat()) && detail::isDirectColour(format)) {
        try {
            converted = detail::convertDirect(image, format);
        } catch (const std::bad_alloc&) {
            converted = nullptr;
        }
    }
    image->destroy();
    return converted;
}

namespace test {

void setDecoderHook(DecoderHook hook)
{
    detail::g_decoderHook = hook;
}

Image* makeImage(int width, int height, int format, const void* pixels)
{
    const int bytes = detail::bytesPerPixel(format);
    detail::PixelBuffer buffer = detail::allocatePixels(width, height, bytes);
    if (!buffer)
        return nullptr;
    if (pixels)
        std::memcpy(buffer.get(), pixels, detail::pixelBufferSize(width, height, bytes));
    else
        std::memset(buffer.get(), 0, detail::pixelBufferSize(width, height, bytes));
    return new detail::SimpleImage(width, height, static_cast<PixelFormat>(format), std::move(buffer));
}

void setMemoryFileFailure(bool fail)
{
    detail::g_failMemoryFile = fail;
}

void setConversionFailure(bool fail)
{
    detail::g_failConversion = fail;
}

int liveObjects()
{
    return detail::g_liveObjects;
}

} // namespace test
} // namespace corona
