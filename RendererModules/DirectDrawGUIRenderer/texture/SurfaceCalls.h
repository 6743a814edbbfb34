// DirectDraw calls on one surface that textures and the quad blit make the
// same way: the lock description, the whole-surface colour fill, the copy
// that falls back to Blt where BltFast cannot clip, and dropping a surface.
#pragma once

#include <windows.h>

#include <ddraw.h>

namespace ZorvUISystem {

// A zero-filled 108-byte description asking a lock for what `flags` names
// (DDSD_PITCH | DDSD_LPSURFACE at least); with DDSD_PIXELFORMAT the pixel
// format record carries its size.
DDSURFACEDESC lockDescription(DWORD flags);

// Fills the whole surface with one colour. The fill is first asked without
// the wait flag; a blitter still busy with earlier work is then waited for,
// so the fill is never silently skipped.
HRESULT fillWholeSurface(IDirectDrawSurface* surface, DWORD colour);

// BltFast of source's rectangle to (x, y). A destination with a clipper
// refuses BltFast; the same copy then goes through Blt, keyed on the source's
// colour key when the flags ask for it.
HRESULT copyFast(IDirectDrawSurface* destination, DWORD x, DWORD y, IDirectDrawSurface* source, RECT* sourceRect,
                 DWORD flags);

// Whether DirectDraw answers that the surface was lost; false for null.
bool surfaceLost(IDirectDrawSurface* surface);

// Unlocks the surface when it is locked, releases it and clears the pointer.
void dropSurface(IDirectDrawSurface*& surface, bool locked);

} // namespace ZorvUISystem
