#include "renderer/QuadGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

// One axis of a blit: destination [d0, d1) showing source [s0, s1).
bool clipAxis(LONG& d0, LONG& d1, LONG& s0, LONG& s1, LONG destLow, LONG destHigh, LONG sourceLow, LONG sourceHigh)
{
    const int64_t destWidth = int64_t{d1} - d0;
    const int64_t sourceWidth = int64_t{s1} - s0;
    if (destWidth <= 0 || sourceWidth <= 0)
        return false;

    if (destWidth == sourceWidth) {
        // Source pixel = destination pixel + shift, on the whole axis.
        const int64_t shift = int64_t{s0} - d0;
        const int64_t low = std::max({int64_t{d0}, int64_t{destLow}, sourceLow - shift});
        const int64_t high = std::min({int64_t{d1}, int64_t{destHigh}, sourceHigh - shift});
        if (low >= high)
            return false;
        d0 = static_cast<LONG>(low);
        d1 = static_cast<LONG>(high);
        s0 = static_cast<LONG>(low + shift);
        s1 = static_cast<LONG>(high + shift);
        return true;
    }

    // A stretch: destination pixel d0 + t shows source s0 + t * sw / dw.
    // Keep the destination pixels that are wholly backed by source texels
    // inside the source limit.
    const uint64_t dw = static_cast<uint64_t>(destWidth);
    const uint64_t sw = static_cast<uint64_t>(sourceWidth);
    int64_t low = std::max(int64_t{d0}, int64_t{destLow});
    int64_t high = std::min(int64_t{d1}, int64_t{destHigh});
    if (sourceLow > s0)
        low = std::max(low, d0 + static_cast<int64_t>(scale(uint64_t(int64_t{sourceLow} - s0), dw, sw, true)));
    if (sourceHigh < s1)
        high = std::min(high, d0 + static_cast<int64_t>(scale(uint64_t(int64_t{sourceHigh} - s0), dw, sw, false)));
    if (low >= high)
        return false;

    int64_t sourceStart = s0 + static_cast<int64_t>(scale(uint64_t(low - d0), sw, dw, false));
    int64_t sourceEnd = s0 + static_cast<int64_t>(scale(uint64_t(high - d0), sw, dw, true));
    sourceStart = std::max({sourceStart, int64_t{s0}, int64_t{sourceLow}});
    sourceEnd = std::min({sourceEnd, int64_t{s1}, int64_t{sourceHigh}});
    if (sourceStart >= sourceEnd)
        return false;
    d0 = static_cast<LONG>(low);
    d1 = static_cast<LONG>(high);
    s0 = static_cast<LONG>(sourceStart);
    s1 = static_cast<LONG>(sourceEnd);
    return true;
}

} // namespace

int32_t truncateCoordinate(float value)
{
    if (std::isnan(value))
        return 0;
    // 2^31 is exactly representable as a float; -2^31 converts exactly.
    if (value >= 2147483648.0f)
        return INT32_MAX;
    if (value <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

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
