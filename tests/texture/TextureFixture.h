// What the texture tests share: a renderer over the software DirectDraw whose
// "display" can take any pixel format, a recording logger, and reading back
// locked surfaces.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingPlovLogger.h"
#include "SoftwareDirectDraw.h"
#include "TestRenderDevice.h"
#include "ddraw_test.h"
#include "diagnostics/ModuleState.h"
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"

namespace ZivTest {

inline DDPIXELFORMAT pixelFormat(DWORD flags, DWORD bits, DWORD red, DWORD green, DWORD blue, DWORD alpha = 0)
{
    DDPIXELFORMAT format;
    std::memset(&format, 0, sizeof(format));
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = flags;
    format.dwRGBBitCount = bits;
    format.dwRBitMask = red;
    format.dwGBitMask = green;
    format.dwBBitMask = blue;
    format.dwRGBAlphaBitMask = alpha;
    return format;
}

inline const DDPIXELFORMAT kDisplay565 = pixelFormat(DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F);
inline const DDPIXELFORMAT kDisplay555 = pixelFormat(DDPF_RGB, 16, 0x7C00, 0x03E0, 0x001F);
inline const DDPIXELFORMAT kDisplay444 = pixelFormat(DDPF_RGB, 16, 0x0F00, 0x00F0, 0x000F);
// 8 bits of red, 4 of green, 4 of blue: a layout where 254 and 255 differ.
inline const DDPIXELFORMAT kDisplay844 = pixelFormat(DDPF_RGB, 16, 0xFF00, 0x00F0, 0x000F);
inline const DDPIXELFORMAT kDisplay24 = pixelFormat(DDPF_RGB, 24, 0xFF0000, 0x00FF00, 0x0000FF);
inline const DDPIXELFORMAT kDisplayXrgb32 = pixelFormat(DDPF_RGB, 32, 0xFF0000, 0x00FF00, 0x0000FF);
inline const DDPIXELFORMAT kDisplayArgb32 =
    pixelFormat(DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000);
inline const DDPIXELFORMAT kDisplayPalette8 = pixelFormat(DDPF_RGB | DDPF_PALETTEINDEXED8, 8, 0, 0, 0);
inline const DDPIXELFORMAT kDisplayPalette4 = pixelFormat(DDPF_RGB | DDPF_PALETTEINDEXED4, 4, 0, 0, 0);

// The host's DirectDraw object: the software DirectDraw, playing a display
// of the chosen pixel format (surfaces made without a pixel format get it)
// and recording every creation description as it arrives.
class DisplayDirectDraw final : public IDirectDraw {
public:
    DisplayDirectDraw(IDirectDraw* inner, std::vector<std::string>& calls) : d_inner(inner), d_calls(calls) {}

    DDPIXELFORMAT display = kDisplayXrgb32;
    std::vector<DDSURFACEDESC> created;

    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) override
    {
        d_calls.emplace_back("CreateSurface");
        if (desc == nullptr)
            return d_inner->CreateSurface(desc, surface, outer);
        created.push_back(*desc);
        DDSURFACEDESC forwarded = *desc;
        if ((forwarded.dwFlags & DDSD_PIXELFORMAT) == 0) {
            forwarded.dwFlags |= DDSD_PIXELFORMAT;
            forwarded.ddpfPixelFormat = display;
        }
        return d_inner->CreateSurface(&forwarded, surface, outer);
    }

    HRESULT QueryInterface(REFIID riid, void** object) override { return d_inner->QueryInterface(riid, object); }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Compact() override { return d_inner->Compact(); }
    HRESULT CreateClipper(DWORD f, LPDIRECTDRAWCLIPPER* c, IUnknown* o) override
    {
        return d_inner->CreateClipper(f, c, o);
    }
    HRESULT CreatePalette(DWORD f, LPPALETTEENTRY t, LPDIRECTDRAWPALETTE* p, IUnknown* o) override
    {
        return d_inner->CreatePalette(f, t, p, o);
    }
    HRESULT DuplicateSurface(LPDIRECTDRAWSURFACE s, LPDIRECTDRAWSURFACE* d) override
    {
        return d_inner->DuplicateSurface(s, d);
    }
    HRESULT EnumDisplayModes(DWORD f, LPDDSURFACEDESC d, LPVOID c, LPDDENUMMODESCALLBACK cb) override
    {
        return d_inner->EnumDisplayModes(f, d, c, cb);
    }
    HRESULT EnumSurfaces(DWORD f, LPDDSURFACEDESC d, LPVOID c, LPDDENUMSURFACESCALLBACK cb) override
    {
        return d_inner->EnumSurfaces(f, d, c, cb);
    }
    HRESULT FlipToGDISurface() override { return d_inner->FlipToGDISurface(); }
    HRESULT GetCaps(LPDDCAPS a, LPDDCAPS b) override { return d_inner->GetCaps(a, b); }
    HRESULT GetDisplayMode(LPDDSURFACEDESC d) override { return d_inner->GetDisplayMode(d); }
    HRESULT GetFourCCCodes(LPDWORD n, LPDWORD c) override { return d_inner->GetFourCCCodes(n, c); }
    HRESULT GetGDISurface(LPDIRECTDRAWSURFACE* s) override { return d_inner->GetGDISurface(s); }
    HRESULT GetMonitorFrequency(LPDWORD f) override { return d_inner->GetMonitorFrequency(f); }
    HRESULT GetScanLine(LPDWORD l) override { return d_inner->GetScanLine(l); }
    HRESULT GetVerticalBlankStatus(WINBOOL* b) override { return d_inner->GetVerticalBlankStatus(b); }
    HRESULT Initialize(GUID* g) override { return d_inner->Initialize(g); }
    HRESULT RestoreDisplayMode() override { return d_inner->RestoreDisplayMode(); }
    HRESULT SetCooperativeLevel(HWND w, DWORD f) override { return d_inner->SetCooperativeLevel(w, f); }
    HRESULT SetDisplayMode(DWORD w, DWORD h, DWORD b) override { return d_inner->SetDisplayMode(w, h, b); }
    HRESULT WaitForVerticalBlank(DWORD f, HANDLE e) override { return d_inner->WaitForVerticalBlank(f, e); }

private:
    IDirectDraw* d_inner;
    std::vector<std::string>& d_calls;
};

