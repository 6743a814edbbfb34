// PNG files, image comparison and the pixel formats of the target.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <set>

#include "Image.h"
#include "TargetFormat.h"

using namespace zivdemo;

namespace {

std::string tempFile(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("ziv-demo-test-" + std::to_string(getpid()) + "-" + name))
        .string();
}

Image pattern(uint32_t w, uint32_t h)
{
    Image image(w, h);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            image.setArgb(x, y, (x * 37 + y * 11) << 24 | (x * 7) << 16 | (y * 13) << 8 | ((x ^ y) * 5 & 0xFF));
        }
    }
    return image;
}

} // namespace

TEST(DemoPng, RoundTripsWithAndWithoutAlpha)
{
    const Image original = pattern(37, 19);
    const std::string rgba = tempFile("rgba.png");
    writePng(rgba, original, true);
    const Image back = readPng(rgba);
    EXPECT_EQ(back.width, 37u);
    EXPECT_EQ(back.height, 19u);
    EXPECT_EQ(back.rgba, original.rgba);

    const std::string rgb = tempFile("rgb.png");
    writePng(rgb, original, false);
    const Image opaque = readPng(rgb);
    EXPECT_TRUE(opaque.opaque());
    EXPECT_EQ(opaque.rgb(), original.rgb());
    std::filesystem::remove(rgba);
    std::filesystem::remove(rgb);
}

TEST(DemoPng, FailuresNameTheFile)
{
    try {
        readPng("/nonexistent/x.png");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("cannot read PNG '/nonexistent/x.png': ", 0), 0u) << e.what();
    }
    EXPECT_THROW(writePng("/nonexistent/x.png", pattern(2, 2), true), std::runtime_error);
    EXPECT_THROW(writePng(tempFile("empty.png"), Image(), true), std::runtime_error);
}

TEST(DemoImageCompare, CountsAndDrawsDifferences)
{
    const Image a = pattern(8, 4);
    Image b = a;
    b.setArgb(5, 1, b.argb(5, 1) ^ 1);
    b.setArgb(2, 3, b.argb(2, 3) ^ 0x01000000); // alpha differs too
    const ImageDifference d = compareImages(a, b);
    EXPECT_EQ(d.pixels, 2u);
    EXPECT_EQ(d.firstX, 5u);
    EXPECT_EQ(d.firstY, 1u);
    EXPECT_EQ(compareImages(a, a).pixels, 0u);
    EXPECT_EQ(compareImages(a, pattern(8, 5)).pixels, 40u);

    const Image diff = differenceImage(a, b);
    EXPECT_EQ(diff.argb(5, 1), 0xFFFF00FFu);
    EXPECT_EQ(diff.argb(2, 3), 0xFFFF00FFu);
    EXPECT_EQ(diff.argb(0, 0) & 0xFFFFFF, (a.argb(0, 0) >> 2) & 0x3F3F3Fu);

    const Image grown = differenceImage(a, pattern(10, 4));
    EXPECT_EQ(grown.width, 10u);
    EXPECT_EQ(grown.argb(9, 0), 0xFFFF00FFu);
}

TEST(TargetFormats, PackKnownColours)
{
    EXPECT_EQ(packColour(TargetFormat::Rgb565, 0xFFFF0000u), 0xF800u);
    EXPECT_EQ(packColour(TargetFormat::Rgb565, 0xFF00FF00u), 0x07E0u);
    EXPECT_EQ(packColour(TargetFormat::Rgb565, 0xFF1F4F6Fu), (0x1Fu >> 3) << 11 | (0x4Fu >> 2) << 5 | 0x6Fu >> 3);
    EXPECT_EQ(packColour(TargetFormat::Rgb555, 0xFFFFFFFFu), 0x7FFFu);
    EXPECT_EQ(packColour(TargetFormat::Rgb555, 0x80FF0000u), 0x7C00u);
    EXPECT_EQ(packColour(TargetFormat::Rgb24, 0xFF123456u), 0x123456u);
    EXPECT_EQ(packColour(TargetFormat::Rgb32, 0xAB123456u), 0x123456u);
    EXPECT_EQ(unpackPixel(TargetFormat::Rgb565, 0xF800u), 0xFFFF0000u);
    EXPECT_EQ(unpackPixel(TargetFormat::Rgb565, 0x0020u), 0xFF000400u);
    EXPECT_EQ(unpackPixel(TargetFormat::Rgb555, 0x8000u), 0xFF000000u); // the unused bit is ignored
    EXPECT_EQ(unpackPixel(TargetFormat::Rgb32, 0xFF102030u), 0xFF102030u);
}

TEST(TargetFormats, SixteenBitPixelsReadBackOneToOne)
{
    // Every 16-bit pixel becomes a colour of its own, which packs back into
    // the same pixel: a PNG of a 16-bit target loses nothing.
    for (TargetFormat format : {TargetFormat::Rgb565, TargetFormat::Rgb555}) {
        const uint32_t used = format == TargetFormat::Rgb565 ? 0xFFFFu : 0x7FFFu;
        std::set<uint32_t> colours;
        for (uint32_t pixel = 0; pixel <= used; ++pixel) {
            const uint32_t argb = unpackPixel(format, pixel);
            colours.insert(argb);
            ASSERT_EQ(packColour(format, argb), pixel) << formatInfo(format).name;
        }
        EXPECT_EQ(colours.size(), used + 1);
    }
}

TEST(TargetFormats, RowsAreReadInMemoryOrder)
{
    const uint8_t row565[] = {0x00, 0xF8, 0x1F, 0x00};
    const uint8_t row24[] = {0x56, 0x34, 0x12, 0x03, 0x02, 0x01};
    const uint8_t row32[] = {0x56, 0x34, 0x12, 0x99, 0x03, 0x02, 0x01, 0x99};
    uint8_t rgba[8];
    unpackRow(TargetFormat::Rgb565, row565, 2, rgba);
    EXPECT_EQ(std::vector<uint8_t>(rgba, rgba + 8), (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 255}));
    unpackRow(TargetFormat::Rgb24, row24, 2, rgba);
    EXPECT_EQ(std::vector<uint8_t>(rgba, rgba + 8), (std::vector<uint8_t>{0x12, 0x34, 0x56, 255, 1, 2, 3, 255}));
    unpackRow(TargetFormat::Rgb32, row32, 2, rgba);
    EXPECT_EQ(std::vector<uint8_t>(rgba, rgba + 8), (std::vector<uint8_t>{0x12, 0x34, 0x56, 255, 1, 2, 3, 255}));
    EXPECT_EQ(parseFormat("555"), TargetFormat::Rgb555);
    EXPECT_EQ(parseFormat("16"), std::nullopt);
}
