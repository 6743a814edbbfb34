#include "DemoDevice.h"

#include <cstdio>
#include <stdexcept>

namespace zivdemo {

namespace {

struct ResultName {
    HRESULT result;
    const char* name;
};

// The results a host meets while setting up surfaces; others are shown as
// numbers only.
const ResultName kResultNames[] = {
    {DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS"},
    {DDERR_OUTOFMEMORY, "DDERR_OUTOFMEMORY"},
    {DDERR_INVALIDPIXELFORMAT, "DDERR_INVALIDPIXELFORMAT"},
    {DDERR_INVALIDMODE, "DDERR_INVALIDMODE"},
    {DDERR_NOCOOPERATIVELEVELSET, "DDERR_NOCOOPERATIVELEVELSET"},
    {DDERR_SURFACELOST, "DDERR_SURFACELOST"},
    {DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY"},
    {DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED"},
    {DDERR_GENERIC, "DDERR_GENERIC"},
};

void check(const char* call, HRESULT result)
{
    if (FAILED(result)) {
        throw std::runtime_error("DirectDraw: " + describeResult(call, result));
    }
}

DDSURFACEDESC emptyDescription()
{
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    return desc;
}

} // namespace

std::string describeResult(const std::string& call, HRESULT result)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", static_cast<uint32_t>(result));
    for (const ResultName& entry : kResultNames) {
        if (entry.result == result) {
            return call + " failed (" + entry.name + ", " + hex + ")";
        }
    }
    return call + " failed (" + hex + ")";
}

DemoDevice::DemoDevice(TargetFormat format, uint32_t width, uint32_t height, int32_t blendMode, bool clipper)
    : d_format(format), d_width(width), d_height(height), d_blendMode(blendMode), d_clipper(clipper)
{
    check("DirectDrawCreate", DirectDrawCreate(nullptr, &d_directDraw, nullptr));
    if (d_directDraw == nullptr) {
        throw std::runtime_error("DirectDraw: DirectDrawCreate gave no object");
    }
    try {
        check("SetCooperativeLevel", d_directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
        check("SetDisplayMode", d_directDraw->SetDisplayMode(d_width, d_height, formatInfo(d_format).displayBits));
        createTarget();
    } catch (...) {
        d_directDraw->Release();
        throw;
    }
}

DemoDevice::~DemoDevice()
{
    releaseTarget();
    d_directDraw->Release();
}

bool DemoDevice::getTargetSize(float* width, float* height)
{
    *width = static_cast<float>(d_width);
    *height = static_cast<float>(d_height);
    return true;
}

int32_t DemoDevice::getTexturePixelFormat()
{
    return formatInfo(d_format).texturePixelFormat;
}

void DemoDevice::createTarget()
{
    const FormatInfo& info = formatInfo(d_format);
    DDSURFACEDESC desc = emptyDescription();
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = d_width;
    desc.dwHeight = d_height;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = info.bitsPerPixel;
    desc.ddpfPixelFormat.dwRBitMask = info.redMask;
    desc.ddpfPixelFormat.dwGBitMask = info.greenMask;
    desc.ddpfPixelFormat.dwBBitMask = info.blueMask;
    check("CreateSurface (target)", d_directDraw->CreateSurface(&desc, &d_target, nullptr));
    if (d_target == nullptr) {
        throw std::runtime_error("DirectDraw: CreateSurface gave no target surface");
    }
    if (d_clipper) {
        try {
            attachClipper();
        } catch (...) {
            releaseTarget();
            throw;
        }
    }
}

void DemoDevice::attachClipper()
{
    // One rectangle, the whole target: the frames stay the same, but copies
    // onto the target meet a clipper as they do in a window.
    struct {
        RGNDATAHEADER header;
        RECT rect;
    } region{};
    region.header.dwSize = sizeof(RGNDATAHEADER);
    region.header.iType = RDH_RECTANGLES;
    region.header.nCount = 1;
    region.header.nRgnSize = sizeof(RECT);
    region.header.rcBound = RECT{0, 0, static_cast<LONG>(d_width), static_cast<LONG>(d_height)};
    region.rect = region.header.rcBound;
    IDirectDrawClipper* clipper = nullptr;
    check("CreateClipper", d_directDraw->CreateClipper(0, &clipper, nullptr));
    if (clipper == nullptr) {
        throw std::runtime_error("DirectDraw: CreateClipper gave no clipper");
    }
    HRESULT result = clipper->SetClipList(reinterpret_cast<LPRGNDATA>(&region), 0);
    if (result == DD_OK) {
        result = d_target->SetClipper(clipper);
    }
    clipper->Release(); // the target holds it from here
    check("SetClipper (target)", result);
}

void DemoDevice::releaseTarget()
{
    if (d_target != nullptr) {
        d_target->Release();
        d_target = nullptr;
    }
}

void DemoDevice::clear(uint32_t argb)
{
    DDBLTFX fx{};
    fx.dwSize = sizeof(DDBLTFX);
    fx.dwFillColor = packColour(d_format, argb);
    check("Blt (clearing the target)", d_target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
}

Image DemoDevice::capture() const
{
    DDSURFACEDESC desc = emptyDescription();
    check("Lock (reading the target)", d_target->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    const FormatInfo& info = formatInfo(d_format);
    if (desc.ddpfPixelFormat.dwRGBBitCount != info.bitsPerPixel || desc.dwWidth != d_width ||
        desc.dwHeight != d_height || desc.lpSurface == nullptr) {
        d_target->Unlock(nullptr);
        throw std::runtime_error("DirectDraw: the target surface is not the " + std::string(info.label) +
                                 " surface the demo made");
    }
    Image image(d_width, d_height);
    const auto* base = static_cast<const uint8_t*>(desc.lpSurface);
    for (uint32_t y = 0; y < d_height; ++y) {
        unpackRow(d_format, base + static_cast<ptrdiff_t>(y) * desc.lPitch, d_width, image.pixel(0, y));
    }
    d_target->Unlock(nullptr);
    return image;
}

void DemoDevice::changeSize(uint32_t width, uint32_t height)
{
    releaseTarget();
    check("SetDisplayMode", d_directDraw->SetDisplayMode(width, height, formatInfo(d_format).displayBits));
    d_width = width;
    d_height = height;
    createTarget();
}

} // namespace zivdemo
