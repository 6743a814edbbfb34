// The SSE2 upload table: the vector upload kernels of UploadImpl.h on 128-bit
// vectors, four pixels a vector. Memory contract: as stated at the top of
// UploadImpl.h (whole vectors, each load and store exactly its pixels' bytes:
// 3-byte pixels in pieces of 8 and 4 bytes, 2-byte pixels in 8; the rest of
// a row one pixel at a time).

#include <emmintrin.h>

#include "pixel/simd/UploadImpl.h"

namespace ZorvUISystem {

namespace {

struct Sse2Upload {
    using R = __m128i;
    static constexpr uint32_t kPixels = 4;

    static R load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void store(uint8_t* p, R v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static R set1(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    static R and_(R a, R b) { return _mm_and_si128(a, b); }
    static R or_(R a, R b) { return _mm_or_si128(a, b); }
    template <int K> static R srli32(R v) { return _mm_srli_epi32(v, K); }
    template <int K> static R slli32(R v) { return _mm_slli_epi32(v, K); }
    template <int K> static R srli16(R v) { return _mm_srli_epi16(v, K); }
    template <int K> static R slli16(R v) { return _mm_slli_epi16(v, K); }
    static R mullo16(R a, R b) { return _mm_mullo_epi16(a, b); }
    static R add16(R a, R b) { return _mm_add_epi16(a, b); }

    // Sign-extended halves pack exactly with the signed pack.
    static R packLow16(R a, R b)
    {
        return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16), _mm_srai_epi32(_mm_slli_epi32(b, 16), 16));
    }
    static R packHigh16(R a, R b) { return _mm_packs_epi32(_mm_srai_epi32(a, 16), _mm_srai_epi32(b, 16)); }
    static R inOrder16(R v) { return v; }

    static R alphaPlusOne(R w)
    {
        const R a = _mm_srli_epi32(w, 24);
        return _mm_add_epi32(_mm_or_si128(a, _mm_slli_epi32(a, 16)), set1(0x00010001u));
    }

    static R keepWhereNonzero(R test, R value)
    {
        return _mm_andnot_si128(_mm_cmpeq_epi32(test, _mm_setzero_si128()), value);
    }

    // Twelve bytes, as 8 + 4; pixel k moved from byte 3k to lane k.
    template <bool Swap> static R loadRgb(const uint8_t* p)
    {
        const R v = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                       _mm_cvtsi32_si128(static_cast<int>(load32(p + 8))));
        const R p01 = _mm_unpacklo_epi32(v, _mm_srli_si128(v, 3));
        const R p23 = _mm_unpacklo_epi32(_mm_srli_si128(v, 6), _mm_srli_si128(v, 9));
        const R w = _mm_and_si128(_mm_unpacklo_epi64(p01, p23), set1(0x00FFFFFFu));
        if constexpr (!Swap)
            return w;
        return _mm_or_si128(_mm_or_si128(_mm_and_si128(w, set1(0x0000FF00u)), _mm_srli_epi32(w, 16)),
                            _mm_slli_epi32(_mm_and_si128(w, set1(0xFFu)), 16));
    }

    // The low three bytes of each lane, packed into twelve bytes.
    static void storeRgb(uint8_t* p, R v)
    {
        const R c = _mm_and_si128(v, set1(0x00FFFFFFu));
        // Pixels 0 and 1 in bytes 0-5 of the low half, 2 and 3 in bytes 8-13.
        const R pairs = _mm_or_si128(_mm_and_si128(c, _mm_set1_epi64x(0x00FFFFFF)),
                                     _mm_and_si128(_mm_srli_epi64(c, 8), _mm_set1_epi64x(0x0000FFFFFF000000)));
        const R packed = _mm_or_si128(_mm_and_si128(pairs, _mm_set_epi64x(0, -1)),
                                      _mm_srli_si128(_mm_and_si128(pairs, _mm_set_epi64x(-1, 0)), 2));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), packed);
        store32(p + 8, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(packed, 8))));
    }

    // The alpha bytes (byte 3) of four RGBA pixels into the first byte of the
    // four 3-byte pixels at p, their two other bytes kept: the twelve bytes
    // are loaded and stored as they lie, as 8 + 4.
    static void storeAlphaFirst24(uint8_t* p, R w)
    {
        const R a = _mm_srli_epi32(w, 24); // bytes 0, 4, 8 and 12
        // Pixels 0 and 1 at bytes 0 and 3, 2 and 3 at bytes 8 and 11.
        const R pairs = _mm_or_si128(_mm_and_si128(a, _mm_set1_epi64x(0xFF)), _mm_srli_epi64(a, 8));
        const R alpha = _mm_or_si128(_mm_and_si128(pairs, _mm_set_epi64x(0, -1)),
                                     _mm_srli_si128(_mm_and_si128(pairs, _mm_set_epi64x(-1, 0)), 2));
        const R old = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                         _mm_cvtsi32_si128(static_cast<int>(load32(p + 8))));
        const R kept = _mm_setr_epi8(0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0, 0, 0, 0);
        const R merged = _mm_or_si128(_mm_and_si128(old, kept), alpha);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), merged);
        store32(p + 8, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(merged, 8))));
    }

    static R load16(const uint8_t* p)
    {
        return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    }

    // Lanes hold values below 65536: sign-extended from 16 bits, the signed
    // pack keeps them exactly.
    static void store16(uint8_t* p, R v)
    {
        const R s = _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packs_epi32(s, s));
    }
};

} // namespace

// Built at compile time: no code of this instruction set runs before the table is chosen.
constinit const UploadTable kSse2Upload = makeUploadTable<Sse2Upload>(KernelLevel::Sse2, &kMmxUpload);

} // namespace ZorvUISystem
