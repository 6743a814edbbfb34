// The image library stand-in: files written by the formats' own encoders
// decode to the pixels that went in, in the formats the module accepts; the
// size limits hold before anything is allocated; conversions and object
// lifetimes behave as the module relies on.
#include <algorithm>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>
#include <png.h>

#include "ImageTable.h"
#include "ImageWriters.h"
#include "corona.h"
#include "corona_test.h"
#include "decoders.h"

namespace {

using namespace corona;
using ZivTest::Bytes;

struct ImageDeleter {
    void operator()(Image* image) const { image->destroy(); }
};
using ImagePtr = std::unique_ptr<Image, ImageDeleter>;

ImagePtr decode(const Bytes& bytes)
{
    File* file = CorCreateMemoryFile(bytes.data(), static_cast<int>(bytes.size()));
    if (!file)
        return nullptr;
    Image* image = CorOpenImageFromFile(file, FF_AUTODETECT);
    file->destroy();
    return ImagePtr(image);
}

Bytes pixelsOf(Image* image)
{
    const int bytes = image->getFormat() == PF_R8G8B8A8 || image->getFormat() == PF_B8G8R8A8 ? 4 : 3;
    const auto* p = static_cast<const uint8_t*>(image->getPixels());
    return Bytes(p, p + size_t(image->getWidth()) * image->getHeight() * bytes);
}

// Distinct values for every channel of every pixel.
Bytes pattern(size_t count, uint8_t seed)
{
    Bytes out(count);
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<uint8_t>(seed + i * 37 + (i >> 3));
    return out;
}

class CoronaTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        test::setDecoderHook(nullptr);
        test::setMemoryFileFailure(false);
        test::setConversionFailure(false);
        EXPECT_EQ(test::liveObjects(), 0);
    }
};

ZivTest::PngSpec png(int width, int height, int colourType, int bitDepth, Bytes samples)
{
    ZivTest::PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.colourType = colourType;
    spec.bitDepth = bitDepth;
    spec.samples = std::move(samples);
    return spec;
}

TEST_F(CoronaTest, PngTrueColourKeepsItsPixels)
{
    const Bytes rgba = pattern(5 * 3 * 4, 1);
    ImagePtr image = decode(ZivTest::writePng(png(5, 3, PNG_COLOR_TYPE_RGBA, 8, rgba)));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getWidth(), 5);
    EXPECT_EQ(image->getHeight(), 3);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8A8);
    EXPECT_EQ(pixelsOf(image.get()), rgba);

    const Bytes rgb = pattern(4 * 2 * 3, 9);
    image = decode(ZivTest::writePng(png(4, 2, PNG_COLOR_TYPE_RGB, 8, rgb)));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8);
    EXPECT_EQ(pixelsOf(image.get()), rgb);
}

TEST_F(CoronaTest, PngPaletteIsExpandedWithItsTransparency)
{
    // Four 2-bit indices per byte: 0 1 2 3 / 3 2 1 0.
    ZivTest::PngSpec spec = png(4, 2, PNG_COLOR_TYPE_PALETTE, 2, Bytes{0x1B, 0xE4});
    spec.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90, 255, 254, 253};
    ImagePtr image = decode(ZivTest::writePng(spec));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8);
    EXPECT_EQ(pixelsOf(image.get()), (Bytes{10,  20,  30,  40, 50, 60, 70, 80, 90, 255, 254, 253, //
                                            255, 254, 253, 70, 80, 90, 40, 50, 60, 10,  20,  30}));

    spec.paletteAlpha = {0, 128}; // entries 2 and 3 stay opaque
    image = decode(ZivTest::writePng(spec));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8A8);
    const Bytes pixels = pixelsOf(image.get());
    EXPECT_EQ(Bytes(pixels.begin(), pixels.begin() + 16),
              (Bytes{10, 20, 30, 0, 40, 50, 60, 128, 70, 80, 90, 255, 255, 254, 253, 255}));
}

TEST_F(CoronaTest, PngGreyBecomesRgb)
{
    ImagePtr image = decode(ZivTest::writePng(png(3, 1, PNG_COLOR_TYPE_GRAY, 8, Bytes{0, 77, 255})));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8);
    EXPECT_EQ(pixelsOf(image.get()), (Bytes{0, 0, 0, 77, 77, 77, 255, 255, 255}));

    // One bit per pixel: 1 0 1 in the top bits.
    image = decode(ZivTest::writePng(png(3, 1, PNG_COLOR_TYPE_GRAY, 1, Bytes{0xA0})));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelsOf(image.get()), (Bytes{255, 255, 255, 0, 0, 0, 255, 255, 255}));

    image = decode(ZivTest::writePng(png(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, Bytes{200, 0, 50, 99})));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8A8);
    EXPECT_EQ(pixelsOf(image.get()), (Bytes{200, 200, 200, 0, 50, 50, 50, 99}));
}

