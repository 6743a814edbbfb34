// The portable blend kernels, in plain integer arithmetic: the bottom of the
// kernel-table chain, complete for every kernel and mode.
//
// Memory contract (every kernel here): reads the width x height source
// rectangle (the texel-alpha kernel also that of the alpha surface) and reads
// and writes the width x height destination rectangle, rows stepped by each
// description's pitch; nothing in the pitch padding is
// read or written, and no byte after a 24-bit pixel. Pixels are accessed
// through memcpy at any address.

#include "pixel/KernelTable.h"
#include "pixel/PixelFormats.h"

namespace ZorvUISystem {

namespace {

// The first pixel of row y; rows are stepped by each pitch (which may be negative).
const uint8_t* sourceRow(const BlendJob& job, uint32_t y)
{
    return job.source + static_cast<ptrdiff_t>(y) * job.sourcePitch;
}
uint8_t* destinationRow(const BlendJob& job, uint32_t y)
{
    return job.destination + static_cast<ptrdiff_t>(y) * job.destinationPitch;
}

// The three factors in the order red, green, blue.
struct Factors {
    int32_t red, green, blue;
};

Factors factorsOf(const BlendJob& job)
{
    return {static_cast<int32_t>(job.redFactor), static_cast<int32_t>(job.greenFactor),
            static_cast<int32_t>(job.blueFactor)};
}

// ---------------------------------------------------------------------------
// blendModulated

// Two 16-bit pixels in one 32-bit word, one lane each. The guard of 64 per
// lane keeps every lane non-negative and every lane product below 65 536, so
// each lane's field is the two-pixel form computed for that pixel alone.
uint32_t modulatePairChannel(uint32_t s, uint32_t t, Field field, uint32_t f, uint32_t a)
{
    const uint32_t laneMask = field.valueMask() * 0x00010001u;
    const uint32_t sv = (s >> field.position) & laneMask;
    const uint32_t tv = (t >> field.position) & laneMask;
    const uint32_t m = ((((sv + 0x00400040u) * f) >> 8) - (f / 4) * 0x00010001u) & laneMask;
    const uint32_t r = (((((m - tv + 0x00400040u) * a) >> 8) + tv - (a / 4) * 0x00010001u) & laneMask);
    return (r << field.position) & (field.mask() * 0x00010001u);
}

template <class Format> void modulatedPacked16(const BlendJob& job)
{
    const Factors k = factorsOf(job);
    const uint32_t a = job.alpha;
    const uint32_t pairs = job.width / 2;
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* srcRow = sourceRow(job, y);
        uint8_t* dstRow = destinationRow(job, y);
        for (uint32_t i = 0; i < pairs; ++i) {
            const uint8_t* sp = srcRow + 4 * i;
            uint8_t* dp = dstRow + 4 * i;
            const uint32_t s = load32(sp);
            if (s == 0)
                continue;
            const uint32_t t = load32(dp);
            const uint32_t r = modulatePairChannel(s, t, Format::kRed, static_cast<uint32_t>(k.red), a) |
                               modulatePairChannel(s, t, Format::kGreen, static_cast<uint32_t>(k.green), a) |
                               modulatePairChannel(s, t, Format::kBlue, static_cast<uint32_t>(k.blue), a);
            if ((s >> 16) == 0)
                store16(dp, r);
            else if ((s & 0xFFFFu) == 0)
                store16(dp + 2, r >> 16);
            else
                store32(dp, r);
        }
        if (job.width % 2 != 0) {
            // The last column of an odd row: one-pixel form.
            const uint8_t* sp = srcRow + 4 * pairs;
            uint8_t* dp = dstRow + 4 * pairs;
            const uint32_t s = load16(sp);
            if (s == 0)
                continue;
            const uint32_t t = load16(dp);
            uint32_t r = 0;
            const Field fields[3] = {Format::kRed, Format::kGreen, Format::kBlue};
            const int32_t factors[3] = {k.red, k.green, k.blue};
            for (int c = 0; c < 3; ++c) {
                const int32_t sv = static_cast<int32_t>(fields[c].extract(s));
                const int32_t tv = static_cast<int32_t>(fields[c].extract(t));
                const int32_t m = modulateOnePixel(sv, factors[c]);
                r |= static_cast<uint32_t>(blendOnePixel(tv, m, static_cast<int32_t>(a))) << fields[c].position;
            }
            store16(dp, r);
        }
    }
}

// Arbitrary 16-bit masks: each channel in place, source fields through the
// source masks, destination and result through the destination masks.
void modulatedMasks16(const BlendJob& job)
{
    const Factors k = factorsOf(job);
    const int32_t factors[3] = {k.red, k.green, k.blue};
    const int32_t a = static_cast<int32_t>(job.alpha);
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* srcRow = sourceRow(job, y);
        uint8_t* dstRow = destinationRow(job, y);
        for (uint32_t x = 0; x < job.width; ++x) {
            const uint32_t s = load16(srcRow + 2 * x);
            if (s == 0)
                continue;
            const uint32_t t = load16(dstRow + 2 * x);
            uint32_t r = 0;
            for (int c = 0; c < 3; ++c) {
                const uint32_t ms = job.sourceMasks[c];
                const uint32_t md = job.destinationMasks[c];
                const int32_t tpos = static_cast<int32_t>(t & md);
                const int32_t mpos = static_cast<int32_t>((((s & ms) * static_cast<uint32_t>(factors[c])) >> 8) & ms);
                r |= static_cast<uint32_t>((((mpos - tpos) * a) >> 8) + tpos) & md;
            }
            store16(dstRow + 2 * x, r);
        }
    }
}

