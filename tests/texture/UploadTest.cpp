// The pixel upload through the renderer's textures over the software
// DirectDraw: values per pixel mode read back from the locked surfaces, the
// alpha surface, the palette path, and every failure with its message.
#include <cmath>
#include <limits>

#include "RecordingDirectDraw.h"
#include "TextureFixture.h"

namespace {

using namespace ZorvUISystem;
using ZivTest::failureOf;
using ZivTest::readSurface;
using ZivTest::rgbaBytes;

class UploadTest : public ZivTest::TextureTest {};

// Spec pixels of the 16-bit cases, one row.
const std::vector<uint8_t> kEdgePixels = rgbaBytes({
    0xFF800000, // transparent orange
    0xFFFFFFFF, // opaque white
    0xFFFFFF80, // white at alpha 128
    0x070307FF, // opaque, darker than 16 bits resolve
    0x000000FF, // opaque black
    0xC8643280, // (200, 100, 50) at alpha 128
});

TEST_F(UploadTest, Rgba565FoldsAlphaAndKeepsItInASecondSurface)
{
    directDraw.display = ZivTest::kDisplay565;
    CDDTexture& texture = newTexture();
    texture.loadFromMemory(kEdgePixels.data(), 6, 1, BUFFER_RGBA);

    EXPECT_EQ(texture.rgbMode(), DDS_RGBMODE_565);
    ASSERT_NE(texture.colourSurface(), nullptr);
    ASSERT_NE(texture.alphaSurface(), nullptr);
    EXPECT_NE(texture.alphaSurface(), texture.colourSurface());
    // 128 * 129 >> 8 = 64 would be the wrong formula; 255 * 129 >> 8 = 128.
    const auto colour = readSurface(texture.colourSurface());
    EXPECT_EQ(colour.pixels, (std::vector<uint32_t>{0x0000, 0xFFFF, 0x8410, 0x0000, 0x0000, 0x6183}));
    const auto alpha = readSurface(texture.alphaSurface());
    EXPECT_EQ(alpha.width, 6u);
    EXPECT_EQ(alpha.height, 1u);
    EXPECT_EQ(alpha.format.dwRGBBitCount, 16u);
    // The low byte holds alpha; the high byte is what the new surface held.
    for (DWORD x = 0; x < 6; ++x)
        EXPECT_EQ(alpha.at(x, 0) & 0xFF, kEdgePixels[4 * x + 3]) << x;

    EXPECT_TRUE(texture.hasAlpha());
    DDCOLORKEY key{1, 1};
    EXPECT_EQ(texture.colourSurface()->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0u);
    EXPECT_EQ(key.dwColorSpaceHighValue, 0u);
}

TEST_F(UploadTest, Rgb555IsNotScaledAndHasNoAlpha)
{
    directDraw.display = ZivTest::kDisplay555;
    CDDTexture& texture = newTexture();
    const uint8_t rgb[] = {255, 255, 255, 0, 0, 0, 0x80, 0x40, 0x08};
    texture.loadFromMemory(rgb, 3, 1, BUFFER_RGB);
    EXPECT_EQ(texture.rgbMode(), DDS_RGBMODE_555);
    EXPECT_EQ(readSurface(texture.colourSurface()).pixels, (std::vector<uint32_t>{0x7FFF, 0x0000, 0x4101}));
    EXPECT_EQ(texture.alphaSurface(), texture.colourSurface());
    EXPECT_FALSE(texture.hasAlpha());
    DDCOLORKEY key{};
    EXPECT_LT(texture.colourSurface()->GetColorKey(DDCKEY_SRCBLT, &key), 0) << "no colour key for RGB pixels";
    EXPECT_EQ(directDraw.created.size(), 1u);
}

TEST_F(UploadTest, Rgba555UsesItsOwnMasks)
{
    directDraw.display = ZivTest::kDisplay555;
    CDDTexture& texture = newTexture();
    texture.loadFromMemory(kEdgePixels.data(), 6, 1, BUFFER_RGBA);
    EXPECT_EQ(readSurface(texture.colourSurface()).pixels,
              (std::vector<uint32_t>{0x0000, 0x7FFF, 0x4210, 0x0000, 0x0000, 0x30C3}));
}

TEST_F(UploadTest, OtherSixteenBitLayoutsPlaceChannelsByMask)
{
    directDraw.display = ZivTest::kDisplay844;
    CDDTexture& texture = newTexture();
    // Every channel is scaled by c * a >> 8: 255 at alpha 255 becomes 254.
    texture.loadFromMemory(kEdgePixels.data(), 6, 1, BUFFER_RGBA);
    EXPECT_EQ(texture.rgbMode(), DDS_RGBMODE_16_OTHER);
    EXPECT_EQ(readSurface(texture.colourSurface()).pixels,
              (std::vector<uint32_t>{0x0000, 0xFEFF, 0x7F77, 0x0600, 0x0000, 0x6431}));
    // The alpha surface holds alpha as the whole pixel.
    const auto alpha = readSurface(texture.alphaSurface());
    EXPECT_EQ(alpha.pixels, (std::vector<uint32_t>{0x00, 0xFF, 0x80, 0xFF, 0xFF, 0x80}));

    directDraw.display = ZivTest::kDisplay444;
    CDDTexture& other = newTexture();
    const uint8_t rgb[] = {255, 255, 255, 0x80, 0x40, 0x1F};
    other.loadFromMemory(rgb, 2, 1, BUFFER_RGB);
    EXPECT_EQ(readSurface(other.colourSurface()).pixels, (std::vector<uint32_t>{0x0FFF, 0x0841}));
}

TEST_F(UploadTest, TwentyFourBitPixels)
{
    directDraw.display = ZivTest::kDisplay24;
    CDDTexture& texture = newTexture();
    const auto pixels = rgbaBytes({0x10203000, 0xFF8040FF, 0xC8643280});
    texture.loadFromMemory(pixels.data(), 3, 1, BUFFER_RGBA);
    EXPECT_EQ(texture.rgbMode(), DDS_RGBMODE_24);
    // Blue, green, red in memory order: read as 0xRRGGBB.
    EXPECT_EQ(readSurface(texture.colourSurface()).pixels, (std::vector<uint32_t>{0x000000, 0xFF8040, 0x643219}));
    // Alpha in the first byte of the alpha surface's pixels.
    const auto alpha = readSurface(texture.alphaSurface());
    EXPECT_EQ(alpha.at(0, 0) & 0xFF, 0x00u);
    EXPECT_EQ(alpha.at(1, 0) & 0xFF, 0xFFu);
    EXPECT_EQ(alpha.at(2, 0) & 0xFF, 0x80u);
}

TEST_F(UploadTest, ThirtyTwoBitPixelsWithAndWithoutAnAlphaChannel)
{
    const auto pixels = rgbaBytes({0x10203000, 0xFF8040FF, 0xC8643280, 0xFFFFFFFF});

    // A format with alpha keeps it in the fourth byte of the one surface.
    directDraw.display = ZivTest::kDisplayArgb32;
    CDDTexture& withAlpha = newTexture();
    withAlpha.loadFromMemory(pixels.data(), 2, 2, BUFFER_RGBA);
    EXPECT_EQ(withAlpha.rgbMode(), DDS_RGBMODE_32);
    EXPECT_EQ(withAlpha.alphaSurface(), withAlpha.colourSurface());
    EXPECT_EQ(readSurface(withAlpha.colourSurface()).pixels,
              (std::vector<uint32_t>{0x00000000, 0xFFFF8040, 0x80643219, 0xFFFFFFFF}));

    // Without one, alpha goes to a second surface's fourth byte.
    directDraw.display = ZivTest::kDisplayXrgb32;
    CDDTexture& separate = newTexture();
    separate.loadFromMemory(pixels.data(), 2, 2, BUFFER_RGBA);
    ASSERT_NE(separate.alphaSurface(), separate.colourSurface());
    const auto colour = readSurface(separate.colourSurface());
    EXPECT_EQ(colour.pixels[0], 0x00000000u);
    for (size_t i = 1; i < 4; ++i)
        EXPECT_EQ(colour.pixels[i] & 0xFFFFFF, (std::vector<uint32_t>{0, 0xFF8040, 0x643219, 0xFFFFFF})[i]);
    const auto alpha = readSurface(separate.alphaSurface());
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(alpha.pixels[i] >> 24, pixels[4 * i + 3]) << i;

    // RGB pixels fill the fourth byte with 0xFF.
    CDDTexture& rgb = newTexture();
    const uint8_t white[] = {255, 255, 255, 1, 2, 3};
    rgb.loadFromMemory(white, 2, 1, BUFFER_RGB);
    EXPECT_EQ(readSurface(rgb.colourSurface()).pixels, (std::vector<uint32_t>{0xFFFFFFFF, 0xFF010203}));
}

TEST_F(UploadTest, RowsFollowThePitchAndTheSourceWidth)
{
    directDraw.display = ZivTest::kDisplay565;
    CDDTexture& texture = newTexture();
    // Three rows of five pixels, each pixel's red its index.
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 15; ++i)
        rgb.insert(rgb.end(), {uint8_t(i * 16), 0, 0});
    texture.loadFromMemory(rgb.data(), 5, 3, BUFFER_RGB);
    const auto colour = readSurface(texture.colourSurface());
    ASSERT_EQ(colour.width, 5u);
    ASSERT_EQ(colour.height, 3u);
    for (DWORD y = 0; y < 3; ++y)
        for (DWORD x = 0; x < 5; ++x)
            EXPECT_EQ(colour.at(x, y), uint32_t((y * 5 + x) * 16 & 0xF8) << 8) << x << "," << y;
    EXPECT_TRUE(ddrawtest::guardsIntact());
}