// A locked surface's pixels, each as a little-endian number of its size.
struct SurfacePixels {
    DWORD width = 0;
    DWORD height = 0;
    DDPIXELFORMAT format{};
    std::vector<uint32_t> pixels;

    uint32_t at(DWORD x, DWORD y) const { return pixels[size_t(y) * width + x]; }
};

inline SurfacePixels readSurface(IDirectDrawSurface* surface)
{
    SurfacePixels out;
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    out.width = desc.dwWidth;
    out.height = desc.dwHeight;
    out.format = desc.ddpfPixelFormat;
    const size_t bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
        const auto* row = static_cast<const uint8_t*>(desc.lpSurface) + ptrdiff_t(y) * desc.lPitch;
        for (DWORD x = 0; x < desc.dwWidth; ++x) {
            uint32_t value = 0;
            for (size_t i = 0; i < bytes; ++i)
                value |= uint32_t(row[x * bytes + i]) << (8 * i);
            out.pixels.push_back(value);
        }
    }
    surface->Unlock(nullptr);
    return out;
}

// Pixels of an RGBA image, one number per pixel: 0xAABBGGRR read as bytes
// R, G, B, A.
inline std::vector<uint8_t> rgbaBytes(std::initializer_list<uint32_t> pixels)
{
    std::vector<uint8_t> out(pixels.size() * 4);
    size_t i = 0;
    for (uint32_t p : pixels) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out[i++] = uint8_t(p >> shift);
    }
    return out;
}

// A renderer over the software DirectDraw with the module's logger recording.
class TextureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(software.get(), nullptr);
        ddrawtest::reset();
        ZorvUISystem::moduleState().logger = &logger;
        device.directDraw = &directDraw;
    }

    void TearDown() override
    {
        EXPECT_TRUE(ddrawtest::guardsIntact());
        d_renderer.reset();
        EXPECT_EQ(ddrawtest::liveSurfaceCount(), 0u);
        ZorvUISystem::moduleState().logger = nullptr;
        ddrawtest::reset();
    }

    // The renderer, made on first use with the display format chosen so far.
    ZorvUISystem::CDDRender& renderer()
    {
        if (!d_renderer) {
            d_renderer = std::make_unique<ZorvUISystem::CDDRender>(&device, 0, false);
            device.calls.clear();
            directDraw.created.clear();
            record.calls.clear();
            ddrawtest::reset();
        }
        return *d_renderer;
    }

    // A texture of the registry, empty until loaded.
    ZorvUISystem::CDDTexture& newTexture()
    {
        return *static_cast<ZorvUISystem::CDDTexture*>(renderer().createTexture(1.0f));
    }

    // The texts written with logMessage, in order.
    std::vector<std::string> loggedErrors() const
    {
        std::vector<std::string> out;
        for (const RecordedCall& call : record.callsTo("logMessage")) {
            EXPECT_EQ(call.args[1], "1");
            out.push_back(call.args[0]);
        }
        return out;
    }

    SoftwareDirectDraw software;
    TestRenderDevice device;
    DisplayDirectDraw directDraw{software.get(), device.calls};
    LoggerRecord record;
    RecordingPlovLogger logger{record};

private:
    std::unique_ptr<ZorvUISystem::CDDRender> d_renderer;
};

// The text of the exception fn raises, or "" when it raises none.
template <class Fn> std::string failureOf(Fn&& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

} // namespace ZivTest
