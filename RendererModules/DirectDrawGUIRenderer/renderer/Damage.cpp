// The damage of a render pass: the scene compared with the one last drawn
// onto the same target, coalesced into a few disjoint rectangles.
#include "renderer/Damage.h"

#include <algorithm>
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

namespace {

// How many of the rectangles kept last the sweep tries to join a new one to.
constexpr size_t kSweepReach = 2;
// Rectangles gathered before they are coalesced in between (a bound on the
// memory a pass of many changed quads takes).
constexpr size_t kAddedBatch = 4096;

LONG lesser(LONG a, LONG b)
{
    return a < b ? a : b;
}

LONG greater(LONG a, LONG b)
{
    return a > b ? a : b;
}

int64_t size64(const RECT& r)
{
    return (int64_t{r.right} - r.left) * (int64_t{r.bottom} - r.top);
}

// The pixels of the bounding box of two rectangles.
int64_t boxSize(const RECT& a, const RECT& b)
{
    return (int64_t{greater(a.right, b.right)} - lesser(a.left, b.left)) *
           (int64_t{greater(a.bottom, b.bottom)} - lesser(a.top, b.top));
}

// The pixels two rectangles share.
int64_t sharedSize(const RECT& a, const RECT& b)
{
    const int64_t width = int64_t{lesser(a.right, b.right)} - greater(a.left, b.left);
    const int64_t height = int64_t{lesser(a.bottom, b.bottom)} - greater(a.top, b.top);
    return (width > 0 ? width : 0) * (height > 0 ? height : 0);
}

bool overlapping(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

} // namespace

void DamageRegion::reset(const RECT& area)
{
    d_area = area;
    clear();
}

void DamageRegion::addAll()
{
    clear();
    if (emptyRect(d_area))
        return;
    push(d_area);
    d_extent = d_area;
}

uint64_t DamageRegion::pixels() const
{
    uint64_t sum = 0;
    for (const uint64_t pixels : d_areas)
        sum += pixels;
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
        if (overlapping(rect, r))
            return true;
    return false;
}

void DamageRegion::add(RECT rect)
{
    rect = RECT{greater(rect.left, d_area.left), greater(rect.top, d_area.top), lesser(rect.right, d_area.right),
                lesser(rect.bottom, d_area.bottom)};
    if (emptyRect(rect))
        return;
    if (d_added.size() >= kAddedBatch)
        finish();
    d_added.push_back(rect);
    d_addedPixels += static_cast<uint64_t>(size64(rect));
}

void DamageRegion::finish()
{
    if (d_added.empty())
        return;
    // More than kMaxRects reaching over most of the area: the box of all.
    RECT reach = emptyRect(d_extent) ? d_added[0] : d_extent;
    for (const RECT& rect : d_added)
        reach = boundingBox(reach, rect);
    d_extent = reach;
    if (d_rects.size() + d_added.size() > kMaxRects && areaOf(d_extent) * 4 > areaOf(d_area) * 3) {
        const RECT box = d_extent;
        clear();
        push(box);
        d_extent = box;
        return;
    }
    // A few go into the set as they came.
    size_t kept = d_added.size();
    if (kept > 2 * kMaxRects)
        kept = sweep();
    for (size_t i = 0; i < kept; ++i)
        insert(d_added[i]);
    d_added.clear();
    d_addedPixels = 0;
}

size_t DamageRegion::sweep()
{
    // Top rows first (then left edges): rectangles that can make one box
    // come close together, and the set then sees neighbours one after
    // another.
    std::sort(d_added.begin(), d_added.end(),
              [](const RECT& a, const RECT& b) { return a.top != b.top ? a.top < b.top : a.left < b.left; });
    // Each joins the one of the few kept last whose bounding box with it
    // covers the fewest pixels outside the two, if those are no more than
    // the smaller one covers (letters of a line, say: most would be joined
    // in the set anyway), as long as the pixels so added stay under a
    // sixteenth of those added in all.
    int64_t spare = static_cast<int64_t>(d_addedPixels / 16);
    int64_t sizes[kSweepReach]; // of the kept ones in reach, by index modulo kSweepReach
    size_t kept = 0;
    for (const RECT& rect : d_added) {
        const int64_t size = size64(rect);
        int64_t best = INT64_MAX;
        int64_t bestOutside = 0;
        size_t into = kept;
        for (size_t k = kept > kSweepReach ? kept - kSweepReach : 0; k < kept; ++k) {
            const RECT& e = d_added[k];
            const int64_t eSize = sizes[k % kSweepReach];
            const int64_t outside = boxSize(e, rect) + sharedSize(e, rect) - eSize - size;
            const int64_t over = outside - (eSize < size ? eSize : size);
            if (over < best) {
                best = over;
                bestOutside = outside;
                into = k;
            }
        }
        if (best <= 0 && bestOutside <= spare) {
            spare -= bestOutside;
            d_added[into] = boundingBox(d_added[into], rect);
            sizes[into % kSweepReach] = size64(d_added[into]);
        } else {
            sizes[kept % kSweepReach] = size;
            d_added[kept++] = rect;
        }
    }
    return kept;
}

void DamageRegion::insert(RECT rect)
{
    // Joined with the rectangle whose bounding box with it costs the least,
    // when that is no more than the two apart (they touch at least, or one
    // holds the other); repeated, since the box may now reach further ones.
    int64_t size = 0;
    bool overlaps = false;
    if (d_costs.size() < d_rects.size())
        d_costs.resize(d_rects.size());
    for (;;) {
        size = size64(rect);
        int64_t least = INT64_MAX;
        size_t partner = 0;
        overlaps = false;
        for (size_t i = 0; i < d_rects.size(); ++i) {
            const int64_t added = boxSize(rect, d_rects[i]) - size - static_cast<int64_t>(d_areas[i]);
            d_costs[i] = added;
            if (added < least) {
                least = added;
                partner = i;
            }
            overlaps |= overlapping(rect, d_rects[i]);
        }
        if (least > 0)
            break;
        if (contains(d_rects[partner], rect))
            return;
        rect = boundingBox(rect, d_rects[partner]);
        removeAt(partner);
    }
    if (!overlaps) {
        // Its costs are known: the others' partners follow.
        push(rect, d_costs.data());
    } else {
        // The parts of it no rectangle of the set holds.
        d_pieces.assign(1, rect);
        for (const RECT& e : d_rects) {
            if (!overlapping(e, rect))
                continue;
            d_next.clear();
            for (const RECT& piece : d_pieces)
                subtract(piece, e, d_next);
            d_pieces.swap(d_next);
        }
        for (const RECT& piece : d_pieces)
            push(piece);
    }
    while (d_rects.size() > kMaxRects) {
        // Most of the area taken anyway: the box of all of it.
        if (areaOf(d_extent) * 4 > areaOf(d_area) * 3) {
            const RECT box = d_extent;
            clear();
            push(box);
            d_extent = box;
            return;
        }
        mergeCheapestPair();
    }
}

void DamageRegion::push(const RECT& rect, const int64_t* costs)
{
    const int64_t size = size64(rect);
    const uint32_t index = static_cast<uint32_t>(d_rects.size());
    Partner mine = {INT64_MAX, 0, false};
    for (uint32_t i = 0; i < index; ++i) {
        const int64_t added =
            costs != nullptr ? costs[i] : boxSize(rect, d_rects[i]) - size - static_cast<int64_t>(d_areas[i]);
        if (added < mine.added)
            mine = Partner{added, i, false};
        if (added < d_best[i].added) {
            d_best[i].added = added;
            d_best[i].index = index;
        }
    }
    d_rects.push_back(rect);
    d_areas.push_back(static_cast<uint64_t>(size));
    d_best.push_back(mine);
}

void DamageRegion::removeAt(size_t index)
{
    // The last one takes its place.
    const size_t last = d_rects.size() - 1;
    d_rects[index] = d_rects[last];
    d_areas[index] = d_areas[last];
    d_best[index] = d_best[last];
    d_rects.pop_back();
    d_areas.pop_back();
    d_best.pop_back();
    for (Partner& partner : d_best) {
        if (partner.index == index)
            partner.stale = true;
        else if (partner.index == last)
            partner.index = static_cast<uint32_t>(index);
    }
}

void DamageRegion::findPartner(size_t index)
{
    const RECT rect = d_rects[index];
    const int64_t size = static_cast<int64_t>(d_areas[index]);
    Partner mine = {INT64_MAX, 0, false};
    for (size_t i = 0; i < d_rects.size(); ++i) {
        const int64_t added = boxSize(rect, d_rects[i]) - size - static_cast<int64_t>(d_areas[i]);
        if (added < mine.added && i != index)
            mine = Partner{added, static_cast<uint32_t>(i), false};
    }
    d_best[index] = mine;
}

void DamageRegion::mergeCheapestPair()
{
    // The two rectangles whose box adds the fewest pixels (disjoint, their
    // box holds at least both): the least of the partners.
    size_t first = 0;
    for (size_t i = 0; i < d_rects.size(); ++i) {
        if (d_best[i].stale)
            findPartner(i);
        if (d_best[i].added < d_best[first].added)
            first = i;
    }
    size_t into = first;
    const size_t gone = d_best[first].index;
    const RECT box = boundingBox(d_rects[first], d_rects[gone]);
    if (into == d_rects.size() - 1)
        into = gone; // where removeAt moves it
    removeAt(gone);
    // The box takes the place of the one it grew from; the others' partners
    // follow, those whose partner it was are looked for again.
    const int64_t size = size64(box);
    d_rects[into] = box;
    d_areas[into] = static_cast<uint64_t>(size);
    Partner mine = {INT64_MAX, 0, false};
    bool overlaps = false;
    for (size_t i = 0; i < d_rects.size(); ++i) {
        if (i == into)
            continue;
        const int64_t added = boxSize(box, d_rects[i]) - size - static_cast<int64_t>(d_areas[i]);
        overlaps |= overlapping(box, d_rects[i]);
        if (added < mine.added)
            mine = Partner{added, static_cast<uint32_t>(i), false};
        Partner& partner = d_best[i];
        if (partner.index == into)
            partner.stale = true;
        else if (added < partner.added)
            partner = Partner{added, static_cast<uint32_t>(into), partner.stale};
    }
    d_best[into] = mine;
    if (overlaps) {
        // It reaches over others: they join it.
        removeAt(into);
        joinMeeting(box);
    }
}

void DamageRegion::joinMeeting(RECT box)
{
    // The rectangles the box meets join it, until it meets none: the set
    // stays disjoint.
    for (size_t i = 0; i < d_rects.size();) {
        if (overlapping(d_rects[i], box)) {
            box = boundingBox(box, d_rects[i]);
            removeAt(i);
            i = 0;
            continue;
        }
        ++i;
    }
    push(box);
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
    // A new quad found nowhere in the old scene is damage without looking
    // ahead: a scrolled list or a new page would look 64 places on for
    // each of its quads. The old scene's keys go into a hash set once two
    // looks have found nothing (one quad moved among many needs none).
    size_t fruitless = 0;
    bool hashed = false;
    size_t mask = 0;
    const auto hashOf = [](const SceneQuad& quad) {
        uint64_t h = 0x9E3779B97F4A7C15u;
        const auto* bytes = reinterpret_cast<const uint8_t*>(&quad);
        for (size_t at = 0; at < sizeof(SceneQuad); at += 8) {
            h = (h ^ wordAt(bytes + at)) * 0xFF51AFD7ED558CCDu;
            h ^= h >> 29;
        }
        return h | 1; // never 0, the empty slot
    };
    const auto seenBefore = [&](const SceneQuad& quad) {
        if (!hashed) {
            size_t slots = 16;
            while (slots < 2 * (beforeEnd - head))
                slots *= 2;
            d_known.assign(slots, 0);
            mask = slots - 1;
            for (size_t k = head; k < beforeEnd; ++k) {
                const uint64_t h = hashOf(before[k]);
                size_t at = static_cast<size_t>(h) & mask;
                while (d_known[at] != 0 && d_known[at] != h)
                    at = (at + 1) & mask;
                d_known[at] = h;
            }
            hashed = true;
        }
        const uint64_t h = hashOf(quad);
        for (size_t at = static_cast<size_t>(h) & mask; d_known[at] != 0; at = (at + 1) & mask)
            if (d_known[at] == h)
                return true;
        return false;
    };
    size_t i = head;
    for (size_t j = head; j < afterEnd; ++j) {
        if (i < beforeEnd && sameQuad(before[i], after[j])) {
            ++i;
            continue;
        }
        if (fruitless >= 2 && !seenBefore(after[j])) {
            addQuad(after[j]);
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
            ++fruitless;
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
        d_region.finish();
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