TEST_F(UploadTest, PaletteSurfacesAreFilledThroughTheDeviceContext)
{
    directDraw.display = ZivTest::kDisplayPalette8;
    CDDTexture& texture = newTexture();
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 4 * 3; ++i)
        pixels.insert(pixels.end(), {255, 255, 255, 255});
    texture.loadFromMemory(pixels.data(), 4, 3, BUFFER_RGBA);
    EXPECT_EQ(texture.rgbMode(), DDS_RGBMODE_NONE);
    EXPECT_EQ(ddrawtest::callCount("GetDC"), 1u);
    EXPECT_EQ(ddrawtest::callCount("SetPixel"), 12u);
    EXPECT_EQ(ddrawtest::callCount("ReleaseDC"), 1u);
    // The surface is not left locked: it can be locked again.
    const auto colour = readSurface(texture.colourSurface());
    EXPECT_EQ(colour.width, 4u);
    // RGBA on a format without alpha: a separate (unfilled) alpha surface.
    EXPECT_NE(texture.alphaSurface(), texture.colourSurface());
    EXPECT_TRUE(texture.hasAlpha());
}

TEST(PaletteUpload, EachPixelGoesToSetPixelAtItsPlaceWithAlphaScaledByAlpha)
{
    // The recording DirectDraw's device context stores the red byte of each
    // colour as the palette index, so the colours handed to SetPixel can be
    // read back exactly.
    ZivTest::RecordingDirectDraw directDraw;
    directDraw.displayFormat = ZivTest::kFormatPal8;
    ZivTest::TestRenderDevice device(&directDraw, 16.0f, 16.0f);
    CDDRender renderer(&device, 0, false);
    CDDTexture* texture = static_cast<CDDTexture*>(renderer.createTexture(1.0f));
    // Rows of three: red 10, 20, 30 and 40, 50, 60, with alphas 255, 128, 0.
    std::vector<uint8_t> pixels(6 * 4, 0);
    const uint8_t alphas[3] = {255, 128, 0};
    for (int i = 0; i < 6; ++i) {
        pixels[4 * i] = uint8_t(10 * (i + 1));
        pixels[4 * i + 3] = alphas[i % 3];
    }
    texture->loadFromMemory(pixels.data(), 3, 2, BUFFER_RGBA);
    ZivTest::FakeSurface* surface = directDraw.find(texture->colourSurface());
    ASSERT_NE(surface, nullptr);
    const uint8_t expected[2][3] = {{10 * 255 >> 8, 20 * 128 >> 8, 0}, {40 * 255 >> 8, 50 * 128 >> 8, 0}};
    for (DWORD y = 0; y < 2; ++y)
        for (DWORD x = 0; x < 3; ++x)
            EXPECT_EQ(surface->row(y)[x], expected[y][x]) << x << "," << y;
    // The surface was unlocked before its device context was taken, and the
    // context given back.
    EXPECT_EQ(directDraw.texts({"Lock", "Unlock", "GetDC", "ReleaseDC"}),
              (std::vector<std::string>{
                  surface->name + ".Lock(null,0x1)", directDraw.nameOf(texture->alphaSurface()) + ".Lock(null,0x1)",
                  surface->name + ".Unlock()", directDraw.nameOf(texture->alphaSurface()) + ".Unlock()",
                  surface->name + ".GetDC()", surface->name + ".ReleaseDC()"}));
    EXPECT_FALSE(surface->dcOut);
    EXPECT_FALSE(surface->locked);

    // RGB pixels are not scaled.
    const uint8_t rgb[3] = {255, 1, 2};
    texture->loadFromMemory(rgb, 1, 1, BUFFER_RGB);
    EXPECT_EQ(directDraw.find(texture->colourSurface())->row(0)[0], 255);
}

