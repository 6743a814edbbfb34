// A small GUI frame rendered over the software DirectDraw in each blend mode
// into 565, 24-bit and 32-bit targets, compared with stored golden pixel hashes.
//
// A mismatch writes the frame as a PNG into ZIV_GOLDEN_PNG_DIR (default: the
// build's golden-frames folder) for a person to look at. ZIV_UPDATE_GOLDENS=1
// stores the current hashes instead of comparing: do it deliberately, after
// looking at the frames, when a change of the rendering is intended.
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "GoldenImage.h"
#include "ProcessorFeaturesOverride.h"
#include "SoftwareDirectDraw.h"
#include "SurfaceImage.h"
#include "TestRenderDevice.h"
#include "ddraw_test.h"
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"

#ifndef ZIV_GOLDEN_FILE
#error "ZIV_GOLDEN_FILE names the file of golden hashes"
#endif
#ifndef ZIV_GOLDEN_PNG_DEFAULT_DIR
#error "ZIV_GOLDEN_PNG_DEFAULT_DIR names the default folder for frames"
#endif

namespace ZivTest {
namespace {

using ZorvUISystem::CDDRender;
using ZorvUISystem::CDDTexture;
using ZorvUISystem::CornerColours;
using ZorvUISystem::FloatRect;

constexpr DWORD kWidth = 128;
constexpr DWORD kHeight = 96;
constexpr uint32_t kMmx = 0x00800000u;

CornerColours corners(uint32_t colour)
{
    return CornerColours{colour, colour, colour, colour};
}

// RGBA pixels drawn by a function of (x, y).
template <typename Paint> std::vector<uint8_t> paint(uint32_t width, uint32_t height, Paint colourAt)
{
    std::vector<uint8_t> pixels;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t rgba = colourAt(x, y);
            pixels.insert(pixels.end(), {uint8_t(rgba >> 24), uint8_t(rgba >> 16), uint8_t(rgba >> 8), uint8_t(rgba)});
        }
    return pixels;
}

// Five 8 x 8 glyphs (Z, I, V, O, K), one bit per pixel, rows top first.
const uint8_t kGlyphs[5][8] = {
    {0x7E, 0x06, 0x0C, 0x18, 0x30, 0x60, 0x7E, 0x00}, {0x3C, 0x18, 0x18, 0x18, 0x18, 0x18, 0x3C, 0x00},
    {0x66, 0x66, 0x66, 0x66, 0x66, 0x3C, 0x18, 0x00}, {0x3C, 0x66, 0x66, 0x66, 0x66, 0x66, 0x3C, 0x00},
    {0x66, 0x6C, 0x78, 0x70, 0x78, 0x6C, 0x66, 0x00},
};

const char* targetName(DWORD bits)
{
    return bits == 16 ? "rgb565" : bits == 24 ? "rgb24" : "xrgb32";
}

class GoldenFrameTest : public ::testing::TestWithParam<std::tuple<int32_t, DWORD>> {
protected:
    void TearDown() override
    {
        ZorvUISystem::setProcessorFeaturesOverride(nullptr);
        ddrawtest::reset();
    }

    CDDTexture* texture(CDDRender& renderer, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba,
                        bool memoryTexture = false)
    {
        auto* made = static_cast<CDDTexture*>(renderer.createTexture());
        made->setMemoryTexture(memoryTexture);
        made->loadFromMemory(rgba.data(), width, height, ZorvUISystem::BUFFER_RGBA);
        return made;
    }

