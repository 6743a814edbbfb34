// Pixel formats as small traits types, the scalar channel formulas of the
// blend kernels, and unaligned little-endian pixel access. Everything here
// has internal linkage: the header is also compiled into the vector kernel
// sources with their own instruction-set flags, and no copy of these helpers
// may leak from one of them into code that runs on any processor.
#pragma once

#include <cstdint>
#include <cstring>

namespace ZorvUISystem {
namespace {

// One colour channel of a packed 16-bit pixel.
struct Field {
    uint32_t position; // lowest bit
    uint32_t width;    // bits
    constexpr uint32_t valueMask() const { return (1u << width) - 1u; }
    constexpr uint32_t mask() const { return valueMask() << position; }
    constexpr uint32_t extract(uint32_t pixel) const { return (pixel >> position) & valueMask(); }
};

// A 16-bit layout with fixed channel fields (red, green, blue).
template <uint32_t RedPosition, uint32_t RedWidth, uint32_t GreenPosition, uint32_t GreenWidth, uint32_t BluePosition,
          uint32_t BlueWidth>
struct Packed16Format {
    static constexpr uint32_t kBytes = 2;
    static constexpr Field kRed{RedPosition, RedWidth};
    static constexpr Field kGreen{GreenPosition, GreenWidth};
    static constexpr Field kBlue{BluePosition, BlueWidth};
    static constexpr uint32_t kColourMask = kRed.mask() | kGreen.mask() | kBlue.mask();
    // Each field without its lowest bit: halving a pixel under this mask
    // moves no bit from one field into the next.
    static constexpr uint32_t kHalvingMask =
        kColourMask & ~(1u << RedPosition | 1u << GreenPosition | 1u << BluePosition);
};

using Format555 = Packed16Format<10, 5, 5, 5, 0, 5>; // bit 15 is not a channel
using Format565 = Packed16Format<11, 5, 5, 6, 0, 5>;

// 24- and 32-bit pixels: bytes blue, green, red, then (32-bit) a fourth byte.
template <uint32_t Bytes> struct ByteFormat {
    static constexpr uint32_t kBytes = Bytes;
    static constexpr uint32_t kBlueByte = 0;
    static constexpr uint32_t kGreenByte = 1;
    static constexpr uint32_t kRedByte = 2;
    static constexpr uint32_t kColourMask = 0x00FFFFFFu;
};

using Format24 = ByteFormat<3>;
using Format32 = ByteFormat<4>;

// Pixel memory is little-endian and may sit at any address.
inline uint32_t load16(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store16(uint8_t* p, uint32_t v)
{
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, sizeof w);
}
inline uint32_t load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store32(uint8_t* p, uint32_t v)
{
    std::memcpy(p, &v, sizeof v);
}
// Exactly three bytes: the byte after a 24-bit pixel is never touched.
inline uint32_t load24(const uint8_t* p)
{
    return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
}
inline void store24(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
}

// Channel formulas. s is the source value, t the destination value, f a
// colour factor (0-255), a the clamped alpha (0-256). Right shifts of
// negative values are arithmetic, so >> 8 is floor division by 256.

// One-pixel form: m = floor(s f / 256), r = t + floor(a (m - t) / 256).
constexpr int32_t modulateOnePixel(int32_t s, int32_t f)
{
    return (s * f) >> 8;
}
constexpr int32_t blendOnePixel(int32_t t, int32_t m, int32_t a)
{
    return t + ((a * (m - t)) >> 8);
}

// Two-pixel form, exact at f = 255 and a = 255 or 256:
// m = floor((s f + 64 (f mod 4)) / 256), r = t + floor((a (m - t) + 64 (a mod 4)) / 256).
constexpr int32_t modulateTwoPixel(int32_t s, int32_t f)
{
    return (s * f + 64 * (f & 3)) >> 8;
}
constexpr int32_t blendTwoPixel(int32_t t, int32_t m, int32_t a)
{
    return t + ((a * (m - t) + 64 * (a & 3)) >> 8);
}

// The byte form of the vector alpha blend: r = t + floor(s a / 256) - floor(t a / 256).
constexpr int32_t blendSplitProducts(int32_t t, int32_t s, int32_t a)
{
    return t + ((s * a) >> 8) - ((t * a) >> 8);
}

// The texel-alpha blend (soft edges): source-over with premultiplied colour.
// Per call, with the constant alpha A (0-255) and a channel's factor f:
// G = round(f A / 255), the weight of that channel's source. Per texel, with
// its alpha b: beta = round(b A / 255), and per channel
//   r = min(v, round(s G / 255) + round(t (255 - beta) / 255)),
// v the channel's largest value. round(x / 255) is (x + 127) / 255 in
// integers (x / 255 is never half-way).
constexpr uint32_t divideRounded255(uint32_t x)
{
    return (x + 127) / 255;
}
constexpr uint32_t overChannel(uint32_t s, uint32_t t, uint32_t sourceWeight, uint32_t beta, uint32_t largest)
{
    const uint32_t r = divideRounded255(s * sourceWeight) + divideRounded255(t * (255 - beta));
    return r < largest ? r : largest;
}

// The 50 % blend of three colour bytes: floor(t / 2) + floor(s / 2) per byte,
// fourth byte 0.
constexpr uint32_t halveColourBytes(uint32_t s, uint32_t t)
{
    return ((s >> 1) & 0x7F7F7Fu) + ((t >> 1) & 0x7F7F7Fu);
}

// Each of the three masks (low 16 bits) without its lowest bit of each run:
// K = ((R << 1) & R) | ((G << 1) & G) | ((B << 1) & B).
constexpr uint32_t halvingKeyOf(const uint32_t masks[3])
{
    uint32_t k = 0;
    for (int c = 0; c < 3; ++c) {
        const uint32_t m = masks[c] & 0xFFFFu;
        k |= (m << 1) & m;
    }
    return k;
}

// The halving key of a 16-bit mode: 0x7BDE (mode 0), 0xF7DE (mode 1), or K
// from the destination's masks (mode 2). A pixel is halved by shifting it
// right by one and ANDing it with K >> 1.
constexpr uint32_t halvingKeyOfMode(uint32_t mode, const uint32_t destinationMasks[3])
{
    return mode == 0 ? Format555::kHalvingMask : mode == 1 ? Format565::kHalvingMask : halvingKeyOf(destinationMasks);
}

// Index of the lowest set bit of a 16-bit lane mask; 0 for an empty mask.
constexpr uint32_t lowestSetBit(uint32_t mask16)
{
    if (mask16 == 0)
        return 0;
    uint32_t i = 0;
    while (((mask16 >> i) & 1u) == 0)
        ++i;
    return i;
}

// The constant-alpha blend of one 16-bit pixel as the vector instructions
// compute it: per channel, 16-bit lanes, wrapping subtraction, the low 16
// bits of the signed product, arithmetic shift right 8. Per channel this is
// r = t + floor(a (s - t) / 256) for fields of up to 7 bits.
struct LaneChannel {
    uint32_t mask;  // 16-bit field mask
    uint32_t shift; // its lowest bit
};

inline uint32_t alphaBlendLanes(uint32_t s, uint32_t t, const LaneChannel (&channels)[3], int32_t a)
{
    uint32_t result = 0;
    for (const LaneChannel& ch : channels) {
        const uint32_t tc = (t & ch.mask) >> ch.shift;
        const uint32_t sc = (s & ch.mask) >> ch.shift;
        const int16_t d = static_cast<int16_t>(static_cast<uint16_t>(sc - tc));
        const int16_t product = static_cast<int16_t>(static_cast<uint16_t>(d * a));
        const uint32_t rc = static_cast<uint16_t>((product >> 8) + static_cast<int32_t>(tc));
        result |= (rc << ch.shift) & 0xFFFFu;
    }
    return result;
}

} // namespace
} // namespace ZorvUISystem
