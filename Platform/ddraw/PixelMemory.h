// A surface's pixel memory: rows of `pitch` bytes between two guard areas,
// with the padding at the end of every row filled with a known pattern, so
// that a write outside the pixels can be found afterwards.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zivdd {

class PixelMemory {
public:
    static constexpr size_t guardBytes = 64;
    static constexpr uint8_t guardFill = 0xFD;
    static constexpr uint8_t paddingFill = 0xAB;

    PixelMemory() = default;
    ~PixelMemory();
    PixelMemory(const PixelMemory&) = delete;
    PixelMemory& operator=(const PixelMemory&) = delete;

    // Rows are `pitch` bytes apart and hold `rowBytes` bytes of pixels.
    // Pixels start zeroed. False when the memory cannot be had; never throws.
    bool allocate(size_t rowBytes, size_t pitch, size_t height);

    uint8_t* pixels() const { return d_block == nullptr ? nullptr : d_block + guardBytes; }
    size_t pitch() const { return d_pitch; }
    size_t rowBytes() const { return d_rowBytes; }
    size_t height() const { return d_height; }

    // Sets every pixel byte to 0; guards and padding keep their pattern.
    void clearPixels();
    // Fills every pixel byte with a pseudo-random sequence from `seed`, as
    // memory that nobody cleared holds; guards and padding keep their
    // pattern.
    void scramblePixels(uint32_t seed);
    // Guards and row padding still hold their pattern.
    bool intact() const;

private:
    uint8_t* d_block = nullptr;
    size_t d_rowBytes = 0;
    size_t d_pitch = 0;
    size_t d_height = 0;
};

} // namespace zivdd
