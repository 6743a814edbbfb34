// Faults found by the fuzz build and the fault matrix, each kept from coming
// back.
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ExpectedTexts.h"
#include "HostHarness.h"
#include "SurfaceAccess.h"
#include "corona.h"
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"

namespace {

using ZivReliability::corners;
using ZivReliability::pngFile;
using ZorvUISystem::CDDRender;
using ZorvUISystem::CDDTexture;
using ZorvUISystem::Texture;

class Regression : public ::testing::Test {
protected:
    void SetUp() override
    {
        ddrawtest::reset();
        ASSERT_NE(directDraw.get(), nullptr);
        device.blendMode = 2;
        renderer = std::make_unique<CDDRender>(&device, 0, false);
        DDSURFACEDESC desc = ZivTest::offscreenSurfaceDesc(64, 48);
        ASSERT_EQ(directDraw.get()->CreateSurface(&desc, &target, nullptr), DD_OK);
        renderer->setTargetSurface(target);
    }
    void TearDown() override
    {
        ddrawtest::reset();
        renderer.reset();
        if (target != nullptr)
            target->Release();
    }

    // A reset whose reload of the first texture fails (the scratch texture
    // takes the first two surface creations).
    void resetWithFailedReload()
    {
        renderer->prepareForReset();
        ASSERT_TRUE(ddrawtest::failNext("CreateSurface", DDERR_OUTOFVIDEOMEMORY, 3));
        bool changed = false;
        try {
            renderer->postD3DReset(&changed);
            ADD_FAILURE() << "the reset did not report the failed reload";
        } catch (const std::exception& e) {
            EXPECT_EQ(std::string(e.what()), ZivExpect::creationMessage(DDERR_OUTOFVIDEOMEMORY));
        }
        ddrawtest::reset();
    }

    void drawAtOnce(Texture* texture)
    {
        renderer->setQueueing(false);
        renderer->queueQuad({0, 0, float(texture->getWidth()), float(texture->getHeight())}, 0.0f, texture,
                            {0, 0, float(texture->getWidth()), float(texture->getHeight())}, corners(0xFFFFFFFF), 0);
    }

