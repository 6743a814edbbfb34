#include "ImageTable.h"

#include <bit>
#include <functional>
#include <utility>

#include "ImageFiles.h"

namespace ZivImageTable {

namespace {

// The pictures are 5 x 3: odd rows pad in every depth, and three rows tell
// bottom-up from top-down.
constexpr int kWidth = 5;
constexpr int kHeight = 3;

struct Rgba {
    uint8_t r, g, b, a;
};

// Sixteen colours, every channel value different.
Rgba colour(int i)
{
    return {uint8_t(17 * i + 3), uint8_t(250 - 13 * i), uint8_t((71 * i + 40) & 255), uint8_t((i * 67 + 5) & 255)};
}

// The palette index of every pixel of the picture, for a palette of n.
int indexAt(int x, int y, int n)
{
    return (x + 2 * y + x * y) % n;
}

// Little-endian fields: value and byte count.
void put(Bytes& out, std::initializer_list<std::pair<uint32_t, int>> fields)
{
    for (const auto& [value, bytes] : fields)
        for (int i = 0; i < bytes; ++i)
            out.push_back(uint8_t(value >> (8 * i)));
}

void put32(Bytes& out, uint32_t v)
{
    put(out, {{v, 4}});
}

// A k-bit field widened to 8 bits by repeating its bits.
uint8_t widen(uint32_t v, int k)
{
    uint32_t wide = 0;
    int filled = 0;
    for (; filled < 8; filled += k)
        wide = wide << k | v;
    return uint8_t(wide >> (filled - 8));
}

// A picture in the making: every pixel set through at(x, y).
struct Picture {
    int width = kWidth;
    int height = kHeight;
    int channels = 3;
    Bytes pixels = Bytes(size_t(width) * height * channels);

