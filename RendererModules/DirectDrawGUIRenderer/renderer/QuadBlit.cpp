// The quad blit: one queued quad onto one DirectDraw surface, by a plain
// DirectDraw copy, a tinted copy through the scratch texture, or a software
// blend in locked surface memory.
#include <cstddef>
#include <cstring>
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

// What drawQuad has worked out about one quad.
struct QuadDraw {
    IDirectDrawSurface* destination;
    CDDTexture* texture;
    RECT dest;   // on the destination surface
    RECT source; // on the texture's colour surface
    bool stretch;
    bool texelAlpha;   // soft edges: blended by each texel's alpha
    bool opaqueTexels; // stretched soft edges whose texels are all opaque: no alpha stretch
    uint32_t alpha;
    uint32_t red;
    uint32_t green;
    uint32_t blue;
};

namespace {

const char* const kBlendStretchFailed = "with alpha blend strecth blt source surface error";
const char* const kCopyStretchFailed = "with out alpha blend strecth blt source surface error";

// The per-channel average of the four corner colours; shift selects the
// channel (24 alpha, 16 red, 8 green, 0 blue).
uint32_t averageChannel(const CornerColours& colours, unsigned shift)
{
    const uint32_t sum = ((colours.topLeft >> shift) & 0xFFu) + ((colours.topRight >> shift) & 0xFFu) +
                         ((colours.bottomLeft >> shift) & 0xFFu) + ((colours.bottomRight >> shift) & 0xFFu);
    return sum >> 2;
}

DDBLTFX effectsRecord()
{
    DDBLTFX effects;
    std::memset(&effects, 0, sizeof(effects));
    effects.dwSize = sizeof(DDBLTFX);
    return effects;
}

// The part of a locked surface a kernel may touch, in pixels of
// bytesPerPixel bytes: the rows' pixel bytes, never the pitch padding. The
// kernels treat both surfaces as having the texture's layout, so a surface of
// another depth holds a different number of such pixels per row.
RECT lockedExtent(const DDSURFACEDESC& desc, uint32_t bytesPerPixel)
{
    if (desc.lpSurface == nullptr || desc.lPitch <= 0)
        return RECT{0, 0, 0, 0};
    const uint32_t bits = desc.ddpfPixelFormat.dwRGBBitCount;
    uint64_t rowBytes = bits != 0 ? uint64_t{desc.dwWidth} * bits / 8 : uint64_t{desc.dwWidth} * bytesPerPixel;
    if (rowBytes > static_cast<uint64_t>(desc.lPitch))
        rowBytes = static_cast<uint64_t>(desc.lPitch);
    return RECT{0, 0, saturatedEdge(rowBytes / bytesPerPixel), saturatedEdge(desc.dwHeight)};
}

// Moves a locked description's first-pixel pointer to (x, y).
void pointAt(DDSURFACEDESC& desc, LONG x, LONG y, uint32_t bytesPerPixel)
{
    desc.lpSurface = static_cast<uint8_t*>(desc.lpSurface) + static_cast<std::ptrdiff_t>(y) * desc.lPitch +
                     static_cast<std::ptrdiff_t>(x) * bytesPerPixel;
}

// Gives the scratch surface the source colour key of the texture's colour
// surface, for a keyed copy from the scratch.
void copyColourKey(IDirectDrawSurface* from, IDirectDrawSurface* to)
{
    DDCOLORKEY key = {0, 0};
    from->GetColorKey(DDCKEY_SRCBLT, &key);
    to->SetColorKey(DDCKEY_SRCBLT, &key);
}

// The fill colour of a tinted copy and the key that marks the texture's white
// texels, by the texture's pixel mode; false for modes that are not tinted.
bool tintColours(const CDDTexture& texture, const QuadDraw& draw, uint32_t& fill, uint32_t& key)
{
    const uint32_t r = draw.red;
    const uint32_t g = draw.green;
    const uint32_t b = draw.blue;
    switch (texture.rgbMode()) {
    case DDS_RGBMODE_555:
        fill = (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
        key = 0x7FFF;
        return true;
    case DDS_RGBMODE_565:
        fill = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
        key = 0xFFFF;
        return true;
    case DDS_RGBMODE_24:
        fill = r << 16 | g << 8 | b;
        key = 0xFFFFFF;
        return true;
    case DDS_RGBMODE_32:
        if (texture.alphaSurface() != texture.colourSurface()) {
            fill = r << 16 | g << 8 | b;
            key = 0xFFFFFF;
        } else {
            fill = 0xFF000000u | r << 16 | g << 8 | b;
            key = 0xFFFFFFFFu;
        }
        return true;
    default:
        return false;
    }
}

// Where a quad may land on a destination surface: on the surface and on the
// display (the scratch texture, through which some copies go, is
// display-sized). A surface that does not tell its size is taken to be
// display-sized.
RECT destinationLimit(IDirectDrawSurface* surface, const RECT& displayArea)
{
    RECT bounds;
    return surfaceBounds(surface, bounds) ? intersectRects(bounds, displayArea) : displayArea;
}

// The rectangle of a texture's colour surface.
RECT textureLimit(const CDDTexture* texture, const CDDTexture* scratch, const RECT& displayArea)
{
    if (texture == scratch)
        return displayArea;
    if (texture->getWidth() == 0 || texture->getHeight() == 0)
        return kUnboundedRect;
    return RECT{0, 0, saturatedEdge(texture->getWidth()), saturatedEdge(texture->getHeight())};
}

// Counts a DirectDraw copy by the result of its last blit: stretched,
// keyed or plain, or skipped when DirectDraw refused it.
void countCopy(FrameStatistics& statistics, const QuadDraw& draw, HRESULT result, bool keyed)
{
    if (result < 0)
        countSkip(statistics, failureReason(result, FrameStatistics::SKIP_FAILED_BLIT));
    else if (draw.stretch)
        countPath(statistics.stretchedCopy, draw.dest);
    else
        countPath(keyed ? statistics.keyedCopy : statistics.plainCopy, draw.dest);
}

// The kernel for a quad on the blend path: by its colour, the blend mode and
// the processor.
FrameStatistics::Kernel chooseKernel(const QuadDraw& draw, bool hasMmx, int32_t blendMode)
{
    if (draw.red != 255 || draw.green != 255 || draw.blue != 255)
        return FrameStatistics::KERNEL_MODULATED;
    if (hasMmx && blendMode == 1)
        return FrameStatistics::KERNEL_HALF_VECTOR;
    if (hasMmx && blendMode == 2)
        return FrameStatistics::KERNEL_ALPHA;
    return FrameStatistics::KERNEL_HALF;
}

// Blends S onto D, both descriptions pointing at their first pixels.
void runKernel(FrameStatistics::Kernel kernel, const QuadDraw& draw, DDSURFACEDESC& source, DDSURFACEDESC& dest,
               const RECT& d, const RECT& s, uint32_t mode)
{
    switch (kernel) {
    case FrameStatistics::KERNEL_MODULATED:
        blendModulated(&source, &dest, d.left, d.top, &s, static_cast<int32_t>(draw.alpha), mode, draw.red, draw.green,
                       draw.blue);
        break;
    case FrameStatistics::KERNEL_HALF_VECTOR:
        blendHalfMmx(&source, &dest, d.left, d.top, &s, mode);
        break;
    case FrameStatistics::KERNEL_ALPHA:
        blendAlphaMmx(&source, &dest, d.left, d.top, &s, static_cast<int32_t>(draw.alpha), mode);
        break;
    default:
        blendHalf(&source, &dest, d.left, d.top, &s, mode);
        break;
    }
}

// Whether every texel of a texture's alpha surface in r has alpha 255, looked at only
// where r is stretched to at least four times its area (so that the look
// costs less than the alpha stretch it saves). A failed lock is handed on
// in locked.
bool texelsOpaque(IDirectDrawSurface* alpha, uint32_t rgbMode, const RECT& r, const RECT& dest, HRESULT& locked)
{
    const uint64_t area = uint64_t(r.right - r.left) * uint64_t(r.bottom - r.top);
    const uint64_t destArea = uint64_t(dest.right - dest.left) * uint64_t(dest.bottom - dest.top);
    const uint32_t bytes = bytesPerPixel(rgbMode);
    if (bytes == 0 || alpha == nullptr || r.left < 0 || r.top < 0 || area == 0 || area * 4 > destArea)
        return false;
    DDSURFACEDESC desc = lockDescription(DDSD_PITCH | DDSD_LPSURFACE);
    locked = alpha->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    if (locked != 0)
        return false;
    const RECT extent = lockedExtent(desc, bytes);
    const uint32_t bits = desc.ddpfPixelFormat.dwRGBBitCount;
    bool opaque = (bits == 0 || bits == bytes * 8) && r.right <= extent.right && r.bottom <= extent.bottom;
    // The texel's alpha: byte 3 of a 32-bit alpha pixel, else byte 0.
    const auto* first = static_cast<const uint8_t*>(desc.lpSurface) + size_t(r.left) * bytes + (bytes == 4 ? 3 : 0);
    const size_t width = size_t(r.right - r.left);
    for (LONG y = r.top; opaque && y < r.bottom; ++y) {
        const uint8_t* row = first + static_cast<std::ptrdiff_t>(y) * desc.lPitch;
        for (size_t x = 0; x < width; ++x)
            if (row[x * bytes] != 0xFF) {
                opaque = false;
                break;
            }
    }
    alpha->Unlock(nullptr);
    return opaque;
}

// Counts a skipped quad and hands on the result that made it skip.
HRESULT skipped(FrameStatistics& statistics, FrameStatistics::SkipReason reason, HRESULT result = DD_OK)
{
    countSkip(statistics, reason);
    return result;
}

} // namespace

HRESULT CDDRender::drawQuad(IDirectDrawSurface* surface, const QueuedQuad& quad)
{
    const HRESULT first = drawQuadOnce(surface, quad);
    HRESULT result = first;
    const bool toBuffer = d_bufferTexture != nullptr && surface == d_bufferTexture->colourSurface();
    if (result == DDERR_SURFACELOST || result == DDERR_INVALIDPIXELFORMAT) {
        // A surface went while the quad was drawn, or the scratch or buffer
        // is still in a format the display has left: once the texture's and
        // the renderer's own surfaces are back, the quad is drawn again.
        const bool mended = result == DDERR_SURFACELOST
                                ? mendLostSurfaces(static_cast<CDDTexture*>(quad.texture), toBuffer)
                                : mendStaleFormats(toBuffer);
        if (mended)
            result = drawQuadOnce(!toBuffer         ? surface
                                  : d_bufferTexture ? d_bufferTexture->colourSurface()
                                                    : nullptr,
                                  quad);
    }
    if (!toBuffer)
        return first;
    // The buffer keeps what is drawn into it. A quad it still lacks is there
    // once a later pass composes it again: the next one after a surface was
    // lost again meanwhile, the one that retries a texture waiting to reload.
    if (result == DDERR_SURFACELOST)
        d_bufferStale = true;
    const auto* texture = static_cast<const CDDTexture*>(quad.texture);
    if (texture != nullptr && texture->awaitingReload() &&
        (!d_bufferRetryPending || static_cast<int32_t>(texture->retryFrame() - d_bufferRetryFrame) < 0)) {
        d_bufferRetryPending = true;
        d_bufferRetryFrame = texture->retryFrame();
    }
    return first;
}

HRESULT CDDRender::drawQuadOnce(IDirectDrawSurface* surface, const QueuedQuad& quad)
{
    QuadDraw draw{};
    draw.dest = truncateRect(quad.destRect);

    // Without a buffer, quads that miss the display are dropped at once.
    if (d_bufferTexture == nullptr) {
        RECT meet;
        IntersectRect(&meet, &draw.dest, &d_displayArea);
        if (IsRectEmpty(&meet))
            return skipped(d_frameStatistics, FrameStatistics::SKIP_OFF_DISPLAY);
    }
    if (surface == nullptr || quad.texture == nullptr)
        return skipped(d_frameStatistics, FrameStatistics::SKIP_NO_TEXTURE);
    auto* texture = static_cast<CDDTexture*>(quad.texture);
    if (texture->d_ddtexture[0] == nullptr) {
        texture->reloadForDrawing();
        if (texture->d_ddtexture[0] == nullptr)
            return skipped(d_frameStatistics, FrameStatistics::SKIP_NO_TEXTURE);
    }
    // Pixels that went with a lost surface and have no source draw nothing.
    if (texture->pixelsLost())
        return skipped(d_frameStatistics, FrameStatistics::SKIP_LOST_SURFACE);

    bool lost = texture->d_ddtexture[0]->IsLost() == DDERR_SURFACELOST;
    if (!lost && texture->d_ddtexture[1] != nullptr)
        lost = texture->d_ddtexture[1]->IsLost() == DDERR_SURFACELOST;
    if (lost && !texture->recoverFromLoss())
        return skipped(d_frameStatistics, FrameStatistics::SKIP_LOST_SURFACE);

    draw.destination = surface;
    draw.texture = texture;
    draw.source = truncateRect(quad.textureRect);
    draw.alpha = averageChannel(quad.colours, 24);
    draw.red = averageChannel(quad.colours, 16);
    draw.green = averageChannel(quad.colours, 8);
    draw.blue = averageChannel(quad.colours, 0);
    if (draw.alpha == 0)
        return skipped(d_frameStatistics, FrameStatistics::SKIP_TRANSPARENT);
    if (d_blendMode == 0)
        draw.alpha = 255;
    draw.stretch = isStretched(draw.dest, draw.source);

    const bool opaqueWhite = draw.red == 255 && draw.green == 255 && draw.blue == 255 && draw.alpha == 255;
    draw.texelAlpha = d_softEdges && d_blendMode != 0 && texture->d_hasAlpha && texture->d_ddtexture[1] != nullptr &&
                      texture->d_rgbMode <= DDS_RGBMODE_32;
    if (d_blendMode != 0 && (!opaqueWhite || draw.texelAlpha))
        return blendQuad(draw);
    return copyQuad(draw);
}

HRESULT CDDRender::blendQuad(QuadDraw& draw)
{
    CDDTexture* scratch = d_scratchTexture;
    IDirectDrawSurface* scratchColour = scratch != nullptr ? scratch->d_ddtexture[0] : nullptr;
    CDDTexture* inUse = draw.texture;

    // The kernels never scale: a stretched quad is first stretched into the
    // display-sized scratch, where it lands at its destination position.
    if (draw.stretch) {
        if (scratchColour == nullptr)
            return skipped(d_frameStatistics, FrameStatistics::SKIP_NO_SCRATCH);
        if (!clipBlit(draw.dest, draw.source, d_displayArea, textureLimit(inUse, scratch, d_displayArea)))
            return skipped(d_frameStatistics, FrameStatistics::SKIP_OFF_DISPLAY);
        HRESULT result = DD_OK;
        if (draw.texelAlpha || !stretchFromCache(draw.destination, *inUse, draw.dest, draw.source, result))
            result = scratchColour->Blt(&draw.dest, inUse->d_ddtexture[0], &draw.source, DDBLT_WAIT, nullptr);
        if (result < 0) {
            reportDirectDrawError(kBlendStretchFailed, result);
            return skipped(d_frameStatistics, failureReason(result, FrameStatistics::SKIP_FAILED_BLIT), result);
        }
        HRESULT alphaResult = DD_OK;
        if (draw.texelAlpha && !stretchTexelAlpha(draw, inUse, alphaResult))
            return alphaResult;
        scratch->d_rgbMode = inUse->d_rgbMode;
        inUse = scratch;
        draw.source = draw.dest;
    }
    IDirectDrawSurface* source = inUse->d_ddtexture[0];

    // 8-bit textures have no layout the kernels know: copied by DirectDraw,
    // without colour or alpha.
    if (inUse->d_rgbMode == DDS_RGBMODE_NONE) {
        const RECT limit = destinationLimit(draw.destination, d_displayArea);
        if (!clipBlit(draw.dest, draw.source, limit, textureLimit(inUse, scratch, d_displayArea)))
            return skipped(d_frameStatistics, FrameStatistics::SKIP_OFF_DISPLAY);
        const RECT& d = draw.dest;
        HRESULT result = DD_OK;
        if (inUse->d_hasAlpha) {
            if (scratchColour == nullptr)
                return skipped(d_frameStatistics, FrameStatistics::SKIP_NO_SCRATCH);
            scratchColour->Blt(&draw.dest, source, &draw.source, DDBLT_WAIT, nullptr);
            scratch->d_rgbMode = inUse->d_rgbMode;
            copyColourKey(source, scratchColour);
            RECT scratchRect = d;
            result = placeCopy(draw.destination, static_cast<DWORD>(d.left), static_cast<DWORD>(d.top), scratchColour,
                               &scratchRect, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        } else {
            result = placeBlt(draw.destination, &draw.dest, source, &draw.source, DDBLT_WAIT, nullptr);
        }
        countCopy(d_frameStatistics, draw, result, inUse->d_hasAlpha);
        return result;
    }

    // A lock ignores the destination's clipper, which blits honour: only the
    // parts of D that its clip list shows are blended. The list is read once
    // per pass, never while a surface is locked. With damage-aware frames, only
    // the damaged parts of those.
    const std::vector<RECT>* shown = clipList(draw.destination);
    const std::vector<RECT>* visible = damageClip(draw.destination, shown);
    DDSURFACEDESC destDesc = lockDescription(DDSD_PITCH | DDSD_LPSURFACE);
    const HRESULT destLocked = draw.destination->Lock(nullptr, &destDesc, DDLOCK_WAIT, nullptr);
    if (destLocked != 0)
        return skipped(d_frameStatistics, failureReason(destLocked, FrameStatistics::SKIP_FAILED_LOCK), destLocked);
    DDSURFACEDESC sourceDesc = lockDescription(DDSD_PITCH | DDSD_LPSURFACE);
    const HRESULT sourceLocked = source->Lock(nullptr, &sourceDesc, DDLOCK_WAIT, nullptr);
    if (sourceLocked != 0) {
        draw.destination->Unlock(nullptr);
        return skipped(d_frameStatistics, failureReason(sourceLocked, FrameStatistics::SKIP_FAILED_LOCK), sourceLocked);
    }

    // Soft edges read the alpha surface too; locked third, unlocked last.
    IDirectDrawSurface* alphaSurface = draw.texelAlpha && !draw.opaqueTexels ? inUse->d_ddtexture[1] : nullptr;
    const bool alphaLocked = alphaSurface != nullptr && alphaSurface != source;
    DDSURFACEDESC alphaDesc = sourceDesc;
    if (alphaLocked) {
        alphaDesc = lockDescription(DDSD_PITCH | DDSD_LPSURFACE);
        const HRESULT locked = alphaSurface->Lock(nullptr, &alphaDesc, DDLOCK_WAIT, nullptr);
        if (locked != 0) {
            draw.destination->Unlock(nullptr);
            source->Unlock(nullptr);
            return skipped(d_frameStatistics, failureReason(locked, FrameStatistics::SKIP_FAILED_LOCK), locked);
        }
    }

    const uint32_t mode = inUse->d_rgbMode;
    const uint32_t bytes = bytesPerPixel(mode);
    // No kernel reads or writes outside the locked surfaces.
    if (bytes == 0 || alphaDesc.ddpfPixelFormat.dwRGBBitCount != sourceDesc.ddpfPixelFormat.dwRGBBitCount) {
        countSkip(d_frameStatistics, FrameStatistics::SKIP_UNSUPPORTED_MODE);
    } else if (!clipBlit(draw.dest, draw.source, intersectRects(lockedExtent(destDesc, bytes), d_displayArea),
                         intersectRects(lockedExtent(sourceDesc, bytes), lockedExtent(alphaDesc, bytes)))) {
        countSkip(d_frameStatistics, FrameStatistics::SKIP_OFF_DISPLAY);
    } else {
        const FrameStatistics::Kernel kernel = chooseKernel(draw, d_hasMmx, d_blendMode);
        // The kernels read and write both surfaces in the texture's pixels, and
        // the rectangles are in the destination's: onto a destination of
        // another pixel size (textures a host asked for in 16 bits on a deeper
        // display), a blend would land at the wrong place, so none is made.
        const uint32_t destBits = destDesc.ddpfPixelFormat.dwRGBBitCount;
        const bool sameSize = destBits == 0 || destBits == bytes * 8;
        const size_t pieces = !sameSize ? 0 : visible == nullptr ? 1 : visible->size();
        size_t blended = 0;
        for (size_t i = 0; i < pieces; ++i) {
            RECT d = visible != nullptr ? intersectRects(draw.dest, (*visible)[i]) : draw.dest;
            if (d.left >= d.right || d.top >= d.bottom)
                continue;
            ++blended;
            // A piece of the damage is blended as the whole quad blends it.
            const KeptEdges kept(d_damage.get(), visible != shown, destDesc, d, draw.dest, bytes);
            const RECT s = {draw.source.left + (d.left - draw.dest.left), draw.source.top + (d.top - draw.dest.top),
                            draw.source.left + (d.right - draw.dest.left),
                            draw.source.top + (d.bottom - draw.dest.top)};
            DDSURFACEDESC destPiece = destDesc;
            DDSURFACEDESC sourcePiece = sourceDesc;
            pointAt(destPiece, d.left, d.top, bytes);
            pointAt(sourcePiece, s.left, s.top, bytes);
            if (draw.texelAlpha) {
                DDSURFACEDESC alphaPiece = alphaDesc;
                pointAt(alphaPiece, s.left, s.top, bytes);
                if (draw.opaqueTexels) {
                    // One row of opaque alpha pixels serves every row.
                    const size_t rowBytes = size_t(s.right - s.left) * bytes;
                    if (d_opaqueAlphaRow.size() < rowBytes)
                        d_opaqueAlphaRow.assign(rowBytes, 0xFF);
                    alphaPiece.lpSurface = d_opaqueAlphaRow.data();
                    alphaPiece.lPitch = 0;
                }
                blendTexelAlpha(&sourcePiece, &alphaPiece, &destPiece, d.left, d.top, &s,
                                static_cast<int32_t>(draw.alpha), mode, draw.red, draw.green, draw.blue);
            } else {
                runKernel(kernel, draw, sourcePiece, destPiece, d, s, mode);
            }
        }
        if (blended != 0) {
            countPath(draw.texelAlpha ? d_frameStatistics.texelAlphaBlend[mode] : d_frameStatistics.blend[kernel][mode],
                      draw.dest);
            if (draw.stretch)
                countPath(d_frameStatistics.stretchedBlend, draw.dest);
        } else {
            // Hidden by the clip list, or clipped in another pixel size.
            countSkip(d_frameStatistics,
                      sameSize ? FrameStatistics::SKIP_OFF_DISPLAY : FrameStatistics::SKIP_UNSUPPORTED_MODE);
        }
    }
    draw.destination->Unlock(nullptr);
    source->Unlock(nullptr);
    if (alphaLocked)
        alphaSurface->Unlock(nullptr);
    return DD_OK;
}

bool CDDRender::stretchTexelAlpha(QuadDraw& draw, CDDTexture* texture, HRESULT& result)
{
    IDirectDrawSurface* scratchAlpha = d_scratchTexture->d_ddtexture[1];
    if (scratchAlpha == nullptr || scratchAlpha == d_scratchTexture->d_ddtexture[0]) {
        skipped(d_frameStatistics, FrameStatistics::SKIP_NO_SCRATCH);
        return false;
    }
    // All opaque: the blend reads a row of opaque alpha instead, which gives
    // the same pixels as the stretched alpha would.
    HRESULT locked = DD_OK;
    draw.opaqueTexels = texelsOpaque(texture->d_ddtexture[1], texture->d_rgbMode, draw.source, draw.dest, locked);
    if (locked != 0) {
        result = locked;
        skipped(d_frameStatistics, failureReason(locked, FrameStatistics::SKIP_FAILED_LOCK), locked);
        return false;
    }
    if (draw.opaqueTexels)
        return true;
    result = scratchAlpha->Blt(&draw.dest, texture->d_ddtexture[1], &draw.source, DDBLT_WAIT, nullptr);
    if (result < 0) {
        reportDirectDrawError(kBlendStretchFailed, result);
        skipped(d_frameStatistics, failureReason(result, FrameStatistics::SKIP_FAILED_BLIT), result);
        return false;
    }
    return true;
}

HRESULT CDDRender::copyQuad(QuadDraw& draw)
{
    CDDTexture* texture = draw.texture;
    IDirectDrawSurface* colour = texture->d_ddtexture[0];
    CDDTexture* scratch = d_scratchTexture;
    IDirectDrawSurface* scratchColour = scratch != nullptr ? scratch->d_ddtexture[0] : nullptr;

    // DirectDraw refuses rectangles that reach off a surface: clip, so that a
    // quad partly off the display shows its visible part.
    if (!clipBlit(draw.dest, draw.source, destinationLimit(draw.destination, d_displayArea),
                  textureLimit(texture, scratch, d_displayArea)))
        return skipped(d_frameStatistics, FrameStatistics::SKIP_OFF_DISPLAY);
    RECT& d = draw.dest;
    RECT& s = draw.source;
    // Held to the damage, an unstretched copy is staged on the scratch only
    // where the damage reaches: the same texels land on the same pixels.
    if (!draw.stretch && !cutToDamage(draw.destination, d, s))
        return DD_OK;
    const DWORD x = static_cast<DWORD>(d.left);
    const DWORD y = static_cast<DWORD>(d.top);

    // Tinted copy: the quad's colour is filled in at D on the scratch, the
    // texture is copied over it except its white texels, and the result goes
    // onto the destination except its black pixels.
    const bool white = draw.red == 255 && draw.green == 255 && draw.blue == 255;
    uint32_t fill = 0;
    uint32_t key = 0;
    if (texture->d_memoryTexture && !white && scratchColour != nullptr && tintColours(*texture, draw, fill, key)) {
        DDBLTFX effects = effectsRecord();
        effects.dwFillColor = fill;
        effects.ddckSrcColorkey.dwColorSpaceLowValue = key;
        effects.ddckSrcColorkey.dwColorSpaceHighValue = key;
        HRESULT tinted = scratchColour->Blt(&d, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
        if (tinted >= 0)
            tinted = scratchColour->Blt(&d, colour, &s, DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT, &effects);
        if (tinted >= 0) {
            effects.ddckSrcColorkey.dwColorSpaceLowValue = 0;
            effects.ddckSrcColorkey.dwColorSpaceHighValue = 0;
            RECT scratchRect = d;
            tinted = placeBlt(draw.destination, &d, scratchColour, &scratchRect, DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT,
                              &effects);
            if (tinted >= 0) {
                countPath(d_frameStatistics.tintedCopy, d);
                return DD_OK;
            }
        }
        // A lost surface, or a scratch left in the display's old format, is
        // mended and the quad tinted again: the plain copy would draw it
        // white, and nothing would mend the scratch. Other refusals get the
        // plain copy.
        const bool mendable = tinted == DDERR_SURFACELOST
                                  ? scratch->surfacesLost() || texture->surfacesLost() || surfaceLost(draw.destination)
                                  : tinted == DDERR_INVALIDPIXELFORMAT && auxiliaryFormatStale(scratch);
        if (mendable)
            return skipped(d_frameStatistics, failureReason(tinted, FrameStatistics::SKIP_FAILED_BLIT), tinted);
    }

    // Plain copy.
    HRESULT result = DD_OK;
    if (texture->d_hasAlpha) {
        if (draw.stretch) {
            if (scratchColour == nullptr)
                return skipped(d_frameStatistics, FrameStatistics::SKIP_NO_SCRATCH);
            // Held to the damage, the kept stretch is copied from where it is.
            if (IDirectDrawSurface* kept = keptStretch(draw.destination, *texture, d, s)) {
                copyColourKey(colour, kept);
                RECT keptRect = {0, 0, d.right - d.left, d.bottom - d.top};
                result = placeCopy(draw.destination, x, y, kept, &keptRect, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
                countCopy(d_frameStatistics, draw, result, true);
                return result;
            }
            result = scratchColour->Blt(&d, colour, &s, DDBLT_WAIT, nullptr);
            if (result < 0) {
                reportDirectDrawError(kCopyStretchFailed, result);
                return skipped(d_frameStatistics, failureReason(result, FrameStatistics::SKIP_FAILED_BLIT), result);
            }
            scratch->d_rgbMode = texture->d_rgbMode;
            copyColourKey(colour, scratchColour);
            RECT scratchRect = d;
            result =
                placeCopy(draw.destination, x, y, scratchColour, &scratchRect, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        } else {
            result = placeCopy(draw.destination, x, y, colour, &s, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        }
    } else if (draw.stretch) {
        if (IDirectDrawSurface* kept = keptStretch(draw.destination, *texture, d, s)) {
            RECT keptRect = {0, 0, d.right - d.left, d.bottom - d.top};
            result = placeCopy(draw.destination, x, y, kept, &keptRect, DDBLTFAST_WAIT);
        } else {
            result = placeBlt(draw.destination, &d, colour, &s, DDBLT_WAIT, nullptr);
        }
    } else {
        result = placeCopy(draw.destination, x, y, colour, &s, DDBLTFAST_WAIT);
    }
    countCopy(d_frameStatistics, draw, result, texture->d_hasAlpha);
    return result;
}

} // namespace ZorvUISystem
