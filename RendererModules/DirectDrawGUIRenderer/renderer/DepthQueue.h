// The render queue's container. Quads are appended in submission order, in
// blocks that never move, and are put in depth order (largest depth first,
// equal depths in submission order) only when somebody walks them: a queue
// submitted back to front is walked as it stands, any other is ordered once
// by a radix sort of its depth keys, which stays valid until the next change.
// Appending costs the same whatever the queue holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "renderer/QueuedQuad.h"

namespace ZorvUISystem {

class DepthQueue {
public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = QueuedQuad;
        using difference_type = std::ptrdiff_t;
        using pointer = const QueuedQuad*;
        using reference = const QueuedQuad&;

        const_iterator() = default;
        reference operator*() const { return d_queue->inDepthOrder(d_position); }
        pointer operator->() const { return &**this; }
        const_iterator& operator++()
        {
            ++d_position;
            d_queue->prefetchAhead(d_position);
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++d_position;
            return before;
        }
        bool operator==(const const_iterator& other) const { return d_position == other.d_position; }

    private:
        friend class DepthQueue;
        const_iterator(const DepthQueue* queue, size_t position) : d_queue(queue), d_position(position) {}
        const DepthQueue* d_queue = nullptr;
        size_t d_position = 0;
    };

    DepthQueue() = default;
    DepthQueue(const DepthQueue&) = delete;
    DepthQueue& operator=(const DepthQueue&) = delete;

    // Appends a copy of the quad. Throws std::length_error past 2^32 - 1
    // quads and std::bad_alloc without memory, leaving the queue as it was.
    void push(const QueuedQuad& quad);

    // Removes every quad. Storage is kept for the next frame of about the
    // same size; what a much smaller frame leaves unused is given back.
    void clear();

    // Removes the quads the predicate picks; the others keep their order.
    template <class Predicate> void eraseIf(Predicate picked)
    {
        size_t kept = 0;
        for (size_t i = 0; i < d_size; ++i) {
            const QueuedQuad& quad = at(i);
            if (picked(quad))
                continue;
            if (kept != i)
                at(kept) = quad;
            ++kept;
        }
        if (kept != d_size)
            shrinkTo(kept);
    }

    size_t size() const { return d_size; }
    bool empty() const { return d_size == 0; }

    // The quads in depth order; ordering happens here when needed.
    const_iterator begin() const
    {
        ensureOrder();
        return const_iterator(this, 0);
    }
    const_iterator end() const { return const_iterator(this, d_size); }

    // Whether walking the queue now can order it without taking memory:
    // pushing takes what the ordering needs.
    bool orderedWithoutAllocating() const
    {
        return d_inOrder || d_sortValid ||
               (d_sorted.capacity() >= d_size &&
                (d_size < kRadixThreshold || (d_sortScratch.capacity() >= d_size && d_radixCounts != nullptr)));
    }

    // The sort key of a depth: ascending keys are descending depths. Both
    // zeros share a key, and every depth that is not a number gets the
    // largest key (after all numbers).
    static uint32_t depthKey(float z);

private:
    static constexpr size_t kBlockShift = 8; // 256 quads, 16 KiB, per block
    static constexpr size_t kBlockSize = size_t{1} << kBlockShift;
    // Below this many quads a comparison sort beats the radix passes' set-up.
    static constexpr size_t kRadixThreshold = 1024;

    QueuedQuad& at(size_t i) { return d_blocks[i >> kBlockShift][i & (kBlockSize - 1)]; }
    const QueuedQuad& at(size_t i) const { return d_blocks[i >> kBlockShift][i & (kBlockSize - 1)]; }
    const QueuedQuad& inDepthOrder(size_t position) const
    {
        return at(d_inOrder ? position : static_cast<uint32_t>(d_sorted[position]));
    }
    // A sorted walk reads the quads in an order of its own: each step asks
    // for the quad a few steps ahead, so that the reads overlap.
    void prefetchAhead(size_t position) const
    {
#if defined(__GNUC__)
        constexpr size_t kAhead = 8;
        if (!d_inOrder && position + kAhead < d_size)
            __builtin_prefetch(&at(static_cast<uint32_t>(d_sorted[position + kAhead])));
#else
        (void)position;
#endif
    }
    void shrinkTo(size_t count);
    void ensureOrder() const;
    void releaseSurplus(size_t keep);
    // Room for ordering `count` quads: the order array, and for the radix
    // sort its scratch and digit counts.
    void reserveSortRoom(size_t count);

    std::vector<std::unique_ptr<QueuedQuad[]>> d_blocks;
    size_t d_size = 0;
    uint32_t d_lastKey = 0;
    // Whether submission order is already depth order.
    bool d_inOrder = true;
    // Otherwise, once ordered: key << 32 | index of each quad, ascending.
    mutable bool d_sortValid = false;
    mutable std::vector<uint64_t> d_sorted;
    mutable std::vector<uint64_t> d_sortScratch;
    // The last sort's words before and after it.
    mutable std::vector<uint64_t> d_lastWords;
    mutable std::vector<uint64_t> d_lastOrder;
    mutable bool d_lastOrderValid = false;
    std::unique_ptr<uint32_t[]> d_radixCounts;
};

} // namespace ZorvUISystem
