// The clip list of a destination surface: blits honour a surface's clipper,
// but a lock hands out all of its memory, so the blend path asks which
// rectangles it may write.
#include "renderer/CDDRender.h"

namespace ZorvUISystem {

const std::vector<RECT>* CDDRender::clipList(IDirectDrawSurface* surface)
{
    if (d_clip.surface == surface)
        return d_clip.clipped ? &d_clip.visible : nullptr;
    d_clip.surface = surface;
    d_clip.clipped = false;
    d_clip.visible.clear();
    IDirectDrawClipper* clipper = nullptr;
    if (surface->GetClipper(&clipper) != DD_OK || clipper == nullptr)
        return nullptr;
    // From here on the surface is clipped: a clip list that cannot be read
    // shows nothing.
    d_clip.clipped = true;
    clipper->Release();
    return &d_clip.visible;
}

} // namespace ZorvUISystem
