// The texture upload one pixel at a time: an 8-bit RGBA or RGB source pixel
// into a surface pixel of each mode, and its alpha into the alpha surface.
// Each mode is a policy type, so the loops carry no decisions. The portable
// upload kernels are these loops; the vector kernels use them for the pixels
// after a row's last whole vector. Internal linkage, like PixelFormats.h: the
// header is compiled into the vector sources with their own flags.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/PixelFormats.h"
#include "pixel/RgbMode.h"

namespace ZorvUISystem {
namespace {

// Colour scaled by alpha for 555, 565, 24 and 32: alpha 0 gives 0, alpha 255
// keeps the colour.
struct FoldByAlphaPlusOne {
    static uint32_t fold(uint32_t c, uint32_t a) { return (c * (a + 1)) >> 8; }
};

// Colour scaled by alpha for other 16-bit layouts and the palette path.
struct FoldByAlpha {
    static uint32_t fold(uint32_t c, uint32_t a) { return (c * a) >> 8; }
};

struct Texel {
    uint32_t r;
    uint32_t g;
    uint32_t b;
    uint32_t a;
};

template <bool Rgba, class Fold> inline Texel readTexel(const uint8_t* s)
{
    if constexpr (Rgba) {
        const uint32_t a = s[3];
        return {Fold::fold(s[0], a), Fold::fold(s[1], a), Fold::fold(s[2], a), a};
    } else {
        return {s[0], s[1], s[2], 0xFF};
    }
}

// 565 and 555: the top bits of each channel.
template <uint32_t RedKeep, int RedShift, uint32_t GreenKeep, int GreenShift> struct Packed16Mode {
    static constexpr size_t kBytes = 2;
    using Fold = FoldByAlphaPlusOne;

    static uint32_t pack(const Texel& t)
    {
        return (t.r & RedKeep) << RedShift | (t.g & GreenKeep) << GreenShift | t.b >> 3;
    }

    template <bool Rgba, bool Separate> void store(uint8_t* c, uint8_t* alpha, const Texel& t) const
    {
        store16(c, pack(t));
        if constexpr (Rgba && Separate)
            alpha[0] = static_cast<uint8_t>(t.a);
    }
};

using Upload565 = Packed16Mode<0xF8, 8, 0xFC, 3>;
using Upload555 = Packed16Mode<0xF8, 7, 0xF8, 2>;

// Other 16-bit layouts: each channel placed by its mask. The placement of
// all 256 values of each channel is worked out once per upload.
struct UploadMasked {
    static constexpr size_t kBytes = 2;
    using Fold = FoldByAlpha;

    UploadMasked(uint32_t redMask, uint32_t greenMask, uint32_t blueMask)
    {
        for (uint32_t v = 0; v < 256; ++v) {
            uint32_t r = v, g = v, b = v;
            fitChannelToMask(redMask, r);
            fitChannelToMask(greenMask, g);
            fitChannelToMask(blueMask, b);
            red[v] = r;
            green[v] = g;
            blue[v] = b;
        }
    }

    template <bool Rgba, bool Separate> void store(uint8_t* c, uint8_t* alpha, const Texel& t) const
    {
        store16(c, red[t.r] | green[t.g] | blue[t.b]);
        if constexpr (Rgba && Separate)
            store16(alpha, t.a);
    }

    uint32_t red[256];
    uint32_t green[256];
    uint32_t blue[256];
};

struct Upload24 {
    static constexpr size_t kBytes = 3;
    using Fold = FoldByAlphaPlusOne;

    template <bool Rgba, bool Separate> void store(uint8_t* c, uint8_t* alpha, const Texel& t) const
    {
        store24(c, t.r << 16 | t.g << 8 | t.b);
        if constexpr (Rgba && Separate)
            alpha[0] = static_cast<uint8_t>(t.a);
    }
};

struct Upload32 {
    static constexpr size_t kBytes = 4;
    using Fold = FoldByAlphaPlusOne;

    template <bool Rgba, bool Separate> void store(uint8_t* c, uint8_t* alpha, const Texel& t) const
    {
        const uint32_t colour = t.r << 16 | t.g << 8 | t.b;
        if constexpr (!Rgba) {
            store32(c, 0xFF000000u | colour);
        } else if constexpr (!Separate) {
            store32(c, t.a << 24 | colour);
        } else {
            // The fourth byte belongs to the surface unless the texel is
            // fully transparent.
            const uint32_t fourth = t.a == 0 ? 0u : c[3];
            store32(c, fourth << 24 | colour);
            alpha[3] = static_cast<uint8_t>(t.a);
        }
    }
};

// Converts count pixels of one row. alpha is used only for RGBA sources with
// a separate alpha surface.
template <class Mode, bool Rgba, bool Separate>
inline void uploadPixelsPlain(const Mode& mode, const uint8_t* src, uint8_t* c, uint8_t* alpha, uint32_t count)
{
    constexpr size_t srcBytes = Rgba ? 4 : 3;
    for (uint32_t x = 0; x < count; ++x) {
        mode.template store<Rgba, Separate>(c, alpha, readTexel<Rgba, typename Mode::Fold>(src));
        src += srcBytes;
        c += Mode::kBytes;
        if constexpr (Rgba && Separate)
            alpha += Mode::kBytes;
    }
}

} // namespace
} // namespace ZorvUISystem
