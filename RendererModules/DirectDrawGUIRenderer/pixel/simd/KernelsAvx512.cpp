// The AVX-512 kernel table: the vector kernels of KernelsImpl.h on 512-bit
// vectors, falling back to AVX2. The 24-bit modes are the AVX2 table's: its
// rows of ten pixels a vector are faster than 63-byte masked chunks
// (ziv-bench-levels), so this table leaves them empty.
//
// Memory contract: as stated at the top of KernelsImpl.h. Partial vectors at
// the end of a row are masked loads and stores, which touch no byte outside
// their mask; transparent 16-bit pixels are not written at all. Any address
// 2-byte aligned.

#include "pixel/simd/VecAvx512.h"

#include "pixel/simd/KernelsImpl.h"

namespace ZorvUISystem {

namespace {

using K = SimdKernels<Vec>;
using R = Vec::R;

// The 16-bit lane values -32 to 63, from which the per-call tables are made.
struct LaneValues {
    alignas(64) int16_t v[96];
    constexpr LaneValues() : v{}
    {
        for (int i = 0; i < 96; ++i)
            v[i] = static_cast<int16_t>(i - 32);
    }
};
constexpr LaneValues kLaneValues;

// The 32 lanes first, first + 1, ... (first from -32 to 32).
R lanes(int first)
{
    return _mm512_load_si512(kLaneValues.v + 32 + first);
}

// blendAlphaMmx, modes 0 and 1: as the shared code, but the 5-bit blue
// difference d = s - t (-31 to 31) takes floor(a d / 256) from a per-call
// table instead of a multiply and a shift.
template <class Format> struct AlphaFixedLookup : K::AlphaFixed<Format> {
    using Base = typename K::AlphaFixed<Format>;
    R blendLow, blendHigh; // d = 0..31 and d = -32..-1

    explicit AlphaFixedLookup(const BlendJob& job) : Base(job.alpha)
    {
        const R a = Vec::set16(job.alpha);
        blendLow = Vec::srai16<8>(Vec::mullo16(lanes(0), a));
        blendHigh = Vec::srai16<8>(Vec::mullo16(lanes(-32), a));
    }
    R blue(R s, R t) const
    {
        const R tv = Vec::bitAnd(t, Base::blueMask);
        const R d = Vec::sub16(Vec::bitAnd(s, Base::blueMask), tv);
        return Vec::add16(tv, _mm512_permutex2var_epi16(blendLow, d, blendHigh));
    }
    R operator()(R s, R t) const
    {
        return Vec::andOr(Base::red(s, t), Base::redMask, Vec::bitOr(Base::green(s, t), blue(s, t)));
    }
};

template <class Format> void alphaFixedLookup16(const BlendJob& job)
{
    K::rows(job, job.width * 2, AlphaFixedLookup<Format>(job), K::NoRest{});
}

// blendModulated, modes 0 and 1, pairs: the two-pixel form with tables.
// For one call m = floor((s f + 64 (f mod 4)) / 256) depends only on the
// field value s, and floor((a d + 64 (a mod 4)) / 256) only on d = m - t, so
// both are looked up in per-call tables of 16-bit words (vpermw takes the low
// 5 bits of each index lane, vpermi2w the low 6): the field does not even
// need to be masked out of the pixel first. The 6-bit green difference
// (-63 to 63) is computed instead.
template <class Format> struct Modulated16Lookup {
    R modulateTable[3][2]; // per channel, field values 0-31 and 32-63
    R blendLow, blendHigh; // d = 0..31 and d = -32..-1
    R values[3], alpha, alphaBias;

    explicit Modulated16Lookup(const BlendJob& job)
        : alpha(Vec::set16(job.alpha)), alphaBias(Vec::set16(64 * (job.alpha % 4)))
    {
        const uint32_t f[3] = {job.redFactor, job.greenFactor, job.blueFactor};
        const Field fields[3] = {Format::kRed, Format::kGreen, Format::kBlue};
        const R low = lanes(0), high = lanes(32), negative = lanes(-32); // -32..-1
        for (int c = 0; c < 3; ++c) {
            const R factor = Vec::set16(f[c]), bias = Vec::set16(64 * (f[c] % 4));
            modulateTable[c][0] = Vec::srli16<8>(Vec::add16(Vec::mullo16(low, factor), bias));
            modulateTable[c][1] = Vec::srli16<8>(Vec::add16(Vec::mullo16(high, factor), bias));
            values[c] = Vec::set16(fields[c].valueMask());
        }
        blendLow = Vec::srai16<8>(Vec::add16(Vec::mullo16(low, alpha), alphaBias));
        blendHigh = Vec::srai16<8>(Vec::add16(Vec::mullo16(negative, alpha), alphaBias));
    }
    Vec::Keep16 keep(R s) const { return Vec::zero16(s); }

    template <uint32_t Position, uint32_t Width> R channel(R s, R t, int c) const
    {
        R index = s;
        if constexpr (Position != 0)
            index = Vec::srli16<Position>(s);
        R m;
        if constexpr (Width == 5)
            m = _mm512_permutexvar_epi16(index, modulateTable[c][0]);
        else
            m = _mm512_permutex2var_epi16(modulateTable[c][0], index, modulateTable[c][1]);
        const R tv = K::fieldValue<Position, Width>(t, values[c]);
        const R d = Vec::sub16(m, tv);
        R g;
        if constexpr (Width == 5)
            g = _mm512_permutex2var_epi16(blendLow, d, blendHigh);
        else
            g = Vec::srai16<8>(Vec::add16(Vec::mullo16(d, alpha), alphaBias));
        return K::placeField<Position>(Vec::add16(tv, g));
    }
    R operator()(R s, R t) const
    {
        return Vec::bitOr3(channel<Format::kRed.position, Format::kRed.width>(s, t, 0),
                           channel<Format::kGreen.position, Format::kGreen.width>(s, t, 1),
                           channel<Format::kBlue.position, Format::kBlue.width>(s, t, 2));
    }
};

constexpr KernelTable makeAvx512Table()
{
    KernelTable t = makeKernelTable<Vec>(KernelLevel::Avx512, &kAvx2Kernels);
    t.modulated[0] = K::modulated16With<Format555, Modulated16Lookup<Format555>>;
    t.modulated[1] = K::modulated16With<Format565, Modulated16Lookup<Format565>>;
    t.alphaMmx[0] = alphaFixedLookup16<Format555>;
    t.alphaMmx[1] = alphaFixedLookup16<Format565>;
    return t;
}

} // namespace

// Built at compile time: no code of this instruction set runs before the table is chosen.
constinit const KernelTable kAvx512Kernels = makeAvx512Table();

} // namespace ZorvUISystem
