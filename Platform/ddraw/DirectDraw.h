// The DirectDraw object of the software DirectDraw: the display mode, the
// cooperative level and the surfaces it made (which a display mode change
// loses). It answers as IDirectDraw and, through QueryInterface, as
// IDirectDraw2.
#pragma once

#include <vector>

#include <ddraw.h>

#include "PixelFormat.h"

namespace zivdd {

class Surface;

class DirectDraw final : public IDirectDraw2 {
public:
    static constexpr DWORD defaultWidth = 1024;
    static constexpr DWORD defaultHeight = 768;
    static constexpr DWORD defaultBits = 32;

    DirectDraw();

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IDirectDraw
    HRESULT Compact() override;
    HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) override;
    HRESULT CreatePalette(DWORD flags, LPPALETTEENTRY colourTable, LPDIRECTDRAWPALETTE* palette,
                          IUnknown* outer) override;
    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) override;
    HRESULT DuplicateSurface(LPDIRECTDRAWSURFACE surface, LPDIRECTDRAWSURFACE* duplicate) override;
    HRESULT EnumDisplayModes(DWORD flags, LPDDSURFACEDESC desc, LPVOID context,
                             LPDDENUMMODESCALLBACK callback) override;
    HRESULT EnumSurfaces(DWORD flags, LPDDSURFACEDESC desc, LPVOID context, LPDDENUMSURFACESCALLBACK callback) override;
    HRESULT FlipToGDISurface() override;
    HRESULT GetCaps(LPDDCAPS driverCaps, LPDDCAPS helCaps) override;
    HRESULT GetDisplayMode(LPDDSURFACEDESC desc) override;
    HRESULT GetFourCCCodes(LPDWORD numCodes, LPDWORD codes) override;
    HRESULT GetGDISurface(LPDIRECTDRAWSURFACE* surface) override;
    HRESULT GetMonitorFrequency(LPDWORD frequency) override;
    HRESULT GetScanLine(LPDWORD scanLine) override;
    HRESULT GetVerticalBlankStatus(WINBOOL* isInVerticalBlank) override;
    HRESULT Initialize(GUID* guid) override;
    HRESULT RestoreDisplayMode() override;
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) override;
    HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) override;

    // IDirectDraw2
    HRESULT GetAvailableVidMem(LPDDSCAPS caps, LPDWORD total, LPDWORD free) override;

    // A surface going away stops being lost with the next mode change.
    void forget(Surface* surface);
    // Loses every surface it made, as losing the display to another program
    // does.
    void loseSurfaces();
    DWORD displayBits() const { return d_bits; }

private:
    ~DirectDraw();
    void changeMode(DWORD width, DWORD height, DWORD bitsPerPixel);

    ULONG d_references = 1;
    bool d_cooperative = false;
    DWORD d_width = defaultWidth;
    DWORD d_height = defaultHeight;
    DWORD d_bits = defaultBits;
    Format d_format;
    std::vector<Surface*> d_surfaces;
};

} // namespace zivdd
