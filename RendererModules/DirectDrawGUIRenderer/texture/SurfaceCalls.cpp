// DirectDraw calls on one surface shared by the textures and the quad blit.
#include "texture/SurfaceCalls.h"

#include <cstring>

namespace ZorvUISystem {

DDSURFACEDESC lockDescription(DWORD flags)
{
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = flags;
    if (flags & DDSD_PIXELFORMAT)
        desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    return desc;
}

HRESULT fillWholeSurface(IDirectDrawSurface* surface, DWORD colour)
{
    DDBLTFX effects;
    std::memset(&effects, 0, sizeof(effects));
    effects.dwSize = sizeof(DDBLTFX);
    effects.dwFillColor = colour;
    const HRESULT result = surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &effects);
    if (result != DDERR_WASSTILLDRAWING)
        return result;
    return surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
}

HRESULT copyFast(IDirectDrawSurface* destination, DWORD x, DWORD y, IDirectDrawSurface* source, RECT* sourceRect,
                 DWORD flags)
{
    const HRESULT result = destination->BltFast(x, y, source, sourceRect, flags);
    if (result != DDERR_BLTFASTCANTCLIP || sourceRect == nullptr)
        return result;
    RECT to = {static_cast<LONG>(x), static_cast<LONG>(y),
               static_cast<LONG>(x) + (sourceRect->right - sourceRect->left),
               static_cast<LONG>(y) + (sourceRect->bottom - sourceRect->top)};
    const DWORD keyed = (flags & DDBLTFAST_SRCCOLORKEY) ? DDBLT_KEYSRC : 0;
    return destination->Blt(&to, source, sourceRect, keyed | DDBLT_WAIT, nullptr);
}

bool surfaceLost(IDirectDrawSurface* surface)
{
    return surface != nullptr && surface->IsLost() == DDERR_SURFACELOST;
}

void dropSurface(IDirectDrawSurface*& surface, bool locked)
{
    if (surface == nullptr)
        return;
    if (locked)
        surface->Unlock(nullptr);
    surface->Release();
    surface = nullptr;
}

} // namespace ZorvUISystem
