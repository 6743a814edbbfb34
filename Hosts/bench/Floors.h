// The floors the kernels are measured against: the same rows copied
// (memcpy) and passed through a read-modify-write (dst ^= src), compiled with
// -O3 -march=native.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zivbench {

void copyRows(const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst, ptrdiff_t dstPitch, size_t rowBytes, size_t rows);
void xorRows(const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst, ptrdiff_t dstPitch, size_t rowBytes, size_t rows);
// dst ^= src ^ alpha: the bytes of a blend that reads a second source plane.
void xorTwoRows(const uint8_t* src, ptrdiff_t srcPitch, const uint8_t* alpha, ptrdiff_t alphaPitch, uint8_t* dst,
                ptrdiff_t dstPitch, size_t rowBytes, size_t rows);

} // namespace zivbench
