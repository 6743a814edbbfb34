// The SSE2 kernel table: the vector kernels of KernelsImpl.h on 128-bit
// vectors, falling back to MMX. Memory contract: as stated at the top of KernelsImpl.h (the
// rectangles only, rows by pitch, partial vectors at the end of each row
// through a stack buffer copied in exact pieces, any 2-byte-aligned address;
// 24-bit rows five pixels a vector at any address, with the byte after them
// in the row written back as read).

#include "pixel/simd/VecSse2.h"

#include "pixel/simd/KernelsImpl.h"

namespace ZorvUISystem {

// Built at compile time: no code of this instruction set runs before the table is chosen.
constinit const KernelTable kSse2Kernels = makeKernelTable<Vec>(KernelLevel::Sse2, &kMmxKernels);

} // namespace ZorvUISystem
