// BMP: the file header, then a core (OS/2 1.x, 12 bytes), OS/2 2.x, info
// (40 bytes, with or without the masks that follow it), V4 or V5 header;
// then the palette and the pixel rows, bottom row first unless the height is
// negative. Rows are padded to four bytes; RLE4 and RLE8 streams run from
// the bottom row up with end-of-line, end-of-bitmap and delta codes.
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <utility>

#include "ImageReaders.h"

namespace corona::detail {

namespace {

enum Compression : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitfields = 3,
    kAlphaBitfields = 6,
};

constexpr size_t kFileHeaderBytes = 14;

uint32_t le16(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

uint32_t le32(const uint8_t* p)
{
    return le16(p) | le16(p + 2) << 16;
}

// One colour channel of a 16- or 32-bit pixel: its mask and where it sits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    // The channel's value widened or narrowed to 8 bits; narrow fields are
    // widened by repeating their bits (5 bits abcde give abcdeabc).
    uint8_t expand(uint32_t pixel) const
    {
        if (bits == 0)
            return 0;
        const uint32_t value = (pixel & mask) >> shift;
        if (bits >= 8)
            return static_cast<uint8_t>(value >> (bits - 8));
        uint32_t wide = 0;
        int filled = 0;
        for (; filled < 8; filled += bits)
            wide = wide << bits | value;
        return static_cast<uint8_t>(wide >> (filled - 8));
    }
};

// A channel of one contiguous run of bits, or false for a broken mask.
bool makeChannel(uint32_t mask, int pixelBits, Channel& channel)
{
    channel = Channel{};
    if (mask == 0)
        return true;
    if (pixelBits < 32 && (mask >> pixelBits) != 0)
        return false;
    const int shift = std::countr_zero(mask);
    const uint32_t field = mask >> shift;
    if ((field & (field + 1)) != 0)
        return false;
    channel = Channel{mask, shift, std::popcount(field)};
    return true;
}

// The header sizes that BMP writers use: core, OS/2 2.x (the 16 bytes that
// most of them keep, or all 64), info, info with three or four masks, V4 and
// V5. Any other count is not a BMP header.
bool isKnownHeader(uint32_t bytes)
{
    switch (bytes) {
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
        return true;
    default:
        return false;
    }
}

struct Layout {
    int64_t width = 0;
    int64_t height = 0;
    bool topDown = false;
    int bits = 0;
    uint32_t compression = kRgb;
    Channel red, green, blue, alpha;
    // Palette entries as red, green, blue; count is what the file holds, at
    // most 2^bits.
    uint8_t palette[256][3] = {};
    int paletteEntries = 0;
    size_t pixelOffset = 0;
};

// Reads the headers and the palette; false for anything unknown or any
// field that contradicts the file.
bool readLayout(const uint8_t* data, size_t size, Layout& layout)
{
    if (size < kFileHeaderBytes + 12)
        return false;
    const uint32_t headerBytes = le32(data + 14);
    if (!isKnownHeader(headerBytes) || headerBytes > size - kFileHeaderBytes)
        return false;
    const uint8_t* header = data + kFileHeaderBytes;
    const bool core = headerBytes == 12;
    // A field of the header, or 0 when the header is too short to hold it.
    auto field = [&](uint32_t at) { return at + 4 <= headerBytes ? le32(header + at) : 0u; };

    uint32_t paletteDeclared = 0;
    if (core) {
        layout.width = le16(header + 4);
        layout.height = le16(header + 6);
        layout.bits = static_cast<int>(le16(header + 10));
    } else {
        if (headerBytes < 16)
            return false;
        layout.width = static_cast<int32_t>(le32(header + 4));
        const int64_t height = static_cast<int32_t>(le32(header + 8));
        layout.topDown = height < 0;
        layout.height = height < 0 ? -height : height;
        layout.bits = static_cast<int>(le16(header + 14));
        layout.compression = field(16);
        paletteDeclared = field(32);
    }
    // The plane count sits just before the bit count and is always 1.
    const int planesAt = core ? 8 : 12;
    if (le16(header + planesAt) != 1 || pixelBufferSize(layout.width, layout.height, 4) == 0)
        return false;

    // Info headers of OS/2 2.x share the first fields but give compression
    // 3 and 4 other meanings (Huffman, RLE24) that are not read here.
    const bool osTwo = !core && headerBytes < 108 && headerBytes != 40 && headerBytes != 52 && headerBytes != 56;
    const int bits = layout.bits;
    switch (layout.compression) {
    case kRgb:
        if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && (core || (bits != 16 && bits != 32)))
            return false;
        break;
    case kRle8:
    case kRle4:
        if (bits != (layout.compression == kRle8 ? 8 : 4) || layout.topDown)
            return false;
        break;
    case kBitfields:
    case kAlphaBitfields:
        if (osTwo || (bits != 16 && bits != 32))
            return false;
        break;
    default:
        return false;
    }

