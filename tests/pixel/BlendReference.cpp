#include "BlendReference.h"

#include <algorithm>

namespace reference {

namespace {

struct ChannelField {
    int pos;
    int width;
};

// Red, green, blue fields of the fixed 16-bit modes.
const ChannelField kFields555[3] = {{10, 5}, {5, 5}, {0, 5}};
const ChannelField kFields565[3] = {{11, 5}, {5, 6}, {0, 5}};

int64_t field(uint32_t pixel, ChannelField f)
{
    return (pixel >> f.pos) & ((1u << f.width) - 1u);
}

uint32_t bytesPerPixel(uint32_t mode)
{
    return mode <= 2 ? 2 : mode == 3 ? 3 : 4;
}

uint32_t readPixel(const View& v, uint32_t x, uint32_t y, uint32_t bpp)
{
    const uint8_t* p = v.bytes->data() + v.origin + static_cast<ptrdiff_t>(y) * v.pitch + x * bpp;
    uint32_t value = 0;
    for (uint32_t i = 0; i < bpp; ++i)
        value |= static_cast<uint32_t>(p[i]) << (8 * i);
    return value;
}

void writePixel(const View& v, uint32_t x, uint32_t y, uint32_t bpp, uint32_t value)
{
    uint8_t* p = v.bytes->data() + v.origin + static_cast<ptrdiff_t>(y) * v.pitch + x * bpp;
    for (uint32_t i = 0; i < bpp; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

int64_t byteOf(uint32_t pixel, int index)
{
    return (pixel >> (8 * index)) & 0xFF;
}

uint32_t lowestBit(uint32_t mask)
{
    for (uint32_t i = 0; i < 32; ++i)
        if ((mask >> i) & 1u)
            return i;
    return 0;
}

struct Params {
    int64_t a;
    int64_t f[3]; // red, green, blue
};

// blendModulated -----------------------------------------------------------

uint32_t modulatedTwoPixelForm(uint32_t s, uint32_t t, const ChannelField* fields, const Params& p)
{
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c) {
        const int64_t sv = field(s, fields[c]), tv = field(t, fields[c]), f = p.f[c], a = p.a;
        const int64_t m = floorDiv((sv + 64) * f, 256) - floorDiv(f, 4);
        const int64_t rv = tv + floorDiv((m - tv + 64) * a, 256) - floorDiv(a, 4);
        r |= static_cast<uint32_t>(rv) << fields[c].pos;
    }
    return r;
}

uint32_t modulatedOnePixelForm(uint32_t s, uint32_t t, const ChannelField* fields, const Params& p)
{
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c) {
        const int64_t sv = field(s, fields[c]), tv = field(t, fields[c]);
        const int64_t m = floorDiv(sv * p.f[c], 256);
        const int64_t rv = tv + floorDiv(p.a * (m - tv), 256);
        r |= static_cast<uint32_t>(rv) << fields[c].pos;
    }
    return r;
}

uint32_t modulatedMasks(uint32_t s, uint32_t t, const Call& call, const Params& p)
{
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c) {
        const int64_t ms = call.sourceMasks[c], md = call.destinationMasks[c];
        const int64_t tpos = t & md;
        const int64_t mpos = floorDiv((s & ms) * p.f[c], 256) & ms;
        r |= static_cast<uint32_t>((floorDiv((mpos - tpos) * p.a, 256) + tpos) & md);
    }
    return r & 0xFFFF;
}

// Modes 3 and 4 take the factor of each byte's channel: byte 0 blue, 1 green, 2 red.
uint32_t modulatedBytes(uint32_t s, uint32_t t, const Params& p, bool clearFourth)
{
    uint32_t r = clearFourth ? 0 : (t & 0xFF000000u);
    for (int b = 0; b < 3; ++b) {
        const int64_t m = floorDiv(byteOf(s, b) * p.f[2 - b], 256);
        const int64_t tv = byteOf(t, b);
        r |= static_cast<uint32_t>(tv + floorDiv(p.a * (m - tv), 256)) << (8 * b);
    }
    return r;
}

// Halving ------------------------------------------------------------------

uint32_t halfFields(uint32_t s, uint32_t t, const ChannelField* fields)
{
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c)
        r |= static_cast<uint32_t>(floorDiv(field(t, fields[c]), 2) + floorDiv(field(s, fields[c]), 2))
             << fields[c].pos;
    return r;
}

