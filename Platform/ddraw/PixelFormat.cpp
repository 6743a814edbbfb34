#include "PixelFormat.h"

namespace zivdd {

namespace {

bool contiguous(uint32_t mask)
{
    if (mask == 0)
        return false;
    const uint32_t run = mask >> std::countr_zero(mask);
    return (run & (run + 1)) == 0;
}

} // namespace

bool Format::sameLayout(const Format& other) const
{
    if (bits != other.bits || palettised() != other.palettised())
        return false;
    if (palettised())
        return true;
    // The fourth channel may be alpha on one side and unused on the other:
    // the colour bits mean the same, so pixels still copy unchanged.
    return pf.dwRBitMask == other.pf.dwRBitMask && pf.dwGBitMask == other.pf.dwGBitMask &&
           pf.dwBBitMask == other.pf.dwBBitMask;
}

Format rgbFormat(unsigned bits, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha)
{
    Format format;
    format.pf.dwSize = sizeof(DDPIXELFORMAT);
    format.pf.dwFlags = DDPF_RGB | (alpha != 0 ? DDPF_ALPHAPIXELS : 0);
    format.pf.dwRGBBitCount = bits;
    format.pf.dwRBitMask = red;
    format.pf.dwGBitMask = green;
    format.pf.dwBBitMask = blue;
    format.pf.dwRGBAlphaBitMask = alpha;
    format.bits = bits;
    format.meaningful = red | green | blue | alpha;
    format.fields[0] = red;
    format.fields[1] = green;
    format.fields[2] = blue;
    format.fields[3] = alpha;
    format.fieldCount = alpha != 0 ? 4 : 3;
    return format;
}

Format paletteFormat(unsigned bits)
{
    Format format;
    format.pf.dwSize = sizeof(DDPIXELFORMAT);
    format.pf.dwFlags = DDPF_RGB | (bits == 4 ? DDPF_PALETTEINDEXED4 : DDPF_PALETTEINDEXED8);
    format.pf.dwRGBBitCount = bits;
    format.bits = bits;
    format.meaningful = format.pixelMask();
    format.fields[0] = format.meaningful;
    format.fieldCount = 1;
    return format;
}

Format displayFormat(unsigned bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 8:
        return paletteFormat(8);
    case 16:
        return rgbFormat(16, 0xF800, 0x07E0, 0x001F);
    case 24:
        return rgbFormat(24, 0xFF0000, 0x00FF00, 0x0000FF);
    default:
        return rgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF);
    }
}

HRESULT formatFromRequest(const DDPIXELFORMAT& request, Format& format)
{
    if (request.dwSize != sizeof(DDPIXELFORMAT))
        return DDERR_INVALIDPARAMS;
    const DWORD known = DDPF_RGB | DDPF_ALPHAPIXELS | DDPF_PALETTEINDEXED8 | DDPF_PALETTEINDEXED4;
    const DWORD flags = request.dwFlags;
    if ((flags & ~known) != 0)
        return DDERR_INVALIDPIXELFORMAT;

    const bool indexed8 = (flags & DDPF_PALETTEINDEXED8) != 0;
    const bool indexed4 = (flags & DDPF_PALETTEINDEXED4) != 0;
    if (indexed8 || indexed4) {
        const unsigned bits = indexed8 ? 8 : 4;
        if ((indexed8 && indexed4) || (flags & DDPF_ALPHAPIXELS) != 0)
            return DDERR_INVALIDPIXELFORMAT;
        if (request.dwRGBBitCount != 0 && request.dwRGBBitCount != bits)
            return DDERR_INVALIDPIXELFORMAT;
        format = paletteFormat(bits);
        return DD_OK;
    }

    if ((flags & DDPF_RGB) == 0)
        return DDERR_INVALIDPIXELFORMAT;
    const unsigned bits = request.dwRGBBitCount;
    if (bits != 16 && bits != 24 && bits != 32)
        return DDERR_INVALIDPIXELFORMAT;
    const uint32_t pixelMask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    const uint32_t alpha = (flags & DDPF_ALPHAPIXELS) != 0 ? request.dwRGBAlphaBitMask : 0;
    const uint32_t masks[4] = {request.dwRBitMask, request.dwGBitMask, request.dwBBitMask, alpha};
    uint32_t used = 0;
    for (unsigned i = 0; i < 4; ++i) {
        const uint32_t mask = masks[i];
        if (i == 3 && (flags & DDPF_ALPHAPIXELS) == 0)
            break;
        if (!contiguous(mask) || (mask & ~pixelMask) != 0 || (mask & used) != 0)
            return DDERR_INVALIDPIXELFORMAT;
        used |= mask;
    }
    format = rgbFormat(bits, masks[0], masks[1], masks[2], alpha);
    return DD_OK;
}

} // namespace zivdd
