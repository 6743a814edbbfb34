// The MMX upload table: the vector upload kernels of UploadImpl.h on 64-bit
// MMX vectors, two pixels a vector, plain MMX only, falling back to portable.
// Memory contract: as stated at the top of UploadImpl.h (whole vectors, each
// load and store exactly its pixels' bytes: 3-byte pixels as 4 + 2 bytes,
// 2-byte pixels in 4; the rest of a row one pixel at a time). Every kernel
// ends with EMMS.

#include <mmintrin.h>

#include "pixel/simd/UploadImpl.h"
#include "pixel/simd/VecMmx.h"

namespace ZorvUISystem {

namespace {

struct MmxUpload : private Vec {
    using R = __m64;
    static constexpr uint32_t kPixels = 2;

    // Whole vectors in and out, and EMMS, as the blend kernels have them.
    using Vec::leave;
    using Vec::load;
    using Vec::store;
    static R set1(uint32_t v) { return _mm_set1_pi32(static_cast<int>(v)); }
    static R and_(R a, R b) { return _mm_and_si64(a, b); }
    static R or_(R a, R b) { return _mm_or_si64(a, b); }
    template <int K> static R srli32(R v) { return _mm_srli_pi32(v, K); }
    template <int K> static R slli32(R v) { return _mm_slli_pi32(v, K); }
    template <int K> static R srli16(R v) { return _mm_srli_pi16(v, K); }
    template <int K> static R slli16(R v) { return _mm_slli_pi16(v, K); }
    static R mullo16(R a, R b) { return _mm_mullo_pi16(a, b); }
    static R add16(R a, R b) { return _mm_add_pi16(a, b); }

    // Sign-extended halves pack exactly with the signed pack, the lanes of
    // a before those of b: pixel order.
    static R packLow16(R a, R b)
    {
        return _mm_packs_pi32(_mm_srai_pi32(_mm_slli_pi32(a, 16), 16), _mm_srai_pi32(_mm_slli_pi32(b, 16), 16));
    }
    static R packHigh16(R a, R b) { return _mm_packs_pi32(_mm_srai_pi32(a, 16), _mm_srai_pi32(b, 16)); }
    static R inOrder16(R v) { return v; }

    static R alphaPlusOne(R w)
    {
        const R a = _mm_srli_pi32(w, 24);
        return _mm_add_pi32(_mm_or_si64(a, _mm_slli_pi32(a, 16)), set1(0x00010001u));
    }

    static R keepWhereNonzero(R test, R value)
    {
        return _mm_andnot_si64(_mm_cmpeq_pi32(test, _mm_setzero_si64()), value);
    }

    // Six bytes, as 4 + 2; pixel k moved from byte 3k to lane k.
    template <bool Swap> static R loadRgb(const uint8_t* p)
    {
        const uint32_t low = load32(p);
        const uint32_t high = ZorvUISystem::load16(p + 4);
        uint32_t first = low & 0x00FFFFFFu;
        uint32_t second = (low >> 24) | (high << 8);
        if constexpr (Swap) {
            first = swapRedBlue(first);
            second = swapRedBlue(second);
        }
        return _mm_unpacklo_pi32(_mm_cvtsi32_si64(static_cast<int>(first)), _mm_cvtsi32_si64(static_cast<int>(second)));
    }
    static uint32_t swapRedBlue(uint32_t w) { return (w & 0x0000FF00u) | (w >> 16) | ((w & 0xFFu) << 16); }

    // The low three bytes of each lane, packed into six bytes.
    static void storeRgb(uint8_t* p, R v)
    {
        const uint32_t first = static_cast<uint32_t>(_mm_cvtsi64_si32(v));
        const uint32_t second = static_cast<uint32_t>(_mm_cvtsi64_si32(_mm_srli_si64(v, 32)));
        store32(p, (first & 0x00FFFFFFu) | second << 24);
        ZorvUISystem::store16(p + 4, (second >> 8) & 0xFFFFu);
    }

    static R load16(const uint8_t* p)
    {
        return _mm_unpacklo_pi16(_mm_cvtsi32_si64(static_cast<int>(load32(p))), _mm_setzero_si64());
    }

    // Lanes hold values below 65536: sign-extended from 16 bits, the signed
    // pack keeps them exactly.
    static void store16(uint8_t* p, R v)
    {
        const R s = _mm_srai_pi32(_mm_slli_pi32(v, 16), 16);
        store32(p, static_cast<uint32_t>(_mm_cvtsi64_si32(_mm_packs_pi32(s, s))));
    }
};

// Only RGBA pixels into 565 with a separate alpha surface come out faster
// than the portable loops (ziv-bench-levels, 32-bit); every other entry is
// left to the portable table.
constexpr UploadTable makeMmxTable()
{
    const UploadTable all = makeUploadTable<MmxUpload>(KernelLevel::Mmx, &kPortableUpload);
    UploadTable t{KernelLevel::Mmx, &kPortableUpload, {}};
    t.rows[DDS_RGBMODE_565][UPLOAD_RGBA_SEPARATE] = all.rows[DDS_RGBMODE_565][UPLOAD_RGBA_SEPARATE];
    return t;
}

} // namespace

// Built at compile time: no code of this instruction set runs before the table is chosen.
constinit const UploadTable kMmxUpload = makeMmxTable();

} // namespace ZorvUISystem
