// The image library on Windows: the same calls as everywhere else, answered
// by the Windows Imaging Component. PNG, JPEG, BMP and GIF files held in
// memory are decoded to 8-bit RGBA, or to RGB when the image cannot be
// transparent, exactly as the library does on other platforms:
//
// - a format with an alpha channel, or a palette with a transparent entry,
//   gives RGBA; every other image gives RGB;
// - of a GIF the first frame is placed on the logical screen; a transparent
//   index and screen area the frame leaves uncovered are 0, 0, 0, 0;
// - images above 16384 pixels on a side or with more than 256 MiB of pixels
//   are refused before anything is decoded.
#include "corona.h"
#include "corona_wic.h"

#include <windows.h>

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace corona {
namespace {

constexpr long long kMaxSide = 16384;
constexpr unsigned long long kMaxPixelBytes = 256ull << 20;

std::atomic<int> g_liveObjects{0};

// Byte count of a width x height image, or 0 when it is refused.
size_t pixelBufferSize(long long width, long long height, int bytesPerPixel)
{
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || bytesPerPixel < 1)
        return 0;
    const unsigned long long bytes = static_cast<unsigned long long>(width) * static_cast<unsigned long long>(height) *
                                     static_cast<unsigned long long>(bytesPerPixel);
    return bytes > kMaxPixelBytes ? 0 : static_cast<size_t>(bytes);
}

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};
using PixelBuffer = std::unique_ptr<uint8_t, FreeDeleter>;

PixelBuffer allocatePixels(long long width, long long height, int bytesPerPixel)
{
    const size_t bytes = pixelBufferSize(width, height, bytesPerPixel);
    if (bytes == 0)
        return nullptr;
    return PixelBuffer(static_cast<uint8_t*>(std::calloc(bytes, 1)));
}

// ----- the library's objects -------------------------------------------------

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
    DWORD size() const { return static_cast<DWORD>(d_size); }

private:
    ~MemoryFile() = default;

    const uint8_t* d_data;
    int d_size;
};

class PixelImage final : public Image {
public:
    PixelImage(int width, int height, PixelFormat format, PixelBuffer pixels)
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
    ~PixelImage() = default;

    int d_width;
    int d_height;
    PixelFormat d_format;
    PixelBuffer d_pixels;
};

int bytesPerPixel(int format)
{
    return (format == PF_R8G8B8A8 || format == PF_B8G8R8A8) ? 4 : 3;
}

bool isDirectColour(int format)
{
    return format == PF_R8G8B8A8 || format == PF_R8G8B8 || format == PF_B8G8R8A8 || format == PF_B8G8R8;
}

// Reorders channels and adds (opaque) or drops alpha between two direct
// colour formats.
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
    const bool swapIn = from == PF_B8G8R8A8 || from == PF_B8G8R8;
    const bool swapOut = to == PF_B8G8R8A8 || to == PF_B8G8R8;
    const uint8_t* in = static_cast<const uint8_t*>(image->getPixels());
    uint8_t* o = out.get();
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < count; ++i, in += inBytes, o += outBytes) {
        const uint8_t red = in[swapIn ? 2 : 0];
        const uint8_t blue = in[swapIn ? 0 : 2];
        o[swapOut ? 2 : 0] = red;
        o[1] = in[1];
        o[swapOut ? 0 : 2] = blue;
        if (outBytes == 4)
            o[3] = inBytes == 4 ? in[3] : 0xFF;
    }
    return new PixelImage(width, height, to, std::move(out));
}

// ----- COM --------------------------------------------------------------------

// An owned interface pointer.
template <typename T> class ComRef {
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* get() const { return d_p; }
    T* operator->() const { return d_p; }
    T** put()
    {
        reset();
        return &d_p;
    }
    void reset()
    {
        if (d_p != nullptr)
            d_p->Release();
        d_p = nullptr;
    }

private:
    T* d_p = nullptr;
};

// COM on the calling thread for the duration of one decode. A thread that
// already runs COM in another apartment keeps it; only an initialisation
// made here is undone here.
class ComScope {
public:
    ComScope() : d_result(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(d_result))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

