// The MMX kernel table: the vector kernels of KernelsImpl.h on 64-bit MMX
// vectors, plain MMX only, falling back to portable. Memory contract: as
// stated at the top of KernelsImpl.h (the rectangles only, rows by pitch,
// partial vectors at the end of each row through a stack buffer copied in
// exact pieces, any 2-byte-aligned address; 24-bit rows two pixels a vector
// at any address, with the two bytes after them in the row written back as
// read). Every kernel ends with EMMS.

#include "pixel/simd/VecMmx.h"

#include "pixel/simd/KernelsImpl.h"

namespace ZorvUISystem {

namespace {

// The kernels where 64-bit vectors of plain MMX beat the portable code
// (ziv-bench-levels, 32-bit): every kernel but blendHalf on 16-bit pixels,
// where the portable code's two pixels a 32-bit word in general registers
// are faster; on 32-bit pixels blendAlphaMmx, both 50 % blends and
// blendTexelAlpha; on 24-bit pixels blendTexelAlpha. The others (24-bit
// blends of two pixels an eight-byte vector, blendModulated on 32-bit
// pixels) are left to the portable table.
constexpr KernelTable makeMmxTable()
{
    KernelTable t = makeKernelTable<Vec>(KernelLevel::Mmx, &kPortableKernels);
    for (uint32_t mode = 0; mode < 3; ++mode)
        t.half[mode] = nullptr;
    t.modulated[3] = t.half[3] = t.alphaMmx[3] = t.halfMmx[3] = nullptr;
    t.modulated[4] = nullptr;
    return t;
}

} // namespace

// Built at compile time: no code of this instruction set runs before the table is chosen.
constinit const KernelTable kMmxKernels = makeMmxTable();

} // namespace ZorvUISystem
