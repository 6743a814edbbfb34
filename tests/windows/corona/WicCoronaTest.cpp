// The image library over the Windows Imaging Component: which files become
// RGBA and which RGB, their exact pixels, the GIF logical screen, the size
// limits, the conversions, and the calling thread's COM state.
#include <windows.h>

#include <objbase.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "ImageFiles.h"
#include "ImageTable.h"
#include "WinTestSupport.h"
#include "corona.h"
#include "corona_wic.h"

namespace {

using ZivImageFiles::GifSpec;
using ZivImageFiles::PngSpec;

// A decoded image, destroyed at the end.
struct Decoded {
    corona::Image* image = nullptr;
    ~Decoded()
    {
        if (image != nullptr)
            image->destroy();
    }
    std::vector<uint8_t> pixels() const
    {
        const int bytes =
            image->getFormat() == corona::PF_R8G8B8A8 || image->getFormat() == corona::PF_B8G8R8A8 ? 4 : 3;
        const auto* first = static_cast<const uint8_t*>(image->getPixels());
        return std::vector<uint8_t>(first, first + size_t(image->getWidth()) * image->getHeight() * bytes);
    }
};

corona::Image* open(const std::vector<uint8_t>& bytes)
{
    corona::File* file = corona::CorCreateMemoryFile(bytes.data(), static_cast<int>(bytes.size()));
    if (file == nullptr)
        return nullptr;
    corona::Image* image = corona::CorOpenImageFromFile(file, corona::FF_AUTODETECT);
    file->destroy();
    return image;
}

class WicCorona : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(corona::wic::liveObjects(), 0) << "file or image objects left alive"; }
};

TEST_F(WicCorona, OpaquePngTypesGiveRgb)
{
    // Grey, RGB and a palette without transparency: three bytes a pixel.
    PngSpec grey = ZivImageFiles::pngSpec(2, 1, 8, 0, {0x10, 0xF0});
    PngSpec rgb = ZivImageFiles::pngSpec(2, 1, 8, 2, {1, 2, 3, 250, 251, 252});
    PngSpec palette = ZivImageFiles::pngSpec(3, 1, 8, 3, {2, 0, 1}, {10, 20, 30, 40, 50, 60, 70, 80, 90});
    PngSpec deep =
        ZivImageFiles::pngSpec(2, 1, 16, 2, {0xFF, 0xFF, 0x80, 0x80, 0x00, 0x00, 0x00, 0x00, 0x40, 0x40, 0xFF, 0xFF});
    const struct {
        const PngSpec* spec;
        std::vector<uint8_t> expected;
    } cases[] = {
        {&grey, {0x10, 0x10, 0x10, 0xF0, 0xF0, 0xF0}},
        {&rgb, {1, 2, 3, 250, 251, 252}},
        {&palette, {70, 80, 90, 10, 20, 30, 40, 50, 60}},
        {&deep, {0xFF, 0x80, 0x00, 0x00, 0x40, 0xFF}},
    };
    for (const auto& c : cases) {
        Decoded decoded{open(ZivImageFiles::makePng(*c.spec))};
        ASSERT_NE(decoded.image, nullptr) << "colour type " << int(c.spec->colourType);
        EXPECT_EQ(decoded.image->getFormat(), corona::PF_R8G8B8) << "colour type " << int(c.spec->colourType);
        EXPECT_EQ(decoded.image->getWidth(), int(c.spec->width));
        EXPECT_EQ(decoded.image->getHeight(), int(c.spec->height));
        EXPECT_EQ(decoded.pixels(), c.expected) << "colour type " << int(c.spec->colourType);
    }
}

TEST_F(WicCorona, TransparentPngTypesGiveRgbaWithColoursUnscaled)
{
    // RGBA, grey with alpha, and a palette with a tRNS entry: four bytes a
    // pixel, colour as stored (not multiplied by alpha).
    PngSpec rgba = ZivImageFiles::pngSpec(2, 2, 8, 6, {200, 100, 50, 64, 1, 2, 3, 255, 9, 8, 7, 0, 255, 255, 255, 128});
    PngSpec greyAlpha = ZivImageFiles::pngSpec(2, 1, 8, 4, {0x80, 0x40, 0xFF, 0xFF});
    PngSpec palette = ZivImageFiles::pngSpec(2, 1, 8, 3, {0, 1}, {10, 20, 30, 40, 50, 60}, {0x33});
    const struct {
        const PngSpec* spec;
        std::vector<uint8_t> expected;
    } cases[] = {
        {&rgba, {200, 100, 50, 64, 1, 2, 3, 255, 9, 8, 7, 0, 255, 255, 255, 128}},
        {&greyAlpha, {0x80, 0x80, 0x80, 0x40, 0xFF, 0xFF, 0xFF, 0xFF}},
        {&palette, {10, 20, 30, 0x33, 40, 50, 60, 0xFF}},
    };
    for (const auto& c : cases) {
        Decoded decoded{open(ZivImageFiles::makePng(*c.spec))};
        ASSERT_NE(decoded.image, nullptr) << "colour type " << int(c.spec->colourType);
        EXPECT_EQ(decoded.image->getFormat(), corona::PF_R8G8B8A8) << "colour type " << int(c.spec->colourType);
        EXPECT_EQ(decoded.pixels(), c.expected) << "colour type " << int(c.spec->colourType);
    }
}