    ZivTest::SoftwareDirectDraw directDraw;
    ZivTest::TestRenderDevice device{directDraw.get(), 64.0f, 48.0f};
    std::unique_ptr<CDDRender> renderer;
    IDirectDrawSurface* target = nullptr;
};

// A failed load makes a texture restore-only, and a failed reload at a reset
// used to as well: the texture then stayed without surfaces for good,
// although it kept its source. Later, a failed reload raised out of every
// frame. Now the texture skips its quads until a later frame or the next
// reset reloads it.
TEST_F(Regression, TextureWhoseReloadFailedIsReloadedByTheNextReset)
{
    ZivTest::TempDirectory files;
    ZivTest::writeFile(files.path() + "/icon.png", pngFile(5, 5, false, 52));
    const std::vector<uint8_t> file = pngFile(8, 6, true, 51);
    std::vector<CDDTexture*> textures = {
        static_cast<CDDTexture*>(renderer->createTexture(file.data(), uint32_t(file.size()))),
        static_cast<CDDTexture*>(renderer->createTexture("icon.png", files.path().c_str()))};
    resetWithFailedReload();
    // The first fails; the reset stops there, and the second reloads when
    // drawn.
    EXPECT_FALSE(textures[0]->restoreOnly()) << "a texture with a kept source stays reloadable";
    for (CDDTexture* texture : textures)
        EXPECT_NO_THROW(drawAtOnce(texture));
    EXPECT_EQ(textures[0]->colourSurface(), nullptr) << "not tried again before the next frame begins";
    EXPECT_NE(textures[1]->colourSurface(), nullptr);
    renderer->prepareForReset();
    bool changed = false;
    renderer->postD3DReset(&changed);
    for (CDDTexture* texture : textures)
        ASSERT_NE(texture->colourSurface(), nullptr);
    EXPECT_EQ(textures[0]->getWidth(), 8u);
    EXPECT_TRUE(ddrawtest::guardsIntact());
}

TEST_F(Regression, ReloadThatFailsWhileDrawingIsNotRaised)
{
    const std::vector<uint8_t> file = pngFile(4, 4, true, 53);
    auto* texture = static_cast<CDDTexture*>(renderer->createTexture(file.data(), uint32_t(file.size())));
    renderer->prepareForReset();
    bool changed = false;
    renderer->postD3DReset(&changed);
    texture->releaseForReset(); // as if the surfaces had gone meanwhile
    ASSERT_TRUE(ddrawtest::failNext("Lock", DDERR_SURFACEBUSY));
    EXPECT_NO_THROW(drawAtOnce(texture));
    ddrawtest::reset();
    EXPECT_EQ(texture->colourSurface(), nullptr);
}

// Blend mode 0 keeps records to compose a lost buffer again. Past their cap
// a lost buffer was composed from the oldest quads (the red under the green
// came back); now it is cleared, and clearQueue gives the records' memory
// back. A reset to another size starts from a cleared buffer too.
TEST_F(Regression, BufferPastTheRecordCapOrResizedIsClearedNotComposedFromOldQuads)
{
    device.blendMode = 0;
    renderer = std::make_unique<CDDRender>(&device, 0, false);
    renderer->setTargetSurface(target);
    Texture* texture[2];
    for (int i = 0; i < 2; ++i) { // red, then green, kept to reload from
        const uint8_t pixel[4] = {uint8_t(255 - 255 * i), uint8_t(255 * i), 0, 255};
        texture[i] = renderer->createTexture();
        texture[i]->setMemoryTexture(true);
        texture[i]->loadFromMemory(pixel, 1, 1, ZorvUISystem::BUFFER_RGBA);
    }
    const auto greenAfterLoss = [this] { // of pixel 5, 5 on a black target
        ddrawtest::markLost(renderer->bufferTexture()->colourSurface());
        DDBLTFX fill{};
        fill.dwSize = sizeof(fill);
        target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
        renderer->renderQueue();
        return ZivReliability::surfaceRows(target).at((5 * 64 + 5) * 4 + 1);
    };
    for (size_t i = 0; i <= (size_t{1} << 18); ++i)
        renderer->queueQuad({5, 5, 6, 6}, i == 0 ? 0.0f : 1.0f, texture[i == 0], {0, 0, 1, 1}, corners(0xFFFFFFFF), 0);
    renderer->renderQueue();
    EXPECT_EQ(greenAfterLoss(), 0) << "past the cap: cleared";
    renderer->clearQueue();
    EXPECT_EQ(renderer->bufferedQuadCapacity(), 0u) << "the records' memory is given back";
    renderer->queueQuad({5, 5, 6, 6}, 0.0f, texture[1], {0, 0, 1, 1}, corners(0xFFFFFFFF), 0);
    renderer->renderQueue();
    EXPECT_EQ(greenAfterLoss(), 0xFF) << "below the cap: composed again";
    renderer->prepareForReset();
    device.width = 80.0f;
    renderer->postD3DReset(nullptr);
    EXPECT_EQ(greenAfterLoss(), 0) << "another size: the host draws its GUI anew";
}

// A texture filled from pixels keeps no source: a failed load leaves it
// restore-only, as before.
TEST_F(Regression, PixelTextureWithoutSourceStaysRestoreOnly)
{
    Texture* texture = renderer->createTexture();
    const std::vector<uint8_t> pixels = ZivReliability::testPixels(3, 3, false, 54);
    ASSERT_TRUE(ddrawtest::failNext("CreateSurface", DDERR_OUTOFMEMORY));
    EXPECT_THROW(texture->loadFromMemory(pixels.data(), 3, 3, ZorvUISystem::BUFFER_RGB), std::runtime_error);
    EXPECT_TRUE(static_cast<CDDTexture*>(texture)->restoreOnly());
}

// A memory texture keeps a copy of its pixels for reloads. When the host
// turned the flag off after the upload, a reset used to give its surfaces
// back without reloading them: the texture stayed blank for good.
TEST_F(Regression, MemoryTextureTurnedOffKeepsItsPixelsThroughAReset)
{
    auto* texture = static_cast<CDDTexture*>(renderer->createTexture());
    texture->setMemoryTexture(true);
    const std::vector<uint8_t> pixels = ZivReliability::testPixels(5, 4, true, 55);
    texture->loadFromMemory(pixels.data(), 5, 4, ZorvUISystem::BUFFER_RGBA);
    texture->setMemoryTexture(false);
    const std::vector<uint8_t> before = ZivReliability::surfaceRows(texture->colourSurface());

    renderer->prepareForReset();
    bool changed = true;
    renderer->postD3DReset(&changed);
    ASSERT_NE(texture->colourSurface(), nullptr) << "reloaded from the kept pixels";
    EXPECT_EQ(ZivReliability::surfaceRows(texture->colourSurface()), before);

    // No longer a memory texture: from now on its surfaces are only restored.
    IDirectDrawSurface* surface = texture->colourSurface();
    renderer->prepareForReset();
    renderer->postD3DReset(&changed);
    EXPECT_EQ(texture->colourSurface(), surface);
}

// The display edge of a target wider than the 32-bit coordinate range used
// to wrap to a negative number where `long` is 64 bits wide.
TEST_F(Regression, DisplayAreaOfAHugeTargetSaturates)
{
    renderer->prepareForReset();
    device.width = 3.0e9f;
    device.height = 6.0e9f;
    bool changed = false;
    EXPECT_THROW(renderer->postD3DReset(&changed), std::runtime_error) << "no surface is that large";
    EXPECT_EQ(renderer->displayArea().left, 0);
    EXPECT_EQ(renderer->displayArea().right, INT32_MAX);
    EXPECT_EQ(renderer->displayArea().bottom, INT32_MAX);
    EXPECT_EQ(renderer->getDisplayWidth(), 3.0e9f);

    device.width = 64.0f;
    device.height = 48.0f;
    renderer->postD3DReset(&changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(renderer->displayArea().right, 64);
    EXPECT_EQ(renderer->displayArea().bottom, 48);
}

// A TGA file cut short decoded to whatever the heap held where its rows were
// missing: the same bytes gave textures of different pixels. Missing rows
// come out black.
TEST(ImageLibraryRegression, TruncatedTgaDecodesItsMissingRowsAsZero)
{
    std::vector<uint8_t> file(18, 0);
    file[2] = 2;     // uncompressed true colour
    file[12] = 20;   // width
    file[14] = 10;   // height
    file[16] = 24;   // bits per pixel
    file[17] = 0x20; // top row first
    for (int i = 0; i < 30; ++i)
        file.push_back(static_cast<uint8_t>(0x40 + i));

    for (int attempt = 0; attempt < 4; ++attempt) {
        // Leave freed heap memory of the image's size full of a pattern.
        std::vector<uint8_t>* dirty = new std::vector<uint8_t>(20 * 10 * 3, 0xAB);
        delete dirty;
        corona::File* memory = corona::CorCreateMemoryFile(file.data(), static_cast<int>(file.size()));
        ASSERT_NE(memory, nullptr);
        corona::Image* image = corona::CorOpenImageFromFile(memory, corona::FF_AUTODETECT);
        memory->destroy();
        if (image == nullptr)
            return; // refusing the file is as good
        ASSERT_EQ(image->getWidth(), 20);
        ASSERT_EQ(image->getHeight(), 10);
        const auto* pixels = static_cast<const uint8_t*>(image->getPixels());
        size_t nonZero = 0;
        for (size_t i = 60; i < 20 * 10 * 3; ++i)
            nonZero += pixels[i] != 0 ? 1 : 0;
        image->destroy();
        EXPECT_EQ(nonZero, 0u) << "the rows the file does not hold";
    }
}

// Leaves a pattern in the stack memory that the next calls will use.
__attribute__((noinline)) void dirtyStack()
{
    volatile uint8_t junk[16384];
    for (size_t i = 0; i < sizeof(junk); ++i)
        junk[i] = 0x5A;
}

// The pixels corona decodes from a file, or nothing.
std::vector<uint8_t> decodedPixels(const std::vector<uint8_t>& file)
{
    corona::File* memory = corona::CorCreateMemoryFile(file.data(), static_cast<int>(file.size()));
    corona::Image* image = corona::CorOpenImageFromFile(memory, corona::FF_AUTODETECT);
    memory->destroy();
    if (image == nullptr)
        return {};
    const size_t bytes =
        size_t(image->getWidth()) * size_t(image->getHeight()) * (image->getFormat() == corona::PF_R8G8B8A8 ? 4 : 3);
    const auto* pixels = static_cast<const uint8_t*>(image->getPixels());
    std::vector<uint8_t> out(pixels, pixels + bytes);
    image->destroy();
    return out;
}

// An 8-bit BMP of 4 x 2 pixels whose palette holds `entries` colours (the
// header's pixel offset tells), with the given pixel indices.
std::vector<uint8_t> paletteBmp(int entries, const std::vector<uint8_t>& indices)
{
    const uint32_t offset = static_cast<uint32_t>(14 + 40 + entries * 4);
    std::vector<uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};
    for (uint32_t value : {offset, 40u, 4u, 2u})
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<uint8_t>(value >> (8 * i)));
    file.insert(file.end(), {1, 0, 8, 0}); // one plane, 8 bits
    file.resize(14 + 40, 0);
    for (int i = 0; i < entries; ++i)
        file.insert(file.end(), {0x00, 0x00, 0xFF, 0x00}); // red, as blue, green, red, unused
    file.insert(file.end(), indices.begin(), indices.end());
    return file;
}

// A palette BMP whose pixels point past its palette, or whose header leaves
// no room for a palette at all, decoded to colours from whatever the stack
// held, later to black. Such a file is damaged and refused.
TEST(ImageLibraryRegression, PaletteIndicesBeyondAShortPaletteAreRefused)
{
    dirtyStack();
    EXPECT_EQ(decodedPixels(paletteBmp(1, {0, 1, 7, 200, 0, 0, 255, 0})), std::vector<uint8_t>{});
    // With a colour count of 1 in the header (0 claims all 256) and only
    // index 0 used, the file is whole.
    std::vector<uint8_t> whole = paletteBmp(1, {0, 0, 0, 0, 0, 0, 0, 0});
    whole[46] = 1;
    EXPECT_EQ(decodedPixels(whole).size(), 4u * 2u * 3u);

    // The pixel offset lies inside the header: a palette of -1 entries.
    std::vector<uint8_t> noRoom = paletteBmp(0, {3, 3, 3, 3, 3, 3, 3, 3});
    noRoom[10] = 53;
    dirtyStack();
    EXPECT_EQ(decodedPixels(noRoom), std::vector<uint8_t>{});
}

} // namespace
