// STUB: replaced by the pixel work.
#include "pixel/RgbMode.h"
namespace ZorvUISystem {
RgbMode GetRGBMode(const DDSURFACEDESC&) { return DDS_RGBMODE_UNSUPPORTED; }
void fitChannelToMask(uint32_t, uint32_t& value) { value = 0; }
}  // namespace ZorvUISystem
