// STUB: replaced by the pixel work.
#include "pixel/BlendKernels.h"
namespace ZorvUISystem {
int32_t blendModulated(const DDSURFACEDESC*, DDSURFACEDESC*, int32_t, int32_t, const RECT*, int32_t, uint32_t, uint32_t, uint32_t, uint32_t) { return -1; }
int32_t blendHalf(const DDSURFACEDESC*, DDSURFACEDESC*, int32_t, int32_t, const RECT*, uint32_t) { return -1; }
int32_t blendAlphaMmx(const DDSURFACEDESC*, DDSURFACEDESC*, int32_t, int32_t, const RECT*, int32_t, uint32_t) { return -1; }
int32_t blendHalfMmx(const DDSURFACEDESC*, DDSURFACEDESC*, int32_t, int32_t, const RECT*, uint32_t) { return -1; }
const char* activeKernelLevelName() { return "none"; }
}  // namespace ZorvUISystem