    Picture(int w = kWidth, int h = kHeight, int c = 3) : width(w), height(h), channels(c), pixels(size_t(w) * h * c) {}
    void set(int x, int y, Rgba c)
    {
        uint8_t* p = pixels.data() + (size_t(y) * width + x) * channels;
        p[0] = c.r, p[1] = c.g, p[2] = c.b;
        if (channels == 4)
            p[3] = c.a;
    }
    Picture& fill(const std::function<Rgba(int, int)>& at)
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                set(x, y, at(x, y));
        return *this;
    }
    Case named(std::string name, Bytes file) const
    {
        return {std::move(name), std::move(file), width, height, channels, pixels};
    }
};

Case refused(std::string name, Bytes file)
{
    return {std::move(name), std::move(file), 0, 0, 3, {}};
}

// ----- BMP --------------------------------------------------------------------

struct Bmp {
    int header = 40; // 12 core, 40 info, 108 V4, 124 V5
    int bits = 24;
    uint32_t compression = 0;
    bool topDown = false;
    uint32_t masks[4] = {}; // in a V4/V5 header, or after a 40-byte one for compression 3 and 6
    Bytes palette;          // as stored
    uint32_t coloursUsed = 0;
    Bytes data; // rows or run lengths
    int width = kWidth;
    int height = kHeight;
};

Bytes bmpFile(const Bmp& b)
{
    Bytes out = {'B', 'M'};
    put(out, {{0, 4}, {0, 4}, {0, 4}}); // file size and pixel offset filled in at the end
    const uint32_t w = uint32_t(b.width), h = uint32_t(b.topDown ? -b.height : b.height), bits = uint32_t(b.bits);
    if (b.header == 12) {
        put(out, {{12, 4}, {w, 2}, {h, 2}, {1, 2}, {bits, 2}});
    } else {
        put(out, {{uint32_t(b.header), 4},
                  {w, 4},
                  {h, 4},
                  {1, 2},
                  {bits, 2},
                  {b.compression, 4},
                  {uint32_t(b.data.size()), 4},
                  {2835, 4},
                  {2835, 4},
                  {b.coloursUsed, 4},
                  {0, 4}});
        if (b.header < 40) {
            out.resize(14 + size_t(b.header)); // OS/2 2.x: the fields that follow are 0
        } else if (b.header == 64) {
            out.resize(14 + 64, 0);
        } else if (b.header >= 108) {
            for (uint32_t mask : b.masks)
                put32(out, mask);
            put32(out, 0x73524742); // sRGB
            out.resize(14 + size_t(b.header), 0);
        } else if (b.compression == 3 || b.compression == 6) {
            for (int i = 0; i < (b.compression == 6 ? 4 : 3); ++i)
                put32(out, b.masks[i]);
        }
    }
    out.insert(out.end(), b.palette.begin(), b.palette.end());
    const uint32_t offset = uint32_t(out.size());
    out.insert(out.end(), b.data.begin(), b.data.end());
    for (int i = 0; i < 4; ++i) {
        out[2 + i] = uint8_t(out.size() >> (8 * i));
        out[10 + i] = uint8_t(offset >> (8 * i));
    }
    return out;
}

Bytes bmpPalette(int n, bool core)
{
    Bytes out;
    for (int i = 0; i < n; ++i) {
        const Rgba c = colour(i);
        out.insert(out.end(), {c.b, c.g, c.r});
        if (!core)
            out.push_back(0);
    }
    return out;
}

// Stored rows, bottom row first unless topDown, each padded to four bytes;
// value gives a pixel's bits (24-bit values as 0xRRGGBB).
Bytes bmpRows(int bits, bool topDown, const std::function<uint32_t(int, int)>& value)
{
    Bytes out;
    for (int s = 0; s < kHeight; ++s) {
        const int y = topDown ? s : kHeight - 1 - s;
        const size_t start = out.size();
        uint32_t acc = 0;
        int filled = 0;
        for (int x = 0; x < kWidth; ++x) {
            const uint32_t v = value(x, y);
            if (bits < 8) {
                acc = acc << bits | v;
                if ((filled += bits) == 8)
                    out.push_back(uint8_t(acc)), acc = 0, filled = 0;
            } else {
                for (int i = 0; i < bits / 8; ++i)
                    out.push_back(uint8_t(v >> (8 * i)));
            }
        }
        if (filled > 0)
            out.push_back(uint8_t(acc << (8 - filled)));
        while ((out.size() - start) % 4 != 0)
            out.push_back(0);
    }
    return out;
}

// Packs a colour into the masks, adding it to value, and answers the colour
// that unpacks from it.
Rgba pack(Rgba c, const uint32_t masks[4], uint32_t* value)
{
    const uint8_t channels[4] = {c.r, c.g, c.b, c.a};
    uint8_t out[4] = {};
    for (int i = 0; i < 4; ++i) {
        const int k = std::popcount(masks[i]);
        if (k == 0)
            continue;
        *value |= uint32_t(channels[i] >> (8 - k)) << std::countr_zero(masks[i]);
        out[i] = widen(channels[i] >> (8 - k), k);
    }
    return {out[0], out[1], out[2], out[3]};
}

// The picture in a palette of n, stored at bits per pixel.
Case paletteBmp(const std::string& name, int header, int bits, int n, bool topDown, uint32_t coloursUsed)
{
    Bmp b;
    b.header = header;
    b.bits = bits;
    b.topDown = topDown;
    b.palette = bmpPalette(n, header == 12);
    b.coloursUsed = coloursUsed;
    b.data = bmpRows(bits, topDown, [n](int x, int y) { return uint32_t(indexAt(x, y, n)); });
    return Picture().fill([n](int x, int y) { return colour(indexAt(x, y, n)); }).named(name, bmpFile(b));
}

// The picture in direct colour: 24 bits, or 16 and 32 bits through masks.
Case directBmp(const std::string& name, int header, int bits, uint32_t compression, bool topDown,
               std::initializer_list<uint32_t> masks, int paletteEntries = 0)
{
    Bmp b;
    b.header = header;
    b.bits = bits;
    b.compression = compression;
    b.topDown = topDown;
    std::copy(masks.begin(), masks.end(), b.masks);
    b.palette = bmpPalette(paletteEntries, false);
    b.coloursUsed = uint32_t(paletteEntries);
    // A 32-bit BI_RGB file carries alpha in its fourth bytes unless all of
    // them are zero (opaque): b.masks[3] asks for alpha there.
    const bool alpha =
        b.masks[3] != 0 && (compression == 6 || (compression == 3 && header >= 56) || (compression == 0 && bits == 32));
    Picture p(kWidth, kHeight, alpha ? 4 : 3);
    uint32_t effective[4] = {b.masks[0], b.masks[1], b.masks[2], alpha ? b.masks[3] : 0};
    if (compression == 0 && bits == 16)
        effective[0] = 0x7C00, effective[1] = 0x3E0, effective[2] = 0x1F, effective[3] = 0;
    if (compression == 0 && bits == 32)
        effective[0] = 0xFF0000, effective[1] = 0xFF00, effective[2] = 0xFF, effective[3] = alpha ? 0xFF000000 : 0;
    // Unused bits are set, to be ignored.
    const uint32_t unused = bits == 16 ? 0x8000 : 0;
    b.data = bmpRows(bits, topDown, [&](int x, int y) {
        const Rgba c = colour(indexAt(x, y, 16));
        if (bits == 24)
            return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
        uint32_t value = compression == 0 ? unused : 0;
        pack(c, effective, &value);
        return value;
    });
    p.fill([&](int x, int y) {
        uint32_t ignored = 0;
        return bits == 24 ? colour(indexAt(x, y, 16)) : pack(colour(indexAt(x, y, 16)), effective, &ignored);
    });
    return p.named(name, bmpFile(b));
}

// A 5 x 4 run-length picture, bottom row first: a literal run of three with
// its padding, a run, an end of line; a run of one, a delta to the middle of
// the next row but one, a run, an end of line; a literal run of five and the
// end of the bitmap. Skipped pixels are transparent black.
Case runLengthBmp(const std::string& name, bool four, int paletteEntries = 16)
{
    Bmp b;
    b.bits = four ? 4 : 8;
    b.compression = four ? 2 : 1;
    b.palette = bmpPalette(paletteEntries, false);
    b.coloursUsed = uint32_t(paletteEntries);
    b.width = 5;
    b.height = 4;
    b.data = four
                 ? Bytes{0, 3, 0x12, 0x30, 2, 0x75, 0, 0,    1,    0x40, 0, 2, 2,
                         1, 2, 0x69, 0,    0, 0,    5, 0xAB, 0xCD, 0xE0, 0, 0, 1}
                 : Bytes{0, 3, 1, 2, 3, 0, 2, 7, 0, 0, 1, 4, 0, 2, 2, 1, 2, 6, 0, 0, 0, 5, 10, 11, 12, 13, 14, 0, 0, 1};
    const int indices[4][5] = {
        {10, 11, 12, 13, 14}, {-1, -1, -1, 6, four ? 9 : 6}, {4, -1, -1, -1, -1}, {1, 2, 3, 7, four ? 5 : 7}};
    return Picture(5, 4, 4)
        .fill([&](int x, int y) {
            const int i = indices[y][x];
            return i < 0 ? Rgba{0, 0, 0, 0} : Rgba{colour(i).r, colour(i).g, colour(i).b, 255};
        })
        .named(name, bmpFile(b));
}

// Run lengths that draw every pixel: an opaque picture.
Case wholeRunLengthBmp(const std::string& name)
{
    Bmp b;
    b.bits = 8;
    b.compression = 1;
    b.palette = bmpPalette(16, false);
    b.coloursUsed = 16;
    b.width = 3;
    b.height = 2;
    b.data = {3, 5, 0, 0, 0, 3, 1, 2, 3, 0, 0, 0, 1};
    const int indices[2][3] = {{1, 2, 3}, {5, 5, 5}};
    return Picture(3, 2, 3).fill([&](int x, int y) { return colour(indices[y][x]); }).named(name, bmpFile(b));
}

std::vector<Case> bmpCases()
{
    std::vector<Case> cases;
    const char* const order[] = {"bottom-up", "top-down"};
    for (int bits : {1, 4, 8}) {
        const int n = bits == 1 ? 2 : 16;
        const std::string depth = std::to_string(bits) + "-bit";
        cases.push_back(paletteBmp("bmp core " + depth, 12, bits, n, false, 0));
        for (bool topDown : {false, true})
            cases.push_back(paletteBmp("bmp info " + depth + " " + order[topDown], 40, bits, n, topDown,
                                       bits == 1 ? 0 : uint32_t(n)));
    }
    cases.push_back(paletteBmp("bmp info 8-bit full palette", 40, 8, 256, true, 0));
    cases.push_back(paletteBmp("bmp info 8-bit palette of 300", 40, 8, 300, false, 300));
    cases.push_back(paletteBmp("bmp V5 4-bit", 124, 4, 16, true, 16));
    cases.push_back(directBmp("bmp core 24-bit", 12, 24, 0, false, {}));
    for (bool topDown : {false, true}) {
        const std::string o = order[topDown];
        cases.push_back(directBmp("bmp info 24-bit " + o, 40, 24, 0, topDown, {}));
        cases.push_back(directBmp("bmp info 16-bit 555 " + o, 40, 16, 0, topDown, {}));
        cases.push_back(directBmp("bmp info 16-bit 565 bitfields " + o, 40, 16, 3, topDown, {0xF800, 0x7E0, 0x1F}));
        cases.push_back(directBmp("bmp info 32-bit, fourth bytes zero " + o, 40, 32, 0, topDown, {}));
        cases.push_back(directBmp("bmp info 32-bit, fourth bytes alpha " + o, 40, 32, 0, topDown, {0, 0, 0, 1}));
        cases.push_back(directBmp("bmp V4 16-bit 555 " + o, 108, 16, 3, topDown, {0x7C00, 0x3E0, 0x1F}));
        cases.push_back(
            directBmp("bmp V4 32-bit alpha " + o, 108, 32, 3, topDown, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}));
        cases.push_back(
            directBmp("bmp V5 32-bit alpha " + o, 124, 32, 3, topDown, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}));
    }
    cases.push_back(directBmp("bmp info 24-bit with a palette", 40, 24, 0, false, {}, 16));
    cases.push_back(directBmp("bmp info 16-bit with a palette", 40, 16, 0, true, {}, 16));
    cases.push_back(directBmp("bmp V5 16-bit 1555 alpha", 124, 16, 3, false, {0x7C00, 0x3E0, 0x1F, 0x8000}));
    cases.push_back(
        directBmp("bmp info 32-bit bitfields, blue high", 40, 32, 3, false, {0xFF00, 0xFF0000, 0xFF000000}));
    cases.push_back(runLengthBmp("bmp rle8", false));
    cases.push_back(runLengthBmp("bmp rle4", true));
    cases.push_back(wholeRunLengthBmp("bmp rle8 without skipped pixels"));
    // OS/2 2.x headers: the short one of 16 bytes and the whole one of 64.
    for (int header : {16, 64}) {
        cases.push_back(
            paletteBmp("bmp OS/2 2.x header of " + std::to_string(header) + " bytes", header, 4, 16, false, 16));
    }
    return cases;
}

