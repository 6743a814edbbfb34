// Damage-aware frames: what a render pass must redraw on a target that kept
// its pixels from the last pass drawn onto it. The scene of a pass (its quads
// in drawing order, each with its texture's content version) is compared with
// the scene last drawn onto the same target; every quad that differs marks
// where it was and where it is. The damage is a small set of disjoint
// rectangles, or the whole target when it cannot be told or is too large.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <ddraw.h>

#include "renderer/QuadGeometry.h"
#include "renderer/QueuedQuad.h"
#include "renderer/StretchCache.h"
#include "ziv.h"

namespace ZorvUISystem {

// One quad as far as its pixels go: its record as queued (rectangles and
// corner colours, bit for bit; not its depth, which only orders the scene)
// and its texture's content version, which no other texture shares. Two
// quads with equal keys draw the same pixels over the same ones. Drawing
// reads the rectangles truncated and the colours averaged, so quads with
// other keys may draw the same: that only costs a redraw of their place.
struct SceneQuad {
    uint64_t version; // the texture's content version when the scene was taken; 0 without texture
    FloatRect dest;
    FloatRect source;
    CornerColours colours;
    uint32_t flags; // kWholeRows or 0
    uint32_t unused;
};
static_assert(sizeof(SceneQuad) == 64, "eight words, compared as such");

// A quad blended from a texture whose pixels are of another size than the
// target's: the kernels measure the target's rows in the texture's pixels, so
// the quad may write anywhere along its rows.
constexpr uint32_t kWholeRows = 1;

// truncateRect, with the common case of four coordinates well inside the
// 32-bit range (not a number fails the test) converted at once.
inline RECT truncatedRect(const FloatRect& r)
{
    constexpr float kLimit = 2147483520.0f; // the largest float below 2^31
    const bool inside = r.left > -kLimit && r.left < kLimit && r.top > -kLimit && r.top < kLimit && r.right > -kLimit &&
                        r.right < kLimit && r.bottom > -kLimit && r.bottom < kLimit;
    if (!inside)
        return truncateRect(r);
    return RECT{static_cast<LONG>(r.left), static_cast<LONG>(r.top), static_cast<LONG>(r.right),
                static_cast<LONG>(r.bottom)};
}

// The pixels a quad may write on a frame's area.
inline RECT reachOf(const SceneQuad& quad, const RECT& area)
{
    const RECT dest = truncatedRect(quad.dest);
    if ((quad.flags & kWholeRows) != 0)
        return RECT{area.left, dest.top, area.right, dest.bottom};
    return dest;
}

// The key of a queued quad, made at the end of a scene. The record's
// rectangles and colours lie in two runs of it, read as words: the queue was
// written well before. (Made in place: a key made aside and copied in would
// be read back in wider pieces than it was written.)
inline void appendSceneQuad(std::vector<SceneQuad>& scene, const QueuedQuad& quad, uint64_t version, uint32_t flags)
{
    static_assert(offsetof(QueuedQuad, colours) == offsetof(QueuedQuad, textureRect) + sizeof(FloatRect),
                  "texture rectangle and colours side by side");
    SceneQuad& key = scene.emplace_back();
    key.version = version;
    std::memcpy(&key.dest, &quad.destRect, sizeof(FloatRect));
    std::memcpy(&key.source, &quad.textureRect, sizeof(FloatRect) + sizeof(CornerColours));
    key.flags = flags;
}

// Eight bytes from p, in one load.
inline uint64_t wordAt(const void* p)
{
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline bool sameQuad(const SceneQuad& a, const SceneQuad& b)
{
    const auto* x = reinterpret_cast<const uint8_t*>(&a);
    const auto* y = reinterpret_cast<const uint8_t*>(&b);
    uint64_t differ = 0;
    for (size_t at = 0; at < sizeof(SceneQuad); at += 8)
        differ |= wordAt(x + at) ^ wordAt(y + at);
    return differ == 0;
}

// Whether the scene's next quad, queued as `quad`, equals `known`: read
// straight from the queue, without making its key.
inline bool sameAsQueued(const SceneQuad& known, const QueuedQuad& quad, uint64_t version, uint32_t flags)
{
    const auto* k = reinterpret_cast<const uint8_t*>(&known.dest);
    const auto* d = reinterpret_cast<const uint8_t*>(&quad.destRect);
    const auto* t = reinterpret_cast<const uint8_t*>(&quad.textureRect);
    return ((known.version ^ version) | (wordAt(k) ^ wordAt(d)) | (wordAt(k + 8) ^ wordAt(d + 8)) |
            (wordAt(k + 16) ^ wordAt(t)) | (wordAt(k + 24) ^ wordAt(t + 8)) | (wordAt(k + 32) ^ wordAt(t + 16)) |
            (wordAt(k + 40) ^ wordAt(t + 24)) | (known.flags ^ flags)) == 0;
}

class DamageState;

// Disjoint rectangles inside an area, at most kMaxRects. Rectangles added
// are gathered until finish coalesces them: more than kMaxRects reaching
// over three quarters of the area become their bounding box; many (over
// twice kMaxRects) are first sorted by rows and neighbours whose box adds
// little joined in one sweep. What is left goes into the set one by one: a
// rectangle whose bounding box with a neighbour costs no more than the two
// apart joins it, one that overlaps others is cut into the parts outside
// them, and past kMaxRects the two whose box adds the fewest pixels are
// joined (or, past three quarters of the area, the set becomes its bounding
// box). The set (rects, pixels, covers, meets, extent) is what the last
// finish or addAll left.
class DamageRegion {
public:
    static constexpr size_t kMaxRects = 16;

    void reset(const RECT& area);
    void add(RECT rect);
    // The whole area, at once.
    void addAll();
    // Coalesces what was added since the last finish into the set.
    void finish();
    void clear()
    {
        d_rects.clear();
        d_areas.clear();
        d_best.clear();
        d_added.clear();
        d_addedPixels = 0;
        d_extent = RECT{0, 0, 0, 0};
    }
    bool empty() const { return d_rects.empty(); }
    uint64_t pixels() const;
    bool covers(const RECT& rect) const;
    bool meets(const RECT& rect) const;
    // The box around every rectangle (empty without any).
    RECT extent() const;
    const RECT& area() const { return d_area; }
    const std::vector<RECT>& rects() const { return d_rects; }

private:
    // Per rectangle of the set: the other one whose box with it adds the
    // fewest pixels; stale when that one left the set.
    struct Partner {
        int64_t added;
        uint32_t index;
        bool stale;
    };

    // Sorts the added rectangles and joins neighbours among them; returns
    // how many are left (at the front).
    size_t sweep();
    void insert(RECT rect);
    void mergeCheapestPair();
    // Adds box grown over every rectangle it meets.
    void joinMeeting(RECT box);
    // The set's rectangles come and go here, their partners kept. costs:
    // what the rectangle's box with each of the set adds, when known.
    void push(const RECT& rect, const int64_t* costs = nullptr);
    void removeAt(size_t index);
    void findPartner(size_t index);

    RECT d_area = {0, 0, 0, 0};
    std::vector<RECT> d_rects;
    std::vector<uint64_t> d_areas;
    std::vector<Partner> d_best;
    std::vector<RECT> d_added;
    uint64_t d_addedPixels = 0;
    std::vector<int64_t> d_costs; // of a rectangle with each of the set
    RECT d_extent = {0, 0, 0, 0}; // around the set and what finish puts into it
    std::vector<RECT> d_pieces;
    std::vector<RECT> d_next;
};

// The blend kernels work on pairs and groups of pixels counted from the
// quad's left edge, and some blend a lone pixel otherwise than one of a pair:
// a piece of a quad is blended as the whole quad blends those pixels when it
// starts and ends where the quad's groups do. KeptEdges widens a piece so
// (inside the quad), keeps the destination pixels it adds, and puts them back
// when it goes. With on false it does nothing.
class KeptEdges {
public:
    KeptEdges(DamageState* damage, bool on, const DDSURFACEDESC& dest, RECT& piece, const RECT& whole,
              uint32_t bytesPerPixel);
    ~KeptEdges();
    KeptEdges(const KeptEdges&) = delete;
    KeptEdges& operator=(const KeptEdges&) = delete;

private:
    void copyColumns(bool restore);

    std::vector<uint8_t>* d_store = nullptr;
    const DDSURFACEDESC* d_dest = nullptr;
    RECT d_left = {0, 0, 0, 0};  // the columns added on the left
    RECT d_right = {0, 0, 0, 0}; // and on the right
    uint32_t d_bytes = 0;
};

// The damage state of one renderer: the host's settings and, per target
// surface (and per buffer of a flip chain), the scene last drawn onto it.
class DamageState {
public:
    // The background restored under the damage before drawing.
    void setBackgroundColour(uint32_t fillColour);
    void setBackgroundSurface(IDirectDrawSurface* surface);
    bool backgroundIsSurface() const { return d_backgroundSurface != nullptr; }
    IDirectDrawSurface* backgroundSurface() const { return d_backgroundSurface; }
    uint32_t backgroundColour() const { return d_backgroundColour; }

    // The host changed pixels of a target (null: of every target); a null
    // rectangle means all of them.
    void invalidate(IDirectDrawSurface* surface, const RECT* rect);
    // Which buffer of the host's flip chain the target is now.
    void setBufferSlot(uint32_t slot) { d_slot = slot; }
    // Forgets every target: nothing drawn before can be relied on.
    void forgetTargets();

    // The damage of a pass onto target. scene is the pass's scene; area is
    // the part of the target the pass may draw on, bounds the whole target.
    // Leaves the result in region() and the reason of a full frame in
    // fullReason().
    // head quads of the scene are known to equal the last scene's
    // (lastScene); with sameAsLast, scene is left empty and the last scene
    // (not empty) is this one.
    void beginFrame(IDirectDrawSurface* target, const RECT& area, const RECT& bounds, std::vector<SceneQuad>& scene,
                    size_t head, bool sameAsLast);
    // The scene last drawn onto target (or this buffer of its chain); empty
    // when none is known.
    const std::vector<SceneQuad>& lastScene(IDirectDrawSurface* target);
    // The pass is over: when it went as planned, its scene is what the
    // target shows now.
    void endFrame(bool succeeded);
    // A pass started but the target got pixels no scene describes.
    void targetUnknown(IDirectDrawSurface* target);

    const DamageRegion& region() const { return d_region; }
    DamageRegion& region() { return d_region; }
    bool fullFrame() const { return d_fullReason != FrameStatistics::FULL_FRAME_NONE; }
    uint32_t fullReason() const { return d_fullReason; }
    void forceFull(uint32_t reason);
    // The scene of the pass begun last.
    const std::vector<SceneQuad>& currentScene() const { return d_records[d_current].scene; }

    // The rectangles the last pass redrew on its target.
    const std::vector<RECT>& lastRects() const { return d_lastRects; }
    // A pass without a target redrew nothing.
    void noTarget()
    {
        d_lastRects.clear();
        d_lastTarget = nullptr;
    }
    IDirectDrawSurface* lastTarget() const { return d_lastTarget; }

    // While a pass draws onto the damage: the surface whose drawing is held
    // to the damage, and the damage's pieces that the target's own clip list
    // shows.
    IDirectDrawSurface* clippedSurface() const { return d_clippedSurface; }
    void setClippedSurface(IDirectDrawSurface* surface) { d_clippedSurface = surface; }
    const std::vector<RECT>* visiblePieces(const std::vector<RECT>* clipList);

    // The queue whose scene was last taken, as queued, and what else the
    // scene was taken from: the same queue again, onto the same buffer with
    // no texture changed or lost since, has the same scene, which is then
    // not taken again.
    struct QueueCopy {
        bool valid = false;
        IDirectDrawSurface* target = nullptr;
        uint32_t slot = 0;
        uint32_t targetBytes = 0;
        uint64_t versions = 0;
        bool mayBeUnclippable = false;
        std::vector<QueuedQuad> quads;
        std::vector<const void*> textures; // each texture of the queue once
    };
    QueueCopy queueCopy;
    uint32_t slot() const { return d_slot; }

    StretchCache stretches;

    // Reused per pass.
    std::vector<SceneQuad> scene;
    std::vector<uint8_t> keptPixels;
    // Textures found lost in this pass, by a small cache of their addresses.
    struct LostCheck {
        const void* texture = nullptr;
        uint64_t pass = 0;
        bool lost = false;
    };
    LostCheck lostChecks[64];
    uint64_t passes = 0;
    // The auxiliary textures' content versions at the last pass: new ones
    // mean a device reset or a rebuilt buffer came between.
    uint64_t auxiliaryVersions[2] = {0, 0};

private:
    struct Record {
        IDirectDrawSurface* surface = nullptr;
        uint32_t slot = 0;
        bool valid = false;
        RECT bounds = {0, 0, 0, 0};
        RECT area = {0, 0, 0, 0};
        uint64_t background = 0;
        std::vector<SceneQuad> scene;
        std::vector<RECT> pending;
        bool pendingAll = false;
        uint64_t used = 0;
    };
    Record& recordFor(IDirectDrawSurface* target);
    void diff(const std::vector<SceneQuad>& before, const std::vector<SceneQuad>& after, size_t head);
    void addQuad(const SceneQuad& quad);

    static constexpr size_t kMaxRecords = 8;
    std::vector<Record> d_records;
    size_t d_current = SIZE_MAX;
    uint64_t d_uses = 0;
    uint32_t d_slot = 0;
    uint32_t d_backgroundColour = 0;
    IDirectDrawSurface* d_backgroundSurface = nullptr;
    uint64_t d_background = 1; // generation: every change makes a new one
    DamageRegion d_region;
    uint32_t d_fullReason = FrameStatistics::FULL_FRAME_NONE;
    std::vector<RECT> d_lastRects;
    IDirectDrawSurface* d_lastTarget = nullptr;
    IDirectDrawSurface* d_clippedSurface = nullptr;
    const std::vector<RECT>* d_clipListSeen = nullptr;
    bool d_piecesReady = false;
    std::vector<RECT> d_visible;
    std::vector<SceneQuad> d_noScene;
    // The diff's set of the last scene's keys, as hashes (0: empty slot).
    std::vector<uint64_t> d_known;
};

} // namespace ZorvUISystem