template <class Format> void modulatedBytes(const BlendJob& job)
{
    const Factors k = factorsOf(job);
    int32_t factors[3];
    factors[Format::kBlueByte] = k.blue;
    factors[Format::kGreenByte] = k.green;
    factors[Format::kRedByte] = k.red;
    const int32_t a = static_cast<int32_t>(job.alpha);
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* srcRow = sourceRow(job, y);
        uint8_t* dstRow = destinationRow(job, y);
        for (uint32_t x = 0; x < job.width; ++x) {
            const uint8_t* sp = srcRow + Format::kBytes * x;
            uint8_t* dp = dstRow + Format::kBytes * x;
            if ((sp[0] | sp[1] | sp[2]) == 0)
                continue;
            for (int c = 0; c < 3; ++c) {
                const int32_t m = modulateOnePixel(sp[c], factors[c]);
                dp[c] = static_cast<uint8_t>(blendOnePixel(dp[c], m, a));
            }
            if (Format::kBytes == 4)
                dp[Format::kBytes - 1] = 0;
        }
    }
}

// ---------------------------------------------------------------------------
// blendHalf

// Pairs as one 32-bit word: a pair with one transparent half averages the
// destination pixel with itself, which clears the lowest bit of each of its
// channels.
template <uint32_t Mode> void halfPairs16(const BlendJob& job)
{
    const uint32_t key = halvingKeyOfMode(Mode, job.destinationMasks);
    const uint32_t pairMask = (key | key << 16) >> 1;
    const uint32_t lastMask = key >> 1;
    const uint32_t pairs = job.width / 2;
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* srcRow = sourceRow(job, y);
        uint8_t* dstRow = destinationRow(job, y);
        for (uint32_t i = 0; i < pairs; ++i) {
            uint32_t s = load32(srcRow + 4 * i);
            if (s == 0)
                continue;
            const uint32_t t = load32(dstRow + 4 * i);
            if ((s >> 16) == 0)
                s |= t & 0xFFFF0000u;
            else if ((s & 0xFFFFu) == 0)
                s |= t & 0x0000FFFFu;
            store32(dstRow + 4 * i, ((s >> 1) & pairMask) + ((t >> 1) & pairMask));
        }
        if (job.width % 2 != 0) {
            const uint32_t s = load16(srcRow + 4 * pairs);
            if (s == 0)
                continue;
            const uint32_t t = load16(dstRow + 4 * pairs);
            store16(dstRow + 4 * pairs, ((s >> 1) & lastMask) + ((t >> 1) & lastMask));
        }
    }
}

