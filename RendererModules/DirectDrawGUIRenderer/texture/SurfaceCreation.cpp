// Creation of one off-screen texture surface in the memory placement and
// pixel format that the host asks for.
#include <cstring>
#include <stdexcept>
#include <string>

#include "diagnostics/Diagnostics.h"
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"

namespace ZorvUISystem {

namespace {

// How the creation failure messages set the result's name: some directly
// after the sentence, some after a blank, some with a blank at the end.
enum class NameSpacing { Attached, AttachedTrailingBlank, Separated };

struct CreationFailure {
    HRESULT result;
    NameSpacing spacing;
};

constexpr CreationFailure kCreationFailures[] = {
    {DDERR_INCOMPATIBLEPRIMARY, NameSpacing::AttachedTrailingBlank},
    {DDERR_INVALIDCAPS, NameSpacing::AttachedTrailingBlank},
    {DDERR_INVALIDPARAMS, NameSpacing::AttachedTrailingBlank},
    {DDERR_INVALIDPIXELFORMAT, NameSpacing::Attached},
    {DDERR_NOALPHAHW, NameSpacing::Separated},
    {DDERR_NOCOOPERATIVELEVELSET, NameSpacing::Separated},
    {DDERR_NOFLIPHW, NameSpacing::Separated},
    {DDERR_NOOVERLAYHW, NameSpacing::Separated},
    {DDERR_OUTOFMEMORY, NameSpacing::Separated},
    {DDERR_OUTOFVIDEOMEMORY, NameSpacing::Separated},
    {DDERR_PRIMARYSURFACEALREADYEXISTS, NameSpacing::Separated},
    {DDERR_INVALIDOBJECT, NameSpacing::Separated},
};

std::string creationFailureMessage(HRESULT result)
{
    std::string message = "CDDTexture::CreateSurface -- Failed to create Texture object.";
    for (const CreationFailure& failure : kCreationFailures) {
        const char* name = directDrawResultName(failure.result, RESULT_USE_SURFACE_CREATION);
        if (failure.result != result || !name)
            continue;
        if (failure.spacing == NameSpacing::Separated)
            message += ' ';
        message += '(';
        message += name;
        message += ')';
        if (failure.spacing == NameSpacing::AttachedTrailingBlank)
            message += ' ';
        return message;
    }
    return message + " (UNKNOWN)";
}

} // namespace

void CDDTexture::CreateSurface(uint32_t width, uint32_t height, IDirectDrawSurface** target, bool colourKey)
{
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    if (colourKey) {
        // Black is the source colour key.
        desc.dwFlags |= DDSD_CKSRCBLT;
        desc.ddckCKSrcBlt.dwColorSpaceLowValue = 0;
        desc.ddckCKSrcBlt.dwColorSpaceHighValue = 0;
    }
    desc.dwWidth = width;
    desc.dwHeight = height;

    RenderDevice* device = d_renderer ? d_renderer->device() : nullptr;
    const int32_t memory = device ? device->getTextureMemory() : 0;
    const int32_t pixelFormat = device ? device->getTexturePixelFormat() : 0;

    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (memory == 1)
        desc.ddsCaps.dwCaps |= DDSCAPS_VIDEOMEMORY;
    else if (memory != 2)
        desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;

    // 565 and 555 are asked for explicitly; anything else takes the
    // display's format.
    if (pixelFormat == 565 || pixelFormat == 555) {
        desc.dwFlags |= DDSD_PIXELFORMAT;
        desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
        desc.ddpfPixelFormat.dwRGBBitCount = 16;
        desc.ddpfPixelFormat.dwRBitMask = pixelFormat == 565 ? 0xF800 : 0x7C00;
        desc.ddpfPixelFormat.dwGBitMask = pixelFormat == 565 ? 0x07E0 : 0x03E0;
        desc.ddpfPixelFormat.dwBBitMask = 0x001F;
    }

    // After a failed device reset the renderer has no DirectDraw object.
    IDirectDraw* directDraw = d_renderer ? d_renderer->directDraw() : nullptr;
    const HRESULT result = directDraw ? directDraw->CreateSurface(&desc, target, nullptr) : DDERR_INVALIDOBJECT;
    if (!FAILED(result))
        return;
    *target = nullptr;
    const std::string message = creationFailureMessage(result);
    logError(message.c_str());
    throw std::runtime_error(message);
}

} // namespace ZorvUISystem
