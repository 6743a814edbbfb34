// The render queue's container. Quads are appended in submission order, in
// blocks that never move, and are put in depth order (largest depth first,
// equal depths in submission order) only when somebody walks them: a queue
// submitted back to front is walked as it stands, any other is ordered once
// by a radix sort of its depth keys, which stays valid until the next change.
// Appending costs the same whatever the queue holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
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
    void push(const QueuedQuad& quad) { append(quad.z) = quad; }

    // Appends a quad of depth z and returns it to be filled in; nothing may
    // read the queue before it is. Throws as push does. The caller writes
    // the fields straight from its arguments: a quad built elsewhere and
    // copied in is read back in wider pieces than it was written, which
    // stalls every store.
    QueuedQuad& append(float z)
    {
        const uint32_t key = depthKey(z);
        const bool inOrder = d_inOrder && (d_size == 0 || key >= d_lastKey);
        if (!roomFor(inOrder))
            makeRoom(inOrder);
        return take(key, inOrder);
    }

    // append when that needs nothing beyond the queue's free room, else null
    // (and the queue unchanged): a caller without a call on its way keeps
    // its arguments in registers.
    QueuedQuad* tryAppend(float z)
    {
        const uint32_t key = depthKey(z);
        const bool inOrder = d_inOrder && (d_size == 0 || key >= d_lastKey);
        if (!roomFor(inOrder))
            return nullptr;
        return &take(key, inOrder);
    }

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

    // The quads in submission order, copied out; and whether they equal such
    // a copy bit for bit.
    void copyTo(std::vector<QueuedQuad>& out) const;
    bool sameAs(const std::vector<QueuedQuad>& copy) const;

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
    static uint32_t depthKey(float z)
    {
        if (z != z)
            return 0xFFFFFFFFu;
        uint32_t bits;
        std::memcpy(&bits, &z, sizeof bits);
        if ((bits << 1) == 0)
            bits = 0; // -0 sorts with +0
        // Negative depths: larger magnitude, larger key. Positive depths: the
        // bits inverted below the sign, so that larger depths get smaller keys.
        return (bits & 0x80000000u) ? bits : ~bits & 0x7FFFFFFFu;
    }

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
    // What appending one more quad needs beyond a free slot in the last
    // block: a new block, and when the queue is out of order, room to order it.
    void makeRoom(bool inOrder);
    bool roomFor(bool inOrder) const
    {
        return (d_size & (kBlockSize - 1)) != 0 && d_size < 0xFFFFFFFFu && (inOrder || sortRoomFor(d_size + 1));
    }
    QueuedQuad& take(uint32_t key, bool inOrder)
    {
        QueuedQuad& slot = at(d_size);
        d_inOrder = inOrder;
        d_lastKey = key;
        ++d_size;
        d_sortValid = false;
        return slot;
    }
    // Whether the room to order `count` quads is taken (reserveSortRoom).
    bool sortRoomFor(size_t count) const
    {
        return d_sorted.capacity() >= count &&
               (count < kRadixThreshold ||
                (d_sortScratch.capacity() >= d_sorted.capacity() && d_radixCounts != nullptr));
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
    // The last two sorts' words before and after them: a GUI often goes
    // back and forth between two states (the pointer onto a button and off).
    struct KeptOrder {
        std::vector<uint64_t> words;
        std::vector<uint64_t> order;
        bool valid = false;
    };
    mutable KeptOrder d_kept[2];
    mutable size_t d_newestKept = 0;
    std::unique_ptr<uint32_t[]> d_radixCounts;
};

} // namespace ZorvUISystem