std::vector<Case> damagedBmp()
{
    std::vector<Case> cases;
    Bytes file = directBmp("", 40, 24, 0, false, {}).file;
    cases.push_back(refused("bmp rows cut short", Bytes(file.begin(), file.end() - 4)));
    Bytes header = file;
    header[14] = 124; // a header longer than the file
    header.resize(80);
    cases.push_back(refused("bmp header beyond the file", header));
    Bytes offset = file;
    offset[13] = 1; // pixels at 16 MiB
    cases.push_back(refused("bmp pixel offset beyond the file", offset));
    Bytes planes = file;
    planes[26] = 2;
    cases.push_back(refused("bmp of two planes", planes));
    // Header sizes that no writer uses, the pixels where the offset says.
    for (uint8_t bytes : {20, 24, 36, 44, 60, 100}) {
        Bytes unknown = file;
        unknown[14] = bytes;
        if (bytes > 40) {
            unknown.insert(unknown.begin() + 54, size_t(bytes - 40), 0);
            unknown[10] = uint8_t(54 + bytes - 40);
        }
        cases.push_back(refused("bmp header of " + std::to_string(bytes) + " bytes", unknown));
    }

    Bmp shortPalette;
    shortPalette.bits = 4;
    shortPalette.palette = bmpPalette(4, false);
    shortPalette.coloursUsed = 4;
    shortPalette.data = bmpRows(4, false, [](int x, int y) { return uint32_t(indexAt(x, y, 16)); });
    cases.push_back(refused("bmp index beyond the palette", bmpFile(shortPalette)));
    Bmp core = shortPalette;
    core.header = 12;
    core.bits = 8;
    core.palette = bmpPalette(4, true);
    core.data = bmpRows(8, false, [](int x, int y) { return uint32_t(indexAt(x, y, 16)); });
    cases.push_back(refused("bmp core index beyond the palette", bmpFile(core)));
    shortPalette.coloursUsed = 1000;
    cases.push_back(refused("bmp palette count beyond the pixel offset", bmpFile(shortPalette)));
    shortPalette.coloursUsed = 0;
    cases.push_back(refused("bmp 16 entries missing from a full palette", bmpFile(shortPalette)));

    const Bytes rle = runLengthBmp("", false).file;
    cases.push_back(refused("bmp rle8 cut short", Bytes(rle.begin(), rle.end() - 9)));
    cases.push_back(refused("bmp rle4 index beyond the palette", runLengthBmp("", true, 12).file));
    return cases;
}

