// Damage-aware frames: the render pass that redraws only what changed since
// the last pass drawn onto the same target, and the copies that keep the quad
// blit inside the damage while it does.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "pixel/RgbMode.h"
#include "renderer/CDDRender.h"
#include "renderer/Damage.h"
#include "renderer/FrameCounting.h"
#include "renderer/QuadGeometry.h"
#include "texture/CDDTexture.h"
#include "texture/SurfaceCalls.h"

namespace ZorvUISystem {

namespace {

bool emptyRect(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

bool sameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool overlaps(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

IDirectDrawSurface* colourOf(const CDDTexture* texture)
{
    return texture != nullptr ? texture->colourSurface() : nullptr;
}

uint64_t versionOf(const CDDTexture* texture)
{
    return texture != nullptr ? texture->contentVersion() : 0;
}

// A texture that drawing mends (its surfaces were lost) or loads (it has
// none, and a reload is due): it draws other pixels than its version says,
// maybe in another pixel format.
bool changesWhenDrawn(const CDDTexture& texture)
{
    return texture.colourSurface() == nullptr ? texture.reloadsWhenDrawn() : texture.surfacesLost();
}

// The pixel layout of a surface, as DirectDraw describes it.
RgbMode surfaceMode(IDirectDrawSurface* surface)
{
    if (surface == nullptr)
        return DDS_RGBMODE_UNSUPPORTED;
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (surface->GetSurfaceDesc(&desc) != DD_OK)
        return DDS_RGBMODE_UNSUPPORTED;
    return GetRGBMode(desc);
}

// Whether a quad's destination, as queued, lies a pixel or more away from
// a box on some side: then its truncated rectangle does not meet the box
// either (truncation moves a coordinate by less than one). Compared in
// doubles, which hold both exactly; a coordinate that is not a number tells
// nothing. Quads blended along whole rows are tested by their rows only.
class FarFrom {
public:
    explicit FarFrom(const RECT& box)
        : d_left(double(box.left) - 1), d_top(double(box.top) - 1), d_right(double(box.right) + 1),
          d_bottom(double(box.bottom) + 1)
    {
    }
    bool operator()(const SceneQuad& quad) const
    {
        const bool rows = double(quad.dest.bottom) <= d_top || double(quad.dest.top) >= d_bottom;
        const bool columns = double(quad.dest.right) <= d_left || double(quad.dest.left) >= d_right;
        return rows || (columns && (quad.flags & kWholeRows) == 0);
    }

private:
    double d_left, d_top, d_right, d_bottom;
};

// Drawing is held to the damage only while the pass runs, also when a quad
// raises out of it.
class ClipScope {
public:
    ClipScope(DamageState& damage, IDirectDrawSurface* target) : d_damage(damage)
    {
        d_damage.setClippedSurface(target);
    }
    ~ClipScope() { d_damage.setClippedSurface(nullptr); }
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

private:
    DamageState& d_damage;
};

// The damage state looks at one buffer of the host's flip chain at a time;
// the module's own buffer is one surface whatever the host's chain.
class SlotScope {
public:
    SlotScope(DamageState& damage, uint32_t slot) : d_damage(damage), d_saved(damage.slot())
    {
        d_damage.setBufferSlot(slot);
    }
    ~SlotScope() { d_damage.setBufferSlot(d_saved); }
    SlotScope(const SlotScope&) = delete;
    SlotScope& operator=(const SlotScope&) = delete;

private:
    DamageState& d_damage;
    uint32_t d_saved;
};

} // namespace

void CDDRender::setDamageTracking(bool enabled)
{
    if (!enabled) {
        d_damage.reset();
        // The buffer waited for the next pass to be cleared.
        if (d_bufferClearPending)
            emptyBuffer();
    } else if (d_damage == nullptr)
        d_damage = std::make_unique<DamageState>();
}

void CDDRender::setSoftEdges(bool enabled)
{
    // Translucent quads blend otherwise from now on: no target shows what
    // they would draw.
    if (enabled != d_softEdges && d_damage != nullptr)
        d_damage->forgetTargets();
    d_softEdges = enabled;
}

void CDDRender::renderDamaged()
{
    DamageState& damage = *d_damage;

    // New auxiliary textures: a device reset came, after which no target
    // can be taken to show what was drawn before.
    const uint64_t auxiliary[2] = {versionOf(d_scratchTexture), versionOf(d_bufferTexture)};
    if (auxiliary[0] != damage.auxiliaryVersions[0] || auxiliary[1] != damage.auxiliaryVersions[1])
        damage.forgetTargets();
    damage.auxiliaryVersions[0] = auxiliary[0];
    damage.auxiliaryVersions[1] = auxiliary[1];

    const bool buffered = d_bufferTexture != nullptr;
    // A buffer that failed to take a quad, or was made anew while it was
    // composed, holds what no earlier pass showed: its copy goes whole.
    bool bufferSure = true;
    if (buffered)
        bufferSure = composeBuffer() && versionOf(d_bufferTexture) == auxiliary[1];
    if (d_targetSurface == nullptr) {
        damage.noTarget();
        return;
    }
    damagedPass(d_targetSurface, buffered ? DamagePass::BufferOnto : DamagePass::Queue, bufferSure);
}

bool CDDRender::composeBuffer()
{
    DamageState& damage = *d_damage;
    if (d_bufferStale)
        redrawBuffer();
    const bool cleared = d_bufferClearPending;
    d_bufferClearPending = false;
    IDirectDrawSurface* buffer = colourOf(d_bufferTexture);
    const auto record = [this] {
        for (const QueuedQuad& queued : d_quadQueue)
            if (d_bufferedQuads.size() < kMaxBufferedQuads)
                d_bufferedQuads.push_back(queued);
    };
    if (!cleared || buffer == nullptr) {
        // A further pass since the last clearQueue draws over what the
        // buffer holds, as without the mode. The records tell what the
        // buffer shows only while no texture changed since the quads before
        // were composed: they are read with today's versions.
        if (buffer != nullptr)
            damage.targetUnknown(buffer);
        const bool described = CDDTexture::contentVersions() == d_bufferComposedVersions;
        bool succeeded = true;
        for (const QueuedQuad& queued : d_quadQueue) {
            succeeded = drawQuad(colourOf(d_bufferTexture), queued) >= 0 && succeeded;
            if (d_bufferedQuads.size() < kMaxBufferedQuads)
                d_bufferedQuads.push_back(queued);
        }
        d_quadQueue.clear();
        return succeeded && described;
    }
    // The first pass since clearQueue: the buffer still holds the last
    // composition, which is turned into this one where they differ (black
    // under it, as a cleared buffer is). The records come first, so that a
    // buffer mended under the pass is composed whole from them.
    record();
    const uint64_t before = versionOf(d_bufferTexture);
    bool succeeded;
    {
        SlotScope slot(damage, 0);
        succeeded = damagedPass(buffer, DamagePass::IntoBuffer, true);
    }
    d_quadQueue.clear();
    if (succeeded && versionOf(d_bufferTexture) == before && !d_bufferStale) {
        d_bufferComposedVersions = CDDTexture::contentVersions();
        return true;
    }
    IDirectDrawSurface* now = colourOf(d_bufferTexture);
    damage.targetUnknown(buffer);
    if (now != nullptr)
        damage.targetUnknown(now);
    redrawBuffer();
    return false;
}

bool CDDRender::damagedPass(IDirectDrawSurface* target, DamagePass kind, bool succeeded)
{
    DamageState& damage = *d_damage;
    const uint64_t versions = CDDTexture::contentVersions();
    RECT bounds;
    if (!surfaceBounds(target, bounds))
        bounds = d_displayArea;
    const uint32_t targetBytes = bytesPerPixel(surfaceMode(target));
    RECT area = intersectRects(bounds, d_displayArea);
    if (emptyRect(area))
        area = RECT{0, 0, 0, 0};
    const bool fromRecords = kind == DamagePass::BufferOnto;

    // The scene (what the buffer holds, or the queue), compared with the last
    // one while it is taken: an unchanged frame reads each quad once, and
    // writes nothing until a quad differs (the equal head is copied then).
    std::vector<SceneQuad>& scene = damage.scene;
    const std::vector<SceneQuad>& last = damage.lastScene(target);
    size_t head = 0;
    bool mending = false;
    bool mayBeUnclippable = false;
    bool same = !last.empty();
    const auto take = [&](const QueuedQuad& queued, uint64_t version, uint32_t flags) {
        if (same) {
            if (head < last.size() && sameAsQueued(last[head], queued, version, flags)) {
                ++head;
                return;
            }
            same = false;
            scene.assign(last.begin(), last.begin() + static_cast<std::ptrdiff_t>(head));
        }
        appendSceneQuad(scene, queued, version, flags);
    };
    scene.clear();
    if (fromRecords) {
        scene.reserve(d_bufferedQuads.size());
        for (const QueuedQuad& quad : d_bufferedQuads)
            take(quad, versionOf(static_cast<const CDDTexture*>(quad.texture)), 0);
    } else if (sameQueueAsLast(target, targetBytes, versions, last)) {
        head = last.size();
        mayBeUnclippable = damage.queueCopy.mayBeUnclippable;
    } else {
        // A texture whose surface was lost draws other pixels now (restored,
        // reloaded or left transparent): its quads are damage. Each texture
        // is asked once a pass.
        scene.reserve(d_quadQueue.size());
        const uint64_t pass = ++damage.passes;
        DamageState::QueueCopy& copy = damage.queueCopy;
        copy.textures.clear();
        // A texture that mends itself while drawn may come back in another
        // pixel format, and write elsewhere than its scene says: the pass is
        // then drawn whole.
        // Runs of quads from one texture are the rule: what the texture
        // says is asked when it changes.
        const CDDTexture* known = nullptr;
        bool anyKnown = false;
        uint64_t version = 0;
        uint32_t flags = 0;
        bool opaque = false;
        for (const QueuedQuad& quad : d_quadQueue) {
            const auto* texture = static_cast<const CDDTexture*>(quad.texture);
            if (!anyKnown || texture != known) {
                known = texture;
                anyKnown = true;
                version = versionOf(texture);
                flags = 0;
                opaque = false;
                if (texture != nullptr) {
                    DamageState::LostCheck& check =
                        damage.lostChecks[(reinterpret_cast<uintptr_t>(texture) >> 4) % std::size(damage.lostChecks)];
                    if (check.texture != texture || check.pass != pass) {
                        check = DamageState::LostCheck{texture, pass, changesWhenDrawn(*texture)};
                        copy.textures.push_back(texture);
                    }
                    if (check.lost) {
                        version = ~version;
                        mending = true;
                    }
                    if (d_blendMode != 0 && bytesPerPixel(texture->rgbMode()) != targetBytes)
                        flags = kWholeRows;
                    opaque = !texture->hasAlpha();
                }
            }
            take(quad, version, flags);
            // Only such quads can keep the pass from being held to the damage.
            if (flags != 0 || (opaque && isStretched(truncatedRect(quad.destRect), truncatedRect(quad.textureRect))))
                mayBeUnclippable = true;
        }
        // Kept for the next pass, up to a size where taking the scene again
        // costs little beside the copy.
        copy.valid = !mending && d_quadQueue.size() <= kCopiedQueueLimit;
        if (copy.valid) {
            copy.target = target;
            copy.slot = damage.slot();
            copy.targetBytes = targetBytes;
            copy.versions = versions;
            copy.mayBeUnclippable = mayBeUnclippable;
            d_quadQueue.copyTo(copy.quads);
            // The checks' cache can ask a texture twice: once is enough.
            std::sort(copy.textures.begin(), copy.textures.end());
            copy.textures.erase(std::unique(copy.textures.begin(), copy.textures.end()), copy.textures.end());
        } else {
            std::vector<QueuedQuad>().swap(copy.quads);
        }
    }
    // Equal all through: the last scene stands for this one.
    if (same && head != last.size()) {
        scene.assign(last.begin(), last.begin() + static_cast<std::ptrdiff_t>(head));
        same = false;
    }
    damage.beginFrame(target, area, bounds, scene, head, same);
    if (mending || !succeeded || surfaceLost(target) || (fromRecords && d_bufferedQuads.size() >= kMaxBufferedQuads))
        damage.forceFull(FrameStatistics::FULL_FRAME_INVALID);
    if (mayBeUnclippable && !damage.fullFrame() && !damage.region().empty() && unclippable(damage.currentScene()))
        damage.forceFull(FrameStatistics::FULL_FRAME_UNCLIPPABLE);

    const DamageRegion& region = damage.region();
    if constexpr (kCountFrames) {
        if (kind != DamagePass::IntoBuffer) {
            FrameStatistics::DamageCount& count = d_frameStatistics.damage;
            count.rects = static_cast<uint32_t>(region.rects().size());
            count.pixels = region.pixels();
            count.fullFrame = damage.fullFrame() ? 1 : 0;
            count.fullFrameReason = damage.fullReason();
        }
    }
    if (region.empty()) {
        damage.endFrame(succeeded && versions == CDDTexture::contentVersions());
        return succeeded;
    }

    // Under the buffer's composition lies black, which its copy leaves out.
    succeeded = (kind == DamagePass::IntoBuffer
                     ? restoreBackground(target, 0, nullptr)
                     : restoreBackground(target, damage.backgroundColour(), damage.backgroundSurface())) &&
                succeeded;
    {
        ClipScope clip(damage, damage.fullFrame() ? nullptr : target);
        if (fromRecords) {
            HRESULT presented = presentBuffer();
            if (presented == DDERR_SURFACELOST && d_bufferTexture != nullptr && d_bufferTexture->surfacesLost() &&
                mendAuxiliaryTexture(d_bufferTexture)) {
                presentBuffer();
                succeeded = false;
            }
            succeeded = presented >= 0 && succeeded;
        } else {
            const std::vector<SceneQuad>& drawn = damage.currentScene();
            const bool clipped = !damage.fullFrame();
            const RECT box = region.extent();
            const FarFrom distant(box);
            size_t index = 0;
            uint32_t drawnQuads = 0;
            for (const QueuedQuad& queued : d_quadQueue) {
                const SceneQuad& quad = drawn[index++];
                if (clipped &&
                    (distant(quad) || !(overlaps(reachOf(quad, area), box) && region.meets(reachOf(quad, area)))))
                    continue;
                ++drawnQuads;
                // A quad that had to be mended and drawn again is drawn, but what
                // the pass left is not to be relied on. The buffer may be
                // made anew by a quad: it is asked for every one.
                succeeded =
                    drawQuad(kind == DamagePass::IntoBuffer ? colourOf(d_bufferTexture) : target, queued) >= 0 &&
                    succeeded;
            }
            if constexpr (kCountFrames) {
                d_frameStatistics.damage.quadsDrawn += drawnQuads;
                d_frameStatistics.damage.quadsUndamaged += static_cast<uint32_t>(index) - drawnQuads;
            }
        }
    }
    damage.endFrame(succeeded && versions == CDDTexture::contentVersions());
    return succeeded;
}

bool CDDRender::sameQueueAsLast(IDirectDrawSurface* target, uint32_t targetBytes, uint64_t versions,
                                const std::vector<SceneQuad>& last) const
{
    const DamageState::QueueCopy& copy = d_damage->queueCopy;
    if (!copy.valid || last.empty() || copy.target != target || copy.slot != d_damage->slot() ||
        copy.targetBytes != targetBytes || copy.versions != versions || !d_quadQueue.sameAs(copy.quads))
        return false;
    // No texture changed since (every change and release makes a new
    // version), so none of them is gone; one may have been lost.
    for (const void* queued : copy.textures) {
        const auto* texture = static_cast<const CDDTexture*>(queued);
        if (changesWhenDrawn(*texture))
            return false;
    }
    return true;
}

bool CDDRender::unclippable(const std::vector<SceneQuad>& scene)
{
    // The blend kernels measure the target in the texture's pixels: of another
    // size, the damage's pieces are not the same pixels. A stretched copy
    // without key goes through the scratch when clipped, which must hold the
    // texture's pixels unchanged.
    const DamageRegion& region = d_damage->region();
    RgbMode scratchMode = DDS_RGBMODE_UNSUPPORTED;
    bool scratchKnown = false;
    size_t index = 0;
    for (const QueuedQuad& queued : d_quadQueue) {
        const SceneQuad& quad = scene[index++];
        const auto* texture = static_cast<const CDDTexture*>(queued.texture);
        if (texture == nullptr || texture->colourSurface() == nullptr)
            continue;
        // The scene marked the quads blended from pixels of another size.
        const bool otherSize = (quad.flags & kWholeRows) != 0;
        if (!otherSize && (texture->hasAlpha() || !isStretched(truncatedRect(quad.dest), truncatedRect(quad.source))))
            continue;
        if (!region.meets(reachOf(quad, region.area())))
            continue;
        if (otherSize)
            return true;
        if (!scratchKnown) {
            scratchMode = surfaceMode(colourOf(d_scratchTexture));
            scratchKnown = true;
        }
        if (scratchMode != texture->rgbMode() || bytesPerPixel(scratchMode) == 0)
            return true;
    }
    return false;
}

bool CDDRender::restoreBackground(IDirectDrawSurface* target, uint32_t colour, IDirectDrawSurface* background)
{
    const DamageState& damage = *d_damage;
    RECT backgroundBounds = {0, 0, 0, 0};
    bool succeeded = true;
    if (background != nullptr && !surfaceBounds(background, backgroundBounds))
        succeeded = false;
    for (const RECT& damaged : damage.region().rects()) {
        const RECT covered = intersectRects(damaged, backgroundBounds);
        if (emptyRect(covered) || !sameRect(covered, damaged)) {
            DDBLTFX effects;
            std::memset(&effects, 0, sizeof(effects));
            effects.dwSize = sizeof(DDBLTFX);
            effects.dwFillColor = colour;
            RECT fill = damaged;
            succeeded = target->Blt(&fill, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects) >= 0 && succeeded;
        }
        if (!emptyRect(covered)) {
            RECT source = covered;
            succeeded = copyFast(target, static_cast<DWORD>(covered.left), static_cast<DWORD>(covered.top), background,
                                 &source, DDBLTFAST_WAIT) >= 0 &&
                        succeeded;
        }
    }
    return succeeded;
}

const std::vector<RECT>* CDDRender::damageClip(IDirectDrawSurface* surface, const std::vector<RECT>* visible)
{
    if (d_damage == nullptr || surface == nullptr || surface != d_damage->clippedSurface())
        return visible;
    return d_damage->visiblePieces(visible);
}

IDirectDrawSurface* CDDRender::keptStretch(IDirectDrawSurface* destination, const CDDTexture& texture, const RECT& dest,
                                           const RECT& source)
{
    if (d_damage == nullptr || destination == nullptr || destination != d_damage->clippedSurface())
        return nullptr;
    IDirectDrawSurface* scratch = colourOf(d_scratchTexture);
    if (scratch == nullptr || scratch == texture.colourSurface())
        return nullptr;
    const uint64_t budget = static_cast<uint64_t>(d_displayWidth) * d_displayHeight;
    return d_damage->stretches.stretched(d_directDraw, scratch, versionOf(d_scratchTexture), texture, source,
                                         dest.right - dest.left, dest.bottom - dest.top, budget);
}

bool CDDRender::stretchFromCache(IDirectDrawSurface* destination, const CDDTexture& texture, const RECT& dest,
                                 const RECT& source, HRESULT& result)
{
    IDirectDrawSurface* copy = keptStretch(destination, texture, dest, source);
    if (copy == nullptr)
        return false;
    IDirectDrawSurface* scratch = colourOf(d_scratchTexture);
    // Each damaged rectangle, and the pixel groups around it that the blend
    // kernels may widen a piece to.
    constexpr LONG kGroupReach = 4;
    result = DD_OK;
    for (const RECT& damaged : d_damage->region().rects()) {
        const RECT part = intersectRects(
            dest, RECT{damaged.left - kGroupReach, damaged.top, damaged.right + kGroupReach, damaged.bottom});
        if (emptyRect(part))
            continue;
        RECT from = {part.left - dest.left, part.top - dest.top, part.right - dest.left, part.bottom - dest.top};
        const HRESULT copied =
            copyFast(scratch, static_cast<DWORD>(part.left), static_cast<DWORD>(part.top), copy, &from, DDBLTFAST_WAIT);
        if (copied < 0 && result >= 0)
            result = copied;
    }
    return true;
}

bool CDDRender::cutToDamage(IDirectDrawSurface* destination, RECT& dest, RECT& source) const
{
    if (d_damage == nullptr || destination == nullptr || destination != d_damage->clippedSurface())
        return true;
    const RECT cut = intersectRects(dest, d_damage->region().extent());
    if (emptyRect(cut))
        return false;
    source = RECT{source.left + (cut.left - dest.left), source.top + (cut.top - dest.top),
                  source.right - (dest.right - cut.right), source.bottom - (dest.bottom - cut.bottom)};
    dest = cut;
    return true;
}

HRESULT CDDRender::placeCopy(IDirectDrawSurface* destination, DWORD x, DWORD y, IDirectDrawSurface* source,
                             RECT* sourceRect, DWORD flags)
{
    if (d_damage == nullptr || destination == nullptr || destination != d_damage->clippedSurface())
        return copyFast(destination, x, y, source, sourceRect, flags);
    const LONG left = static_cast<LONG>(x);
    const LONG top = static_cast<LONG>(y);
    const RECT whole = {left, top, left + (sourceRect->right - sourceRect->left),
                        top + (sourceRect->bottom - sourceRect->top)};
    HRESULT failed = DD_OK;
    for (const RECT& damaged : d_damage->region().rects()) {
        const RECT piece = intersectRects(whole, damaged);
        if (emptyRect(piece))
            continue;
        RECT from = {sourceRect->left + (piece.left - left), sourceRect->top + (piece.top - top),
                     sourceRect->left + (piece.right - left), sourceRect->top + (piece.bottom - top)};
        const HRESULT result =
            copyFast(destination, static_cast<DWORD>(piece.left), static_cast<DWORD>(piece.top), source, &from, flags);
        if (result < 0 && failed >= 0)
            failed = result;
    }
    return failed;
}

HRESULT CDDRender::placeBlt(IDirectDrawSurface* destination, RECT* dest, IDirectDrawSurface* source, RECT* sourceRect,
                            DWORD flags, DDBLTFX* effects)
{
    if (d_damage == nullptr || destination == nullptr || destination != d_damage->clippedSurface())
        return destination->Blt(dest, source, sourceRect, flags, effects);
    HRESULT failed = DD_OK;
    if (!isStretched(*dest, *sourceRect)) {
        for (const RECT& damaged : d_damage->region().rects()) {
            RECT piece = intersectRects(*dest, damaged);
            if (emptyRect(piece))
                continue;
            RECT from = {sourceRect->left + (piece.left - dest->left), sourceRect->top + (piece.top - dest->top),
                         sourceRect->left + (piece.right - dest->left), sourceRect->top + (piece.bottom - dest->top)};
            const HRESULT result = destination->Blt(&piece, source, &from, flags, effects);
            if (result < 0 && failed >= 0)
                failed = result;
        }
        return failed;
    }
    // A stretch clipped by its own source rectangle would sample other
    // texels: stretched whole into the scratch, where it lands at its
    // destination, and the damaged part copied from there.
    IDirectDrawSurface* scratch = colourOf(d_scratchTexture);
    if (scratch == nullptr || scratch == source)
        return DDERR_GENERIC;
    const HRESULT stretched = scratch->Blt(dest, source, sourceRect, flags, effects);
    if (stretched < 0)
        return stretched;
    RECT whole = *dest;
    return placeCopy(destination, static_cast<DWORD>(whole.left), static_cast<DWORD>(whole.top), scratch, &whole,
                     DDBLTFAST_WAIT);
}

} // namespace ZorvUISystem
