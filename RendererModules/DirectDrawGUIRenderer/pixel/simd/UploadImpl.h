// The vector upload kernels, written once over a vector type `V` (the
// Upload*.cpp files define one per instruction set and compile this header
// with its flags). Everything has internal linkage. A V may give leave(),
// which every kernel calls after its last vector (EMMS for MMX).
//
// Memory contract: a kernel reads width pixels of each source row and writes
// the width pixels of each colour row, and for a separate alpha surface reads
// and writes the width pixels of each alpha row; rows are stepped by their
// pitches, and nothing in the pitch padding or after a row's last pixel is
// read or written: whole vectors of V::kPixels pixels while they fit in the
// row (2-byte pixels two vectors at a time first), each load and store
// exactly their pixels' bytes (3-byte pixels included), then the per-pixel
// conversions of UploadPixels.h for the rest. Any address; vectors are loaded
// and stored unaligned.
//
// V provides, on vectors R of kPixels 32-bit lanes: load/store (4-byte
// pixels), loadRgb<Swap> (3-byte pixels into lanes, byte 3 zero, the first
// and third byte exchanged when Swap), storeRgb (the low three bytes of each
// lane), load16/store16 (2-byte pixels, zero-extended / the low half of each
// lane), packLow16/packHigh16 (the low / high halves of the lanes of two
// vectors as 16-bit lanes, in an order that inOrder16 makes that of the
// pixels), set1, and_, or_, add16, srli32/slli32/srli16/slli16, mullo16
// (16-bit lanes), alphaPlusOne (a + 1 in both 16-bit halves of each lane,
// a = byte 3) and keepWhereNonzero(test, value) (value in the lanes where
// test is not 0). A V may also give storeFoldedRgba24(p, w) (RGBA pixels
// folded by alpha and stored as 3-byte pixels in one go) and
// storeAlphaFirst24(p, w) (their alpha bytes into the first byte of 3-byte
// pixels), used in place of the generic fold, loadRgb and storeRgb.
//
// Results equal the per-pixel conversions bit for bit: c (a + 1) >> 8 is at
// most 255 x 256 and is computed exactly in a 16-bit lane.
#pragma once

#include <type_traits>

#include "pixel/UploadKernels.h"
#include "pixel/UploadPixels.h"