    // Masks: in the header from V2 on, otherwise right after a 40-byte one.
    size_t paletteStart = kFileHeaderBytes + headerBytes;
    uint32_t masks[4] = {};
    if (layout.compression == kBitfields || layout.compression == kAlphaBitfields) {
        const int count = layout.compression == kAlphaBitfields ? 4 : 3;
        if (headerBytes >= 52) {
            for (int i = 0; i < 4; ++i)
                masks[i] = field(40 + 4 * i);
        } else {
            if (size - paletteStart < size_t(4) * count)
                return false;
            for (int i = 0; i < count; ++i)
                masks[i] = le32(data + paletteStart + 4 * i);
            paletteStart += size_t(4) * count;
        }
        if (layout.compression == kBitfields && headerBytes < 56)
            masks[3] = 0;
    } else if (bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (bits == 32) {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    }
    if (!makeChannel(masks[0], bits, layout.red) || !makeChannel(masks[1], bits, layout.green) ||
        !makeChannel(masks[2], bits, layout.blue) || !makeChannel(masks[3], bits, layout.alpha))
        return false;

    const uint32_t offset = le32(data + 10);
    if (offset < paletteStart || offset > size)
        return false;
    layout.pixelOffset = offset;
    if (bits > 8)
        return true; // a palette in front of direct colours is of no use

    // The palette lies between the headers and the pixels. A core header
    // has no count: the room there is the palette. Otherwise the declared
    // count (0 for all 2^bits) has to fit in that room.
    const size_t entryBytes = core ? 3 : 4;
    const uint64_t room = (offset - paletteStart) / entryBytes;
    const uint64_t full = uint64_t{1} << bits;
    uint64_t declared = core ? std::min(room, full) : (paletteDeclared != 0 ? paletteDeclared : full);
    if (declared > room || declared == 0)
        return false;
    layout.paletteEntries = static_cast<int>(std::min(declared, full));
    for (int i = 0; i < layout.paletteEntries; ++i) {
        const uint8_t* entry = data + paletteStart + i * entryBytes;
        layout.palette[i][0] = entry[2];
        layout.palette[i][1] = entry[1];
        layout.palette[i][2] = entry[0];
    }
    return true;
}

// Writes pixels of a width x height picture, three or four bytes each.
struct Canvas {
    uint8_t* pixels;
    int64_t width;
    int64_t height;
    int bytes;

