#include "DirectDraw.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "Behaviour.h"
#include "Clipper.h"
#include "FaultInjection.h"
#include "PaletteObject.h"
#include "Surface.h"
#include "SurfaceRegistry.h"

namespace zivdd {

DirectDraw::DirectDraw() : d_format(displayFormat(defaultBits)) {}

DirectDraw::~DirectDraw()
{
    // Surfaces outlive the object that made them: they keep their memory and
    // stay usable until their own last release.
    for (Surface* surface : d_surfaces)
        surface->detach();
    unregisterDirectDraw(this);
}

HRESULT DirectDraw::QueryInterface(REFIID riid, void** object)
{
    if (object == nullptr)
        return DDERR_INVALIDPARAMS;
    *object = nullptr;
    if (std::memcmp(&riid, &IID_IDirectDraw2, sizeof(GUID)) != 0)
        return E_NOINTERFACE;
    AddRef();
    *object = static_cast<IDirectDraw2*>(this);
    return DD_OK;
}

ULONG DirectDraw::AddRef()
{
    enterOperation(Operation::AddRef);
    return ++d_references;
}

ULONG DirectDraw::Release()
{
    enterOperation(Operation::Release);
    const ULONG left = --d_references;
    if (left == 0)
        delete this;
    return left;
}

HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer)
{
    const HRESULT injected = enterOperation(Operation::CreateSurface);
    if (surface != nullptr)
        *surface = nullptr;
    if (injected < 0)
        return injected;
    if (surface == nullptr || outer != nullptr || desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    if (!d_cooperative)
        return DDERR_NOCOOPERATIVELEVELSET;

    try {
        d_surfaces.reserve(d_surfaces.size() + 1); // the push below cannot fail then
    } catch (...) {
        return DDERR_OUTOFMEMORY;
    }
    Surface* made = nullptr;
    const HRESULT result = Surface::create(this, *desc, d_format, &made);
    if (result < 0)
        return result;
    d_surfaces.push_back(made);
    *surface = made;
    return DD_OK;
}

void DirectDraw::forget(Surface* surface)
{
    d_surfaces.erase(std::remove(d_surfaces.begin(), d_surfaces.end(), surface), d_surfaces.end());
}

HRESULT DirectDraw::SetCooperativeLevel(HWND, DWORD flags)
{
    const HRESULT injected = enterOperation(Operation::SetCooperativeLevel);
    if (injected < 0)
        return injected;
    const DWORD known = DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_NOWINDOWCHANGES | DDSCL_NORMAL | DDSCL_EXCLUSIVE |
                        DDSCL_ALLOWMODEX;
    const bool normal = (flags & DDSCL_NORMAL) != 0;
    const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    const bool fullScreen = (flags & DDSCL_FULLSCREEN) != 0;
    // Either normal, or exclusive and full-screen together. There are no
    // windows here, so the window handle is not looked at.
    if ((flags & ~known) != 0 || normal == exclusive || exclusive != fullScreen ||
        ((flags & DDSCL_ALLOWMODEX) != 0 && !exclusive))
        return DDERR_INVALIDPARAMS;
    d_cooperative = true;
    return DD_OK;
}

HRESULT DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel)
{
    const HRESULT injected = enterOperation(Operation::SetDisplayMode);
    if (injected < 0)
        return injected;
    if (width == 0 || height == 0 || width > Surface::maxSide || height > Surface::maxSide ||
        (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32))
        return DDERR_INVALIDMODE;
    changeMode(width, height, bitsPerPixel);
    return DD_OK;
}

HRESULT DirectDraw::RestoreDisplayMode()
{
    const HRESULT injected = enterOperation(Operation::RestoreDisplayMode);
    if (injected < 0)
        return injected;
    if (d_width != defaultWidth || d_height != defaultHeight || d_bits != defaultBits)
        changeMode(defaultWidth, defaultHeight, defaultBits);
    return DD_OK;
}

void DirectDraw::changeMode(DWORD width, DWORD height, DWORD bitsPerPixel)
{
    d_width = width;
    d_height = height;
    d_bits = bitsPerPixel;
    d_format = displayFormat(bitsPerPixel);
    // Video memory is handed to the new mode: every surface loses its pixels.
    loseSurfaces();
}

void DirectDraw::loseSurfaces()
{
    for (Surface* surface : d_surfaces)
        surface->markLost();
}