TEST_F(CoronaTest, PngSixteenBitChannelsAreReducedToEight)
{
    // Samples k * 257 (both bytes k) reduce to k exactly.
    const Bytes values = {0, 1, 127, 128, 254, 255, 17, 200};
    Bytes samples;
    for (uint8_t v : values) {
        samples.push_back(v);
        samples.push_back(v);
    }
    ImagePtr image = decode(ZivTest::writePng(png(2, 1, PNG_COLOR_TYPE_RGBA, 16, samples)));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8A8);
    EXPECT_EQ(pixelsOf(image.get()), values);

    image = decode(ZivTest::writePng(png(2, 1, PNG_COLOR_TYPE_GRAY, 16, Bytes{0x40, 0x40, 0xFF, 0xFF})));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelsOf(image.get()), (Bytes{0x40, 0x40, 0x40, 0xFF, 0xFF, 0xFF}));
}

TEST_F(CoronaTest, PngInterlacedImageIsReadWhole)
{
    const Bytes rgb = pattern(11 * 9 * 3, 3);
    ZivTest::PngSpec spec = png(11, 9, PNG_COLOR_TYPE_RGB, 8, rgb);
    spec.interlaced = true;
    ImagePtr image = decode(ZivTest::writePng(spec));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelsOf(image.get()), rgb);
}

TEST_F(CoronaTest, JpegDecodesToRgbNearTheInput)
{
    Bytes rgb;
    for (int i = 0; i < 16 * 16; ++i)
        rgb.insert(rgb.end(), {200, 100, 50});
    ImagePtr image = decode(ZivTest::writeJpeg(16, 16, 3, rgb));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getWidth(), 16);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8);
    const Bytes pixels = pixelsOf(image.get());
    for (size_t i = 0; i < pixels.size(); ++i)
        ASSERT_NEAR(pixels[i], rgb[i], 3) << i;

    const Bytes grey(8 * 8, 90);
    image = decode(ZivTest::writeJpeg(8, 8, 1, grey));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8);
    const Bytes greyPixels = pixelsOf(image.get());
    for (size_t i = 0; i < greyPixels.size(); i += 3) {
        EXPECT_NEAR(greyPixels[i], 90, 2);
        EXPECT_EQ(greyPixels[i], greyPixels[i + 1]);
        EXPECT_EQ(greyPixels[i], greyPixels[i + 2]);
    }
}

ZivTest::GifSpec gif(int width, int height)
{
    ZivTest::GifSpec spec;
    spec.screenWidth = spec.width = width;
    spec.screenHeight = spec.height = height;
    spec.palette = {0, 0, 0, 255, 0, 0, 0, 255, 0, 10, 20, 30};
    for (int i = 0; i < width * height; ++i)
        spec.indices.push_back(static_cast<uint8_t>((i * 7 + i / width) % 4));
    return spec;
}

Bytes expandGif(const ZivTest::GifSpec& spec, bool rgba)
{
    Bytes out;
    for (uint8_t index : spec.indices) {
        if (rgba && index == spec.transparentIndex) {
            out.insert(out.end(), {0, 0, 0, 0});
            continue;
        }
        out.insert(out.end(), spec.palette.begin() + 3 * index, spec.palette.begin() + 3 * index + 3);
        if (rgba)
            out.push_back(255);
    }
    return out;
}

TEST_F(CoronaTest, GifIsExpandedFromItsPalette)
{
    ZivTest::GifSpec spec = gif(5, 3);
    ImagePtr image = decode(ZivTest::writeGif(spec));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8);
    EXPECT_EQ(pixelsOf(image.get()), expandGif(spec, false));

    spec.transparentIndex = 2;
    image = decode(ZivTest::writeGif(spec));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8A8);
    EXPECT_EQ(pixelsOf(image.get()), expandGif(spec, true));

    spec = gif(6, 19);
    spec.interlaced = true;
    image = decode(ZivTest::writeGif(spec));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelsOf(image.get()), expandGif(spec, false));
}

TEST_F(CoronaTest, GifFrameSmallerThanTheScreenLeavesTheRestTransparent)
{
    ZivTest::GifSpec spec = gif(2, 1);
    spec.screenWidth = 3;
    spec.screenHeight = 2;
    spec.left = 1;
    spec.top = 1;
    ImagePtr image = decode(ZivTest::writeGif(spec));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getWidth(), 3);
    EXPECT_EQ(image->getHeight(), 2);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8A8);
    Bytes expected(3 * 2 * 4, 0);
    const Bytes frame = expandGif(spec, true);
    std::memcpy(expected.data() + (3 + 1) * 4, frame.data(), frame.size());
    EXPECT_EQ(pixelsOf(image.get()), expected);
}

