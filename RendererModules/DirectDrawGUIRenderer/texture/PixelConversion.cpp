// The upload's pixel conversion. Each mode is a policy type; the loops are
// instantiated once per mode, source layout and alpha placement, so the pixel
// loops carry no decisions. The 16-bit and 32-bit RGBA loops, which every
// skin image goes through, also have SSE2 versions that compute exactly the
// same values eight (16-bit) or four (32-bit) pixels at a time.
#include "texture/PixelConversion.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ZIV_UPLOAD_SSE2 1
#else
#define ZIV_UPLOAD_SSE2 0
#endif

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

// Pixel memory is little-endian whatever the processor.
inline void store16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void store32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// 565 and 555: the top bits of each channel.
template <uint32_t RedKeep, int RedShift, uint32_t GreenKeep, int GreenShift> struct Packed16Mode {
    static constexpr size_t kBytes = 2;
    static constexpr uint32_t kRedKeep = RedKeep;
    static constexpr int kRedShift = RedShift;
    static constexpr uint32_t kGreenKeep = GreenKeep;
    static constexpr int kGreenShift = GreenShift;
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

using Mode565 = Packed16Mode<0xF8, 8, 0xFC, 3>;
using Mode555 = Packed16Mode<0xF8, 7, 0xF8, 2>;

// Other 16-bit layouts: each channel placed by its mask. The placement of
// all 256 values of each channel is worked out once per upload.
struct MaskedMode {
    static constexpr size_t kBytes = 2;
    using Fold = FoldByAlpha;

    MaskedMode(uint32_t redMask, uint32_t greenMask, uint32_t blueMask)
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

struct Mode24 {
    static constexpr size_t kBytes = 3;
    using Fold = FoldByAlphaPlusOne;

    template <bool Rgba, bool Separate> void store(uint8_t* c, uint8_t* alpha, const Texel& t) const
    {
        c[0] = static_cast<uint8_t>(t.b);
        c[1] = static_cast<uint8_t>(t.g);
        c[2] = static_cast<uint8_t>(t.r);
        if constexpr (Rgba && Separate)
            alpha[0] = static_cast<uint8_t>(t.a);
    }
};

struct Mode32 {
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

template <class Mode, bool Rgba, bool Separate>
inline void convertRowPlain(const Mode& mode, const uint8_t* src, uint8_t* c, uint8_t* alpha, uint32_t from,
                            uint32_t width)
{
    constexpr size_t srcBytes = Rgba ? 4 : 3;
    src += from * srcBytes;
    c += from * Mode::kBytes;
    if constexpr (Rgba && Separate)
        alpha += from * Mode::kBytes;
    for (uint32_t x = from; x < width; ++x) {
        mode.template store<Rgba, Separate>(c, alpha, readTexel<Rgba, typename Mode::Fold>(src));
        src += srcBytes;
        c += Mode::kBytes;
        if constexpr (Rgba && Separate)
            alpha += Mode::kBytes;
    }
}

// Vector rows: answer how many leading pixels of the row they converted; the
// plain loop does the rest. By default none.
template <class Mode, bool Rgba, bool Separate> struct VectorRow {
    static uint32_t run(const uint8_t*, uint8_t*, uint8_t*, uint32_t) { return 0; }
};

#if ZIV_UPLOAD_SSE2

template <uint32_t RedKeep, int RedShift, uint32_t GreenKeep, int GreenShift, bool Separate>
struct VectorRow<Packed16Mode<RedKeep, RedShift, GreenKeep, GreenShift>, true, Separate> {
    static uint32_t run(const uint8_t* src, uint8_t* c, uint8_t* alpha, uint32_t width)
    {
        const __m128i lowByte32 = _mm_set1_epi32(0xFF);
        const __m128i one = _mm_set1_epi16(1);
        const __m128i redKeep = _mm_set1_epi16(static_cast<short>(RedKeep));
        const __m128i greenKeep = _mm_set1_epi16(static_cast<short>(GreenKeep));
        const __m128i highByte16 = _mm_set1_epi16(static_cast<short>(0xFF00));
        uint32_t x = 0;
        for (; x + 8 <= width; x += 8) {
            const __m128i p0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
            const __m128i p1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x + 16));
            // One channel of eight pixels per register, 16 bits a lane.
            __m128i r = _mm_packs_epi32(_mm_and_si128(p0, lowByte32), _mm_and_si128(p1, lowByte32));
            __m128i g = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(p0, 8), lowByte32),
                                        _mm_and_si128(_mm_srli_epi32(p1, 8), lowByte32));
            __m128i b = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(p0, 16), lowByte32),
                                        _mm_and_si128(_mm_srli_epi32(p1, 16), lowByte32));
            const __m128i a = _mm_packs_epi32(_mm_srli_epi32(p0, 24), _mm_srli_epi32(p1, 24));
            // c * (a + 1) is at most 255 * 256 and fits a 16-bit lane.
            const __m128i factor = _mm_add_epi16(a, one);
            r = _mm_srli_epi16(_mm_mullo_epi16(r, factor), 8);
            g = _mm_srli_epi16(_mm_mullo_epi16(g, factor), 8);
            b = _mm_srli_epi16(_mm_mullo_epi16(b, factor), 8);
            const __m128i pixels = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_and_si128(r, redKeep), RedShift),
                                                             _mm_slli_epi16(_mm_and_si128(g, greenKeep), GreenShift)),
                                                _mm_srli_epi16(b, 3));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(c + 2 * x), pixels);
            if constexpr (Separate) {
                __m128i* at = reinterpret_cast<__m128i*>(alpha + 2 * x);
                _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(at), highByte16), a));
            }
        }
        return x;
    }
};

