// The MMX kernel table: the vector kernels of KernelsImpl.h on 64-bit MMX
// vectors, plain MMX only, for the 16-bit modes, falling back to portable. Memory contract: as
// stated at the top of KernelsImpl.h (the rectangles only, rows by pitch,
// partial vectors at the end of each row through a stack buffer copied in
// exact pieces, any 2-byte-aligned address; 24-bit rows two pixels a vector
// at any address, with the two bytes after them in the row written back as
// read). Every kernel ends with EMMS.

#include <initializer_list>

#include "pixel/simd/VecMmx.h"

#include "pixel/simd/KernelsImpl.h"

namespace ZorvUISystem {

namespace {

// The kernels where four 16-bit lanes beat the portable code's two pixels a
// 32-bit word (ziv-bench-levels, 32-bit): blendAlphaMmx, blendHalfMmx and
// blendModulated on 16-bit pixels, and blendTexelAlpha on 555 and 565. The 24- and 32-bit modes and the pairs of
// blendHalf are faster in portable code, which the table leaves them to.
constexpr KernelTable makeMmxTable()
{
    KernelTable t = makeKernelTable<Vec>(KernelLevel::Mmx, &kPortableKernels);
    for (uint32_t mode : {3u, 4u})
        t.modulated[mode] = t.half[mode] = t.alphaMmx[mode] = t.halfMmx[mode] = t.texelAlpha[mode] = nullptr;
    for (uint32_t mode = 0; mode < 3; ++mode)
        t.half[mode] = nullptr;
    return t;
}

} // namespace

// Built at compile time: no code of this instruction set runs before the table is chosen.
constinit const KernelTable kMmxKernels = makeMmxTable();

} // namespace ZorvUISystem
