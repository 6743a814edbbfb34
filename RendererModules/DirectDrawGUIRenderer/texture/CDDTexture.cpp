// The DirectDraw texture: its surfaces, sizes and the device-reset protocol.
// Surface creation and pixel upload, and image loading, live beside it.
#include "texture/CDDTexture.h"

#include <stdexcept>
#include <string>

#include "diagnostics/Diagnostics.h"
#include "renderer/CDDRender.h"
#include "texture/SurfaceCalls.h"

namespace ZorvUISystem {

namespace {

const char* const kPixelsLost =
    "CDDTexture::recreateAfterReset -- Texture surface lost, no source to reload it from: drawn transparent.";

} // namespace

CDDTexture::CDDTexture(CDDRender* owner) : Texture(owner) {}

uint32_t CDDTexture::getWidth() const
{
    return d_width;
}

uint32_t CDDTexture::getImageWidth() const
{
    return d_imageWidth;
}

uint32_t CDDTexture::getHeight() const
{
    return d_height;
}

uint32_t CDDTexture::getImageHeight() const
{
    return d_imageHeight;
}

void CDDTexture::loadFromMemory(const void* pixels, uint32_t width, uint32_t height, BufferFormat format)
{
    uploadPixels(pixels, width, height, format, d_memoryTexture);
}

void CDDTexture::reservedOperation(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}

CDDTexture::~CDDTexture()
{
    releaseSurfaces();
}

void CDDTexture::releaseForReset()
{
    // The reset's reload is a fresh attempt.
    endRetryStreak();
    if (!d_restoreOnly)
        releaseSurfaces();
}

void CDDTexture::recreateAfterReset()
{
    if (d_restoreOnly) {
        // Nothing to reload from: DirectDraw gets the surfaces back, but not
        // the pixels of a lost surface. Surfaces that never held pixels of
        // their own (the renderer's) have none to lose.
        const bool lost = d_width != 0 && surfacesLost();
        const HRESULT restored = restoreSurfaces();
        if (lost)
            forgetLostPixels(restored);
        return;
    }
    releaseSurfaces();
    d_uploadResult = DD_OK;
    try {
        // Kept pixels are the texture's source even when the host has turned
        // the memory-texture flag off since they were uploaded.
        if (d_fileDataHoldsPixels && d_fileData) {
            loadFromMemory(d_fileData, d_imageWidth, d_imageHeight, BUFFER_RGBA);
        } else if (!d_fileName.empty()) {
            // The load records its arguments again; they must not point into
            // the strings being replaced.
            const std::string name = d_fileName;
            const std::string directory = d_fileDirectory;
            loadFromFile(name.c_str(), directory.c_str());
        } else if (d_fileData && d_fileDataSize && !d_fileDataHoldsPixels) {
            loadFromFileData(d_fileData, d_fileDataSize);
        }
    } catch (...) {
        // A failed load leaves a texture restore-only, but a reload keeps its
        // recorded source: it is tried again.
        d_restoreOnly = false;
        noteReloadFailure();
        throw;
    }
}

uint32_t CDDTexture::currentFrame() const
{
    return d_renderer != nullptr ? d_renderer->frameNumber() : 0;
}

void CDDTexture::noteReloadFailure()
{
    // A surface lost under the reload is tried again on the next frame; any
    // other failure waits twice as long as the one before it.
    if (!reloadMetLoss())
        d_retryDelay = d_retryDelay == 0 ? 1 : d_retryDelay >= kMaxRetryDelay / 2 ? kMaxRetryDelay : 2 * d_retryDelay;
    d_retryPending = true;
    d_retryFrame = currentFrame() + (d_retryDelay == 0 ? 1 : d_retryDelay);
}

void CDDTexture::endRetryStreak()
{
    d_retryPending = false;
    d_retryDelay = 0;
    d_streakReported = false;
}

bool CDDTexture::reloadsWhenDrawn() const
{
    if (d_ddtexture[0] != nullptr || d_restoreOnly)
        return false;
    if (d_retryPending && static_cast<int32_t>(currentFrame() - d_retryFrame) < 0)
        return false;
    return (d_fileDataHoldsPixels && d_fileData) || !d_fileName.empty() || (d_fileData && d_fileDataSize);
}

void CDDTexture::reloadForDrawing()
{
    // A source that keeps failing (a file gone, video memory short) costs
    // one attempt per waiting time, not one per frame.
    if (d_retryPending && static_cast<int32_t>(currentFrame() - d_retryFrame) < 0)
        return;
    std::string failure;
    {
        // The layers beneath log what they met; the streak is reported once,
        // here.
        QuietErrors quiet;
        try {
            recreateAfterReset();
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }
    if (!d_retryPending || d_streakReported || reloadMetLoss())
        return;
    d_streakReported = true;
    logError(failure.c_str());
}

bool CDDTexture::recoverFromLoss()
{
    const HRESULT restored = restoreSurfaces();
    if (!d_restoreOnly) {
        // Restored memory holds nothing: the pixels come again from the
        // source, into surfaces of the display's current format.
        reloadForDrawing();
        return d_ddtexture[0] != nullptr;
    }
    // Surfaces that never held pixels of their own (the renderer's) only
    // need to be back.
    if (d_width == 0)
        return restored >= 0;
    forgetLostPixels(restored);
    return false;
}

bool CDDTexture::surfacesLost() const
{
    return surfaceLost(d_ddtexture[0]) || (d_ddtexture[1] != d_ddtexture[0] && surfaceLost(d_ddtexture[1]));
}

HRESULT CDDTexture::restoreSurfaces()
{
    // A texture without surfaces draws nothing before and after.
    if (d_ddtexture[0] != nullptr || d_ddtexture[1] != nullptr)
        pixelsChanged();
    HRESULT result = DD_OK;
    if (d_ddtexture[0])
        result = d_ddtexture[0]->Restore();
    if (d_ddtexture[1] && d_ddtexture[1] != d_ddtexture[0]) {
        const HRESULT alpha = d_ddtexture[1]->Restore();
        if (result >= 0)
            result = alpha;
    }
    return result;
}

void CDDTexture::forgetLostPixels(HRESULT restored)
{
    if (d_width == 0 || d_ddtexture[0] == nullptr)
        return;
    const bool reported = d_pixelsLost;
    if (restored < 0) {
        // Surfaces DirectDraw cannot give back (the display changed its
        // depth) are of no use: the texture waits for new pixels.
        releaseSurfaces();
    } else {
        // Whatever the restored memory holds is not the texture: 0 is the
        // value every blit and kernel leaves out.
        fillWholeSurface(d_ddtexture[0], 0);
        if (d_ddtexture[1] != d_ddtexture[0])
            fillWholeSurface(d_ddtexture[1], 0);
    }
    d_pixelsLost = true;
    if (!reported)
        logError(kPixelsLost);
}

void CDDTexture::createSurfaces(uint32_t width, uint32_t height)
{
    CreateSurface(width, height, &d_ddtexture[0], true);
    CreateSurface(width, height, &d_ddtexture[1], true);
}

void CDDTexture::releaseSurfaces()
{
    if (d_ddtexture[0] != nullptr || d_ddtexture[1] != nullptr)
        pixelsChanged();
    if (d_ddtexture[1] != d_ddtexture[0])
        dropSurface(d_ddtexture[1], false);
    d_ddtexture[1] = nullptr;
    dropSurface(d_ddtexture[0], false);
    d_pixelsLost = false;
}

void CDDTexture::dropPixelCopy()
{
    if (d_fileDataHoldsPixels) {
        Texture::loadFromFileData(nullptr, 0);
        d_fileDataHoldsPixels = false;
    }
}

} // namespace ZorvUISystem
