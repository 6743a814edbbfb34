// Writes the seed corpora of the fuzz targets into a folder (fuzz/corpus in
// the repository): image files made by the formats' own encoders and damaged
// ones, quad streams that walk the renderer's paths, and kernel calls of
// every kernel and pixel mode. Deterministic: the same files every run.
//
//   ziv-fuzz-corpora OUTPUT_FOLDER
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <png.h>

#include "FuzzSupport.h"
#include "ImageTable.h"
#include "ImageWriters.h"
#include "QuadStream.h"

namespace fs = std::filesystem;
using ZivTest::Bytes;
using namespace zivfuzz::quads;

namespace {

void save(const fs::path& folder, const std::string& name, const std::vector<uint8_t>& bytes)
{
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes pattern(size_t count, uint32_t seed)
{
    zivfuzz::Pattern p(seed);
    Bytes out(count);
    for (uint8_t& b : out)
        b = static_cast<uint8_t>(p.next() >> 8);
    return out;
}

// RGBA pixels with fully transparent, translucent and opaque texels.
Bytes rgbaPixels(int width, int height, uint32_t seed)
{
    Bytes out = pattern(size_t(width) * height * 4, seed);
    for (size_t i = 0; i < out.size(); i += 4)
        out[i + 3] = (i / 4) % 3 == 0 ? 0 : (i / 4) % 3 == 1 ? 255 : out[i + 3];
    return out;
}

Bytes png(int width, int height, int colourType, int bitDepth, uint32_t seed, bool interlaced = false)
{
    ZivTest::PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.colourType = colourType;
    spec.bitDepth = bitDepth;
    spec.interlaced = interlaced;
    int channels = 1;
    switch (colourType) {
    case PNG_COLOR_TYPE_RGB:
        channels = 3;
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        channels = 4;
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        channels = 2;
        break;
    default:
        channels = 1;
        break;
    }
    const size_t rowBits = size_t(width) * channels * bitDepth;
    spec.samples = pattern((rowBits + 7) / 8 * height, seed);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        const int entries = 1 << bitDepth;
        spec.palette = pattern(size_t(entries) * 3, seed + 1);
        if (seed & 1)
            spec.paletteAlpha = pattern(size_t(entries), seed + 2);
    }
    return ZivTest::writePng(spec);
}

Bytes gif(int width, int height, int colours, int transparent, bool interlaced, int left, int top)
{
    ZivTest::GifSpec spec;
    spec.screenWidth = width + left;
    spec.screenHeight = height + top;
    spec.left = left;
    spec.top = top;
    spec.width = width;
    spec.height = height;
    spec.palette = pattern(size_t(colours) * 3, 40 + colours);
    spec.indices = pattern(size_t(width) * height, 41);
    for (uint8_t& index : spec.indices)
        index = static_cast<uint8_t>(index % colours);
    spec.transparentIndex = transparent;
    spec.interlaced = interlaced;
    return ZivTest::writeGif(spec);
}

void imageCorpus(const fs::path& folder)
{
    struct Seed {
        std::string name;
        Bytes bytes;
        bool allConfigurations; // also padded to every length class
    };
    std::vector<Seed> seeds = {
        {"png-rgba-8x6.png", png(8, 6, PNG_COLOR_TYPE_RGB_ALPHA, 8, 1), true},
        {"png-rgb-7x5.png", png(7, 5, PNG_COLOR_TYPE_RGB, 8, 2), true},
        {"png-grey-5x4.png", png(5, 4, PNG_COLOR_TYPE_GRAY, 8, 3), false},
        {"png-grey2-9x3.png", png(9, 3, PNG_COLOR_TYPE_GRAY, 2, 4), false},
        {"png-greyalpha-4x4.png", png(4, 4, PNG_COLOR_TYPE_GRAY_ALPHA, 8, 5), false},
        {"png-palette4-6x3.png", png(6, 3, PNG_COLOR_TYPE_PALETTE, 4, 6), false},
        {"png-palette8-trns-5x5.png", png(5, 5, PNG_COLOR_TYPE_PALETTE, 8, 7), false},
        {"png-rgb16-3x3.png", png(3, 3, PNG_COLOR_TYPE_RGB, 16, 8), false},
        {"png-rgba16-2x5.png", png(2, 5, PNG_COLOR_TYPE_RGB_ALPHA, 16, 9), false},
        {"png-interlaced-rgba-9x9.png", png(9, 9, PNG_COLOR_TYPE_RGB_ALPHA, 8, 10, true), false},
        {"png-rgba-1x1.png", png(1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, 11), true},
        {"jpeg-rgb-16x8.jpg", ZivTest::writeJpeg(16, 8, 3, pattern(16 * 8 * 3, 20), 95), true},
        {"jpeg-grey-8x8.jpg", ZivTest::writeJpeg(8, 8, 1, pattern(8 * 8, 21), 75), false},
        {"jpeg-rgb-1x1.jpg", ZivTest::writeJpeg(1, 1, 3, pattern(3, 22), 50), false},
        {"jpeg-rgb-17x3.jpg", ZivTest::writeJpeg(17, 3, 3, pattern(17 * 3 * 3, 23), 30), false},
        {"jpeg-progressive-16x8.jpg", ZivTest::writeJpeg(16, 8, 3, pattern(16 * 8 * 3, 24), 80, true), false},
        {"gif-4colours-6x4.gif", gif(6, 4, 4, -1, false, 0, 0), true},
        {"gif-transparent-5x5.gif", gif(5, 5, 8, 3, false, 0, 0), false},
        {"gif-interlaced-7x9.gif", gif(7, 9, 16, -1, true, 0, 0), false},
        {"gif-offset-3x2.gif", gif(3, 2, 2, 1, false, 2, 1), false},
        {"bmp-rgb-5x3.bmp", ZivTest::writeBmp(5, 3, 3, pattern(5 * 3 * 3, 30)), true},
        {"bmp-rgba-4x4.bmp", ZivTest::writeBmp(4, 4, 4, rgbaPixels(4, 4, 31)), false},
        {"bmp-rgb-1x1.bmp", ZivTest::writeBmp(1, 1, 3, pattern(3, 32)), false},
        {"tga-rgba-rle-6x5.tga", ZivTest::writeTga(6, 5, 4, rgbaPixels(6, 5, 33), true), true},
        {"tga-rgb-3x7.tga", ZivTest::writeTga(3, 7, 3, pattern(3 * 7 * 3, 34), false), false},
        {"tga-rgba-1x1.tga", ZivTest::writeTga(1, 1, 4, rgbaPixels(1, 1, 35), false), false},
    };

    // Damaged and foreign bytes.
    const Bytes whole = png(8, 6, PNG_COLOR_TYPE_RGB_ALPHA, 8, 1);
    seeds.push_back({"damaged-png-half.png", Bytes(whole.begin(), whole.begin() + whole.size() / 2), false});
    Bytes flipped = whole;
    flipped[40] ^= 0x5A;
    seeds.push_back({"damaged-png-crc.png", flipped, false});
    ZivTest::PngSpec header;
    header.width = 4000;
    header.height = 3000;
    header.colourType = PNG_COLOR_TYPE_RGB;
    header.headerOnly = true;
    seeds.push_back({"damaged-png-header-only.png", ZivTest::writePng(header), false});
    const Bytes jpeg = ZivTest::writeJpeg(16, 8, 3, pattern(16 * 8 * 3, 20), 95);
    seeds.push_back({"damaged-jpeg-half.jpg", Bytes(jpeg.begin(), jpeg.begin() + jpeg.size() / 2), false});
    const Bytes gifBytes = gif(6, 4, 4, -1, false, 0, 0);
    seeds.push_back({"damaged-gif-half.gif", Bytes(gifBytes.begin(), gifBytes.begin() + gifBytes.size() / 2), false});
    seeds.push_back({"damaged-bmp-header-20000x10.bmp", ZivTest::bmpHeaderOnly(20000, 10), false});
    const Bytes tga = ZivTest::writeTga(6, 5, 4, rgbaPixels(6, 5, 33), true);
    seeds.push_back({"damaged-tga-half.tga", Bytes(tga.begin(), tga.begin() + tga.size() / 2), false});
    seeds.push_back({"garbage-random-64", pattern(64, 99), false});
    seeds.push_back({"garbage-random-7", pattern(7, 98), false});
    Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const Bytes junk = pattern(24, 97);
    signature.insert(signature.end(), junk.begin(), junk.end());
    seeds.push_back({"garbage-png-signature", signature, false});
    Bytes gifJunk = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0x7F, 0xFF, 0x7F, 0xF7, 0, 0};
    gifJunk.insert(gifJunk.end(), junk.begin(), junk.end());
    seeds.push_back({"garbage-gif-header", gifJunk, false});
    seeds.push_back({"garbage-empty", Bytes(), false});

