// The render queue: quads in depth order, the buffered and direct render
// passes, and clearing.
#include <cstring>

#include "pixel/BlendKernels.h"
#include "renderer/CDDRender.h"
#include "renderer/FrameCounting.h"
#include "renderer/QuadGeometry.h"
#include "texture/CDDTexture.h"

namespace ZorvUISystem {

namespace {

// The buffer texture's colour surface, or null.
IDirectDrawSurface* colourSurfaceOf(const CDDTexture* texture)
{
    return texture != nullptr ? texture->colourSurface() : nullptr;
}

} // namespace

void CDDRender::queueQuad(FloatRect destRect, float z, Texture* texture, FloatRect textureRect, CornerColours colours,
                          uint32_t auxValue)
{
    const QueuedQuad quad{texture, destRect, z, textureRect, colours, auxValue};
    if (d_queueingEnabled) {
        d_quadQueue.push(quad);
        return;
    }
    // Drawn at once onto the target, in buffered mode too.
    ensureAuxiliaryTextures();
    drawQuad(d_targetSurface, quad);
}

void CDDRender::renderQueue()
{
    startFrameStatistics(d_frameStatistics, activeKernelLevelName());
    ensureAuxiliaryTextures();

    if (d_bufferTexture == nullptr) {
        if (d_targetSurface == nullptr)
            return;
        for (const QueuedQuad& queued : d_quadQueue)
            drawQuad(d_targetSurface, queued);
        return;
    }

    // A failed reload raises out of drawQuad before the queue is emptied.
    for (const QueuedQuad& queued : d_quadQueue)
        drawQuad(colourSurfaceOf(d_bufferTexture), queued);
    d_quadQueue.clear();

    IDirectDrawSurface* buffer = colourSurfaceOf(d_bufferTexture);
    if (d_targetSurface == nullptr || buffer == nullptr)
        return;
    // Black buffer pixels are transparent: the buffer carries the black source
    // key from its creation. A target smaller than the display receives the
    // part that fits.
    RECT area = d_displayArea;
    RECT source = d_displayArea;
    RECT target;
    if (surfaceBounds(d_targetSurface, target) && !clipBlit(area, source, target, kUnboundedRect))
        return;
    if (d_targetSurface->BltFast(area.left, area.top, buffer, &source, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT) >= 0)
        countPath(d_frameStatistics.bufferCopy, area);
}

void CDDRender::clearQueue()
{
    d_quadQueue.clear();
    IDirectDrawSurface* buffer = colourSurfaceOf(d_bufferTexture);
    if (buffer == nullptr)
        return;
    // Without the wait flag: a busy buffer is left as it was.
    DDBLTFX effects;
    std::memset(&effects, 0, sizeof(effects));
    effects.dwSize = sizeof(DDBLTFX);
    effects.dwFillColor = 0;
    buffer->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &effects);
}

void CDDRender::forgetQueuedQuads(const Texture* texture)
{
    if (texture == nullptr)
        return;
    d_quadQueue.eraseIf([texture](const QueuedQuad& queued) { return queued.texture == texture; });
}

} // namespace ZorvUISystem
