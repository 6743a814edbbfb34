// 256-bit vectors with AVX2: the operations the kernel templates use.
// Compiled only into the AVX2 kernel source; internal linkage throughout.
#pragma once

#include <cstdint>
#include <cstring>

#include <immintrin.h>

#include "pixel/simd/VecCommon.h"

namespace ZorvUISystem {
namespace {

struct Vec {
    using R = __m256i;
    static constexpr uint32_t kBytes = 32;
    // 24-bit rows: each 128-bit half holds five whole pixels (15 bytes) and
    // the first byte of the next pixel, which is written back as it was read;
    // the upper half starts at that byte, so a vector covers ten pixels.
    static constexpr uint32_t kPixels24 = 10;
    static constexpr uint32_t channelOfByte24(uint32_t byte) { return byte % 16 % 3; }

    // Lanes that keep their destination, as all-ones lanes.
    struct Keep16 {
        R v;
    };
    struct Keep32 {
        R v;
    };

    static R load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void store(uint8_t* p, R v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    // The first `bytes` bytes (less than kBytes), the rest of the vector 0.
    static R loadPartial(const uint8_t* p, uint32_t bytes)
    {
        alignas(32) uint8_t buffer[kBytes] = {};
        copySmall<kBytes>(buffer, p, bytes);
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(buffer));
    }