    // The format table: every BMP and TGA variant the readers know and every
    // kind of damage they refuse.
    for (const auto& table : {ZivImageTable::wellFormed(), ZivImageTable::damaged()})
        for (const ZivImageTable::Case& c : table) {
            std::string name = "table-" + c.name;
            for (char& ch : name)
                if (!std::isalnum(static_cast<unsigned char>(ch)))
                    ch = '-';
            seeds.push_back({name, c.file, false});
        }

    for (const Seed& seed : seeds) {
        save(folder, seed.name, seed.bytes);
        if (!seed.allConfigurations)
            continue;
        // Every decoder ignores bytes after the image's end; the length picks
        // the surface format, so one copy per length class.
        for (int extra = 1; extra < 7; ++extra) {
            Bytes padded = seed.bytes;
            padded.insert(padded.end(), size_t(extra), 0);
            save(folder, seed.name + ".pad" + std::to_string(extra), padded);
        }
    }
}

// --- Quad streams ------------------------------------------------------------

Header header(uint8_t blend, uint8_t depth = 0, uint8_t textureFormat = 0, uint8_t flags = 0)
{
    Header h;
    h.blendPreference = blend;
    h.displayDepth = depth;
    h.texturePixelFormat = textureFormat;
    h.flags = flags;
    return h;
}

