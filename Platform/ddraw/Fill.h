// Colour fills of the software DirectDraw.
#pragma once

#include <cstdint>

#include "PixelFormat.h"
#include "PixelRect.h"

namespace zivdd {

// Sets every pixel of the rectangle to `value`, cut to the pixel's size.
void fillPixels(const Format& format, const PixelRect& dest, uint32_t value);

} // namespace zivdd