// ----- TGA --------------------------------------------------------------------

struct Tga {
    int type = 2;
    int mapFirst = 0;
    int mapLength = 0;
    int mapBits = 0;
    Bytes map;
    int bits = 24;
    int descriptor = 0;
    Bytes pixels; // as stored, or packets
    Bytes id;
    int attributesType = -1; // an extension area with this attributes type, -1 for none
};

Bytes tgaFile(const Tga& t)
{
    Bytes out;
    put(out, {{uint32_t(t.id.size()), 1},
              {t.mapLength > 0 ? 1u : 0u, 1},
              {uint32_t(t.type), 1},
              {uint32_t(t.mapFirst), 2},
              {uint32_t(t.mapLength), 2},
              {uint32_t(t.mapBits), 1},
              {0, 4},
              {kWidth, 2},
              {kHeight, 2},
              {uint32_t(t.bits), 1},
              {uint32_t(t.descriptor), 1}});
    out.insert(out.end(), t.id.begin(), t.id.end());
    out.insert(out.end(), t.map.begin(), t.map.end());
    out.insert(out.end(), t.pixels.begin(), t.pixels.end());
    if (t.attributesType >= 0) {
        const uint32_t extension = uint32_t(out.size());
        Bytes area(495, 0);
        area[0] = 495 & 0xFF, area[1] = 495 >> 8;
        area[494] = uint8_t(t.attributesType);
        out.insert(out.end(), area.begin(), area.end());
        put(out, {{extension, 4}, {0, 4}});
        const char signature[] = "TRUEVISION-XFILE.";
        out.insert(out.end(), signature, signature + sizeof signature);
    }
    return out;
}