// 24 and 32 bits, one pixel at a time; the 32-bit fourth byte becomes 0.
template <class Format> void halfBytes(const BlendJob& job)
{
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* srcRow = sourceRow(job, y);
        uint8_t* dstRow = destinationRow(job, y);
        for (uint32_t x = 0; x < job.width; ++x) {
            const uint8_t* sp = srcRow + Format::kBytes * x;
            uint8_t* dp = dstRow + Format::kBytes * x;
            const uint32_t s = load24(sp);
            if (s == 0)
                continue;
            const uint32_t r = halveColourBytes(s, load24(dp));
            if (Format::kBytes == 4)
                store32(dp, r);
            else
                store24(dp, r);
        }
    }
}

// ---------------------------------------------------------------------------
// blendHalfMmx

// Groups of four and rest pixels give the same per-pixel result here:
// floor(t / 2) + floor(s / 2) per channel where the source is not 0, the
// destination unchanged where it is.
template <uint32_t Mode> void halfMmxPixels16(const BlendJob& job)
{
    const uint32_t m = halvingKeyOfMode(Mode, job.destinationMasks) >> 1;
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* srcRow = sourceRow(job, y);
        uint8_t* dstRow = destinationRow(job, y);
        for (uint32_t x = 0; x < job.width; ++x) {
            const uint32_t s = load16(srcRow + 2 * x);
            if (s == 0)
                continue;
            const uint32_t t = load16(dstRow + 2 * x);
            store16(dstRow + 2 * x, ((s >> 1) & m) + ((t >> 1) & m));
        }
    }
}

// ---------------------------------------------------------------------------
// blendAlphaMmx

// The three lane channels of a 16-bit mode: fixed for modes 0 and 1, the
// destination's masks for mode 2.
struct LaneChannels {
    LaneChannel channels[3];
};

template <class Format> constexpr LaneChannels fixedLaneChannels()
{
    return {{{Format::kRed.mask(), Format::kRed.position},
             {Format::kGreen.mask(), Format::kGreen.position},
             {Format::kBlue.mask(), Format::kBlue.position}}};
}

LaneChannels maskLaneChannels(const uint32_t masks[3])
{
    LaneChannels lanes{};
    for (int c = 0; c < 3; ++c) {
        const uint32_t m = masks[c] & 0xFFFFu;
        lanes.channels[c] = {m, lowestSetBit(m)};
    }
    return lanes;
}

// Groups of four pixels with the lane arithmetic, then the rest pixels. In
// modes 0 and 1 a rest pixel gets the same lane formula; in mode 2 it is
// computed in place, the source field through the source masks.
template <uint32_t Mode> void alphaMmx16(const BlendJob& job)
{
    const LaneChannels lanes = Mode == 0   ? fixedLaneChannels<Format555>()
                               : Mode == 1 ? fixedLaneChannels<Format565>()
                                           : maskLaneChannels(job.destinationMasks);
    const int32_t a = static_cast<int32_t>(job.alpha);
    const uint32_t groupPixels = job.width & ~3u;
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* srcRow = sourceRow(job, y);
        uint8_t* dstRow = destinationRow(job, y);
        for (uint32_t x = 0; x < groupPixels; x += 4) {
            uint32_t s[4];
            for (int i = 0; i < 4; ++i)
                s[i] = load16(srcRow + 2 * (x + i));
            if ((s[0] | s[1] | s[2] | s[3]) == 0)
                continue;
            for (uint32_t i = 0; i < 4; ++i) {
                if (s[i] == 0)
                    continue;
                uint8_t* dp = dstRow + 2 * (x + i);
                store16(dp, alphaBlendLanes(s[i], load16(dp), lanes.channels, a));
            }
        }
        for (uint32_t x = groupPixels; x < job.width; ++x) {
            const uint32_t s = load16(srcRow + 2 * x);
            if (s == 0)
                continue;
            uint8_t* dp = dstRow + 2 * x;
            const uint32_t t = load16(dp);
            if (Mode != 2) {
                store16(dp, alphaBlendLanes(s, t, lanes.channels, a));
                continue;
            }
            uint32_t r = 0;
            for (int c = 0; c < 3; ++c) {
                const int32_t spos = static_cast<int32_t>(s & job.sourceMasks[c]);
                const int32_t tpos = static_cast<int32_t>(t & job.destinationMasks[c]);
                r |= static_cast<uint32_t>((((spos - tpos) * a) >> 8) + tpos) & job.destinationMasks[c];
            }
            store16(dp, r);
        }
    }
}

