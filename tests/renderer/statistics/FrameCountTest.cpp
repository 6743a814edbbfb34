// Whole random frames over the software DirectDraw, in every blend mode and
// in 16- and 32-bit displays: the statistics of the render pass against a
// model of the quad blit's choice of path, worked out from the quads alone.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "SoftwareDirectDraw.h"
#include "StatisticsFixture.h"
#include "SurfaceAccess.h"
#include "ddraw_test.h"

namespace ZivTest {
namespace {

using FS = FrameStatistics;

constexpr LONG kWidth = 160;
constexpr LONG kHeight = 120;
constexpr uint32_t kTextureWidth = 64;
constexpr uint32_t kTextureHeight = 32;

struct ModelQuad {
    RECT dest;
    RECT source;
    bool keyed; // an RGBA texture: its colour surface carries the black key
    CornerColours colours;
};

uint32_t average(const CornerColours& c, unsigned shift)
{
    return (((c.topLeft >> shift) & 0xFF) + ((c.topRight >> shift) & 0xFF) + ((c.bottomLeft >> shift) & 0xFF) +
            ((c.bottomRight >> shift) & 0xFF)) >>
           2;
}

uint64_t area(LONG left, LONG top, LONG right, LONG bottom)
{
    return right > left && bottom > top ? uint64_t(right - left) * uint64_t(bottom - top) : 0;
}

uint64_t visibleArea(const RECT& r)
{
    return area(std::max(r.left, LONG{0}), std::max(r.top, LONG{0}), std::min(r.right, kWidth),
                std::min(r.bottom, kHeight));
}

void add(FS::PathCount& path, uint64_t pixels)
{
    ++path.quads;
    path.pixels += pixels;
}

// What the render pass should count: a quad that misses the display or has
// average alpha 0 draws nothing; in blend modes 1 and 2
// a quad that is not opaque white is blended (by colour, by the half kernel
// in mode 1, the alpha kernel in mode 2; stretched first when its sizes
// differ); everything else is a DirectDraw copy, stretched, keyed or plain.
FS expectedStatistics(const std::vector<ModelQuad>& quads, int32_t blendMode, uint32_t pixelMode)
{
    FS s{};
    for (const ModelQuad& q : quads) {
        const uint32_t a = average(q.colours, 24);
        const bool white =
            average(q.colours, 16) == 255 && average(q.colours, 8) == 255 && average(q.colours, 0) == 255;
        const bool stretched = q.dest.right - q.dest.left != q.source.right - q.source.left ||
                               q.dest.bottom - q.dest.top != q.source.bottom - q.source.top;
        const uint64_t pixels = visibleArea(q.dest);
        // Without a buffer a quad off the display is dropped first; with
        // one, the display only clips the copy.
        if (blendMode != 0 && pixels == 0) {
            ++s.skipped[FS::SKIP_OFF_DISPLAY];
        } else if (a == 0) {
            ++s.skipped[FS::SKIP_TRANSPARENT];
        } else if (pixels == 0) {
            ++s.skipped[FS::SKIP_OFF_DISPLAY];
        } else if (blendMode != 0 && !(white && a == 255)) {
            const FS::Kernel kernel = !white           ? FS::KERNEL_MODULATED
                                      : blendMode == 1 ? FS::KERNEL_HALF_VECTOR
                                                       : FS::KERNEL_ALPHA;
            add(s.blend[kernel][pixelMode], pixels);
            if (stretched)
                add(s.stretchedBlend, pixels);
        } else if (stretched) {
            add(s.stretchedCopy, pixels);
        } else {
            add(q.keyed ? s.keyedCopy : s.plainCopy, pixels);
        }
    }
    if (blendMode == 0)
        add(s.bufferCopy, uint64_t(kWidth) * kHeight);
    return s;
}

// A random frame: quads on, across and off the display edges, stretched ones
// wholly on it; translucent (now and then fully transparent), tinted, or
// opaque white; corner colours that differ, so that averages matter.
std::vector<ModelQuad> randomFrame(uint32_t seed, size_t count)
{
    std::mt19937 random(seed);
    auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    std::vector<ModelQuad> quads;
    for (size_t i = 0; i < count; ++i) {
        ModelQuad q{};
        q.keyed = between(0, 3) != 0;
        const int w = between(1, int(kTextureWidth));
        const int h = between(1, int(kTextureHeight));
        const int sx = between(0, int(kTextureWidth) - w);
        const int sy = between(0, int(kTextureHeight) - h);
        q.source = RECT{sx, sy, sx + w, sy + h};
        int dw = w, dh = h;
        const int placement = between(0, 9);
        if (placement == 0) {
            dw = between(1, 80);
            dh = between(1, 60);
        }
        int x, y;
        if (placement == 0) { // stretched, on the display
            x = between(0, kWidth - dw);
            y = between(0, kHeight - dh);
        } else if (placement == 1) { // off the display
            x = between(0, 1) != 0 ? between(kWidth, kWidth + 40) : -dw - between(0, 40);
            y = between(-dh, kHeight);
        } else { // anywhere, edges included
            x = between(-dw + 1, kWidth - 1);
            y = between(-dh + 1, kHeight - 1);
        }
        q.dest = RECT{x, y, x + dw, y + dh};
        uint32_t alpha = 255, rgb = 0xFFFFFF;
        if (between(0, 9) < 3)
            alpha = uint32_t(between(0, 254));
        if (between(0, 9) < 2)
            rgb = uint32_t(between(0, 0xFFFFFF));
        const uint32_t colour = alpha << 24 | rgb;
        // The corners differ while keeping the average of every channel.
        const uint32_t up = alpha <= 253 && alpha >= 2 ? 0x01000000u : 0;
        q.colours = CornerColours{colour + up, colour - up, colour, colour};
        quads.push_back(q);
    }
    return quads;
}

class FrameCountTest : public StatisticsFixture, public ::testing::WithParamInterface<std::tuple<int32_t, DWORD>> {
protected:
    void SetUp() override
    {
        ASSERT_NE(dd.get(), nullptr);
        const auto [blendMode, bits] = GetParam();
        ASSERT_EQ(dd.get()->SetDisplayMode(1024, 768, bits), DD_OK);
        makeRenderer(dd.get(), blendMode, float(kWidth), float(kHeight));
        DDSURFACEDESC desc = ZivTest::offscreenSurfaceDesc(DWORD(kWidth), DWORD(kHeight));
        ASSERT_EQ(dd.get()->CreateSurface(&desc, &target, nullptr), DD_OK);
        renderer->setTargetSurface(target);
        keyed = texture(kTextureWidth, kTextureHeight, solid(kTextureWidth, kTextureHeight));
        plain = texture(kTextureWidth, kTextureHeight, solid(kTextureWidth, kTextureHeight, false), false);
    }