// Textures 0 (RGBA 8x8), 1 (RGB 5x3) and 2 (1x1 RGBA), then quads drawn from
// each, unstretched and stretched, opaque, translucent and tinted.
StreamWriter basicScene(const Header& h)
{
    StreamWriter s(h);
    s.createTexture(8, 8, 0x01, 1).createTexture(5, 3, 0x00, 2).createTexture(1, 1, 0x01, 3);
    s.quad(0, 2, 2, 10, 10, 1, 0, 0, 8, 8, kPaletteWhite);
    s.quad(0, 12, 4, 28, 20, 2, 0, 0, 8, 8, kPaletteHalfWhite);
    s.quad(1, 0, 20, 5, 23, 0, 0, 0, 5, 3, kPaletteGrey);
    s.quad(1, 30, 10, 45, 19, 3, 0, 0, 5, 3, kPaletteHalfWhite);
    s.quad(2, 5, 25, 25, 35, 1, 0, 0, 1, 1, kPaletteGrey);
    s.quad(2, 40, 30, 41, 31, 1, 0, 0, 1, 1, kPaletteClear);
    s.op(RenderQueue).op(RenderQueue).op(ClearQueue).op(RenderQueue);
    return s;
}

void streamCorpus(const fs::path& folder)
{
    int count = 0;
    auto add = [&](const std::string& name, const StreamWriter& stream) {
        char prefix[8];
        std::snprintf(prefix, sizeof(prefix), "%02d-", count++);
        save(folder, prefix + name, stream.data());
    };

    for (uint8_t blend = 0; blend < 3; ++blend) {
        for (uint8_t depth = 0; depth < 4; ++depth) {
            const std::string name = "scene-blend" + std::to_string(blend) + "-depth" + std::to_string(depth);
            add(name, basicScene(header(blend, depth)));
        }
        add("scene-blend" + std::to_string(blend) + "-565", basicScene(header(blend, 0, 1)));
        add("scene-blend" + std::to_string(blend) + "-555-on-24", basicScene(header(blend, 1, 2)));
    }
    add("scene-no-mmx-logger", basicScene(header(2, 0, 0, 3)));

    {
        // A memory texture of white texels drawn with colours: the tinted copy.
        StreamWriter s(header(0));
        s.createTexture(6, 6, 0x02 | 0x10, 4).createTexture(6, 6, 0x03 | 0x10, 5);
        s.quad(0, 4, 4, 10, 10, 1, 0, 0, 6, 6, kPaletteGrey);
        s.quad(1, 10, 4, 22, 16, 1, 0, 0, 6, 6, kPaletteGrey);
        s.op(RenderQueue);
        add("tinted-memory-textures", s);
    }
    for (uint8_t blend = 0; blend < 3; ++blend) {
        // Every kind of texture through a reset with a new size, then drawn.
        StreamWriter s(header(blend));
        s.createTexture(7, 5, 0x03, 6); // memory texture
        s.op(CreateFromFileData).arg(1).arg(5).arg(4).arg(7);
        s.op(CreateFromFile).arg(0).op(CreateFromFile).arg(1 | 4);
        s.quad(0, 1, 1, 8, 6, 1, 0, 0, 7, 5, kPaletteHalfWhite);
        s.quad(1, 10, 1, 20, 9, 1, 0, 0, 5, 4, kPaletteWhite);
        s.quad(2, 1, 10, 6, 13, 1, 0, 0, 5, 3, kPaletteGrey);
        s.quad(3, 20, 20, 24, 24, 1, 0, 0, 2, 2, kPaletteWhite);
        s.op(RenderQueue).op(PrepareForReset).op(PostD3DReset).arg(60).arg(50).op(RenderQueue);
        s.op(PrepareForReset).op(PrepareForReset).op(PostD3DReset).arg(0xFF).arg(0xFF).op(RenderQueue);
        add("reset-every-source-blend" + std::to_string(blend), s);
    }
    {
        // Lost surfaces: a texture, the target, then every surface by a mode
        // change, with the reset after it.
        StreamWriter s(header(2));
        s.createTexture(8, 8, 0x01, 8).createTexture(8, 8, 0x00, 9);
        s.quad(0, 0, 0, 8, 8, 1, 0, 0, 8, 8, kPaletteHalfWhite);
        s.quad(1, 8, 0, 16, 8, 1, 0, 0, 8, 8, kPaletteWhite);
        s.op(LoseSurface).arg(0).arg(0).op(RenderQueue);
        s.op(LoseSurface).arg(1).arg(0).op(RenderQueue);
        s.op(LoseSurface).arg(2).arg(0).op(RenderQueue).op(RestoreTargets).op(RenderQueue);
        s.op(SetDisplayMode).arg(2).op(RenderQueue).op(PrepareForReset).op(PostD3DReset).arg(0xFF).arg(0xFF);
        s.op(RestoreTargets).op(RenderQueue);
        add("lost-surfaces", s);
    }
    {
        // DirectDraw failures armed before creation, upload, draws and reset.
        StreamWriter s(header(2));
        s.op(ArmFault).arg(0).arg(0).arg(0).arg(0).createTexture(4, 4, 0x01, 10);
        s.op(ArmFault).arg(1).arg(3).arg(0).arg(0).createTexture(4, 4, 0x01, 11);
        s.createTexture(4, 4, 0x01, 12);
        s.quad(2, 0, 0, 8, 8, 1, 0, 0, 4, 4, kPaletteHalfWhite);
        s.op(ArmFault).arg(3).arg(19).arg(0).arg(0).op(RenderQueue);
        s.op(ArmFault).arg(1).arg(5).arg(0).arg(0).op(RenderQueue);
        s.op(ArmFault).arg(1).arg(5).arg(1).arg(0).op(RenderQueue);
        s.op(PrepareForReset).op(ArmFault).arg(0).arg(23).arg(2).arg(0).op(PostD3DReset).arg(0xFF).arg(0xFF);
        s.op(RenderQueue).op(DisarmFaults).op(RenderQueue);
        add("faults", s);
    }
    {
        // Coordinates without whole-pixel values, and huge ones.
        StreamWriter s(header(1));
        s.createTexture(4, 4, 0x01, 13);
        for (uint8_t special = 0; special < 20; ++special) {
            s.op(QueueQuad).arg(0);
            s.arg(kSpecialCoordinate + special).arg(smallCoordinate(2)).arg(smallCoordinate(20));
            s.arg(kSpecialCoordinate + (special + 3) % 20).arg(kSpecialCoordinate + special);
            s.arg(smallCoordinate(0)).arg(kSpecialCoordinate + (special + 7) % 20).arg(smallCoordinate(4));
            s.arg(smallCoordinate(4)).arg(1).arg(kPaletteHalfWhite);
        }
        s.op(QueueQuad).arg(0).rawFloat(-3.5f).rawFloat(1.25f).rawFloat(1e9f).rawFloat(7.0f);
        s.arg(smallCoordinate(0)).arg(smallCoordinate(0)).arg(smallCoordinate(0)).arg(smallCoordinate(4));
        s.arg(smallCoordinate(4)).arg(1).arg(kPaletteGrey);
        s.op(RenderQueue).op(SetQueueing).arg(0).op(RenderQueue);
        add("special-coordinates", s);
    }
    {
        // Drawing at once, destroying textures with quads queued, and the
        // renderer's own textures swept away.
        StreamWriter s(header(0));
        s.createTexture(6, 6, 0x01, 14).createTexture(3, 3, 0x00, 15);
        s.quad(0, 0, 0, 6, 6, 1, 0, 0, 6, 6, kPaletteWhite).quad(1, 6, 0, 9, 3, 1, 0, 0, 3, 3, kPaletteWhite);
        s.op(DestroyTexture).arg(0).op(RenderQueue).op(SetQueueing).arg(0);
        s.quad(0, 3, 3, 9, 9, 1, 0, 0, 3, 3, kPaletteGrey);
        s.op(DestroyAllTextures).op(RenderQueue).op(SetQueueing).arg(1).createTexture(2, 2, 0, 16);
        s.quad(0, 0, 0, 20, 20, 1, 0, 0, 2, 2, kPaletteWhite).op(RenderQueue);
        add("destroy-and-draw-at-once", s);
    }
    {
        // Targets of another format and none at all.
        Header h = header(2, 1, 2);
        h.targetFormat = 0;
        StreamWriter s(h);
        s.createTexture(8, 4, 0x01, 17);
        s.quad(0, 1, 1, 9, 5, 1, 0, 0, 8, 4, kPaletteHalfWhite).quad(0, 1, 1, 17, 9, 1, 0, 0, 8, 4, kPaletteGrey);
        s.op(SetTarget).arg(2).op(RenderQueue).op(SetTarget).arg(0).op(RenderQueue);
        s.op(SetTextureFormat).arg(1).arg(2).createTexture(3, 3, 0x01, 18).op(SetTarget).arg(1).op(RenderQueue);
        add("other-targets", s);
    }
    {
        // The device without a DirectDraw object at a reset, then with it.
        StreamWriter s(header(0, 0, 0, 2));
        s.createTexture(4, 4, 0x03, 19);
        s.op(PrepareForReset).op(SetDirectDraw).arg(0).op(PostD3DReset).arg(0xFF).arg(0xFF);
        s.createTexture(4, 4, 0x01, 20).op(SetDirectDraw).arg(1).op(PostD3DReset).arg(0xFF).arg(0xFF);
        s.quad(0, 0, 0, 4, 4, 1, 0, 0, 4, 4, kPaletteWhite).op(RenderQueue);
        add("missing-directdraw", s);
    }
    {
        // A texture file that goes away before a reset, then comes back.
        StreamWriter s(header(1));
        s.op(CreateFromFile).arg(0).quad(0, 0, 0, 5, 3, 1, 0, 0, 5, 3, kPaletteHalfWhite);
        s.op(ChangeFile).arg(0).op(PrepareForReset).op(PostD3DReset).arg(0xFF).arg(0xFF).op(RenderQueue);
        s.op(ChangeFile).arg(2).op(RenderQueue).op(PrepareForReset).op(PostD3DReset).arg(0xFF).arg(0xFF);
        s.op(RenderQueue);
        add("file-changes", s);
    }
    {
        // Palette display: textures through GDI, keyed and unkeyed.
        StreamWriter s(header(2, 3));
        s.createTexture(5, 5, 0x01, 21).createTexture(5, 5, 0x00, 22);
        s.quad(0, 0, 0, 5, 5, 1, 0, 0, 5, 5, kPaletteHalfWhite).quad(0, 0, 0, 15, 15, 1, 0, 0, 5, 5, kPaletteGrey);
        s.quad(1, 5, 5, 10, 10, 1, 0, 0, 5, 5, kPaletteWhite).op(RenderQueue);
        add("palette-display", s);
    }
}

