// The renderer's own display-sized textures (the scratch texture for
// stretched and re-keyed quads, the buffer texture of blend mode 0) and the
// protocol that carries the renderer and its textures through a reset of the
// host's display device.
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "PlovLogger.h"
#include "diagnostics/Diagnostics.h"
#include "renderer/CDDRender.h"
#include "renderer/Damage.h"
#include "renderer/QuadGeometry.h"
#include "texture/CDDTexture.h"
#include "texture/SurfaceCalls.h"

namespace ZorvUISystem {

namespace {

const char* const kNoDirectDraw = "CDDRender can't get the IDirectDraw device.";

// A display-sized texture of the renderer's own, in its registry: a colour
// and an alpha surface, both keyed on black.
CDDTexture* createAuxiliaryTexture(CDDRender& renderer, uint32_t width, uint32_t height)
{
    auto* texture = static_cast<CDDTexture*>(renderer.createTexture());
    try {
        texture->createSurfaces(width, height);
    } catch (...) {
        // A texture without surfaces would only be in the way.
        renderer.destroyTexture(texture);
        throw;
    }
    return texture;
}

} // namespace

void CDDRender::createScratchTexture(uint32_t width, uint32_t height)
{
    d_scratchTexture = createAuxiliaryTexture(*this, width, height);
}

void CDDRender::createBufferTexture()
{
    if (d_blendMode != 0 || d_bufferTexture != nullptr)
        return;
    d_bufferTexture = createAuxiliaryTexture(*this, d_displayWidth, d_displayHeight);
    // Start black, which the copy onto the target treats as transparent; the
    // quads composed since the last clearQueue are drawn again by the next
    // pass.
    clearBuffer();
    d_bufferStale = !d_bufferedQuads.empty();
}

HRESULT CDDRender::clearBuffer()
{
    IDirectDrawSurface* colour = d_bufferTexture != nullptr ? d_bufferTexture->colourSurface() : nullptr;
    return colour != nullptr ? fillWholeSurface(colour, 0) : DD_OK;
}

void CDDRender::redrawBuffer()
{
    // A buffer lost again while it is composed is composed by the next pass.
    d_bufferStale = d_redrawingBuffer;
    if (d_redrawingBuffer)
        return;
    d_bufferRetryPending = false;
    d_redrawingBuffer = true;
    // What the buffer showed before is gone.
    if (d_damage != nullptr && d_bufferTexture != nullptr)
        d_damage->targetUnknown(d_bufferTexture->colourSurface());
    clearBuffer();
    // The buffer may be made again under the loop: its surface is read for
    // every quad.
    for (const QueuedQuad& quad : d_bufferedQuads)
        drawQuad(d_bufferTexture != nullptr ? d_bufferTexture->colourSurface() : nullptr, quad);
    d_redrawingBuffer = false;
}

bool CDDRender::auxiliaryFormatStale(const CDDTexture* texture) const
{
    IDirectDrawSurface* colour = texture != nullptr ? texture->colourSurface() : nullptr;
    if (colour == nullptr || d_directDraw == nullptr)
        return false;
    DDPIXELFORMAT has;
    std::memset(&has, 0, sizeof(has));
    has.dwSize = sizeof(DDPIXELFORMAT);
    if (colour->GetPixelFormat(&has) < 0)
        return false;
    // 565 and 555 are asked for by the host; anything else is the display's.
    const int32_t asked = d_device->getTexturePixelFormat();
    DDPIXELFORMAT wanted;
    std::memset(&wanted, 0, sizeof(wanted));
    if (asked == 565 || asked == 555) {
        wanted.dwRGBBitCount = 16;
        wanted.dwRBitMask = asked == 565 ? 0xF800 : 0x7C00;
        wanted.dwGBitMask = asked == 565 ? 0x07E0 : 0x03E0;
        wanted.dwBBitMask = 0x001F;
    } else {
        DDSURFACEDESC display;
        std::memset(&display, 0, sizeof(display));
        display.dwSize = sizeof(DDSURFACEDESC);
        if (d_directDraw->GetDisplayMode(&display) < 0)
            return false;
        wanted = display.ddpfPixelFormat;
    }
    return has.dwRGBBitCount != wanted.dwRGBBitCount || has.dwRBitMask != wanted.dwRBitMask ||
           has.dwGBitMask != wanted.dwGBitMask || has.dwBBitMask != wanted.dwBBitMask;
}

bool CDDRender::mendStaleFormats(bool buffer)
{
    bool mended = false;
    if (auxiliaryFormatStale(d_scratchTexture)) {
        destroyTexture(d_scratchTexture);
        ensureAuxiliaryTextures();
        mended = true;
    }
    if (buffer && auxiliaryFormatStale(d_bufferTexture)) {
        destroyTexture(d_bufferTexture);
        ensureAuxiliaryTextures();
        if (d_bufferTexture != nullptr)
            redrawBuffer();
        mended = true;
    }
    return mended;
}

bool CDDRender::mendAuxiliaryTexture(CDDTexture* texture)
{
    const bool buffer = texture == d_bufferTexture;
    // The scratch's pixels matter only within one quad; the buffer's are
    // composed again. Restored surfaces of a format the display no longer
    // has would refuse every blit with the textures, which are reloaded in
    // the new one.
    if (texture->restoreSurfaces() < 0 || auxiliaryFormatStale(texture)) {
        // Surfaces DirectDraw cannot give back (the display changed its
        // depth) are made again in the display's format.
        destroyTexture(texture);
        ensureAuxiliaryTextures();
    }
    if (buffer && d_bufferTexture != nullptr)
        redrawBuffer();
    return (buffer ? d_bufferTexture : d_scratchTexture) != nullptr;
}

bool CDDRender::mendLostSurfaces(CDDTexture* texture, bool buffer)
{
    bool mended = false;
    if (texture != nullptr && texture->surfacesLost()) {
        texture->recoverFromLoss();
        mended = true;
    }
    if (d_scratchTexture != nullptr && d_scratchTexture->surfacesLost()) {
        mendAuxiliaryTexture(d_scratchTexture);
        mended = true;
    }
    if (buffer && d_bufferTexture != nullptr && d_bufferTexture->surfacesLost()) {
        mendAuxiliaryTexture(d_bufferTexture);
        mended = true;
    }
    return mended;
}

bool CDDRender::updateDisplaySize(float width, float height)
{
    const uint32_t w = truncateToPixels(width);
    const uint32_t h = truncateToPixels(height);
    if (w == d_displayWidth && h == d_displayHeight)
        return false;
    d_displayWidth = w;
    d_displayHeight = h;
    d_displayArea = RECT{0, 0, saturatedEdge(w), saturatedEdge(h)};
    return true;
}

void CDDRender::destroyAuxiliaryTextures()
{
    // The kept stretches go with them, before the DirectDraw object does.
    if (d_damage != nullptr)
        d_damage->stretches.clear();
    if (d_scratchTexture != nullptr) {
        CDDTexture* scratch = d_scratchTexture;
        d_scratchTexture = nullptr;
        destroyTexture(scratch);
    }
    if (d_bufferTexture != nullptr) {
        CDDTexture* buffer = d_bufferTexture;
        d_bufferTexture = nullptr;
        destroyTexture(buffer);
    }
}

void CDDRender::ensureAuxiliaryTextures()
{
    if (d_resetPending)
        return;
    // A failed creation has been logged by the surface creation; drawing goes
    // on without the texture (quads that need the scratch are skipped, blend
    // mode 0 draws straight onto the target) and the next pass tries again.
    if (d_scratchTexture == nullptr) {
        try {
            createScratchTexture(d_displayWidth, d_displayHeight);
        } catch (const std::exception&) {
        }
    }
    if (d_bufferTexture == nullptr && d_blendMode == 0) {
        try {
            createBufferTexture();
        } catch (const std::exception&) {
        }
    }
}

void CDDRender::prepareForReset()
{
    // Called again before a successful postD3DReset, the walk gives back what
    // was loaded since (a texture drawn after a failed rebuild reloads itself);
    // textures without surfaces have nothing to give back.
    destroyAuxiliaryTextures();
    d_resetPending = true;
    for (Texture* texture : d_textures)
        static_cast<CDDTexture*>(texture)->releaseForReset();
}

void CDDRender::postD3DReset(bool* sizeChanged)
{
    d_directDraw = d_device->getDirectDraw();
    if (d_directDraw == nullptr) {
        if (PlovLogger* logger = moduleLogger())
            logger->logMessage(kNoDirectDraw, 1);
        throw std::runtime_error(kNoDirectDraw);
    }

    if (sizeChanged != nullptr)
        *sizeChanged = false;
    // Without a prepareForReset first there is nothing to rebuild (also when
    // the host has destroyed the scratch texture: it is rebuilt at its next use).
    if (!d_resetPending)
        return;

    float width = 0.0f;
    float height = 0.0f;
    d_device->getTargetSize(&width, &height);
    const bool changed = updateDisplaySize(width, height);
    if (sizeChanged != nullptr)
        *sizeChanged = changed;
    // Blend mode 0: the new buffer shows the picture composed before the
    // reset when the display kept its size; a display of another size starts
    // from a cleared buffer, and the host draws its GUI for the new size.
    if (changed) {
        std::vector<QueuedQuad>().swap(d_bufferedQuads);
        d_bufferUnrecoverable = false;
    }
    if (PlovLogger* logger = moduleLogger())
        logger->logFormat(4, "CDD7Render::postD3DReset (width %f, height %f)", static_cast<double>(width),
                          static_cast<double>(height));

    createScratchTexture(d_displayWidth, d_displayHeight);
    try {
        createBufferTexture();
    } catch (...) {
        // Stay prepared for the reset, so that the next call starts again.
        destroyAuxiliaryTextures();
        throw;
    }
    d_resetPending = false;

    // The new scratch and buffer textures are at the end of the registry and
    // are walked too. A texture whose surfaces were lost again while it
    // reloaded has met a passing loss: it reloads when it is next drawn.
    for (Texture* texture : d_textures) {
        auto* reloading = static_cast<CDDTexture*>(texture);
        try {
            reloading->recreateAfterReset();
        } catch (const std::exception&) {
            if (reloading->reloadMetLoss())
                continue;
            // Raised to the host: the streak is reported.
            reloading->d_streakReported = true;
            throw;
        }
    }
}

} // namespace ZorvUISystem
