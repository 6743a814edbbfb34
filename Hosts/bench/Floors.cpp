#include "Floors.h"

#include <cstring>

namespace zivbench {

void copyRows(const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst, ptrdiff_t dstPitch, size_t rowBytes, size_t rows)
{
    for (size_t y = 0; y < rows; ++y)
        std::memcpy(dst + static_cast<ptrdiff_t>(y) * dstPitch, src + static_cast<ptrdiff_t>(y) * srcPitch, rowBytes);
}

void xorRows(const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst, ptrdiff_t dstPitch, size_t rowBytes, size_t rows)
{
    for (size_t y = 0; y < rows; ++y) {
        const uint8_t* __restrict s = src + static_cast<ptrdiff_t>(y) * srcPitch;
        uint8_t* __restrict d = dst + static_cast<ptrdiff_t>(y) * dstPitch;
        for (size_t i = 0; i < rowBytes; ++i)
            d[i] ^= s[i];
    }
}

void xorTwoRows(const uint8_t* src, ptrdiff_t srcPitch, const uint8_t* alpha, ptrdiff_t alphaPitch, uint8_t* dst,
                ptrdiff_t dstPitch, size_t rowBytes, size_t rows)
{
    for (size_t y = 0; y < rows; ++y) {
        const uint8_t* __restrict s = src + static_cast<ptrdiff_t>(y) * srcPitch;
        const uint8_t* __restrict a = alpha + static_cast<ptrdiff_t>(y) * alphaPitch;
        uint8_t* __restrict d = dst + static_cast<ptrdiff_t>(y) * dstPitch;
        for (size_t i = 0; i < rowBytes; ++i)
            d[i] ^= s[i] ^ a[i];
    }
}

} // namespace zivbench
