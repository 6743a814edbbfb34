#include "WinTestSupport.h"

#include <objbase.h>
#include <wincodec.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace ZivWinTest {

namespace {

[[noreturn]] void fail(const std::string& what, HRESULT result)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(result));
    throw std::runtime_error(what + " failed (" + code + ")");
}

void check(const char* what, HRESULT result)
{
    if (FAILED(result))
        fail(what, result);
}

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

} // namespace

std::wstring programDirectory()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            throw std::runtime_error("GetModuleFileNameW failed");
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring widen(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

std::string toUtf8(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

WideTempDirectory::WideTempDirectory(const std::wstring& suffix)
{
    wchar_t base[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, base);
    if (length == 0 || length > MAX_PATH)
        throw std::runtime_error("GetTempPathW failed");
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring candidate = std::wstring(base) + L"ziv-win-" + std::to_wstring(GetCurrentProcessId()) +
                                       L"-" + std::to_wstring(counter++) + suffix;
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            d_path = candidate + L"\\";
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    throw std::runtime_error("cannot create a temporary directory");
}

WideTempDirectory::~WideTempDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(d_path), ignored);
}

void writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + toUtf8(path));
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != bytes.size())
        throw std::runtime_error("cannot write " + toUtf8(path));
}

std::vector<uint8_t> readFile(const std::wstring& path)
{
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + toUtf8(path));
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    const BOOL ok = bytes.empty() || ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    if (!ok || read != bytes.size())
        throw std::runtime_error("cannot read " + toUtf8(path));
    return bytes;
}

void copyFile(const std::wstring& from, const std::wstring& to)
{
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + toUtf8(from) + " to " + toUtf8(to));
}

ComApartment::ComApartment() : d_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

ComApartment::~ComApartment()
{
    if (SUCCEEDED(d_result))
        CoUninitialize();
}

std::vector<uint8_t> encodeImage(EncodedFormat format, uint32_t width, uint32_t height,
                                 const std::vector<uint8_t>& rgba)
{
    if (rgba.size() != size_t(width) * height * 4)
        throw std::invalid_argument("encodeImage: the pixels do not fill the size");
    const ComApartment com;
    Released<IWICImagingFactory> factory;
    check("CoCreateInstance(WICImagingFactory)",
          CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           reinterpret_cast<void**>(factory.put())));
    Released<IStream> stream;
    check("CreateStreamOnHGlobal", CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    Released<IWICBitmapEncoder> encoder;
    const GUID container = format == EncodedFormat::Bmp24  ? GUID_ContainerFormatBmp
                           : format == EncodedFormat::Jpeg ? GUID_ContainerFormatJpeg
                           : format == EncodedFormat::Tiff ? GUID_ContainerFormatTiff
                                                           : GUID_ContainerFormatPng;
    check("CreateEncoder", factory->CreateEncoder(container, nullptr, encoder.put()));
    check("IWICBitmapEncoder::Initialize", encoder->Initialize(stream.p, WICBitmapEncoderNoCache));
    Released<IWICBitmapFrameEncode> frame;
    Released<IPropertyBag2> options;
    check("CreateNewFrame", encoder->CreateNewFrame(frame.put(), options.put()));
    check("IWICBitmapFrameEncode::Initialize", frame->Initialize(options.p));
    check("SetSize", frame->SetSize(width, height));

    const bool alpha = format == EncodedFormat::PngRgba;
    WICPixelFormatGUID pixelFormat = alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    const WICPixelFormatGUID wanted = pixelFormat;
    check("SetPixelFormat", frame->SetPixelFormat(&pixelFormat));
    if (std::memcmp(&pixelFormat, &wanted, sizeof wanted) != 0)
        throw std::runtime_error("the encoder does not take the pixel format");

    const uint32_t bytes = alpha ? 4 : 3;
    const uint32_t stride = (width * bytes + 3) & ~3u;
    std::vector<uint8_t> rows(size_t(stride) * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* in = &rgba[(size_t(y) * width + x) * 4];
            uint8_t* out = &rows[size_t(y) * stride + size_t(x) * bytes];
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (alpha)
                out[3] = in[3];
        }
    }
    check("WritePixels", frame->WritePixels(height, stride, static_cast<UINT>(rows.size()), rows.data()));
    check("IWICBitmapFrameEncode::Commit", frame->Commit());
    check("IWICBitmapEncoder::Commit", encoder->Commit());

    LARGE_INTEGER zero{};
    ULARGE_INTEGER end{};
    check("IStream::Seek", stream->Seek(zero, STREAM_SEEK_END, &end));
    check("IStream::Seek", stream->Seek(zero, STREAM_SEEK_SET, nullptr));
    std::vector<uint8_t> encoded(static_cast<size_t>(end.QuadPart));
    ULONG read = 0;
    check("IStream::Read", stream->Read(encoded.data(), static_cast<ULONG>(encoded.size()), &read));
    encoded.resize(read);
    return encoded;
}

} // namespace ZivWinTest