// 24 bits, one pixel at a time, the byte form t + floor(s a / 256) - floor(t a / 256).
void alphaMmx24(const BlendJob& job)
{
    const int32_t a = static_cast<int32_t>(job.alpha);
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* srcRow = sourceRow(job, y);
        uint8_t* dstRow = destinationRow(job, y);
        for (uint32_t x = 0; x < job.width; ++x) {
            const uint8_t* sp = srcRow + 3 * x;
            uint8_t* dp = dstRow + 3 * x;
            if ((sp[0] | sp[1] | sp[2]) == 0)
                continue;
            for (int c = 0; c < 3; ++c)
                dp[c] = static_cast<uint8_t>(blendSplitProducts(dp[c], sp[c], a));
        }
    }
}

// 32 bits: pairs with the byte form (fourth byte kept), then the last pixel
// of an odd row with the one-pixel form and its fourth byte written as 0.
void alphaMmx32(const BlendJob& job)
{
    const int32_t a = static_cast<int32_t>(job.alpha);
    const uint32_t pairPixels = job.width & ~1u;
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* srcRow = sourceRow(job, y);
        uint8_t* dstRow = destinationRow(job, y);
        for (uint32_t x = 0; x < pairPixels; ++x) {
            const uint8_t* sp = srcRow + 4 * x;
            uint8_t* dp = dstRow + 4 * x;
            if ((sp[0] | sp[1] | sp[2]) == 0)
                continue;
            for (int c = 0; c < 3; ++c)
                dp[c] = static_cast<uint8_t>(blendSplitProducts(dp[c], sp[c], a));
        }
        if (job.width % 2 != 0) {
            const uint8_t* sp = srcRow + 4 * pairPixels;
            uint8_t* dp = dstRow + 4 * pairPixels;
            if ((sp[0] | sp[1] | sp[2]) == 0)
                continue;
            for (int c = 0; c < 3; ++c)
                dp[c] = static_cast<uint8_t>(blendOnePixel(dp[c], sp[c], a));
            dp[3] = 0;
        }
    }
}

// ---------------------------------------------------------------------------
// blendTexelAlpha

const uint8_t* alphaRow(const BlendJob& job, uint32_t y)
{
    return job.alphaSource + static_cast<ptrdiff_t>(y) * job.alphaPitch;
}

// The source weight G = round(f A / 255) of each channel: red, green, blue.
struct TexelWeights {
    uint32_t red, green, blue;
};

TexelWeights texelWeightsOf(const BlendJob& job)
{
    return {divideRounded255(job.redFactor * job.alpha), divideRounded255(job.greenFactor * job.alpha),
            divideRounded255(job.blueFactor * job.alpha)};
}

// Fixed fields; the texel's alpha is the low byte of its alpha pixel.
template <class Format> void texelAlphaPacked16(const BlendJob& job)
{
    const TexelWeights g = texelWeightsOf(job);
    const Field fields[3] = {Format::kRed, Format::kGreen, Format::kBlue};
    const uint32_t weights[3] = {g.red, g.green, g.blue};
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* srcRow = sourceRow(job, y);
        const uint8_t* alphas = alphaRow(job, y);
        uint8_t* dstRow = destinationRow(job, y);
        for (uint32_t x = 0; x < job.width; ++x) {
            const uint32_t texelAlpha = alphas[2 * x];
            if (texelAlpha == 0)
                continue;
            const uint32_t beta = divideRounded255(texelAlpha * job.alpha);
            const uint32_t s = load16(srcRow + 2 * x);
            const uint32_t t = load16(dstRow + 2 * x);
            uint32_t r = 0;
            for (int c = 0; c < 3; ++c)
                r |= overChannel(fields[c].extract(s), fields[c].extract(t), weights[c], beta, fields[c].valueMask())
                     << fields[c].position;
            store16(dstRow + 2 * x, r);
        }
    }
}