template <bool Separate> struct VectorRow<Mode32, true, Separate> {
    static uint32_t run(const uint8_t* src, uint8_t* c, uint8_t* alpha, uint32_t width)
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i one = _mm_set1_epi16(1);
        const __m128i colourBytes = _mm_set1_epi32(0x00FFFFFF);
        const __m128i fourthByte = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        uint32_t x = 0;
        for (; x + 4 <= width; x += 4) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
            // Two pixels per register, their four channels in 16-bit lanes.
            __m128i lo = _mm_unpacklo_epi8(p, zero);
            __m128i hi = _mm_unpackhi_epi8(p, zero);
            const __m128i alphaLo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(lo, 0xFF), 0xFF);
            const __m128i alphaHi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(hi, 0xFF), 0xFF);
            lo = _mm_srli_epi16(_mm_mullo_epi16(lo, _mm_add_epi16(alphaLo, one)), 8);
            hi = _mm_srli_epi16(_mm_mullo_epi16(hi, _mm_add_epi16(alphaHi, one)), 8);
            // Red, green, blue become blue, green, red.
            constexpr int swap = _MM_SHUFFLE(3, 0, 1, 2);
            lo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(lo, swap), swap);
            hi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(hi, swap), swap);
            const __m128i colour = _mm_and_si128(_mm_packus_epi16(lo, hi), colourBytes);
            const __m128i alphaBytes = _mm_and_si128(p, fourthByte);
            __m128i* out = reinterpret_cast<__m128i*>(c + 4 * x);
            if constexpr (!Separate) {
                _mm_storeu_si128(out, _mm_or_si128(colour, alphaBytes));
            } else {
                const __m128i transparent = _mm_cmpeq_epi32(alphaBytes, zero);
                const __m128i kept = _mm_andnot_si128(transparent, _mm_and_si128(_mm_loadu_si128(out), fourthByte));
                _mm_storeu_si128(out, _mm_or_si128(colour, kept));
                __m128i* at = reinterpret_cast<__m128i*>(alpha + 4 * x);
                _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(at), colourBytes), alphaBytes));
            }
        }
        return x;
    }
};

#endif

template <class Mode, bool Rgba, bool Separate>
void convertRows(const Mode& mode, const UploadSource& source, const UploadTarget& target)
{
    const bool vectors = uploadVectorsEnabled();
    for (uint32_t y = 0; y < target.height; ++y) {
        const uint8_t* src = source.pixels + y * source.pitch;
        uint8_t* c = target.colour + y * target.colourPitch;
        uint8_t* alpha = (Rgba && Separate) ? target.alpha + y * target.alphaPitch : nullptr;
        const uint32_t done = vectors ? VectorRow<Mode, Rgba, Separate>::run(src, c, alpha, target.width) : 0;
        convertRowPlain<Mode, Rgba, Separate>(mode, src, c, alpha, done, target.width);
    }
}

template <class Mode> void convertWith(const Mode& mode, const UploadSource& source, const UploadTarget& target)
{
    if (!source.rgba)
        convertRows<Mode, false, false>(mode, source, target);
    else if (target.alpha == target.colour)
        convertRows<Mode, true, false>(mode, source, target);
    else
        convertRows<Mode, true, true>(mode, source, target);
}

std::atomic<int> g_vectorsEnabled{-1};

} // namespace

void convertPixels(RgbMode mode, const UploadSource& source, const UploadTarget& target)
{
    switch (mode) {
    case DDS_RGBMODE_565:
        convertWith(Mode565{}, source, target);
        break;
    case DDS_RGBMODE_555:
        convertWith(Mode555{}, source, target);
        break;
    case DDS_RGBMODE_16_OTHER:
        convertWith(MaskedMode(target.redMask, target.greenMask, target.blueMask), source, target);
        break;
    case DDS_RGBMODE_24:
        convertWith(Mode24{}, source, target);
        break;
    case DDS_RGBMODE_32:
        convertWith(Mode32{}, source, target);
        break;
    default:
        break;
    }
}

uint32_t paletteColour(const uint8_t* pixel, bool rgba)
{
    const Texel t = rgba ? readTexel<true, FoldByAlpha>(pixel) : readTexel<false, FoldByAlpha>(pixel);
    return t.r | t.g << 8 | t.b << 16;
}

bool uploadVectorsAvailable()
{
    return ZIV_UPLOAD_SSE2 != 0;
}

bool uploadVectorsEnabled()
{
    int state = g_vectorsEnabled.load(std::memory_order_relaxed);
    if (state < 0) {
        const char* setting = std::getenv("ZIV_SIMD");
        const bool off = setting && std::strcmp(setting, "none") == 0;
        state = (uploadVectorsAvailable() && !off) ? 1 : 0;
        g_vectorsEnabled.store(state, std::memory_order_relaxed);
    }
    return state != 0;
}

void setUploadVectorsEnabled(bool enabled)
{
    g_vectorsEnabled.store(enabled && uploadVectorsAvailable() ? 1 : 0, std::memory_order_relaxed);
}

} // namespace ZorvUISystem
