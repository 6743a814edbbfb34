// Pixel modes of DirectDraw surfaces as the software side of drawing sees them.
#pragma once

#include <cstdint>

#include <ddraw.h>

namespace ZorvUISystem {

enum RgbMode : uint32_t {
    DDS_RGBMODE_555 = 0,
    DDS_RGBMODE_565 = 1,
    DDS_RGBMODE_16_OTHER = 2,
    DDS_RGBMODE_24 = 3,
    DDS_RGBMODE_32 = 4,
    DDS_RGBMODE_UNSUPPORTED = 5,
    DDS_RGBMODE_NONE = 6,
};

// Classifies a locked surface by its bit count and, for 16 bits, its masks.
RgbMode GetRGBMode(const DDSURFACEDESC& desc);

// Places an 8-bit channel value into the first run of set bits of mask.
void fitChannelToMask(uint32_t mask, uint32_t& value);

// Bytes per pixel of the modes the kernels handle (0-4); 0 for the others.
constexpr uint32_t bytesPerPixel(uint32_t mode)
{
    return mode <= DDS_RGBMODE_16_OTHER ? 2u : mode == DDS_RGBMODE_24 ? 3u : mode == DDS_RGBMODE_32 ? 4u : 0u;
}

} // namespace ZorvUISystem