// Arbitrary 16-bit masks: source fields through the source masks,
// destination fields and the result through the destination masks.
void texelAlphaMasks16(const BlendJob& job)
{
    const TexelWeights g = texelWeightsOf(job);
    const uint32_t weights[3] = {g.red, g.green, g.blue};
    uint32_t sourceShift[3], destinationShift[3], destinationMask[3];
    for (int c = 0; c < 3; ++c) {
        sourceShift[c] = lowestSetBit(job.sourceMasks[c] & 0xFFFFu);
        destinationMask[c] = job.destinationMasks[c] & 0xFFFFu;
        destinationShift[c] = lowestSetBit(destinationMask[c]);
    }
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* srcRow = sourceRow(job, y);
        const uint8_t* alphas = alphaRow(job, y);
        uint8_t* dstRow = destinationRow(job, y);
        for (uint32_t x = 0; x < job.width; ++x) {
            const uint32_t texelAlpha = alphas[2 * x];
            if (texelAlpha == 0)
                continue;
            const uint32_t beta = divideRounded255(texelAlpha * job.alpha);
            const uint32_t s = load16(srcRow + 2 * x);
            const uint32_t t = load16(dstRow + 2 * x);
            uint32_t r = 0;
            for (int c = 0; c < 3; ++c) {
                const uint32_t sv = (s & job.sourceMasks[c] & 0xFFFFu) >> sourceShift[c];
                const uint32_t tv = (t & destinationMask[c]) >> destinationShift[c];
                const uint32_t largest = destinationMask[c] >> destinationShift[c];
                r |= (overChannel(sv, tv, weights[c], beta, largest) << destinationShift[c]) & destinationMask[c];
            }
            store16(dstRow + 2 * x, r);
        }
    }
}

// 24 and 32 bits. The texel's alpha is byte 0 of its 24-bit alpha pixel or
// byte 3 of its 32-bit one. A 32-bit pixel's fourth byte is composited as an
// alpha channel: its source is the texel's alpha, weighted by A.
template <class Format> void texelAlphaBytes(const BlendJob& job)
{
    const TexelWeights g = texelWeightsOf(job);
    uint32_t weights[4];
    weights[Format::kBlueByte] = g.blue;
    weights[Format::kGreenByte] = g.green;
    weights[Format::kRedByte] = g.red;
    weights[3] = job.alpha;
    const uint32_t alphaByte = Format::kBytes == 4 ? 3 : 0;
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* srcRow = sourceRow(job, y);
        const uint8_t* alphas = alphaRow(job, y);
        uint8_t* dstRow = destinationRow(job, y);
        for (uint32_t x = 0; x < job.width; ++x) {
            const uint32_t texelAlpha = alphas[Format::kBytes * x + alphaByte];
            if (texelAlpha == 0)
                continue;
            const uint32_t beta = divideRounded255(texelAlpha * job.alpha);
            const uint8_t* sp = srcRow + Format::kBytes * x;
            uint8_t* dp = dstRow + Format::kBytes * x;
            for (uint32_t c = 0; c < 3; ++c)
                dp[c] = static_cast<uint8_t>(overChannel(sp[c], dp[c], weights[c], beta, 255));
            if (Format::kBytes == 4)
                dp[3] = static_cast<uint8_t>(overChannel(texelAlpha, dp[3], weights[3], beta, 255));
        }
    }
}

} // namespace

constinit const KernelTable kPortableKernels = {
    KernelLevel::None,
    nullptr,
    {modulatedPacked16<Format555>, modulatedPacked16<Format565>, modulatedMasks16, modulatedBytes<Format24>,
     modulatedBytes<Format32>},
    {halfPairs16<0>, halfPairs16<1>, halfPairs16<2>, halfBytes<Format24>, halfBytes<Format32>},
    {alphaMmx16<0>, alphaMmx16<1>, alphaMmx16<2>, alphaMmx24, alphaMmx32},
    {halfMmxPixels16<0>, halfMmxPixels16<1>, halfMmxPixels16<2>, halfBytes<Format24>, halfBytes<Format32>},
    {texelAlphaPacked16<Format555>, texelAlphaPacked16<Format565>, texelAlphaMasks16, texelAlphaBytes<Format24>,
     texelAlphaBytes<Format32>},
};

} // namespace ZorvUISystem