// A colour as a TGA stores it in 15, 16, 24 or 32 bits (the 16-bit
// attribute bit set for odd alpha), and the colour read back.
Bytes tgaColour(Rgba c, int bits)
{
    Bytes out;
    if (bits <= 16)
        put(out, {{uint32_t(c.r >> 3) << 10 | uint32_t(c.g >> 3) << 5 | uint32_t(c.b >> 3) |
                       (bits == 16 && (c.a & 1) ? 0x8000 : 0),
                   2}});
    else
        out.insert(out.end(), {c.b, c.g, c.r});
    if (bits == 32)
        out.push_back(c.a);
    return out;
}

Rgba tgaRead(Rgba c, int bits)
{
    if (bits > 16)
        return c;
    return {widen(c.r >> 3, 5), widen(c.g >> 3, 5), widen(c.b >> 3, 5), uint8_t(c.a & 1 ? 255 : 0)};
}

// The colour index of the k-th stored pixel: all different, or (for run
// lengths) six different ones and then runs of three that cross rows.
int storedIndex(int k, bool runs)
{
    return runs && k >= 6 ? 6 + (k / 3) % 4 : k % 16;
}

// Packets for the stored pixels: a run packet for every repeat, raw packets
// between them.
Bytes tgaPackets(const std::vector<Bytes>& stored)
{
    Bytes out;
    size_t k = 0;
    while (k < stored.size()) {
        size_t same = 1;
        while (k + same < stored.size() && stored[k + same] == stored[k])
            ++same;
        if (same > 1) {
            out.push_back(uint8_t(0x80 | (same - 1)));
            out.insert(out.end(), stored[k].begin(), stored[k].end());
            k += same;
            continue;
        }
        size_t raw = 1;
        while (k + raw < stored.size() && (k + raw + 1 >= stored.size() || stored[k + raw + 1] != stored[k + raw]))
            ++raw;
        out.push_back(uint8_t(raw - 1));
        for (size_t i = 0; i < raw; ++i)
            out.insert(out.end(), stored[k + i].begin(), stored[k + i].end());
        k += raw;
    }
    return out;
}

