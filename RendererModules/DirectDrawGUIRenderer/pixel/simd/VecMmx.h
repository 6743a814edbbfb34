// 64-bit vectors with plain MMX: the operations the kernel templates use,
// built from the instructions of the first MMX processors only (no pmulhuw,
// pshufw, pavgb/pavgw, pminub/pmaxub, pmovmskb, movntq, nothing of SSE or
// 3DNow!). What those later instructions do in one step is composed here of
// several plain ones, with the same result in every lane. Compiled only into
// the MMX kernel sources; internal linkage throughout.
//
// The MMX registers are the x87 registers: every kernel leaves them with
// leave() (EMMS) before it returns, so floating-point code that follows runs.
#pragma once

#include <cstdint>
#include <cstring>

#include <mmintrin.h>

#include "pixel/simd/VecCommon.h"

namespace ZorvUISystem {
namespace {

// Keeps a loaded MMX vector in its register (see keepInRegister in
// VecCommon.h); a plain MMX operation may read memory operands too. Where
// MMX operations are carried out in SSE registers (64-bit builds) the
// compiler already keeps it.
inline void keepInRegister(__m64& vector)
{
#if defined(__GNUC__) && defined(__i386__)
    asm("" : "+y"(vector));
#else
    (void)vector;
#endif
}

// The low 32 bits of v in a general register. GCC moves an MMX register to
// a general one through the stack (a store and a load that waits for it);
// MOVD does it directly.
inline int32_t low32(__m64 v)
{
#if defined(__GNUC__) && defined(__i386__)
    int32_t r;
    asm("movd %1, %0" : "=r"(r) : "y"(v));
    return r;
#else
    return _mm_cvtsi64_si32(v);
#endif
}

struct Vec {
    using R = __m64;
    static constexpr uint32_t kBytes = 8;
    // 24-bit rows: a vector holds two whole pixels (6 bytes) and the first
    // two bytes of the next pixel, which are written back as they were read.
    static constexpr uint32_t kPixels24 = 2;
    static constexpr uint32_t kSpan24 = 8;
    static constexpr uint32_t channelOfByte24(uint32_t byte) { return byte % 3; }
    // Where a row has room, eight pixels go as three whole vectors.
    static constexpr bool kGroups24 = true;
    // The first MMX processors have no prefetch instruction.
    static constexpr bool kPrefetch = false;
    // mulhu16 below takes six instructions besides the multiply.
    static constexpr bool kSlowUnsignedMulHigh = true;
    // A whole vector of transparent source pixels is found with two loads
    // into general registers: no vector instruction (of the two pipes that
    // run them) and no move out of an MMX register is spent on it.
    static constexpr bool kScalarSkip = true;
    // Where a kernel's result is the destination plus a difference, the
    // kept lanes are the destination plus nothing: one PANDN instead of the
    // three instructions of a select.
    static constexpr bool kSelectByAdding = true;

    struct Keep16 {
        R v;
    };
    struct Keep32 {
        R v;
    };

    static void leave() { _mm_empty(); }