    void TearDown() override
    {
        StatisticsFixture::TearDown();
        if (target != nullptr)
            target->Release();
        ddrawtest::reset();
    }

    void queueAll(const std::vector<ModelQuad>& quads)
    {
        float z = 1.0f;
        for (const ModelQuad& q : quads) {
            auto floats = [](const RECT& r) {
                return FloatRect{float(r.left), float(r.top), float(r.right), float(r.bottom)};
            };
            renderer->queueQuad(floats(q.dest), z, q.keyed ? keyed : plain, floats(q.source), q.colours, 0);
            z -= 1.0f / 1024;
        }
    }

    uint32_t pixelMode() const { return std::get<1>(GetParam()) == 16 ? 1u : 4u; }

    SoftwareDirectDraw dd;
    IDirectDrawSurface* target = nullptr;
    CDDTexture* keyed = nullptr;
    CDDTexture* plain = nullptr;
};

TEST_P(FrameCountTest, EveryQuadIsCountedOnItsPathWithItsVisiblePixels)
{
    const int32_t blendMode = std::get<0>(GetParam());
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        const std::vector<ModelQuad> quads = randomFrame(seed, 300);
        queueAll(quads);
        renderer->renderQueue();
        renderer->clearQueue();
        const FS expected = expectedStatistics(quads, blendMode, pixelMode());
        EXPECT_EQ(nonZero(statistics()), nonZero(expected)) << "seed " << seed;
        EXPECT_EQ(statistics().quads(), quads.size());
    }
}

TEST_P(FrameCountTest, APassOverAnEmptyQueueCountsOnlyTheBufferCopy)
{
    const int32_t blendMode = std::get<0>(GetParam());
    queueAll(randomFrame(9, 50));
    renderer->renderQueue();
    renderer->clearQueue();
    renderer->renderQueue();
    EXPECT_EQ(nonZero(statistics()), nonZero(expectedStatistics({}, blendMode, pixelMode())));
}

INSTANTIATE_TEST_SUITE_P(BlendModesAndDisplays, FrameCountTest,
                         ::testing::Combine(::testing::Values(0, 1, 2), ::testing::Values(DWORD{16}, DWORD{32})),
                         [](const auto& info) {
                             return "blend" + std::to_string(std::get<0>(info.param)) + "_" +
                                    std::to_string(std::get<1>(info.param)) + "bit";
                         });

} // namespace
} // namespace ZivTest