TEST_F(UploadTest, FourBitSurfacesAreRefused)
{
    directDraw.display = ZivTest::kDisplayPalette4;
    renderer();
    const size_t baseline = ddrawtest::liveSurfaceCount();
    CDDTexture& texture = newTexture();
    const uint8_t rgb[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(failureOf([&] { texture.loadFromMemory(rgb, 2, 1, BUFFER_RGB); }),
              "CDDTexture::loadFromMemory  -- Unsupported pixelformat of the texture.");
    EXPECT_EQ(texture.colourSurface(), nullptr);
    EXPECT_EQ(texture.alphaSurface(), nullptr);
    EXPECT_EQ(texture.rgbMode(), DDS_RGBMODE_UNSUPPORTED);
    EXPECT_EQ(loggedErrors(),
              std::vector<std::string>{"CDDTexture::loadFromMemory  -- Unsupported pixelformat of the texture."});
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), baseline);
}

struct CreationCase {
    HRESULT result;
    const char* message;
};

const CreationCase kCreationCases[] = {
    {DDERR_INCOMPATIBLEPRIMARY,
     "CDDTexture::CreateSurface -- Failed to create Texture object.(DDERR_INCOMPATIBLEPRIMARY) "},
    {DDERR_INVALIDCAPS, "CDDTexture::CreateSurface -- Failed to create Texture object.(DDERR_INVALIDCAPS) "},
    {DDERR_INVALIDPARAMS, "CDDTexture::CreateSurface -- Failed to create Texture object.(DDERR_INVALIDPARAMS) "},
    {DDERR_INVALIDPIXELFORMAT,
     "CDDTexture::CreateSurface -- Failed to create Texture object.(DDERR_INVALIDPIXELFORMAT)"},
    {DDERR_NOALPHAHW, "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_NOALPHAHW)"},
    {DDERR_NOCOOPERATIVELEVELSET,
     "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_NOCOOPERATIVELEVELSET)"},
    {DDERR_NOFLIPHW, "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_NOFLIPHW)"},
    {DDERR_NOOVERLAYHW, "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_NOOVERLAYHW)"},
    {DDERR_OUTOFMEMORY, "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_OUTOFMEMORY)"},
    {DDERR_OUTOFVIDEOMEMORY, "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_OUTOFVIDEOMEMORY)"},
    {DDERR_PRIMARYSURFACEALREADYEXISTS,
     "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_PRIMARYSURFACEALREADYEXISTS)"},
    {DDERR_INVALIDOBJECT, "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_INVALIDOBJECT)"},
    {DDERR_GENERIC, "CDDTexture::CreateSurface -- Failed to create Texture object. (UNKNOWN)"},
    {DDERR_SURFACELOST, "CDDTexture::CreateSurface -- Failed to create Texture object. (UNKNOWN)"},
};

