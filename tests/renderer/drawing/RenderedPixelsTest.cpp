// Rendered pixels over the software DirectDraw: every blend mode with every
// pixel mode the display can have, on each path of the quad blit, read back
// from the target and compared with the picture worked out independently
// (DirectDraw's sampling and keys, the tint's fill colours, the kernels run
// on copies of the surfaces).
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "ProcessorFeaturesOverride.h"
#include "SoftwareDirectDraw.h"
#include "SurfaceAccess.h"
#include "SurfaceImage.h"
#include "TestRenderDevice.h"
#include "ddraw_test.h"
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"

namespace ZivTest {
namespace {

using ZorvUISystem::CDDRender;
using ZorvUISystem::CDDTexture;
using ZorvUISystem::CornerColours;
using ZorvUISystem::FloatRect;

constexpr DWORD kWidth = 64;
constexpr DWORD kHeight = 48;
constexpr uint32_t kMmx = 0x00800000u;

struct Layout {
    const char* name;
    DWORD displayBits;
    int32_t texturePixelFormat; // the host's answer
    bool target555;             // a 555 target on a 565 display (the scratch
                                // and buffer take the host's 555 too)
    uint32_t mode;              // the textures' pixel mode
};

const Layout kLayouts[] = {
    {"rgb565", 16, 565, false, 1}, {"rgb555", 16, 555, true, 0}, {"rgb24", 24, 0, false, 3},
    {"xrgb32", 32, 0, false, 4},   {"indexed8", 8, 0, false, 6},
};

CornerColours corners(uint32_t colour)
{
    return CornerColours{colour, colour, colour, colour};
}

// A texture image with transparent, white and coloured texels.
std::vector<uint8_t> texels(uint32_t size, bool rgba)
{
    std::vector<uint8_t> pixels;
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x) {
            uint8_t r = uint8_t(x * 16 + 8);
            uint8_t g = uint8_t(y * 16 + 8);
            uint8_t b = 160;
            uint8_t a = 255;
            if ((x * y) % 5 == 1)
                r = g = b = 255;
            if ((x + y) % 7 == 0)
                a = 0;
            if (!rgba && a == 0)
                r = g = b = 0;
            pixels.insert(pixels.end(), {r, g, b});
            if (rgba)
                pixels.push_back(a);
        }
    return pixels;
}

class RenderedPixelsTest : public ::testing::TestWithParam<std::tuple<int32_t, Layout>> {
protected:
    void SetUp() override
    {
        const auto& [blendMode, layout] = GetParam();
        d_layout = layout;
        d_blendMode = blendMode;
        ASSERT_NE(dd.get(), nullptr);
        ASSERT_EQ(dd.get()->SetDisplayMode(1024, 768, layout.displayBits), DD_OK);
        ZorvUISystem::setProcessorFeaturesOverride(&kMmx);
        device.blendMode = blendMode;
        device.texturePixelFormat = layout.texturePixelFormat;
        renderer = std::make_unique<CDDRender>(&device, 0, false);
        ASSERT_EQ(renderer->blendMode(), blendMode);

        DDSURFACEDESC desc = ZivTest::offscreenSurfaceDesc(kWidth, kHeight);
        if (layout.target555)
            ZivTest::requestRgb555(desc);
        ASSERT_EQ(dd.get()->CreateSurface(&desc, &target, nullptr), DD_OK);
        renderer->setTargetSurface(target);
        paintBackground();
    }

    void TearDown() override
    {
        renderer.reset();
        if (target != nullptr)
            target->Release();
        ZorvUISystem::setProcessorFeaturesOverride(nullptr);
        ddrawtest::reset();
    }

    // A background with no pixel of value 0.
    void paintBackground()
    {
        SurfaceImage image = readImage(target);
        for (DWORD y = 0; y < image.height; ++y)
            for (DWORD x = 0; x < image.width; ++x)
                image.set(LONG(x), LONG(y), ((x * 2654435761u) ^ (y * 40503u) ^ 0x5A5A5A5Au) | 0x01010101u);
        ASSERT_TRUE(writeImage(target, image));
    }

