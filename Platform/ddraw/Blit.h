// Pixel copies of the software DirectDraw: plain copies, nearest-neighbour
// stretches and colour-keyed variants of both.
#pragma once

#include <ddraw.h>

#include "ColourKey.h"
#include "PixelFormat.h"
#include "PixelRect.h"

namespace zivdd {

// Copies the source rectangle onto the destination rectangle, both in
// `format`. Sizes may differ: each axis is sampled on its own, destination
// index d taking source index (d * ((sourceLength << 16) / destLength)) >> 16.
// With a key, source pixels that match it after sampling are left out.
// Overlapping rectangles of one memory behave as a copy through a temporary.
// DD_OK, or DDERR_OUTOFMEMORY when working memory cannot be had (nothing is
// drawn then).
HRESULT blitPixels(const Format& format, const PixelRect& source, const PixelRect& dest, const KeyValue* key);

} // namespace zivdd