// type: 1, 2 or 3 (plus 8 for run lengths); bits: of the colours (the map's
// entries for type 1); alpha: whether the result has it.
// clearAttributes: every colour with its attribute bits zero.
Case tgaCase(const std::string& name, int type, int bits, int descriptor, bool alpha, int mapFirst = 0,
             int attributesType = -1, bool unusedMap = false, bool clearAttributes = false)
{
    const auto colour = [clearAttributes](int i) {
        Rgba c = ZivImageTable::colour(i);
        if (clearAttributes)
            c.a = 0;
        return c;
    };
    const bool runs = (type & 8) != 0;
    const int kind = type & 7;
    Tga t;
    t.type = type;
    t.descriptor = descriptor;
    t.attributesType = attributesType;
    t.id = {'z', 'i', 'v'};
    if (kind == 1) {
        t.mapFirst = mapFirst;
        t.mapLength = 16;
        t.mapBits = bits;
        for (int i = 0; i < 16; ++i) {
            const Bytes entry = tgaColour(colour(i), bits);
            t.map.insert(t.map.end(), entry.begin(), entry.end());
        }
        t.bits = 8;
    } else {
        t.bits = bits;
        if (unusedMap) {
            t.mapLength = 3;
            t.mapBits = 24;
            t.map = Bytes(9, 0xEE);
        }
    }
    Picture p(kWidth, kHeight, alpha ? 4 : 3);
    std::vector<Bytes> stored;
    for (int k = 0; k < kWidth * kHeight; ++k) {
        const int row = k / kWidth;
        const int column = k % kWidth;
        const int y = (descriptor & 0x20) ? row : kHeight - 1 - row;
        const int x = (descriptor & 0x10) ? kWidth - 1 - column : column;
        const int i = storedIndex(k, runs);
        Rgba c = colour(i);
        if (kind == 1) {
            stored.push_back({uint8_t(i + mapFirst)});
            c = tgaRead(c, bits);
        } else if (kind == 2) {
            stored.push_back(tgaColour(c, bits));
            c = tgaRead(c, bits);
        } else {
            stored.push_back(bits == 16 ? Bytes{c.g, c.a} : Bytes{c.g});
            c = {c.g, c.g, c.g, c.a};
        }
        p.set(x, y, c);
    }
    if (runs) {
        t.pixels = tgaPackets(stored);
    } else {
        for (const Bytes& s : stored)
            t.pixels.insert(t.pixels.end(), s.begin(), s.end());
    }
    return p.named(name, tgaFile(t));
}

