// The vector blend kernels, written once over a vector type `Vec` (MMX,
// SSE2, AVX2 or AVX-512 BW) and compiled once per instruction set by the
// Kernels*.cpp files. Everything has internal linkage, so no copy compiled
// for one instruction set can be picked for another.
//
// Memory contract: a kernel reads the width x height source rectangle (and
// the texel-alpha kernel the rectangle of the same pixel size on the alpha
// surface) and reads and writes the width x height destination rectangle at
// the first-pixel pointers, rows stepped by each pitch. It reads and writes
// nothing in the pitch padding and no byte after a row's last pixel: whole
// vectors are used while a whole vector fits in the row, the rest of the row
// goes through one partial vector, assembled from and written back to
// exactly its bytes (masked loads and stores with AVX-512), and pixels with
// their own formula (the last pixel of an odd row, the rest pixels of mode 2)
// are done one at a time. Addresses need only be 2-byte aligned (any address
// for 24-bit rows): vectors are loaded and stored unaligned. Source pixels
// whose colour bits are all 0 leave their destination as it was (in a whole
// vector the lane may be written back with its own old value). A 24-bit
// vector also reads the first byte (with MMX the first two bytes) of the
// pixel after its own and writes them back as read; it is used only where
// those bytes are in the row, and the next vector, which starts at the first
// of them, is loaded before it is stored. Where V asks for it (MMX), 24-bit
// rows go eight pixels as three whole vectors while the row holds a byte
// after them, the pixels tested by 32-bit loads into general registers (the
// last of which reads that byte), and whole vectors of other rows are tested
// for transparency by 32-bit loads of their own bytes. Besides the loads and stores there
// are prefetch hints (not with MMX), for rows of the same two rectangles
// only; a hint reads nothing and cannot fault. Inner loops hold their
// constants in registers, allocate nothing and call nothing. MMX kernels end
// with EMMS.
//
// Results equal the portable kernels bit for bit. The pair and group
// structure is relative to the rectangle's row start, and every vector starts
// a whole number of pairs and groups after it, so each lane computes exactly
// what its pair, group or rest pixel gives.
#pragma once

#include <xmmintrin.h>

#include "pixel/KernelTable.h"
#include "pixel/PixelFormats.h"

