// 128-bit vectors with SSE2: the operations the kernel templates use.
// Compiled only into the SSE2 kernel source; internal linkage throughout.
#pragma once

#include <cstdint>
#include <cstring>

#include <emmintrin.h>

#include "pixel/simd/VecCommon.h"

namespace ZorvUISystem {
namespace {

struct Vec {
    using R = __m128i;
    static constexpr uint32_t kBytes = 16;
    // 24-bit rows: a vector holds five whole pixels (15 bytes) and the first
    // byte of the next pixel, which is written back as it was read.
    static constexpr uint32_t kPixels24 = 5;
    static constexpr uint32_t channelOfByte24(uint32_t byte) { return byte % 3; }

    // Lanes that keep their destination, as all-ones lanes.
    struct Keep16 {
        R v;
    };
    struct Keep32 {
        R v;
    };

    static R load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void store(uint8_t* p, R v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    // The first `bytes` bytes (less than kBytes), the rest of the vector 0.
    static R loadPartial(const uint8_t* p, uint32_t bytes)
    {
        alignas(16) uint8_t buffer[kBytes] = {};
        copySmall<kBytes>(buffer, p, bytes);
        return _mm_load_si128(reinterpret_cast<const __m128i*>(buffer));
    }

    static R load24(const uint8_t* p) { return load(p); }
    static void store24(uint8_t* p, R v) { store(p, v); }
    // The bytes of the pixels of a 24-bit vector to be written: those whose
    // source has a byte that is not 0. The OR of each pixel's three bytes
    // lands on its first byte and is spread back over all three; the byte
    // after the five pixels is never written.
    struct Written24 {
        R starts = _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, 0);
        R operator()(R s) const
        {
            const R any = _mm_or_si128(_mm_or_si128(s, _mm_srli_si128(s, 1)), _mm_srli_si128(s, 2));
            const R first = _mm_andnot_si128(_mm_cmpeq_epi8(any, _mm_setzero_si128()), starts);
            return _mm_or_si128(_mm_or_si128(first, _mm_slli_si128(first, 1)), _mm_slli_si128(first, 2));
        }
    };
    // Every byte of a 24-bit vector given the first byte of its pixel; the
    // byte after the five pixels becomes 0.
    struct Spread24 {
        R starts = _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, 0);
        R operator()(R a) const
        {
            const R first = _mm_and_si128(a, starts);
            return _mm_or_si128(_mm_or_si128(first, _mm_slli_si128(first, 1)), _mm_slli_si128(first, 2));
        }
    };
    static bool none(R mask) { return _mm_movemask_epi8(mask) == 0; }
    static R loadConstant(const void* p) { return _mm_load_si128(static_cast<const __m128i*>(p)); }

    static R set16(uint32_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
    static R set32(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    static R zero() { return _mm_setzero_si128(); }

    static R bitAnd(R a, R b) { return _mm_and_si128(a, b); }
    static R bitOr(R a, R b) { return _mm_or_si128(a, b); }
    static R bitOr3(R a, R b, R c) { return _mm_or_si128(_mm_or_si128(a, b), c); }
    static R andNot(R a, R b) { return _mm_andnot_si128(a, b); }                   // ~a & b
    static R andOr(R a, R m, R c) { return _mm_or_si128(_mm_and_si128(a, m), c); } // (a & m) | c
    static R add16(R a, R b) { return _mm_add_epi16(a, b); }
    static R sub16(R a, R b) { return _mm_sub_epi16(a, b); }
    static R mullo16(R a, R b) { return _mm_mullo_epi16(a, b); }
    static R mulhi16(R a, R b) { return _mm_mulhi_epi16(a, b); }
    static R mulhu16(R a, R b) { return _mm_mulhi_epu16(a, b); }
    static R avg16(R a, R b) { return _mm_avg_epu16(a, b); }
    static R avg8(R a, R b) { return _mm_avg_epu8(a, b); }
    template <int N> static R srli16(R a) { return _mm_srli_epi16(a, N); }
    template <int N> static R slli16(R a) { return _mm_slli_epi16(a, N); }
    template <int N> static R srai16(R a) { return _mm_srai_epi16(a, N); }
    static R shiftCount(uint32_t n) { return _mm_cvtsi32_si128(static_cast<int>(n)); }
    template <int N> static R srli32(R a) { return _mm_srli_epi32(a, N); }
    template <int N> static R slli32(R a) { return _mm_slli_epi32(a, N); }
    static R subsU16(R a, R b) { return _mm_subs_epu16(a, b); } // max(a - b, 0), unsigned 16-bit lanes
    static R addsU8(R a, R b) { return _mm_adds_epu8(a, b); }   // min(a + b, 255), unsigned bytes
    static R srl16(R a, R count) { return _mm_srl_epi16(a, count); }
    static R sll16(R a, R count) { return _mm_sll_epi16(a, count); }

    // All ones where a >= b, unsigned 16-bit lanes.
    static R atLeastU16(R a, R b) { return _mm_cmpeq_epi16(_mm_subs_epu16(b, a), _mm_setzero_si128()); }

    static Keep16 zero16(R s) { return {_mm_cmpeq_epi16(s, _mm_setzero_si128())}; }
    // Both 16-bit lanes of each 32-bit pair, where the whole pair is 0.
    static Keep16 zeroPairs16(R s) { return {_mm_cmpeq_epi32(s, _mm_setzero_si128())}; }
    static Keep32 zero32(R s) { return {_mm_cmpeq_epi32(s, _mm_setzero_si128())}; }
    static Keep32 zeroMasked32(R s, R mask) { return {_mm_cmpeq_epi32(_mm_and_si128(s, mask), _mm_setzero_si128())}; }
    static bool all(Keep16 k) { return _mm_movemask_epi8(k.v) == 0xFFFF; }
    static bool all(Keep32 k) { return _mm_movemask_epi8(k.v) == 0xFFFF; }
    // Where keep is set, the destination t; elsewhere the result r.
    static R select(R keep, R t, R r) { return _mm_or_si128(_mm_and_si128(keep, t), _mm_andnot_si128(keep, r)); }
    static R select16(Keep16 k, R t, R r) { return select(k.v, t, r); }

    template <class Keep> static void storeKeeping(uint8_t* p, Keep k, R t, R r) { store(p, select(k.v, t, r)); }
    template <class Keep> static void storePartialKeeping(uint8_t* p, uint32_t bytes, Keep k, R t, R r)
    {
        alignas(16) uint8_t buffer[kBytes];
        _mm_store_si128(reinterpret_cast<__m128i*>(buffer), select(k.v, t, r));
        copySmall<kBytes>(p, buffer, bytes);
    }
};

} // namespace
} // namespace ZorvUISystem
