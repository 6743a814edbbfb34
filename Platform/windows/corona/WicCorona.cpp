// The image library on Windows: the same calls as everywhere else, answered
// by the Windows Imaging Component for PNG, JPEG and GIF. BMP and TGA files
// go to the readers that the other platforms use too: the component has no
// TGA decoder, and its BMP decoder (Wine's, at least) refuses OS/2 palettes
// shorter than 2^bits and masks other than the common ones, leaves pixels
// that run lengths skip undefined and draws palette indices beyond the
// palette. Files held in memory are decoded to 8-bit RGBA, or to RGB when the
// image cannot be transparent, exactly as the library does on other
// platforms:
//
// - a format with an alpha channel, or a palette with a transparent entry,
//   gives RGBA; every other image gives RGB;
// - of a GIF the first frame is placed on the logical screen; a transparent
//   index and screen area the frame leaves uncovered are 0, 0, 0, 0;
// - images above 16384 pixels on a side or with more than 256 MiB of pixels
//   are refused before anything is decoded;
// - a JPEG application segment or comment with a wrong length (a damaged
//   EXIF block) is cut out first, as on the other platforms. A JPEG without
//   its end marker stays refused: given one, the component (Wine's at
//   least) draws a file cut inside its entropy-coded data without a word,
//   so the two cannot be told apart here.
#include "CoronaCommon.h"
#include "ImageReaders.h"
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
#include <vector>

namespace corona {
namespace {

using detail::allocatePixels;
using detail::MemoryFile;
using detail::PixelBuffer;
using detail::pixelBufferSize;
using detail::PixelImage;

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
    if (!gif && !sameGuid(container, GUID_ContainerFormatPng) && !sameGuid(container, GUID_ContainerFormatJpeg))
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
    return detail::createMemoryFile(buffer, size);
}

Image* CorOpenImageFromFile(File* file, FileFormat format)
{
    if (file == nullptr || format != FF_AUTODETECT)
        return nullptr;
    const auto* memory = static_cast<const MemoryFile*>(file);
    try {
        // No file the component reads starts like a TGA header: its second
        // byte, the colour map type, is 0 or 1.
        const bool bmp = detail::isBmp(memory->data(), memory->size());
        if (bmp || detail::isTga(memory->data(), memory->size())) {
            detail::Decoded decoded;
            const bool ok = bmp ? detail::decodeBmp(memory->data(), memory->size(), decoded)
                                : detail::decodeTga(memory->data(), memory->size(), decoded);
            if (!ok)
                return nullptr;
            return new PixelImage(decoded.width, decoded.height, decoded.format, std::move(decoded.pixels));
        }
        const uint8_t* data = memory->data();
        size_t size = memory->size();
        std::vector<uint8_t> mended;
        if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
            detail::mendJpeg(data, size, mended, false);
        return decodeWithWic(data, static_cast<DWORD>(size));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

Image* CorConvertImage(Image* image, PixelFormat format)
{
    return detail::convertImage(image, format, false);
}

namespace wic {

int liveObjects()
{
    return detail::g_liveObjects;
}

} // namespace wic
} // namespace corona
