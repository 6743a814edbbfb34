#include "pixel/RgbMode.h"

namespace ZorvUISystem {

RgbMode GetRGBMode(const DDSURFACEDESC& desc)
{
    const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
    switch (format.dwRGBBitCount) {
    case 32:
        return DDS_RGBMODE_32;
    case 24:
        return DDS_RGBMODE_24;
    case 16:
        if (format.dwRBitMask == 0xF800 && format.dwGBitMask == 0x07E0 && format.dwBBitMask == 0x001F)
            return DDS_RGBMODE_565;
        if (format.dwRBitMask == 0x7C00 && format.dwGBitMask == 0x03E0 && format.dwBBitMask == 0x001F)
            return DDS_RGBMODE_555;
        return DDS_RGBMODE_16_OTHER;
    case 8:
        return DDS_RGBMODE_NONE;
    default:
        return DDS_RGBMODE_UNSUPPORTED;
    }
}

void fitChannelToMask(uint32_t mask, uint32_t& value)
{
    // The field is the first run of set bits from bit 0 upward; later runs
    // do not count.
    uint32_t position = 0;
    uint32_t width = 0;
    bool inRun = false;
    for (uint32_t bit = 0; bit < 32; ++bit) {
        const bool set = ((mask >> bit) & 1u) != 0;
        if (set) {
            if (!inRun) {
                position = bit;
                inRun = true;
            }
            ++width;
        } else if (inRun) {
            break;
        }
    }
    // Narrow fields keep the top bits of the 8-bit value; fields of 8 bits
    // or more take it unscaled in their lowest bits.
    if (width < 8)
        value >>= 8 - width;
    if (position > 0)
        value <<= position;
}

} // namespace ZorvUISystem
