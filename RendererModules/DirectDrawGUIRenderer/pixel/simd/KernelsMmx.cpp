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

// Built at compile time: no code of this instruction set runs before the table is chosen.
constinit const KernelTable kMmxKernels = makeKernelTable<Vec>(KernelLevel::Mmx, &kPortableKernels);

} // namespace ZorvUISystem
