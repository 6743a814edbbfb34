// The AVX-512 upload table: the vector upload kernels of UploadImpl.h on
// 512-bit vectors, sixteen pixels a vector. Memory contract: as stated at the
// top of UploadImpl.h (whole vectors, each load and store exactly its
// pixels' bytes: 3-byte pixels through 48-byte masked loads and stores,
// 2-byte pixels in 32; the rest of a row one pixel at a time).

#include <immintrin.h>

#include "pixel/simd/UploadImpl.h"

namespace ZorvUISystem {

namespace {

// GCC 12 builds the unmasked forms of several AVX-512 intrinsics on an
// "undefined" vector that -Wmaybe-uninitialized reports; their zero-masked
// forms under an all-ones mask are the same instructions without it.
constexpr __mmask16 kAll = 0xFFFF;
constexpr __mmask8 kAllQuads = 0xFF;

struct Avx512Upload {
    using R = __m512i;
    static constexpr uint32_t kPixels = 16;

    static R load(const uint8_t* p) { return _mm512_loadu_si512(p); }
    static void store(uint8_t* p, R v) { _mm512_storeu_si512(p, v); }
    static R set1(uint32_t v) { return _mm512_set1_epi32(static_cast<int>(v)); }
    static R and_(R a, R b) { return _mm512_and_si512(a, b); }
    static R or_(R a, R b) { return _mm512_or_si512(a, b); }
    template <int K> static R srli32(R v) { return _mm512_maskz_srli_epi32(kAll, v, K); }
    template <int K> static R slli32(R v) { return _mm512_maskz_slli_epi32(kAll, v, K); }
    template <int K> static R srli16(R v) { return _mm512_srli_epi16(v, K); }
    template <int K> static R slli16(R v) { return _mm512_slli_epi16(v, K); }
    static R mullo16(R a, R b) { return _mm512_mullo_epi16(a, b); }
    static R add16(R a, R b) { return _mm512_add_epi16(a, b); }

    // The packs work within 128-bit lanes (a's four pixels, then b's, lane
    // by lane), which inOrder16 puts back in order.
    static R packLow16(R a, R b)
    {
        const R low = _mm512_set1_epi32(0xFFFF);
        return _mm512_packus_epi32(_mm512_and_si512(a, low), _mm512_and_si512(b, low));
    }
    static R packHigh16(R a, R b) { return _mm512_packus_epi32(srli32<16>(a), srli32<16>(b)); }
    static R inOrder16(R v)
    {
        return _mm512_maskz_permutexvar_epi64(kAllQuads, _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7), v);
    }

    // A 16-byte pattern repeated in each 128-bit lane.
    static R perLane(int8_t b0, int8_t b1, int8_t b2, int8_t b3, int8_t b4, int8_t b5, int8_t b6, int8_t b7, int8_t b8,
                     int8_t b9, int8_t b10, int8_t b11, int8_t b12, int8_t b13, int8_t b14, int8_t b15)
    {
        return _mm512_maskz_broadcast_i32x4(
            kAll, _mm_setr_epi8(b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14, b15));
    }

    static R alphaPlusOne(R w)
    {
        const R spread = perLane(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1);
        return _mm512_add_epi16(_mm512_shuffle_epi8(w, spread), _mm512_set1_epi16(1));
    }

    static R keepWhereNonzero(R test, R value)
    {
        return _mm512_maskz_mov_epi32(_mm512_test_epi32_mask(test, test), value);
    }

    // 48 bytes under a 12-dword mask; lane k gets dwords 3k to 3k + 2, then
    // one pixel a 32-bit lane.
    template <bool Swap> static R loadRgb(const uint8_t* p)
    {
        const R dwords = _mm512_maskz_loadu_epi32(0x0FFF, p);
        const R lanes = _mm512_maskz_permutexvar_epi32(
            kAll, _mm512_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0, 6, 7, 8, 0, 9, 10, 11, 0), dwords);
        if constexpr (Swap)
            return _mm512_shuffle_epi8(lanes, perLane(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1));
        else
            return _mm512_shuffle_epi8(lanes, perLane(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1));
    }

    // The low three bytes of each lane, packed into 48 bytes.
    static void storeRgb(uint8_t* p, R v)
    {
        const R inLane = _mm512_shuffle_epi8(v, perLane(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
        const R packed = _mm512_maskz_permutexvar_epi32(
            kAll, _mm512_setr_epi32(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 3, 7, 11, 15), inLane);
        _mm512_mask_storeu_epi32(p, 0x0FFF, packed);
    }

    static R load16(const uint8_t* p)
    {
        return _mm512_maskz_cvtepu16_epi32(kAll, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    }

    static void store16(uint8_t* p, R v)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm512_maskz_cvtepi32_epi16(kAll, v));
    }
};

} // namespace

namespace {

// RGBA into 24-bit pixels is the AVX2 table's: its one byte shuffle of the
// folded channels beats the wider generic fold (ziv-bench-levels). So is RGB
// into 32-bit pixels, and in 32-bit code, with eight vector registers, RGB
// into 24-bit pixels too; in 64-bit code RGBA into 565 with an alpha surface
// comes out no faster than AVX2's either.
constexpr UploadTable makeAvx512Table()
{
    UploadTable t = makeUploadTable<Avx512Upload>(KernelLevel::Avx512, &kAvx2Upload);
    t.rows[DDS_RGBMODE_24][UPLOAD_RGBA_IN_COLOUR] = nullptr;
    t.rows[DDS_RGBMODE_24][UPLOAD_RGBA_SEPARATE] = nullptr;
    t.rows[DDS_RGBMODE_32][UPLOAD_RGB] = nullptr;
#if defined(__i386__) || defined(_M_IX86)
    t.rows[DDS_RGBMODE_24][UPLOAD_RGB] = nullptr;
#else
    t.rows[DDS_RGBMODE_565][UPLOAD_RGBA_SEPARATE] = nullptr;
#endif
    return t;
}

} // namespace

// Built at compile time: no code of this instruction set runs before the table is chosen.
constinit const UploadTable kAvx512Upload = makeAvx512Table();

} // namespace ZorvUISystem