    CDDTexture* texture(bool rgba, bool memoryTexture = false, uint32_t size = 16)
    {
        auto* made = static_cast<CDDTexture*>(renderer->createTexture());
        made->setMemoryTexture(memoryTexture);
        const std::vector<uint8_t> pixels = texels(size, rgba);
        made->loadFromMemory(pixels.data(), size, size, rgba ? ZorvUISystem::BUFFER_RGBA : ZorvUISystem::BUFFER_RGB);
        EXPECT_EQ(made->rgbMode(), d_layout.mode);
        return made;
    }

    void draw(CDDTexture* texture, FloatRect dest, FloatRect source, uint32_t colour)
    {
        renderer->setQueueing(false);
        renderer->queueQuad(dest, 0, texture, source, corners(colour), 0);
    }

    void expectPicture(const SurfaceImage& expected, const char* what)
    {
        const SurfaceImage actual = readImage(target);
        ASSERT_EQ(actual.bytes.empty(), false);
        EXPECT_EQ(actual.firstDifference(expected), "") << what;
        EXPECT_TRUE(ddrawtest::guardsIntact());
    }

    // The tint's fill colour and key of white for a colour.
    std::optional<std::pair<uint32_t, uint32_t>> tint(uint32_t r, uint32_t g, uint32_t b) const
    {
        switch (d_layout.mode) {
        case 0:
            return std::pair{(r >> 3) << 10 | (g >> 3) << 5 | b >> 3, 0x7FFFu};
        case 1:
            return std::pair{(r >> 3) << 11 | (g >> 2) << 5 | b >> 3, 0xFFFFu};
        case 3:
        case 4: // RGBA textures on XRGB keep their alpha apart
            return std::pair{r << 16 | g << 8 | b, 0xFFFFFFu};
        default:
            return std::nullopt;
        }
    }