TEST_F(UploadTest, CreationFailuresRaiseAndLogTheirMessageTwice)
{
    renderer();
    const size_t baseline = ddrawtest::liveSurfaceCount();
    const uint8_t rgb[] = {1, 2, 3};
    for (const CreationCase& c : kCreationCases) {
        record.calls.clear();
        CDDTexture& texture = newTexture();
        texture.loadFromMemory(rgb, 1, 1, BUFFER_RGB);
        ASSERT_TRUE(ddrawtest::failNext("CreateSurface", c.result));
        EXPECT_EQ(failureOf([&] { texture.loadFromMemory(rgb, 1, 1, BUFFER_RGB); }), c.message);
        EXPECT_EQ(loggedErrors(), (std::vector<std::string>{c.message, c.message}));
        EXPECT_EQ(texture.colourSurface(), nullptr);
        EXPECT_EQ(texture.alphaSurface(), nullptr);
        // The sizes of the earlier upload stay.
        EXPECT_EQ(texture.getWidth(), 1u);
        renderer().destroyTexture(&texture);
        EXPECT_EQ(ddrawtest::liveSurfaceCount(), baseline);
    }
}

TEST_F(UploadTest, FailuresAfterTheColourSurfaceGiveEverythingBack)
{
    directDraw.display = ZivTest::kDisplay565;
    renderer();
    const size_t baseline = ddrawtest::liveSurfaceCount();
    const auto pixels = rgbaBytes({0xFFFFFFFF, 0x00000000});
    const std::string lockFailed = "CDDTexture::loadFromMemory  -- Failed to lock the surface for data filling.";
    CDDTexture& texture = newTexture();

    // The alpha surface cannot be made.
    ASSERT_TRUE(ddrawtest::failNext("CreateSurface", DDERR_OUTOFMEMORY, 2));
    EXPECT_EQ(failureOf([&] { texture.loadFromMemory(pixels.data(), 2, 1, BUFFER_RGBA); }),
              "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_OUTOFMEMORY)");
    EXPECT_EQ(texture.colourSurface(), nullptr);
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), baseline);

    // The colour surface cannot be locked.
    record.calls.clear();
    ASSERT_TRUE(ddrawtest::failNext("Lock", DDERR_SURFACEBUSY));
    EXPECT_EQ(failureOf([&] { texture.loadFromMemory(pixels.data(), 2, 1, BUFFER_RGBA); }), lockFailed);
    EXPECT_EQ(loggedErrors(), std::vector<std::string>{lockFailed});
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), baseline);

    // The alpha surface cannot be locked: the colour surface is unlocked
    // before it goes.
    ASSERT_TRUE(ddrawtest::failNext("Lock", DDERR_SURFACELOST, 2));
    const unsigned long unlocks = ddrawtest::callCount("Unlock");
    EXPECT_EQ(failureOf([&] { texture.loadFromMemory(pixels.data(), 2, 1, BUFFER_RGBA); }), lockFailed);
    EXPECT_EQ(ddrawtest::callCount("Unlock"), unlocks + 1);
    EXPECT_EQ(texture.colourSurface(), nullptr);
    EXPECT_EQ(texture.alphaSurface(), nullptr);
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), baseline);

    // And the texture still loads afterwards.
    texture.loadFromMemory(pixels.data(), 2, 1, BUFFER_RGBA);
    EXPECT_EQ(readSurface(texture.colourSurface()).pixels, (std::vector<uint32_t>{0xFFFF, 0}));
}

