// A recording DirectDraw for tests: an IDirectDraw whose surfaces record every
// call made on them, with its arguments and result, and can be told to answer
// any result. Surfaces are backed by memory, so locks give real pixel memory
// (between guard bytes, with patterned row padding), but blits draw nothing:
// they check their arguments as DirectDraw does and report. Pixels drawn by
// DirectDraw belong to the tests over the software DirectDraw.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <ddraw.h>

namespace ZivTest {

// A surface pixel format.
struct FakeFormat {
    DWORD flags;
    DWORD bits;
    DWORD red;
    DWORD green;
    DWORD blue;
    DWORD alpha;
};

inline constexpr FakeFormat kFormatXrgb32{DDPF_RGB, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
inline constexpr FakeFormat kFormatArgb32{
    DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
inline constexpr FakeFormat kFormatRgb24{DDPF_RGB, 24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
inline constexpr FakeFormat kFormatRgb565{DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0};
inline constexpr FakeFormat kFormatRgb555{DDPF_RGB, 16, 0x7C00, 0x03E0, 0x001F, 0};
inline constexpr FakeFormat kFormatRgb444{DDPF_RGB, 16, 0x0F00, 0x00F0, 0x000F, 0};
inline constexpr FakeFormat kFormatPal8{DDPF_RGB | DDPF_PALETTEINDEXED8, 8, 0, 0, 0, 0};

// One call on the DirectDraw object ("dd") or on a surface.
struct FakeCall {
    FakeCall() = default;
    FakeCall(std::string object, std::string op) : object(std::move(object)), op(std::move(op)) {}

    std::string object; // "dd" or the surface's name
    std::string op;     // the method's name
    HRESULT result = DD_OK;

    std::optional<RECT> destRect;   // Blt's destination, Lock's rectangle
    std::string source;             // Blt and BltFast: the source surface's name, "" for none
    std::optional<RECT> sourceRect; // Blt and BltFast
    DWORD flags = 0;                // Blt, BltFast, Lock, colour key flags
    DWORD x = 0;                    // BltFast
    DWORD y = 0;
    std::optional<DDBLTFX> effects;                    // Blt, as passed
    std::optional<DDSURFACEDESC> desc;                 // CreateSurface, Lock, GetSurfaceDesc: as passed in
    std::optional<DDCOLORKEY> key;                     // SetColorKey as passed; GetColorKey as answered
    bool afterRelease = false;                         // made on a surface that was already released
    const IDirectDrawSurface* objectSurface = nullptr; // for renaming afterwards
    const IDirectDrawSurface* sourceSurface = nullptr;

    // A compact text: "target.BltFast(10,20,tex,[0,0,32,32],0x11)".
    std::string text() const
    {
        std::string out = object + "." + op + "(";
        auto rect = [](const std::optional<RECT>& r) {
            if (!r)
                return std::string("null");
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "[%d,%d,%d,%d]", int(r->left), int(r->top), int(r->right),
                          int(r->bottom));
            return std::string(buffer);
        };
        auto hex = [](DWORD value) {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "0x%X", unsigned(value));
            return std::string(buffer);
        };
        if (op == "Blt") {
            out +=
                rect(destRect) + "," + (source.empty() ? "null" : source) + "," + rect(sourceRect) + "," + hex(flags);
            if (effects)
                out += ",fill=" + hex(effects->dwFillColor) +
                       ",key=" + hex(effects->ddckSrcColorkey.dwColorSpaceLowValue) + "/" +
                       hex(effects->ddckSrcColorkey.dwColorSpaceHighValue);
        } else if (op == "BltFast") {
            out += std::to_string(x) + "," + std::to_string(y) + "," + (source.empty() ? "null" : source) + "," +
                   rect(sourceRect) + "," + hex(flags);
        } else if (op == "Lock") {
            out += rect(destRect) + "," + hex(flags);
        } else if (op == "SetColorKey" || op == "GetColorKey") {
            out += hex(flags);
            if (key)
                out += "," + hex(key->dwColorSpaceLowValue) + "/" + hex(key->dwColorSpaceHighValue);
        }
        return out + ")";
    }
};

class RecordingDirectDraw;

class FakeSurface final : public IDirectDrawSurface {
public:
    static constexpr size_t kGuard = 64;
    static constexpr uint8_t kPattern = 0xA5;

    FakeSurface(RecordingDirectDraw& owner, std::string name, DWORD width, DWORD height, FakeFormat format)
        : name(std::move(name)), width(width), height(height), format(format), d_owner(owner), d_dc(*this)
    {
        const size_t rowBytes = (size_t(width) * format.bits + 7) / 8;
        pitch = static_cast<LONG>((rowBytes + 8 + 7) / 8 * 8); // always some padding
        d_memory.assign(kGuard + size_t(pitch) * height + kGuard, kPattern);
        for (DWORD y = 0; y < height; ++y)
            std::memset(row(y), 0, rowBytes);
    }
    ~FakeSurface() = default;

    std::string name;
    DWORD width;
    DWORD height;
    FakeFormat format;
    LONG pitch = 0;
    bool hasKey = false;
    DDCOLORKEY key = {0, 0};
    bool locked = false;
    bool lost = false;
    bool dcOut = false;
    ULONG references = 1;
    bool released = false;

    uint8_t* row(DWORD y) { return d_memory.data() + kGuard + size_t(y) * pitch; }
    size_t bytesPerPixel() const { return format.bits / 8; }
    uint32_t pixel(DWORD x, DWORD y)
    {
        uint32_t value = 0;
        std::memcpy(&value, row(y) + x * bytesPerPixel(), bytesPerPixel());
        return value;
    }
    void setPixel(DWORD x, DWORD y, uint32_t value)
    {
        std::memcpy(row(y) + x * bytesPerPixel(), &value, bytesPerPixel());
    }
    void fill(uint32_t value)
    {
        for (DWORD y = 0; y < height; ++y)
            for (DWORD x = 0; x < width; ++x)
                setPixel(x, y, value);
    }
    // The guard bytes before and after the pixels and every row's padding.
    bool guardsIntact() const
    {
        const size_t rowBytes = (size_t(width) * format.bits + 7) / 8;
        auto untouched = [this](size_t from, size_t to) {
            for (size_t i = from; i < to; ++i)
                if (d_memory[i] != kPattern)
                    return false;
            return true;
        };
        if (!untouched(0, kGuard) || !untouched(d_memory.size() - kGuard, d_memory.size()))
            return false;
        for (DWORD y = 0; y < height; ++y) {
            const size_t start = kGuard + size_t(y) * pitch;
            if (!untouched(start + rowBytes, start + size_t(pitch)))
                return false;
        }
        return true;
    }

    // IUnknown
    HRESULT QueryInterface(REFIID, void**) override { return unsupported("QueryInterface"); }
    ULONG AddRef() override;
    ULONG Release() override;

    // IDirectDrawSurface, the operations the module uses.
    HRESULT Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags,
                LPDDBLTFX effects) override;
    HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) override;
    HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT GetDC(HDC* dc) override;
    HRESULT GetPixelFormat(LPDDPIXELFORMAT format) override;
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) override;
    HRESULT IsLost() override;
    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
    HRESULT ReleaseDC(HDC dc) override;
    HRESULT Restore() override;
    HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT Unlock(LPVOID data) override;

    // The rest answers DDERR_UNSUPPORTED, recorded.
    HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE) override { return unsupported("AddAttachedSurface"); }
    HRESULT AddOverlayDirtyRect(LPRECT) override { return unsupported("AddOverlayDirtyRect"); }
    HRESULT BltBatch(LPDDBLTBATCH, DWORD, DWORD) override { return unsupported("BltBatch"); }
    HRESULT DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) override { return unsupported("DeleteAttachedSurface"); }
    HRESULT EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK) override
    {
        return unsupported("EnumAttachedSurfaces");
    }
    HRESULT EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override
    {
        return unsupported("EnumOverlayZOrders");
    }
    HRESULT Flip(LPDIRECTDRAWSURFACE, DWORD) override { return unsupported("Flip"); }
    HRESULT GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE*) override { return unsupported("GetAttachedSurface"); }
    HRESULT GetBltStatus(DWORD) override { return unsupported("GetBltStatus"); }
    HRESULT GetCaps(LPDDSCAPS) override { return unsupported("GetCaps"); }
    HRESULT GetClipper(LPDIRECTDRAWCLIPPER*) override { return unsupported("GetClipper"); }
    HRESULT GetFlipStatus(DWORD) override { return unsupported("GetFlipStatus"); }
    HRESULT GetOverlayPosition(LPLONG, LPLONG) override { return unsupported("GetOverlayPosition"); }
    HRESULT GetPalette(LPDIRECTDRAWPALETTE*) override { return unsupported("GetPalette"); }
    HRESULT Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) override { return unsupported("Initialize"); }
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER) override { return unsupported("SetClipper"); }
    HRESULT SetOverlayPosition(LONG, LONG) override { return unsupported("SetOverlayPosition"); }
    HRESULT SetPalette(LPDIRECTDRAWPALETTE) override { return unsupported("SetPalette"); }
    HRESULT UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX) override
    {
        return unsupported("UpdateOverlay");
    }
    HRESULT UpdateOverlayDisplay(DWORD) override { return unsupported("UpdateOverlayDisplay"); }
    HRESULT UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) override { return unsupported("UpdateOverlayZOrder"); }

