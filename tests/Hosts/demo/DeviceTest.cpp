// The demo's device over the software DirectDraw: targets of every format,
// clearing, reading back, and the size change of a reset.
#include <gtest/gtest.h>

#include "DemoDevice.h"

using namespace zivdemo;

TEST(DemoDevice, AnswersTheRenderersQuestions)
{
    DemoDevice device(TargetFormat::Rgb555, 40, 30, 2);
    float w = 0, h = 0;
    EXPECT_TRUE(device.getTargetSize(&w, &h));
    EXPECT_FLOAT_EQ(w, 40);
    EXPECT_FLOAT_EQ(h, 30);
    EXPECT_EQ(device.getBlendMode(), 2);
    EXPECT_EQ(device.getTextureMemory(), 0);
    EXPECT_EQ(device.getTexturePixelFormat(), 555);
    EXPECT_NE(device.getDirectDraw(), nullptr);
    EXPECT_EQ(DemoDevice(TargetFormat::Rgb565, 4, 4, 0).getTexturePixelFormat(), 565);
    // 24- and 32-bit textures take the display's format, which the device sets.
    EXPECT_EQ(DemoDevice(TargetFormat::Rgb24, 4, 4, 0).getTexturePixelFormat(), 0);
    EXPECT_EQ(DemoDevice(TargetFormat::Rgb32, 4, 4, 0).getTexturePixelFormat(), 0);
}

TEST(DemoDevice, TargetsHaveTheFormatAndReadBackTheClearColour)
{
    for (TargetFormat format : kAllFormats) {
        const FormatInfo& info = formatInfo(format);
        DemoDevice device(format, 37, 5, 0); // an odd width, so rows are padded
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        ASSERT_EQ(device.target()->GetSurfaceDesc(&desc), DD_OK) << info.name;
        EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, info.bitsPerPixel) << info.name;
        EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, info.redMask) << info.name;
        EXPECT_EQ(desc.ddpfPixelFormat.dwGBitMask, info.greenMask) << info.name;

        device.clear(0xFF1F4F6Fu);
        const Image image = device.capture();
        ASSERT_EQ(image.width, 37u);
        ASSERT_EQ(image.height, 5u);
        const uint32_t expected = unpackPixel(format, packColour(format, 0xFF1F4F6Fu));
        for (uint32_t y = 0; y < 5; ++y) {
            for (uint32_t x = 0; x < 37; ++x) {
                ASSERT_EQ(image.argb(x, y), expected) << info.name << " at " << x << "," << y;
            }
        }
    }
}

TEST(DemoDevice, ChangeSizeMakesANewTargetOfTheNewSize)
{
    DemoDevice device(TargetFormat::Rgb565, 64, 48, 1);
    device.clear(0xFFFF0000u);
    device.changeSize(80, 60);
    EXPECT_EQ(device.width(), 80u);
    EXPECT_EQ(device.height(), 60u);
    float w = 0, h = 0;
    device.getTargetSize(&w, &h);
    EXPECT_FLOAT_EQ(w, 80);
    EXPECT_FLOAT_EQ(h, 60);
    EXPECT_EQ(device.target()->IsLost(), DD_OK);
    device.clear(0xFF0000FFu);
    const Image image = device.capture();
    ASSERT_EQ(image.width, 80u);
    EXPECT_EQ(image.argb(79, 59), 0xFF0000FFu);
}

TEST(DemoDevice, ResultsAreNamed)
{
    EXPECT_EQ(describeResult("CreateSurface", DDERR_OUTOFMEMORY),
              "CreateSurface failed (DDERR_OUTOFMEMORY, 0x8007000e)");
    EXPECT_EQ(describeResult("Lock", static_cast<HRESULT>(0x88760123)), "Lock failed (0x88760123)");
}
