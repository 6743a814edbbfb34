// The creation description a texture hands to DirectDraw, built from the
// host device's answers, and the order of the calls that build it.
#include "TextureFixture.h"

namespace {

using namespace ZorvUISystem;
using ZivTest::failureOf;

class SurfaceCreationTest : public ZivTest::TextureTest {
protected:
    // The description of the colour surface made for one RGB or RGBA pixel.
    DDSURFACEDESC createdFor(BufferFormat format)
    {
        CDDTexture& texture = newTexture();
        directDraw.created.clear();
        const uint8_t pixel[4] = {1, 2, 3, 4};
        texture.loadFromMemory(pixel, 1, 1, format);
        EXPECT_FALSE(directDraw.created.empty());
        return directDraw.created.empty() ? DDSURFACEDESC{} : directDraw.created.front();
    }
};

TEST_F(SurfaceCreationTest, DescriptionOfAKeyedSurface)
{
    renderer();
    const DDSURFACEDESC desc = createdFor(BUFFER_RGBA);
    EXPECT_EQ(desc.dwSize, sizeof(DDSURFACEDESC));
    EXPECT_EQ(desc.dwFlags, DWORD(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_CKSRCBLT));
    EXPECT_EQ(desc.dwWidth, 1u);
    EXPECT_EQ(desc.dwHeight, 1u);
    EXPECT_EQ(desc.ddckCKSrcBlt.dwColorSpaceLowValue, 0u);
    EXPECT_EQ(desc.ddckCKSrcBlt.dwColorSpaceHighValue, 0u);
    EXPECT_EQ(desc.ddsCaps.dwCaps, DWORD(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY));
    EXPECT_EQ(desc.lpSurface, nullptr);
    EXPECT_EQ(desc.lPitch, 0);

    const DDSURFACEDESC plain = createdFor(BUFFER_RGB);
    EXPECT_EQ(plain.dwFlags, DWORD(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH));
}

TEST_F(SurfaceCreationTest, MemoryPlacementFollowsTheHost)
{
    renderer();
    const struct {
        int32_t answer;
        DWORD caps;
    } cases[] = {
        {0, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY},
        {1, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY},
        {2, DDSCAPS_OFFSCREENPLAIN},
        {3, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY},
        {-1, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY},
    };
    for (const auto& c : cases) {
        device.textureMemory = c.answer;
        EXPECT_EQ(createdFor(BUFFER_RGB).ddsCaps.dwCaps, c.caps) << c.answer;
    }
}

TEST_F(SurfaceCreationTest, PixelFormatFollowsTheHost)
{
    renderer();
    device.texturePixelFormat = 565;
    DDSURFACEDESC desc = createdFor(BUFFER_RGB);
    EXPECT_EQ(desc.dwFlags, DWORD(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT));
    EXPECT_EQ(desc.ddpfPixelFormat.dwSize, sizeof(DDPIXELFORMAT));
    EXPECT_EQ(desc.ddpfPixelFormat.dwFlags, DWORD(DDPF_RGB));
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0xF800u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwGBitMask, 0x07E0u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwBBitMask, 0x001Fu);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBAlphaBitMask, 0u);

    device.texturePixelFormat = 555;
    desc = createdFor(BUFFER_RGBA);
    EXPECT_EQ(desc.dwFlags, DWORD(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_CKSRCBLT));
    EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0x7C00u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwGBitMask, 0x03E0u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwBBitMask, 0x001Fu);

    // Any other answer (444 among them) takes the display's format.
    for (int32_t answer : {444, 0, 16, -565}) {
        device.texturePixelFormat = answer;
        desc = createdFor(BUFFER_RGB);
        EXPECT_EQ(desc.dwFlags & DDSD_PIXELFORMAT, 0u) << answer;
        EXPECT_EQ(desc.ddpfPixelFormat.dwSize, 0u) << answer;
    }
}

TEST_F(SurfaceCreationTest, HostAnswersComeBeforeEachCreation)
{
    directDraw.display = ZivTest::kDisplay565;
    CDDTexture& texture = newTexture();
    device.calls.clear();
    const uint8_t pixel[4] = {1, 2, 3, 4};
    texture.loadFromMemory(pixel, 1, 1, BUFFER_RGBA);
    EXPECT_EQ(device.calls, (std::vector<std::string>{"getTextureMemory", "getTexturePixelFormat", "CreateSurface",
                                                      "getTextureMemory", "getTexturePixelFormat", "CreateSurface"}));
}

TEST_F(SurfaceCreationTest, TheHostsFormatIsWhatTheSurfaceGets)
{
    // A 565 answer on a 32-bit display: the texture is 565 all the same.
    device.texturePixelFormat = 565;
    CDDTexture& texture = newTexture();
    const uint8_t white[3] = {255, 255, 255};
    texture.loadFromMemory(white, 1, 1, BUFFER_RGB);
    EXPECT_EQ(texture.rgbMode(), DDS_RGBMODE_565);
    EXPECT_EQ(ZivTest::readSurface(texture.colourSurface()).pixels, std::vector<uint32_t>{0xFFFF});
}

TEST_F(SurfaceCreationTest, CreateSurfacesMakesTwoKeyedSurfaces)
{
    CDDTexture* texture = static_cast<CDDTexture*>(renderer().createTexture());
    directDraw.created.clear();
    texture->createSurfaces(40, 30);
    ASSERT_EQ(directDraw.created.size(), 2u);
    for (const DDSURFACEDESC& desc : directDraw.created) {
        EXPECT_EQ(desc.dwWidth, 40u);
        EXPECT_EQ(desc.dwHeight, 30u);
        EXPECT_NE(desc.dwFlags & DDSD_CKSRCBLT, 0u);
    }
    ASSERT_NE(texture->colourSurface(), nullptr);
    ASSERT_NE(texture->alphaSurface(), nullptr);
    EXPECT_NE(texture->colourSurface(), texture->alphaSurface());
    // Sizes and mode are left to whoever fills it.
    EXPECT_EQ(texture->getWidth(), 0u);
    EXPECT_EQ(texture->rgbMode(), DDS_RGBMODE_UNSUPPORTED);
    EXPECT_TRUE(texture->restoreOnly());

    // A failure raises the creation message, logged once (no upload wraps it).
    CDDTexture* other = static_cast<CDDTexture*>(renderer().createTexture());
    ASSERT_TRUE(ddrawtest::failNext("CreateSurface", DDERR_OUTOFVIDEOMEMORY));
    const std::string message =
        "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_OUTOFVIDEOMEMORY)";
    EXPECT_EQ(failureOf([&] { other->createSurfaces(8, 8); }), message);
    EXPECT_EQ(loggedErrors(), std::vector<std::string>{message});
}

} // namespace