private:
    // The device context of an 8-bit surface: SetPixel stores the colour's
    // red byte as the palette index.
    struct FakeDC final : HDC__ {
        explicit FakeDC(FakeSurface& surface) : surface(surface) {}
        COLORREF setPixel(int x, int y, COLORREF colour) override
        {
            if (x < 0 || y < 0 || DWORD(x) >= surface.width || DWORD(y) >= surface.height)
                return CLR_INVALID;
            surface.row(DWORD(y))[x] = static_cast<uint8_t>(colour & 0xFF);
            return colour;
        }
        FakeSurface& surface;
    };

    HRESULT unsupported(const char* op);
    bool rectInside(const RECT& r) const
    {
        return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && DWORD(r.right) <= width &&
               DWORD(r.bottom) <= height;
    }
    friend class RecordingDirectDraw;

    RecordingDirectDraw& d_owner;
    std::vector<uint8_t> d_memory;
    FakeDC d_dc;
    bool d_created = false; // made through CreateSurface
};

class RecordingDirectDraw final : public IDirectDraw {
public:
    RecordingDirectDraw() = default;
    ~RecordingDirectDraw() = default;
    RecordingDirectDraw(const RecordingDirectDraw&) = delete;
    RecordingDirectDraw& operator=(const RecordingDirectDraw&) = delete;

