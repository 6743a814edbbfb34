// Colour keys: which source pixels a keyed blit leaves out. A key compares
// only the bits of the pixel format that carry meaning (colour and alpha
// masks, or the palette index): the unused byte of an XRGB pixel never
// spoils a match.
#pragma once

#include <cstdint>

#include "PixelFormat.h"

namespace zivdd {

// A key as set on a surface or passed with a blit. A single key uses the low
// value only; a colour space takes every pixel whose fields all lie between
// the low and the high value's fields.
struct KeyValue {
    uint32_t low = 0;
    uint32_t high = 0;
    bool colourSpace = false;
};

struct NoKey {
    bool transparent(uint32_t) const { return false; }
};

struct SingleKey {
    uint32_t mask;
    uint32_t value;
    SingleKey(const Format& format, const KeyValue& key) : mask(format.meaningful), value(key.low & format.meaningful)
    {
    }
    bool transparent(uint32_t pixel) const { return (pixel & mask) == value; }
};

struct RangeKey {
    uint32_t field[4] = {};
    uint32_t low[4] = {};
    uint32_t high[4] = {};
    unsigned count = 0;
    RangeKey(const Format& format, const KeyValue& key) : count(format.fieldCount)
    {
        for (unsigned i = 0; i < count; ++i) {
            field[i] = format.fields[i];
            low[i] = key.low & field[i];
            high[i] = key.high & field[i];
        }
    }
    // Fields are compared in place: a masked field keeps its order.
    bool transparent(uint32_t pixel) const
    {
        for (unsigned i = 0; i < count; ++i) {
            const uint32_t value = pixel & field[i];
            if (value < low[i] || value > high[i])
                return false;
        }
        return true;
    }
};

} // namespace zivdd