TEST_F(CoronaTest, BmpAndTgaKeepTheirPixels)
{
    const Bytes rgb = pattern(7 * 3 * 3, 5);
    const Bytes rgba = pattern(3 * 4 * 4, 11);
    ImagePtr image = decode(ZivTest::writeBmp(7, 3, 3, rgb));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8);
    EXPECT_EQ(pixelsOf(image.get()), rgb);

    image = decode(ZivTest::writeBmp(3, 4, 4, rgba));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getFormat(), PF_R8G8B8A8);
    EXPECT_EQ(pixelsOf(image.get()), rgba);

    for (bool rle : {true, false}) {
        image = decode(ZivTest::writeTga(7, 3, 3, rgb, rle));
        ASSERT_TRUE(image) << rle;
        EXPECT_EQ(image->getFormat(), PF_R8G8B8);
        EXPECT_EQ(pixelsOf(image.get()), rgb);
        image = decode(ZivTest::writeTga(3, 4, 4, rgba, rle));
        ASSERT_TRUE(image) << rle;
        EXPECT_EQ(image->getFormat(), PF_R8G8B8A8);
        EXPECT_EQ(pixelsOf(image.get()), rgba);
    }
}

TEST_F(CoronaTest, BufferSizeLimits)
{
    using detail::pixelBufferSize;
    EXPECT_EQ(pixelBufferSize(16384, 4096, 4), size_t{256} << 20);
    EXPECT_EQ(pixelBufferSize(16384, 4097, 4), 0u);
    EXPECT_EQ(pixelBufferSize(16384, 1, 1), 16384u);
    EXPECT_EQ(pixelBufferSize(16385, 1, 1), 0u);
    EXPECT_EQ(pixelBufferSize(1, 16385, 1), 0u);
    EXPECT_EQ(pixelBufferSize(0, 1, 4), 0u);
    EXPECT_EQ(pixelBufferSize(1, -1, 4), 0u);
}

TEST_F(CoronaTest, OversizedImagesAreRefused)
{
    // A side of 16384 is allowed, 16385 is not.
    EXPECT_TRUE(decode(ZivTest::writePng(png(16384, 1, PNG_COLOR_TYPE_GRAY, 8, Bytes(16384, 7)))));
    EXPECT_FALSE(decode(ZivTest::writePng(png(16385, 1, PNG_COLOR_TYPE_GRAY, 8, Bytes(16385, 7)))));

    // Headers that promise more than 256 MiB of pixels: refused at the
    // header, long before the missing pixel data would be noticed.
    ZivTest::PngSpec huge = png(16384, 5000, PNG_COLOR_TYPE_RGBA, 8, {});
    huge.headerOnly = true;
    EXPECT_FALSE(decode(ZivTest::writePng(huge)));
    EXPECT_FALSE(decode(ZivTest::bmpHeaderOnly(16384, 16384)));
    EXPECT_FALSE(decode(ZivTest::bmpHeaderOnly(16385, 1)));

    ZivTest::GifSpec spec = gif(2, 2);
    spec.screenWidth = 16385;
    EXPECT_FALSE(decode(ZivTest::writeGif(spec)));
}

TEST_F(CoronaTest, DamagedDataGivesNoImage)
{
    EXPECT_FALSE(decode(Bytes{'B', 'M', 1, 2, 3}));
    EXPECT_FALSE(decode(Bytes(100, 0x5A)));
    const Bytes pngFile = ZivTest::writePng(png(8, 8, PNG_COLOR_TYPE_RGB, 8, pattern(8 * 8 * 3, 1)));
    EXPECT_FALSE(decode(Bytes(pngFile.begin(), pngFile.begin() + pngFile.size() / 2)));
    // A JPEG cut anywhere from its first scan on is refused, sequential or
    // progressive (cut between two scans too), up to the end marker: without
    // only that, the picture is whole.
    for (bool progressive : {false, true}) {
        const Bytes jpegFile = ZivTest::writeJpeg(16, 16, 3, pattern(16 * 16 * 3, 2), 95, progressive);
        const ImagePtr whole = decode(jpegFile);
        ASSERT_TRUE(whole);
        const uint8_t scan[2] = {0xFF, 0xDA};
        const size_t firstScan =
            size_t(std::search(jpegFile.begin(), jpegFile.end(), scan, scan + 2) - jpegFile.begin());
        for (size_t cut = firstScan; cut < jpegFile.size() - 2; ++cut)
            EXPECT_FALSE(decode(Bytes(jpegFile.begin(), jpegFile.begin() + cut))) << progressive << " " << cut;
        const ImagePtr withoutEnd = decode(Bytes(jpegFile.begin(), jpegFile.end() - 2));
        ASSERT_TRUE(withoutEnd) << progressive;
        EXPECT_EQ(pixelsOf(withoutEnd.get()), pixelsOf(whole.get())) << progressive;
    }
}