uint32_t halfKeyMasks(uint32_t s, uint32_t t, const uint32_t* masks)
{
    uint32_t k = 0;
    for (int c = 0; c < 3; ++c) {
        const uint32_t m = masks[c] & 0xFFFF;
        k |= (m << 1) & m;
    }
    return (((s >> 1) & (k >> 1)) + ((t >> 1) & (k >> 1))) & 0xFFFF;
}

uint32_t half16(uint32_t s, uint32_t t, const Call& call)
{
    if (call.mode == 0)
        return halfFields(s, t, kFields555);
    if (call.mode == 1)
        return halfFields(s, t, kFields565);
    return halfKeyMasks(s, t, call.destinationMasks);
}

uint32_t halfBytes(uint32_t s, uint32_t t)
{
    uint32_t r = 0;
    for (int b = 0; b < 3; ++b)
        r |= static_cast<uint32_t>(floorDiv(byteOf(t, b), 2) + floorDiv(byteOf(s, b), 2)) << (8 * b);
    return r;
}

// Constant alpha -------------------------------------------------------------

uint32_t alphaFields(uint32_t s, uint32_t t, const ChannelField* fields, int64_t a)
{
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c) {
        const int64_t sv = field(s, fields[c]), tv = field(t, fields[c]);
        r |= static_cast<uint32_t>(tv + floorDiv(a * (sv - tv), 256)) << fields[c].pos;
    }
    return r;
}

// Group pixels of mode 2: both fields through the destination masks.
uint32_t alphaGroupMasks(uint32_t s, uint32_t t, const uint32_t* masks, int64_t a)
{
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c) {
        const uint32_t m = masks[c] & 0xFFFF;
        const uint32_t shift = lowestBit(m);
        const int64_t sv = (s & m) >> shift, tv = (t & m) >> shift;
        r |= static_cast<uint32_t>(tv + floorDiv(a * (sv - tv), 256)) << shift;
    }
    return r & 0xFFFF;
}

// Rest pixels of mode 2: in place, source through the source masks.
uint32_t alphaRestMasks(uint32_t s, uint32_t t, const Call& call, int64_t a)
{
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c) {
        const int64_t spos = s & call.sourceMasks[c], tpos = t & call.destinationMasks[c];
        r |= static_cast<uint32_t>((floorDiv((spos - tpos) * a, 256) + tpos) & call.destinationMasks[c]);
    }
    return r & 0xFFFF;
}

uint32_t alphaSplitBytes(uint32_t s, uint32_t t, int64_t a)
{
    uint32_t r = t & 0xFF000000u;
    for (int b = 0; b < 3; ++b) {
        const int64_t sv = byteOf(s, b), tv = byteOf(t, b);
        r |= static_cast<uint32_t>(tv + floorDiv(sv * a, 256) - floorDiv(tv * a, 256)) << (8 * b);
    }
    return r;
}

uint32_t alphaOnePixelBytes(uint32_t s, uint32_t t, int64_t a)
{
    uint32_t r = 0; // fourth byte written as 0
    for (int b = 0; b < 3; ++b) {
        const int64_t sv = byteOf(s, b), tv = byteOf(t, b);
        r |= static_cast<uint32_t>(tv + floorDiv(a * (sv - tv), 256)) << (8 * b);
    }
    return r;
}

// blendTexelAlpha: r = min(v, round(s G / 255) + round(t (255 - beta) / 255))
// with G = round(f A / 255) and beta = round(alpha A / 255).
int64_t round255(int64_t x)
{
    return floorDiv(2 * x + 255, 510);
}

int64_t over(int64_t s, int64_t t, int64_t g, int64_t beta, int64_t v)
{
    return std::min(v, round255(s * g) + round255(t * (255 - beta)));
}

uint32_t texelAlphaPixel(uint32_t s, uint32_t t, int64_t texelAlpha, const Call& call, const Params& p)
{
    const int64_t a = std::min<int64_t>(p.a, 255);
    const int64_t beta = round255(texelAlpha * a);
    int64_t g[3];
    for (int c = 0; c < 3; ++c)
        g[c] = round255(p.f[c] * a);
    uint32_t r = 0;
    if (call.mode >= 3) {
        for (int b = 0; b < 3; ++b)
            r |= static_cast<uint32_t>(over(byteOf(s, b), byteOf(t, b), g[2 - b], beta, 255)) << (8 * b);
        if (call.mode == 4)
            r |= static_cast<uint32_t>(over(texelAlpha, byteOf(t, 3), a, beta, 255)) << 24;
        return r;
    }
    for (int c = 0; c < 3; ++c) {
        ChannelField sf, df;
        if (call.mode == 2) {
            const uint32_t ms = call.sourceMasks[c] & 0xFFFF, md = call.destinationMasks[c] & 0xFFFF;
            sf = {static_cast<int>(lowestBit(ms)), 16};
            df = {static_cast<int>(lowestBit(md)), 16};
            const int64_t sv = (s & ms) >> sf.pos, tv = (t & md) >> df.pos;
            r |= static_cast<uint32_t>(over(sv, tv, g[c], beta, md >> df.pos) << df.pos) & md;
        } else {
            df = (call.mode == 0 ? kFields555 : kFields565)[c];
            const int64_t v = (1 << df.width) - 1;
            r |= static_cast<uint32_t>(over(field(s, df), field(t, df), g[c], beta, v)) << df.pos;
        }
    }
    return r;
}

} // namespace

