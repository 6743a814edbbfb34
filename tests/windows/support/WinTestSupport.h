// Helpers of the Windows test programs: where the build put its files, text
// conversions, files and directories by UTF-16 path, and PNG bytes made with
// the Windows Imaging Component.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ZivWinTest {

// The directory of the running program, with a trailing backslash. The build
// puts ziv.dll, dll_logger.dll and the test programs there.
std::wstring programDirectory();

std::wstring widen(const std::string& utf8);
std::string toUtf8(const std::wstring& wide);

// A fresh directory under the system's temporary directory, with suffix in
// its name (any Unicode), removed with everything in it when the object goes.
class WideTempDirectory {
public:
    explicit WideTempDirectory(const std::wstring& suffix = L"");
    ~WideTempDirectory();
    WideTempDirectory(const WideTempDirectory&) = delete;
    WideTempDirectory& operator=(const WideTempDirectory&) = delete;

    // With a trailing backslash.
    const std::wstring& path() const { return d_path; }
    std::string utf8Path() const { return toUtf8(d_path); }

private:
    std::wstring d_path;
};

void writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::wstring& path);
void copyFile(const std::wstring& from, const std::wstring& to);

// An image file made by the Windows Imaging Component from 8-bit RGBA rows
// (top row first): PNG with or without its alpha channel, BMP (24-bit),
// JPEG, or TIFF (a format the image library does not take).
enum class EncodedFormat { PngRgba, PngRgb, Bmp24, Jpeg, Tiff };
std::vector<uint8_t> encodeImage(EncodedFormat format, uint32_t width, uint32_t height,
                                 const std::vector<uint8_t>& rgba);

// COM for the calling thread while the object lives.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT d_result;
};

} // namespace ZivWinTest
