// TGA: an 18-byte header, the image ID, the colour map, then the pixels,
// stored or in run-length packets that may run on from one row into the
// next. The descriptor byte gives the number of attribute (alpha) bits and
// where the first stored pixel goes: bit 4 set stores rows right to left,
// bit 5 set stores the top row first. A TGA 2.0 footer may point at an
// extension area whose attributes type says what the attribute bits mean.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "ImageReaders.h"

namespace corona::detail {

namespace {

constexpr size_t kHeaderBytes = 18;
constexpr size_t kFooterBytes = 26;
constexpr size_t kExtensionBytes = 495;
constexpr char kSignature[] = "TRUEVISION-XFILE.";

uint32_t le16(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

uint32_t le32(const uint8_t* p)
{
    return le16(p) | le16(p + 2) << 16;
}

bool isColourBits(int bits)
{
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

struct Header {
    int idLength = 0;
    int colourMapType = 0;
    int imageType = 0;
    int mapFirst = 0;
    int mapLength = 0;
    int mapEntryBits = 0;
    int width = 0;
    int height = 0;
    int pixelBits = 0;
    int descriptor = 0;

    int kind() const { return imageType & 7; } // 1 colour-mapped, 2 true colour, 3 grey
    bool runLengths() const { return (imageType & 8) != 0; }
    // Bits of the colours that carry attribute bits: the map's entries or
    // the pixels themselves.
    int colourBits() const { return kind() == 1 ? mapEntryBits : pixelBits; }
};

bool readHeader(const uint8_t* data, size_t size, Header& h)
{
    if (size < kHeaderBytes)
        return false;
    h.idLength = data[0];
    h.colourMapType = data[1];
    h.imageType = data[2];
    h.mapFirst = static_cast<int>(le16(data + 3));
    h.mapLength = static_cast<int>(le16(data + 5));
    h.mapEntryBits = data[7];
    h.width = static_cast<int>(le16(data + 12));
    h.height = static_cast<int>(le16(data + 14));
    h.pixelBits = data[16];
    h.descriptor = data[17];
    if (h.colourMapType > 1 || (h.imageType & ~8) < 1 || (h.imageType & ~8) > 3 || h.width == 0 || h.height == 0)
        return false;
    if (h.colourMapType == 1 && h.mapLength > 0 && !isColourBits(h.mapEntryBits))
        return false;
    switch (h.kind()) {
    case 1:
        return h.colourMapType == 1 && h.mapLength > 0 && (h.pixelBits == 8 || h.pixelBits == 16);
    case 2:
        return isColourBits(h.pixelBits);
    default:
        return h.pixelBits == 8 || h.pixelBits == 16;
    }
}

// The extension area's attributes type (3 alpha, 4 premultiplied alpha; 0
// to 2 none), or -1 when the file has no extension area.
int attributesType(const uint8_t* data, size_t size)
{
    if (size >= kHeaderBytes + kExtensionBytes + kFooterBytes &&
        std::memcmp(data + size - 18, kSignature, sizeof kSignature) == 0) {
        const uint32_t extension = le32(data + size - kFooterBytes);
        if (extension != 0 && extension >= kHeaderBytes && extension <= size - kFooterBytes - kExtensionBytes &&
            le16(data + extension) >= kExtensionBytes)
            return data[extension + 494];
    }
    return -1;
}

// Whether the attribute bits of the decoded picture are alpha. An extension
// area says so itself. Without one, as image tools read such files: 32-bit
// colours carry alpha when any of their fourth bytes is not zero, whatever
// the descriptor counts; 16-bit colours when the descriptor counts an
// attribute bit and it is set somewhere. An attribute that is clear in
// every pixel means opaque.
bool attributesAreAlpha(const uint8_t* data, size_t size, const Header& h, int colourBits, bool anySet)
{
    const int type = attributesType(data, size);
    if (type >= 0)
        return type == 3 || type == 4;
    if (colourBits == 16)
        return (h.descriptor & 15) != 0 && anySet;
    return anySet;
}

// One colour of the given bits (15, 16, 24, 32) as red, green, blue, alpha.
// 15- and 16-bit colours are five bits a channel, widened by repeating their
// top bits, and bit 15 is the attribute bit.
void readColour(const uint8_t* in, int bits, uint8_t* rgba)
{
    if (bits <= 16) {
        const uint32_t v = le16(in);
        const auto wide = [](uint32_t five) { return static_cast<uint8_t>(five << 3 | five >> 2); };
        rgba[0] = wide(v >> 10 & 31);
        rgba[1] = wide(v >> 5 & 31);
        rgba[2] = wide(v & 31);
        rgba[3] = (bits == 16 && (v & 0x8000)) ? 0xFF : 0;
        return;
    }
    rgba[0] = in[2];
    rgba[1] = in[1];
    rgba[2] = in[0];
    rgba[3] = bits == 32 ? in[3] : 0xFF;
}

struct Reader {
    const Header& h;
    std::vector<uint8_t> map; // red, green, blue, alpha per entry

    // A stored pixel as red, green, blue, alpha; false for an index outside
    // the colour map.
    bool colour(const uint8_t* in, uint8_t* rgba) const
    {
        switch (h.kind()) {
        case 1: {
            const int64_t index = int64_t(h.pixelBits == 8 ? in[0] : le16(in)) - h.mapFirst;
            if (index < 0 || index >= h.mapLength)
                return false;
            std::memcpy(rgba, map.data() + index * 4, 4);
            return true;
        }
        case 2:
            readColour(in, h.pixelBits, rgba);
            return true;
        default:
            rgba[0] = rgba[1] = rgba[2] = in[0];
            rgba[3] = h.pixelBits == 16 ? in[1] : 0xFF;
            return true;
        }
    }
};

} // namespace

bool isTga(const uint8_t* data, size_t size)
{
    Header h;
    return readHeader(data, size, h);
}

bool decodeTga(const uint8_t* data, size_t size, Decoded& out)
{
    Header h;
    if (!readHeader(data, size, h))
        return false;
    const size_t entryBytes = (size_t(h.mapEntryBits) + 7) / 8;
    const size_t mapStart = kHeaderBytes + size_t(h.idLength);
    const size_t mapBytes = h.colourMapType == 1 ? size_t(h.mapLength) * entryBytes : 0;
    if (size < mapStart + mapBytes)
        return false;
    size_t p = mapStart + mapBytes;

    // Before anything is allocated: the bytes that the pixels need at
    // least, stored or in packets of at most 128 pixels.
    const size_t pixelBytes = (size_t(h.pixelBits) + 7) / 8;
    const uint64_t count = uint64_t(h.width) * uint64_t(h.height);
    const uint64_t needed = h.runLengths() ? (count + 127) / 128 * (1 + pixelBytes) : count * pixelBytes;
    if (uint64_t(size - p) < needed)
        return false;

    // Colours that may carry alpha are read with it; whether they do is
    // known once every pixel has been read.
    const int colourBits = h.kind() == 3 ? (h.pixelBits == 16 ? 32 : 24) : h.colourBits();
    const bool attributes = colourBits == 16 || colourBits == 32;
    const int bytes = attributes ? 4 : 3;
    PixelBuffer pixels = allocatePixels(h.width, h.height, bytes);
    if (!pixels)
        return false;

    Reader reader{h, {}};
    if (h.kind() == 1) {
        reader.map.resize(size_t(h.mapLength) * 4);
        for (int i = 0; i < h.mapLength; ++i)
            readColour(data + mapStart + i * entryBytes, h.mapEntryBits, reader.map.data() + size_t(i) * 4);
    }

    const bool rightToLeft = (h.descriptor & 0x10) != 0;
    const bool topFirst = (h.descriptor & 0x20) != 0;
    int packetLeft = 0;
    bool repeat = false;
    uint8_t rgba[4] = {};
    bool anySet = false;
    for (uint64_t k = 0; k < count; ++k) {
        if (h.runLengths() && packetLeft == 0) {
            if (size - p < 1)
                return false;
            repeat = (data[p] & 0x80) != 0;
            packetLeft = (data[p] & 0x7F) + 1;
            ++p;
            if (repeat) {
                if (size - p < pixelBytes || !reader.colour(data + p, rgba))
                    return false;
                p += pixelBytes;
            }
        }
        if (!repeat) {
            if (size - p < pixelBytes || !reader.colour(data + p, rgba))
                return false;
            p += pixelBytes;
        }
        if (h.runLengths())
            --packetLeft;
        const uint64_t row = k / uint64_t(h.width);
        const uint64_t column = k % uint64_t(h.width);
        const uint64_t y = topFirst ? row : uint64_t(h.height) - 1 - row;
        const uint64_t x = rightToLeft ? uint64_t(h.width) - 1 - column : column;
        std::memcpy(pixels.get() + (y * uint64_t(h.width) + x) * bytes, rgba, bytes);
        anySet = anySet || rgba[3] != 0;
    }
    const bool alpha = attributes && attributesAreAlpha(data, size, h, colourBits, anySet);
    if (attributes && !alpha)
        dropAlpha(pixels.get(), size_t(count));
    out.width = h.width;
    out.height = h.height;
    out.format = alpha ? PF_R8G8B8A8 : PF_R8G8B8;
    out.pixels = std::move(pixels);
    return true;
}

} // namespace corona::detail
