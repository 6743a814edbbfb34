// Whole-pixel geometry of a quad: float coordinates to integers, and the
// clipping of a blit's destination and source rectangles to the surfaces
// they must stay on.
#pragma once

#include <cstdint>

#include <windows.h>

#include <ddraw.h>

#include "ziv.h"

namespace ZorvUISystem {

// Truncation toward zero into a 32-bit integer type that is defined for every
// float: not a number gives 0, values beyond the type's range (infinities
// included) give the nearest end of the range. The module's one conversion
// of floats to whole pixels.
template <typename Integer> Integer truncateSaturated(float value);

// A coordinate: truncateSaturated into 32-bit signed.
inline int32_t truncateCoordinate(float value)
{
    return truncateSaturated<int32_t>(value);
}

// A size in float pixels as whole pixels: negative sizes and NaN give 0,
// sizes beyond 32 bits the largest value.
inline uint32_t truncateToPixels(float size)
{
    return truncateSaturated<uint32_t>(size);
}

// A FloatRect converted coordinate by coordinate with truncateCoordinate.
RECT truncateRect(const FloatRect& rect);

// A rectangle that limits nothing: every RECT fits inside it.
constexpr RECT kUnboundedRect = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};

// Whether the two rectangles have different widths or heights, computed
// without overflow.
bool isStretched(const RECT& dest, const RECT& source);

// A pixel count as a rectangle edge (32 bits on every platform), saturated at
// the largest one.
LONG saturatedEdge(uint64_t size);

// The rectangle 0, 0, width, height of a surface, asked from DirectDraw;
// false when the surface does not tell its size.
bool surfaceBounds(IDirectDrawSurface* surface, RECT& bounds);

// The rectangle that a and b both cover; empty (right <= left or bottom <=
// top) when they do not meet.
inline RECT intersectRects(const RECT& a, const RECT& b)
{
    // Inline: the damage-aware passes cut every quad by every damaged
    // rectangle.
    return RECT{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top, a.right < b.right ? a.right : b.right,
                a.bottom < b.bottom ? a.bottom : b.bottom};
}

// Clips a blit of source onto dest so that dest lies inside destLimit and
// source inside sourceLimit. The part of the picture that stays keeps its
// place: with equal sizes both rectangles lose exactly the same rows and
// columns; with a stretch the source keeps the scale of the original blit
// (its edges widened to whole texels). Returns false, leaving both rectangles
// unchanged, when nothing is left to draw or when either rectangle is empty
// or inverted to begin with.
bool clipBlit(RECT& dest, RECT& source, const RECT& destLimit, const RECT& sourceLimit);

} // namespace ZorvUISystem
