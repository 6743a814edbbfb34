// The upload's pixel conversion: the rows of a locked surface go to the
// upload kernel of their mode and source layout; palette colours are formed
// here for GDI.
#include "texture/PixelConversion.h"

#include "pixel/UploadPixels.h"

namespace ZorvUISystem {

void convertPixels(const UploadTable& kernels, RgbMode mode, const UploadSource& source, const UploadTarget& target)
{
    if (mode >= kUploadModeCount || target.width == 0 || target.height == 0)
        return;
    const UploadLayout layout = !source.rgba                    ? UPLOAD_RGB
                                : target.alpha == target.colour ? UPLOAD_RGBA_IN_COLOUR
                                                                : UPLOAD_RGBA_SEPARATE;
    const UploadJob job{target, source.pixels, source.pitch};
    kernels.rows[mode][layout](job);
}

void convertPixels(RgbMode mode, const UploadSource& source, const UploadTarget& target)
{
    convertPixels(activeUploadTable(), mode, source, target);
}

uint32_t paletteColour(const uint8_t* pixel, bool rgba)
{
    const Texel t = rgba ? readTexel<true, FoldByAlpha>(pixel) : readTexel<false, FoldByAlpha>(pixel);
    return t.r | t.g << 8 | t.b << 16;
}

} // namespace ZorvUISystem