    bool usable() const { return SUCCEEDED(d_result) || d_result == RPC_E_CHANGED_MODE; }

private:
    HRESULT d_result;
};

bool sameGuid(const GUID& a, const GUID& b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

// Whether the frame's own pixel format can carry transparency: an alpha
// channel, or a palette with an entry that is not opaque.
bool frameHasTransparency(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame)
{
    WICPixelFormatGUID format{};
    if (FAILED(frame->GetPixelFormat(&format)))
        return true;
    ComRef<IWICComponentInfo> info;
    ComRef<IWICPixelFormatInfo2> formatInfo;
    if (SUCCEEDED(factory->CreateComponentInfo(format, info.put())) &&
        SUCCEEDED(info->QueryInterface(IID_IWICPixelFormatInfo2, reinterpret_cast<void**>(formatInfo.put())))) {
        WICPixelFormatNumericRepresentation representation = WICPixelFormatNumericRepresentationUnspecified;
        if (SUCCEEDED(formatInfo->GetNumericRepresentation(&representation)) &&
            representation == WICPixelFormatNumericRepresentationIndexed) {
            ComRef<IWICPalette> palette;
            BOOL hasAlpha = FALSE;
            if (SUCCEEDED(factory->CreatePalette(palette.put())) && SUCCEEDED(frame->CopyPalette(palette.get())) &&
                SUCCEEDED(palette->HasAlpha(&hasAlpha)))
                return hasAlpha != FALSE;
            return false;
        }
        BOOL transparency = FALSE;
        if (SUCCEEDED(formatInfo->SupportsTransparency(&transparency)))
            return transparency != FALSE;
    }
    // Formats the component does not describe: the common ones by name.
    return sameGuid(format, GUID_WICPixelFormat32bppBGRA) || sameGuid(format, GUID_WICPixelFormat32bppRGBA) ||
           sameGuid(format, GUID_WICPixelFormat64bppRGBA) || sameGuid(format, GUID_WICPixelFormat32bppPBGRA);
}

// An unsigned number from a metadata query, or fallback.
UINT queryNumber(IWICMetadataQueryReader* reader, const wchar_t* name, UINT fallback)
{
    if (reader == nullptr)
        return fallback;
    PROPVARIANT value;
    PropVariantInit(&value);
    UINT result = fallback;
    if (SUCCEEDED(reader->GetMetadataByName(name, &value))) {
        if (value.vt == VT_UI2)
            result = value.uiVal;
        else if (value.vt == VT_UI4)
            result = value.ulVal;
        else if (value.vt == VT_UI1)
            result = value.bVal;
    }
    PropVariantClear(&value);
    return result;
}

// Where a GIF's first frame sits on its logical screen, and the screen's
// size; a frame that fills the screen for every other format.
struct Placement {
    UINT left = 0;
    UINT top = 0;
    UINT canvasWidth = 0;
    UINT canvasHeight = 0;
};

Placement placeFrame(IWICBitmapDecoder* decoder, IWICBitmapFrameDecode* frame, bool gif, UINT width, UINT height)
{
    Placement placement{0, 0, width, height};
    if (!gif)
        return placement;
    ComRef<IWICMetadataQueryReader> screen;
    ComRef<IWICMetadataQueryReader> descriptor;
    if (FAILED(decoder->GetMetadataQueryReader(screen.put())))
        screen.reset();
    if (FAILED(frame->GetMetadataQueryReader(descriptor.put())))
        descriptor.reset();
    placement.left = queryNumber(descriptor.get(), L"/imgdesc/Left", 0);
    placement.top = queryNumber(descriptor.get(), L"/imgdesc/Top", 0);
    const UINT screenWidth = queryNumber(screen.get(), L"/logscrdesc/Width", 0);
    const UINT screenHeight = queryNumber(screen.get(), L"/logscrdesc/Height", 0);
    placement.canvasWidth = std::max<UINT>(screenWidth, placement.left + width);
    placement.canvasHeight = std::max<UINT>(screenHeight, placement.top + height);
    return placement;
}

Image* decodeWithWic(const uint8_t* data, DWORD size)
{
    ComScope com;
    if (!com.usable())
        return nullptr;
    ComRef<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.put()))))
        return nullptr;
    ComRef<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), size)))
        return nullptr;
    ComRef<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())))
        return nullptr;

    GUID container{};
    if (FAILED(decoder->GetContainerFormat(&container)))
        return nullptr;
    const bool gif = sameGuid(container, GUID_ContainerFormatGif);
    if (!gif && !sameGuid(container, GUID_ContainerFormatPng) && !sameGuid(container, GUID_ContainerFormatJpeg) &&
        !sameGuid(container, GUID_ContainerFormatBmp))
        return nullptr;

    ComRef<IWICBitmapFrameDecode> frame;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(decoder->GetFrame(0, frame.put())) || FAILED(frame->GetSize(&width, &height)))
        return nullptr;
    // Refused before the decoder allocates anything for it.
    if (pixelBufferSize(width, height, 4) == 0)
        return nullptr;
    const Placement placement = placeFrame(decoder.get(), frame.get(), gif, width, height);
    if (pixelBufferSize(placement.canvasWidth, placement.canvasHeight, 4) == 0)
        return nullptr;
    const bool covers =
        placement.left == 0 && placement.top == 0 && placement.canvasWidth == width && placement.canvasHeight == height;
    const bool rgba = frameHasTransparency(factory.get(), frame.get()) || !covers;

    ComRef<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppRGBA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return nullptr;
    PixelBuffer decoded = allocatePixels(width, height, 4);
    if (!decoded)
        return nullptr;
    const UINT stride = width * 4;
    if (FAILED(converter->CopyPixels(nullptr, stride, stride * height, decoded.get())))
        return nullptr;

    // Onto the canvas, in the output format; transparent GIF pixels are all
    // zero, whatever colour their palette entry has.
    const int outBytes = rgba ? 4 : 3;
    PixelBuffer pixels = allocatePixels(placement.canvasWidth, placement.canvasHeight, outBytes);
    if (!pixels)
        return nullptr;
    const size_t canvasStride = static_cast<size_t>(placement.canvasWidth) * outBytes;
    for (UINT y = 0; y < height; ++y) {
        const uint8_t* in = decoded.get() + static_cast<size_t>(y) * stride;
        uint8_t* o = pixels.get() + (static_cast<size_t>(placement.top) + y) * canvasStride +
                     static_cast<size_t>(placement.left) * outBytes;
        for (UINT x = 0; x < width; ++x, in += 4, o += outBytes) {
            if (gif && in[3] == 0)
                continue;
            o[0] = in[0];
            o[1] = in[1];
            o[2] = in[2];
            if (rgba)
                o[3] = in[3];
        }
    }
    return new PixelImage(static_cast<int>(placement.canvasWidth), static_cast<int>(placement.canvasHeight),
                          rgba ? PF_R8G8B8A8 : PF_R8G8B8, std::move(pixels));
}

} // namespace

File* CorCreateMemoryFile(const void* buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return nullptr;
    return new (std::nothrow) MemoryFile(buffer, size);
}

Image* CorOpenImageFromFile(File* file, FileFormat format)
{
    if (file == nullptr || format != FF_AUTODETECT)
        return nullptr;
    const auto* memory = static_cast<const MemoryFile*>(file);
    try {
        return decodeWithWic(memory->data(), memory->size());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

Image* CorConvertImage(Image* image, PixelFormat format)
{
    if (image == nullptr)
        return nullptr;
    if (format == PF_DONTCARE || image->getFormat() == format)
        return image;
    Image* converted = nullptr;
    if (isDirectColour(image->getFormat()) && isDirectColour(format)) {
        try {
            converted = convertDirect(image, format);
        } catch (const std::bad_alloc&) {
            converted = nullptr;
        }
    }
    image->destroy();
    return converted;
}

namespace wic {

int liveObjects()
{
    return g_liveObjects;
}

} // namespace wic
} // namespace corona
