// The AVX2 kernel table: the vector kernels of KernelsImpl.h on 256-bit
// vectors, falling back to SSE2. Memory contract: as stated at the top of
// KernelsImpl.h (the rectangles only, rows by pitch, partial vectors at the
// end of each row through a stack buffer copied in exact pieces, any
// 2-byte-aligned address; 24-bit rows ten pixels a vector at any address, five
// in each 128-bit half, with the byte after each five in the row written
// back as read).

#include "pixel/simd/VecAvx2.h"

#include "pixel/simd/KernelsImpl.h"

namespace ZorvUISystem {

// Built at compile time: no code of this instruction set runs before the table is chosen.
constinit const KernelTable kAvx2Kernels = makeKernelTable<Vec>(KernelLevel::Avx2, &kSse2Kernels);

} // namespace ZorvUISystem
