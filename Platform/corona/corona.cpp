// The image library's calls: a memory file, format detection and decoding,
// and pixel format conversion, with the switches the tests use.
#include <atomic>
#include <cstring>
#include <new>
#include <utility>

#include "CoronaCommon.h"
#include "corona.h"
#include "corona_test.h"
#include "decoders.h"

namespace corona {
namespace detail {

namespace {

std::atomic<test::DecoderHook> g_decoderHook{nullptr};
std::atomic<bool> g_failMemoryFile{false};
std::atomic<bool> g_failConversion{false};

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
    else if (isBmp(data, size))
        ok = decodeBmp(data, size, decoded);
    else
        ok = decodeTga(data, size, decoded);
    if (!ok || !decoded.pixels)
        return nullptr;
    return new PixelImage(decoded.width, decoded.height, decoded.format, std::move(decoded.pixels));
}

} // namespace
} // namespace detail

File* CorCreateMemoryFile(const void* buffer, int size)
{
    if (detail::g_failMemoryFile)
        return nullptr;
    return detail::createMemoryFile(buffer, size);
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
    return detail::convertImage(image, format, detail::g_failConversion);
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
    return new detail::PixelImage(width, height, static_cast<PixelFormat>(format), std::move(buffer));
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