std::vector<Case> tgaCases()
{
    std::vector<Case> cases;
    const char* const corner[] = {"bottom-left", "bottom-right", "top-left", "top-right"};
    for (int o = 0; o < 4; ++o) {
        cases.push_back(tgaCase(std::string("tga 24-bit ") + corner[o], 2, 24, o << 4, false));
        cases.push_back(tgaCase(std::string("tga rle 32-bit alpha ") + corner[o], 10, 32, o << 4 | 8, true));
    }
    cases.push_back(tgaCase("tga 32-bit without attribute bits, alpha in the fourth bytes", 2, 32, 0x20, true));
    cases.push_back(
        tgaCase("tga 32-bit without attribute bits, fourth bytes zero", 2, 32, 0x20, false, 0, -1, false, true));
    cases.push_back(tgaCase("tga rle 32-bit alpha, all zero", 10, 32, 0x28, false, 0, -1, false, true));
    cases.push_back(tgaCase("tga 32-bit, extension says no alpha", 2, 32, 0x28, false, 0, 0));
    cases.push_back(tgaCase("tga 32-bit, extension says alpha", 2, 32, 0x20, true, 0, 3));
    cases.push_back(tgaCase("tga 16-bit one attribute bit", 2, 16, 0x21, true));
    cases.push_back(tgaCase("tga 16-bit one attribute bit, clear everywhere", 2, 16, 0x21, false, 0, -1, false, true));
    cases.push_back(tgaCase("tga colour map 16-bit entries, bits clear", 1, 16, 1, false, 3, -1, false, true));
    cases.push_back(tgaCase("tga 16-bit without attribute bits", 2, 16, 0x20, false));
    cases.push_back(tgaCase("tga 15-bit", 2, 15, 0x00, false));
    cases.push_back(tgaCase("tga 24-bit with an unused colour map", 2, 24, 0x00, false, 0, -1, true));
    // A footer whose extension area could not fit in the file: the
    // descriptor's attribute bits decide.
    Case footer = tgaCase("tga 32-bit with a footer in a short file", 2, 32, 0x28, true);
    put32(footer.file, 20);
    put32(footer.file, 0);
    const char signature[] = "TRUEVISION-XFILE.";
    footer.file.insert(footer.file.end(), signature, signature + sizeof signature);
    cases.push_back(footer);
    for (int bits : {15, 16, 24, 32}) {
        const bool alpha = bits == 16 || bits == 32;
        const std::string depth = std::to_string(bits) + "-bit";
        cases.push_back(tgaCase("tga colour map " + depth + " entries, first 3", 1, bits,
                                alpha ? (bits == 16 ? 1 : 8) : 0, alpha, 3));
    }
    cases.push_back(tgaCase("tga rle colour map, top-right", 9, 24, 0x30, false, 250 - 16));
    cases.push_back(tgaCase("tga grey", 3, 8, 0x00, false));
    cases.push_back(tgaCase("tga grey with alpha", 3, 16, 0x28, true));
    cases.push_back(tgaCase("tga rle grey, bottom-right", 11, 8, 0x10, false));
    return cases;
}

std::vector<Case> damagedTga()
{
    std::vector<Case> cases;
    const Bytes stored = tgaCase("", 2, 24, 0, false).file;
    cases.push_back(refused("tga pixels cut short", Bytes(stored.begin(), stored.end() - 1)));
    const Bytes packets = tgaCase("", 10, 32, 8, true).file;
    cases.push_back(refused("tga packets cut short", Bytes(packets.begin(), packets.end() - 2)));
    Bytes mapped = tgaCase("", 1, 24, 0, false, 3).file;
    cases.push_back(refused("tga colour map cut short", Bytes(mapped.begin(), mapped.begin() + 40)));
    mapped[3] = 4; // first index 4: index 3 lies before the map
    cases.push_back(refused("tga index outside the colour map", mapped));
    return cases;
}

// ----- PNG, JPEG, GIF ---------------------------------------------------------------

// A grey JPEG, 16 x 8, every sample 0x5A, written at quality 100.
const Bytes kFlatJpeg = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01,
    0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
    0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
    0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
    0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0xFF,
    0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x10, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xC4, 0x00, 0x15, 0x00, 0x01,
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0xFF,
    0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x99, 0xE3, 0xFF, 0xD9,
};

ZivImageFiles::GifSpec gifPicture()
{
    ZivImageFiles::GifSpec g;
    g.screenWidth = g.width = kWidth;
    g.screenHeight = g.height = kHeight;
    for (int i = 0; i < 4; ++i) {
        const Rgba c = colour(i);
        g.palette.insert(g.palette.end(), {c.r, c.g, c.b});
    }
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            g.indices.push_back(uint8_t(indexAt(x, y, 4)));
    return g;
}

Bytes pngPicture()
{
    Bytes rows;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Rgba c = colour(indexAt(x, y, 16));
            rows.insert(rows.end(), {c.r, c.g, c.b});
        }
    return ZivImageFiles::makePng(ZivImageFiles::pngSpec(kWidth, kHeight, 8, 2, rows));
}