TEST_F(UploadTest, DeviceContextFailure)
{
    directDraw.display = ZivTest::kDisplayPalette8;
    CDDTexture& texture = newTexture();
    const uint8_t rgb[] = {1, 2, 3};
    ASSERT_TRUE(ddrawtest::failNext("GetDC", DDERR_DCALREADYCREATED));
    const std::string message =
        "CDD7Texture::loadFromMemory  -- FAILED(d_ddtexture[0]->GetDC(&hdc) for 8bit texture create.";
    EXPECT_EQ(failureOf([&] { texture.loadFromMemory(rgb, 1, 1, BUFFER_RGB); }), message);
    EXPECT_EQ(loggedErrors(), std::vector<std::string>{message});
    EXPECT_EQ(texture.colourSurface(), nullptr);
}

TEST_F(UploadTest, WithoutADirectDrawObjectCreationFailsCleanly)
{
    renderer();
    CDDTexture& texture = newTexture();
    device.directDraw = nullptr;
    bool sizeChanged = false;
    EXPECT_THROW(renderer().postD3DReset(&sizeChanged), std::runtime_error);
    ASSERT_EQ(renderer().directDraw(), nullptr);
    record.calls.clear();
    const uint8_t rgb[] = {1, 2, 3};
    const std::string message = "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_INVALIDOBJECT)";
    EXPECT_EQ(failureOf([&] { texture.loadFromMemory(rgb, 1, 1, BUFFER_RGB); }), message);
    EXPECT_EQ(loggedErrors(), (std::vector<std::string>{message, message}));
    device.directDraw = &directDraw;
    renderer().postD3DReset(&sizeChanged);
    texture.loadFromMemory(rgb, 1, 1, BUFFER_RGB);
    EXPECT_NE(texture.colourSurface(), nullptr);
}