    uint8_t* at(int64_t x, int64_t y) const { return pixels + (y * width + x) * bytes; }
};

uint64_t rowBytes(const Layout& layout)
{
    return (uint64_t(layout.width) * uint64_t(layout.bits) + 7) / 8;
}

uint64_t rowStride(const Layout& layout)
{
    return (rowBytes(layout) + 3) & ~uint64_t{3};
}

// Whether the file holds every uncompressed row; the last one needs no
// padding after it.
bool rowsFit(size_t size, const Layout& layout)
{
    return uint64_t(size - layout.pixelOffset) >= rowStride(layout) * uint64_t(layout.height - 1) + rowBytes(layout);
}

// A 32-bit BI_RGB file has no alpha mask, but icon and image tools write
// alpha into the fourth bytes: when any of them is not zero they are alpha,
// when all are zero the picture is opaque.
bool fourthBytesCarryAlpha(const uint8_t* data, const Layout& layout)
{
    if (layout.compression != kRgb || layout.bits != 32)
        return false;
    const uint64_t stride = rowStride(layout);
    for (int64_t y = 0; y < layout.height; ++y) {
        const uint8_t* row = data + layout.pixelOffset + stride * uint64_t(y);
        for (int64_t x = 0; x < layout.width; ++x)
            if (row[x * 4 + 3] != 0)
                return true;
    }
    return false;
}

// Uncompressed rows, which rowsFit has found in the file.
bool readRows(const uint8_t* data, const Layout& layout, const Canvas& canvas)
{
    const int bits = layout.bits;
    const uint64_t stride = rowStride(layout);
    const int pixelBytes = bits / 8;
    for (int64_t y = 0; y < layout.height; ++y) {
        const int64_t fileRow = layout.topDown ? y : layout.height - 1 - y;
        const uint8_t* row = data + layout.pixelOffset + stride * uint64_t(fileRow);
        uint8_t* out = canvas.at(0, y);
        for (int64_t x = 0; x < layout.width; ++x, out += canvas.bytes) {
            if (bits <= 8) {
                const uint64_t bit = uint64_t(x) * bits;
                const int index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
                if (index >= layout.paletteEntries)
                    return false;
                std::memcpy(out, layout.palette[index], 3);
                continue;
            }
            const uint8_t* in = row + x * pixelBytes;
            if (bits == 24) {
                out[0] = in[2], out[1] = in[1], out[2] = in[0];
                continue;
            }
            const uint32_t pixel = bits == 16 ? le16(in) : le32(in);
            out[0] = layout.red.expand(pixel);
            out[1] = layout.green.expand(pixel);
            out[2] = layout.blue.expand(pixel);
            if (canvas.bytes == 4)
                out[3] = layout.alpha.expand(pixel);
        }
    }
    return true;
}

// RLE4 and RLE8 into a canvas of four bytes a pixel, all zero: pixels that
// deltas, ends of line or the end of the bitmap skip stay transparent, as
// browsers show them; every pixel drawn is opaque. skipped tells whether
// any pixel was left. The stream has to reach the end of the bitmap or
// leave the top row behind.
bool readRunLengths(const uint8_t* data, size_t size, const Layout& layout, const Canvas& canvas, bool& skipped)
{
    const bool four = layout.compression == kRle4;
    size_t p = layout.pixelOffset;
    int64_t x = 0;
    int64_t y = 0; // from the bottom
    auto put = [&](int index) {
        if (index >= layout.paletteEntries)
            return false;
        if (x < layout.width) {
            uint8_t* out = canvas.at(x, layout.height - 1 - y);
            std::memcpy(out, layout.palette[index], 3);
            out[3] = 0xFF;
        }
        ++x;
        return true;
    };
    while (y < layout.height) {
        if (size - p < 2)
            return false;
        const int count = data[p];
        const int code = data[p + 1];
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                if (!put(four ? (i % 2 == 0 ? code >> 4 : code & 15) : code))
                    return false;
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            break;
        } else if (code == 2) {
            if (size - p < 2)
                return false;
            x += data[p];
            y += data[p + 1];
            p += 2;
        } else {
            const size_t bytes = four ? (size_t(code) + 1) / 2 : size_t(code);
            if (size - p < bytes)
                return false;
            for (int i = 0; i < code; ++i) {
                const uint8_t byte = data[p + (four ? i / 2 : i)];
                if (!put(four ? (i % 2 == 0 ? byte >> 4 : byte & 15) : byte))
                    return false;
            }
            // Literal runs are padded to a whole number of 16-bit words.
            p += std::min(size - p, (bytes + 1) & ~size_t{1});
        }
    }
    skipped = false;
    for (int64_t y = 0; y < layout.height && !skipped; ++y)
        for (int64_t x = 0; x < layout.width && !skipped; ++x)
            skipped = canvas.at(x, y)[3] == 0;
    return true;
}

} // namespace

bool isBmp(const uint8_t* data, size_t size)
{
    return size >= 2 && data[0] == 'B' && data[1] == 'M';
}

bool decodeBmp(const uint8_t* data, size_t size, Decoded& out)
{
    if (!isBmp(data, size))
        return false;
    auto layout = std::make_unique<Layout>();
    if (!readLayout(data, size, *layout))
        return false;
    int bytes = layout->alpha.bits > 0 ? 4 : 3;
    PixelBuffer pixels;
    // Uncompressed rows are checked against the file before the picture is
    // allocated; run lengths are known only while they are read.
    if (layout->compression == kRle4 || layout->compression == kRle8) {
        pixels = allocatePixels(layout->width, layout->height, 4);
        bool skipped = false;
        if (!pixels ||
            !readRunLengths(data, size, *layout, Canvas{pixels.get(), layout->width, layout->height, 4}, skipped))
            return false;
        bytes = skipped ? 4 : 3;
        if (!skipped)
            dropAlpha(pixels.get(), size_t(layout->width * layout->height));
    } else {
        if (!rowsFit(size, *layout))
            return false;
        if (fourthBytesCarryAlpha(data, *layout)) {
            makeChannel(0xFF000000u, 32, layout->alpha);
            bytes = 4;
        }
        pixels = allocatePixels(layout->width, layout->height, bytes);
        if (!pixels || !readRows(data, *layout, Canvas{pixels.get(), layout->width, layout->height, bytes}))
            return false;
    }
    out.width = static_cast<int>(layout->width);
    out.height = static_cast<int>(layout->height);
    out.format = bytes == 4 ? PF_R8G8B8A8 : PF_R8G8B8;
    out.pixels = std::move(pixels);
    return true;
}

} // namespace corona::detail