    // Every call, in order.
    std::vector<FakeCall> calls;
    // Asked before each call is carried out: a value is the call's result and
    // the call does nothing else (a scripted success of CreateSurface makes no
    // surface, one of Lock locks nothing).
    std::function<std::optional<HRESULT>(const FakeCall&)> answer;
    // The format of surfaces created without a pixel format.
    FakeFormat displayFormat = kFormatXrgb32;

    // The next call of op (on the named surface, or on any when object is
    // empty) answers result and does nothing else.
    void failNext(std::string op, HRESULT result, std::string object = {})
    {
        d_faults.push_back({std::move(op), std::move(object), result});
    }

    // A surface made by the test, as a host makes its target.
    FakeSurface* addSurface(std::string name, DWORD width, DWORD height, FakeFormat format)
    {
        d_surfaces.push_back(std::make_unique<FakeSurface>(*this, std::move(name), width, height, format));
        return d_surfaces.back().get();
    }

    FakeSurface* find(const IDirectDrawSurface* surface) const
    {
        for (const auto& owned : d_surfaces)
            if (owned.get() == surface)
                return owned.get();
        return nullptr;
    }
    std::string nameOf(const IDirectDrawSurface* surface) const
    {
        if (surface == nullptr)
            return "null";
        const FakeSurface* fake = find(surface);
        return fake != nullptr ? fake->name : "foreign";
    }
    // Renames a surface, in the calls already recorded too.
    void rename(const IDirectDrawSurface* surface, std::string name)
    {
        FakeSurface* fake = find(surface);
        if (fake == nullptr)
            return;
        fake->name = std::move(name);
        for (FakeCall& call : calls) {
            if (call.objectSurface == surface)
                call.object = fake->name;
            if (call.sourceSurface == surface)
                call.source = fake->name;
        }
    }

