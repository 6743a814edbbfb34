// The MMX kernel table: the vector kernels of KernelsImpl.h on 64-bit MMX
// vectors, plain MMX only, falling back to portable. Memory contract: as
// stated at the top of KernelsImpl.h (the rectangles only, rows by pitch,
// partial vectors at the end of each row through a stack buffer copied in
// exact pieces, any 2-byte-aligned address; 24-bit rows eight pixels as
// three whole vectors while the row holds a byte after them, which the
// 32-bit test of the last pixel reads, then two pixels a vector with the two
// bytes after them in the row written back as read; any address). Whole
// vectors of transparent pixels are found by 32-bit loads of the same bytes
// into general registers. Every kernel ends with EMMS.

#include "pixel/simd/VecMmx.h"

#include "pixel/simd/KernelsImpl.h"

namespace ZorvUISystem {

namespace {

// The kernels where 64-bit vectors of plain MMX beat the portable code
// (ziv-bench-levels, 32-bit): every kernel and mode but blendHalf on 16-bit
// pixels, where the portable code's two pixels a 32-bit word in general
// registers are faster.
constexpr KernelTable makeMmxTable()
{
    KernelTable t = makeKernelTable<Vec>(KernelLevel::Mmx, &kPortableKernels);
    for (uint32_t mode = 0; mode < 3; ++mode)
        t.half[mode] = nullptr;
    return t;
}

} // namespace

// Built at compile time: no code of this instruction set runs before the table is chosen.
constinit const KernelTable kMmxKernels = makeMmxTable();

} // namespace ZorvUISystem
