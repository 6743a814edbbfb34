#include "Surface.h"

#include <cstring>
#include <new>

#include "Behaviour.h"
#include "Blit.h"
#include "Clipper.h"
#include "DirectDraw.h"
#include "FaultInjection.h"
#include "Fill.h"
#include "Palette.h"
#include "PaletteObject.h"
#include "SurfaceRegistry.h"

namespace zivdd {

namespace {

constexpr DWORD typeCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_TEXTURE;
constexpr DWORD memoryCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM | DDSCAPS_NONLOCALVIDMEM;

// The placement caps asked for, checked and completed as a surface reports
// them: DD_OK or DDERR_INVALIDCAPS.
HRESULT resolveCaps(DWORD asked, DWORD& caps)
{
    if ((asked & ~(typeCaps | memoryCaps)) != 0)
        return DDERR_INVALIDCAPS;
    const bool system = (asked & DDSCAPS_SYSTEMMEMORY) != 0;
    const bool video = (asked & DDSCAPS_VIDEOMEMORY) != 0;
    const bool local = (asked & DDSCAPS_LOCALVIDMEM) != 0;
    const bool nonLocal = (asked & DDSCAPS_NONLOCALVIDMEM) != 0;
    if ((system && (video || local || nonLocal)) || ((local || nonLocal) && !video) || (local && nonLocal))
        return DDERR_INVALIDCAPS;
    caps = asked & typeCaps;
    if (caps == 0)
        caps = DDSCAPS_OFFSCREENPLAIN;
    // The pixels are in system memory whatever was asked; the caps say what
    // a driver would have given.
    if (system)
        caps |= DDSCAPS_SYSTEMMEMORY;
    else
        caps |= DDSCAPS_VIDEOMEMORY | (nonLocal ? DDSCAPS_NONLOCALVIDMEM : DDSCAPS_LOCALVIDMEM);
    return DD_OK;
}

// Our own surface behind an interface pointer, or null for anything else.
Surface* ownSurface(IDirectDrawSurface* surface)
{
    return surface == nullptr ? nullptr : dynamic_cast<Surface*>(surface);
}

RECT intersection(const RECT& a, const RECT& b)
{
    return RECT{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top, a.right < b.right ? a.right : b.right,
                a.bottom < b.bottom ? a.bottom : b.bottom};
}

bool emptyRect(const RECT& rect)
{
    return rect.left >= rect.right || rect.top >= rect.bottom;
}

} // namespace

HRESULT Surface::create(DirectDraw* owner, const DDSURFACEDESC& desc, const Format& display, Surface** surface)
{
    const DWORD flags = desc.dwFlags;
    // Surfaces over the caller's memory and flipping chains are not offered.
    if ((flags & DDSD_CAPS) == 0 ||
        (flags & (DDSD_PITCH | DDSD_LPSURFACE | DDSD_LINEARSIZE | DDSD_BACKBUFFERCOUNT)) != 0)
        return DDERR_INVALIDPARAMS;
    if ((desc.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0)
        return DDERR_UNSUPPORTED;
    DWORD caps = 0;
    HRESULT result = resolveCaps(desc.ddsCaps.dwCaps, caps);
    if (result < 0)
        return result;
    if ((flags & DDSD_WIDTH) == 0 || (flags & DDSD_HEIGHT) == 0 || desc.dwWidth == 0 || desc.dwHeight == 0)
        return DDERR_INVALIDPARAMS;
    Format format = display;
    if ((flags & DDSD_PIXELFORMAT) != 0) {
        result = formatFromRequest(desc.ddpfPixelFormat, format);
        if (result < 0)
            return result;
    }

    // Too large is refused before anything is allocated.
    if (desc.dwWidth > maxSide || desc.dwHeight > maxSide)
        return DDERR_OUTOFMEMORY;
    const size_t rowBytes = format.rowBytes(desc.dwWidth);
    const size_t pitch = (rowBytes + 7) & ~size_t(7);
    if (pitch * desc.dwHeight > maxBytes)
        return DDERR_OUTOFMEMORY;

    // Video memory, asked for or given for want of a memory flag, comes
    // out of the budget; there is no falling back to system memory.
    const size_t videoBytes = (caps & DDSCAPS_VIDEOMEMORY) != 0 ? pitch * desc.dwHeight : 0;
    if (!takeVideoMemory(videoBytes))
        return DDERR_OUTOFVIDEOMEMORY;
    Surface* made = new (std::nothrow) Surface(owner, desc.dwWidth, desc.dwHeight, caps, format);
    if (made == nullptr) {
        giveBackVideoMemory(videoBytes);
        return DDERR_OUTOFMEMORY;
    }
    made->d_videoBytes = videoBytes;
    made->d_createdInBits = display.bits;
    if (!made->d_memory.allocate(rowBytes, pitch, desc.dwHeight) || !registerSurface(made)) {
        made->d_owner = nullptr;
        delete made;
        return DDERR_OUTOFMEMORY;
    }
    made->freshPixels();
    // A key given at creation is a single colour, like SetColorKey without
    // DDCKEY_COLORSPACE.
    if ((flags & DDSD_CKSRCBLT) != 0) {
        made->d_hasSourceKey = true;
        made->d_sourceKey = {desc.ddckCKSrcBlt.dwColorSpaceLowValue, desc.ddckCKSrcBlt.dwColorSpaceLowValue, false};
    }
    if ((flags & DDSD_CKDESTBLT) != 0) {
        made->d_hasDestKey = true;
        made->d_destKey = {desc.ddckCKDestBlt.dwColorSpaceLowValue, desc.ddckCKDestBlt.dwColorSpaceLowValue, false};
    }
    *surface = made;
    return DD_OK;
}

Surface::Surface(DirectDraw* owner, DWORD width, DWORD height, DWORD caps, const Format& format)
    : d_owner(owner), d_width(width), d_height(height), d_caps(caps), d_format(format),
      d_palette(&defaultPalette(format.bits)), d_dc(*this)
{
}

Surface::~Surface()
{
    if (d_locked)
        countLock(-1);
    if (d_owner != nullptr)
        d_owner->forget(this);
    if (d_clipper != nullptr)
        d_clipper->Release();
    if (d_paletteObject != nullptr)
        d_paletteObject->Release();
    giveBackVideoMemory(d_videoBytes);
    unregisterSurface(this);
}

const Palette& Surface::palette() const
{
    return d_paletteObject != nullptr ? d_paletteObject->table() : *d_palette;
}

bool Surface::refusedAsLost() const
{
    return d_lost && !behaviour().lostSurfacesUsable;
}

HRESULT Surface::blitterBusy(bool wait, Surface* other)
{
    // With the busy blitter turned off, blits that were under way are done.
    if (wait || behaviour().busyCalls == 0) {
        d_blitterCalls = 0;
        if (other != nullptr)
            other->d_blitterCalls = 0;
        return DD_OK;
    }
    const bool busyHere = d_blitterCalls > 0;
    const bool busyThere = other != nullptr && other->d_blitterCalls > 0;
    if (!busyHere && !busyThere)
        return DD_OK;
    if (busyHere)
        --d_blitterCalls;
    if (busyThere && other != this)
        --other->d_blitterCalls;
    return DDERR_WASSTILLDRAWING;
}

void Surface::blitStarted(Surface* source)
{
    d_blitterCalls = behaviour().busyCalls;
    if (source != nullptr)
        source->d_blitterCalls = d_blitterCalls;
}

void Surface::freshPixels()
{
    if (behaviour().garbageMemory)
        d_memory.scramblePixels(nextGarbageSeed());
    else
        d_memory.clearPixels();
}

HRESULT Surface::clippedCopy(const RECT& destRect, const std::vector<RECT>& clip, const PixelRect& source,
                             const KeyValue* key)
{
    // The whole blit goes into a copy of the destination rectangle, so that
    // stretching samples as without a clipper; only what lies inside the
    // clip list is copied back.
    const size_t width = static_cast<size_t>(destRect.right - destRect.left);
    const size_t height = static_cast<size_t>(destRect.bottom - destRect.top);
    const size_t rowBytes = d_format.rowBytes(width);
    PixelMemory scratch;
    if (!scratch.allocate(rowBytes, (rowBytes + 7) & ~size_t(7), height))
        return DDERR_OUTOFMEMORY;
    const PixelRect copy{scratch.pixels(), scratch.pitch(), 0, 0, width, height};
    HRESULT result = blitPixels(d_format, pixelRect(&destRect), copy, nullptr);
    if (result >= 0)
        result = blitPixels(d_format, source, copy, key);
    if (result < 0)
        return result;
    for (const RECT& rect : clip) {
        const RECT inside = intersection(rect, destRect);
        if (emptyRect(inside))
            continue;
        PixelRect from = copy;
        from.x = static_cast<size_t>(inside.left - destRect.left);
        from.y = static_cast<size_t>(inside.top - destRect.top);
        from.width = static_cast<size_t>(inside.right - inside.left);
        from.height = static_cast<size_t>(inside.bottom - inside.top);
        result = blitPixels(d_format, from, pixelRect(&inside), nullptr);
        if (result < 0)
            return result;
    }
    return DD_OK;
}

void Surface::clippedFill(const RECT& destRect, const std::vector<RECT>& clip, uint32_t colour)
{
    for (const RECT& rect : clip) {
        const RECT inside = intersection(rect, destRect);
        if (!emptyRect(inside))
            fillPixels(d_format, pixelRect(&inside), colour);
    }
}

PixelRect Surface::pixelRect(const RECT* rect) const
{
    PixelRect pixels{d_memory.pixels(), d_memory.pitch(), 0, 0, d_width, d_height};
    if (rect != nullptr) {
        pixels.x = static_cast<size_t>(rect->left);
        pixels.y = static_cast<size_t>(rect->top);
        pixels.width = static_cast<size_t>(rect->right - rect->left);
        pixels.height = static_cast<size_t>(rect->bottom - rect->top);
    }
    return pixels;
}

bool Surface::validRect(const RECT& rect) const
{
    return rect.left >= 0 && rect.top >= 0 && rect.left < rect.right && rect.top < rect.bottom &&
           rect.right <= static_cast<LONG>(d_width) && rect.bottom <= static_cast<LONG>(d_height);
}

void Surface::describe(DDSURFACEDESC& desc) const
{
    std::memset(&desc, 0, sizeof(DDSURFACEDESC));
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc.dwWidth = d_width;
    desc.dwHeight = d_height;
    desc.lPitch = static_cast<LONG>(d_memory.pitch());
    desc.ddpfPixelFormat = d_format.pf;
    desc.ddsCaps.dwCaps = d_caps;
    if (d_hasSourceKey) {
        desc.dwFlags |= DDSD_CKSRCBLT;
        desc.ddckCKSrcBlt = {d_sourceKey.low, d_sourceKey.high};
    }
    if (d_hasDestKey) {
        desc.dwFlags |= DDSD_CKDESTBLT;
        desc.ddckCKDestBlt = {d_destKey.low, d_destKey.high};
    }
}

HRESULT Surface::QueryInterface(REFIID, void** object)
{
    if (object == nullptr)
        return DDERR_INVALIDPARAMS;
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG Surface::AddRef()
{
    enterOperation(Operation::AddRef, this);
    return ++d_references;
}

ULONG Surface::Release()
{
    enterOperation(Operation::Release, this);
    const ULONG left = --d_references;
    if (left == 0)
        delete this;
    return left;
}

HRESULT Surface::Lock(LPRECT destRect, LPDDSURFACEDESC desc, DWORD flags, HANDLE)
{
    const HRESULT injected = enterOperation(Operation::Lock, this);
    if (injected < 0)
        return injected;
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC) || (destRect != nullptr && !validRect(*destRect)))
        return DDERR_INVALIDPARAMS;
    if (refusedAsLost())
        return DDERR_SURFACELOST;
    if (busy())
        return DDERR_SURFACEBUSY;
    // A lock ignores the clipper, but waits for the blitter.
    const HRESULT drawing = blitterBusy((flags & DDLOCK_WAIT) != 0, nullptr);
    if (drawing < 0)
        return drawing;
    const PixelRect pixels = pixelRect(destRect);
    describe(*desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = pixels.row(0) + pixels.x * d_format.bits / 8;
    d_locked = true;
    countLock(+1);
    d_lockPointer = desc->lpSurface;
    return DD_OK;
}

HRESULT Surface::Unlock(LPVOID surfaceData)
{
    const HRESULT injected = enterOperation(Operation::Unlock, this);
    if (injected < 0)
        return injected;
    if (!d_locked)
        return DDERR_NOTLOCKED;
    if (surfaceData != nullptr && surfaceData != d_lockPointer)
        return DDERR_INVALIDPARAMS;
    d_locked = false;
    countLock(-1);
    d_lockPointer = nullptr;
    return DD_OK;
}

HRESULT Surface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags, LPDDBLTFX effects)
{
    const HRESULT injected = enterOperation(Operation::Blt, this);
    if (injected < 0)
        return injected;
    const DWORD supported =
        DDBLT_COLORFILL | DDBLT_KEYSRC | DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT | DDBLT_DONOTWAIT | DDBLT_ASYNC;
    if ((flags & ~supported) != 0)
        return DDERR_UNSUPPORTED;
    const bool fill = (flags & DDBLT_COLORFILL) != 0;
    const bool keySource = (flags & DDBLT_KEYSRC) != 0;
    const bool keyOverride = (flags & DDBLT_KEYSRCOVERRIDE) != 0;
    if ((fill || keyOverride) && (effects == nullptr || effects->dwSize != sizeof(DDBLTFX)))
        return DDERR_INVALIDPARAMS;
    if (keySource && keyOverride)
        return DDERR_INVALIDPARAMS;

    const bool wait = (flags & DDBLT_WAIT) != 0;
    std::vector<RECT> clip;
    if (d_clipper != nullptr) {
        const HRESULT listed = d_clipper->clipRects(clip);
        if (listed < 0)
            return listed;
    }
    const RECT whole{0, 0, static_cast<LONG>(d_width), static_cast<LONG>(d_height)};

    if (fill) {
        if (refusedAsLost())
            return DDERR_SURFACELOST;
        if (busy())
            return DDERR_SURFACEBUSY;
        if (destRect != nullptr && !validRect(*destRect))
            return DDERR_INVALIDRECT;
        const HRESULT drawing = blitterBusy(wait, nullptr);
        if (drawing < 0)
            return drawing;
        if (d_clipper != nullptr)
            clippedFill(destRect != nullptr ? *destRect : whole, clip, effects->dwFillColor);
        else
            fillPixels(d_format, pixelRect(destRect), effects->dwFillColor);
        blitStarted(nullptr);
        return DD_OK;
    }

    Surface* from = ownSurface(source);
    if (from == nullptr || (keySource && !from->d_hasSourceKey))
        return DDERR_INVALIDPARAMS;
    if (refusedAsLost() || from->refusedAsLost())
        return DDERR_SURFACELOST;
    if (busy() || from->busy())
        return DDERR_SURFACEBUSY;
    if ((destRect != nullptr && !validRect(*destRect)) || (sourceRect != nullptr && !from->validRect(*sourceRect)))
        return DDERR_INVALIDRECT;
    if (!d_format.sameLayout(from->d_format))
        return DDERR_INVALIDPIXELFORMAT;
    const HRESULT drawing = blitterBusy(wait, from);
    if (drawing < 0)
        return drawing;

    // The override is a single colour: the effects record has no way to ask
    // for a colour space.
    const KeyValue overrideKey = keyOverride ? KeyValue{effects->ddckSrcColorkey.dwColorSpaceLowValue,
                                                        effects->ddckSrcColorkey.dwColorSpaceLowValue, false}
                                             : KeyValue{};
    const KeyValue* key = keySource ? &from->d_sourceKey : keyOverride ? &overrideKey : nullptr;
    const HRESULT result =
        d_clipper != nullptr
            ? clippedCopy(destRect != nullptr ? *destRect : whole, clip, from->pixelRect(sourceRect), key)
            : blitPixels(d_format, from->pixelRect(sourceRect), pixelRect(destRect), key);
    if (result >= 0)
        blitStarted(from);
    return result;
}

HRESULT Surface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans)
{
    const HRESULT injected = enterOperation(Operation::BltFast, this);
    if (injected < 0)
        return injected;
    if ((trans & ~(DDBLTFAST_SRCCOLORKEY | DDBLTFAST_DESTCOLORKEY | DDBLTFAST_WAIT | DDBLTFAST_DONOTWAIT)) != 0)
        return DDERR_INVALIDPARAMS;
    const bool keySource = (trans & DDBLTFAST_SRCCOLORKEY) != 0;
    if ((trans & DDBLTFAST_DESTCOLORKEY) != 0)
        return keySource ? DDERR_INVALIDPARAMS : DDERR_UNSUPPORTED;

    Surface* from = ownSurface(source);
    if (from == nullptr || (keySource && !from->d_hasSourceKey))
        return DDERR_INVALIDPARAMS;
    if (d_clipper != nullptr)
        return DDERR_BLTFASTCANTCLIP;
    if (refusedAsLost() || from->refusedAsLost())
        return DDERR_SURFACELOST;
    if (busy() || from->busy())
        return DDERR_SURFACEBUSY;
    const RECT whole{0, 0, static_cast<LONG>(from->d_width), static_cast<LONG>(from->d_height)};
    const RECT taken = sourceRect != nullptr ? *sourceRect : whole;
    if (!from->validRect(taken))
        return DDERR_INVALIDRECT;
    const uint64_t right = uint64_t(x) + uint64_t(taken.right - taken.left);
    const uint64_t bottom = uint64_t(y) + uint64_t(taken.bottom - taken.top);
    if (right > d_width || bottom > d_height)
        return DDERR_INVALIDRECT;
    if (!d_format.sameLayout(from->d_format))
        return DDERR_INVALIDPIXELFORMAT;

    const HRESULT drawing = blitterBusy((trans & DDBLTFAST_WAIT) != 0, from);
    if (drawing < 0)
        return drawing;

    const RECT placed{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(right), static_cast<LONG>(bottom)};
    const HRESULT result =
        blitPixels(d_format, from->pixelRect(&taken), pixelRect(&placed), keySource ? &from->d_sourceKey : nullptr);
    if (result >= 0)
        blitStarted(from);
    return result;
}

