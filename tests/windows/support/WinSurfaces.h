// Wine's DirectDraw for the test programs: the DirectDraw object, off-screen
// surfaces in system memory of a given RGB layout, and their pixels.
#pragma once

#include <windows.h>

#include <ddraw.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace ZivWinTest {

struct RgbLayout {
    DWORD bits;
    DWORD red, green, blue;
};
constexpr RgbLayout kRgb565{16, 0xF800, 0x07E0, 0x001F};
constexpr RgbLayout kRgb555{16, 0x7C00, 0x03E0, 0x001F};
constexpr RgbLayout kRgb24{24, 0xFF0000, 0x00FF00, 0x0000FF};
constexpr RgbLayout kRgb32{32, 0xFF0000, 0x00FF00, 0x0000FF};

// An 8-bit colour as a pixel of the layout: each channel's top bits.
uint32_t packRgb(const RgbLayout& layout, uint8_t red, uint8_t green, uint8_t blue);

// DirectDrawCreate and the normal cooperative level; released at the end.
class DirectDrawObject {
public:
    DirectDrawObject();
    ~DirectDrawObject();
    DirectDrawObject(const DirectDrawObject&) = delete;
    DirectDrawObject& operator=(const DirectDrawObject&) = delete;

    // Null when DirectDrawCreate or SetCooperativeLevel failed.
    IDirectDraw* get() const { return d_directDraw; }
    HRESULT result() const { return d_result; }

private:
    IDirectDraw* d_directDraw = nullptr;
    HRESULT d_result = 0;
};

// An off-screen surface in system memory, released at the end.
class OwnedSurface {
public:
    OwnedSurface(IDirectDraw* directDraw, DWORD width, DWORD height, const RgbLayout& layout);
    ~OwnedSurface();
    OwnedSurface(const OwnedSurface&) = delete;
    OwnedSurface& operator=(const OwnedSurface&) = delete;

    IDirectDrawSurface* get() const { return d_surface; }
    HRESULT result() const { return d_result; }

    // Row-major pixel values (the pixel's bytes, little-endian).
    std::vector<uint32_t> read() const;
    void write(const std::function<uint32_t(DWORD x, DWORD y)>& pixel);
    void fill(uint32_t value)
    {
        write([value](DWORD, DWORD) { return value; });
    }

private:
    IDirectDrawSurface* d_surface = nullptr;
    HRESULT d_result = 0;
};

} // namespace ZivWinTest