    // Calls whose op is one of ops (all calls when ops is empty), as texts.
    std::vector<std::string> texts(std::vector<std::string_view> ops = {}) const
    {
        std::vector<std::string> out;
        for (const FakeCall& call : calls) {
            bool wanted = ops.empty();
            for (std::string_view op : ops)
                wanted = wanted || call.op == op;
            if (wanted)
                out.push_back(call.text());
        }
        return out;
    }
    std::vector<FakeCall> callsTo(std::string_view op) const
    {
        std::vector<FakeCall> out;
        for (const FakeCall& call : calls)
            if (call.op == op)
                out.push_back(call);
        return out;
    }
    size_t count(std::string_view op) const { return callsTo(op).size(); }
    void clearCalls() { calls.clear(); }

    // Surfaces created through CreateSurface and not yet released to zero.
    size_t liveSurfaces() const
    {
        size_t live = 0;
        for (const auto& owned : d_surfaces)
            live += owned->d_created && !owned->released ? 1 : 0;
        return live;
    }
    bool anyCallAfterRelease() const
    {
        for (const FakeCall& call : calls)
            if (call.afterRelease)
                return true;
        return false;
    }
    bool guardsIntact() const
    {
        for (const auto& owned : d_surfaces)
            if (!owned->guardsIntact())
                return false;
        return true;
    }
    // Loses every surface, as a display mode change does.
    void loseAll()
    {
        for (const auto& owned : d_surfaces)
            owned->lost = true;
    }

    // Records a call and decides its scripted result, if any.
    std::optional<HRESULT> record(FakeCall call)
    {
        std::optional<HRESULT> scripted;
        for (auto fault = d_faults.begin(); fault != d_faults.end(); ++fault) {
            if (fault->op == call.op && (fault->object.empty() || fault->object == call.object)) {
                scripted = fault->result;
                d_faults.erase(fault);
                break;
            }
        }
        if (!scripted && answer)
            scripted = answer(call);
        calls.push_back(std::move(call));
        return scripted;
    }
    // Sets the result of the call recorded last.
    HRESULT finish(HRESULT result)
    {
        calls.back().result = result;
        return result;
    }

    // IUnknown
    HRESULT QueryInterface(REFIID, void**) override { return unsupported("QueryInterface"); }
    ULONG AddRef() override { return ++d_references; }
    ULONG Release() override { return d_references > 1 ? --d_references : 1; }

    // IDirectDraw
    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) override
    {
        FakeCall call{"dd", "CreateSurface"};
        if (desc != nullptr)
            call.desc = *desc;
        if (auto scripted = record(call))
            return finish(*scripted);
        if (desc == nullptr || surface == nullptr || outer != nullptr || desc->dwSize != sizeof(DDSURFACEDESC) ||
            (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || desc->dwWidth == 0 ||
            desc->dwHeight == 0 || desc->dwWidth > 16384 || desc->dwHeight > 16384)
            return finish(DDERR_INVALIDPARAMS);
        FakeFormat format = displayFormat;
        if (desc->dwFlags & DDSD_PIXELFORMAT) {
            const DDPIXELFORMAT& pf = desc->ddpfPixelFormat;
            format = FakeFormat{pf.dwFlags,    pf.dwRGBBitCount, pf.dwRBitMask,
                                pf.dwGBitMask, pf.dwBBitMask,    pf.dwRGBAlphaBitMask};
        }
        FakeSurface* made = addSurface("surface" + std::to_string(++d_created), desc->dwWidth, desc->dwHeight, format);
        made->d_created = true;
        if (desc->dwFlags & DDSD_CKSRCBLT) {
            made->hasKey = true;
            made->key = desc->ddckCKSrcBlt;
        }
        *surface = made;
        calls.back().source = made->name; // the surface made, for reading the record
        calls.back().sourceSurface = made;
        return finish(DD_OK);
    }
    HRESULT Compact() override { return unsupported("Compact"); }
    HRESULT CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) override { return unsupported("CreateClipper"); }
    HRESULT CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*) override
    {
        return unsupported("CreatePalette");
    }
    HRESULT DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override
    {
        return unsupported("DuplicateSurface");
    }
    HRESULT EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK) override
    {
        return unsupported("EnumDisplayModes");
    }
    HRESULT EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) override
    {
        return unsupported("EnumSurfaces");
    }
    HRESULT FlipToGDISurface() override { return unsupported("FlipToGDISurface"); }
    HRESULT GetCaps(LPDDCAPS, LPDDCAPS) override { return unsupported("GetCaps"); }
    HRESULT GetDisplayMode(LPDDSURFACEDESC) override { return unsupported("GetDisplayMode"); }
    HRESULT GetFourCCCodes(LPDWORD, LPDWORD) override { return unsupported("GetFourCCCodes"); }
    HRESULT GetGDISurface(LPDIRECTDRAWSURFACE*) override { return unsupported("GetGDISurface"); }
    HRESULT GetMonitorFrequency(LPDWORD) override { return unsupported("GetMonitorFrequency"); }
    HRESULT GetScanLine(LPDWORD) override { return unsupported("GetScanLine"); }
    HRESULT GetVerticalBlankStatus(WINBOOL*) override { return unsupported("GetVerticalBlankStatus"); }
    HRESULT Initialize(GUID*) override { return unsupported("Initialize"); }
    HRESULT RestoreDisplayMode() override { return unsupported("RestoreDisplayMode"); }
    HRESULT SetCooperativeLevel(HWND, DWORD) override { return unsupported("SetCooperativeLevel"); }
    HRESULT SetDisplayMode(DWORD, DWORD, DWORD) override { return unsupported("SetDisplayMode"); }
    HRESULT WaitForVerticalBlank(DWORD, HANDLE) override { return unsupported("WaitForVerticalBlank"); }

