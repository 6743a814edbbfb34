#include "png.h"

#include <windows.h>

#include <objbase.h>
#include <wincodec.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// The decoded pixels between begin and finish.
struct png_control {
    std::vector<uint8_t> rgba;
};

namespace {

template <typename T> struct Released {
    T* p = nullptr;
    ~Released()
    {
        if (p != nullptr)
            p->Release();
    }
    T** put() { return &p; }
    T* operator->() const { return p; }
};

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

private:
    HRESULT d_result;
};

std::wstring widen(const char* utf8)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), length);
    return wide;
}

int failWith(png_imagep image, const char* what, HRESULT result)
{
    std::snprintf(image->message, sizeof image->message, "%s (0x%08lx)", what, static_cast<unsigned long>(result));
    image->warning_or_error = 2;
    return 0;
}

bool factory(Released<IWICImagingFactory>& made)
{
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(made.put())));
}

} // namespace

int png_image_begin_read_from_file(png_imagep image, const char* fileName)
{
    const ComScope com;
    Released<IWICImagingFactory> wic;
    if (!factory(wic))
        return failWith(image, "no imaging component", E_FAIL);
    Released<IWICBitmapDecoder> decoder;
    HRESULT result = wic->CreateDecoderFromFilename(widen(fileName).c_str(), nullptr, GENERIC_READ,
                                                    WICDecodeMetadataCacheOnDemand, decoder.put());
    if (FAILED(result))
        return failWith(image, "cannot open", result);
    Released<IWICBitmapFrameDecode> frame;
    UINT width = 0, height = 0;
    if (FAILED(result = decoder->GetFrame(0, frame.put())) || FAILED(result = frame->GetSize(&width, &height)))
        return failWith(image, "cannot decode", result);
    Released<IWICFormatConverter> converter;
    if (FAILED(result = wic->CreateFormatConverter(converter.put())) ||
        FAILED(result = converter->Initialize(frame.p, GUID_WICPixelFormat32bppRGBA, WICBitmapDitherTypeNone, nullptr,
                                              0.0, WICBitmapPaletteTypeCustom)))
        return failWith(image, "cannot convert", result);
    auto* control = new png_control;
    control->rgba.resize(size_t(width) * height * 4);
    if (FAILED(result = converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(control->rgba.size()),
                                              control->rgba.data()))) {
        delete control;
        return failWith(image, "cannot read the pixels", result);
    }
    image->opaque = control;
    image->width = width;
    image->height = height;
    image->format = PNG_FORMAT_RGBA;
    return 1;
}

int png_image_finish_read(png_imagep image, const void*, void* buffer, int32_t rowStride, void*)
{
    png_control* control = image->opaque;
    if (control == nullptr || rowStride != 0)
        return failWith(image, "no image begun, or a row stride", E_INVALIDARG);
    const size_t pixels = size_t(image->width) * image->height;
    auto* out = static_cast<uint8_t*>(buffer);
    const unsigned channels = PNG_IMAGE_PIXEL_CHANNELS(image->format);
    for (size_t i = 0; i < pixels; ++i)
        std::memcpy(out + i * channels, control->rgba.data() + i * 4, channels);
    png_image_free(image);
    return 1;
}

void png_image_free(png_imagep image)
{
    delete image->opaque;
    image->opaque = nullptr;
}

int png_image_write_to_file(png_imagep image, const char* fileName, int, const void* buffer, int32_t rowStride,
                            const void*)
{
    if (rowStride != 0)
        return failWith(image, "a row stride", E_INVALIDARG);
    const ComScope com;
    Released<IWICImagingFactory> wic;
    if (!factory(wic))
        return failWith(image, "no imaging component", E_FAIL);
    Released<IWICStream> stream;
    HRESULT result = wic->CreateStream(stream.put());
    if (SUCCEEDED(result))
        result = stream->InitializeFromFilename(widen(fileName).c_str(), GENERIC_WRITE);
    if (FAILED(result))
        return failWith(image, "cannot create", result);
    Released<IWICBitmapEncoder> encoder;
    Released<IWICBitmapFrameEncode> frame;
    Released<IPropertyBag2> options;
    const bool alpha = (image->format & PNG_FORMAT_FLAG_ALPHA) != 0;
    WICPixelFormatGUID format = alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    if (FAILED(result = wic->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
        FAILED(result = encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) ||
        FAILED(result = encoder->CreateNewFrame(frame.put(), options.put())) ||
        FAILED(result = frame->Initialize(options.p)) || FAILED(result = frame->SetSize(image->width, image->height)) ||
        FAILED(result = frame->SetPixelFormat(&format)))
        return failWith(image, "cannot encode", result);
    const unsigned channels = alpha ? 4 : 3;
    const UINT stride = (image->width * channels + 3) & ~3u;
    std::vector<uint8_t> rows(size_t(stride) * image->height);
    const auto* in = static_cast<const uint8_t*>(buffer);
    for (UINT y = 0; y < image->height; ++y) {
        for (UINT x = 0; x < image->width; ++x) {
            const uint8_t* p = in + (size_t(y) * image->width + x) * channels;
            uint8_t* o = rows.data() + size_t(y) * stride + size_t(x) * channels;
            o[0] = p[2];
            o[1] = p[1];
            o[2] = p[0];
            if (alpha)
                o[3] = p[3];
        }
    }
    if (FAILED(result = frame->WritePixels(image->height, stride, static_cast<UINT>(rows.size()), rows.data())) ||
        FAILED(result = frame->Commit()) || FAILED(result = encoder->Commit()))
        return failWith(image, "cannot write", result);
    return 1;
}