TEST_F(WicCorona, BmpAndJpegGiveRgb)
{
    const std::vector<uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 40, 80, 120, 255};
    Decoded bmp{open(ZivWinTest::encodeImage(ZivWinTest::EncodedFormat::Bmp24, 2, 2, rgba))};
    ASSERT_NE(bmp.image, nullptr);
    EXPECT_EQ(bmp.image->getFormat(), corona::PF_R8G8B8);
    EXPECT_EQ(bmp.pixels(), (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 40, 80, 120}));

    // A flat colour survives JPEG's rounding within a step or two.
    const std::vector<uint8_t> flat(16 * 16 * 4, 0);
    std::vector<uint8_t> colour = flat;
    for (size_t i = 0; i < colour.size(); i += 4) {
        colour[i] = 200;
        colour[i + 1] = 120;
        colour[i + 2] = 40;
        colour[i + 3] = 255;
    }
    Decoded jpeg{open(ZivWinTest::encodeImage(ZivWinTest::EncodedFormat::Jpeg, 16, 16, colour))};
    ASSERT_NE(jpeg.image, nullptr);
    EXPECT_EQ(jpeg.image->getFormat(), corona::PF_R8G8B8);
    ASSERT_EQ(jpeg.image->getWidth(), 16);
    const std::vector<uint8_t> pixels = jpeg.pixels();
    for (size_t i = 0; i < pixels.size(); i += 3) {
        EXPECT_NEAR(pixels[i], 200, 3);
        EXPECT_NEAR(pixels[i + 1], 120, 3);
        EXPECT_NEAR(pixels[i + 2], 40, 3);
    }
}

const std::vector<uint8_t> kGifPalette = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};

TEST_F(WicCorona, GifWithoutTransparencyCoveringItsScreenGivesRgb)
{
    GifSpec spec{3, 2, 0, 0, 3, 2, kGifPalette, {0, 1, 2, 3, 2, 1}, -1};
    Decoded decoded{open(ZivImageFiles::makeGif(spec))};
    ASSERT_NE(decoded.image, nullptr);
    EXPECT_EQ(decoded.image->getFormat(), corona::PF_R8G8B8);
    EXPECT_EQ(decoded.pixels(),
              (std::vector<uint8_t>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 70, 80, 90, 40, 50, 60}));
}

TEST_F(WicCorona, GifTransparentIndexIsAllZero)
{
    GifSpec spec{2, 2, 0, 0, 2, 2, kGifPalette, {0, 3, 3, 1}, 3};
    Decoded decoded{open(ZivImageFiles::makeGif(spec))};
    ASSERT_NE(decoded.image, nullptr);
    EXPECT_EQ(decoded.image->getFormat(), corona::PF_R8G8B8A8);
    EXPECT_EQ(decoded.pixels(), (std::vector<uint8_t>{10, 20, 30, 255, 0, 0, 0, 0, 0, 0, 0, 0, 40, 50, 60, 255}));
}

TEST_F(WicCorona, GifFrameSitsOnItsLogicalScreen)
{
    // A 2 x 1 frame at 1, 1 on a 4 x 3 screen: the rest is uncovered.
    GifSpec spec{4, 3, 1, 1, 2, 1, kGifPalette, {1, 2}, -1};
    Decoded decoded{open(ZivImageFiles::makeGif(spec))};
    ASSERT_NE(decoded.image, nullptr);
    EXPECT_EQ(decoded.image->getWidth(), 4);
    EXPECT_EQ(decoded.image->getHeight(), 3);
    EXPECT_EQ(decoded.image->getFormat(), corona::PF_R8G8B8A8);
    std::vector<uint8_t> expected(4 * 3 * 4, 0);
    const uint8_t covered[] = {40, 50, 60, 255, 70, 80, 90, 255};
    std::copy(std::begin(covered), std::end(covered), expected.begin() + (1 * 4 + 1) * 4);
    EXPECT_EQ(decoded.pixels(), expected);
}

// The format table, which the Linux build's image library answers the same
// way: every BMP and TGA variant to its exact pixels, damaged files refused.
TEST_F(WicCorona, FormatTable)
{
    for (const auto& table : {ZivImageTable::wellFormed(), ZivImageTable::damaged()})
        for (const ZivImageTable::Case& c : table) {
            Decoded decoded{open(c.file)};
            if (c.libjpegOnly)
                EXPECT_EQ(decoded.image, nullptr) << c.name;
            else
                EXPECT_EQ(ZivImageTable::verdict(c, decoded.image), "") << c.name;
        }
}