namespace ZorvUISystem {
namespace {

// The byte masks of a group of eight 24-bit pixels, one entry for each set
// of written pixels (bit p: pixel p): its bytes all ones where their pixel
// is written. A variable template: only the objects that use it hold it.
struct GroupMasks24 {
    uint8_t bytes[256][24];
};
constexpr GroupMasks24 makeGroupMasks24()
{
    GroupMasks24 m{};
    for (uint32_t written = 0; written < 256; ++written)
        for (uint32_t b = 0; b < 24; ++b)
            m.bytes[written][b] = ((written >> (b / 3)) & 1u) != 0 ? 0xFF : 0x00;
    return m;
}
template <class = void> constexpr GroupMasks24 kGroupMasks24 = makeGroupMasks24();

// The bytes of the three 8-byte vectors of a group of eight 24-bit pixels by
// their distance from their pixel's first byte: masks[3 v + k] has all ones
// in the bytes of vector v that lie k bytes after it.
struct DistanceMasks24 {
    uint64_t masks[9];
};
constexpr DistanceMasks24 makeDistanceMasks24()
{
    DistanceMasks24 d{};
    for (uint32_t v = 0; v < 3; ++v)
        for (uint32_t k = 0; k < 3; ++k)
            for (uint32_t j = 0; j < 8; ++j)
                if ((8 * v + j) % 3 == k)
                    d.masks[3 * v + k] |= uint64_t{0xFF} << (8 * j);
    return d;
}
template <class = void> constexpr DistanceMasks24 kDistanceMasks24 = makeDistanceMasks24();

template <class V> struct SimdKernels {
    using R = typename V::R;
    using Keep16 = typename V::Keep16;
    using Keep32 = typename V::Keep32;

    // -- the row walker ----------------------------------------------------

    // Whether V has prefetch hints (the first MMX processors have none).
    static constexpr bool kPrefetch = [] {
        if constexpr (requires { V::kPrefetch; })
            return V::kPrefetch;
        else
            return true;
    }();

    // Whether V composes the unsigned 16-bit high half of several
    // instructions (plain MMX has only the signed one).
    static constexpr bool kSlowUnsignedMulHigh = [] {
        if constexpr (requires { V::kSlowUnsignedMulHigh; })
            return V::kSlowUnsignedMulHigh;
        else
            return false;
    }();

    // After the last vector of a call: MMX hands its registers back to the
    // floating-point unit (EMMS); the wider sets have nothing to do.
    static void leave()
    {
        if constexpr (requires { V::leave(); })
            V::leave();
    }

    // Whether V tests a whole vector for transparency in general registers
    // (allKeptAt) rather than with its own instructions.
    static constexpr bool kScalarSkip = requires { V::kScalarSkip; };

    // The bits of each 32-bit word of a vector that Op's keep() tests for
    // 0 (a lane is kept where its bits are all 0): the colour bytes of
    // 32-bit pixels (Op::kKeepBits), else every bit.
    template <class Op> static constexpr uint32_t keepBits()
    {
        if constexpr (requires { Op::kKeepBits; })
            return Op::kKeepBits;
        else
            return 0xFFFFFFFFu;
    }

    // Whether every lane of the whole vector at p is kept: its 32-bit words
    // read into general registers, the kept bits of all of them 0.
    template <uint32_t Bits> static bool allKeptAt(const uint8_t* p)
    {
        uint32_t any = 0;
        for (uint32_t at = 0; at < V::kBytes; at += 4)
            any |= load32(p + at);
        return (any & Bits) == 0;
    }

    // Whether the Bits of every 32-bit word of the whole vector at p are
    // all set, read into general registers.
    template <uint32_t Bits> static bool allSetAt(const uint8_t* p)
    {
        uint32_t all = Bits;
        for (uint32_t at = 0; at < V::kBytes; at += 4)
            all &= load32(p + at);
        return all == Bits;
    }

    // The result of op at s and t with the kept lanes t as they were: where
    // op gives the result as t plus a difference (op.delta) and V prefers it,
    // the difference with the kept lanes cleared is added; else a select.
    template <class Op, class Keep> static R keeping(const Op& op, Keep keep, R s, R t)
    {
        if constexpr (requires {
                          V::kSelectByAdding;
                          op.delta(s, t);
                      })
            return V::add16(t, V::andNot(keep.v, op.delta(s, t)));
        else
            return V::select(keep.v, t, op(s, t));
    }

    // The source and destination vectors of one step, for an op's deltaOf:
    // Held, read once into registers; Reloaded (where V has reload), read
    // from memory again at every use, where keeping a copy in another
    // register would cost an instruction of the vector pipes (two-operand
    // MMX) and a load costs none.
    struct Held {
        R sv, tv;
        R s() const { return sv; }
        R t() const { return tv; }
    };
    struct Reloaded {
        const uint8_t* sp;
        const uint8_t* dp;
        R s() const { return V::reload(sp); }
        R t() const { return V::reload(dp); }
    };

    // The bytes a 24-bit vector reads and writes back: its whole pixels and,
    // unless V says otherwise, the first byte of the next pixel.
    static constexpr uint32_t kSpan24 = [] {
        if constexpr (requires { V::kSpan24; })
            return V::kSpan24;
        else
            return 3 * V::kPixels24 + 1;
    }();

    // Applies op to the first vectorBytes bytes of every row (whole vectors,
    // then one partial vector), then calls rest(sourcePixel, destinationPixel)
    // with the pointers just after them for the pixels that follow.
    template <class Op, class Rest>
    static void rows(const BlendJob& job, uint32_t vectorBytes, const Op& op, const Rest& rest)
    {
        for (uint32_t y = 0; y < job.height; ++y) {
            const uint8_t* sp = job.source + static_cast<ptrdiff_t>(y) * job.sourcePitch;
            uint8_t* dp = job.destination + static_cast<ptrdiff_t>(y) * job.destinationPitch;
            // Prefetch hints for the source and destination rows two ahead
            // (at the first row also the next one), while this one is worked on.
            if constexpr (kPrefetch)
                for (uint32_t ahead = y == 0 ? 1 : 2; ahead <= 2 && y + ahead < job.height; ++ahead)
                    prefetchRow(sp + static_cast<ptrdiff_t>(ahead) * job.sourcePitch,
                                dp + static_cast<ptrdiff_t>(ahead) * job.destinationPitch, vectorBytes);
            uint32_t left = vectorBytes;
            if constexpr (kScalarSkip) {
                // Two vectors a step, counted down: the loop's own
                // instructions are spread over twice the work.
                const auto one = [&](const uint8_t* at, uint8_t* to) {
                    if (allKeptAt<keepBits<Op>()>(at))
                        return;
                    if constexpr (requires(const uint8_t* p) { op.deltaOf(Reloaded{p, p}); }) {
                        const Reloaded in{at, to};
                        V::store(to, V::add16(in.t(), V::andNot(op.keep(in.s()).v, op.deltaOf(in))));
                    } else if constexpr (requires(const uint8_t* p) { V::reload(p); }) {
                        const Reloaded in{at, to};
                        V::store(to, V::select(op.keep(in.s()).v, in.t(), op(in.s(), in.t())));
                    } else {
                        const R s = V::load(at);
                        R t = V::load(to);
                        keepInRegister(t);
                        V::store(to, keeping(op, op.keep(s), s, t));
                    }
                };
                for (uint32_t steps = left / (2 * V::kBytes); steps != 0; --steps) {
                    one(sp, dp);
                    one(sp + V::kBytes, dp + V::kBytes);
                    sp += 2 * V::kBytes;
                    dp += 2 * V::kBytes;
                }
                left %= 2 * V::kBytes;
                if (left >= V::kBytes) {
                    one(sp, dp);
                    sp += V::kBytes;
                    dp += V::kBytes;
                    left -= V::kBytes;
                }
            }
            // (With kScalarSkip fewer than V::kBytes bytes are left here.)
            for (; left >= V::kBytes; left -= V::kBytes, sp += V::kBytes, dp += V::kBytes) {
                const R s = V::load(sp);
                const auto keep = op.keep(s);
                if (V::all(keep))
                    continue;
                R t = V::load(dp);
                keepInRegister(t);
                V::storeKeeping(dp, keep, t, op(s, t));
            }
            if (left != 0) {
                const R s = V::loadPartial(sp, left);
                const auto keep = op.keep(s); // the lanes beyond the row hold 0: transparent
                if (!V::all(keep)) {
                    const R t = V::loadPartial(dp, left);
                    V::storePartialKeeping(dp, left, keep, t, op(s, t));
                }
                sp += left;
                dp += left;
            }
            rest(sp, dp);
        }
        leave();
    }

    // 24-bit rows, bytes as they lie: op(s, t) gives every byte's result
    // (the 24-bit ops below). A vector covers V::kPixels24 whole pixels, each
    // 128-bit part five of them from its first byte, and the byte after them
    // (the two bytes after two pixels with MMX), which are always written back
    // as read; the next vector starts at the first of them, so it is loaded
    // before this vector is stored. A pixel is written
    // where one of its source bytes is not 0 (V::Written24). The rest of the
    // row (at most V::kPixels24 pixels) goes through one vector in stack
    // buffers, copied in exact pieces; their zero padding is transparent.
    template <class Op> static void rows24(const BlendJob& job, const Op& op)
    {
        constexpr uint32_t kStep = 3 * V::kPixels24;
        constexpr uint32_t kSpan = kSpan24; // the bytes a vector reads and writes
        const typename V::Written24 written;
        const auto blend = [&](uint8_t* at, R s, R t) {
            const R write = written(s);
            if (!V::none(write))
                V::store24(at, V::select(write, op(s, t), t));
        };
        const uint32_t rowBytes = job.width * 3;
        for (uint32_t y = 0; y < job.height; ++y) {
            const uint8_t* sp = job.source + static_cast<ptrdiff_t>(y) * job.sourcePitch;
            uint8_t* dp = job.destination + static_cast<ptrdiff_t>(y) * job.destinationPitch;
            if constexpr (kPrefetch)
                for (uint32_t ahead = y == 0 ? 1 : 2; ahead <= 2 && y + ahead < job.height; ++ahead)
                    prefetchRow(sp + static_cast<ptrdiff_t>(ahead) * job.sourcePitch,
                                dp + static_cast<ptrdiff_t>(ahead) * job.destinationPitch, rowBytes);
            uint32_t left = rowBytes;
            if constexpr (kGroups24)
                for (; left > kGroup24; left -= kGroup24, sp += kGroup24, dp += kGroup24)
                    group24(sp, dp, op);
            if (left >= kSpan) {
                R s = V::load24(sp), t = V::load24(dp);
                for (; left >= kSpan + kStep; left -= kStep, sp += kStep, dp += kStep) {
                    const R sNext = V::load24(sp + kStep), tNext = V::load24(dp + kStep);
                    blend(dp, s, t);
                    s = sNext;
                    t = tNext;
                }
                blend(dp, s, t);
                left -= kStep;
                sp += kStep;
                dp += kStep;
            }
            if (left != 0) {
                alignas(64) uint8_t sourceBytes[kSpan] = {};
                alignas(64) uint8_t destinationBytes[kSpan] = {};
                copySmall<kSpan>(sourceBytes, sp, left);
                const R s = V::load24(sourceBytes);
                copySmall<kSpan>(destinationBytes, dp, left);
                blend(destinationBytes, s, V::load24(destinationBytes));
                copySmall<kSpan>(dp, destinationBytes, left);
            }
        }
        leave();
    }

    // Whether V's 24-bit rows go eight pixels (three whole vectors) a group
    // where it can: V's vectors hold a whole number of pixels plus two bytes
    // of the next one, so that one vector a pixel pair wastes a quarter of
    // every vector and needs a select to write those bytes back.
    static constexpr bool kGroups24 = requires { V::kGroups24; };
    static constexpr uint32_t kGroup24 = 3 * V::kBytes;

    // op at the vector of a group that starts Offset bytes after the group
    // (a pixel's first byte for Offset 0 only): an op whose bytes differ by
    // channel gives at<Offset>, the others are the same at every byte.
    template <uint32_t Offset, class Op> static R opAt(const Op& op, R s, R t)
    {
        if constexpr (requires { op.template at<Offset>(s, t); })
            return op.template at<Offset>(s, t);
        else
            return op(s, t);
    }

    // One group of eight pixels (the row holds at least one byte after it,
    // which a pixel's 32-bit load reads). The pixels written, those whose
    // source has a byte that is not 0, are found in general registers
    // ((x + 2^24 - 1) >> 24 is 1 exactly where the 24-bit pixel x is not
    // 0); the three vectors are blended whole and kept under the group's
    // byte masks, one after the other.
    template <class Op> static void group24(const uint8_t* sp, uint8_t* dp, const Op& op)
    {
        static_assert(kGroup24 == sizeof kGroupMasks24<>.bytes[0], "eight pixels a group");
        uint32_t written = 0;
        for (uint32_t p = 0; p < 8; ++p)
            written |= (((load32(sp + 3 * p) & 0x00FFFFFFu) + 0x00FFFFFFu) >> 24) << p;
        if (written == 0)
            return;
        const uint8_t* masks = kGroupMasks24<>.bytes[written];
        vectorOfGroup24<0>(sp, dp, masks, op);
        vectorOfGroup24<V::kBytes>(sp, dp, masks, op);
        vectorOfGroup24<2 * V::kBytes>(sp, dp, masks, op);
    }
    template <uint32_t Offset, class Op>
    static void vectorOfGroup24(const uint8_t* sp, uint8_t* dp, const uint8_t* masks, const Op& op)
    {
        if constexpr (requires(const uint8_t* p) { V::reload(p); }) {
            const Reloaded in{sp + Offset, dp + Offset};
            R r;
            if constexpr (requires { op.deltaOf(in); })
                r = V::add16(in.t(), op.deltaOf(in));
            else
                r = opAt<Offset>(op, in.s(), in.t());
            V::store(dp + Offset, V::select(V::load(masks + Offset), r, in.t()));
        } else {
            const R s = V::load(sp + Offset);
            R t = V::load(dp + Offset);
            keepInRegister(t);
            V::store(dp + Offset, V::select(V::load(masks + Offset), opAt<Offset>(op, s, t), t));
        }
    }

    static void prefetchRow(const uint8_t* source, const uint8_t* destination, uint32_t bytes)
    {
        for (uint32_t at = 0; at < bytes; at += 64) {
            _mm_prefetch(reinterpret_cast<const char*>(source + at), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(destination + at), _MM_HINT_T0);
        }
    }

    struct NoRest {
        void operator()(const uint8_t*, uint8_t*) const {}
    };

    // -- 16-bit field helpers ----------------------------------------------

    // The field at Position, Width as a value in each 16-bit lane.
    template <uint32_t Position, uint32_t Width> static R fieldValue(R pixels, R valueMask)
    {
        if constexpr (Position + Width == 16)
            return V::template srli16<Position>(pixels);
        else if constexpr (Position == 0)
            return V::bitAnd(pixels, valueMask);
        else
            return V::bitAnd(V::template srli16<Position>(pixels), valueMask);
    }

    template <uint32_t Position> static R placeField(R value)
    {
        if constexpr (Position == 0)
            return value;
        else
            return V::template slli16<Position>(value);
    }

    // -- blendAlphaMmx, modes 0 and 1: r = t + floor(a (s - t) / 256) per field
    // (group and rest pixels alike), which is also floor((s a + t (256 - a)) / 256).
    // Each field is computed where it lies in the pixel, so that few shifts
    // are needed; every form gives exactly the per-lane value of the lane
    // arithmetic, as the fields are at most 6 bits wide.

    template <class Format> struct AlphaFixed {
        static constexpr Field kR = Format::kRed, kG = Format::kGreen, kB = Format::kBlue;
        static_assert(kR.position >= 8 && kG.position == 5 && kB.position == 0 && kG.width <= 6,
                      "red in the high byte, green at bit 5, blue at bit 0");
        static constexpr bool kRedOnTop = kR.position + kR.width == 16;

        R redMask, greenMask, blueMask;
        R redScale, redScaleInverse; // a and 256 - a scaled for red's position
        R greenScale, alpha;
        R redValues, redPlaced, redAndAbove, outside; // see deltaOf

        explicit AlphaFixed(uint32_t a)
            : redMask(V::set16(kR.mask())), greenMask(V::set16(kG.mask())), blueMask(V::set16(kB.mask())),
              redScale(V::set16(kRedOnTop ? a << (kR.position - 8) : a << (16 - kR.position))),
              redScaleInverse(V::set16((256 - a) << (16 - kR.position))), greenScale(V::set16(a << 5)),
              alpha(V::set16(a)), redValues(V::set16(kR.valueMask())), redPlaced(V::set16(a << (kR.position - 8))),
              redAndAbove(V::set16(0xFFFFu << kR.position & 0xFFFFu)), outside(V::set16(~Format::kColourMask & 0xFFFFu))
        {
        }
        Keep16 keep(R s) const { return V::zero16(s); }

        // Red, not yet masked to its field.
        R red(R s, R t) const
        {
            const R tField = V::bitAnd(t, redMask);
            if constexpr (kRedOnTop) {
                // (t << p) + (s - t) a 2^(p - 8): the field bits are those of
                // (t + floor(a (s - t) / 256)) << p.
                const R d = V::sub16(V::template srli16<kR.position>(s), V::template srli16<kR.position>(t));
                return V::add16(tField, V::mullo16(d, redScale));
            } else {
                // s a + t (256 - a) from the fields in place, then placed.
                // Every factor is below 2^15 (the field below bit 15, the
                // scales at most 256 << 6), where the signed high half is the
                // unsigned one.
                static_assert(kR.position >= 10, "scales below 2^15");
                const R x = V::add16(V::mulhi16(V::bitAnd(s, redMask), redScale), V::mulhi16(tField, redScaleInverse));
                return V::template slli16<kR.position - 8>(x);
            }
        }
        // Green in place: the high half of ((s - t) 2^8) (a 2^5) is
        // floor((s - t) a / 8); without its low 5 bits it is
        // floor((s - t) a / 256) << 5.
        R green(R s, R t) const
        {
            const R tField = V::bitAnd(t, greenMask);
            const R d = V::sub16(V::bitAnd(s, greenMask), tField); // (s - t) << 5
            const R scaled = V::mulhi16(V::template slli16<3>(d), greenScale);
            return V::add16(tField, V::andNot(belowGreen, scaled));
        }
        R blue(R s, R t) const
        {
            const R tv = V::bitAnd(t, blueMask);
            const R d = V::sub16(V::bitAnd(s, blueMask), tv);
            return V::add16(tv, V::template srai16<8>(V::mullo16(d, alpha)));
        }
        // The result less t: t plus each field's d = floor(a (s - t) / 256),
        // placed, is the result; this is their sum, each d 2^p modulo 2^16
        // (red's: the bits from p up of (s - t) a 2^(p - 8), of the field's
        // values where red is below the top, 555). Every field of the result
        // lies in 0 to its maximum, so the sum modulo 2^16 is exactly the
        // result's fields plus t's bits of no field, which are taken off
        // (they are 0 in the result).
        template <class In> R deltaOf(const In& in) const
        {
            R dRed;
            if constexpr (kRedOnTop)
                dRed = V::sub16(V::template srli16<kR.position>(in.s()), V::template srli16<kR.position>(in.t()));
            else
                dRed = V::sub16(fieldValue<kR.position, kR.width>(in.s(), redValues),
                                fieldValue<kR.position, kR.width>(in.t(), redValues));
            const R red = V::bitAnd(V::mullo16(dRed, redPlaced), redAndAbove);
            const R dGreen = V::sub16(V::bitAnd(in.s(), greenMask), V::bitAnd(in.t(), greenMask));
            const R green = V::andNot(belowGreen, V::mulhi16(V::template slli16<3>(dGreen), greenScale));
            const R dBlue = V::sub16(V::bitAnd(in.s(), blueMask), V::bitAnd(in.t(), blueMask));
            const R blue = V::template srai16<8>(V::mullo16(dBlue, alpha));
            const R sum = V::add16(red, V::add16(green, blue));
            if constexpr (Format::kColourMask == 0xFFFFu)
                return sum;
            else
                return V::sub16(sum, V::bitAnd(in.t(), outside));
        }
        R delta(R s, R t) const requires(kRedOnTop&& Format::kColourMask == 0xFFFFu) { return deltaOf(Held{s, t}); }
        R operator()(R s, R t) const
        {
            if constexpr (kRedOnTop && Format::kColourMask == 0xFFFFu) {
                return V::add16(t, delta(s, t));
            } else {
                return V::andOr(red(s, t), redMask, V::bitOr(green(s, t), blue(s, t)));
            }
        }

        R belowGreen = V::set16((1u << kG.position) - 1);
    };

    template <class Format> static void alphaFixed16(const BlendJob& job)
    {
        rows(job, job.width * 2, AlphaFixed<Format>(job.alpha), NoRest{});
    }

    // -- blendAlphaMmx, mode 2: groups of four with the destination's masks and
    // runtime shifts; the rest pixels in place with the source's masks.

    struct AlphaMasks {
        R alpha;
        R masks[3];
        decltype(V::shiftCount(0)) shifts[3];

        explicit AlphaMasks(const BlendJob& job) : alpha(V::set16(job.alpha))
        {
            for (int c = 0; c < 3; ++c) {
                const uint32_t m = job.destinationMasks[c] & 0xFFFFu;
                masks[c] = V::set16(m);
                shifts[c] = V::shiftCount(lowestSetBit(m));
            }
        }
        Keep16 keep(R s) const { return V::zero16(s); }
        R channel(R s, R t, int c) const
        {
            const R sv = V::srl16(V::bitAnd(s, masks[c]), shifts[c]);
            const R tv = V::srl16(V::bitAnd(t, masks[c]), shifts[c]);
            const R d = V::template srai16<8>(V::mullo16(V::sub16(sv, tv), alpha));
            return V::sll16(V::add16(d, tv), shifts[c]);
        }
        R operator()(R s, R t) const { return V::bitOr3(channel(s, t, 0), channel(s, t, 1), channel(s, t, 2)); }
    };

    // Destination masks that are one run of at most 7 bits each, disjoint and
    // below bit 14: each lane's field is then exactly
    // r = t + floor(a (s - t) / 256), and it is computed in place. With
    // d = (s - t) << p (less than 2^14 in size), floor(d a / 256) is the high
    // half of (d << 1) (a << 7), and without its low p bits it is
    // floor((s - t) a / 256) << p. The fields of t are added back once for
    // the whole pixel. a = 256 copies the source's fields.
    static bool narrowRuns(const uint32_t masks[3])
    {
        uint32_t seen = 0;
        for (int c = 0; c < 3; ++c) {
            const uint32_t m = masks[c] & 0xFFFFu;
            const uint32_t run = m >> lowestSetBit(m);
            if (m == 0 || m >= 0x4000u || (m & seen) != 0 || run > 0x7Fu || (run & (run + 1)) != 0)
                return false;
            seen |= m;
        }
        return true;
    }

    template <bool Opaque> struct AlphaRuns {
        R masks[3], below[3], alphaHalf, fields;

        explicit AlphaRuns(const BlendJob& job) : alphaHalf(V::set16(job.alpha << 7))
        {
            uint32_t all = 0;
            for (int c = 0; c < 3; ++c) {
                const uint32_t m = job.destinationMasks[c] & 0xFFFFu;
                masks[c] = V::set16(m);
                below[c] = V::set16((1u << lowestSetBit(m)) - 1);
                all |= m;
            }
            fields = V::set16(all);
        }
        Keep16 keep(R s) const { return V::zero16(s); }
        template <class In> R scaled(const In& in, int c) const
        {
            const R d = V::sub16(V::bitAnd(in.s(), masks[c]), V::bitAnd(in.t(), masks[c]));
            return V::andNot(below[c], V::mulhi16(V::template slli16<1>(d), alphaHalf));
        }
        R operator()(R s, R t) const
        {
            if constexpr (Opaque)
                return V::bitAnd(s, fields);
            const Held in{s, t};
            const R sum = V::add16(V::add16(scaled(in, 0), scaled(in, 1)), scaled(in, 2));
            return V::add16(sum, V::bitAnd(t, fields));
        }
        // The result less t: the bits outside the fields taken off.
        template <class In> R deltaOf(const In& in) const requires(!Opaque)
        {
            const R sum = V::add16(V::add16(scaled(in, 0), scaled(in, 1)), scaled(in, 2));
            return V::sub16(sum, V::andNot(fields, in.t()));
        }
        R delta(R s, R t) const requires(!Opaque) { return deltaOf(Held{s, t}); }
    };

    template <class Op> static void alphaMasks16With(const BlendJob& job)
    {
        const uint32_t restPixels = job.width % 4;
        const int32_t a = static_cast<int32_t>(job.alpha);
        rows(job, (job.width - restPixels) * 2, Op(job), [&](const uint8_t* sp, uint8_t* dp) {
            for (uint32_t i = 0; i < restPixels; ++i, sp += 2, dp += 2) {
                const uint32_t s = load16(sp);
                if (s == 0)
                    continue;
                const uint32_t t = load16(dp);
                uint32_t r = 0;
                for (int c = 0; c < 3; ++c) {
                    const int32_t spos = static_cast<int32_t>(s & job.sourceMasks[c]);
                    const int32_t tpos = static_cast<int32_t>(t & job.destinationMasks[c]);
                    r |= static_cast<uint32_t>((((spos - tpos) * a) >> 8) + tpos) & job.destinationMasks[c];
                }
                store16(dp, r);
            }
        });
    }

    static void alphaMasks16(const BlendJob& job)
    {
        if (!narrowRuns(job.destinationMasks))
            alphaMasks16With<AlphaMasks>(job);
        else if (job.alpha >= 256)
            alphaMasks16With<AlphaRuns<true>>(job);
        else
            alphaMasks16With<AlphaRuns<false>>(job);
    }

    // floor(b a / 256) of every byte b, each in its place, for a below 256.
    // A 16-bit lane x = 256 hi + lo is scaled at once:
    //   q = floor(x (a << 8) / 65536) = hi a + floor(lo a / 256)   (mulhu)
    //   p = hi a                                                   (mullo)
    //   q - (p AND 0x00FF) = floor(lo a / 256) + 256 floor(hi a / 256).
    // Where a lane's high byte is to be scaled by 0, `keptProduct` has
    // 0xFFFF for that lane instead of 0x00FF, and the whole of p is taken off.
    // t + scaled(s) - scaled(t) then holds each byte's
    // t + floor(s a / 256) - floor(t a / 256) exactly, as every byte of the
    // result stays within 0-255.
    // Where V composes the unsigned high half of several instructions, the
    // two bytes of a lane are scaled apart instead: the low byte's
    // floor(lo a / 256) is the high byte of lo a (below 2^16), shifted down;
    // the high byte's is the high byte of hi a in place, with 0 for the
    // factor of a high byte scaled by 0.
    struct ByteScale {
        R alphaHigh, alpha, keptProduct, oddAlpha, lowBytes, highBytes;
        ByteScale(uint32_t a, uint32_t keptProductPair)
            : alphaHigh(V::set16(a << 8)), alpha(V::set16(a)), keptProduct(V::set32(keptProductPair)),
              oddAlpha(V::set32(a | ((keptProductPair >> 16) == 0xFFFFu ? 0 : a << 16))), lowBytes(V::set16(0x00FF)),
              highBytes(V::set16(0xFF00))
        {
        }
        // x() gives the vector at each use.
        template <class X> R of(const X& x) const
        {
            const R low = V::template srli16<8>(V::mullo16(V::bitAnd(x(), lowBytes), alpha));
            const R high = V::bitAnd(V::mullo16(V::template srli16<8>(x()), oddAlpha), highBytes);
            return V::bitOr(low, high);
        }
        R operator()(R x) const
        {
            if constexpr (kSlowUnsignedMulHigh) {
                return of([x] { return x; });
            } else {
                const R q = V::mulhu16(x, alphaHigh);
                const R p = V::mullo16(V::template srli16<8>(x), alpha);
                return V::sub16(q, V::bitAnd(p, keptProduct));
            }
        }
    };

    // -- blendAlphaMmx, mode 4: pairs with t + floor(s a / 256) - floor(t a / 256)
    // on bytes 0-2 (the fourth byte's alpha is 0, so it passes through), then
    // the last pixel of an odd row with the one-pixel form, fourth byte 0.

    struct Alpha32 {
        ByteScale scaled;
        R colourBytes;

        // The fourth byte (the high byte of the pixel's upper lane) is scaled
        // by alpha 0.
        explicit Alpha32(uint32_t a) : scaled(a, 0xFFFF00FF), colourBytes(V::set32(0x00FFFFFF)) {}
        static constexpr uint32_t kKeepBits = 0x00FFFFFFu;
        Keep32 keep(R s) const { return V::zeroMasked32(s, colourBytes); }
        R operator()(R s, R t) const { return V::add16(t, delta(s, t)); }
        R delta(R s, R t) const { return V::sub16(scaled(s), scaled(t)); }
        template <class In> R deltaOf(const In& in) const requires(kSlowUnsignedMulHigh)
        {
            return V::sub16(scaled.of([&] { return in.s(); }), scaled.of([&] { return in.t(); }));
        }
    };

    // a = 256: the colour bytes become the source's, the fourth byte stays.
    struct Opaque32 {
        R colourBytes = V::set32(0x00FFFFFF);
        static constexpr uint32_t kKeepBits = 0x00FFFFFFu;
        Keep32 keep(R s) const { return V::zeroMasked32(s, colourBytes); }
        R operator()(R s, R t) const { return V::bitOr(V::bitAnd(s, colourBytes), V::andNot(colourBytes, t)); }
    };

    static void alpha32(const BlendJob& job)
    {
        const int32_t a = static_cast<int32_t>(job.alpha);
        const bool odd = job.width % 2 != 0;
        const auto lastPixel = [&](const uint8_t* sp, uint8_t* dp) {
            if (!odd || (sp[0] | sp[1] | sp[2]) == 0)
                return;
            for (int c = 0; c < 3; ++c)
                dp[c] = static_cast<uint8_t>(blendOnePixel(dp[c], sp[c], a));
            dp[3] = 0;
        };
        if (job.alpha >= 256)
            rows(job, (job.width & ~1u) * 4, Opaque32(), lastPixel);
        else
            rows(job, (job.width & ~1u) * 4, Alpha32(job.alpha), lastPixel);
    }

    // mode 3 on bytes as they lie: r = t + floor(s a / 256) - floor(t a / 256)
    // on every byte, which at a = 256 is the source byte.
    struct Alpha24 {
        ByteScale scaled;
        explicit Alpha24(uint32_t a) : scaled(a, 0x00FF00FF) {}
        R operator()(R s, R t) const { return V::add16(t, V::sub16(scaled(s), scaled(t))); }
        template <class In> R deltaOf(const In& in) const requires(kSlowUnsignedMulHigh)
        {
            return V::sub16(scaled.of([&] { return in.s(); }), scaled.of([&] { return in.t(); }));
        }
    };
    struct Opaque24 {
        R operator()(R s, R) const { return s; }
    };

    static void alpha24(const BlendJob& job)
    {
        if (job.alpha >= 256)
            rows24(job, Opaque24());
        else
            rows24(job, Alpha24(job.alpha));
    }

    // -- the 50 % blends -------------------------------------------------------

    // floor(s / 2) + floor(t / 2) per field is the rounded-up average of s
    // and t under the halving key, which clears each field's lowest bit: both
    // sums are even, so rounding up adds nothing.
    struct HalfPixels16 {
        R key;
        explicit HalfPixels16(uint32_t k) : key(V::set16(k)) {}
        Keep16 keep(R s) const { return V::zero16(s); }
        R operator()(R s, R t) const { return average16(V::bitAnd(s, key), V::bitAnd(t, key)); }
    };

    // The rounded-up average of keyed 16-bit lanes: a halving key never
    // holds bit 0 (it keeps a bit only where the bit below is of the same
    // field), so it is the sum of their halves where V has that.
    static R average16(R a, R b)
    {
        if constexpr (requires { V::halfSum16(a, b); })
            return V::halfSum16(a, b);
        else
            return V::avg16(a, b);
    }
    // Bytes whose lowest bit is 0.
    static R average8(R a, R b)
    {
        if constexpr (requires { V::halfSum8(a, b); })
            return V::halfSum8(a, b);
        else
            return V::avg8(a, b);
    }

    // blendHalf's pairs: a transparent half of a pair is replaced by the
    // destination pixel; only pairs with both halves transparent are kept.
    struct HalfPairs16 {
        R key;
        explicit HalfPairs16(uint32_t k) : key(V::set16(k)) {}
        Keep16 keep(R s) const { return V::zeroPairs16(s); }
        R operator()(R s, R t) const
        {
            const R merged = V::select16(V::zero16(s), t, s);
            return average16(V::bitAnd(merged, key), V::bitAnd(t, key));
        }
    };

    // 32 bits: bytes 0-2 halved and added, the fourth byte 0.
    struct Half32 {
        R key, colourBytes;
        Half32() : key(V::set32(0x00FEFEFE)), colourBytes(V::set32(0x00FFFFFF)) {}
        static constexpr uint32_t kKeepBits = 0x00FFFFFFu;
        Keep32 keep(R s) const { return V::zeroMasked32(s, colourBytes); }
        R operator()(R s, R t) const { return average8(V::bitAnd(s, key), V::bitAnd(t, key)); }
    };

    template <uint32_t Mode> static void halfMmx16(const BlendJob& job)
    {
        rows(job, job.width * 2, HalfPixels16(halvingKeyOfMode(Mode, job.destinationMasks)), NoRest{});
    }

    // The last pixel of an odd row shares its partial vector with a
    // transparent padding lane, so it is kept exactly when it is transparent.
    template <uint32_t Mode> static void halfPairs16(const BlendJob& job)
    {
        rows(job, job.width * 2, HalfPairs16(halvingKeyOfMode(Mode, job.destinationMasks)), NoRest{});
    }

    static void half32(const BlendJob& job) { rows(job, job.width * 4, Half32(), NoRest{}); }

    // Both 50 % blends of 24-bit rows: floor(s / 2) + floor(t / 2) on every byte.
    struct Half24 {
        R key = V::set16(0xFEFE);
        R operator()(R s, R t) const { return average8(V::bitAnd(s, key), V::bitAnd(t, key)); }
    };

    static void half24(const BlendJob& job) { rows24(job, Half24()); }

    // -- blendModulated ----------------------------------------------------------

    // Modes 0 and 1, pairs: the two-pixel form per lane,
    // m = floor((s f + 64 (f mod 4)) / 256), r = t + floor((a (m - t) + 64 (a mod 4)) / 256),
    // which is r = t + floor((m - t + 64) a / 256) - floor(a / 4). Per field:
    //   m + 64 = floor((s f + 64 (f mod 4) + 2^14) / 256), one product below 2^15;
    //   g = floor((m + 64 - t) a / 256) is the high half of (m + 64 - t) (a << 8),
    //       as m + 64 - t is 1 to 127 (a = 256 gives r = m: Opaque), and also
    //       the signed high half of ((m + 64 - t) << 1) (a << 7), both factors
    //       below 2^15 (for a V whose unsigned high half is composed of several
    //       instructions);
    // and r = t + g - floor(a / 4). The fields of t are added back and the
    // floor(a / 4) of every field taken off once for the whole pixel, after
    // the fields' g are placed: every field's r is 0 or more, so the 16-bit
    // sum (which may wrap on the way) is exactly the pixel of the three r.
    template <class Format, bool Opaque> struct Modulated16 {
        static constexpr uint32_t kFieldOnes =
            1u << Format::kRed.position | 1u << Format::kGreen.position | 1u << Format::kBlue.position;
        R factor[3], factorBias[3], values[3], alphaHigh, alphaHalf, colour, taken;

        explicit Modulated16(const BlendJob& job)
            : alphaHigh(V::set16(job.alpha << 8)), alphaHalf(V::set16(job.alpha << 7)),
              colour(V::set16(Format::kColourMask)),
              taken(V::set16(((Opaque ? 64 : job.alpha / 4) * kFieldOnes) & 0xFFFFu))
        {
            const uint32_t f[3] = {job.redFactor, job.greenFactor, job.blueFactor};
            const Field fields[3] = {Format::kRed, Format::kGreen, Format::kBlue};
            for (int c = 0; c < 3; ++c) {
                factor[c] = V::set16(f[c]);
                factorBias[c] = V::set16(64 * (f[c] % 4) + (1u << 14));
                values[c] = V::set16(fields[c].valueMask());
            }
        }
        Keep16 keep(R s) const { return V::zero16(s); }

        // g of one field (m + 64 when Opaque), placed.
        template <uint32_t Position, uint32_t Width> R channel(R s, R t, int c) const
        {
            return channelOf<Position, Width>(Held{s, t}, c);
        }
        template <uint32_t Position, uint32_t Width, class In> R channelOf(const In& in, int c) const
        {
            const R sv = fieldValue<Position, Width>(in.s(), values[c]);
            const R m64 = V::template srli16<8>(V::add16(V::mullo16(sv, factor[c]), factorBias[c]));
            if constexpr (Opaque)
                return placeField<Position>(m64);
            const R tv = fieldValue<Position, Width>(in.t(), values[c]);
            if constexpr (kSlowUnsignedMulHigh)
                return placeField<Position>(V::mulhi16(V::template slli16<1>(V::sub16(m64, tv)), alphaHalf));
            else
                return placeField<Position>(V::mulhu16(V::sub16(m64, tv), alphaHigh));
        }
        R operator()(R s, R t) const
        {
            const R sum = V::add16(V::add16(channel<Format::kRed.position, Format::kRed.width>(s, t, 0),
                                            channel<Format::kGreen.position, Format::kGreen.width>(s, t, 1)),
                                   channel<Format::kBlue.position, Format::kBlue.width>(s, t, 2));
            if constexpr (Opaque)
                return V::sub16(sum, taken);
            const R tFields = Format::kColourMask == 0xFFFFu ? t : V::bitAnd(t, colour);
            return V::sub16(V::add16(sum, tFields), taken);
        }
        // The result less t (less its bits outside the colour mask too).
        template <class In> R deltaOf(const In& in) const requires(!Opaque)
        {
            const R sum = V::add16(V::add16(channelOf<Format::kRed.position, Format::kRed.width>(in, 0),
                                            channelOf<Format::kGreen.position, Format::kGreen.width>(in, 1)),
                                   channelOf<Format::kBlue.position, Format::kBlue.width>(in, 2));
            if constexpr (Format::kColourMask == 0xFFFFu)
                return V::sub16(sum, taken);
            else
                return V::sub16(sum, V::add16(taken, V::andNot(colour, in.t())));
        }
        R delta(R s, R t) const requires(!Opaque) { return deltaOf(Held{s, t}); }
    };

    // The pairs with Op (the two-pixel form), then the last pixel of an odd
    // row alone with the one-pixel form.
    template <class Format, class Op> static void modulated16With(const BlendJob& job)
    {
        const int32_t f[3] = {static_cast<int32_t>(job.redFactor), static_cast<int32_t>(job.greenFactor),
                              static_cast<int32_t>(job.blueFactor)};
        const int32_t a = static_cast<int32_t>(job.alpha);
        const bool odd = job.width % 2 != 0;
        rows(job, (job.width & ~1u) * 2, Op(job), [&](const uint8_t* sp, uint8_t* dp) {
            if (!odd)
                return;
            const uint32_t s = load16(sp);
            if (s == 0)
                return;
            const uint32_t t = load16(dp);
            const Field fields[3] = {Format::kRed, Format::kGreen, Format::kBlue};
            uint32_t r = 0;
            for (int c = 0; c < 3; ++c) {
                const int32_t m = modulateOnePixel(static_cast<int32_t>(fields[c].extract(s)), f[c]);
                r |= static_cast<uint32_t>(blendOnePixel(static_cast<int32_t>(fields[c].extract(t)), m, a))
                     << fields[c].position;
            }
            store16(dp, r);
        });
    }

    template <class Format> static void modulated16(const BlendJob& job)
    {
        if (job.alpha >= 256)
            modulated16With<Format, Modulated16<Format, true>>(job);
        else
            modulated16With<Format, Modulated16<Format, false>>(job);
    }

    // floor(b f / 256) of the low (scaledEven) or high (scaledOdd) byte b
    // of every lane, f below 256: the unsigned high half of b placed in the
    // high byte times f, or, where V composes that of several instructions,
    // the high byte of b f (below 2^16) shifted down.
    static R scaledEven(R x, R factor, R lowBytes)
    {
        if constexpr (kSlowUnsignedMulHigh)
            return V::template srli16<8>(V::mullo16(V::bitAnd(x, lowBytes), factor));
        else
            return V::mulhu16(V::template slli16<8>(x), factor);
    }
    static R scaledOdd(R x, R factor, R highBytes)
    {
        if constexpr (kSlowUnsignedMulHigh)
            return V::template srli16<8>(V::mullo16(V::template srli16<8>(x), factor));
        else
            return V::mulhu16(V::bitAnd(x, highBytes), factor);
    }

    // Mode 4, one pixel at a time (no pair structure): per colour byte
    // m = floor(s f / 256), r = t + floor(a (m - t) / 256), fourth byte 0.
    // floor(a (m - t) / 256) is the high half of ((m - t) << 7) * 2a.
    struct Modulated32 {
        R evenFactor, oddFactor, doubleAlpha, highBytes, lowBytes, colourBytes;

        explicit Modulated32(const BlendJob& job)
            : evenFactor(V::set32(job.blueFactor | job.redFactor << 16)), oddFactor(V::set32(job.greenFactor)),
              doubleAlpha(V::set16(2 * job.alpha)), highBytes(V::set16(0xFF00)), lowBytes(V::set16(0x00FF)),
              colourBytes(V::set32(0x00FFFFFF))
        {
        }
        static constexpr uint32_t kKeepBits = 0x00FFFFFFu;
        Keep32 keep(R s) const { return V::zeroMasked32(s, colourBytes); }
        R blend(R m, R t) const { return V::add16(t, V::mulhi16(V::template slli16<7>(V::sub16(m, t)), doubleAlpha)); }
        R operator()(R s, R t) const
        {
            const R mEven = scaledEven(s, evenFactor, lowBytes);
            const R mOdd = scaledOdd(s, oddFactor, highBytes);
            const R even = blend(mEven, V::bitAnd(t, lowBytes));
            const R odd = blend(mOdd, V::template srli16<8>(t));
            return V::bitAnd(V::bitOr(even, V::template slli16<8>(odd)), colourBytes);
        }
    };

    static void modulated32(const BlendJob& job) { rows(job, job.width * 4, Modulated32(job), NoRest{}); }

    // A value per channel of 24-bit pixels, laid out for the even and the odd
    // bytes of each vector of a group (V::channelOfByte24 for the first; the
    // second and third start one and two bytes into a pixel).
    template <uint32_t Phases>
    static void spreadByChannel24(const uint16_t (&byChannel)[3], R (&evenOut)[Phases], R (&oddOut)[Phases])
    {
        for (uint32_t phase = 0; phase < Phases; ++phase) {
            const uint32_t start = phase * V::kBytes;
            alignas(64) uint16_t even[V::kBytes / 2], odd[V::kBytes / 2];
            for (uint32_t lane = 0; lane < V::kBytes / 2; ++lane) {
                even[lane] = byChannel[phase == 0 ? V::channelOfByte24(2 * lane) : (start + 2 * lane) % 3];
                odd[lane] = byChannel[phase == 0 ? V::channelOfByte24(2 * lane + 1) : (start + 2 * lane + 1) % 3];
            }
            evenOut[phase] = V::loadConstant(even);
            oddOut[phase] = V::loadConstant(odd);
        }
    }

    // Mode 3 on bytes as they lie: m = floor(s f / 256) with the factor of
    // each byte's channel (V::channelOfByte24), r = t + floor(a (m - t) / 256).
    // In groups of three vectors (kGroups24) the second and third vector
    // start one and two bytes into a pixel (for 8-byte vectors): they take
    // the factors of their bytes' channels from there (at<Offset>).
    struct Modulated24 {
        static constexpr uint32_t kPhases = kGroups24 ? 3 : 1;
        R evenFactor[kPhases], oddFactor[kPhases];
        R doubleAlpha, highBytes, lowBytes;

        explicit Modulated24(const BlendJob& job)
            : doubleAlpha(V::set16(2 * job.alpha)), highBytes(V::set16(0xFF00)), lowBytes(V::set16(0x00FF))
        {
            const uint16_t byChannel[3] = {static_cast<uint16_t>(job.blueFactor),
                                           static_cast<uint16_t>(job.greenFactor),
                                           static_cast<uint16_t>(job.redFactor)};
            spreadByChannel24<kPhases>(byChannel, evenFactor, oddFactor);
        }
        R blend(R m, R t) const { return V::add16(t, V::mulhi16(V::template slli16<7>(V::sub16(m, t)), doubleAlpha)); }
        template <uint32_t Offset> R at(R s, R t) const
        {
            constexpr uint32_t kPhase = Offset / V::kBytes;
            const R mEven = scaledEven(s, evenFactor[kPhase], lowBytes);
            const R mOdd = scaledOdd(s, oddFactor[kPhase], highBytes);
            const R even = blend(mEven, V::bitAnd(t, lowBytes));
            const R odd = blend(mOdd, V::template srli16<8>(t));
            return V::bitOr(even, V::template slli16<8>(odd));
        }
        R operator()(R s, R t) const { return at<0>(s, t); }
    };

    static void modulated24(const BlendJob& job) { rows24(job, Modulated24(job)); }

    // Mode 2, any masks, every pixel alone: per channel, in place,
    // m = ((s AND Ms) f >> 8) AND Ms, r = (floor((m - t) a / 256) + t) AND Md
    // with t = destination AND Md. All values are below 2^16, and so is the
    // result, so 16-bit lanes hold them modulo 2^16 exactly:
    //   (s AND Ms) f >> 8 is the high half of (s AND Ms) (f << 8);
    //   with d = m - t wrapped to 16 bits, floor((m - t) a / 256) is the high
    //   half of d (a << 8), less a << 8 where m < t (the wrapped difference
    //   is then 2^16 too large). a = 256 gives r = m AND Md.
    // With every mask below bit 14 (Low), m - t fits a signed lane twice over,
    // and floor((m - t) a / 256) is the high half of ((m - t) << 1) (a << 7).
    template <bool Opaque, bool Low> struct ModulatedMasks16 {
        R sourceMask[3], destinationMask[3], factor[3], alphaHigh, alphaHalf;

        explicit ModulatedMasks16(const BlendJob& job)
            : alphaHigh(V::set16(job.alpha << 8)), alphaHalf(V::set16(job.alpha << 7))
        {
            const uint32_t f[3] = {job.redFactor, job.greenFactor, job.blueFactor};
            for (int c = 0; c < 3; ++c) {
                sourceMask[c] = V::set16(job.sourceMasks[c] & 0xFFFFu);
                destinationMask[c] = V::set16(job.destinationMasks[c] & 0xFFFFu);
                factor[c] = V::set16(f[c] << 8);
            }
        }
        Keep16 keep(R s) const { return V::zero16(s); }
        R channel(R s, R t, int c) const
        {
            const R m = V::bitAnd(V::mulhu16(V::bitAnd(s, sourceMask[c]), factor[c]), sourceMask[c]);
            if constexpr (Opaque)
                return V::bitAnd(m, destinationMask[c]);
            const R tpos = V::bitAnd(t, destinationMask[c]);
            R scaled;
            if constexpr (Low)
                scaled = V::mulhi16(V::template slli16<1>(V::sub16(m, tpos)), alphaHalf);
            else
                scaled =
                    V::sub16(V::mulhu16(V::sub16(m, tpos), alphaHigh), V::andNot(V::atLeastU16(m, tpos), alphaHigh));
            return V::bitAnd(V::add16(scaled, tpos), destinationMask[c]);
        }
        R operator()(R s, R t) const { return V::bitOr3(channel(s, t, 0), channel(s, t, 1), channel(s, t, 2)); }
    };

    static void modulatedMasks16(const BlendJob& job)
    {
        uint32_t all = 0;
        for (int c = 0; c < 3; ++c)
            all |= (job.sourceMasks[c] | job.destinationMasks[c]) & 0xFFFFu;
        if (job.alpha >= 256)
            rows(job, job.width * 2, ModulatedMasks16<true, false>(job), NoRest{});
        else if (all < 0x4000u)
            rows(job, job.width * 2, ModulatedMasks16<false, true>(job), NoRest{});
        else
            rows(job, job.width * 2, ModulatedMasks16<false, false>(job), NoRest{});
    }

    // -- blendTexelAlpha -------------------------------------------------------

    // Like rows, with the texel-alpha surface read beside the source:
    // op.keep(alphas) marks the lanes of texels of alpha 0, and op(s, alphas, t)
    // gives the blended lanes. Every pixel has the same formula (no pairs, no
    // rest pixels); lanes beyond the row in the partial vector have alpha 0.
    // At constant alpha 255, a whole vector of opaque texels (op.opaque) is
    // op.copy(s), the source term alone, as the formula gives at beta 255.
    // Op::kAlphaInSource: the alpha surface is the source itself (32-bit
    // texels with their alpha in the fourth byte), read once.
    // Op::kClearTransparent: the formula gives every byte of the destination
    // back as it was for a texel of alpha 0 and colour 0, so a whole vector
    // is stored as computed with its transparent texels' lanes cleared
    // (cheaper than blending the kept lanes back in).
    template <class Op> static void rowsWithAlpha(const BlendJob& job, uint32_t rowBytes, const Op& op)
    {
        for (uint32_t y = 0; y < job.height; ++y) {
            const uint8_t* sp = job.source + static_cast<ptrdiff_t>(y) * job.sourcePitch;
            const uint8_t* ap = job.alphaSource + static_cast<ptrdiff_t>(y) * job.alphaPitch;
            uint8_t* dp = job.destination + static_cast<ptrdiff_t>(y) * job.destinationPitch;
            if constexpr (kPrefetch)
                for (uint32_t ahead = y == 0 ? 1 : 2; ahead <= 2 && y + ahead < job.height; ++ahead) {
                    prefetchRow(sp + static_cast<ptrdiff_t>(ahead) * job.sourcePitch,
                                dp + static_cast<ptrdiff_t>(ahead) * job.destinationPitch, rowBytes);
                    if (job.alphaSource != job.source)
                        prefetchRow(ap + static_cast<ptrdiff_t>(ahead) * job.alphaPitch, ap, rowBytes);
                }
            uint32_t left = rowBytes;
            for (; left >= V::kBytes; left -= V::kBytes, sp += V::kBytes, ap += V::kBytes, dp += V::kBytes) {
                if constexpr (kScalarSkip)
                    if (allKeptAt<Op::kKeepBits>(Op::kAlphaInSource ? sp : ap))
                        continue;
                const R a = V::load(Op::kAlphaInSource ? sp : ap);
                const auto keep = op.keep(a);
                if (!kScalarSkip && V::all(keep))
                    continue;
                const R s = Op::kAlphaInSource ? a : V::load(sp);
                if constexpr (Op::kForm != TexelForm::General) {
                    if (kScalarSkip ? allSetAt<Op::kKeepBits>(Op::kAlphaInSource ? sp : ap) : op.opaque(a)) {
                        V::store(dp, op.copy(s));
                        continue;
                    }
                }
                R t = V::load(dp);
                if constexpr (Op::kClearTransparent) {
                    V::store(dp, op(clearKept(keep, s), a, t));
                } else {
                    keepInRegister(t);
                    V::storeKeeping(dp, keep, t, op(s, a, t));
                }
            }
            if (left != 0) {
                const R a = V::loadPartial(ap, left);
                const auto keep = op.keep(a);
                if (!V::all(keep)) {
                    const R t = V::loadPartial(dp, left);
                    V::storePartialKeeping(dp, left, keep, t, op(V::loadPartial(sp, left), a, t));
                }
            }
        }
        leave();
    }

    // a with the lanes under keep cleared.
    template <class Keep> static R clearKept(Keep keep, R a)
    {
        if constexpr (requires { V::clearKept(keep, a); })
            return V::clearKept(keep, a);
        else
            return V::andNot(keep.v, a);
    }
    // Whether every bit of mask is set in a.
    static bool allSet(R a, R mask)
    {
        if constexpr (requires { V::allSet(a, mask); })
            return V::allSet(a, mask);
        else
            return V::all(V::zero32(V::andNot(a, mask)));
    }

    // round(x / 255) for x from 0 to 65 025, per 16-bit lane: with y = x + 128,
    // floor(y 257 / 65 536) = floor((y + floor(y / 256)) / 256).
    struct Divide255 {
        R bias = V::set16(128), scale = V::set16(257);
        R operator()(R x) const
        {
            const R y = V::add16(x, bias);
            if constexpr (requires(R v) { V::mulhu16(v, v); } && !kSlowUnsignedMulHigh)
                return V::mulhu16(y, scale);
            else
                return V::template srli16<8>(V::add16(y, V::template srli16<8>(y)));
        }
        // For x below 32 640 (so y below 2^15, where the signed high half
        // is the unsigned one) the signed multiply does it where V has no
        // unsigned one.
        R small(R x) const
        {
            if constexpr (kSlowUnsignedMulHigh)
                return V::mulhi16(V::add16(x, bias), scale);
            else
                return (*this)(x);
        }
    };

    // min(x, largest) for lanes below 2^16.
    static R atMost(R x, R largest) { return V::sub16(x, V::subsU16(x, largest)); }

    // The forms of a call: at constant alpha 255 (Full) beta = b; with white
    // factors too (Plain) also G = 255, so round(s G / 255) = s.
    enum class TexelForm { General, Full, Plain };
    static TexelForm texelFormOf(const BlendJob& job)
    {
        if (job.alpha != 255)
            return TexelForm::General;
        const bool white = job.redFactor == 255 && job.greenFactor == 255 && job.blueFactor == 255;
        return white ? TexelForm::Plain : TexelForm::Full;
    }
    // Runs a kernel template in the call's form.
    template <template <TexelForm> class Run> static void inTexelForm(const BlendJob& job)
    {
        switch (texelFormOf(job)) {
        case TexelForm::Plain:
            return Run<TexelForm::Plain>::run(job);
        case TexelForm::Full:
            return Run<TexelForm::Full>::run(job);
        default:
            return Run<TexelForm::General>::run(job);
        }
    }

    // Modes 0 and 1: per field r = min(v, round(s G / 255) + round(t (255 - beta) / 255)),
    // beta = round(b A / 255) from the low byte b of the texel's alpha pixel.
    // Every product is at most 63 x 255 or 255 x 255.
    template <class Format, TexelForm Form> struct TexelAlpha16 {
        static constexpr TexelForm kForm = Form;
        static constexpr bool kAlphaInSource = false;
        // Where every bit is colour (565), a texel of alpha 0 and colour 0
        // gives the destination back as it was; not where V stores 16-bit
        // lanes under a mask (AVX-512), which is cheaper still.
        static constexpr bool kClearTransparent = Format::kColourMask == 0xFFFFu && !requires { V::kMaskedStores16; };
        Divide255 divide;
        R weight[3], values[3], constantAlpha, full, alphaByte, colour;

        explicit TexelAlpha16(const BlendJob& job)
            : constantAlpha(V::set16(job.alpha)), full(V::set16(255)), alphaByte(V::set16(0x00FF)),
              colour(V::set16(Format::kColourMask))
        {
            const uint32_t f[3] = {job.redFactor, job.greenFactor, job.blueFactor};
            const Field fields[3] = {Format::kRed, Format::kGreen, Format::kBlue};
            for (int c = 0; c < 3; ++c) {
                weight[c] = V::set16(divideRounded255(f[c] * job.alpha));
                values[c] = V::set16(fields[c].valueMask());
            }
        }
        static constexpr uint32_t kKeepBits = 0x00FF00FFu;
        Keep16 keep(R a) const { return V::zero16(V::bitAnd(a, alphaByte)); }
        bool opaque(R a) const { return allSet(a, alphaByte); }
        // The source term of a field, round(s G / 255), at most v.
        template <uint32_t Position, uint32_t Width> R sourceTerm(R s, int c) const
        {
            const R sv = fieldValue<Position, Width>(s, values[c]);
            return Form == TexelForm::Plain ? sv : divide.small(V::mullo16(sv, weight[c])); // at most 63 x 255
        }
        R copy(R s) const
        {
            if constexpr (Form == TexelForm::Plain)
                return Format::kColourMask == 0xFFFFu ? s : V::bitAnd(s, colour);
            else
                return V::bitOr3(
                    placeField<Format::kRed.position>(sourceTerm<Format::kRed.position, Format::kRed.width>(s, 0)),
                    placeField<Format::kGreen.position>(
                        sourceTerm<Format::kGreen.position, Format::kGreen.width>(s, 1)),
                    placeField<Format::kBlue.position>(sourceTerm<Format::kBlue.position, Format::kBlue.width>(s, 2)));
        }

        template <uint32_t Position, uint32_t Width> R channel(R s, R t, R rest, int c) const
        {
            const R tv = fieldValue<Position, Width>(t, values[c]);
            return placeField<Position>(
                atMost(V::add16(sourceTerm<Position, Width>(s, c), divide.small(V::mullo16(tv, rest))), values[c]));
        }
        R operator()(R s, R a, R t) const
        {
            R beta = V::bitAnd(a, alphaByte);
            if constexpr (Form == TexelForm::General)
                beta = divide(V::mullo16(beta, constantAlpha));
            const R rest = V::sub16(full, beta);
            return V::bitOr3(channel<Format::kRed.position, Format::kRed.width>(s, t, rest, 0),
                             channel<Format::kGreen.position, Format::kGreen.width>(s, t, rest, 1),
                             channel<Format::kBlue.position, Format::kBlue.width>(s, t, rest, 2));
        }
    };

    template <class Format> struct TexelAlpha16Rows {
        template <TexelForm Form> struct In {
            static void run(const BlendJob& job) { rowsWithAlpha(job, job.width * 2, TexelAlpha16<Format, Form>(job)); }
        };
    };
    template <class Format> static void texelAlpha16(const BlendJob& job)
    {
        inTexelForm<TexelAlpha16Rows<Format>::template In>(job);
    }

    // Mode 4, the four bytes of a pixel as channels: blue, green, red, and the
    // fourth byte, whose source is the texel's alpha b (byte 3 of its alpha
    // pixel) at weight A. The two terms are formed as bytes, source
    // round(s G / 255) and destination round(t (255 - beta) / 255), the latter
    // in two sets of 16-bit lanes, blue and red (even bytes) and green and the
    // fourth byte (odd bytes), with beta in both lanes of its pixel; a
    // saturating byte addition gives min(255, sum).
    template <TexelForm Form, bool AlphaInSource> struct TexelAlpha32 {
        static constexpr TexelForm kForm = Form;
        static constexpr bool kAlphaInSource = AlphaInSource;
        static constexpr bool kClearTransparent = true;
        // Whether V picks bytes: then beta's two lanes come from one shuffle.
        static constexpr bool kShuffle = requires(R v) { V::shuffle8(v, v); };
        Divide255 divide;
        R evenWeight, oddWeight, constantAlpha, full, lowBytes, colourBytes, alphaBytes, spreadAlpha;

        explicit TexelAlpha32(const BlendJob& job)
            : evenWeight(V::set32(divideRounded255(job.blueFactor * job.alpha) |
                                  divideRounded255(job.redFactor * job.alpha) << 16)),
              oddWeight(V::set32(divideRounded255(job.greenFactor * job.alpha) | job.alpha << 16)),
              constantAlpha(V::set16(job.alpha)), full(V::set16(255)), lowBytes(V::set16(0x00FF)),
              colourBytes(V::set32(0x00FFFFFF)), alphaBytes(V::set32(0xFF000000)), spreadAlpha(V::zero())
        {
            if constexpr (kShuffle) {
                // Byte 3 of each pixel into bytes 0 and 2, bytes 1 and 3 cleared.
                static constexpr uint8_t kSpread[16] = {3,  0x80, 3,  0x80, 7,  0x80, 7,  0x80,
                                                        11, 0x80, 11, 0x80, 15, 0x80, 15, 0x80};
                spreadAlpha = V::repeat128(kSpread);
            }
        }
        static constexpr uint32_t kKeepBits = 0xFF000000u;
        Keep32 keep(R a) const { return V::zeroMasked32(a, alphaBytes); }
        bool opaque(R a) const { return allSet(a, alphaBytes); }
        // Bytes from their values in the even and the odd lanes.
        R bytes(R even, R odd) const { return V::bitOr(even, V::template slli16<8>(odd)); }
        // The source term of every byte, round(s G / 255), its fourth byte's
        // source being the texel's alpha.
        R sourceTerm(R source) const
        {
            if constexpr (Form == TexelForm::Plain)
                return source;
            else
                return bytes(divide(V::mullo16(V::bitAnd(source, lowBytes), evenWeight)),
                             divide(V::mullo16(V::template srli16<8>(source), oddWeight)));
        }
        R copy(R s) const { return sourceTerm(V::bitOr(s, alphaBytes)); }
        R operator()(R s, R a, R t) const
        {
            R beta;
            if constexpr (kShuffle) {
                beta = V::shuffle8(a, spreadAlpha);
            } else {
                const R low = V::template srli32<24>(a);
                beta = V::bitOr(low, V::template slli32<16>(low));
            }
            if constexpr (Form == TexelForm::General)
                beta = divide(V::mullo16(beta, constantAlpha));
            const R rest = V::sub16(full, beta);
            const R kept = bytes(divide(V::mullo16(V::bitAnd(t, lowBytes), rest)),
                                 divide(V::mullo16(V::template srli16<8>(t), rest)));
            return V::addsU8(sourceTerm(AlphaInSource ? s : V::andOr(s, colourBytes, V::bitAnd(a, alphaBytes))), kept);
        }
    };

    // Mode 3 on bytes as they lie (rows24's vectors): beta and the weights
    // per byte, from the texel's alpha (byte 0 of its alpha pixel, spread
    // over its three bytes) and the factor of the byte's channel; the terms
    // as in mode 4.
    // In groups of three vectors (kGroups24) the weights of the second and
    // third vector are those of their bytes' channels (at<Offset>).
    template <bool Plain> struct TexelAlpha24 {
        static constexpr uint32_t kPhases = kGroups24 && !Plain ? 3 : 1;
        Divide255 divide;
        R evenWeight[kPhases], oddWeight[kPhases];
        R constantAlpha, full, lowBytes;

        explicit TexelAlpha24(const BlendJob& job)
            : constantAlpha(V::set16(job.alpha)), full(V::set16(255)), lowBytes(V::set16(0x00FF))
        {
            const uint16_t byChannel[3] = {static_cast<uint16_t>(divideRounded255(job.blueFactor * job.alpha)),
                                           static_cast<uint16_t>(divideRounded255(job.greenFactor * job.alpha)),
                                           static_cast<uint16_t>(divideRounded255(job.redFactor * job.alpha))};
            spreadByChannel24<kPhases>(byChannel, evenWeight, oddWeight);
        }
        R bytes(R even, R odd) const { return V::bitOr(even, V::template slli16<8>(odd)); }
        R rest(R alphas) const
        {
            if constexpr (Plain)
                return V::sub16(full, alphas);
            else
                return V::sub16(full, divide(V::mullo16(alphas, constantAlpha)));
        }
        // alphas: each byte's texel alpha.
        template <uint32_t Offset> R at(R s, R alphas, R t) const
        {
            constexpr uint32_t kPhase = Plain ? 0 : Offset / V::kBytes;
            const R kept = bytes(divide(V::mullo16(V::bitAnd(t, lowBytes), rest(V::bitAnd(alphas, lowBytes)))),
                                 divide(V::mullo16(V::template srli16<8>(t), rest(V::template srli16<8>(alphas)))));
            if constexpr (Plain)
                return V::addsU8(s, kept);
            else
                return V::addsU8(bytes(divide(V::mullo16(V::bitAnd(s, lowBytes), evenWeight[kPhase])),
                                       divide(V::mullo16(V::template srli16<8>(s), oddWeight[kPhase]))),
                                 kept);
        }
        R operator()(R s, R alphas, R t) const { return at<0>(s, alphas, t); }
    };

    // rows24 with the alpha surface beside the source: a pixel is written
    // where its texel's alpha is not 0.
    template <class Op> static void rowsWithAlpha24(const BlendJob& job, const Op& op)
    {
        constexpr uint32_t kStep = 3 * V::kPixels24;
        constexpr uint32_t kSpan = kSpan24; // the bytes a vector reads and writes
        const typename V::Written24 written;
        const typename V::Spread24 spread;
        const auto blend = [&](uint8_t* at, R s, R a, R t) {
            const R alphas = spread(a);
            const R write = written(alphas);
            if (!V::none(write))
                V::store24(at, V::select(write, op(s, alphas, t), t));
        };
        const uint32_t rowBytes = job.width * 3;
        for (uint32_t y = 0; y < job.height; ++y) {
            const uint8_t* sp = job.source + static_cast<ptrdiff_t>(y) * job.sourcePitch;
            const uint8_t* ap = job.alphaSource + static_cast<ptrdiff_t>(y) * job.alphaPitch;
            uint8_t* dp = job.destination + static_cast<ptrdiff_t>(y) * job.destinationPitch;
            uint32_t left = rowBytes;
            if constexpr (kGroups24)
                for (; left >= kGroup24; left -= kGroup24, sp += kGroup24, ap += kGroup24, dp += kGroup24)
                    alphaGroup24(sp, ap, dp, op);
            if (left >= kSpan) {
                R t = V::load24(dp);
                for (; left >= kSpan + kStep; left -= kStep, sp += kStep, ap += kStep, dp += kStep) {
                    const R tNext = V::load24(dp + kStep);
                    blend(dp, V::load24(sp), V::load24(ap), t);
                    t = tNext;
                }
                blend(dp, V::load24(sp), V::load24(ap), t);
                left -= kStep;
                sp += kStep;
                ap += kStep;
                dp += kStep;
            }
            if (left != 0) {
                alignas(64) uint8_t sourceBytes[kSpan] = {};
                alignas(64) uint8_t alphaBytes[kSpan] = {};
                alignas(64) uint8_t destinationBytes[kSpan] = {};
                copySmall<kSpan>(sourceBytes, sp, left);
                copySmall<kSpan>(alphaBytes, ap, left);
                copySmall<kSpan>(destinationBytes, dp, left);
                blend(destinationBytes, V::load24(sourceBytes), V::load24(alphaBytes), V::load24(destinationBytes));
                copySmall<kSpan>(dp, destinationBytes, left);
            }
        }
        leave();
    }

    // One group of eight texels (kGroups24) with their alpha surface: each
    // byte's texel alpha is the alpha byte at its pixel's first byte. The
    // first vector starts at a pixel: its bytes take the alpha bytes one and
    // two bytes before them by shifts within the vector; the second and
    // third start inside a pixel and take them from loads one and two bytes
    // earlier (in the group). A byte is kept where its texel's alpha is 0;
    // a group of transparent texels is passed over.
    template <class Op> static void alphaGroup24(const uint8_t* sp, const uint8_t* ap, uint8_t* dp, const Op& op)
    {
        static_assert(kGroup24 == 24, "eight pixels of three bytes in three 8-byte vectors");
        const auto distance = [](uint32_t i) {
            return V::loadConstant(&kDistanceMasks24<>.masks[i]); // x86: the bytes in order
        };
        const R a = V::load(ap);
        const R alphas0 = V::bitOr3(V::bitAnd(a, distance(0)), V::bitAnd(V::template slliBytes64<1>(a), distance(1)),
                                    V::bitAnd(V::template slliBytes64<2>(a), distance(2)));
        const R alphas1 = V::bitOr3(V::bitAnd(V::load(ap + 8), distance(3)), V::bitAnd(V::load(ap + 7), distance(4)),
                                    V::bitAnd(V::load(ap + 6), distance(5)));
        const R alphas2 = V::bitOr3(V::bitAnd(V::load(ap + 16), distance(6)), V::bitAnd(V::load(ap + 15), distance(7)),
                                    V::bitAnd(V::load(ap + 14), distance(8)));
        if (V::none(V::bitOr3(alphas0, alphas1, alphas2)))
            return;
        alphaVectorOfGroup24<0>(sp, dp, alphas0, op);
        alphaVectorOfGroup24<8>(sp, dp, alphas1, op);
        alphaVectorOfGroup24<16>(sp, dp, alphas2, op);
    }
    template <uint32_t Offset, class Op>
    static void alphaVectorOfGroup24(const uint8_t* sp, uint8_t* dp, R alphas, const Op& op)
    {
        const R s = V::load(sp + Offset);
        R t = V::load(dp + Offset);
        keepInRegister(t);
        const R kept = V::cmpeq8(alphas, V::zero());
        V::store(dp + Offset, V::select(kept, t, op.template at<Offset>(s, alphas, t)));
    }

    static void texelAlpha24(const BlendJob& job)
    {
        if (texelFormOf(job) == TexelForm::Plain)
            rowsWithAlpha24(job, TexelAlpha24<true>(job));
        else
            rowsWithAlpha24(job, TexelAlpha24<false>(job));
    }

    template <bool AlphaInSource> struct TexelAlpha32Rows {
        template <TexelForm Form> struct In {
            static void run(const BlendJob& job)
            {
                rowsWithAlpha(job, job.width * 4, TexelAlpha32<Form, AlphaInSource>(job));
            }
        };
    };
    static void texelAlpha32(const BlendJob& job)
    {
        if (job.alphaSource == job.source && job.alphaPitch == job.sourcePitch)
            inTexelForm<TexelAlpha32Rows<true>::template In>(job);
        else
            inTexelForm<TexelAlpha32Rows<false>::template In>(job);
    }
};

// The table of one instruction set: every kernel and mode; the 24-bit rows
// only with the row walker above (an instruction set with a walker of its
// own adds them itself).
template <class V> constexpr KernelTable makeKernelTable(KernelLevel level, const KernelTable* fallback)
{
    using K = SimdKernels<V>;
    KernelTable t{level, fallback, {}, {}, {}, {}, {}};
    t.modulated[0] = K::template modulated16<Format555>;
    t.modulated[1] = K::template modulated16<Format565>;
    t.modulated[2] = K::modulatedMasks16;
    t.modulated[4] = K::modulated32;
    t.half[0] = K::template halfPairs16<0>;
    t.half[1] = K::template halfPairs16<1>;
    t.half[2] = K::template halfPairs16<2>;
    t.half[4] = K::half32;
    t.alphaMmx[0] = K::template alphaFixed16<Format555>;
    t.alphaMmx[1] = K::template alphaFixed16<Format565>;
    t.alphaMmx[2] = K::alphaMasks16;
    t.alphaMmx[4] = K::alpha32;
    t.halfMmx[0] = K::template halfMmx16<0>;
    t.halfMmx[1] = K::template halfMmx16<1>;
    t.halfMmx[2] = K::template halfMmx16<2>;
    t.halfMmx[4] = K::half32;
    t.texelAlpha[0] = K::template texelAlpha16<Format555>;
    t.texelAlpha[1] = K::template texelAlpha16<Format565>;
    t.texelAlpha[4] = K::texelAlpha32;
    if constexpr (V::kPixels24 != 0) {
        t.modulated[3] = K::modulated24;
        t.half[3] = K::half24;
        t.alphaMmx[3] = K::alpha24;
        t.halfMmx[3] = K::half24;
        t.texelAlpha[3] = K::texelAlpha24;
    }
    return t;
}

} // namespace
} // namespace ZorvUISystem