    static R load24(const uint8_t* p)
    {
        return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 15), reinterpret_cast<const __m128i*>(p));
    }
    // The lower half first: the upper half's first byte is the lower half's last.
    static void store24(uint8_t* p, R v)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 15), _mm256_extracti128_si256(v, 1));
    }
    // The bytes of the pixels of a 24-bit vector to be written: those whose
    // source has a byte that is not 0. Each byte is ORed with the two other
    // bytes of its pixel, brought to it by byte shuffles; the byte after the
    // five pixels of each half is never written.
    struct Written24 {
        R next = _mm256_setr_epi8(1, 2, 0, 4, 5, 3, 7, 8, 6, 10, 11, 9, 13, 14, 12, 15, 1, 2, 0, 4, 5, 3, 7, 8, 6, 10,
                                  11, 9, 13, 14, 12, 15);
        R after = _mm256_setr_epi8(2, 0, 1, 5, 3, 4, 8, 6, 7, 11, 9, 10, 14, 12, 13, 15, 2, 0, 1, 5, 3, 4, 8, 6, 7, 11,
                                   9, 10, 14, 12, 13, 15);
        R pixelBytes = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, -1, -1, -1, -1,
                                        -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0);
        R operator()(R s) const
        {
            const R any =
                _mm256_or_si256(_mm256_or_si256(s, _mm256_shuffle_epi8(s, next)), _mm256_shuffle_epi8(s, after));
            return _mm256_andnot_si256(_mm256_cmpeq_epi8(any, _mm256_setzero_si256()), pixelBytes);
        }
    };
    // Every byte of a 24-bit vector given the first byte of its pixel; the
    // byte after the five pixels of each half becomes 0.
    struct Spread24 {
        R first = _mm256_setr_epi8(0, 0, 0, 3, 3, 3, 6, 6, 6, 9, 9, 9, 12, 12, 12, -128, 0, 0, 0, 3, 3, 3, 6, 6, 6, 9,
                                   9, 9, 12, 12, 12, -128);
        R operator()(R a) const { return _mm256_shuffle_epi8(a, first); }
    };
    static bool none(R mask) { return _mm256_testz_si256(mask, mask) != 0; }
    // Whether every bit of mask is set in a.
    static bool allSet(R a, R mask) { return _mm256_testc_si256(a, mask) != 0; }
    // Bytes picked within each 128-bit half by index (an index with its top
    // bit set gives 0).
    static R shuffle8(R a, R index) { return _mm256_shuffle_epi8(a, index); }
    static R repeat128(const uint8_t (&bytes)[16])
    {
        return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
    }
    static R loadConstant(const void* p) { return _mm256_load_si256(static_cast<const __m256i*>(p)); }

    static R set16(uint32_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }
    static R set32(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    static R zero() { return _mm256_setzero_si256(); }

    static R bitAnd(R a, R b) { return _mm256_and_si256(a, b); }
    static R bitOr(R a, R b) { return _mm256_or_si256(a, b); }
    static R bitOr3(R a, R b, R c) { return _mm256_or_si256(_mm256_or_si256(a, b), c); }
    static R andNot(R a, R b) { return _mm256_andnot_si256(a, b); }                      // ~a & b
    static R andOr(R a, R m, R c) { return _mm256_or_si256(_mm256_and_si256(a, m), c); } // (a & m) | c
    static R add16(R a, R b) { return _mm256_add_epi16(a, b); }
    static R sub16(R a, R b) { return _mm256_sub_epi16(a, b); }
    static R mullo16(R a, R b) { return _mm256_mullo_epi16(a, b); }
    static R mulhi16(R a, R b) { return _mm256_mulhi_epi16(a, b); }
    static R mulhu16(R a, R b) { return _mm256_mulhi_epu16(a, b); }
    static R avg16(R a, R b) { return _mm256_avg_epu16(a, b); }
    static R avg8(R a, R b) { return _mm256_avg_epu8(a, b); }
    template <int N> static R srli16(R a) { return _mm256_srli_epi16(a, N); }
    template <int N> static R slli16(R a) { return _mm256_slli_epi16(a, N); }
    template <int N> static R srai16(R a) { return _mm256_srai_epi16(a, N); }
    static __m128i shiftCount(uint32_t n) { return _mm_cvtsi32_si128(static_cast<int>(n)); }
    template <int N> static R srli32(R a) { return _mm256_srli_epi32(a, N); }
    template <int N> static R slli32(R a) { return _mm256_slli_epi32(a, N); }
    static R subsU16(R a, R b) { return _mm256_subs_epu16(a, b); } // max(a - b, 0), unsigned 16-bit lanes
    static R addsU8(R a, R b) { return _mm256_adds_epu8(a, b); }   // min(a + b, 255), unsigned bytes
    static R srl16(R a, __m128i count) { return _mm256_srl_epi16(a, count); }
    static R sll16(R a, __m128i count) { return _mm256_sll_epi16(a, count); }

    // All ones where a >= b, unsigned 16-bit lanes.
    static R atLeastU16(R a, R b) { return _mm256_cmpeq_epi16(_mm256_max_epu16(a, b), a); }

    static Keep16 zero16(R s) { return {_mm256_cmpeq_epi16(s, _mm256_setzero_si256())}; }
    // Both 16-bit lanes of each 32-bit pair, where the whole pair is 0.
    static Keep16 zeroPairs16(R s) { return {_mm256_cmpeq_epi32(s, _mm256_setzero_si256())}; }
    static Keep32 zero32(R s) { return {_mm256_cmpeq_epi32(s, _mm256_setzero_si256())}; }
    static Keep32 zeroMasked32(R s, R mask)
    {
        return {_mm256_cmpeq_epi32(_mm256_and_si256(s, mask), _mm256_setzero_si256())};
    }
    static bool all(Keep16 k) { return _mm256_movemask_epi8(k.v) == -1; }
    static bool all(Keep32 k) { return _mm256_movemask_epi8(k.v) == -1; }
    // Where keep is set, the destination t; elsewhere the result r (keep
    // lanes are all ones or all zeros, so one byte blend does it).
    static R select(R keep, R t, R r) { return _mm256_blendv_epi8(r, t, keep); }
    static R select16(Keep16 k, R t, R r) { return select(k.v, t, r); }

    template <class Keep> static void storeKeeping(uint8_t* p, Keep k, R t, R r) { store(p, select(k.v, t, r)); }
    // a with the lanes under keep cleared.
    static R clearKept(Keep32 k, R a) { return _mm256_andnot_si256(k.v, a); }
    template <class Keep> static void storePartialKeeping(uint8_t* p, uint32_t bytes, Keep k, R t, R r)
    {
        alignas(32) uint8_t buffer[kBytes];
        _mm256_store_si256(reinterpret_cast<__m256i*>(buffer), select(k.v, t, r));
        copySmall<kBytes>(p, buffer, bytes);
    }
};

} // namespace
} // namespace ZorvUISystem
