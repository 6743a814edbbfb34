// The clip list of a destination surface: blits honour a surface's clipper,
// but a lock hands out all of its memory, so the blend path asks which
// rectangles it may write.
#include <cstring>

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
    DWORD size = 0;
    if (clipper->GetClipList(nullptr, nullptr, &size) == DD_OK && size >= sizeof(RGNDATAHEADER)) {
        d_clip.region.resize(size);
        auto* region = reinterpret_cast<RGNDATA*>(d_clip.region.data());
        if (clipper->GetClipList(nullptr, region, &size) == DD_OK) {
            RGNDATAHEADER header;
            std::memcpy(&header, d_clip.region.data(), sizeof(header));
            const size_t room = (d_clip.region.size() - sizeof(header)) / sizeof(RECT);
            const size_t count = header.nCount < room ? header.nCount : room;
            d_clip.visible.resize(count);
            if (count != 0)
                std::memcpy(d_clip.visible.data(), d_clip.region.data() + sizeof(header), count * sizeof(RECT));
        }
    }
    clipper->Release();
    return &d_clip.visible;
}

} // namespace ZorvUISystem
