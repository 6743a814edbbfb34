// A rectangle of pixels in memory: the rows of a surface (or of a temporary)
// and the part of them that an operation works on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zivdd {

struct PixelRect {
    uint8_t* base = nullptr; // row 0 of the memory
    size_t pitch = 0;        // bytes from one row to the next
    size_t x = 0;
    size_t y = 0;
    size_t width = 0;
    size_t height = 0;

    uint8_t* row(size_t r) const { return base + (y + r) * pitch; }
    // Same memory and at least one pixel in common.
    bool overlaps(const PixelRect& other) const
    {
        return base == other.base && x < other.x + other.width && other.x < x + width && y < other.y + other.height &&
               other.y < y + height;
    }
};

} // namespace zivdd