HRESULT DirectDraw::GetAvailableVidMem(LPDDSCAPS caps, LPDWORD total, LPDWORD free)
{
    if (caps == nullptr || (total == nullptr && free == nullptr))
        return DDERR_INVALIDPARAMS;
    // Only video memory is counted; a budget of 0 is unlimited, reported as
    // the most a DWORD holds.
    if ((caps->dwCaps & DDSCAPS_SYSTEMMEMORY) != 0)
        return DDERR_INVALIDCAPS;
    constexpr size_t most = 0xFFFFFFFFu;
    const size_t budget = behaviour().videoMemoryBudget;
    const size_t whole = budget == 0 || budget > most ? most : budget;
    const size_t used = videoMemoryInUse();
    if (total != nullptr)
        *total = static_cast<DWORD>(whole);
    if (free != nullptr)
        *free = static_cast<DWORD>(used >= whole ? 0 : whole - used);
    return DD_OK;
}

HRESULT DirectDraw::CreatePalette(DWORD flags, LPPALETTEENTRY colourTable, LPDIRECTDRAWPALETTE* palette,
                                  IUnknown* outer)
{
    if (outer != nullptr) {
        if (palette != nullptr)
            *palette = nullptr;
        return DDERR_INVALIDPARAMS;
    }
    return createPalette(flags, colourTable, palette);
}

HRESULT DirectDraw::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer)
{
    if (clipper != nullptr)
        *clipper = nullptr;
    if (clipper == nullptr || flags != 0 || outer != nullptr)
        return DDERR_INVALIDPARAMS;
    Clipper* made = new (std::nothrow) Clipper();
    if (made == nullptr)
        return DDERR_OUTOFMEMORY;
    *clipper = made;
    return DD_OK;
}

HRESULT DirectDraw::GetDisplayMode(LPDDSURFACEDESC desc)
{
    const HRESULT injected = enterOperation(Operation::GetDisplayMode);
    if (injected < 0)
        return injected;
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    std::memset(desc, 0, sizeof(DDSURFACEDESC));
    desc->dwSize = sizeof(DDSURFACEDESC);
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    desc->dwWidth = d_width;
    desc->dwHeight = d_height;
    desc->lPitch = static_cast<LONG>((d_format.rowBytes(d_width) + 7) & ~size_t(7));
    desc->dwRefreshRate = 60;
    desc->ddpfPixelFormat = d_format.pf;
    return DD_OK;
}

// Not needed by off-screen drawing.
HRESULT DirectDraw::Compact()
{
    return DDERR_UNSUPPORTED;
}

HRESULT DirectDraw::DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE* duplicate)
{
    if (duplicate != nullptr)
        *duplicate = nullptr;
    return DDERR_UNSUPPORTED;
}
HRESULT DirectDraw::EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK)
{
    return DDERR_UNSUPPORTED;
}
HRESULT DirectDraw::EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK)
{
    return DDERR_UNSUPPORTED;
}
HRESULT DirectDraw::FlipToGDISurface()
{
    return DDERR_UNSUPPORTED;
}
HRESULT DirectDraw::GetCaps(LPDDCAPS, LPDDCAPS)
{
    return DDERR_UNSUPPORTED;
}
HRESULT DirectDraw::GetFourCCCodes(LPDWORD, LPDWORD)
{
    return DDERR_UNSUPPORTED;
}
HRESULT DirectDraw::GetGDISurface(LPDIRECTDRAWSURFACE* surface)
{
    if (surface != nullptr)
        *surface = nullptr;
    return DDERR_UNSUPPORTED;
}
HRESULT DirectDraw::GetMonitorFrequency(LPDWORD)
{
    return DDERR_UNSUPPORTED;
}
HRESULT DirectDraw::GetScanLine(LPDWORD)
{
    return DDERR_UNSUPPORTED;
}
HRESULT DirectDraw::GetVerticalBlankStatus(WINBOOL*)
{
    return DDERR_UNSUPPORTED;
}
HRESULT DirectDraw::Initialize(GUID*)
{
    return DDERR_UNSUPPORTED;
}
HRESULT DirectDraw::WaitForVerticalBlank(DWORD, HANDLE)
{
    return DDERR_UNSUPPORTED;
}

} // namespace zivdd

extern "C" ZIV_DDRAW_API HRESULT WINAPI DirectDrawCreate(GUID*, LPDIRECTDRAW* directDraw, IUnknown* outer)
{
    const HRESULT injected = zivdd::enterOperation(zivdd::Operation::DirectDrawCreate);
    if (directDraw != nullptr)
        *directDraw = nullptr;
    if (injected < 0)
        return injected;
    if (directDraw == nullptr || outer != nullptr)
        return DDERR_INVALIDPARAMS;
    zivdd::DirectDraw* made = new (std::nothrow) zivdd::DirectDraw();
    if (made == nullptr)
        return DDERR_OUTOFMEMORY;
    if (!zivdd::registerDirectDraw(made)) {
        made->Release();
        return DDERR_OUTOFMEMORY;
    }
    *directDraw = made;
    return DD_OK;
}
