// 512-bit vectors with AVX-512 F and BW: the operations the kernel templates
// use. Lane masks live in mask registers, partial rows are read and written
// with masked loads and stores (which touch no byte outside their mask).
// Compiled only into the AVX-512 kernel source; internal linkage throughout.
#pragma once

#include <cstdint>

#include <immintrin.h>

#include "pixel/simd/VecCommon.h"

namespace ZorvUISystem {
namespace {

struct Vec {
    using R = __m512i;
    static constexpr uint32_t kBytes = 64;
    // 24-bit rows go through byte-masked chunks of 21 pixels of their own
    // (KernelsAvx512.cpp): byte i of a chunk is channel i mod 3.
    static constexpr uint32_t kPixels24 = 0;
    static constexpr uint32_t channelOfByte24(uint32_t byte) { return byte % 3; }
    static R loadConstant(const void* p) { return _mm512_load_si512(p); }

    // Lanes that keep their destination, one mask bit per lane.
    struct Keep8 {
        __mmask64 k;
    };
    struct Keep16 {
        __mmask32 k;
    };
    struct Keep32 {
        __mmask16 k;
    };

    static R load(const uint8_t* p) { return _mm512_loadu_si512(p); }
    static void store(uint8_t* p, R v) { _mm512_storeu_si512(p, v); }
    static __mmask64 byteMask(uint32_t bytes) { return bytes >= 64 ? ~__mmask64(0) : (__mmask64(1) << bytes) - 1; }
    static R loadPartial(const uint8_t* p, uint32_t bytes) { return _mm512_maskz_loadu_epi8(byteMask(bytes), p); }

    static R set16(uint32_t v) { return _mm512_set1_epi16(static_cast<short>(v)); }
    static R set32(uint32_t v) { return _mm512_set1_epi32(static_cast<int>(v)); }
    static R zero() { return _mm512_setzero_si512(); }

    static R bitAnd(R a, R b) { return _mm512_and_si512(a, b); }
    static R bitOr(R a, R b) { return _mm512_or_si512(a, b); }
    static R bitOr3(R a, R b, R c) { return _mm512_ternarylogic_epi32(a, b, c, 0xFE); }
    static R andNot(R a, R b) { return _mm512_ternarylogic_epi32(a, b, b, 0x0C); }     // ~a & b
    static R andOr(R a, R m, R c) { return _mm512_ternarylogic_epi32(a, m, c, 0xEA); } // (a & m) | c
    static R add16(R a, R b) { return _mm512_add_epi16(a, b); }
    static R sub16(R a, R b) { return _mm512_sub_epi16(a, b); }
    static R mullo16(R a, R b) { return _mm512_mullo_epi16(a, b); }
    static R mulhi16(R a, R b) { return _mm512_mulhi_epi16(a, b); }
    static R mulhu16(R a, R b) { return _mm512_mulhi_epu16(a, b); }
    static R avg16(R a, R b) { return _mm512_avg_epu16(a, b); }
    static R avg8(R a, R b) { return _mm512_avg_epu8(a, b); }
    template <int N> static R srli16(R a) { return _mm512_srli_epi16(a, N); }
    template <int N> static R slli16(R a) { return _mm512_slli_epi16(a, N); }
    template <int N> static R srai16(R a) { return _mm512_srai_epi16(a, N); }
    static __m128i shiftCount(uint32_t n) { return _mm_cvtsi32_si128(static_cast<int>(n)); }
    // The zero-masked forms: GCC 12's plain ones start from an undefined
    // register and warn about it.
    template <int N> static R srli32(R a) { return _mm512_maskz_srli_epi32(__mmask16(0xFFFF), a, N); }
    template <int N> static R slli32(R a) { return _mm512_maskz_slli_epi32(__mmask16(0xFFFF), a, N); }
    static R subsU16(R a, R b) { return _mm512_subs_epu16(a, b); } // max(a - b, 0), unsigned 16-bit lanes
    static R addsU8(R a, R b) { return _mm512_adds_epu8(a, b); }   // min(a + b, 255), unsigned bytes
    static R srl16(R a, __m128i count) { return _mm512_srl_epi16(a, count); }
    static R sll16(R a, __m128i count) { return _mm512_sll_epi16(a, count); }

    // All ones where a >= b, unsigned 16-bit lanes.
    static R atLeastU16(R a, R b) { return _mm512_movm_epi16(_mm512_cmpge_epu16_mask(a, b)); }

    static Keep8 zero8(R s) { return {_mm512_testn_epi8_mask(s, s)}; }
    static Keep16 zero16(R s) { return {_mm512_testn_epi16_mask(s, s)}; }
    // Both 16-bit lanes of each 32-bit pair, where the whole pair is 0.
    static Keep16 zeroPairs16(R s)
    {
        const uint32_t lanes = _mm512_testn_epi16_mask(s, s);
        const uint32_t pairs = lanes & (lanes >> 1) & 0x55555555u;
        return {static_cast<__mmask32>(pairs | (pairs << 1))};
    }
    static Keep32 zero32(R s) { return {_mm512_testn_epi32_mask(s, s)}; }
    static Keep32 zeroMasked32(R s, R mask) { return {_mm512_testn_epi32_mask(s, mask)}; }
    static bool all(Keep16 k) { return k.k == 0xFFFFFFFFu; }
    static bool all(Keep32 k) { return k.k == 0xFFFFu; }
    // Whether every bit of mask is set in a.
    static bool allSet(R a, R mask) { return _mm512_cmpneq_epi32_mask(_mm512_and_si512(a, mask), mask) == 0; }
    // Bytes picked within each 128-bit quarter by index (an index with its
    // top bit set gives 0).
    static R shuffle8(R a, R index) { return _mm512_shuffle_epi8(a, index); }
    static R repeat128(const uint8_t (&bytes)[16])
    {
        return _mm512_maskz_broadcast_i32x4(__mmask16(0xFFFF),
                                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
    }
    // a with the lanes under keep cleared.
    static R clearKept(Keep32 k, R a) { return _mm512_maskz_mov_epi32(static_cast<__mmask16>(~k.k), a); }
    static R select16(Keep16 k, R t, R r) { return _mm512_mask_blend_epi16(k.k, r, t); }

    // Stores r where keep is clear. 16- and 8-bit lanes under keep are not
    // written at all; 32-bit lanes are blended with t and stored whole (a
    // masked store of 32-bit lanes is slow to forward on some processors).
    static constexpr bool kMaskedStores16 = true; // storeKeeping below writes no kept 16-bit lane
    static void storeKeeping(uint8_t* p, Keep16 k, R, R r) { _mm512_mask_storeu_epi16(p, ~k.k, r); }
    static void storeKeeping(uint8_t* p, Keep32 k, R t, R r) { store(p, _mm512_mask_blend_epi32(k.k, r, t)); }
    static void storeKeeping(uint8_t* p, Keep8 k, R, R r) { _mm512_mask_storeu_epi8(p, ~k.k, r); }
    static void storePartialKeeping(uint8_t* p, uint32_t bytes, Keep16 k, R, R r)
    {
        const __mmask32 lanes = static_cast<__mmask32>((uint64_t(1) << (bytes / 2)) - 1);
        _mm512_mask_storeu_epi16(p, ~k.k & lanes, r);
    }
    static void storePartialKeeping(uint8_t* p, uint32_t bytes, Keep32 k, R, R r)
    {
        const __mmask16 lanes = static_cast<__mmask16>((1u << (bytes / 4)) - 1);
        _mm512_mask_storeu_epi32(p, ~k.k & lanes, r);
    }
};

} // namespace
} // namespace ZorvUISystem