TEST_F(UploadTest, SizesAndInverseSizes)
{
    CDDTexture& texture = newTexture();
    EXPECT_EQ(texture.getWidth(), 0u);
    EXPECT_EQ(texture.getHeight(), 0u);
    EXPECT_EQ(texture.getImageWidth(), 0u);
    EXPECT_EQ(texture.getImageHeight(), 0u);
    EXPECT_EQ(texture.getInverseWidth(), std::numeric_limits<float>::infinity());
    EXPECT_EQ(texture.getInverseHeight(), std::numeric_limits<float>::infinity());

    std::vector<uint8_t> rgb(256 * 3 * 3, 9);
    texture.loadFromMemory(rgb.data(), 256, 3, BUFFER_RGB);
    EXPECT_EQ(texture.getWidth(), 256u);
    EXPECT_EQ(texture.getImageWidth(), 256u);
    EXPECT_EQ(texture.getHeight(), 3u);
    EXPECT_EQ(texture.getImageHeight(), 3u);
    EXPECT_EQ(texture.getInverseWidth(), 0.00390625f);
    EXPECT_EQ(texture.getInverseHeight(), 1.0f / 3.0f);

    // reservedOperation changes nothing.
    texture.reservedOperation(1, 2, 3, 4, 5, 6, 7);
    EXPECT_EQ(texture.getWidth(), 256u);
    EXPECT_NE(texture.colourSurface(), nullptr);
}

TEST_F(UploadTest, NullPixelsAreRefusedBeforeAnySurfaceIsMade)
{
    CDDTexture& texture = newTexture();
    EXPECT_EQ(failureOf([&] { texture.loadFromMemory(nullptr, 4, 4, BUFFER_RGBA); }),
              "CDDTexture::loadFromMemory  -- No pixels given.");
    EXPECT_EQ(ddrawtest::callCount("CreateSurface"), 0u);
}

TEST_F(UploadTest, SurfacesAreReleasedOnceEach)
{
    directDraw.display = ZivTest::kDisplayArgb32;
    renderer();
    const size_t baseline = ddrawtest::liveSurfaceCount();
    const auto pixels = rgbaBytes({0xFFFFFFFF});
    Texture* shared = renderer().createTexture(1.0f);
    shared->loadFromMemory(pixels.data(), 1, 1, BUFFER_RGBA);
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), baseline + 1);
    ddrawtest::reset();
    renderer().destroyTexture(shared);
    EXPECT_EQ(ddrawtest::callCount("Release"), 1u);
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), baseline);

    directDraw.display = ZivTest::kDisplay565;
    Texture* separate = renderer().createTexture(1.0f);
    separate->loadFromMemory(pixels.data(), 1, 1, BUFFER_RGBA);
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), baseline + 2);
    ddrawtest::reset();
    renderer().destroyTexture(separate);
    EXPECT_EQ(ddrawtest::callCount("Release"), 2u);
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), baseline);
}

