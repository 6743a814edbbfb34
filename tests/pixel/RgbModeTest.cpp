// Surface classification and channel placement.

#include <gtest/gtest.h>

#include "pixel/RgbMode.h"

namespace {

using namespace ZorvUISystem;

DDSURFACEDESC withFormat(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t alpha = 0)
{
    DDSURFACEDESC d{};
    d.dwSize = 108;
    d.ddpfPixelFormat.dwRGBBitCount = bits;
    d.ddpfPixelFormat.dwRBitMask = r;
    d.ddpfPixelFormat.dwGBitMask = g;
    d.ddpfPixelFormat.dwBBitMask = b;
    d.ddpfPixelFormat.dwRGBAlphaBitMask = alpha;
    return d;
}

TEST(GetRGBMode, SixteenBitLayoutsAreToldApartByTheirExactMasks)
{
    EXPECT_EQ(GetRGBMode(withFormat(16, 0xF800, 0x07E0, 0x001F)), DDS_RGBMODE_565);
    EXPECT_EQ(GetRGBMode(withFormat(16, 0x7C00, 0x03E0, 0x001F)), DDS_RGBMODE_555);
    EXPECT_EQ(GetRGBMode(withFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000)), DDS_RGBMODE_555);
    EXPECT_EQ(GetRGBMode(withFormat(16, 0x0F00, 0x00F0, 0x000F)), DDS_RGBMODE_16_OTHER);
    EXPECT_EQ(GetRGBMode(withFormat(16, 0x001F, 0x07E0, 0xF800)), DDS_RGBMODE_16_OTHER);
    EXPECT_EQ(GetRGBMode(withFormat(16, 0, 0, 0)), DDS_RGBMODE_16_OTHER);
}

TEST(GetRGBMode, OtherBitCountsIgnoreTheMasks)
{
    EXPECT_EQ(GetRGBMode(withFormat(24, 0, 0, 0)), DDS_RGBMODE_24);
    EXPECT_EQ(GetRGBMode(withFormat(24, 0xF800, 0x07E0, 0x001F)), DDS_RGBMODE_24);
    EXPECT_EQ(GetRGBMode(withFormat(32, 0x000000FF, 0x0000FF00, 0x00FF0000)), DDS_RGBMODE_32);
    EXPECT_EQ(GetRGBMode(withFormat(8, 0, 0, 0)), DDS_RGBMODE_NONE);
    for (uint32_t bits : {0u, 1u, 4u, 15u, 17u, 48u, 64u})
        EXPECT_EQ(GetRGBMode(withFormat(bits, 0xF800, 0x07E0, 0x001F)), DDS_RGBMODE_UNSUPPORTED) << bits;
}

TEST(GetRGBMode, EnumeratorValuesAndPixelSizesAreFixed)
{
    EXPECT_EQ(DDS_RGBMODE_555, 0u);
    EXPECT_EQ(DDS_RGBMODE_565, 1u);
    EXPECT_EQ(DDS_RGBMODE_16_OTHER, 2u);
    EXPECT_EQ(DDS_RGBMODE_24, 3u);
    EXPECT_EQ(DDS_RGBMODE_32, 4u);
    EXPECT_EQ(DDS_RGBMODE_UNSUPPORTED, 5u);
    EXPECT_EQ(DDS_RGBMODE_NONE, 6u);
    EXPECT_EQ(sizeof(RgbMode), 4u);
    EXPECT_EQ(bytesPerPixel(0), 2u);
    EXPECT_EQ(bytesPerPixel(2), 2u);
    EXPECT_EQ(bytesPerPixel(3), 3u);
    EXPECT_EQ(bytesPerPixel(4), 4u);
    EXPECT_EQ(bytesPerPixel(5), 0u);
    EXPECT_EQ(bytesPerPixel(6), 0u);
}

uint32_t fit(uint32_t mask, uint32_t value)
{
    fitChannelToMask(mask, value);
    return value;
}

TEST(FitChannelToMask, PlacesTheTopBitsOfTheValueInTheFirstRun)
{
    EXPECT_EQ(fit(0x0F00, 255), 0x0F00u);
    EXPECT_EQ(fit(0x0F00, 0x80), 0x0800u);
    EXPECT_EQ(fit(0x000F, 0x7F), 0x0007u);
    EXPECT_EQ(fit(0x0FF0, 0xAB), 0x0AB0u);
    EXPECT_EQ(fit(0x3FF0, 0xFF), 0x0FF0u); // wide fields are not scaled up
    EXPECT_EQ(fit(0x0F0F, 0xF0), 0x000Fu); // only the lower run counts
    EXPECT_EQ(fit(0xF800, 0xFF), 0xF800u);
    EXPECT_EQ(fit(0x07E0, 0x84), 0x0420u);
    EXPECT_EQ(fit(0x80000000u, 0x80), 0x80000000u);
    EXPECT_EQ(fit(0xFFFFFFFFu, 0xC3), 0xC3u);
    for (uint32_t v : {0u, 1u, 128u, 255u})
        EXPECT_EQ(fit(0, v), 0u) << v;
}

} // namespace