namespace ZorvUISystem {
namespace {

template <class V> struct UploadVectors {
    using R = typename V::R;
    static constexpr uint32_t N = V::kPixels;

    // After a call's last vector: MMX hands its registers back to the
    // floating-point unit (EMMS); the wider sets have nothing to do.
    static void leave()
    {
        if constexpr (requires { V::leave(); })
            V::leave();
    }

    // The colour channels of a source vector w, folded by alpha for RGBA:
    // e holds red in bits 8-15 and blue in bits 24-31, o green in bits 8-15
    // (the other bits are not used).
    struct Channels {
        R e;
        R o;
    };
    template <bool Rgba> static Channels channels(R w)
    {
        if constexpr (Rgba) {
            const R factor = V::alphaPlusOne(w);
            return {V::mullo16(V::and_(w, V::set1(0x00FF00FFu)), factor), V::mullo16(V::template srli16<8>(w), factor)};
        } else {
            return {V::template slli32<8>(w), w};
        }
    }

    // Bytes blue, green, red of the folded channels, byte 3 zero.
    static R colourBytes(const Channels& ch)
    {
        return V::or_(V::or_(V::template srli32<24>(ch.e), V::and_(ch.o, V::set1(0xFF00u))),
                      V::template slli32<8>(V::and_(ch.e, V::set1(0xFF00u))));
    }

    template <bool Is565> static R packed16(const Channels& ch)
    {
        const R blue = V::template srli32<27>(ch.e);
        if constexpr (Is565)
            return V::or_(
                V::or_(V::and_(ch.e, V::set1(0xF800u)), V::and_(V::template srli32<5>(ch.o), V::set1(0x07E0u))), blue);
        else
            return V::or_(V::or_(V::and_(V::template srli32<1>(ch.e), V::set1(0x7C00u)),
                                 V::and_(V::template srli32<6>(ch.o), V::set1(0x03E0u))),
                          blue);
    }

    template <bool Rgba> static R loadSource(const uint8_t* src)
    {
        if constexpr (Rgba)
            return V::load(src);
        else
            return V::template loadRgb<false>(src);
    }

    // Row pointers of row y.
    struct Row {
        const uint8_t* src;
        uint8_t* c;
        uint8_t* alpha;
    };
    template <bool Separate> static Row row(const UploadJob& job, uint32_t y)
    {
        return {job.source + y * job.sourcePitch, job.colour + static_cast<ptrdiff_t>(y) * job.colourPitch,
                Separate ? job.alpha + static_cast<ptrdiff_t>(y) * job.alphaPitch : nullptr};
    }

    template <class Mode, bool Rgba, bool Separate> static void tail(const Row& r, uint32_t x, uint32_t width)
    {
        constexpr size_t srcBytes = Rgba ? 4 : 3;
        uploadPixelsPlain<Mode, Rgba, Separate>(Mode{}, r.src + x * srcBytes, r.c + x * Mode::kBytes,
                                                Separate ? r.alpha + x * Mode::kBytes : nullptr, width - x);
    }

    // Two vectors of RGBA pixels at once, one 16-bit lane a channel: the
    // fold, the packing and the alpha bytes all work on 2N pixels a vector.
    template <bool Is565, bool Separate> static void twoVectors16(const uint8_t* src, uint8_t* c, uint8_t* alpha)
    {
        const R w0 = V::load(src);
        const R w1 = V::load(src + 4 * N);
        const R lowBytes = V::set1(0x00FF00FFu);
        const R redGreen = V::inOrder16(V::packLow16(w0, w1));
        const R blueAlpha = V::inOrder16(V::packHigh16(w0, w1));
        const R a = V::template srli16<8>(blueAlpha);
        const R factor = V::add16(a, V::set1(0x00010001u));
        // Each product holds the folded channel in its high byte.
        const R red = V::mullo16(V::and_(redGreen, lowBytes), factor);
        const R green = V::mullo16(V::template srli16<8>(redGreen), factor);
        const R blue = V::mullo16(V::and_(blueAlpha, lowBytes), factor);
        R pixels;
        if constexpr (Is565)
            pixels = V::or_(
                V::or_(V::and_(red, V::set1(0xF800F800u)), V::and_(V::template srli16<5>(green), V::set1(0x07E007E0u))),
                V::template srli16<11>(blue));
        else
            pixels = V::or_(V::or_(V::and_(V::template srli16<1>(red), V::set1(0x7C007C00u)),
                                   V::and_(V::template srli16<6>(green), V::set1(0x03E003E0u))),
                            V::template srli16<11>(blue));
        V::store(c, pixels);
        if constexpr (Separate) {
            // Alpha goes into the low byte; the high byte stays.
            V::store(alpha, V::or_(V::and_(V::load(alpha), V::set1(0xFF00FF00u)), a));
        }
    }

    // Two vectors of RGB pixels at once: red and green, and blue, in 16-bit
    // lanes, put in pixel order once, after packing.
    template <bool Is565> static void twoRgbVectors16(const uint8_t* src, uint8_t* c)
    {
        const R w0 = V::template loadRgb<false>(src);
        const R w1 = V::template loadRgb<false>(src + 3 * N);
        const R redGreen = V::packLow16(w0, w1);
        const R blue = V::template srli16<3>(V::packHigh16(w0, w1));
        R pixels;
        if constexpr (Is565)
            pixels = V::or_(V::or_(V::and_(V::template slli16<8>(redGreen), V::set1(0xF800F800u)),
                                   V::and_(V::template srli16<5>(redGreen), V::set1(0x07E007E0u))),
                            blue);
        else
            pixels = V::or_(V::or_(V::and_(V::template slli16<7>(redGreen), V::set1(0x7C007C00u)),
                                   V::and_(V::template srli16<6>(redGreen), V::set1(0x03E003E0u))),
                            blue);
        V::store(c, V::inOrder16(pixels));
    }

    template <bool Is565, bool Rgba, bool Separate> static void rows16(const UploadJob& job)
    {
        using Mode = std::conditional_t<Is565, Upload565, Upload555>;
        constexpr size_t srcBytes = Rgba ? 4 : 3;
        for (uint32_t y = 0; y < job.height; ++y) {
            const Row r = row<Separate>(job, y);
            uint32_t x = 0;
            if constexpr (Rgba)
                for (; x + 2 * N <= job.width; x += 2 * N)
                    twoVectors16<Is565, Separate>(r.src + 4 * x, r.c + 2 * x, Separate ? r.alpha + 2 * x : nullptr);
            else
                for (; x + 2 * N <= job.width; x += 2 * N)
                    twoRgbVectors16<Is565>(r.src + 3 * x, r.c + 2 * x);
            for (; x + N <= job.width; x += N) {
                const R w = loadSource<Rgba>(r.src + x * srcBytes);
                V::store16(r.c + 2 * x, packed16<Is565>(channels<Rgba>(w)));
                if constexpr (Separate) {
                    uint8_t* at = r.alpha + 2 * x;
                    V::store16(at, V::or_(V::and_(V::load16(at), V::set1(0xFF00u)), V::template srli32<24>(w)));
                }
            }
            tail<Mode, Rgba, Separate>(r, x, job.width);
        }
        leave();
    }

    template <bool Rgba, bool Separate> static void rows24(const UploadJob& job)
    {
        constexpr size_t srcBytes = Rgba ? 4 : 3;
        for (uint32_t y = 0; y < job.height; ++y) {
            const Row r = row<Separate>(job, y);
            uint32_t x = 0;
            for (; x + N <= job.width; x += N) {
                if constexpr (!Rgba) {
                    V::storeRgb(r.c + 3 * x, V::template loadRgb<true>(r.src + 3 * x));
                } else {
                    const R w = V::load(r.src + srcBytes * x);
                    if constexpr (requires { V::storeFoldedRgba24(r.c, w); })
                        V::storeFoldedRgba24(r.c + 3 * x, w);
                    else
                        V::storeRgb(r.c + 3 * x, colourBytes(channels<true>(w)));
                    if constexpr (Separate) {
                        // Alpha goes into the first byte; the other two stay.
                        uint8_t* at = r.alpha + 3 * x;
                        if constexpr (requires { V::storeAlphaFirst24(at, w); }) {
                            V::storeAlphaFirst24(at, w);
                        } else {
                            const R kept = V::and_(V::template loadRgb<false>(at), V::set1(0x00FFFF00u));
                            V::storeRgb(at, V::or_(kept, V::template srli32<24>(w)));
                        }
                    }
                }
            }
            tail<Upload24, Rgba, Separate>(r, x, job.width);
        }
        leave();
    }

    template <bool Rgba, bool Separate> static void rows32(const UploadJob& job)
    {
        constexpr size_t srcBytes = Rgba ? 4 : 3;
        for (uint32_t y = 0; y < job.height; ++y) {
            const Row r = row<Separate>(job, y);
            uint32_t x = 0;
            for (; x + N <= job.width; x += N) {
                uint8_t* c = r.c + 4 * x;
                if constexpr (!Rgba) {
                    V::store(c, V::or_(V::template loadRgb<true>(r.src + 3 * x), V::set1(0xFF000000u)));
                } else {
                    const R w = V::load(r.src + srcBytes * x);
                    const R colour = colourBytes(channels<true>(w));
                    const R alpha = V::and_(w, V::set1(0xFF000000u));
                    if constexpr (!Separate) {
                        V::store(c, V::or_(colour, alpha));
                    } else {
                        // The colour pixel keeps its fourth byte unless the
                        // texel is fully transparent; the alpha pixel keeps
                        // its first three.
                        const R fourth = V::keepWhereNonzero(alpha, V::and_(V::load(c), V::set1(0xFF000000u)));
                        V::store(c, V::or_(colour, fourth));
                        uint8_t* at = r.alpha + 4 * x;
                        V::store(at, V::or_(V::and_(V::load(at), V::set1(0x00FFFFFFu)), alpha));
                    }
                }
            }
            tail<Upload32, Rgba, Separate>(r, x, job.width);
        }
        leave();
    }
};

// The table of one instruction set: every mode but other 16-bit layouts,
// which fall back to the portable table.
template <class V> constexpr UploadTable makeUploadTable(KernelLevel level, const UploadTable* fallback)
{
    using K = UploadVectors<V>;
    UploadTable table{level, fallback, {}};
    table.rows[DDS_RGBMODE_555][UPLOAD_RGB] = K::template rows16<false, false, false>;
    table.rows[DDS_RGBMODE_555][UPLOAD_RGBA_IN_COLOUR] = K::template rows16<false, true, false>;
    table.rows[DDS_RGBMODE_555][UPLOAD_RGBA_SEPARATE] = K::template rows16<false, true, true>;
    table.rows[DDS_RGBMODE_565][UPLOAD_RGB] = K::template rows16<true, false, false>;
    table.rows[DDS_RGBMODE_565][UPLOAD_RGBA_IN_COLOUR] = K::template rows16<true, true, false>;
    table.rows[DDS_RGBMODE_565][UPLOAD_RGBA_SEPARATE] = K::template rows16<true, true, true>;
    table.rows[DDS_RGBMODE_24][UPLOAD_RGB] = K::template rows24<false, false>;
    table.rows[DDS_RGBMODE_24][UPLOAD_RGBA_IN_COLOUR] = K::template rows24<true, false>;
    table.rows[DDS_RGBMODE_24][UPLOAD_RGBA_SEPARATE] = K::template rows24<true, true>;
    table.rows[DDS_RGBMODE_32][UPLOAD_RGB] = K::template rows32<false, false>;
    table.rows[DDS_RGBMODE_32][UPLOAD_RGBA_IN_COLOUR] = K::template rows32<true, false>;
    table.rows[DDS_RGBMODE_32][UPLOAD_RGBA_SEPARATE] = K::template rows32<true, true>;
    return table;
}

} // namespace
} // namespace ZorvUISystem