// --- Kernel calls ------------------------------------------------------------

void kernelCorpus(const fs::path& folder)
{
    const uint8_t sizes[][2] = {{0, 0}, {6, 2}, {22, 4}};
    for (uint8_t kernel = 0; kernel < 5; ++kernel) {
        for (uint8_t mode = 0; mode < 5; ++mode) {
            for (int size = 0; size < 3; ++size) {
                zivfuzz::Writer w;
                w.byte(kernel).byte(mode).byte(sizes[size][0]).byte(sizes[size][1]);
                w.byte(size == 2 ? 0x2B : 0x00); // layout: bottom-up source, leads
                w.byte(size == 1 ? 0x31 : 0x00); // row padding
                w.byte(2).byte(100 + 20 * size); // alpha 101 to 254
                w.byte(255).byte(128).byte(64);  // colour factors
                w.byte(mode == 2 ? 2 : 0);       // masks: 4-4-4 in mode 2
                w.bytes(pattern(96, kernel * 16 + mode * 4 + size));
                save(folder,
                     "kernel" + std::to_string(kernel) + "-mode" + std::to_string(mode) + "-" + std::to_string(size),
                     w.data());
            }
        }
    }
    // Refused modes, raw alpha and factors, masks of the fuzzer's own.
    zivfuzz::Writer refused;
    refused.byte(0).byte(5).byte(3).byte(1).byte(0).byte(0).byte(1).byte(0).byte(0).byte(0).byte(0);
    save(folder, "refused-mode", refused.data());
    zivfuzz::Writer raw;
    raw.byte(0).byte(1).byte(9).byte(2).byte(0x80).byte(0).byte(3).u32(0x80000000u);
    raw.u32(300).u32(0xFFFFFFFFu).u32(7).byte(0).bytes(pattern(64, 77));
    save(folder, "raw-alpha-factors", raw.data());
    zivfuzz::Writer masks;
    masks.byte(2).byte(2).byte(11).byte(3).byte(0).byte(0).byte(0).byte(200).byte(10).byte(20).byte(30);
    masks.byte(0x70).byte(0x5A).byte(1).bytes(pattern(64, 78));
    save(folder, "adjacent-masks", masks.data());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ziv-fuzz-corpora OUTPUT_FOLDER\n");
        return 2;
    }
    const fs::path out = argv[1];
    imageCorpus(out / "image_bytes");
    streamCorpus(out / "quad_stream");
    kernelCorpus(out / "kernels");
    return 0;
}