    // The scene, queued as a GUI library would: desktop, two windows (one
    // partly off the display), a translucent panel, buttons in three states,
    // tinted text and a translucent tooltip.
    void queueScene(CDDRender& renderer)
    {
        CDDTexture* desktop = texture(renderer, 8, 8, paint(8, 8, [](uint32_t x, uint32_t y) {
                                          return (20 + x * 12) << 24 | (60 + y * 10) << 16 | (110 + x * y) << 8 | 255;
                                      }));
        CDDTexture* frame = texture(renderer, 32, 32, paint(32, 32, [](uint32_t x, uint32_t y) -> uint32_t {
                                        if (x < 2 || y < 2 || x >= 30 || y >= 30)
                                            return 0x3C465AFF; // border
                                        if (y < 8)
                                            return (40 + x * 4) << 24 | (70 + x * 3) << 16 | 0xC8FF; // title
                                        return 0xDCDCD2FF;                                           // client area
                                    }));
        CDDTexture* button = texture(renderer, 24, 12,
                                     paint(24, 12,
                                           [](uint32_t x, uint32_t y) -> uint32_t {
                                               const bool corner = (x == 0 || x == 23) && (y == 0 || y == 11);
                                               if (corner)
                                                   return 0;
                                               if (y == 0 || y == 11 || x == 0 || x == 23)
                                                   return 0x505050FF;
                                               // A white highlight on top, which a tint colours.
                                               const uint32_t level = y < 4 ? 255 : 250 - y * 8;
                                               return level << 24 | level << 16 | level << 8 | 0xFF;
                                           }),
                                     true);
        CDDTexture* panel =
            texture(renderer, 16, 16,
                    paint(16, 16, [](uint32_t x, uint32_t y) { return (x + y) % 2 == 0 ? 0xF0E6B4FFu : 0xE6DCAAFFu; }));
        CDDTexture* glyphs = texture(renderer, 40, 8,
                                     paint(40, 8,
                                           [](uint32_t x, uint32_t y) -> uint32_t {
                                               const bool on = (kGlyphs[x / 8][y] >> (7 - x % 8)) & 1;
                                               return on ? 0xFFFFFFFF : 0;
                                           }),
                                     true);

        auto quad = [&renderer](CDDTexture* t, FloatRect dest, FloatRect texels, float z, CornerColours colours) {
            renderer.queueQuad(dest, z, t, texels, colours, 0);
        };
        quad(desktop, {0, 0, 128, 96}, {0, 0, 8, 8}, 1.0f, corners(0xFFFFFFFF));
        quad(frame, {4, 4, 100, 84}, {0, 0, 32, 32}, 0.9f, corners(0xFFFFFFFF));
        quad(frame, {96, 60, 160, 124}, {0, 0, 32, 32}, 0.95f, corners(0xFFFFFFFF)); // partly off the display
        quad(panel, {12, 20, 92, 52}, {0, 0, 16, 16}, 0.7f, corners(0x90FFFFFF));
        quad(button, {10, 62, 34, 74}, {0, 0, 24, 12}, 0.5f, corners(0xFFFFFFFF)); // normal
        quad(button, {38, 62, 62, 74}, {0, 0, 24, 12}, 0.5f, corners(0xFFC0D0FF)); // hover
        quad(button, {66, 62, 90, 74}, {0, 0, 24, 12}, 0.5f,
             CornerColours{0xFF909090, 0xFF909090, 0xFF707070, 0xFF707070}); // pressed
        // Title text and panel text from the glyph atlas.
        const char* const word = "ZIVOK";
        for (int i = 0; i < 5; ++i) {
            const float glyph = float(word[i] == 'Z'   ? 0
                                      : word[i] == 'I' ? 1
                                      : word[i] == 'V' ? 2
                                      : word[i] == 'O' ? 3
                                                       : 4);
            quad(glyphs, {8.0f + 8 * i, 5, 16.0f + 8 * i, 13}, {glyph * 8, 0, glyph * 8 + 8, 8}, 0.3f,
                 corners(0xFFFFFF80));
            quad(glyphs, {20.0f + 16 * i, 28, 36.0f + 16 * i, 44}, {glyph * 8, 0, glyph * 8 + 8, 8}, 0.3f,
                 corners(0xFF203080));
        }
        quad(panel, {70, 40, 120, 56}, {0, 0, 16, 16}, 0.1f, corners(0xC0FFFFE0)); // tooltip
    }

    SurfaceImage renderFrame(int32_t blendMode, DWORD bits)
    {
        SoftwareDirectDraw dd;
        EXPECT_NE(dd.get(), nullptr);
        EXPECT_EQ(dd.get()->SetDisplayMode(1024, 768, bits), DD_OK);
        ZorvUISystem::setProcessorFeaturesOverride(&kMmx);
        TestRenderDevice device(dd.get(), float(kWidth), float(kHeight));
        device.blendMode = blendMode;
        CDDRender renderer(&device, 0, false);

        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof(desc));
        desc.dwSize = sizeof(DDSURFACEDESC);
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = kWidth;
        desc.dwHeight = kHeight;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        IDirectDrawSurface* target = nullptr;
        EXPECT_EQ(dd.get()->CreateSurface(&desc, &target, nullptr), DD_OK);
        renderer.setTargetSurface(target);
        queueScene(renderer);
        renderer.renderQueue();
        // Where the processor is known (the 32-bit build under an emulated
        // Pentium II), the frame says which kernels drew it.
        if (const char* expected = std::getenv("ZIV_EXPECT_SIMD")) {
            EXPECT_STREQ(renderer.getFrameStatistics().simdLevel, expected);
        }
        SurfaceImage image = readImage(target);
        EXPECT_TRUE(ddrawtest::guardsIntact());
        target->Release();
        return image;
    }
};

