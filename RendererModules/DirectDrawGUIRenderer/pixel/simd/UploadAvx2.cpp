// The AVX2 upload table: the vector upload kernels of UploadImpl.h on 256-bit
// vectors, eight pixels a vector. Memory contract: as stated at the top of
// UploadImpl.h (whole vectors, each load and store exactly its pixels' bytes:
// 3-byte pixels as two overlapping 16-byte loads and a 16 + 8-byte store,
// 2-byte pixels in 16; the rest of a row one pixel at a time).

#include <immintrin.h>

#include "pixel/simd/UploadImpl.h"

namespace ZorvUISystem {

namespace {

struct Avx2Upload {
    using R = __m256i;
    static constexpr uint32_t kPixels = 8;

    static R load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void store(uint8_t* p, R v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static R set1(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    static R and_(R a, R b) { return _mm256_and_si256(a, b); }
    static R or_(R a, R b) { return _mm256_or_si256(a, b); }
    template <int K> static R srli32(R v) { return _mm256_srli_epi32(v, K); }
    template <int K> static R slli32(R v) { return _mm256_slli_epi32(v, K); }
    template <int K> static R srli16(R v) { return _mm256_srli_epi16(v, K); }
    template <int K> static R slli16(R v) { return _mm256_slli_epi16(v, K); }
    static R mullo16(R a, R b) { return _mm256_mullo_epi16(a, b); }
    static R add16(R a, R b) { return _mm256_add_epi16(a, b); }

    // The packs work within 128-bit lanes: a's pixels 0-3, b's 0-3, a's 4-7,
    // b's 4-7, which inOrder16 puts back in order.
    static R packLow16(R a, R b)
    {
        const R low = _mm256_set1_epi32(0xFFFF);
        return _mm256_packus_epi32(_mm256_and_si256(a, low), _mm256_and_si256(b, low));
    }
    static R packHigh16(R a, R b) { return _mm256_packus_epi32(_mm256_srli_epi32(a, 16), _mm256_srli_epi32(b, 16)); }
    static R inOrder16(R v) { return _mm256_permute4x64_epi64(v, 0xD8); }

    static R alphaPlusOne(R w)
    {
        const R spread = _mm256_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1, //
                                          3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1);
        return _mm256_add_epi16(_mm256_shuffle_epi8(w, spread), _mm256_set1_epi16(1));
    }

    static R keepWhereNonzero(R test, R value)
    {
        return _mm256_andnot_si256(_mm256_cmpeq_epi32(test, _mm256_setzero_si256()), value);
    }

    // 24 bytes: pixels 0-3 from a load at byte 0, pixels 4-7 from one at
    // byte 8 (both inside the 24), spread one pixel a lane.
    template <bool Swap> static R loadRgb(const uint8_t* p)
    {
        const R v =
            _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)), 1);
        if constexpr (Swap)
            return _mm256_shuffle_epi8(v, _mm256_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1, //
                                                           6, 5, 4, -1, 9, 8, 7, -1, 12, 11, 10, -1, 15, 14, 13, -1));
        else
            return _mm256_shuffle_epi8(v, _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, //
                                                           4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1));
    }

    // The low three bytes of each lane, packed into 24 bytes.
    static void storeRgb(uint8_t* p, R v)
    {
        const R inLane =
            _mm256_shuffle_epi8(v, _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4,
                                                    5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
        storePacked24(p, inLane);
    }
    // The alpha bytes (byte 3) of eight RGBA pixels into the first byte of
    // the eight 3-byte pixels at p, their two other bytes kept: the 24 bytes
    // are loaded and stored as they lie.
    static void storeAlphaFirst24(uint8_t* p, R w)
    {
        const R alphaInLane =
            _mm256_shuffle_epi8(w, _mm256_setr_epi8(3, -1, -1, 7, -1, -1, 11, -1, -1, 15, -1, -1, -1, -1, -1, -1, 3, -1,
                                                    -1, 7, -1, -1, 11, -1, -1, 15, -1, -1, -1, -1, -1, -1));
        const R alpha = _mm256_permutevar8x32_epi32(alphaInLane, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
        const R old =
            _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                    _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 16)), 1);
        const R kept = _mm256_setr_epi8(0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0, //
                                        -1, -1, 0, -1, -1, 0, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0);
        const R merged = _mm256_or_si256(_mm256_and_si256(old, kept), alpha);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(merged));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(merged, 1));
    }
    // The first 12 bytes of each 128-bit half, as 24 bytes.
    static void storePacked24(uint8_t* p, R inLane)
    {
        const R packed = _mm256_permutevar8x32_epi32(inLane, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(packed, 1));
    }

    // Eight RGBA pixels folded by alpha, c (a + 1) >> 8, stored as 24 bytes
    // blue, green, red. Red and blue are folded in place (each in the high
    // byte of its 16-bit lane); green and alpha, with their lanes' low bytes
    // cleared, are the high halves of (c << 8) (a + 1), so they land in the
    // low bytes. Both together hold green, red, alpha, blue in bytes 0-3 of
    // each pixel, which one byte shuffle puts in place, packed.
    static void storeFoldedRgba24(uint8_t* p, R w)
    {
        const R factor = alphaPlusOne(w);
        const R highBytes = set1(0xFF00FF00u);
        const R redBlue = _mm256_mullo_epi16(_mm256_andnot_si256(highBytes, w), factor);
        const R greenAlpha = _mm256_mulhi_epu16(_mm256_and_si256(w, highBytes), factor);
        const R folded = _mm256_or_si256(_mm256_and_si256(redBlue, highBytes), greenAlpha);
        const R inLane =
            _mm256_shuffle_epi8(folded, _mm256_setr_epi8(3, 0, 1, 7, 4, 5, 11, 8, 9, 15, 12, 13, -1, -1, -1, -1, //
                                                         3, 0, 1, 7, 4, 5, 11, 8, 9, 15, 12, 13, -1, -1, -1, -1));
        storePacked24(p, inLane);
    }

    static R load16(const uint8_t* p)
    {
        return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }

    // Lanes hold values below 65536, which the unsigned pack keeps.
    static void store16(uint8_t* p, R v)
    {
        const R packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
    }
};

} // namespace

// Built at compile time: no code of this instruction set runs before the table is chosen.
constinit const UploadTable kAvx2Upload = makeUploadTable<Avx2Upload>(KernelLevel::Avx2, &kSse2Upload);

} // namespace ZorvUISystem
