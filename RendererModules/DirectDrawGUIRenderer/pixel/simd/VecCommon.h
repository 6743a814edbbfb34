// Helpers shared by the vector types; internal linkage.
#pragma once

#include <cstdint>
#include <cstring>

namespace ZorvUISystem {
namespace {

// Copies fewer than Limit bytes in pieces of fixed size (each a single load
// and store), for the partial vector at the end of a row.
template <uint32_t Limit> inline void copySmall(uint8_t* to, const uint8_t* from, uint32_t bytes)
{
    uint32_t at = 0;
    if constexpr (Limit > 32) {
        if (bytes & 32) {
            std::memcpy(to + at, from + at, 32);
            at += 32;
        }
    }
    if constexpr (Limit > 16) {
        if (bytes & 16) {
            std::memcpy(to + at, from + at, 16);
            at += 16;
        }
    }
    if (bytes & 8) {
        std::memcpy(to + at, from + at, 8);
        at += 8;
    }
    if (bytes & 4) {
        std::memcpy(to + at, from + at, 4);
        at += 4;
    }
    if (bytes & 2) {
        std::memcpy(to + at, from + at, 2);
        at += 2;
    }
    if (bytes & 1)
        to[at] = from[at];
}

// Keeps a loaded vector in a register. Without it GCC folds the destination
// load into every operation that uses it (AVX and AVX-512 accept unaligned
// memory operands), and the 32-bit blend then reads the same 64 bytes four
// times per vector, which costs about a tenth of its speed on Zen 4. The
// empty statement emits nothing; other compilers get no hint.
template <class R> inline void keepInRegister(R& vector)
{
#if defined(__GNUC__)
    asm("" : "+v"(vector));
#else
    (void)vector;
#endif
}

} // namespace
} // namespace ZorvUISystem