TEST_F(WicCorona, RefusesWhatIsNotAnImageItTakes)
{
    EXPECT_EQ(open(std::vector<uint8_t>(100, 0x42)), nullptr);
    std::vector<uint8_t> truncated =
        ZivImageFiles::makePng(ZivImageFiles::pngSpec(8, 8, 8, 2, std::vector<uint8_t>(8 * 8 * 3, 7)));
    truncated.resize(truncated.size() / 2);
    EXPECT_EQ(open(truncated), nullptr);
    // TIFF decodes on Windows but is not one of the library's formats.
    const std::vector<uint8_t> rgba(4 * 4 * 4, 200);
    EXPECT_EQ(open(ZivWinTest::encodeImage(ZivWinTest::EncodedFormat::Tiff, 4, 4, rgba)), nullptr);

    const uint8_t byte = 0;
    EXPECT_EQ(corona::CorCreateMemoryFile(nullptr, 10), nullptr);
    EXPECT_EQ(corona::CorCreateMemoryFile(&byte, 0), nullptr);
    const std::vector<uint8_t> png = ZivImageFiles::makePng(ZivImageFiles::pngSpec(1, 1, 8, 2, {1, 2, 3}));
    corona::File* file = corona::CorCreateMemoryFile(png.data(), static_cast<int>(png.size()));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(corona::CorOpenImageFromFile(file, static_cast<corona::FileFormat>(0x101)), nullptr);
    EXPECT_EQ(corona::CorOpenImageFromFile(nullptr, corona::FF_AUTODETECT), nullptr);
    file->destroy();
}

TEST_F(WicCorona, SidesAbove16384AreRefused)
{
    for (const auto& [width, height, accepted] :
         {std::tuple<uint32_t, uint32_t, bool>{16384, 1, true}, {16385, 1, false}, {1, 16385, false}}) {
        PngSpec spec = ZivImageFiles::pngSpec(width, height, 8, 0, std::vector<uint8_t>(size_t(width) * height, 9));
        Decoded decoded{open(ZivImageFiles::makePng(spec))};
        EXPECT_EQ(decoded.image != nullptr, accepted) << width << " x " << height;
    }
    // A header that claims more than the data holds is refused before
    // anything is decoded.
    PngSpec liar = ZivImageFiles::pngSpec(1, 1, 8, 2, {1, 2, 3});
    liar.claimedWidth = 100000;
    EXPECT_EQ(open(ZivImageFiles::makePng(liar)), nullptr);
}

TEST_F(WicCorona, ConversionsBetweenDirectColourFormats)
{
    PngSpec rgba = ZivImageFiles::pngSpec(2, 1, 8, 6, {1, 2, 3, 4, 5, 6, 7, 8});
    corona::Image* image = open(ZivImageFiles::makePng(rgba));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(corona::CorConvertImage(image, corona::PF_DONTCARE), image);
    EXPECT_EQ(corona::CorConvertImage(image, corona::PF_R8G8B8A8), image);
    Decoded bgra{corona::CorConvertImage(image, corona::PF_B8G8R8A8)};
    ASSERT_NE(bgra.image, nullptr);
    EXPECT_EQ(bgra.pixels(), (std::vector<uint8_t>{3, 2, 1, 4, 7, 6, 5, 8}));
    Decoded rgb{corona::CorConvertImage(bgra.image, corona::PF_R8G8B8)};
    bgra.image = nullptr; // the library owns it now
    ASSERT_NE(rgb.image, nullptr);
    EXPECT_EQ(rgb.pixels(), (std::vector<uint8_t>{1, 2, 3, 5, 6, 7}));
    Decoded back{corona::CorConvertImage(rgb.image, corona::PF_R8G8B8A8)};
    rgb.image = nullptr;
    ASSERT_NE(back.image, nullptr);
    EXPECT_EQ(back.pixels(), (std::vector<uint8_t>{1, 2, 3, 255, 5, 6, 7, 255}));

    // To palette indices there is no conversion: the image goes, null comes.
    EXPECT_EQ(corona::CorConvertImage(back.image, corona::PF_I8), nullptr);
    back.image = nullptr;
    EXPECT_EQ(corona::CorConvertImage(nullptr, corona::PF_R8G8B8), nullptr);
}

// COM on the decoding thread: used as the host left it, and left as found.
TEST_F(WicCorona, LeavesTheThreadsComStateAsItFoundIt)
{
    const std::vector<uint8_t> png = ZivImageFiles::makePng(ZivImageFiles::pngSpec(1, 1, 8, 2, {1, 2, 3}));
    {
        Decoded first{open(png)};
        EXPECT_NE(first.image, nullptr);
    }
    // Not initialised before, so not initialised after: this call is the
    // first, and must answer S_OK.
    const HRESULT fresh = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(fresh, S_OK);
    {
        // A single-threaded apartment set up by the host.
        Decoded inApartment{open(png)};
        EXPECT_NE(inApartment.image, nullptr);
    }
    // Still initialised once: one CoUninitialize ends it.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}

} // namespace