TEST_F(UploadTest, RestoreOnlyTexturesKeepTheirSurfacesThroughAReset)
{
    directDraw.display = ZivTest::kDisplay565;
    CDDTexture& texture = newTexture();
    const auto pixels = rgbaBytes({0xFFFFFFFF});
    texture.loadFromMemory(pixels.data(), 1, 1, BUFFER_RGBA);
    EXPECT_TRUE(texture.restoreOnly());
    IDirectDrawSurface* colour = texture.colourSurface();
    renderer().prepareForReset();
    EXPECT_EQ(texture.colourSurface(), colour);
    ddrawtest::reset();
    bool sizeChanged = true;
    renderer().postD3DReset(&sizeChanged);
    EXPECT_EQ(texture.colourSurface(), colour);
    // Both of the texture's surfaces are asked to restore.
    EXPECT_GE(ddrawtest::callCount("Restore"), 2u);
}

TEST_F(UploadTest, MemoryTexturesReloadTheirOwnCopy)
{
    directDraw.display = ZivTest::kDisplay565;
    CDDTexture& texture = newTexture();
    texture.setMemoryTexture(true);
    auto pixels = rgbaBytes({0xFFFFFFFF, 0xFF0000FF});
    texture.loadFromMemory(pixels.data(), 2, 1, BUFFER_RGBA);
    EXPECT_FALSE(texture.restoreOnly());
    renderer().prepareForReset();
    EXPECT_EQ(texture.colourSurface(), nullptr);
    pixels.assign(pixels.size(), 0); // the caller's buffer is gone
    bool sizeChanged = false;
    renderer().postD3DReset(&sizeChanged);
    ASSERT_NE(texture.colourSurface(), nullptr);
    EXPECT_EQ(texture.getWidth(), 2u);
    EXPECT_EQ(readSurface(texture.colourSurface()).pixels, (std::vector<uint32_t>{0xFFFF, 0xF800}));
}

TEST_F(UploadTest, MemoryTextureCopiesOfImpossibleSizesAreRefused)
{
    CDDTexture& texture = newTexture();
    texture.setMemoryTexture(true);
    const uint8_t pixel[4] = {1, 2, 3, 4};
    const std::string message =
        "CDDTexture::loadFromMemory  -- Texture size out of range for keeping a copy of its pixels.";
    EXPECT_EQ(failureOf([&] { texture.loadFromMemory(pixel, 0, 5, BUFFER_RGBA); }), message);
    // 65536 x 16384 x 4 bytes does not fit 32 bits.
    EXPECT_EQ(failureOf([&] { texture.loadFromMemory(pixel, 65536, 16384, BUFFER_RGBA); }), message);
    EXPECT_EQ(ddrawtest::callCount("CreateSurface"), 0u);
    EXPECT_EQ(texture.getWidth(), 0u);
    EXPECT_TRUE(texture.restoreOnly());
    EXPECT_EQ(loggedErrors(), (std::vector<std::string>{message, message}));
}

TEST_F(UploadTest, MemoryTexturesKeepNoCopyOfRgbPixels)
{
    directDraw.display = ZivTest::kDisplay565;
    CDDTexture& texture = newTexture();
    texture.setMemoryTexture(true);
    const uint8_t rgb[] = {255, 0, 0};
    texture.loadFromMemory(rgb, 1, 1, BUFFER_RGB);
    // Nothing to reload from: restored like any texture filled from pixels.
    EXPECT_TRUE(texture.restoreOnly());
    EXPECT_EQ(readSurface(texture.colourSurface()).pixels, std::vector<uint32_t>{0xF800});
}

} // namespace
