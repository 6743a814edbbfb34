#include "PixelMemory.h"

#include <cstring>
#include <new>

namespace zivdd {

namespace {

bool allBytes(const uint8_t* begin, size_t count, uint8_t value)
{
    for (size_t i = 0; i < count; ++i)
        if (begin[i] != value)
            return false;
    return true;
}

} // namespace

PixelMemory::~PixelMemory()
{
    delete[] d_block;
}

bool PixelMemory::allocate(size_t rowBytes, size_t pitch, size_t height)
{
    const size_t total = pitch * height + 2 * guardBytes;
    uint8_t* block = new (std::nothrow) uint8_t[total];
    if (block == nullptr)
        return false;
    delete[] d_block;
    d_block = block;
    d_rowBytes = rowBytes;
    d_pitch = pitch;
    d_height = height;
    std::memset(d_block, guardFill, guardBytes);
    std::memset(d_block + guardBytes + pitch * height, guardFill, guardBytes);
    for (size_t y = 0; y < height; ++y) {
        uint8_t* row = pixels() + y * pitch;
        std::memset(row, 0, rowBytes);
        std::memset(row + rowBytes, paddingFill, pitch - rowBytes);
    }
    return true;
}

void PixelMemory::clearPixels()
{
    for (size_t y = 0; y < d_height; ++y)
        std::memset(pixels() + y * d_pitch, 0, d_rowBytes);
}

void PixelMemory::scramblePixels(uint32_t seed)
{
    // xorshift32; a zero state would stay zero.
    uint32_t state = seed != 0 ? seed : 0x2545F491u;
    for (size_t y = 0; y < d_height; ++y) {
        uint8_t* row = pixels() + y * d_pitch;
        for (size_t x = 0; x < d_rowBytes; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            row[x] = static_cast<uint8_t>(state >> 24);
        }
    }
}

bool PixelMemory::intact() const
{
    if (d_block == nullptr)
        return true;
    if (!allBytes(d_block, guardBytes, guardFill) ||
        !allBytes(d_block + guardBytes + d_pitch * d_height, guardBytes, guardFill))
        return false;
    for (size_t y = 0; y < d_height; ++y)
        if (!allBytes(pixels() + y * d_pitch + d_rowBytes, d_pitch - d_rowBytes, paddingFill))
            return false;
    return true;
}

} // namespace zivdd
