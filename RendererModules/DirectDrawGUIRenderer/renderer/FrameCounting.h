// Counting for the per-frame statistics: a few additions per quad into the
// renderer's FrameStatistics. Built with ZIV_FRAME_STATISTICS=0 every helper
// does nothing, which is how the benchmarks measure what counting costs.
#pragma once

#include <cstdint>
#include <cstring>

#include <ddraw.h>

#include "ziv.h"

#ifndef ZIV_FRAME_STATISTICS
#define ZIV_FRAME_STATISTICS 1
#endif

namespace ZorvUISystem {

constexpr bool kCountFrames = ZIV_FRAME_STATISTICS != 0;

// Pixels of a rectangle that the blit code has already clipped (never
// inverted); 0 for an empty one.
inline uint64_t rectanglePixels(const RECT& r)
{
    const int64_t w = int64_t{r.right} - r.left;
    const int64_t h = int64_t{r.bottom} - r.top;
    return w > 0 && h > 0 ? static_cast<uint64_t>(w) * static_cast<uint64_t>(h) : 0;
}

inline void countPath(FrameStatistics::PathCount& path, const RECT& dest)
{
    if constexpr (kCountFrames) {
        ++path.quads;
        path.pixels += rectanglePixels(dest);
    }
}

inline void countSkip(FrameStatistics& statistics, FrameStatistics::SkipReason reason)
{
    if constexpr (kCountFrames)
        ++statistics.skipped[reason];
}

// A failed DirectDraw call as a reason: a lost surface says so, anything else
// is the caller's reason.
inline FrameStatistics::SkipReason failureReason(HRESULT result, FrameStatistics::SkipReason otherwise)
{
    return result == DDERR_SURFACELOST ? FrameStatistics::SKIP_LOST_SURFACE : otherwise;
}

// A fresh record for a render pass, naming the kernels' instruction set.
inline void startFrameStatistics(FrameStatistics& statistics, const char* simdLevel)
{
    if constexpr (kCountFrames) {
        statistics = FrameStatistics{};
        const size_t room = sizeof(statistics.simdLevel) - 1;
        const size_t length = std::strlen(simdLevel);
        std::memcpy(statistics.simdLevel, simdLevel, length < room ? length : room);
    }
}

} // namespace ZorvUISystem
