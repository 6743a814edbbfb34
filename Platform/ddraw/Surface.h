// An off-screen surface of the software DirectDraw: pixel memory in system
// memory whatever placement was asked for (video memory is only counted), one
// lock or one device context at a time, source and destination colour keys,
// a clipper and a palette, and loss on display mode changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <ddraw.h>

#include "ColourKey.h"
#include "DeviceContext.h"
#include "PixelFormat.h"
#include "PixelMemory.h"
#include "PixelRect.h"

namespace zivdd {

class Clipper;
class DirectDraw;
class PaletteObject;
struct Palette;

class Surface final : public IDirectDrawSurface {
public:
    // Largest surface: per side and in bytes of pixel memory.
    static constexpr DWORD maxSide = 16384;
    static constexpr size_t maxBytes = size_t(512) << 20;

    // Makes a surface from a creation description whose dwSize has been
    // checked; `display` is the format used when the description names none.
    static HRESULT create(DirectDraw* owner, const DDSURFACEDESC& desc, const Format& display, Surface** surface);

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IDirectDrawSurface
    HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE attached) override;
    HRESULT AddOverlayDirtyRect(LPRECT rect) override;
    HRESULT Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags,
                LPDDBLTFX effects) override;
    HRESULT BltBatch(LPDDBLTBATCH batch, DWORD count, DWORD flags) override;
    HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) override;
    HRESULT DeleteAttachedSurface(DWORD flags, LPDIRECTDRAWSURFACE attached) override;
    HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK callback) override;
    HRESULT EnumOverlayZOrders(DWORD flags, LPVOID context, LPDDENUMSURFACESCALLBACK callback) override;
    HRESULT Flip(LPDIRECTDRAWSURFACE targetOverride, DWORD flags) override;
    HRESULT GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* attached) override;
    HRESULT GetBltStatus(DWORD flags) override;
    HRESULT GetCaps(LPDDSCAPS caps) override;
    HRESULT GetClipper(LPDIRECTDRAWCLIPPER* clipper) override;
    HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT GetDC(HDC* dc) override;
    HRESULT GetFlipStatus(DWORD flags) override;
    HRESULT GetOverlayPosition(LPLONG x, LPLONG y) override;
    HRESULT GetPalette(LPDIRECTDRAWPALETTE* palette) override;
    HRESULT GetPixelFormat(LPDDPIXELFORMAT format) override;
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) override;
    HRESULT Initialize(LPDIRECTDRAW directDraw, LPDDSURFACEDESC desc) override;
    HRESULT IsLost() override;
    HRESULT Lock(LPRECT destRect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
    HRESULT ReleaseDC(HDC dc) override;
    HRESULT Restore() override;
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
    HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT SetOverlayPosition(LONG x, LONG y) override;
    HRESULT SetPalette(LPDIRECTDRAWPALETTE palette) override;
    HRESULT Unlock(LPVOID surfaceData) override;
    HRESULT UpdateOverlay(LPRECT sourceRect, LPDIRECTDRAWSURFACE destSurface, LPRECT destRect, DWORD flags,
                          LPDDOVERLAYFX overlayEffects) override;
    HRESULT UpdateOverlayDisplay(DWORD flags) override;
    HRESULT UpdateOverlayZOrder(DWORD flags, LPDIRECTDRAWSURFACE reference) override;

    // For the DirectDraw object, the device context and the test controls.
    void markLost() { d_lost = true; }
    DirectDraw* owner() const { return d_owner; }
    void detach() { d_owner = nullptr; }
    bool guardsIntact() const { return d_memory.intact(); }
    const Format& format() const { return d_format; }
    // The attached palette's entries, or the default palette's.
    const Palette& palette() const;
    DWORD width() const { return d_width; }
    DWORD height() const { return d_height; }
    uint8_t* row(size_t y) const { return d_memory.pixels() + y * d_memory.pitch(); }

private:
    Surface(DirectDraw* owner, DWORD width, DWORD height, DWORD caps, const Format& format);
    ~Surface();

    // The pixels of a rectangle (null: the whole surface).
    PixelRect pixelRect(const RECT* rect) const;
    // The rectangle lies inside the surface and is not empty or inverted.
    bool validRect(const RECT& rect) const;
    // Busy with a lock or a device context.
    bool busy() const { return d_locked || d_dc.isOpen(); }
    // Lost, and operations on lost surfaces are refused.
    bool refusedAsLost() const;
    // The busy blitter's answer to a call on this surface (and on `other`,
    // the source of a blit, when given): DD_OK, after waiting when `wait`,
    // or DDERR_WASSTILLDRAWING.
    HRESULT blitterBusy(bool wait, Surface* other);
    // A blit from `source` (may be this surface or null) onto this surface
    // has started.
    void blitStarted(Surface* source);
    // Pixels of new or restored memory: zeros, or garbage when asked for.
    void freshPixels();
    // A blit or colour fill cut to the clip list of the attached clipper.
    HRESULT clippedCopy(const RECT& destRect, const std::vector<RECT>& clip, const PixelRect& source,
                        const KeyValue* key);
    void clippedFill(const RECT& destRect, const std::vector<RECT>& clip, uint32_t colour);
    // Fills a description as Lock and GetSurfaceDesc answer it.
    void describe(DDSURFACEDESC& desc) const;

    ULONG d_references = 1;
    DirectDraw* d_owner;
    DWORD d_width;
    DWORD d_height;
    DWORD d_caps;
    Format d_format;
    unsigned d_createdInBits = 0; // the display's depth when the surface was made
    size_t d_videoBytes = 0;      // video memory held
    unsigned d_blitterCalls = 0;  // calls without waiting still refused
    Clipper* d_clipper = nullptr;
    PaletteObject* d_paletteObject = nullptr;
    const Palette* d_palette;
    PixelMemory d_memory;
    bool d_lost = false;
    bool d_locked = false;
    void* d_lockPointer = nullptr;
    DeviceContext d_dc;
    bool d_hasSourceKey = false;
    KeyValue d_sourceKey;
    bool d_hasDestKey = false;
    KeyValue d_destKey;
};

} // namespace zivdd
