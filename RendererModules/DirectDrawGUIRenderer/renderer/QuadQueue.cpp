// The render queue: quads in depth order, the buffered and direct render
// passes, and clearing.
#include <cstring>
#include <new>
#include <vector>

#include "diagnostics/Diagnostics.h"
#include "pixel/BlendKernels.h"
#include "renderer/CDDRender.h"
#include "renderer/Damage.h"
#include "renderer/FrameCounting.h"
#include "renderer/QuadGeometry.h"
#include "texture/CDDTexture.h"
#include "texture/SurfaceCalls.h"

namespace ZorvUISystem {

namespace {

const char* const kBufferUnrecoverable = "CDDRender::renderQueue -- More than 262144 quads since the last "
                                         "clearQueue: a lost buffer is cleared until then, not composed again.";

// The buffer texture's colour surface, or null.
IDirectDrawSurface* colourSurfaceOf(const CDDTexture* texture)
{
    return texture != nullptr ? texture->colourSurface() : nullptr;
}

} // namespace

namespace {

// Field by field: the colours come in two registers, and a copy of them as
// one piece would go through the stack and wait there (GCC's vectoriser
// joins the four stores into such a copy unless told not to).
#if defined(__GNUC__) && !defined(__clang__)
#define ZIV_STORES_AS_WRITTEN __attribute__((optimize("no-tree-slp-vectorize")))
#else
#define ZIV_STORES_AS_WRITTEN
#endif

void fill(QueuedQuad& slot, const FloatRect& destRect, float z, Texture* texture, const FloatRect& textureRect,
          const CornerColours& colours, uint32_t auxValue)
{
    slot.texture = texture;
    slot.destRect = destRect;
    slot.z = z;
    slot.textureRect = textureRect;
    slot.colours.topLeft = colours.topLeft;
    slot.colours.topRight = colours.topRight;
    slot.colours.bottomLeft = colours.bottomLeft;
    slot.colours.bottomRight = colours.bottomRight;
    slot.auxValue = auxValue;
}

} // namespace

ZIV_STORES_AS_WRITTEN void CDDRender::queueQuad(FloatRect destRect, float z, Texture* texture, FloatRect textureRect,
                                                CornerColours colours, uint32_t auxValue)
{
    // Called for every quad of every frame: queueing into free room is a few
    // stores, with no call before them.
    QueuedQuad* slot = d_queueingEnabled ? d_quadQueue.tryAppend(z) : nullptr;
    if (slot == nullptr) [[unlikely]] {
        queueWithRoom(destRect, z, texture, textureRect, colours, auxValue);
        return;
    }
    fill(*slot, destRect, z, texture, textureRect, colours, auxValue);
    // Blend mode 0 keeps a record of each quad composed: its room is taken
    // now, when there is none left.
    if (d_blendMode == 0 && d_bufferedQuads.size() + d_quadQueue.size() > d_bufferedQuads.capacity())
        reserveBufferedQuads();
}

void CDDRender::queueWithRoom(FloatRect destRect, float z, Texture* texture, FloatRect textureRect,
                              CornerColours colours, uint32_t auxValue)
{
    if (d_queueingEnabled) {
        fill(d_quadQueue.append(z), destRect, z, texture, textureRect, colours, auxValue);
        if (d_blendMode == 0)
            reserveBufferedQuads();
        return;
    }
    // Drawn at once onto the target, in buffered mode too. The target's clip
    // list is read once until the next renderQueue or clearQueue.
    if (d_damage != nullptr)
        d_damage->targetUnknown(d_targetSurface);
    ensureAuxiliaryTextures();
    drawQuad(d_targetSurface, QueuedQuad{texture, destRect, z, textureRect, colours, auxValue});
}

void CDDRender::reserveBufferedQuads()
{
    if (d_blendMode != 0 || d_bufferUnrecoverable)
        return;
    size_t needed = d_bufferedQuads.size() + d_quadQueue.size();
    if (needed > kMaxBufferedQuads)
        needed = kMaxBufferedQuads;
    const size_t capacity = d_bufferedQuads.capacity();
    if (needed <= capacity)
        return;
    const size_t grown = capacity < kMaxBufferedQuads / 2 ? 2 * capacity : kMaxBufferedQuads;
    try {
        d_bufferedQuads.reserve(grown > needed ? grown : needed);
    } catch (const std::bad_alloc&) {
        // The records only serve a lost buffer: without memory for them it
        // is cleared instead.
        dropBufferedQuads();
    }
}

void CDDRender::dropBufferedQuads()
{
    if (d_bufferUnrecoverable)
        return;
    d_bufferUnrecoverable = true;
    std::vector<QueuedQuad>().swap(d_bufferedQuads);
    logError(kBufferUnrecoverable);
}

void CDDRender::renderQueue()
{
    startFrameStatistics(d_frameStatistics, activeKernelLevelName());
    ++d_frameNumber;
    d_passSinceClear = true;
    d_lastPassQuads = d_quadQueue.size();
    ensureAuxiliaryTextures();
    d_clip.surface = nullptr;
    if (d_damage != nullptr) {
        renderDamaged();
        return;
    }

    if (d_bufferTexture == nullptr) {
        if (d_targetSurface == nullptr)
            return;
        for (const QueuedQuad& queued : d_quadQueue)
            drawQuad(d_targetSurface, queued);
        return;
    }

    // A buffer made since the last pass shows nothing yet of what it held.
    if (d_bufferStale || (d_bufferRetryPending && static_cast<int32_t>(d_frameNumber - d_bufferRetryFrame) >= 0))
        redrawBuffer();
    // The buffer keeps what is drawn into it until clearQueue, and so do its
    // records: a buffer that lost its pixels is composed again from them.
    // Room for the records was taken when the quads were queued.
    for (const QueuedQuad& queued : d_quadQueue) {
        drawQuad(colourSurfaceOf(d_bufferTexture), queued);
        if (d_bufferUnrecoverable)
            continue;
        if (d_bufferedQuads.size() < d_bufferedQuads.capacity())
            d_bufferedQuads.push_back(queued);
        else
            dropBufferedQuads();
    }
    d_quadQueue.clear();

    if (presentBuffer() == DDERR_SURFACELOST && d_bufferTexture != nullptr && d_bufferTexture->surfacesLost() &&
        mendAuxiliaryTexture(d_bufferTexture))
        presentBuffer();
}

HRESULT CDDRender::presentBuffer()
{
    IDirectDrawSurface* buffer = colourSurfaceOf(d_bufferTexture);
    if (d_targetSurface == nullptr || buffer == nullptr)
        return DD_OK;
    // Black buffer pixels are transparent: the buffer carries the black source
    // key from its creation. A target smaller than the display receives the
    // part that fits.
    RECT area = d_displayArea;
    RECT source = d_displayArea;
    RECT target;
    if (surfaceBounds(d_targetSurface, target) && !clipBlit(area, source, target, kUnboundedRect))
        return DD_OK;
    const HRESULT result = placeCopy(d_targetSurface, static_cast<DWORD>(area.left), static_cast<DWORD>(area.top),
                                     buffer, &source, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
    if (result >= 0)
        countPath(d_frameStatistics.bufferCopy, area);
    return result;
}

void CDDRender::clearQueue()
{
    if (!d_passSinceClear)
        ++d_frameNumber;
    d_passSinceClear = false;
    d_clip.surface = nullptr;
    d_quadQueue.clear();
    // The records' storage is kept for a frame like the last one; what a
    // larger run of frames took is given back.
    const size_t keep = 2 * d_lastPassQuads + 256;
    if (d_bufferedQuads.capacity() > keep)
        std::vector<QueuedQuad>().swap(d_bufferedQuads);
    else
        d_bufferedQuads.clear();
    d_bufferUnrecoverable = false;
    d_bufferStale = false;
    d_bufferRetryPending = false;
    // Damage-aware, the next pass composes the buffer where it changes.
    if (d_damage != nullptr && d_bufferTexture != nullptr) {
        d_bufferClearPending = true;
        return;
    }
    emptyBuffer();
}

void CDDRender::emptyBuffer()
{
    d_bufferClearPending = false;
    // A busy blitter is waited for; a lost buffer is mended, and is black
    // then.
    const HRESULT cleared = clearBuffer();
    // A buffer that kept pixels no record tells of: no target shows it known.
    if (cleared < 0 && d_damage != nullptr)
        d_damage->forgetTargets();
    if (cleared == DDERR_SURFACELOST && d_bufferTexture->surfacesLost())
        mendAuxiliaryTexture(d_bufferTexture);
}

void CDDRender::forgetQueuedQuads(const Texture* texture)
{
    if (texture == nullptr)
        return;
    d_quadQueue.eraseIf([texture](const QueuedQuad& queued) { return queued.texture == texture; });
}

} // namespace ZorvUISystem