HRESULT Surface::GetColorKey(DWORD flags, LPDDCOLORKEY key)
{
    const HRESULT injected = enterOperation(Operation::GetColorKey, this);
    if (injected < 0)
        return injected;
    if (key == nullptr)
        return DDERR_INVALIDPARAMS;
    if (flags == DDCKEY_DESTOVERLAY || flags == DDCKEY_SRCOVERLAY)
        return DDERR_UNSUPPORTED;
    if (flags != DDCKEY_SRCBLT && flags != DDCKEY_DESTBLT)
        return DDERR_INVALIDPARAMS;
    const bool source = flags == DDCKEY_SRCBLT;
    if (!(source ? d_hasSourceKey : d_hasDestKey))
        return DDERR_NOCOLORKEY;
    const KeyValue& value = source ? d_sourceKey : d_destKey;
    key->dwColorSpaceLowValue = value.low;
    key->dwColorSpaceHighValue = value.high;
    return DD_OK;
}

HRESULT Surface::SetColorKey(DWORD flags, LPDDCOLORKEY key)
{
    const HRESULT injected = enterOperation(Operation::SetColorKey, this);
    if (injected < 0)
        return injected;
    const bool colourSpace = (flags & DDCKEY_COLORSPACE) != 0;
    const DWORD kind = flags & ~DWORD(DDCKEY_COLORSPACE);
    if (kind == DDCKEY_DESTOVERLAY || kind == DDCKEY_SRCOVERLAY)
        return DDERR_UNSUPPORTED;
    if (kind != DDCKEY_SRCBLT && kind != DDCKEY_DESTBLT)
        return DDERR_INVALIDPARAMS;
    bool& has = kind == DDCKEY_SRCBLT ? d_hasSourceKey : d_hasDestKey;
    KeyValue& value = kind == DDCKEY_SRCBLT ? d_sourceKey : d_destKey;
    // No key record takes the key away.
    if (key == nullptr) {
        has = false;
        value = {};
        return DD_OK;
    }
    has = true;
    value = {key->dwColorSpaceLowValue, colourSpace ? key->dwColorSpaceHighValue : key->dwColorSpaceLowValue,
             colourSpace};
    return DD_OK;
}