private:
    struct Fault {
        std::string op;
        std::string object;
        HRESULT result;
    };
    friend class FakeSurface;

    HRESULT unsupported(const char* op)
    {
        record(FakeCall{"dd", op});
        return finish(DDERR_UNSUPPORTED);
    }

    std::vector<std::unique_ptr<FakeSurface>> d_surfaces;
    std::vector<Fault> d_faults;
    ULONG d_references = 1;
    unsigned d_created = 0;
};

// FakeSurface's operations, after RecordingDirectDraw is complete.

inline HRESULT FakeSurface::unsupported(const char* op)
{
    FakeCall call{name, op};
    call.objectSurface = this;
    call.afterRelease = released;
    d_owner.record(call);
    return d_owner.finish(DDERR_UNSUPPORTED);
}

inline ULONG FakeSurface::AddRef()
{
    FakeCall call{name, "AddRef"};
    call.objectSurface = this;
    call.afterRelease = released;
    d_owner.record(call);
    d_owner.finish(DD_OK);
    return ++references;
}

inline ULONG FakeSurface::Release()
{
    FakeCall call{name, "Release"};
    call.objectSurface = this;
    call.afterRelease = released;
    d_owner.record(call);
    d_owner.finish(DD_OK);
    if (released)
        return 0;
    if (--references == 0)
        released = true;
    return references;
}

inline HRESULT FakeSurface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags,
                                LPDDBLTFX effects)
{
    FakeCall call{name, "Blt"};
    call.objectSurface = this;
    call.afterRelease = released;
    if (destRect != nullptr)
        call.destRect = *destRect;
    call.source = source != nullptr ? d_owner.nameOf(source) : "";
    call.sourceSurface = source;
    if (sourceRect != nullptr)
        call.sourceRect = *sourceRect;
    call.flags = flags;
    if (effects != nullptr)
        call.effects = *effects;
    if (auto scripted = d_owner.record(call))
        return d_owner.finish(*scripted);
    FakeSurface* from = d_owner.find(source);
    if (lost || (from != nullptr && from->lost))
        return d_owner.finish(DDERR_SURFACELOST);
    if (locked || (from != nullptr && from->locked))
        return d_owner.finish(DDERR_SURFACEBUSY);
    if ((flags & (DDBLT_COLORFILL | DDBLT_KEYSRCOVERRIDE)) != 0 &&
        (effects == nullptr || effects->dwSize != sizeof(DDBLTFX)))
        return d_owner.finish(DDERR_INVALIDPARAMS);
    if ((flags & DDBLT_COLORFILL) == 0 && from == nullptr)
        return d_owner.finish(DDERR_INVALIDPARAMS);
    const RECT whole{0, 0, LONG(width), LONG(height)};
    if (!rectInside(destRect != nullptr ? *destRect : whole))
        return d_owner.finish(DDERR_INVALIDRECT);
    if (from != nullptr && (flags & DDBLT_COLORFILL) == 0) {
        const RECT sourceWhole{0, 0, LONG(from->width), LONG(from->height)};
        if (!from->rectInside(sourceRect != nullptr ? *sourceRect : sourceWhole))
            return d_owner.finish(DDERR_INVALIDRECT);
    }
    return d_owner.finish(DD_OK);
}

