#include "SurfaceSequence.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

// Palette creation flags; the software DirectDraw's header leaves them out.
#ifndef DDPCAPS_8BIT
#define DDPCAPS_8BIT 0x00000004l
#endif
#ifndef DDPCAPS_ALLOW256
#define DDPCAPS_ALLOW256 0x00000040l
#endif

namespace ZivDdrawTrace {

namespace {

// ----- formats ---------------------------------------------------------------

struct Layout {
    const char* name;
    DWORD flags;
    DWORD bits;
    DWORD red, green, blue, alpha;
};

const Layout kPal8{"pal8", DDPF_PALETTEINDEXED8 | DDPF_RGB, 8, 0, 0, 0, 0};
const Layout kRgb555{"555", DDPF_RGB, 16, 0x7C00, 0x03E0, 0x001F, 0};
const Layout kRgb565{"565", DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0};
const Layout kRgb24{"24", DDPF_RGB, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0};
const Layout kRgb32{"32", DDPF_RGB, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0};
const Layout kArgb32{"argb32", DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000};
const Layout kArgb1555{"argb1555", DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000};

const Layout* const kAllLayouts[] = {&kPal8, &kRgb555, &kRgb565, &kRgb24, &kRgb32, &kArgb32, &kArgb1555};
// The formats the module draws in.
const Layout* const kDrawLayouts[] = {&kPal8, &kRgb555, &kRgb565, &kRgb24, &kRgb32};

std::string hex(uint32_t value, int digits = 8)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0 && value != 0; --i, value >>= 4)
        text[static_cast<size_t>(i)] = kDigits[value & 0xF];
    return text;
}

uint32_t pixelMask(DWORD bits)
{
    return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
}

// A pixel value that tells where it came from: x in the low bits, y above,
// fitted to the format (never 0, so that it differs from a cleared pixel).
uint32_t patternPixel(DWORD bits, uint32_t x, uint32_t y)
{
    switch (bits) {
    case 8:
        return 1 + ((y * 16 + x) % 255);
    case 16:
        return ((y & 0x7F) << 8 | (x & 0xFF)) + 0x8001;
    default:
        return ((y & 0xFFF) << 12 | (x & 0xFFF)) + 0x001001;
    }
}

// ----- surfaces --------------------------------------------------------------