HRESULT Surface::GetDC(HDC* dc)
{
    const HRESULT injected = enterOperation(Operation::GetDC, this);
    if (dc != nullptr)
        *dc = nullptr;
    if (injected < 0)
        return injected;
    if (dc == nullptr)
        return DDERR_INVALIDPARAMS;
    if (refusedAsLost())
        return DDERR_SURFACELOST;
    if (d_dc.isOpen())
        return DDERR_DCALREADYCREATED;
    if (d_locked)
        return DDERR_SURFACEBUSY;
    d_dc.open();
    *dc = &d_dc;
    return DD_OK;
}

HRESULT Surface::ReleaseDC(HDC dc)
{
    const HRESULT injected = enterOperation(Operation::ReleaseDC, this);
    if (injected < 0)
        return injected;
    if (!d_dc.isOpen())
        return DDERR_NODC;
    if (dc != &d_dc)
        return DDERR_INVALIDPARAMS;
    d_dc.close();
    return DD_OK;
}

HRESULT Surface::IsLost()
{
    const HRESULT injected = enterOperation(Operation::IsLost, this);
    if (injected < 0)
        return injected;
    return d_lost ? DDERR_SURFACELOST : DD_OK;
}

HRESULT Surface::Restore()
{
    const HRESULT injected = enterOperation(Operation::Restore, this);
    if (injected < 0)
        return injected;
    if (!d_lost)
        return DD_OK;
    if (busy())
        return DDERR_SURFACEBUSY;
    if (behaviour().wrongModeOnRestore && d_videoBytes != 0 && d_owner != nullptr &&
        d_owner->displayBits() != d_createdInBits)
        return DDERR_WRONGMODE;
    // The memory went to another mode; what comes back holds nothing of
    // what was there.
    freshPixels();
    d_lost = false;
    return DD_OK;
}