inline HRESULT FakeSurface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans)
{
    FakeCall call{name, "BltFast"};
    call.objectSurface = this;
    call.afterRelease = released;
    call.x = x;
    call.y = y;
    call.source = source != nullptr ? d_owner.nameOf(source) : "";
    call.sourceSurface = source;
    if (sourceRect != nullptr)
        call.sourceRect = *sourceRect;
    call.flags = trans;
    if (auto scripted = d_owner.record(call))
        return d_owner.finish(*scripted);
    FakeSurface* from = d_owner.find(source);
    if (from == nullptr)
        return d_owner.finish(DDERR_INVALIDPARAMS);
    if (lost || from->lost)
        return d_owner.finish(DDERR_SURFACELOST);
    if (locked || from->locked)
        return d_owner.finish(DDERR_SURFACEBUSY);
    const RECT r = sourceRect != nullptr ? *sourceRect : RECT{0, 0, LONG(from->width), LONG(from->height)};
    if (!from->rectInside(r))
        return d_owner.finish(DDERR_INVALIDRECT);
    const RECT placed{LONG(x), LONG(y), LONG(x) + (r.right - r.left), LONG(y) + (r.bottom - r.top)};
    if (LONG(x) < 0 || LONG(y) < 0 || !rectInside(placed))
        return d_owner.finish(DDERR_INVALIDRECT);
    return d_owner.finish(DD_OK);
}

inline HRESULT FakeSurface::GetColorKey(DWORD flags, LPDDCOLORKEY out)
{
    FakeCall call{name, "GetColorKey"};
    call.objectSurface = this;
    call.afterRelease = released;
    call.flags = flags;
    if (auto scripted = d_owner.record(call))
        return d_owner.finish(*scripted);
    if (!hasKey || flags != DDCKEY_SRCBLT || out == nullptr)
        return d_owner.finish(DDERR_NOCOLORKEY);
    *out = key;
    d_owner.calls.back().key = key;
    return d_owner.finish(DD_OK);
}

inline HRESULT FakeSurface::SetColorKey(DWORD flags, LPDDCOLORKEY in)
{
    FakeCall call{name, "SetColorKey"};
    call.objectSurface = this;
    call.afterRelease = released;
    call.flags = flags;
    if (in != nullptr)
        call.key = *in;
    if (auto scripted = d_owner.record(call))
        return d_owner.finish(*scripted);
    if (flags != DDCKEY_SRCBLT)
        return d_owner.finish(DDERR_INVALIDPARAMS);
    hasKey = in != nullptr;
    if (in != nullptr)
        key = *in;
    return d_owner.finish(DD_OK);
}

inline HRESULT FakeSurface::GetDC(HDC* dc)
{
    FakeCall call{name, "GetDC"};
    call.objectSurface = this;
    call.afterRelease = released;
    if (auto scripted = d_owner.record(call))
        return d_owner.finish(*scripted);
    if (dc == nullptr || format.bits != 8)
        return d_owner.finish(DDERR_CANTCREATEDC);
    if (dcOut)
        return d_owner.finish(DDERR_DCALREADYCREATED);
    dcOut = true;
    *dc = &d_dc;
    return d_owner.finish(DD_OK);
}

inline HRESULT FakeSurface::ReleaseDC(HDC)
{
    FakeCall call{name, "ReleaseDC"};
    call.objectSurface = this;
    call.afterRelease = released;
    if (auto scripted = d_owner.record(call))
        return d_owner.finish(*scripted);
    if (!dcOut)
        return d_owner.finish(DDERR_NODC);
    dcOut = false;
    return d_owner.finish(DD_OK);
}