const char* kernelName(Kernel kernel)
{
    switch (kernel) {
    case Kernel::Modulated:
        return "blendModulated";
    case Kernel::Half:
        return "blendHalf";
    case Kernel::AlphaMmx:
        return "blendAlphaMmx";
    case Kernel::HalfMmx:
        return "blendHalfMmx";
    case Kernel::TexelAlpha:
        return "blendTexelAlpha";
    }
    return "?";
}

int64_t floorDiv(int64_t numerator, int64_t denominator)
{
    int64_t q = numerator / denominator;
    if (numerator % denominator != 0 && ((numerator < 0) != (denominator < 0)))
        --q;
    return q;
}

int32_t apply(const Call& call, const View& source, const View& destination)
{
    if (call.mode > 4)
        return -1;
    const uint32_t mode = call.mode;
    const uint32_t bpp = bytesPerPixel(mode);
    Params p;
    p.a = std::clamp<int64_t>(call.alpha, 0, 256);
    p.f[0] = std::min<uint32_t>(call.red, 255);
    p.f[1] = std::min<uint32_t>(call.green, 255);
    p.f[2] = std::min<uint32_t>(call.blue, 255);
    const ChannelField* fields = mode == 0 ? kFields555 : kFields565;
    const uint32_t w = call.width;
    const uint32_t pairEnd = w / 2 * 2;  // pixels before this index belong to pairs
    const uint32_t groupEnd = w / 4 * 4; // pixels before this index belong to groups of four

    for (uint32_t y = 0; y < call.height; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t s = readPixel(source, x, y, bpp);
            const uint32_t t = readPixel(destination, x, y, bpp);
            const bool transparent = (s & 0xFFFFFF) == 0; // 16-bit pixels have no higher bits
            const bool inPair = x < pairEnd;
            uint32_t r = t;
            switch (call.kernel) {
            case Kernel::Modulated:
                if (transparent)
                    break;
                if (mode <= 1)
                    r = inPair ? modulatedTwoPixelForm(s, t, fields, p) : modulatedOnePixelForm(s, t, fields, p);
                else if (mode == 2)
                    r = modulatedMasks(s, t, call, p);
                else
                    r = modulatedBytes(s, t, p, mode == 4);
                break;
            case Kernel::Half:
                if (mode <= 2) {
                    const uint32_t partner = inPair ? readPixel(source, x ^ 1, y, bpp) : 0;
                    if (transparent && partner == 0)
                        break;
                    // A transparent half of a pair is replaced by its destination pixel.
                    r = half16(transparent ? t : s, t, call);
                } else if (!transparent) {
                    r = halfBytes(s, t);
                }
                break;
            case Kernel::HalfMmx:
                if (transparent)
                    break;
                r = mode <= 2 ? half16(s, t, call) : halfBytes(s, t);
                break;
            case Kernel::TexelAlpha: {
                const int64_t texelAlpha = byteOf(readPixel(call.alphaSurface, x, y, bpp), mode == 4 ? 3 : 0);
                if (texelAlpha != 0)
                    r = texelAlphaPixel(s, t, texelAlpha, call, p);
                break;
            }
            case Kernel::AlphaMmx:
                if (transparent)
                    break;
                if (mode <= 1)
                    r = alphaFields(s, t, fields, p.a);
                else if (mode == 2)
                    r = x < groupEnd ? alphaGroupMasks(s, t, call.destinationMasks, p.a)
                                     : alphaRestMasks(s, t, call, p.a);
                else if (mode == 3)
                    r = alphaSplitBytes(s, t, p.a) & 0xFFFFFF;
                else
                    r = inPair ? alphaSplitBytes(s, t, p.a) : alphaOnePixelBytes(s, t, p.a);
                break;
            }
            writePixel(destination, x, y, bpp, r);
        }
    }
    return 0;
}

} // namespace reference