    static R load(const uint8_t* p)
    {
        R v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void store(uint8_t* p, R v) { std::memcpy(p, &v, sizeof v); }
    // A load the compiler does not merge with another of the same bytes: a
    // value needed several times is loaded again (the load ports are free)
    // rather than copied between MMX registers (which takes one of the two
    // pipes the MMX instructions run on).
    static R reload(const uint8_t* p)
    {
#if defined(__GNUC__) && defined(__i386__)
        R r;
        asm volatile("movq %1, %0" : "=y"(r) : "m"(*reinterpret_cast<const R*>(p)));
        return r;
#else
        return load(p);
#endif
    }
    static R loadPartial(const uint8_t* p, uint32_t bytes)
    {
        alignas(8) uint8_t buffer[kBytes] = {};
        copySmall<kBytes>(buffer, p, bytes);
        return load(buffer);
    }

    static R load24(const uint8_t* p)
    {
        return load(p);
    }
    static void store24(uint8_t* p, R v)
    {
        store(p, v);
    }
    // The bytes of the two pixels whose source has a byte that is not 0.
    struct Written24 {
        R starts = _mm_set_pi32(0, static_cast<int>(0xFF0000FFu));
        R operator()(R s) const
        {
            const R any = _mm_or_si64(_mm_or_si64(s, _mm_srli_si64(s, 8)), _mm_srli_si64(s, 16));
            const R first = _mm_andnot_si64(_mm_cmpeq_pi8(any, _mm_setzero_si64()), starts);
            return _mm_or_si64(_mm_or_si64(first, _mm_slli_si64(first, 8)), _mm_slli_si64(first, 16));
        }
    };
    // Lanes of all ones or all zeros, packed with signed saturation into one
    // 32-bit word: each byte is 0 exactly where its lane was.
    static int32_t packed(R mask)
    {
        return low32(_mm_packs_pi16(mask, mask));
    }
    static bool none(R mask)
    {
        return low32(_mm_or_si64(mask, _mm_srli_si64(mask, 32))) == 0;
    }
    static R loadConstant(const void* p)
    {
        return load(static_cast<const uint8_t*>(p));
    }

    // The alpha byte at the start of each of the two pixels spread over its
    // three bytes (the alpha surface beside 24-bit texels).
    struct Spread24 {
        R starts = _mm_set_pi32(0, static_cast<int>(0xFF0000FFu));
        R operator()(R a) const
        {
            const R first = _mm_and_si64(a, starts);
            return _mm_or_si64(_mm_or_si64(first, _mm_slli_si64(first, 8)), _mm_slli_si64(first, 16));
        }
    };

    static R set16(uint32_t v)
    {
        return _mm_set1_pi16(static_cast<short>(v));
    }
    static R set32(uint32_t v)
    {
        return _mm_set1_pi32(static_cast<int>(v));
    }
    static R zero()
    {
        return _mm_setzero_si64();
    }

    static R bitAnd(R a, R b)
    {
        return _mm_and_si64(a, b);
    }
    static R bitOr(R a, R b)
    {
        return _mm_or_si64(a, b);
    }
    static R bitOr3(R a, R b, R c)
    {
        return _mm_or_si64(_mm_or_si64(a, b), c);
    }
    static R andNot(R a, R b)
    {
        return _mm_andnot_si64(a, b);
    } // ~a & b
    static R andOr(R a, R m, R c)
    {
        return _mm_or_si64(_mm_and_si64(a, m), c);
    } // (a & m) | c
    static R add16(R a, R b)
    {
        return _mm_add_pi16(a, b);
    }
    static R sub16(R a, R b)
    {
        return _mm_sub_pi16(a, b);
    }
    static R mullo16(R a, R b)
    {
        return _mm_mullo_pi16(a, b);
    }
    static R mulhi16(R a, R b)
    {
        return _mm_mulhi_pi16(a, b);
    }
    // The unsigned high half from the signed one: a lane read as signed is
    // 2^16 less than unsigned where its top bit is set, so the signed
    // product lacks b 2^16 where a's top bit is set and a 2^16 where b's is.
    static R mulhu16(R a, R b)
    {
        const R fixA = _mm_and_si64(_mm_srai_pi16(a, 15), b);
        const R fixB = _mm_and_si64(_mm_srai_pi16(b, 15), a);
        return _mm_add_pi16(_mm_mulhi_pi16(a, b), _mm_add_pi16(fixA, fixB));
    }
    // The rounded-up average (a + b + 1) >> 1 without a carry out of the
    // lane: (a OR b) - ((a XOR b) >> 1).
    static R avg16(R a, R b)
    {
        return _mm_sub_pi16(_mm_or_si64(a, b), _mm_srli_pi16(_mm_xor_si64(a, b), 1));
    }
    static R avg8(R a, R b)
    {
        const R half = _mm_and_si64(_mm_srli_pi16(_mm_xor_si64(a, b), 1), _mm_set1_pi16(0x7F7F));
        return _mm_sub_pi8(_mm_or_si64(a, b), half);
    }
    // (a + b + 1) >> 1 where bit 0 of every lane (halfSum16) or byte
    // (halfSum8) of a and b is 0: then it is (a >> 1) + (b >> 1), with no
    // carry out of a lane or byte and the bit shifted in from the next byte 0.
    static R halfSum16(R a, R b)
    {
        return _mm_add_pi16(_mm_srli_pi16(a, 1), _mm_srli_pi16(b, 1));
    }
    static R halfSum8(R a, R b)
    {
        return halfSum16(a, b);
    }
    template <int N> static R slliBytes64(R a)
    {
        return _mm_slli_si64(a, 8 * N);
    }
    static R cmpeq8(R a, R b)
    {
        return _mm_cmpeq_pi8(a, b);
    }
    template <int N> static R srli16(R a)
    {
        return _mm_srli_pi16(a, N);
    }
    template <int N> static R slli16(R a)
    {
        return _mm_slli_pi16(a, N);
    }
    template <int N> static R srai16(R a)
    {
        return _mm_srai_pi16(a, N);
    }
    template <int N> static R srli32(R a)
    {
        return _mm_srli_pi32(a, N);
    }
    template <int N> static R slli32(R a)
    {
        return _mm_slli_pi32(a, N);
    }
    static R subsU16(R a, R b)
    {
        return _mm_subs_pu16(a, b);
    } // max(a - b, 0), unsigned 16-bit lanes
    static R addsU8(R a, R b)
    {
        return _mm_adds_pu8(a, b);
    } // min(a + b, 255), unsigned bytes
    static R shiftCount(uint32_t n)
    {
        return _mm_cvtsi32_si64(static_cast<int>(n));
    }
    static R srl16(R a, R count)
    {
        return _mm_srl_pi16(a, count);
    }
    static R sll16(R a, R count)
    {
        return _mm_sll_pi16(a, count);
    }

    // All ones where a >= b, unsigned 16-bit lanes.
    static R atLeastU16(R a, R b)
    {
        return _mm_cmpeq_pi16(_mm_subs_pu16(b, a), _mm_setzero_si64());
    }

    static Keep16 zero16(R s)
    {
        return {_mm_cmpeq_pi16(s, _mm_setzero_si64())};
    }
    static Keep16 zeroPairs16(R s)
    {
        return {_mm_cmpeq_pi32(s, _mm_setzero_si64())};
    }
    static Keep32 zero32(R s)
    {
        return {_mm_cmpeq_pi32(s, _mm_setzero_si64())};
    }
    static Keep32 zeroMasked32(R s, R mask)
    {
        return {_mm_cmpeq_pi32(_mm_and_si64(s, mask), _mm_setzero_si64())};
    }
    static bool all(Keep16 k)
    {
        return packed(k.v) == -1;
    }
    static bool all(Keep32 k)
    {
        return packed(k.v) == -1;
    }
    // r with t where keep is set, as r ^ ((r ^ t) & keep): each operand is
    // used once, so two-operand MMX code needs no copy of keep or t.
    static R select(R keep, R t, R r)
    {
        return _mm_xor_si64(r, _mm_and_si64(_mm_xor_si64(r, t), keep));
    }
    static R select16(Keep16 k, R t, R r)
    {
        return select(k.v, t, r);
    }

    template <class Keep> static void storeKeeping(uint8_t* p, Keep k, R t, R r)
    {
        store(p, select(k.v, t, r));
    }
    template <class Keep> static void storePartialKeeping(uint8_t* p, uint32_t bytes, Keep k, R t, R r)
    {
        alignas(8) uint8_t buffer[kBytes];
        store(buffer, select(k.v, t, r));
        copySmall<kBytes>(p, buffer, bytes);
    }
};

} // namespace
} // namespace ZorvUISystem