inline HRESULT FakeSurface::GetPixelFormat(LPDDPIXELFORMAT out)
{
    FakeCall call{name, "GetPixelFormat"};
    call.objectSurface = this;
    call.afterRelease = released;
    if (auto scripted = d_owner.record(call))
        return d_owner.finish(*scripted);
    if (out == nullptr)
        return d_owner.finish(DDERR_INVALIDPARAMS);
    std::memset(out, 0, sizeof(*out));
    out->dwSize = sizeof(DDPIXELFORMAT);
    out->dwFlags = format.flags;
    out->dwRGBBitCount = format.bits;
    out->dwRBitMask = format.red;
    out->dwGBitMask = format.green;
    out->dwBBitMask = format.blue;
    out->dwRGBAlphaBitMask = format.alpha;
    return d_owner.finish(DD_OK);
}

inline HRESULT FakeSurface::GetSurfaceDesc(LPDDSURFACEDESC desc)
{
    FakeCall call{name, "GetSurfaceDesc"};
    call.objectSurface = this;
    call.afterRelease = released;
    if (desc != nullptr)
        call.desc = *desc;
    if (auto scripted = d_owner.record(call))
        return d_owner.finish(*scripted);
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
        return d_owner.finish(DDERR_INVALIDPARAMS);
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = width;
    desc->dwHeight = height;
    desc->lPitch = pitch;
    desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc->ddpfPixelFormat.dwFlags = format.flags;
    desc->ddpfPixelFormat.dwRGBBitCount = format.bits;
    desc->ddpfPixelFormat.dwRBitMask = format.red;
    desc->ddpfPixelFormat.dwGBitMask = format.green;
    desc->ddpfPixelFormat.dwBBitMask = format.blue;
    desc->ddpfPixelFormat.dwRGBAlphaBitMask = format.alpha;
    desc->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    return d_owner.finish(DD_OK);
}

inline HRESULT FakeSurface::IsLost()
{
    FakeCall call{name, "IsLost"};
    call.objectSurface = this;
    call.afterRelease = released;
    if (auto scripted = d_owner.record(call))
        return d_owner.finish(*scripted);
    return d_owner.finish(lost ? DDERR_SURFACELOST : DD_OK);
}

inline HRESULT FakeSurface::Restore()
{
    FakeCall call{name, "Restore"};
    call.objectSurface = this;
    call.afterRelease = released;
    if (auto scripted = d_owner.record(call))
        return d_owner.finish(*scripted);
    lost = false;
    return d_owner.finish(DD_OK);
}

inline HRESULT FakeSurface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE)
{
    FakeCall call{name, "Lock"};
    call.objectSurface = this;
    call.afterRelease = released;
    if (rect != nullptr)
        call.destRect = *rect;
    call.flags = flags;
    if (desc != nullptr)
        call.desc = *desc;
    if (auto scripted = d_owner.record(call))
        return d_owner.finish(*scripted);
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
        return d_owner.finish(DDERR_INVALIDPARAMS);
    if (lost)
        return d_owner.finish(DDERR_SURFACELOST);
    if (locked || dcOut)
        return d_owner.finish(DDERR_SURFACEBUSY);
    const RECT whole{0, 0, LONG(width), LONG(height)};
    const RECT r = rect != nullptr ? *rect : whole;
    if (!rectInside(r))
        return d_owner.finish(DDERR_INVALIDPARAMS);
    locked = true;
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
    desc->dwWidth = width;
    desc->dwHeight = height;
    desc->lPitch = pitch;
    desc->lpSurface = row(DWORD(r.top)) + (size_t(r.left) * format.bits) / 8;
    desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc->ddpfPixelFormat.dwFlags = format.flags;
    desc->ddpfPixelFormat.dwRGBBitCount = format.bits;
    desc->ddpfPixelFormat.dwRBitMask = format.red;
    desc->ddpfPixelFormat.dwGBitMask = format.green;
    desc->ddpfPixelFormat.dwBBitMask = format.blue;
    desc->ddpfPixelFormat.dwRGBAlphaBitMask = format.alpha;
    desc->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    return d_owner.finish(DD_OK);
}

inline HRESULT FakeSurface::Unlock(LPVOID)
{
    FakeCall call{name, "Unlock"};
    call.objectSurface = this;
    call.afterRelease = released;
    if (auto scripted = d_owner.record(call))
        return d_owner.finish(*scripted);
    if (!locked)
        return d_owner.finish(DDERR_NOTLOCKED);
    locked = false;
    return d_owner.finish(DD_OK);
}

} // namespace ZivTest
