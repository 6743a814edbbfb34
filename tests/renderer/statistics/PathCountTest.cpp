// The statistics of render passes over the recording DirectDraw: every path
// counted with the pixels it covered, every reason to skip a quad (failures
// on demand), and when a record starts.
#include <string>
#include <vector>

#include "RecordingDirectDraw.h"
#include "StatisticsFixture.h"
#include "pixel/BlendKernels.h"

namespace ZivTest {
namespace {

using Strings = std::vector<std::string>;
using FS = FrameStatistics;

constexpr float kWidth = 64;
constexpr float kHeight = 48;
const FloatRect kTile{0, 0, 16, 16};

class PathCountTest : public StatisticsFixture {
protected:
    CDDRender& make(int32_t blendMode, FakeFormat display = kFormatRgb565)
    {
        dd.displayFormat = display;
        makeRenderer(&dd, blendMode, kWidth, kHeight);
        target = dd.addSurface("target", DWORD(kWidth), DWORD(kHeight), display);
        renderer->setTargetSurface(target);
        return *renderer;
    }

    // Queues the quads given, renders them and empties the queue.
    const FrameStatistics& pass()
    {
        renderer->renderQueue();
        renderer->clearQueue();
        return statistics();
    }

    RecordingDirectDraw dd;
    FakeSurface* target = nullptr;
};

TEST_F(PathCountTest, CopiesAreCountedByKindWithTheirClippedPixels)
{
    make(0);
    CDDTexture* keyed = texture(16, 16, solid(16, 16));
    CDDTexture* plain = texture(16, 16, solid(16, 16, false), false);
    CDDTexture* memory = texture(16, 16, solid(16, 16), true, true);
    queue(keyed, FloatRect{0, 0, 16, 16}, kTile);
    queue(plain, FloatRect{16, 0, 32, 16}, kTile);
    queue(keyed, FloatRect{0, 16, 32, 48}, kTile); // stretched through the scratch
    queue(plain, FloatRect{32, 0, 40, 8}, kTile);  // stretched, one Blt
    queue(memory, FloatRect{40, 0, 56, 16}, kTile, 0xFF8040C0u);
    queue(keyed, FloatRect{56, 40, 72, 56}, kTile); // 8 x 8 of it on the display
    EXPECT_EQ(nonZero(pass()),
              (Strings{"plainCopy.quads=1", "plainCopy.pixels=256", "keyedCopy.quads=2", "keyedCopy.pixels=320",
                       "stretchedCopy.quads=2", "stretchedCopy.pixels=1088", "tintedCopy.quads=1",
                       "tintedCopy.pixels=256", "bufferCopy.quads=1", "bufferCopy.pixels=3072"}));
    EXPECT_EQ(statistics().quads(), 6u);
    EXPECT_EQ(statistics().drawn().pixels, 256u + 320u + 1088u + 256u);
}

TEST_F(PathCountTest, BlendsAreCountedByKernelAndPixelMode)
{
    make(2);
    CDDTexture* a = texture(16, 16, solid(16, 16));
    queue(a, FloatRect{0, 0, 16, 16}, kTile, 0x80FFFFFFu);  // alpha
    queue(a, FloatRect{16, 0, 32, 16}, kTile, 0xFF808080u); // modulated
    queue(a, FloatRect{0, 16, 32, 48}, kTile, 0x80FFFFFFu); // stretched first, then alpha
    queue(a, FloatRect{32, 0, 48, 16}, kTile);              // opaque white: a copy
    EXPECT_EQ(nonZero(pass()), (Strings{"keyedCopy.quads=1", "keyedCopy.pixels=256", "blend[0][1].quads=1",
                                        "blend[0][1].pixels=256", "blend[2][1].quads=2", "blend[2][1].pixels=1280",
                                        "stretchedBlend.quads=1", "stretchedBlend.pixels=1024"}));
    EXPECT_EQ(statistics().blended().quads, 3u);
    EXPECT_EQ(statistics().quads(), 4u);
}

TEST_F(PathCountTest, HalfBlendsAndOtherPixelModes)
{
    make(1, kFormatXrgb32);
    CDDTexture* a = texture(16, 16, solid(16, 16));
    queue(a, FloatRect{0, 0, 16, 16}, kTile, 0x40FFFFFFu);
    queue(a, FloatRect{8, 8, 24, 24}, kTile, 0xFF00FF00u);
    EXPECT_EQ(nonZero(pass()), (Strings{"blend[0][4].quads=1", "blend[0][4].pixels=256", "blend[3][4].quads=1",
                                        "blend[3][4].pixels=256"}));
}

TEST_F(PathCountTest, IndexedTexturesOnTheBlendPathCountAsCopies)
{
    make(2, kFormatPal8);
    CDDTexture* keyed = texture(16, 16, solid(16, 16));
    CDDTexture* plain = texture(16, 16, solid(16, 16, false), false);
    queue(keyed, FloatRect{0, 0, 16, 16}, kTile, 0x80FF0000u);
    queue(plain, FloatRect{16, 0, 32, 16}, kTile, 0x80FF0000u);
    queue(keyed, FloatRect{0, 16, 32, 48}, kTile, 0x80FF0000u);
    EXPECT_EQ(nonZero(pass()), (Strings{"plainCopy.quads=1", "plainCopy.pixels=256", "keyedCopy.quads=1",
                                        "keyedCopy.pixels=256", "stretchedCopy.quads=1", "stretchedCopy.pixels=1024"}));
}

TEST_F(PathCountTest, SkippedQuadsAreCountedByReason)
{
    make(2);
    CDDTexture* a = texture(16, 16, solid(16, 16));
    auto* blank = static_cast<CDDTexture*>(renderer->createTexture());
    blank->createSurfaces(16, 16);                               // never given pixels: no layout the kernels know
    queue(a, FloatRect{0, 0, 16, 16}, kTile, 0x00FFFFFFu);       // transparent
    queue(a, FloatRect{100, 0, 116, 16}, kTile, 0x80FFFFFFu);    // right of the display
    queue(nullptr, FloatRect{0, 0, 16, 16}, kTile, 0x80FFFFFFu); // no texture
    queue(blank, FloatRect{0, 0, 16, 16}, kTile, 0x80FFFFFFu);   // unsupported mode
    EXPECT_EQ(nonZero(pass()), (Strings{"skipped[0]=1", "skipped[1]=1", "skipped[2]=1", "skipped[7]=1"}));
    EXPECT_EQ(statistics().skippedQuads(), 4u);
    EXPECT_EQ(statistics().quads(), 4u);
}

TEST_F(PathCountTest, FailuresAreCountedAndALostSurfaceSaysSo)
{
    make(2);
    CDDTexture* a = texture(16, 16, solid(16, 16));
    // The lock of the target fails: busy, then lost.
    queue(a, FloatRect{0, 0, 16, 16}, kTile, 0x80FFFFFFu);
    dd.failNext("Lock", DDERR_SURFACEBUSY, "target");
    EXPECT_EQ(nonZero(pass()), (Strings{"skipped[4]=1"}));
    queue(a, FloatRect{0, 0, 16, 16}, kTile, 0x80FFFFFFu);
    dd.failNext("Lock", DDERR_SURFACELOST);
    EXPECT_EQ(nonZero(pass()), (Strings{"skipped[3]=1"}));
    // The texture's lock fails after the target's succeeded.
    queue(a, FloatRect{0, 0, 16, 16}, kTile, 0x80FFFFFFu);
    dd.rename(a->colourSurface(), "a");
    dd.failNext("Lock", DDERR_GENERIC, "a");
    EXPECT_EQ(nonZero(pass()), (Strings{"skipped[4]=1"}));
    // Copies refused by DirectDraw.
    queue(a, FloatRect{0, 0, 16, 16}, kTile);
    dd.failNext("BltFast", DDERR_GENERIC, "target");
    EXPECT_EQ(nonZero(pass()), (Strings{"skipped[5]=1"}));
    queue(a, FloatRect{0, 0, 16, 16}, kTile);
    dd.failNext("BltFast", DDERR_SURFACELOST, "target");
    EXPECT_EQ(nonZero(pass()), (Strings{"skipped[3]=1"}));
    // The stretch into the scratch fails on the blend path.
    queue(a, FloatRect{0, 0, 32, 32}, kTile, 0x80FFFFFFu);
    dd.failNext("Blt", DDERR_NOSTRETCHHW);
    EXPECT_EQ(nonZero(pass()), (Strings{"skipped[5]=1"}));
}

TEST_F(PathCountTest, ATextureThatCannotBeRestoredIsALostSurface)
{
    make(2);
    CDDTexture* a = texture(16, 16, solid(16, 16));
    dd.find(a->colourSurface())->lost = true;
    dd.failNext("Restore", DDERR_GENERIC);
    queue(a, FloatRect{0, 0, 16, 16}, kTile, 0x80FFFFFFu);
    EXPECT_EQ(nonZero(pass()), (Strings{"skipped[3]=1"}));
    // Without a source for its pixels it stays without surfaces.
    EXPECT_EQ(a->colourSurface(), nullptr);
}

TEST_F(PathCountTest, QuadsThatNeedTheMissingScratchAreSkipped)
{
    make(0);
    CDDTexture* a = texture(16, 16, solid(16, 16));
    renderer->prepareForReset();
    renderer->setQueueing(false);
    queue(a, FloatRect{0, 0, 32, 32}, kTile); // a keyed stretch goes through the scratch
    queue(a, FloatRect{0, 0, 16, 16}, kTile); // a keyed copy does not
    EXPECT_EQ(nonZero(statistics()), (Strings{"keyedCopy.quads=1", "keyedCopy.pixels=256", "skipped[6]=1"}));
}

TEST_F(PathCountTest, EveryRenderPassStartsAFreshRecord)
{
    make(2);
    CDDTexture* a = texture(16, 16, solid(16, 16));
    queue(a, FloatRect{0, 0, 16, 16}, kTile, 0x80FFFFFFu);
    queue(a, FloatRect{16, 0, 32, 16}, kTile);
    renderer->renderQueue();
    const Strings once = nonZero(statistics());
    EXPECT_EQ(once,
              (Strings{"keyedCopy.quads=1", "keyedCopy.pixels=256", "blend[2][1].quads=1", "blend[2][1].pixels=256"}));
    // The direct queue keeps its quads: the next pass counts them again, once.
    renderer->renderQueue();
    EXPECT_EQ(nonZero(statistics()), once);
    // Quads drawn at once join the record of the last pass.
    renderer->setQueueing(false);
    queue(a, FloatRect{32, 0, 48, 16}, kTile);
    EXPECT_EQ(statistics().keyedCopy.quads, 2u);
    renderer->setQueueing(true);
    renderer->clearQueue();
    renderer->renderQueue();
    EXPECT_TRUE(nonZero(statistics()).empty());
    EXPECT_STREQ(statistics().simdLevel, ZorvUISystem::activeKernelLevelName());
}

TEST_F(PathCountTest, TheBufferCopyIsCountedOncePerPassAndOnlyWithATarget)
{
    make(0);
    CDDTexture* a = texture(16, 16, solid(16, 16));
    queue(a, FloatRect{0, 0, 16, 16}, kTile);
    renderer->renderQueue();
    EXPECT_EQ(statistics().bufferCopy.quads, 1u);
    EXPECT_EQ(statistics().bufferCopy.pixels, uint64_t(kWidth * kHeight));
    // The buffered queue was emptied: the next pass only copies the buffer.
    renderer->renderQueue();
    EXPECT_EQ(nonZero(statistics()), (Strings{"bufferCopy.quads=1", "bufferCopy.pixels=3072"}));
    dd.failNext("BltFast", DDERR_SURFACELOST, "target");
    renderer->renderQueue();
    EXPECT_TRUE(nonZero(statistics()).empty());
    renderer->setTargetSurface(nullptr);
    queue(a, FloatRect{0, 0, 16, 16}, kTile);
    renderer->renderQueue();
    EXPECT_EQ(nonZero(statistics()), (Strings{"keyedCopy.quads=1", "keyedCopy.pixels=256"}));
}

} // namespace
} // namespace ZivTest
