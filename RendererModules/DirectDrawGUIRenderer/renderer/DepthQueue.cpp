#include "renderer/DepthQueue.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace ZorvUISystem {

namespace {

constexpr uint32_t kPasses = 3;
constexpr uint32_t kDigitBits = 11;
constexpr uint32_t kBuckets = 1u << kDigitBits;

// Sorts key << 32 | index words by their upper 32 bits, stably, in three
// passes of 11, 11 and 10 bits from the lowest; a pass in which every key
// has the same digit is skipped. The result ends up in `words`. `scratch`
// holds as many words as `words` and `counts` kPasses * kBuckets entries:
// nothing is allocated here.
void radixSortByKey(std::vector<uint64_t>& words, std::vector<uint64_t>& scratch, uint32_t* counts)
{
    const size_t n = words.size();
    std::fill(counts, counts + kPasses * kBuckets, 0u);
    for (const uint64_t w : words) {
        const uint32_t key = static_cast<uint32_t>(w >> 32);
        ++counts[key & (kBuckets - 1)];
        ++counts[kBuckets + ((key >> kDigitBits) & (kBuckets - 1))];
        ++counts[2 * kBuckets + (key >> (2 * kDigitBits))];
    }
    uint64_t* from = words.data();
    uint64_t* to = scratch.data();
    for (uint32_t pass = 0; pass < kPasses; ++pass) {
        uint32_t* count = counts + pass * kBuckets;
        const uint32_t shift = 32 + kDigitBits * pass;
        if (count[(from[0] >> shift) & (kBuckets - 1)] == n)
            continue;
        uint32_t start = 0;
        for (uint32_t digit = 0; digit < kBuckets; ++digit) {
            const uint32_t c = count[digit];
            count[digit] = start;
            start += c;
        }
        for (size_t i = 0; i < n; ++i) {
            const uint64_t w = from[i];
            to[count[(w >> shift) & (kBuckets - 1)]++] = w;
        }
        std::swap(from, to);
    }
    if (from != words.data())
        words.swap(scratch);
}

} // namespace

void DepthQueue::makeRoom(bool inOrder)
{
    if (d_size >= 0xFFFFFFFFu)
        throw std::length_error("DepthQueue::push");
    // What ordering needs is taken here, so that walking the queue never
    // allocates.
    if (!inOrder)
        reserveSortRoom(d_size + 1);
    if ((d_size >> kBlockShift) == d_blocks.size())
        d_blocks.push_back(std::make_unique_for_overwrite<QueuedQuad[]>(kBlockSize));
}

void DepthQueue::copyTo(std::vector<QueuedQuad>& out) const
{
    out.resize(d_size);
    for (size_t start = 0; start < d_size; start += kBlockSize) {
        const size_t count = d_size - start < kBlockSize ? d_size - start : kBlockSize;
        std::memcpy(out.data() + start, &at(start), count * sizeof(QueuedQuad));
    }
}

bool DepthQueue::sameAs(const std::vector<QueuedQuad>& copy) const
{
    static_assert(sizeof(QueuedQuad) == sizeof(Texture*) + 2 * sizeof(FloatRect) + sizeof(float) +
                                            sizeof(CornerColours) + sizeof(uint32_t),
                  "a record without padding compares as bytes");
    if (copy.size() != d_size)
        return false;
    for (size_t start = 0; start < d_size; start += kBlockSize) {
        const size_t count = d_size - start < kBlockSize ? d_size - start : kBlockSize;
        if (std::memcmp(copy.data() + start, &at(start), count * sizeof(QueuedQuad)) != 0)
            return false;
    }
    return true;
}

void DepthQueue::reserveSortRoom(size_t count)
{
    if (d_sorted.capacity() < count) {
        const size_t grown = 2 * d_sorted.capacity();
        d_sorted.reserve(grown > count ? grown : count);
        for (KeptOrder& kept : d_kept) {
            kept.words.reserve(d_sorted.capacity());
            kept.order.reserve(d_sorted.capacity());
        }
    }
    if (count < kRadixThreshold)
        return;
    if (d_sortScratch.capacity() < d_sorted.capacity())
        d_sortScratch.reserve(d_sorted.capacity());
    if (!d_radixCounts)
        d_radixCounts = std::make_unique<uint32_t[]>(kPasses * kBuckets);
}

void DepthQueue::clear()
{
    releaseSurplus(d_size);
    d_size = 0;
    d_inOrder = true;
    d_sortValid = false;
    d_sorted.clear();
}

void DepthQueue::releaseSurplus(size_t keep)
{
    // Blocks and sort buffers beyond twice what the last frame used go back.
    const size_t blocks = ((keep + kBlockSize - 1) >> kBlockShift) * 2;
    if (d_blocks.size() > blocks + 1)
        d_blocks.resize(blocks + 1);
    if (d_sorted.capacity() > 2 * keep + kRadixThreshold) {
        std::vector<uint64_t>().swap(d_sorted);
        std::vector<uint64_t>().swap(d_sortScratch);
        for (KeptOrder& kept : d_kept)
            kept = KeptOrder{};
        d_radixCounts.reset();
    }
}

void DepthQueue::shrinkTo(size_t count)
{
    d_size = count;
    d_sortValid = false;
    d_inOrder = true;
    uint32_t last = 0;
    for (size_t i = 0; i < d_size; ++i) {
        const uint32_t key = depthKey(at(i).z);
        if (i > 0 && key < last)
            d_inOrder = false;
        last = key;
    }
    d_lastKey = last;
}

void DepthQueue::ensureOrder() const
{
    if (d_inOrder || d_sortValid)
        return;
    d_sorted.resize(d_size);
    for (size_t i = 0; i < d_size; ++i)
        d_sorted[i] = static_cast<uint64_t>(depthKey(at(i).z)) << 32 | i;
    // A frame queues the same depths as one of the two before more often
    // than not: the same words sort as they did then.
    const size_t bytes = d_size * sizeof(uint64_t);
    for (size_t k = 0; k < 2; ++k) {
        const KeptOrder& kept = d_kept[(d_newestKept + k) % 2];
        if (kept.valid && kept.words.size() == d_size && std::memcmp(kept.words.data(), d_sorted.data(), bytes) == 0) {
            std::memcpy(d_sorted.data(), kept.order.data(), bytes);
            d_newestKept = (d_newestKept + k) % 2;
            d_sortValid = true;
            return;
        }
    }
    // Kept for the next frames in place of the older one, where the room
    // was taken as the quads were pushed (nothing is allocated here).
    KeptOrder& kept = d_kept[(d_newestKept + 1) % 2];
    kept.valid = kept.words.capacity() >= d_size && kept.order.capacity() >= d_size;
    if (kept.valid) {
        kept.words.assign(d_sorted.begin(), d_sorted.end());
        d_newestKept = (d_newestKept + 1) % 2;
    }
    // Every word is distinct (the index), so ascending words are the stable
    // order of their keys.
    // Room for both was taken as the quads were pushed.
    if (d_size < kRadixThreshold) {
        std::sort(d_sorted.begin(), d_sorted.end());
    } else {
        d_sortScratch.resize(d_size);
        radixSortByKey(d_sorted, d_sortScratch, d_radixCounts.get());
    }
    if (kept.valid)
        kept.order.assign(d_sorted.begin(), d_sorted.end());
    d_sortValid = true;
}

} // namespace ZorvUISystem