    SoftwareDirectDraw dd;
    TestRenderDevice device{dd.get(), float(kWidth), float(kHeight)};
    std::unique_ptr<CDDRender> renderer;
    IDirectDrawSurface* target = nullptr;
    Layout d_layout{};
    int32_t d_blendMode = 0;
};

TEST_P(RenderedPixelsTest, KeyedCopyLeavesTransparentTexelsOut)
{
    CDDTexture* a = texture(true);
    SurfaceImage expected = readImage(target);
    referenceBlit(expected, readImage(a->colourSurface()), RECT{5, 7, 21, 23}, RECT{0, 0, 16, 16}, 0u);
    draw(a, FloatRect{5.5f, 7.9f, 21.5f, 23.9f}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF);
    expectPicture(expected, "keyed copy");
}

TEST_P(RenderedPixelsTest, PlainStretchSamplesAsDirectDrawDoes)
{
    CDDTexture* a = texture(false);
    SurfaceImage expected = readImage(target);
    referenceBlit(expected, readImage(a->colourSurface()), RECT{3, 4, 35, 20}, RECT{2, 0, 14, 16});
    draw(a, FloatRect{3, 4, 35, 20}, FloatRect{2, 0, 14, 16}, 0xFFFFFFFF);
    expectPicture(expected, "plain stretch");
}

TEST_P(RenderedPixelsTest, KeyedStretchGoesThroughTheScratch)
{
    CDDTexture* a = texture(true);
    SurfaceImage expected = readImage(target);
    referenceBlit(expected, readImage(a->colourSurface()), RECT{10, 10, 42, 34}, RECT{0, 0, 16, 16}, 0u);
    draw(a, FloatRect{10, 10, 42, 34}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF);
    expectPicture(expected, "keyed stretch");
}

TEST_P(RenderedPixelsTest, WindowPartlyOffTheDisplayShowsItsVisiblePart)
{
    CDDTexture* a = texture(true);
    SurfaceImage expected = readImage(target);
    referenceBlit(expected, readImage(a->colourSurface()), RECT{56, 40, 64, 48}, RECT{0, 0, 8, 8}, 0u);
    referenceBlit(expected, readImage(a->colourSurface()), RECT{0, 0, 10, 12}, RECT{6, 4, 16, 16}, 0u);
    draw(a, FloatRect{56, 40, 72, 56}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF);
    draw(a, FloatRect{-6, -4, 10, 12}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF);
    expectPicture(expected, "clipped at the display's edges");
}

TEST_P(RenderedPixelsTest, ColouredAndTranslucentQuads)
{
    CDDTexture* a = texture(true);
    const SurfaceImage source = readImage(a->colourSurface());
    struct Case {
        uint32_t colour;
        std::optional<BlendKernel> kernel; // on the blend path
        int32_t alpha;
        uint32_t r, g, b;
    };
    const bool mode2 = d_blendMode == 2;
    for (const Case& c : {Case{0x80FFFFFF, mode2 ? BlendKernel::AlphaMmx : BlendKernel::HalfMmx, 0x80, 255, 255, 255},
                          Case{0x40FFFFFF, mode2 ? BlendKernel::AlphaMmx : BlendKernel::HalfMmx, 0x40, 255, 255, 255},
                          Case{0xFF808080, BlendKernel::Modulated, 255, 128, 128, 128},
                          Case{0xC0FF8040, BlendKernel::Modulated, 0xC0, 255, 128, 64}}) {
        paintBackground();
        SurfaceImage expected = readImage(target);
        if (d_blendMode == 0 || d_layout.mode == 6)
            referenceBlit(expected, source, RECT{20, 12, 36, 28}, RECT{0, 0, 16, 16}, 0u); // copied as it is
        else
            referenceKernel(expected, source, RECT{20, 12, 36, 28}, RECT{0, 0, 16, 16}, d_layout.mode, *c.kernel,
                            c.alpha, c.r, c.g, c.b);
        draw(a, FloatRect{20, 12, 36, 28}, FloatRect{0, 0, 16, 16}, c.colour);
        expectPicture(expected, "coloured quad");
    }
}

TEST_P(RenderedPixelsTest, StretchedTranslucentQuadIsBlendedFromTheScratch)
{
    if (d_blendMode == 0)
        GTEST_SKIP() << "blend mode 0 copies";
    CDDTexture* a = texture(true);
    const RECT d{8, 6, 40, 38};
    SurfaceImage expected = readImage(target);
    // What the stretch leaves in the display-sized scratch at D.
    SurfaceImage stretched = readImage(renderer->scratchTexture()->colourSurface());
    referenceBlit(stretched, readImage(a->colourSurface()), d, RECT{0, 0, 16, 16});
    if (d_layout.mode == 6)
        referenceBlit(expected, stretched, d, d);
    else
        referenceKernel(expected, stretched, d, d, d_layout.mode,
                        d_blendMode == 2 ? BlendKernel::AlphaMmx : BlendKernel::HalfMmx, 0x90);
    draw(a, FloatRect{8, 6, 40, 38}, FloatRect{0, 0, 16, 16}, 0x90FFFFFF);
    expectPicture(expected, "stretched blend");
}

TEST_P(RenderedPixelsTest, SoftEdgesBlendEachTexelByItsAlpha)
{
    if (d_blendMode == 0 || d_layout.mode > 4)
        GTEST_SKIP() << "soft edges change nothing here: the paths of the tests above";
    renderer->setSoftEdges(true);
    const uint32_t bytes = d_layout.mode <= 2 ? 2 : d_layout.mode == 3 ? 3 : 4;
    uint32_t drawn = 0;
    // Partly transparent texels, then all opaque ones (whose stretched
    // alpha the renderer need not stretch).
    for (bool opaque : {false, true}) {
        std::vector<uint8_t> pixels = texels(16, true);
        for (size_t i = 3; i < pixels.size(); i += 4)
            pixels[i] = opaque ? 0xFF : pixels[i] == 0 ? 0 : uint8_t(i * 37 % 255 + 1);
        auto* a = static_cast<CDDTexture*>(renderer->createTexture());
        a->loadFromMemory(pixels.data(), 16, 16, ZorvUISystem::BUFFER_RGBA);
        const SurfaceImage colour = readImage(a->colourSurface()), alpha = readImage(a->alphaSurface());
        for (uint32_t quadColour : {0xFFFFFFFFu, 0xA0FF8040u}) {
            for (bool stretched : {false, true}) {
                paintBackground();
                const RECT d = stretched ? RECT{8, 6, 40, 38} : RECT{20, 12, 36, 28}, s{0, 0, 16, 16};
                SurfaceImage expected = readImage(target);
                SurfaceImage from = colour, alphas = alpha;
                RECT at = s;
                if (stretched) { // both surfaces through the scratch
                    from = readImage(renderer->scratchTexture()->colourSurface());
                    alphas = readImage(renderer->scratchTexture()->alphaSurface());
                    referenceBlit(from, colour, d, s);
                    referenceBlit(alphas, alpha, d, s);
                    at = d;
                }
                DDSURFACEDESC to = expected.describe(d.left, d.top, bytes);
                const DDSURFACEDESC source = from.describe(at.left, at.top, bytes);
                const DDSURFACEDESC texelAlpha = alphas.describe(at.left, at.top, bytes);
                ZorvUISystem::blendTexelAlpha(&source, &texelAlpha, &to, 0, 0, &d, int32_t(quadColour >> 24),
                                              d_layout.mode, (quadColour >> 16) & 0xFF, (quadColour >> 8) & 0xFF,
                                              quadColour & 0xFF);
                draw(a, FloatRect{float(d.left), float(d.top), float(d.right), float(d.bottom)},
                     FloatRect{0, 0, 16, 16}, quadColour);
                expectPicture(expected, stretched ? "stretched soft edges" : "soft edges");
                EXPECT_EQ(renderer->getFrameStatistics().texelAlphaBlend[d_layout.mode].quads, ++drawn);
            }
        }
    }
}

TEST_P(RenderedPixelsTest, TintReplacesWhiteTexelsByTheQuadsColour)
{
    if (d_blendMode != 0)
        GTEST_SKIP() << "coloured quads take the blend path in modes 1 and 2";
    CDDTexture* a = texture(true, true);
    const SurfaceImage source = readImage(a->colourSurface());
    const auto fillAndKey = tint(0x30, 0x60, 0xC0);
    SurfaceImage expected = readImage(target);
    const uint32_t mask = source.meaningful();
    if (fillAndKey) {
        for (LONG y = 0; y < 16; ++y)
            for (LONG x = 0; x < 16; ++x) {
                uint32_t value = source.get(x, y);
                if ((value & mask) == (fillAndKey->second & mask))
                    value = fillAndKey->first;
                if ((value & mask) != 0)
                    expected.set(30 + x, 20 + y, value);
            }
    } else {
        // No tint for this mode: a plain keyed copy.
        referenceBlit(expected, source, RECT{30, 20, 46, 36}, RECT{0, 0, 16, 16}, 0u);
    }
    draw(a, FloatRect{30, 20, 46, 36}, FloatRect{0, 0, 16, 16}, 0xFF3060C0);
    expectPicture(expected, "tinted copy");
}

TEST_P(RenderedPixelsTest, LostTexturesComeBackFromTheirSourceAndFailuresLeaveThePictureAlone)
{
    // A texture with kept pixels is restored, reloaded and drawn in the same
    // call, whatever its restore answers.
    CDDTexture* a = texture(true, true);
    paintBackground();
    const SurfaceImage background = readImage(target);
    draw(a, FloatRect{5, 7, 21, 23}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF);
    const SurfaceImage drawn = readImage(target);
    for (const HRESULT restore : {DD_OK, DDERR_WRONGMODE}) {
        ASSERT_TRUE(writeImage(target, background));
        ASSERT_TRUE(ddrawtest::markLost(a->colourSurface()));
        ddrawtest::reset();
        if (restore != DD_OK) {
            ASSERT_TRUE(ddrawtest::failAlways("Restore", restore));
        }
        draw(a, FloatRect{5, 7, 21, 23}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF);
        EXPECT_GE(ddrawtest::callCount("Restore"), 1u);
        expectPicture(drawn, "reloaded and drawn");
        ddrawtest::reset();
    }

    // Raw pixels without a copy: what the restored memory holds is not
    // shown.
    ASSERT_TRUE(writeImage(target, background));
    CDDTexture* b = texture(true);
    ASSERT_TRUE(ddrawtest::markLost(b->colourSurface()));
    draw(b, FloatRect{5, 7, 21, 23}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF);
    EXPECT_TRUE(b->pixelsLost());

    // A failing lock or blit draws nothing and disturbs nothing.
    CDDTexture* c = texture(true);
    ASSERT_TRUE(ddrawtest::failNext(d_blendMode == 0 || d_layout.mode == 6 ? "BltFast" : "Lock", DDERR_SURFACEBUSY));
    draw(c, FloatRect{5, 7, 21, 23}, FloatRect{0, 0, 16, 16}, 0x80FFFFFF);
    expectPicture(background, "nothing drawn");
    EXPECT_EQ(ddrawtest::armedFaults(), 0u);
}

TEST_P(RenderedPixelsTest, RenderPassesShowTheQueueUntilCleared)
{
    CDDTexture* a = texture(true);
    const SurfaceImage background = readImage(target);
    SurfaceImage expected = background;
    referenceBlit(expected, readImage(a->colourSurface()), RECT{4, 4, 20, 20}, RECT{0, 0, 16, 16}, 0u);
    referenceBlit(expected, readImage(a->colourSurface()), RECT{12, 8, 28, 24}, RECT{0, 0, 16, 16}, 0u);
    renderer->queueQuad(FloatRect{12, 8, 28, 24}, 0.25f, a, FloatRect{0, 0, 16, 16}, corners(0xFFFFFFFF), 0);
    renderer->queueQuad(FloatRect{4, 4, 20, 20}, 0.75f, a, FloatRect{0, 0, 16, 16}, corners(0xFFFFFFFF), 0);
    renderer->renderQueue();
    expectPicture(expected, "first pass");

    // Every later pass shows the same picture again, from the buffer or by
    // drawing the kept queue.
    ASSERT_TRUE(writeImage(target, background));
    renderer->renderQueue();
    expectPicture(expected, "second pass");

    renderer->clearQueue();
    ASSERT_TRUE(writeImage(target, background));
    renderer->renderQueue();
    expectPicture(background, "after clearing, no pixel changes");
}

INSTANTIATE_TEST_SUITE_P(BlendModesAndLayouts, RenderedPixelsTest,
                         ::testing::Combine(::testing::Values(0, 1, 2), ::testing::ValuesIn(kLayouts)),
                         [](const ::testing::TestParamInfo<std::tuple<int32_t, Layout>>& info) {
                             return "mode" + std::to_string(std::get<0>(info.param)) + "_" +
                                    std::get<1>(info.param).name;
                         });

// A reset with a new display size over the software DirectDraw: the surfaces
// come back at the new size and the same quads draw the same picture.
TEST(RenderedPixelsReset, PictureSurvivesAResetWithANewDisplayMode)
{
    SoftwareDirectDraw dd;
    ASSERT_NE(dd.get(), nullptr);
    ASSERT_EQ(dd.get()->SetDisplayMode(1024, 768, 32), DD_OK);
    TestRenderDevice device(dd.get(), float(kWidth), float(kHeight));
    CDDRender renderer(&device, 0, false);
    auto* a = static_cast<CDDTexture*>(renderer.createTexture());
    a->setMemoryTexture(true);
    const std::vector<uint8_t> pixels = texels(16, true);
    a->loadFromMemory(pixels.data(), 16, 16, ZorvUISystem::BUFFER_RGBA);

    auto makeTarget = [&](DWORD width, DWORD height) {
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof(desc));
        desc.dwSize = sizeof(DDSURFACEDESC);
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        IDirectDrawSurface* surface = nullptr;
        EXPECT_EQ(dd.get()->CreateSurface(&desc, &surface, nullptr), DD_OK);
        return surface;
    };
    IDirectDrawSurface* first = makeTarget(kWidth, kHeight);
    renderer.setTargetSurface(first);
    renderer.queueQuad(FloatRect{8, 8, 24, 24}, 0, a, FloatRect{0, 0, 16, 16}, corners(0xFFFFFFFF), 0);
    renderer.renderQueue();
    const SurfaceImage before = readImage(first);

    renderer.prepareForReset();
    ASSERT_EQ(dd.get()->SetDisplayMode(800, 600, 32), DD_OK); // every surface is lost
    device.width = 96.5f;
    device.height = 64.2f;
    bool changed = false;
    renderer.postD3DReset(&changed);
    EXPECT_TRUE(changed);
    IDirectDrawSurface* second = makeTarget(96, 64);
    renderer.setTargetSurface(second);
    renderer.queueQuad(FloatRect{8, 8, 24, 24}, 0, a, FloatRect{0, 0, 16, 16}, corners(0xFFFFFFFF), 0);
    renderer.renderQueue();
    const SurfaceImage after = readImage(second);
    for (LONG y = 0; y < LONG(kHeight); ++y)
        for (LONG x = 0; x < LONG(kWidth); ++x)
            ASSERT_EQ(after.get(x, y), before.get(x, y)) << x << "," << y;
    EXPECT_TRUE(ddrawtest::guardsIntact());
    first->Release();
    second->Release();
}

} // namespace
} // namespace ZivTest