HRESULT Surface::GetSurfaceDesc(LPDDSURFACEDESC desc)
{
    const HRESULT injected = enterOperation(Operation::GetSurfaceDesc, this);
    if (injected < 0)
        return injected;
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    describe(*desc);
    return DD_OK;
}

HRESULT Surface::GetPixelFormat(LPDDPIXELFORMAT format)
{
    const HRESULT injected = enterOperation(Operation::GetPixelFormat, this);
    if (injected < 0)
        return injected;
    if (format == nullptr || format->dwSize != sizeof(DDPIXELFORMAT))
        return DDERR_INVALIDPARAMS;
    *format = d_format.pf;
    return DD_OK;
}

HRESULT Surface::GetCaps(LPDDSCAPS caps)
{
    const HRESULT injected = enterOperation(Operation::GetCaps, this);
    if (injected < 0)
        return injected;
    if (caps == nullptr)
        return DDERR_INVALIDPARAMS;
    caps->dwCaps = d_caps;
    return DD_OK;
}

// Attachments, overlays and flipping are not offered.
HRESULT Surface::AddAttachedSurface(LPDIRECTDRAWSURFACE)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::AddOverlayDirtyRect(LPRECT)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::BltBatch(LPDDBLTBATCH, DWORD, DWORD)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::Flip(LPDIRECTDRAWSURFACE, DWORD)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE* attached)
{
    if (attached != nullptr)
        *attached = nullptr;
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::GetBltStatus(DWORD)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::GetClipper(LPDIRECTDRAWCLIPPER* clipper)
{
    enterOperation(Operation::GetClipper, this);
    if (clipper == nullptr)
        return DDERR_INVALIDPARAMS;
    *clipper = d_clipper;
    if (d_clipper == nullptr)
        return DDERR_NOCLIPPERATTACHED;
    d_clipper->AddRef();
    return DD_OK;
}
HRESULT Surface::GetFlipStatus(DWORD)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::GetOverlayPosition(LPLONG, LPLONG)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::GetPalette(LPDIRECTDRAWPALETTE* palette)
{
    if (palette == nullptr)
        return DDERR_INVALIDPARAMS;
    *palette = d_paletteObject;
    if (d_paletteObject == nullptr)
        return DDERR_NOPALETTEATTACHED;
    d_paletteObject->AddRef();
    return DD_OK;
}
HRESULT Surface::Initialize(LPDIRECTDRAW, LPDDSURFACEDESC)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::SetClipper(LPDIRECTDRAWCLIPPER clipper)
{
    // No clipper takes the attached one away.
    Clipper* own = ownClipper(clipper);
    if (clipper != nullptr && own == nullptr)
        return DDERR_INVALIDPARAMS;
    if (own != nullptr)
        own->AddRef();
    if (d_clipper != nullptr)
        d_clipper->Release();
    d_clipper = own;
    return DD_OK;
}
HRESULT Surface::SetOverlayPosition(LONG, LONG)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::SetPalette(LPDIRECTDRAWPALETTE palette)
{
    // No palette takes the attached one away; the default one serves again.
    PaletteObject* own = ownPalette(palette);
    if (palette != nullptr && own == nullptr)
        return DDERR_INVALIDPARAMS;
    if (own != nullptr && (!d_format.palettised() || own->bits() != d_format.bits))
        return DDERR_INVALIDPIXELFORMAT;
    if (own != nullptr)
        own->AddRef();
    if (d_paletteObject != nullptr)
        d_paletteObject->Release();
    d_paletteObject = own;
    return DD_OK;
}
HRESULT Surface::UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::UpdateOverlayDisplay(DWORD)
{
    return DDERR_UNSUPPORTED;
}
HRESULT Surface::UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE)
{
    return DDERR_UNSUPPORTED;
}

} // namespace zivdd