// The format table, which the image library over the Windows Imaging
// Component answers the same way.
TEST_F(CoronaTest, FormatTable)
{
    for (const auto& table : {ZivImageTable::wellFormed(), ZivImageTable::damaged()})
        for (const ZivImageTable::Case& c : table)
            EXPECT_EQ(ZivImageTable::verdict(c, decode(c.file).get()), "") << c.name;
}

TEST_F(CoronaTest, ConversionsReorderAddAndDropAlpha)
{
    const uint8_t rgba[] = {1, 2, 3, 4, 5, 6, 7, 8};
    Image* image = test::makeImage(2, 1, PF_R8G8B8A8, rgba);
    EXPECT_EQ(CorConvertImage(image, PF_DONTCARE), image);
    EXPECT_EQ(CorConvertImage(image, PF_R8G8B8A8), image);
    ImagePtr bgra(CorConvertImage(image, PF_B8G8R8A8));
    ASSERT_TRUE(bgra);
    EXPECT_EQ(pixelsOf(bgra.get()), (Bytes{3, 2, 1, 4, 7, 6, 5, 8}));
    ImagePtr rgb(CorConvertImage(bgra.release(), PF_R8G8B8));
    ASSERT_TRUE(rgb);
    EXPECT_EQ(pixelsOf(rgb.get()), (Bytes{1, 2, 3, 5, 6, 7}));
    ImagePtr bgr(CorConvertImage(rgb.release(), PF_B8G8R8));
    ASSERT_TRUE(bgr);
    EXPECT_EQ(pixelsOf(bgr.get()), (Bytes{3, 2, 1, 7, 6, 5}));
    ImagePtr back(CorConvertImage(bgr.release(), PF_R8G8B8A8));
    ASSERT_TRUE(back);
    EXPECT_EQ(pixelsOf(back.get()), (Bytes{1, 2, 3, 255, 5, 6, 7, 255}));
}

TEST_F(CoronaTest, FailedConversionsTakeTheInputAlong)
{
    EXPECT_EQ(CorConvertImage(nullptr, PF_R8G8B8A8), nullptr);
    const uint8_t indices[] = {0, 1};
    EXPECT_EQ(CorConvertImage(test::makeImage(2, 1, PF_I8, indices), PF_R8G8B8A8), nullptr);
    const uint8_t rgb[] = {1, 2, 3};
    EXPECT_EQ(CorConvertImage(test::makeImage(1, 1, PF_R8G8B8, rgb), PF_I8), nullptr);
    test::setConversionFailure(true);
    EXPECT_EQ(CorConvertImage(test::makeImage(1, 1, PF_B8G8R8, rgb), PF_R8G8B8), nullptr);
    // Nothing is lost: every image was destroyed by the library (TearDown).
}

TEST_F(CoronaTest, FileObjects)
{
    const uint8_t byte = 0;
    EXPECT_EQ(CorCreateMemoryFile(nullptr, 4), nullptr);
    EXPECT_EQ(CorCreateMemoryFile(&byte, 0), nullptr);
    EXPECT_EQ(CorCreateMemoryFile(&byte, -1), nullptr);
    test::setMemoryFileFailure(true);
    EXPECT_EQ(CorCreateMemoryFile(&byte, 1), nullptr);
    test::setMemoryFileFailure(false);

    const Bytes pngFile = ZivTest::writePng(png(1, 1, PNG_COLOR_TYPE_RGB, 8, Bytes{1, 2, 3}));
    File* file = CorCreateMemoryFile(pngFile.data(), static_cast<int>(pngFile.size()));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(test::liveObjects(), 1);
    EXPECT_EQ(CorOpenImageFromFile(nullptr, FF_AUTODETECT), nullptr);
    EXPECT_EQ(CorOpenImageFromFile(file, static_cast<FileFormat>(0x101)), nullptr);
    // The file object outlives the image made from it.
    ImagePtr image(CorOpenImageFromFile(file, FF_AUTODETECT));
    file->destroy();
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelsOf(image.get()), (Bytes{1, 2, 3}));
}

Image* paletteDecoder(const void*, int)
{
    return test::makeImage(1, 1, PF_I8, nullptr);
}

TEST_F(CoronaTest, DecoderHookAnswersFirst)
{
    test::setDecoderHook(paletteDecoder);
    const Bytes pngFile = ZivTest::writePng(png(1, 1, PNG_COLOR_TYPE_RGB, 8, Bytes{1, 2, 3}));
    ImagePtr image = decode(pngFile);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getFormat(), PF_I8);
}

} // namespace