TEST_P(GoldenFrameTest, MatchesTheStoredPixels)
{
    const auto& [blendMode, bits] = GetParam();
    const std::string name = "mode" + std::to_string(blendMode) + "_" + targetName(bits);
    const SurfaceImage frame = renderFrame(blendMode, bits);
    ASSERT_EQ(frame.width, kWidth);
    const std::string hash = pixelHash(frame);

    // The same scene twice gives the same pixels.
    EXPECT_EQ(pixelHash(renderFrame(blendMode, bits)), hash);

    const char* update = std::getenv("ZIV_UPDATE_GOLDENS");
    const char* pngDir = std::getenv("ZIV_GOLDEN_PNG_DIR");
    const std::filesystem::path folder = pngDir != nullptr && *pngDir != 0 ? pngDir : ZIV_GOLDEN_PNG_DEFAULT_DIR;
    if (update != nullptr && std::string(update) == "1") {
        std::map<std::string, std::string> hashes = readGoldenHashes(ZIV_GOLDEN_FILE);
        hashes[name] = hash;
        ASSERT_TRUE(writeGoldenHashes(ZIV_GOLDEN_FILE, hashes));
        std::filesystem::create_directories(folder);
        writePng((folder / (name + ".png")).string(), frame);
        GTEST_SKIP() << "stored " << hash << " for " << name << "; frame in " << (folder / (name + ".png"));
    }
    const std::map<std::string, std::string> golden = readGoldenHashes(ZIV_GOLDEN_FILE);
    const auto stored = golden.find(name);
    const bool matches = stored != golden.end() && stored->second == hash;
    if (!matches) {
        std::filesystem::create_directories(folder);
        const std::string path = (folder / (name + ".png")).string();
        const bool written = writePng(path, frame);
        ADD_FAILURE() << name << ": pixel hash " << hash << " differs from the golden "
                      << (stored != golden.end() ? stored->second : std::string("(none)")) << "; frame "
                      << (written ? "written to " + path : "could not be written");
    }
}

INSTANTIATE_TEST_SUITE_P(BlendModesAndTargets, GoldenFrameTest,
                         ::testing::Combine(::testing::Values(0, 1, 2),
                                            ::testing::Values(DWORD{16}, DWORD{24}, DWORD{32})),
                         [](const ::testing::TestParamInfo<std::tuple<int32_t, DWORD>>& info) {
                             return "mode" + std::to_string(std::get<0>(info.param)) + "_" +
                                    targetName(std::get<1>(info.param));
                         });

TEST(GoldenImage, HashSeesEveryPixelButNotThePadding)
{
    SurfaceImage image;
    image.width = 3;
    image.height = 2;
    image.pitch = 8;
    image.bytesPerPixel = 2;
    image.format.dwRGBBitCount = 16;
    image.bytes.assign(16, 0);
    const std::string blank = pixelHash(image);
    image.bytes[6] = 0xAA; // padding of row 0
    EXPECT_EQ(pixelHash(image), blank);
    image.set(2, 1, 1);
    EXPECT_NE(pixelHash(image), blank);
}

TEST(GoldenImage, PngOfAFrameIsWritten)
{
#if defined(ZIV_GOLDEN_WITHOUT_PNG)
    GTEST_SKIP() << "built without libpng";
#endif
    SurfaceImage image;
    image.width = 4;
    image.height = 3;
    image.pitch = 16;
    image.bytesPerPixel = 4;
    image.format.dwRGBBitCount = 32;
    image.format.dwRBitMask = 0xFF0000;
    image.format.dwGBitMask = 0xFF00;
    image.format.dwBBitMask = 0xFF;
    image.bytes.assign(48, 0x7F);
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "ziv-golden-image-test.png";
    ASSERT_TRUE(writePng(path.string(), image));
    EXPECT_GT(std::filesystem::file_size(path), 8u);
    std::filesystem::remove(path);
}

} // namespace
} // namespace ZivTest
