// Pixel formats of the software DirectDraw: the format record a surface
// carries, and one small traits type per storage size that the pixel loops
// are templated on.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <ddraw.h>

namespace zivdd {

static_assert(std::endian::native == std::endian::little, "pixel memory is little-endian");

// 4 bits per pixel: two pixels per byte, the left one in the high nibble.
struct Pixel4 {
    static constexpr unsigned bits = 4;
    static uint32_t get(const uint8_t* row, size_t x)
    {
        const uint8_t byte = row[x >> 1];
        return (x & 1) != 0 ? byte & 0x0Fu : byte >> 4;
    }
    static void put(uint8_t* row, size_t x, uint32_t value)
    {
        uint8_t& byte = row[x >> 1];
        if ((x & 1) != 0)
            byte = static_cast<uint8_t>((byte & 0xF0u) | (value & 0x0Fu));
        else
            byte = static_cast<uint8_t>((byte & 0x0Fu) | ((value & 0x0Fu) << 4));
    }
};

struct Pixel8 {
    static constexpr unsigned bits = 8;
    static uint32_t get(const uint8_t* row, size_t x) { return row[x]; }
    static void put(uint8_t* row, size_t x, uint32_t value) { row[x] = static_cast<uint8_t>(value); }
};

struct Pixel16 {
    static constexpr unsigned bits = 16;
    static uint32_t get(const uint8_t* row, size_t x)
    {
        uint16_t value;
        std::memcpy(&value, row + 2 * x, 2);
        return value;
    }
    static void put(uint8_t* row, size_t x, uint32_t value)
    {
        const uint16_t narrow = static_cast<uint16_t>(value);
        std::memcpy(row + 2 * x, &narrow, 2);
    }
};

// Blue, green, red in memory order: the low three bytes of the value.
struct Pixel24 {
    static constexpr unsigned bits = 24;
    static uint32_t get(const uint8_t* row, size_t x)
    {
        const uint8_t* p = row + 3 * x;
        return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    }
    static void put(uint8_t* row, size_t x, uint32_t value)
    {
        uint8_t* p = row + 3 * x;
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
        p[2] = static_cast<uint8_t>(value >> 16);
    }
};

struct Pixel32 {
    static constexpr unsigned bits = 32;
    static uint32_t get(const uint8_t* row, size_t x)
    {
        uint32_t value;
        std::memcpy(&value, row + 4 * x, 4);
        return value;
    }
    static void put(uint8_t* row, size_t x, uint32_t value) { std::memcpy(row + 4 * x, &value, 4); }
};

// Calls f with the traits object of a storage size (4, 8, 16, 24 or 32).
template <class F> decltype(auto) withPixel(unsigned bits, F&& f)
{
    switch (bits) {
    case 4:
        return f(Pixel4{});
    case 8:
        return f(Pixel8{});
    case 16:
        return f(Pixel16{});
    case 24:
        return f(Pixel24{});
    default:
        return f(Pixel32{});
    }
}

// A surface's pixel format as the stand-in works with it.
struct Format {
    DDPIXELFORMAT pf{}; // as reported by Lock and GetPixelFormat, dwSize 32
    unsigned bits = 0;  // 4, 8, 16, 24 or 32
    // The bits of a pixel that carry meaning: the colour and alpha masks, or
    // the palette index. Colour keys compare only these.
    uint32_t meaningful = 0;
    // The fields of a pixel, each a contiguous mask: red, green, blue and
    // alpha (when present), or the palette index alone.
    uint32_t fields[4] = {};
    unsigned fieldCount = 0;

    bool palettised() const { return (pf.dwFlags & (DDPF_PALETTEINDEXED8 | DDPF_PALETTEINDEXED4)) != 0; }
    // Bytes that hold the pixels of a row of `width` pixels.
    size_t rowBytes(size_t width) const { return (width * bits + 7) / 8; }
    // Every bit of a pixel: what a colour fill may write.
    uint32_t pixelMask() const { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1; }
    // Same storage and same meaning of every bit: blits copy pixels unchanged.
    bool sameLayout(const Format& other) const;
};

// RGB format from a bit count and masks (alpha 0: no alpha channel).
Format rgbFormat(unsigned bits, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha = 0);
// Palette-indexed format of 4 or 8 bits.
Format paletteFormat(unsigned bits);
// The format of a display mode of 8, 16 (565), 24 or 32 (XRGB) bits.
Format displayFormat(unsigned bitsPerPixel);
// Checks a requested pixel format and turns it into a Format: DD_OK,
// DDERR_INVALIDPARAMS (wrong dwSize) or DDERR_INVALIDPIXELFORMAT.
HRESULT formatFromRequest(const DDPIXELFORMAT& request, Format& format);

// Position and width of a contiguous mask.
struct Field {
    unsigned shift = 0;
    unsigned width = 0;
};
inline Field fieldOf(uint32_t mask)
{
    if (mask == 0)
        return {};
    return {static_cast<unsigned>(std::countr_zero(mask)), static_cast<unsigned>(std::popcount(mask))};
}

} // namespace zivdd
