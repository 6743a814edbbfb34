// The damage of a render pass: the scene compared with the one last drawn
// onto the same target, coalesced into a few disjoint rectangles.
#include "renderer/Damage.h"

#include <cstring>

#include "renderer/QuadGeometry.h"

namespace ZorvUISystem {

namespace {

bool emptyRect(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

uint64_t areaOf(const RECT& r)
{
    if (emptyRect(r))
        return 0;
    return static_cast<uint64_t>(int64_t{r.right} - r.left) * static_cast<uint64_t>(int64_t{r.bottom} - r.top);
}

bool contains(const RECT& outer, const RECT& inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool sameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT boundingBox(const RECT& a, const RECT& b)
{
    return RECT{a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top, a.right > b.right ? a.right : b.right,
                a.bottom > b.bottom ? a.bottom : b.bottom};
}

// The parts of r outside cut: up to four bands, appended to out.
void subtract(const RECT& r, const RECT& cut, std::vector<RECT>& out)
{
    const RECT meet = intersectRects(r, cut);
    if (emptyRect(meet)) {
        out.push_back(r);
        return;
    }
    if (meet.top > r.top)
        out.push_back(RECT{r.left, r.top, r.right, meet.top});
    if (meet.bottom < r.bottom)
        out.push_back(RECT{r.left, meet.bottom, r.right, r.bottom});
    if (meet.left > r.left)
        out.push_back(RECT{r.left, meet.top, meet.left, meet.bottom});
    if (meet.right < r.right)
        out.push_back(RECT{meet.right, meet.top, r.right, meet.bottom});
}

} // namespace

// --- DamageRegion ------------------------------------------------------------

void DamageRegion::reset(const RECT& area)
{
    d_area = area;
    d_rects.clear();
}

uint64_t DamageRegion::pixels() const
{
    uint64_t sum = 0;
    for (const RECT& r : d_rects)
        sum += areaOf(r);
    return sum;
}

bool DamageRegion::covers(const RECT& rect) const
{
    for (const RECT& r : d_rects)
        if (contains(r, rect))
            return true;
    return false;
}

RECT DamageRegion::extent() const
{
    if (d_rects.empty())
        return RECT{0, 0, 0, 0};
    RECT box = d_rects[0];
    for (const RECT& r : d_rects)
        box = boundingBox(box, r);
    return box;
}

bool DamageRegion::meets(const RECT& rect) const
{
    if (emptyRect(rect))
        return false;
    for (const RECT& r : d_rects)
        if (rect.left < r.right && r.left < rect.right && rect.top < r.bottom && r.top < rect.bottom)
            return true;
    return false;
}

void DamageRegion::add(RECT rect)
{
    rect = intersectRects(rect, d_area);
    if (emptyRect(rect))
        return;
    // Joined with a neighbour whose bounding box costs no more than the two
    // apart; repeated, since the box may now reach further ones.
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t i = 0; i < d_rects.size();) {
            const RECT& e = d_rects[i];
            if (contains(e, rect))
                return;
            if (contains(rect, e)) {
                d_rects[i] = d_rects.back();
                d_rects.pop_back();
                continue;
            }
            const RECT box = boundingBox(e, rect);
            if (areaOf(box) <= areaOf(e) + areaOf(rect)) {
                rect = box;
                d_rects[i] = d_rects.back();
                d_rects.pop_back();
                joined = true;
                break;
            }
            ++i;
        }
    }
    insertDisjoint(rect);
    while (d_rects.size() > kMaxRects) {
        // Most of the area taken anyway: the box of all of it.
        const RECT box = extent();
        if (areaOf(box) * 4 > areaOf(d_area) * 3) {
            d_rects.assign(1, box);
            return;
        }
        mergeCheapestPair();
    }
}

void DamageRegion::mergeCheapestPair()
{
    // The two rectangles whose box adds the fewest pixels (disjoint, their
    // box holds at least both).
    const size_t n = d_rects.size();
    d_areas.resize(n);
    for (size_t i = 0; i < n; ++i)
        d_areas[i] = areaOf(d_rects[i]);
    size_t first = 0;
    size_t second = 1;
    uint64_t best = UINT64_MAX;
    for (size_t i = 0; i < n; ++i) {
        const RECT a = d_rects[i];
        for (size_t j = i + 1; j < n; ++j) {
            const RECT& b = d_rects[j];
            const uint64_t box = static_cast<uint64_t>(int64_t{a.right > b.right ? a.right : b.right} -
                                                       (a.left < b.left ? a.left : b.left)) *
                                 static_cast<uint64_t>(int64_t{a.bottom > b.bottom ? a.bottom : b.bottom} -
                                                       (a.top < b.top ? a.top : b.top));
            const uint64_t added = box - d_areas[i] - d_areas[j];
            if (added < best) {
                best = added;
                first = i;
                second = j;
            }
        }
    }
    const RECT box = boundingBox(d_rects[first], d_rects[second]);
    d_rects[second] = d_rects.back();
    d_rects.pop_back();
    d_rects[first] = d_rects.back();
    d_rects.pop_back();
    joinMeeting(box);
}

void DamageRegion::joinMeeting(RECT box)
{
    // The rectangles the box meets join it, until it meets none: the set
    // stays disjoint.
    for (bool grown = true; grown;) {
        grown = false;
        for (size_t i = 0; i < d_rects.size();) {
            const RECT& r = d_rects[i];
            if (r.left < box.right && box.left < r.right && r.top < box.bottom && box.top < r.bottom) {
                box = boundingBox(box, r);
                d_rects[i] = d_rects.back();
                d_rects.pop_back();
                grown = true;
                continue;
            }
            ++i;
        }
    }
    d_rects.push_back(box);
}

void DamageRegion::insertDisjoint(const RECT& rect)
{
    d_pieces.assign(1, rect);
    for (const RECT& e : d_rects) {
        d_next.clear();
        for (const RECT& piece : d_pieces)
            subtract(piece, e, d_next);
        d_pieces.swap(d_next);
        if (d_pieces.empty())
            return;
    }
    d_rects.insert(d_rects.end(), d_pieces.begin(), d_pieces.end());
}

// --- KeptEdges -----------------------------------------------------------------

KeptEdges::KeptEdges(DamageState* damage, bool on, const DDSURFACEDESC& dest, RECT& piece, const RECT& whole,
                     uint32_t bytesPerPixel)
{
    // Groups of four hold the pairs too (16 and 32 bits pair pixels, 16 bits
    // also groups four).
    constexpr LONG kGroup = 4;
    if (damage == nullptr || !on)
        return;
    const LONG left = whole.left + (piece.left - whole.left) / kGroup * kGroup;
    LONG right = whole.left + (piece.right - whole.left + kGroup - 1) / kGroup * kGroup;
    if (right > whole.right)
        right = whole.right;
    d_left = RECT{left, piece.top, piece.left, piece.bottom};
    d_right = RECT{piece.right, piece.top, right, piece.bottom};
    piece.left = left;
    piece.right = right;
    d_store = &damage->keptPixels;
    d_dest = &dest;
    d_bytes = bytesPerPixel;
    copyColumns(false);
}

KeptEdges::~KeptEdges()
{
    if (d_store != nullptr)
        copyColumns(true);
}

void KeptEdges::copyColumns(bool restore)
{
    size_t at = 0;
    if (!restore)
        d_store->clear();
    for (const RECT& columns : {d_left, d_right}) {
        const size_t bytes = static_cast<size_t>(columns.right - columns.left) * d_bytes;
        if (bytes == 0)
            continue;
        for (LONG y = columns.top; y < columns.bottom; ++y) {
            uint8_t* row = static_cast<uint8_t*>(d_dest->lpSurface) + static_cast<ptrdiff_t>(y) * d_dest->lPitch +
                           static_cast<ptrdiff_t>(columns.left) * d_bytes;
            if (restore) {
                std::memcpy(row, d_store->data() + at, bytes);
            } else {
                d_store->insert(d_store->end(), row, row + bytes);
            }
            at += bytes;
        }
    }
}

// --- DamageState ---------------------------------------------------------------

void DamageState::setBackgroundColour(uint32_t fillColour)
{
    if (d_backgroundSurface == nullptr && fillColour == d_backgroundColour)
        return;
    d_backgroundColour = fillColour;
    d_backgroundSurface = nullptr;
    ++d_background;
}

void DamageState::setBackgroundSurface(IDirectDrawSurface* surface)
{
    d_backgroundSurface = surface;
    ++d_background;
}

void DamageState::invalidate(IDirectDrawSurface* surface, const RECT* rect)
{
    constexpr size_t kMaxPending = 64;
    for (Record& record : d_records) {
        if (surface != nullptr && record.surface != surface)
            continue;
        if (rect == nullptr || record.pending.size() >= kMaxPending)
            record.pendingAll = true;
        else
            record.pending.push_back(*rect);
    }
}

void DamageState::forgetTargets()
{
    for (Record& record : d_records)
        record.valid = false;
}

void DamageState::targetUnknown(IDirectDrawSurface* target)
{
    for (Record& record : d_records)
        if (record.surface == target)
            record.valid = false;
}

DamageState::Record& DamageState::recordFor(IDirectDrawSurface* target)
{
    ++d_uses;
    size_t oldest = 0;
    for (size_t i = 0; i < d_records.size(); ++i) {
        Record& record = d_records[i];
        if (record.surface == target && record.slot == d_slot) {
            record.used = d_uses;
            return record;
        }
        if (record.used < d_records[oldest].used)
            oldest = i;
    }
    if (d_records.size() >= kMaxRecords) {
        d_records[oldest] = Record{};
    } else {
        d_records.emplace_back();
        oldest = d_records.size() - 1;
    }
    Record& record = d_records[oldest];
    record.surface = target;
    record.slot = d_slot;
    record.used = d_uses;
    return record;
}

void DamageState::forceFull(uint32_t reason)
{
    if (d_fullReason == FrameStatistics::FULL_FRAME_NONE)
        d_fullReason = reason;
    if (d_current < d_records.size())
        d_region.reset(d_records[d_current].bounds);
    d_region.addAll();
    d_lastRects = d_region.rects();
}

void DamageState::addQuad(const SceneQuad& quad)
{
    // Where a quad can write: its destination on the area (DamageRegion::add
    // clips to it).
    d_region.add(reachOf(quad, d_region.area()));
}

void DamageState::diff(const std::vector<SceneQuad>& before, const std::vector<SceneQuad>& after, size_t known)
{
    // Quads matched in order between the two scenes draw the same pixels in
    // the same order; every quad left unmatched marks where it was or is.
    // Equal heads and tails match at once; between them each new quad is
    // matched with the next old one that equals it, a few places on at most,
    // the old ones skipped on the way being gone.
    const size_t n = before.size();
    const size_t m = after.size();
    size_t head = known < n && known < m ? known : (n < m ? n : m);
    while (head < n && head < m && sameQuad(before[head], after[head]))
        ++head;
    size_t tail = 0;
    while (tail < n - head && tail < m - head && sameQuad(before[n - 1 - tail], after[m - 1 - tail]))
        ++tail;
    const size_t beforeEnd = n - tail;
    const size_t afterEnd = m - tail;
    constexpr size_t kLookAhead = 64;
    size_t i = head;
    for (size_t j = head; j < afterEnd; ++j) {
        if (i < beforeEnd && sameQuad(before[i], after[j])) {
            ++i;
            continue;
        }
        size_t k = i + 1;
        const size_t last = beforeEnd - i > kLookAhead ? i + kLookAhead : beforeEnd;
        while (k < last && !sameQuad(before[k], after[j]))
            ++k;
        if (k < last) {
            for (; i < k; ++i)
                addQuad(before[i]);
            ++i;
        } else {
            addQuad(after[j]);
        }
    }
    for (; i < beforeEnd; ++i)
        addQuad(before[i]);
}

const std::vector<SceneQuad>& DamageState::lastScene(IDirectDrawSurface* target)
{
    for (const Record& record : d_records)
        if (record.surface == target && record.slot == d_slot)
            return record.valid ? record.scene : d_noScene;
    return d_noScene;
}

void DamageState::beginFrame(IDirectDrawSurface* target, const RECT& area, const RECT& bounds,
                             std::vector<SceneQuad>& frameScene, size_t head, bool sameAsLast)
{
    d_fullReason = FrameStatistics::FULL_FRAME_NONE;
    d_piecesReady = false;
    d_region.reset(area);
    Record& record = recordFor(target);
    d_current = static_cast<size_t>(&record - d_records.data());
    const bool known = record.valid;
    const bool sameSize = sameRect(record.bounds, bounds) && sameRect(record.area, area);
    record.bounds = bounds;
    if (!known)
        forceFull(record.background == 0 ? FrameStatistics::FULL_FRAME_FIRST : FrameStatistics::FULL_FRAME_INVALID);
    else if (!sameSize)
        forceFull(FrameStatistics::FULL_FRAME_SIZE);
    else if (record.background != d_background)
        forceFull(FrameStatistics::FULL_FRAME_BACKGROUND);
    else if (record.pendingAll)
        forceFull(FrameStatistics::FULL_FRAME_HOST);
    else {
        if (!sameAsLast)
            diff(record.scene, frameScene, head);
        for (const RECT& rect : record.pending)
            d_region.add(rect);
        const uint64_t whole = areaOf(area);
        if (whole != 0 && d_region.pixels() * 4 > whole * 3)
            forceFull(FrameStatistics::FULL_FRAME_AREA);
    }
    // Until the pass ends well, the target shows nothing known.
    record.valid = false;
    record.area = area;
    record.background = d_background;
    record.pending.clear();
    record.pendingAll = false;
    if (!sameAsLast)
        record.scene.swap(frameScene);
    d_lastTarget = target;
    d_lastRects = d_region.rects();
}

void DamageState::endFrame(bool succeeded)
{
    d_clippedSurface = nullptr;
    if (d_current < d_records.size())
        d_records[d_current].valid = succeeded;
    d_current = SIZE_MAX;
}

const std::vector<RECT>* DamageState::visiblePieces(const std::vector<RECT>* clipList)
{
    if (clipList == nullptr)
        return &d_region.rects();
    if (!d_piecesReady || d_clipListSeen != clipList) {
        d_visible.clear();
        for (const RECT& visible : *clipList)
            for (const RECT& damaged : d_region.rects()) {
                const RECT meet = intersectRects(visible, damaged);
                if (!emptyRect(meet))
                    d_visible.push_back(meet);
            }
        d_clipListSeen = clipList;
        d_piecesReady = true;
    }
    return &d_visible;
}

} // namespace ZorvUISystem