class Surface {
public:
    // A surface of the layout, or of the display's format when withFormat is
    // false; in system memory unless other caps are given.
    Surface(IDirectDraw* directDraw, Trace& trace, const Layout& layout, DWORD width, DWORD height,
            const char* label = "CreateSurface", DWORD caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY,
            bool withFormat = true)
        : d_layout(layout), d_width(width), d_height(height)
    {
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (withFormat ? DDSD_PIXELFORMAT : 0);
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddsCaps.dwCaps = caps;
        desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc.ddpfPixelFormat.dwFlags = layout.flags;
        desc.ddpfPixelFormat.dwRGBBitCount = layout.bits;
        desc.ddpfPixelFormat.dwRBitMask = layout.red;
        desc.ddpfPixelFormat.dwGBitMask = layout.green;
        desc.ddpfPixelFormat.dwBBitMask = layout.blue;
        desc.ddpfPixelFormat.dwRGBAlphaBitMask = layout.alpha;
        const HRESULT result = directDraw->CreateSurface(&desc, &d_surface, nullptr);
        trace.result(std::string(label) + " " + layout.name + " " + std::to_string(width) + "x" +
                         std::to_string(height),
                     result);
        if (result < 0)
            d_surface = nullptr;
    }
    ~Surface()
    {
        if (d_surface != nullptr)
            d_surface->Release();
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    IDirectDrawSurface* get() const { return d_surface; }
    explicit operator bool() const { return d_surface != nullptr; }
    DWORD width() const { return d_width; }
    DWORD height() const { return d_height; }
    DWORD bits() const { return d_layout.bits; }

    // Every pixel through a function of its position (no trace: setting up).
    template <class F> bool write(F pixel)
    {
        DDSURFACEDESC desc = lockDescription();
        if (d_surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK)
            return false;
        for (DWORD y = 0; y < d_height; ++y) {
            uint8_t* row = static_cast<uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch;
            for (DWORD x = 0; x < d_width; ++x)
                put(row, x, pixel(x, y) & pixelMask(d_layout.bits));
        }
        d_surface->Unlock(nullptr);
        return true;
    }
    bool pattern()
    {
        return write([this](DWORD x, DWORD y) { return patternPixel(d_layout.bits, x, y); });
    }
    bool clear(uint32_t value)
    {
        return write([value](DWORD, DWORD) { return value; });
    }

    // The visible pixels, one trace line per row.
    void dump(Trace& trace, const std::string& label = "pixels") const
    {
        DDSURFACEDESC desc = lockDescription();
        const HRESULT result = d_surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
        if (result != DD_OK) {
            trace.result(label + ": Lock", result);
            return;
        }
        const int digits = static_cast<int>(d_layout.bits / 4);
        for (DWORD y = 0; y < d_height; ++y) {
            const uint8_t* row = static_cast<const uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch;
            std::string line = label + " row " + std::to_string(y) + ":";
            for (DWORD x = 0; x < d_width; ++x) {
                line += ' ';
                line += hex(get(row, x), digits);
            }
            trace.add(line);
        }
        d_surface->Unlock(nullptr);
    }

    static DDSURFACEDESC lockDescription()
    {
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        return desc;
    }

private:
    uint32_t get(const uint8_t* row, DWORD x) const
    {
        const DWORD bytes = d_layout.bits / 8;
        uint32_t value = 0;
        for (DWORD i = 0; i < bytes; ++i)
            value |= uint32_t(row[x * bytes + i]) << (8 * i);
        return value;
    }
    void put(uint8_t* row, DWORD x, uint32_t value) const
    {
        const DWORD bytes = d_layout.bits / 8;
        for (DWORD i = 0; i < bytes; ++i)
            row[x * bytes + i] = static_cast<uint8_t>(value >> (8 * i));
    }

    const Layout& d_layout;
    DWORD d_width;
    DWORD d_height;
    IDirectDrawSurface* d_surface = nullptr;
};

std::string rectText(const RECT* rect)
{
    if (rect == nullptr)
        return "whole";
    return "(" + std::to_string(rect->left) + "," + std::to_string(rect->top) + ")-(" + std::to_string(rect->right) +
           "," + std::to_string(rect->bottom) + ")";
}

DDBLTFX effects()
{
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    return fx;
}

HRESULT fill(IDirectDrawSurface* surface, RECT* rect, uint32_t colour, DWORD flags = DDBLT_COLORFILL | DDBLT_WAIT)
{
    DDBLTFX fx = effects();
    fx.dwFillColor = colour;
    return surface->Blt(rect, nullptr, nullptr, flags, &fx);
}

void setSourceKey(Trace& trace, IDirectDrawSurface* surface, uint32_t low, uint32_t high, DWORD flags = DDCKEY_SRCBLT)
{
    DDCOLORKEY key{low, high};
    trace.result("SetColorKey " + hex(flags, 2) + " " + hex(low) + ".." + hex(high), surface->SetColorKey(flags, &key));
}

// ----- the cases ---------------------------------------------------------------

// What Lock reports for a format at a width: the description's fields that
// a caller relies on, and where a locked sub-rectangle starts.
void lockDescriptionCase(IDirectDraw* directDraw, Trace& trace, const Layout& layout, DWORD width)
{
    Surface surface(directDraw, trace, layout, width, 3);
    if (!surface)
        return;
    DDSURFACEDESC desc = Surface::lockDescription();
    trace.result("Lock", surface.get()->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    const auto* base = static_cast<const uint8_t*>(desc.lpSurface);
    const DWORD pixelFlags = desc.ddpfPixelFormat.dwFlags;
    trace.add("flags has pitch " + std::to_string((desc.dwFlags & DDSD_PITCH) != 0) + " lpsurface " +
              std::to_string((desc.dwFlags & DDSD_LPSURFACE) != 0) + " pixelformat " +
              std::to_string((desc.dwFlags & DDSD_PIXELFORMAT) != 0) + " size " +
              std::to_string((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) == (DDSD_WIDTH | DDSD_HEIGHT)));
    trace.add("size " + std::to_string(desc.dwWidth) + "x" + std::to_string(desc.dwHeight));
    trace.add("pitch " + std::to_string(desc.lPitch));
    trace.add("pixel format size " + std::to_string(desc.ddpfPixelFormat.dwSize) + " rgb " +
              std::to_string((pixelFlags & DDPF_RGB) != 0) + " alpha " +
              std::to_string((pixelFlags & DDPF_ALPHAPIXELS) != 0) + " indexed8 " +
              std::to_string((pixelFlags & DDPF_PALETTEINDEXED8) != 0));
    trace.add("bits " + std::to_string(desc.ddpfPixelFormat.dwRGBBitCount) + " masks " +
              hex(desc.ddpfPixelFormat.dwRBitMask) + " " + hex(desc.ddpfPixelFormat.dwGBitMask) + " " +
              hex(desc.ddpfPixelFormat.dwBBitMask) + " " +
              hex((pixelFlags & DDPF_ALPHAPIXELS) != 0 ? desc.ddpfPixelFormat.dwRGBAlphaBitMask : 0));
    trace.add("caps system memory " + std::to_string((desc.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY) != 0) +
              " offscreen " + std::to_string((desc.ddsCaps.dwCaps & DDSCAPS_OFFSCREENPLAIN) != 0));
    trace.result("Unlock", surface.get()->Unlock(nullptr));

    // A locked sub-rectangle starts at its own first pixel.
    if (width >= 2) {
        RECT part{1, 1, static_cast<LONG>(width), 3};
        DDSURFACEDESC partDesc = Surface::lockDescription();
        trace.result("Lock " + rectText(&part), surface.get()->Lock(&part, &partDesc, DDLOCK_WAIT, nullptr));
        if (partDesc.lpSurface != nullptr && base != nullptr) {
            trace.add("sub-rectangle offset " + std::to_string(static_cast<const uint8_t*>(partDesc.lpSurface) - base) +
                      " pitch " + std::to_string(partDesc.lPitch));
            surface.get()->Unlock(nullptr);
        }
    }
}

// Where a surface lives when the caller asks for video memory or leaves the
// choice to DirectDraw, and the format of a surface made without one.
void placementCase(IDirectDraw* directDraw, Trace& trace, const char* placement, DWORD caps, bool withFormat)
{
    Surface surface(directDraw, trace, kRgb565, 5, 4, placement, caps, withFormat);
    if (!surface)
        return;
    DDSURFACEDESC desc = Surface::lockDescription();
    trace.result("Lock", surface.get()->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    trace.add("bits " + std::to_string(desc.ddpfPixelFormat.dwRGBBitCount) + " masks " +
              hex(desc.ddpfPixelFormat.dwRBitMask) + " " + hex(desc.ddpfPixelFormat.dwGBitMask) + " " +
              hex(desc.ddpfPixelFormat.dwBBitMask));
    trace.add("caps system memory " + std::to_string((desc.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY) != 0) +
              " video memory " + std::to_string((desc.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY) != 0));
    if (desc.lpSurface != nullptr)
        surface.get()->Unlock(nullptr);
    trace.result("IsLost", surface.get()->IsLost());
    trace.result("Restore", surface.get()->Restore());
}

// Operations on a surface that is locked, or whose device context is out.
void busyCase(IDirectDraw* directDraw, Trace& trace)
{
    Surface surface(directDraw, trace, kRgb565, 6, 4);
    Surface other(directDraw, trace, kRgb565, 6, 4, "CreateSurface other");
    if (!surface || !other)
        return;
    surface.clear(0x1111);
    other.clear(0x2222);
    DDSURFACEDESC desc = Surface::lockDescription();
    trace.result("Lock", surface.get()->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    DDSURFACEDESC again = Surface::lockDescription();
    const HRESULT second = surface.get()->Lock(nullptr, &again, DDLOCK_WAIT, nullptr);
    trace.result("Lock while locked", second);
    if (second >= 0)
        surface.get()->Unlock(nullptr);
    trace.result("Unlock", surface.get()->Unlock(nullptr));
    trace.result("Unlock not locked", surface.get()->Unlock(nullptr));
    HDC dc = nullptr;
    trace.result("GetDC", surface.get()->GetDC(&dc));
    HDC second_dc = nullptr;
    const HRESULT dcAgain = surface.get()->GetDC(&second_dc);
    trace.result("GetDC while out", dcAgain);
    if (dcAgain >= 0)
        surface.get()->ReleaseDC(second_dc);
    trace.result("ReleaseDC", surface.get()->ReleaseDC(dc));
    surface.dump(trace);
}

void colourFillCase(IDirectDraw* directDraw, Trace& trace, const Layout& layout)
{
    Surface surface(directDraw, trace, layout, 9, 6);
    if (!surface)
        return;
    // Every bit set: what the format keeps of a wider value.
    trace.result("fill whole ffffffff", fill(surface.get(), nullptr, 0xFFFFFFFFu, DDBLT_COLORFILL));
    surface.dump(trace, "after whole");
    trace.result("fill whole 12345678", fill(surface.get(), nullptr, 0x12345678u));
    surface.dump(trace, "after whole");
    RECT part{2, 1, 7, 4};
    trace.result("fill " + rectText(&part) + " a5a5a5a5", fill(surface.get(), &part, 0xA5A5A5A5u));
    RECT single{8, 5, 9, 6};
    trace.result("fill " + rectText(&single) + " 0", fill(surface.get(), &single, 0));
    surface.dump(trace, "after rectangles");
}

void copyCase(IDirectDraw* directDraw, Trace& trace, const Layout& layout)
{
    Surface source(directDraw, trace, layout, 8, 6, "CreateSurface source");
    Surface dest(directDraw, trace, layout, 10, 7, "CreateSurface dest");
    if (!source || !dest)
        return;
    source.pattern();
    dest.clear(0);
    RECT to{1, 1, 9, 7};
    trace.result("Blt whole to " + rectText(&to), dest.get()->Blt(&to, source.get(), nullptr, DDBLT_WAIT, nullptr));
    RECT from{2, 1, 5, 4};
    RECT to2{6, 0, 9, 3};
    trace.result("Blt " + rectText(&from) + " to " + rectText(&to2),
                 dest.get()->Blt(&to2, source.get(), &from, DDBLT_WAIT, nullptr));
    dest.dump(trace, "after Blt");
    dest.clear(0);
    trace.result("BltFast 2,3 whole", dest.get()->BltFast(2, 3, source.get(), nullptr, DDBLTFAST_WAIT));
    RECT piece{5, 2, 8, 6};
    trace.result("BltFast 0,0 " + rectText(&piece), dest.get()->BltFast(0, 0, source.get(), &piece, DDBLTFAST_WAIT));
    dest.dump(trace, "after BltFast");
    // Within one surface, overlapping.
    RECT moved{1, 1, 6, 5};
    trace.result("Blt overlapping", source.get()->Blt(&moved, source.get(), nullptr, DDBLT_WAIT, nullptr));
    source.dump(trace, "after overlapping Blt");
}

void stretchCase(IDirectDraw* directDraw, Trace& trace, const Layout& layout, DWORD sw, DWORD sh, DWORD dw, DWORD dh)
{
    Surface source(directDraw, trace, layout, sw, sh, "CreateSurface source");
    Surface dest(directDraw, trace, layout, dw, dh, "CreateSurface dest");
    if (!source || !dest)
        return;
    source.pattern();
    dest.clear(0);
    trace.result("Blt stretch", dest.get()->Blt(nullptr, source.get(), nullptr, DDBLT_WAIT, nullptr));
    dest.dump(trace);
}

// A stretch between sub-rectangles of larger surfaces.
void stretchPartCase(IDirectDraw* directDraw, Trace& trace, const Layout& layout)
{
    Surface source(directDraw, trace, layout, 12, 9, "CreateSurface source");
    Surface dest(directDraw, trace, layout, 16, 12, "CreateSurface dest");
    if (!source || !dest)
        return;
    source.pattern();
    dest.clear(0);
    RECT from{3, 2, 8, 5};
    RECT to{1, 2, 14, 11};
    trace.result("Blt stretch " + rectText(&from) + " to " + rectText(&to),
                 dest.get()->Blt(&to, source.get(), &from, DDBLT_WAIT, nullptr));
    RECT fromBig{0, 1, 12, 9};
    RECT toSmall{10, 0, 15, 2};
    trace.result("Blt shrink " + rectText(&fromBig) + " to " + rectText(&toSmall),
                 dest.get()->Blt(&toSmall, source.get(), &fromBig, DDBLT_WAIT, nullptr));
    dest.dump(trace);
}

// Key pixel value of a format for the keyed cases, and a second value that
// differs from it only outside the format's colour bits where it has such
// bits (the unused byte of XRGB).
uint32_t keyValue(const Layout& layout)
{
    return layout.bits == 8 ? 0x07 : layout.bits == 16 ? 0x8007 : 0x00100007;
}

void keyedSource(Surface& source, const Layout& layout)
{
    const uint32_t key = keyValue(layout);
    source.write([&](DWORD x, DWORD y) {
        // A diagonal band of keyed pixels in the pattern.
        return (x + y) % 3 == 0 ? key : patternPixel(layout.bits, x, y);
    });
}

void colourKeyBltCase(IDirectDraw* directDraw, Trace& trace, const Layout& layout)
{
    Surface source(directDraw, trace, layout, 7, 5, "CreateSurface source");
    Surface dest(directDraw, trace, layout, 11, 8, "CreateSurface dest");
    if (!source || !dest)
        return;
    keyedSource(source, layout);
    dest.clear(0x5A5A5A5A & pixelMask(layout.bits));
    const uint32_t key = keyValue(layout);
    DDCOLORKEY none{0, 0};
    trace.result("GetColorKey before any", source.get()->GetColorKey(DDCKEY_SRCBLT, &none));
    setSourceKey(trace, source.get(), key, key);
    DDCOLORKEY read{0, 0};
    trace.result("GetColorKey", source.get()->GetColorKey(DDCKEY_SRCBLT, &read));
    trace.add("key read " + hex(read.dwColorSpaceLowValue) + ".." + hex(read.dwColorSpaceHighValue));
    RECT to{0, 0, 7, 5};
    trace.result("Blt keysrc same size",
                 dest.get()->Blt(&to, source.get(), nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr));
    RECT stretched{3, 2, 11, 8};
    trace.result("Blt keysrc stretched",
                 dest.get()->Blt(&stretched, source.get(), nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr));
    dest.dump(trace, "after keyed Blt");
}

void colourKeyBltFastCase(IDirectDraw* directDraw, Trace& trace, const Layout& layout)
{
    Surface source(directDraw, trace, layout, 6, 4, "CreateSurface source");
    Surface dest(directDraw, trace, layout, 9, 7, "CreateSurface dest");
    if (!source || !dest)
        return;
    keyedSource(source, layout);
    dest.clear(0x3C3C3C3C & pixelMask(layout.bits));
    const uint32_t key = keyValue(layout);
    setSourceKey(trace, source.get(), key, key);
    trace.result("BltFast srccolorkey 1,1",
                 dest.get()->BltFast(1, 1, source.get(), nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT));
    RECT part{1, 0, 5, 3};
    trace.result("BltFast srccolorkey 4,4 " + rectText(&part),
                 dest.get()->BltFast(4, 4, source.get(), &part, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT));
    // Without the flag the key is not used.
    trace.result("BltFast nokey 0,5 " + rectText(&part),
                 dest.get()->BltFast(0, 5, source.get(), &part, DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT));
    dest.dump(trace, "after keyed BltFast");
}

// The source-key flag on a surface that has no key.
void keyFlagWithoutKeyCase(IDirectDraw* directDraw, Trace& trace, const Layout& layout)
{
    Surface source(directDraw, trace, layout, 4, 3, "CreateSurface source");
    Surface dest(directDraw, trace, layout, 6, 4, "CreateSurface dest");
    if (!source || !dest)
        return;
    source.write([&](DWORD x, DWORD y) { return x == 1 ? 0 : patternPixel(layout.bits, x, y); });
    dest.clear(0x11111111 & pixelMask(layout.bits));
    trace.result("BltFast srccolorkey without key",
                 dest.get()->BltFast(0, 0, source.get(), nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT));
    dest.dump(trace, "after BltFast");
    dest.clear(0x11111111 & pixelMask(layout.bits));
    RECT to{1, 1, 5, 4};
    trace.result("Blt keysrc without key",
                 dest.get()->Blt(&to, source.get(), nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr));
    dest.dump(trace, "after Blt");
}

void keyOverrideCase(IDirectDraw* directDraw, Trace& trace, const Layout& layout)
{
    Surface source(directDraw, trace, layout, 7, 5, "CreateSurface source");
    Surface dest(directDraw, trace, layout, 9, 7, "CreateSurface dest");
    if (!source || !dest)
        return;
    keyedSource(source, layout);
    dest.clear(0x2D2D2D2D & pixelMask(layout.bits));
    // The surface's own key is another colour: the override wins.
    const uint32_t ownKey = patternPixel(layout.bits, 1, 0);
    setSourceKey(trace, source.get(), ownKey, ownKey);
    DDBLTFX fx = effects();
    fx.ddckSrcColorkey.dwColorSpaceLowValue = keyValue(layout);
    fx.ddckSrcColorkey.dwColorSpaceHighValue = keyValue(layout);
    RECT to{1, 1, 8, 6};
    trace.result("Blt keysrcoverride",
                 dest.get()->Blt(&to, source.get(), nullptr, DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT, &fx));
    RECT stretched{0, 0, 9, 3};
    trace.result("Blt keysrcoverride stretched",
                 dest.get()->Blt(&stretched, source.get(), nullptr, DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT, &fx));
    dest.dump(trace, "after override");
}

// A key whose bits outside the colour fields differ from the pixels' (the
// unused byte of XRGB), and a colour-space key.
void keyBitsCase(IDirectDraw* directDraw, Trace& trace)
{
    Surface source(directDraw, trace, kRgb32, 5, 3, "CreateSurface source");
    Surface dest(directDraw, trace, kRgb32, 5, 3, "CreateSurface dest");
    if (!source || !dest)
        return;
    source.write([](DWORD x, DWORD y) { return x % 2 == 0 ? 0xFF00FF00u : 0x00000100u * (y + 1) + x; });
    dest.clear(0x00123456);
    setSourceKey(trace, source.get(), 0x0000FF00, 0x0000FF00);
    trace.result("Blt keysrc, key without the unused byte",
                 dest.get()->Blt(nullptr, source.get(), nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr));
    dest.dump(trace, "after key");
    dest.clear(0x00123456);
    setSourceKey(trace, source.get(), 0x00000100, 0x00000300, DDCKEY_SRCBLT | DDCKEY_COLORSPACE);
    trace.result("Blt keysrc colour space",
                 dest.get()->Blt(nullptr, source.get(), nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr));
    dest.dump(trace, "after colour space");
}

// Rectangles that leave the surfaces, and empty or inverted ones.
void outOfBoundsCase(IDirectDraw* directDraw, Trace& trace, const Layout& layout)
{
    Surface source(directDraw, trace, layout, 6, 5, "CreateSurface source");
    Surface dest(directDraw, trace, layout, 8, 6, "CreateSurface dest");
    if (!source || !dest)
        return;
    source.pattern();
    dest.clear(0);
    struct Attempt {
        const char* what;
        RECT to;
        RECT from;
        bool useFrom;
    };
    const Attempt attempts[] = {
        {"dest right past the edge", {4, 1, 10, 6}, {}, false},
        {"dest left negative", {-2, 0, 4, 5}, {}, false},
        {"dest bottom past the edge", {0, 3, 6, 8}, {}, false},
        {"source past the edge", {0, 0, 4, 4}, {3, 2, 8, 6}, true},
        {"source negative", {0, 0, 4, 4}, {-1, 0, 3, 4}, true},
        {"empty dest", {2, 2, 2, 5}, {}, false},
        {"inverted dest", {5, 4, 2, 1}, {}, false},
        {"inverted source", {0, 0, 3, 3}, {4, 4, 1, 1}, true},
    };
    for (const Attempt& attempt : attempts) {
        RECT to = attempt.to;
        RECT from = attempt.from;
        trace.result(std::string("Blt ") + attempt.what + " " + rectText(&to) + " from " +
                         rectText(attempt.useFrom ? &from : nullptr),
                     dest.get()->Blt(&to, source.get(), attempt.useFrom ? &from : nullptr, DDBLT_WAIT, nullptr));
    }
    dest.dump(trace, "after Blt");
    RECT fillOut{6, 4, 10, 8};
    trace.result("fill past the edge " + rectText(&fillOut), fill(dest.get(), &fillOut, 0x77777777));
    RECT fillNegative{-1, -1, 2, 2};
    trace.result("fill negative " + rectText(&fillNegative), fill(dest.get(), &fillNegative, 0x77777777));
    trace.result("BltFast 5,3 whole (past the edge)", dest.get()->BltFast(5, 3, source.get(), nullptr, DDBLTFAST_WAIT));
    RECT piece{4, 3, 9, 5};
    trace.result("BltFast 0,0 " + rectText(&piece) + " (source past the edge)",
                 dest.get()->BltFast(0, 0, source.get(), &piece, DDBLTFAST_WAIT));
    dest.dump(trace, "after fills and BltFast");
}

// A copy between two formats of the same size.
void convertingCase(IDirectDraw* directDraw, Trace& trace, const Layout& from, const Layout& to)
{
    Surface source(directDraw, trace, from, 4, 3, "CreateSurface source");
    Surface dest(directDraw, trace, to, 4, 3, "CreateSurface dest");
    if (!source || !dest)
        return;
    source.pattern();
    dest.clear(0x1234 & pixelMask(to.bits));
    trace.result(std::string("Blt ") + from.name + " to " + to.name,
                 dest.get()->Blt(nullptr, source.get(), nullptr, DDBLT_WAIT, nullptr));
    trace.result(std::string("BltFast ") + from.name + " to " + to.name,
                 dest.get()->BltFast(0, 0, source.get(), nullptr, DDBLTFAST_WAIT));
    dest.dump(trace);
}

// The colours SetPixel is given, and what they become.
const COLORREF kPixelColours[] = {RGB(0, 0, 0),     RGB(255, 255, 255), RGB(255, 0, 0),    RGB(0, 255, 0),
                                  RGB(0, 0, 255),   RGB(51, 102, 153),  RGB(60, 100, 140), RGB(128, 128, 128),
                                  RGB(200, 10, 90), RGB(250, 250, 5),   RGB(17, 17, 17),   RGB(130, 131, 129)};

void setPixels(Trace& trace, Surface& surface)
{
    HDC dc = nullptr;
    const HRESULT got = surface.get()->GetDC(&dc);
    trace.result("GetDC", got);
    if (got < 0)
        return;
    DWORD x = 0;
    for (COLORREF colour : kPixelColours) {
        const COLORREF set =
            SetPixel(dc, static_cast<int>(x % surface.width()), static_cast<int>(x / surface.width()), colour);
        std::string line = "SetPixel ";
        line += hex(colour, 6);
        line += " gives ";
        line += hex(set, 6);
        trace.add(line);
        ++x;
    }
    trace.result("ReleaseDC", surface.get()->ReleaseDC(dc));
    surface.dump(trace);
}

// The software DirectDraw's 8-bit palette: a 6 x 6 x 6 colour cube, then
// forty greys.
void cubePalette(PALETTEENTRY* entries)
{
    for (unsigned i = 0; i < 216; ++i)
        entries[i] = PALETTEENTRY{static_cast<BYTE>(i / 36 * 51), static_cast<BYTE>(i / 6 % 6 * 51),
                                  static_cast<BYTE>(i % 6 * 51), 0};
    for (unsigned i = 0; i < 40; ++i) {
        const BYTE level = static_cast<BYTE>((i + 1) * 255 / 41);
        entries[216 + i] = PALETTEENTRY{level, level, level, 0};
    }
}

void setPixelWithPaletteCase(IDirectDraw* directDraw, Trace& trace)
{
    Surface surface(directDraw, trace, kPal8, 4, 3);
    if (!surface)
        return;
    surface.clear(0);
    PALETTEENTRY entries[256];
    cubePalette(entries);
    IDirectDrawPalette* palette = nullptr;
    const HRESULT made = directDraw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr);
    trace.result("CreatePalette", made);
    if (made >= 0 && palette != nullptr) {
        trace.result("SetPalette", surface.get()->SetPalette(palette));
        palette->Release();
    }
    setPixels(trace, surface);
}

// The module's 8-bit textures get no palette of their own.
void setPixelWithoutPaletteCase(IDirectDraw* directDraw, Trace& trace)
{
    Surface surface(directDraw, trace, kPal8, 4, 3);
    if (!surface)
        return;
    surface.clear(0);
    setPixels(trace, surface);
}

void setPixelCase(IDirectDraw* directDraw, Trace& trace, const Layout& layout)
{
    Surface surface(directDraw, trace, layout, 4, 3);
    if (!surface)
        return;
    surface.clear(0);
    setPixels(trace, surface);
}

std::vector<Case> makeCases()
{
    std::vector<Case> cases;
    auto add = [&cases](std::string name, std::function<void(IDirectDraw*, Trace&)> run) {
        cases.push_back(Case{std::move(name), std::move(run)});
    };
    for (const Layout* layout : kAllLayouts) {
        for (DWORD width : {1u, 2u, 3u, 5u, 7u, 8u, 13u, 64u})
            add(std::string("lock/") + layout->name + "/w" + std::to_string(width),
                [layout, width](IDirectDraw* dd, Trace& t) { lockDescriptionCase(dd, t, *layout, width); });
    }
    for (const Layout* layout : kDrawLayouts) {
        const std::string name = layout->name;
        add("fill/" + name, [layout](IDirectDraw* dd, Trace& t) { colourFillCase(dd, t, *layout); });
        add("copy/" + name, [layout](IDirectDraw* dd, Trace& t) { copyCase(dd, t, *layout); });
        add("stretch-part/" + name, [layout](IDirectDraw* dd, Trace& t) { stretchPartCase(dd, t, *layout); });
        add("key-blt/" + name, [layout](IDirectDraw* dd, Trace& t) { colourKeyBltCase(dd, t, *layout); });
        add("key-bltfast/" + name, [layout](IDirectDraw* dd, Trace& t) { colourKeyBltFastCase(dd, t, *layout); });
        add("key-flag-without-key/" + name,
            [layout](IDirectDraw* dd, Trace& t) { keyFlagWithoutKeyCase(dd, t, *layout); });
        add("key-override/" + name, [layout](IDirectDraw* dd, Trace& t) { keyOverrideCase(dd, t, *layout); });
        add("out-of-bounds/" + name, [layout](IDirectDraw* dd, Trace& t) { outOfBoundsCase(dd, t, *layout); });
    }
    add("key-bits/32", [](IDirectDraw* dd, Trace& t) { keyBitsCase(dd, t); });
    add("busy", [](IDirectDraw* dd, Trace& t) { busyCase(dd, t); });
    add("placement/video-memory", [](IDirectDraw* dd, Trace& t) {
        placementCase(dd, t, "CreateSurface video memory", DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, true);
    });
    add("placement/any-memory", [](IDirectDraw* dd, Trace& t) {
        placementCase(dd, t, "CreateSurface any memory", DDSCAPS_OFFSCREENPLAIN, true);
    });
    add("placement/display-format", [](IDirectDraw* dd, Trace& t) {
        placementCase(dd, t, "CreateSurface display format", DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, false);
    });

    // Stretches: every pair of lengths on each axis, the other axis kept,
    // then pairs on both axes at once, in 32 bits (the pattern names the
    // source pixel) and in the other formats for a few pairs.
    const DWORD lengths[] = {1, 2, 3, 4, 5, 7, 8, 9, 11, 16, 17, 31};
    for (DWORD from : lengths) {
        for (DWORD to : lengths) {
            const std::string pair = std::to_string(from) + "->" + std::to_string(to);
            add("stretch/32/x" + pair,
                [from, to](IDirectDraw* dd, Trace& t) { stretchCase(dd, t, kRgb32, from, 2, to, 2); });
            add("stretch/32/y" + pair,
                [from, to](IDirectDraw* dd, Trace& t) { stretchCase(dd, t, kRgb32, 2, from, 2, to); });
        }
    }
    const DWORD both[][4] = {{3, 5, 7, 2},   {5, 3, 2, 7},   {13, 11, 6, 17},
                             {6, 6, 19, 23}, {24, 20, 9, 7}, {7, 9, 21, 27}};
    for (const Layout* layout : kDrawLayouts) {
        for (const auto& sizes : both) {
            const std::string name = std::string("stretch/") + layout->name + "/" + std::to_string(sizes[0]) + "x" +
                                     std::to_string(sizes[1]) + "->" + std::to_string(sizes[2]) + "x" +
                                     std::to_string(sizes[3]);
            add(name, [layout, sizes](IDirectDraw* dd, Trace& t) {
                stretchCase(dd, t, *layout, sizes[0], sizes[1], sizes[2], sizes[3]);
            });
        }
    }

    const std::pair<const Layout*, const Layout*> conversions[] = {
        {&kRgb565, &kRgb555}, {&kRgb555, &kRgb565}, {&kRgb565, &kRgb32}, {&kRgb32, &kRgb565}, {&kRgb24, &kRgb32}};
    for (const auto& [from, to] : conversions)
        add(std::string("convert/") + from->name + "-" + to->name,
            [from = from, to = to](IDirectDraw* dd, Trace& t) { convertingCase(dd, t, *from, *to); });

    add("setpixel/pal8-with-palette", [](IDirectDraw* dd, Trace& t) { setPixelWithPaletteCase(dd, t); });
    add("setpixel/pal8-without-palette", [](IDirectDraw* dd, Trace& t) { setPixelWithoutPaletteCase(dd, t); });
    for (const Layout* layout : {&kRgb555, &kRgb565, &kRgb24, &kRgb32})
        add(std::string("setpixel/") + layout->name,
            [layout](IDirectDraw* dd, Trace& t) { setPixelCase(dd, t, *layout); });
    return cases;
}

} // namespace

void Trace::result(const std::string& call, HRESULT result)
{
    add(call + " = " + hex(static_cast<uint32_t>(result)));
}

const std::vector<Case>& allCases()
{
    static const std::vector<Case> cases = makeCases();
    return cases;
}

Trace runCase(const Case& which)
{
    Trace trace;
    IDirectDraw* directDraw = nullptr;
    const HRESULT created = DirectDrawCreate(nullptr, &directDraw, nullptr);
    if (created < 0 || directDraw == nullptr) {
        trace.result("DirectDrawCreate", created);
        return trace;
    }
    const HRESULT level = directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    if (level < 0)
        trace.result("SetCooperativeLevel", level);
    else
        which.run(directDraw, trace);
    directDraw->Release();
    return trace;
}

void writeTraceFile(std::ostream& out, const std::vector<std::pair<std::string, Trace>>& traces)
{
    for (const auto& [name, trace] : traces) {
        out << "== " << name << '\n';
        for (const std::string& line : trace.lines())
            out << line << '\n';
    }
}

TraceFile readTraceFile(std::istream& in)
{
    TraceFile file;
    std::vector<std::string>* current = nullptr;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("== ", 0) == 0)
            current = &file[line.substr(3)];
        else if (current != nullptr)
            current->push_back(line);
    }
    return file;
}

} // namespace ZivDdrawTrace
