#include "renderer/QuadGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace ZorvUISystem {

namespace {

// value * numerator / denominator, rounded down or up, for 0 <= value and
// 0 < numerator, denominator < 2^32. Every caller clamps the result to
// numerator, so a value at or beyond the denominator answers numerator; below
// it the product fits in 64 bits.
uint64_t scale(uint64_t value, uint64_t numerator, uint64_t denominator, bool roundUp)
{
    if (value >= denominator)
        return numerator;
    const uint64_t product = value * numerator;
    const uint64_t quotient = product / denominator;
    return roundUp && quotient * denominator != product ? quotient + 1 : quotient;
}

// A half-open range on one axis, in 64 bits so that shifted 32-bit edges fit.
struct Span {
    int64_t low;
    int64_t high;
    bool empty() const { return low >= high; }
};

// The part of a that b covers too: the module's one intersection, of ranges
// and (axis by axis) of rectangles.
Span meet(Span a, Span b)
{
    return Span{std::max(a.low, b.low), std::min(a.high, b.high)};
}

// One axis of a blit: destination [d0, d1) showing source [s0, s1).
bool clipAxis(LONG& d0, LONG& d1, LONG& s0, LONG& s1, LONG destLow, LONG destHigh, LONG sourceLow, LONG sourceHigh)
{
    const int64_t destWidth = int64_t{d1} - d0;
    const int64_t sourceWidth = int64_t{s1} - s0;
    if (destWidth <= 0 || sourceWidth <= 0)
        return false;
    const Span onDest = meet({d0, d1}, {destLow, destHigh});

    if (destWidth == sourceWidth) {
        // Source pixel = destination pixel + shift, on the whole axis.
        const int64_t shift = int64_t{s0} - d0;
        const Span kept = meet(onDest, {sourceLow - shift, sourceHigh - shift});
        if (kept.empty())
            return false;
        d0 = static_cast<LONG>(kept.low);
        d1 = static_cast<LONG>(kept.high);
        s0 = static_cast<LONG>(kept.low + shift);
        s1 = static_cast<LONG>(kept.high + shift);
        return true;
    }

    // A stretch: destination pixel d0 + t shows source s0 + t * sw / dw.
    // Keep the destination pixels that are wholly backed by source texels
    // inside the source limit.
    const uint64_t dw = static_cast<uint64_t>(destWidth);
    const uint64_t sw = static_cast<uint64_t>(sourceWidth);
    Span backed{INT64_MIN, INT64_MAX};
    if (sourceLow > s0)
        backed.low = d0 + static_cast<int64_t>(scale(uint64_t(int64_t{sourceLow} - s0), dw, sw, true));
    if (sourceHigh < s1)
        backed.high = d0 + static_cast<int64_t>(scale(uint64_t(int64_t{sourceHigh} - s0), dw, sw, false));
    const Span kept = meet(onDest, backed);
    if (kept.empty())
        return false;

    const Span shown{s0 + static_cast<int64_t>(scale(uint64_t(kept.low - d0), sw, dw, false)),
                     s0 + static_cast<int64_t>(scale(uint64_t(kept.high - d0), sw, dw, true))};
    const Span source = meet(meet(shown, {s0, s1}), {sourceLow, sourceHigh});
    if (source.empty())
        return false;
    d0 = static_cast<LONG>(kept.low);
    d1 = static_cast<LONG>(kept.high);
    s0 = static_cast<LONG>(source.low);
    s1 = static_cast<LONG>(source.high);
    return true;
}

} // namespace

template <typename Integer> Integer truncateSaturated(float value)
{
    static_assert(std::is_integral_v<Integer> && sizeof(Integer) == 4);
    using Limits = std::numeric_limits<Integer>;
    // Both ends are exact floats: the lowest value (0 or -2^31) and one past
    // the highest (2^32 or 2^31). Between them the conversion is defined.
    constexpr float kLowest = static_cast<float>(Limits::min());
    constexpr float kBeyondHighest = 2.0f * static_cast<float>(Limits::max() / 2 + 1);
    if (std::isnan(value))
        return 0;
    if (value >= kBeyondHighest)
        return Limits::max();
    if (value <= kLowest)
        return Limits::min();
    return static_cast<Integer>(value);
}

template int32_t truncateSaturated<int32_t>(float value);
template uint32_t truncateSaturated<uint32_t>(float value);

RECT truncateRect(const FloatRect& rect)
{
    return RECT{truncateCoordinate(rect.left), truncateCoordinate(rect.top), truncateCoordinate(rect.right),
                truncateCoordinate(rect.bottom)};
}

bool isStretched(const RECT& dest, const RECT& source)
{
    return int64_t{source.right} - source.left != int64_t{dest.right} - dest.left ||
           int64_t{source.bottom} - source.top != int64_t{dest.bottom} - dest.top;
}

bool surfaceBounds(IDirectDrawSurface* surface, RECT& bounds)
{
    if (surface == nullptr)
        return false;
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(DDSURFACEDESC);
    if (surface->GetSurfaceDesc(&desc) < 0 || (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT))
        return false;
    bounds = RECT{0, 0, saturatedEdge(desc.dwWidth), saturatedEdge(desc.dwHeight)};
    return true;
}

LONG saturatedEdge(uint64_t size)
{
    return size > uint64_t{INT32_MAX} ? LONG{INT32_MAX} : static_cast<LONG>(size);
}

bool clipBlit(RECT& dest, RECT& source, const RECT& destLimit, const RECT& sourceLimit)
{
    RECT d = dest;
    RECT s = source;
    if (!clipAxis(d.left, d.right, s.left, s.right, destLimit.left, destLimit.right, sourceLimit.left,
                  sourceLimit.right))
        return false;
    if (!clipAxis(d.top, d.bottom, s.top, s.bottom, destLimit.top, destLimit.bottom, sourceLimit.top,
                  sourceLimit.bottom))
        return false;
    dest = d;
    source = s;
    return true;
}

} // namespace ZorvUISystem