std::vector<Case> libraryCases()
{
    std::vector<Case> cases;
    for (int n : {16, 4})
        cases.push_back(Picture()
                            .fill([n](int x, int y) { return colour(indexAt(x, y, n)); })
                            .named(n == 16 ? "png rgb" : "gif 4 colours",
                                   n == 16 ? pngPicture() : ZivImageFiles::makeGif(gifPicture())));
    Picture flat(16, 8, 3);
    flat.pixels.assign(flat.pixels.size(), 0x5A);
    cases.push_back(flat.named("jpeg grey", kFlatJpeg));
    // Whole pictures with damage around them: no end marker after the
    // last scan, and EXIF blocks whose lengths are wrong, with a thumbnail
    // (a whole JPEG of its own) or the start of one inside.
    cases.push_back(flat.named("jpeg without its end marker", Bytes(kFlatJpeg.begin(), kFlatJpeg.end() - 2)));
    cases.back().libjpegOnly = true;
    for (int length : {0, 1, 8, 0x7FFF}) {
        Bytes exif = {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length), 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0};
        if (length == 8)
            exif.insert(exif.end(), kFlatJpeg.begin(), kFlatJpeg.end());
        if (length == 1) // a thumbnail that ends after its start
            exif.insert(exif.end(), {0xFF, 0xD8, 0xFF, 0xDB, 0x12, 0x34});
        Bytes file = kFlatJpeg;
        file.insert(file.begin() + 2, exif.begin(), exif.end());
        cases.push_back(flat.named("jpeg with an EXIF block of length " + std::to_string(length), file));
        file = kFlatJpeg; // the same just before the scan
        file.insert(file.end() - 14, exif.begin(), exif.end());
        cases.push_back(flat.named("jpeg with an EXIF block of length " + std::to_string(length) + " last", file));
    }
    return cases;
}

std::vector<Case> damagedLibraryFormats()
{
    std::vector<Case> cases;
    const Bytes png = pngPicture();
    cases.push_back(refused("png cut short", Bytes(png.begin(), png.end() - 20)));
    // An ancillary chunk that claims a gigabyte, in a file of 57 bytes.
    for (const char* name : {"tEXt", "zTXt", "iTXt", "pCAL", "sCAL", "sPLT"}) {
        Bytes bomb(png.begin(), png.begin() + 33);
        bomb.insert(bomb.end(), {0x3F, 0xFF, 0xFF, 0xF0});
        bomb.insert(bomb.end(), name, name + 4);
        bomb.resize(57, 'x');
        cases.push_back(refused(std::string("png ") + name + " claiming a gigabyte", bomb));
    }
    cases.push_back(refused("jpeg cut in its entropy-coded data", Bytes(kFlatJpeg.begin(), kFlatJpeg.end() - 3)));
    cases.push_back(refused("jpeg cut in half", Bytes(kFlatJpeg.begin(), kFlatJpeg.begin() + kFlatJpeg.size() / 2)));
    const Bytes gif = ZivImageFiles::makeGif(gifPicture());
    cases.push_back(refused("gif cut short", Bytes(gif.begin(), gif.end() - 4)));
    return cases;
}

} // namespace

std::string verdict(const Case& c, corona::Image* image)
{
    if (c.refused())
        return image == nullptr ? "" : "decoded, should be refused";
    if (image == nullptr)
        return "refused";
    const int format = image->getFormat();
    const int channels = format == corona::PF_R8G8B8A8 ? 4 : format == corona::PF_R8G8B8 ? 3 : 0;
    if (image->getWidth() != c.width || image->getHeight() != c.height || channels != c.channels)
        return "decoded as " + std::to_string(image->getWidth()) + " x " + std::to_string(image->getHeight()) +
               " format " + std::to_string(format);
    const auto* p = static_cast<const uint8_t*>(image->getPixels());
    std::string differences;
    for (size_t i = 0; i < c.pixels.size(); ++i) {
        if (p[i] != c.pixels[i] && differences.size() < 200)
            differences += " [" + std::to_string(i / channels) + "." + std::to_string(i % channels) + "] " +
                           std::to_string(p[i]) + " not " + std::to_string(c.pixels[i]);
    }
    return differences;
}

std::vector<Case> wellFormed()
{
    std::vector<Case> cases = bmpCases();
    for (std::vector<Case> more : {tgaCases(), libraryCases()})
        for (Case& c : more)
            cases.push_back(std::move(c));
    return cases;
}

std::vector<Case> damaged()
{
    std::vector<Case> cases = damagedBmp();
    for (std::vector<Case> more : {damagedTga(), damagedLibraryFormats()})
        for (Case& c : more)
            cases.push_back(std::move(c));
    return cases;
}

} // namespace ZivImageTable
