#include "Blit.h"

#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

namespace zivdd {

namespace {

// Unscaled, unkeyed: whole rows at a time where pixels are whole bytes.
template <class P> void copyRect(const PixelRect& source, const PixelRect& dest)
{
    if constexpr (P::bits >= 8) {
        constexpr size_t bytes = P::bits / 8;
        for (size_t y = 0; y < source.height; ++y)
            std::memcpy(dest.row(y) + dest.x * bytes, source.row(y) + source.x * bytes, source.width * bytes);
    } else {
        for (size_t y = 0; y < source.height; ++y) {
            const uint8_t* from = source.row(y);
            uint8_t* to = dest.row(y);
            for (size_t x = 0; x < source.width; ++x)
                P::put(to, dest.x + x, P::get(from, source.x + x));
        }
    }
}

// Keyed rows of 16- or 32-bit pixels without a branch per pixel, so that the
// loop runs in vector registers: every destination pixel is stored, the ones
// the key leaves out with the value they already hold.
template <class Word>
[[gnu::always_inline]] inline void keyedRows(const PixelRect& source, const PixelRect& dest, uint32_t keyMask,
                                             uint32_t keyValue)
{
    using Vector [[gnu::vector_size(32)]] = Word;
    constexpr size_t lanes = sizeof(Vector) / sizeof(Word);
    const Word mask = static_cast<Word>(keyMask);
    const Word value = static_cast<Word>(keyValue);
    const Vector masks = Vector{} + mask;
    const Vector values = Vector{} + value;
    const size_t width = source.width;
    for (size_t y = 0; y < source.height; ++y) {
        const uint8_t* from = source.row(y) + source.x * sizeof(Word);
        uint8_t* to = dest.row(y) + dest.x * sizeof(Word);
        if (y + 1 < source.height)
            for (size_t offset = 0; offset < width * sizeof(Word); offset += 64)
                __builtin_prefetch(to + dest.pitch + offset, 1);
        if (width < lanes) {
            for (size_t x = 0; x < width; ++x) {
                Word in, out;
                std::memcpy(&in, from + x * sizeof(Word), sizeof(Word));
                std::memcpy(&out, to + x * sizeof(Word), sizeof(Word));
                const Word kept = (in & mask) == value ? out : in;
                std::memcpy(to + x * sizeof(Word), &kept, sizeof(Word));
            }
            continue;
        }
        // Whole vectors; the last one may overlap the one before, which
        // gives the same pixels again (the source is not the destination).
        auto step = [&](size_t x) {
            Vector in, out;
            std::memcpy(&in, from + x * sizeof(Word), sizeof(Vector));
            std::memcpy(&out, to + x * sizeof(Word), sizeof(Vector));
            const Vector keyed = (in & masks) == values;
            const Vector kept = (out & keyed) | (in & ~keyed);
            std::memcpy(to + x * sizeof(Word), &kept, sizeof(Vector));
        };
        size_t x = 0;
        for (; x + lanes <= width; x += lanes)
            step(x);
        if (x < width)
            step(width - lanes);
    }
}

// Built for AVX2 too, chosen when the processor has it.
[[gnu::target_clones("avx2", "default")]] void keyedRows16(const PixelRect& source, const PixelRect& dest,
                                                           uint32_t mask, uint32_t value)
{
    keyedRows<uint16_t>(source, dest, mask, value);
}

[[gnu::target_clones("avx2", "default")]] void keyedRows32(const PixelRect& source, const PixelRect& dest,
                                                           uint32_t mask, uint32_t value)
{
    keyedRows<uint32_t>(source, dest, mask, value);
}

template <class P, class Key> void keyedCopyRect(const PixelRect& source, const PixelRect& dest, const Key& key)
{
    if constexpr (std::is_same_v<Key, SingleKey> && P::bits == 16) {
        keyedRows16(source, dest, key.mask, key.value);
        return;
    } else if constexpr (std::is_same_v<Key, SingleKey> && P::bits == 32) {
        keyedRows32(source, dest, key.mask, key.value);
        return;
    }
    for (size_t y = 0; y < source.height; ++y) {
        const uint8_t* from = source.row(y);
        uint8_t* to = dest.row(y);
        for (size_t x = 0; x < source.width; ++x) {
            const uint32_t pixel = P::get(from, source.x + x);
            if (!key.transparent(pixel))
                P::put(to, dest.x + x, pixel);
        }
    }
}

// 16.16 fixed-point step of one axis.
uint64_t samplingStep(size_t sourceLength, size_t destLength)
{
    return (static_cast<uint64_t>(sourceLength) << 16) / destLength;
}

template <class P, class Key> HRESULT stretchRect(const PixelRect& source, const PixelRect& dest, const Key& key)
{
    // Source columns are worked out once per blit, not once per pixel.
    std::unique_ptr<size_t[]> columns(new (std::nothrow) size_t[dest.width]);
    if (columns == nullptr)
        return DDERR_OUTOFMEMORY;
    const uint64_t stepX = samplingStep(source.width, dest.width);
    for (size_t x = 0; x < dest.width; ++x)
        columns[x] = source.x + static_cast<size_t>((x * stepX) >> 16);

    const uint64_t stepY = samplingStep(source.height, dest.height);
    size_t previousRow = 0;
    for (size_t y = 0; y < dest.height; ++y) {
        const size_t sourceRow = static_cast<size_t>((y * stepY) >> 16);
        uint8_t* to = dest.row(y);
        if constexpr (std::is_same_v<Key, NoKey> && P::bits >= 8) {
            // A source row taken again gives the destination row just made.
            constexpr size_t bytes = P::bits / 8;
            if (y > 0 && sourceRow == previousRow) {
                std::memcpy(to + dest.x * bytes, dest.row(y - 1) + dest.x * bytes, dest.width * bytes);
                continue;
            }
        }
        previousRow = sourceRow;
        if (y + 1 < dest.height) {
            const uint8_t* next = dest.row(y + 1) + dest.x * P::bits / 8;
            const size_t rowBytes = dest.width * P::bits / 8;
            for (size_t offset = 0; offset < rowBytes; offset += 64)
                __builtin_prefetch(next + offset, 1);
        }
        const uint8_t* from = source.row(sourceRow);
        // Locals: the pixel stores could alias the rectangle's fields, which
        // would be read again for every pixel.
        const size_t* sourceColumns = columns.get();
        const size_t width = dest.width;
        const size_t firstX = dest.x;
        size_t x = 0;
        if constexpr (std::is_same_v<Key, NoKey> && (P::bits == 16 || P::bits == 32)) {
            // Eight bytes of pixels gathered, then stored at once.
            constexpr size_t perWord = 64 / P::bits;
            uint8_t* out = to + firstX * (P::bits / 8);
            for (; x + perWord <= width; x += perWord) {
                uint64_t packed = 0;
                for (size_t i = 0; i < perWord; ++i)
                    packed |= uint64_t(P::get(from, sourceColumns[x + i])) << (i * P::bits);
                std::memcpy(out + x * (P::bits / 8), &packed, sizeof(packed));
            }
        }
        for (; x < width; ++x) {
            const uint32_t pixel = P::get(from, sourceColumns[x]);
            if (!key.transparent(pixel))
                P::put(to, firstX + x, pixel);
        }
    }
    return DD_OK;
}

template <class P, class Key> HRESULT copyWithKey(const PixelRect& source, const PixelRect& dest, const Key& key)
{
    if (source.width == dest.width && source.height == dest.height) {
        keyedCopyRect<P>(source, dest, key);
        return DD_OK;
    }
    return stretchRect<P>(source, dest, key);
}

} // namespace

HRESULT blitPixels(const Format& format, const PixelRect& source, const PixelRect& dest, const KeyValue* key)
{
    std::unique_ptr<uint8_t[]> temporary;
    PixelRect from = source;
    if (source.overlaps(dest)) {
        const size_t rowBytes = format.rowBytes(source.width);
        temporary.reset(new (std::nothrow) uint8_t[rowBytes * source.height]);
        if (temporary == nullptr)
            return DDERR_OUTOFMEMORY;
        const PixelRect copy{temporary.get(), rowBytes, 0, 0, source.width, source.height};
        withPixel(format.bits, [&](auto pixel) { copyRect<decltype(pixel)>(source, copy); });
        from = copy;
    }

    return withPixel(format.bits, [&](auto pixel) -> HRESULT {
        using P = decltype(pixel);
        if (key == nullptr) {
            if (from.width == dest.width && from.height == dest.height) {
                copyRect<P>(from, dest);
                return DD_OK;
            }
            return stretchRect<P>(from, dest, NoKey{});
        }
        if (key->colourSpace)
            return copyWithKey<P>(from, dest, RangeKey(format, *key));
        return copyWithKey<P>(from, dest, SingleKey(format, *key));
    });
}

} // namespace zivdd
