// The quad blit over the recording DirectDraw: the calls of every path with
// their rectangles, flags and effects records, the kernel chosen on the
// blend path (its output compared with the kernel run on snapshots), the
// failure outcomes, lost surfaces, the absent scratch texture, and clipping.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "DrawingFixture.h"
#include "SurfaceImage.h"

namespace ZivTest {
namespace {

// The pixels of a recording surface, and back.
SurfaceImage imageOf(FakeSurface* surface)
{
    SurfaceImage image;
    image.pitch = surface->pitch;
    image.width = surface->width;
    image.height = surface->height;
    image.bytesPerPixel = (surface->format.bits + 7) / 8;
    image.format.dwRGBBitCount = surface->format.bits;
    image.format.dwRBitMask = surface->format.red;
    image.format.dwGBitMask = surface->format.green;
    image.format.dwBBitMask = surface->format.blue;
    image.format.dwRGBAlphaBitMask = surface->format.alpha;
    image.bytes.assign(surface->row(0), surface->row(0) + size_t(surface->pitch) * surface->height);
    return image;
}

void fillPattern(FakeSurface* surface, uint32_t seed)
{
    SurfaceImage image = imageOf(surface);
    fillPattern(image, seed);
    for (DWORD y = 0; y < surface->height; ++y)
        std::memcpy(surface->row(y), image.bytes.data() + size_t(y) * image.pitch,
                    size_t(image.width) * image.bytesPerPixel);
}

// Which kernel a quad should meet, with its arguments.
struct KernelCall {
    BlendKernel kernel;
    int32_t alpha = 255;
    uint32_t red = 255;
    uint32_t green = 255;
    uint32_t blue = 255;
};

// The destination after one kernel call from s onto d.
SurfaceImage expectedBlend(SurfaceImage destination, const SurfaceImage& source, const RECT& d, const RECT& s,
                           uint32_t mode, const KernelCall& call)
{
    referenceKernel(destination, source, d, s, mode, call.kernel, call.alpha, call.red, call.green, call.blue);
    return destination;
}

bool samePixels(const SurfaceImage& a, const SurfaceImage& b)
{
    return a.bytes == b.bytes;
}

using Strings = std::vector<std::string>;

const std::vector<std::string_view> kBlits = {"Blt", "BltFast"};

class CopyPathTest : public DrawingFixture {};

TEST_F(CopyPathTest, UnstretchedKeyedQuadIsOneBltFastAtTheDestination)
{
    make(0);
    CDDTexture* a = plainTexture("a");
    EXPECT_EQ(drawNow(a, FloatRect{10, 20, 26, 36}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kDrawingOps),
              (Strings{"a.IsLost()", "aAlpha.IsLost()", "target.BltFast(10,20,a,[0,0,16,16],0x11)"}));
}

TEST_F(CopyPathTest, UnkeyedQuadsUseBltFastUnstretchedAndBltStretched)
{
    make(0);
    CDDTexture* a = plainTexture("a", false);
    ASSERT_EQ(a->alphaSurface(), a->colourSurface());
    EXPECT_EQ(drawNow(a, FloatRect{10, 20, 26, 36}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kDrawingOps),
              (Strings{"a.IsLost()", "a.IsLost()", "target.BltFast(10,20,a,[0,0,16,16],0x10)"}));
    EXPECT_EQ(drawNow(a, FloatRect{0, 0, 32, 24}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kBlits),
              (Strings{"target.Blt([0,0,32,24],a,[0,0,16,16],0x1000000)"}));
}

TEST_F(CopyPathTest, KeyedStretchGoesThroughTheScratchWithTheTexturesKey)
{
    make(0);
    CDDTexture* a = plainTexture("a");
    dd.find(a->colourSurface())->key = DDCOLORKEY{0x123, 0x456};
    EXPECT_EQ(drawNow(a, FloatRect{8, 8, 40, 40}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kDrawingOps),
              (Strings{"a.IsLost()", "aAlpha.IsLost()", "scratch.Blt([8,8,40,40],a,[0,0,16,16],0x1000000)",
                       "a.GetColorKey(0x8,0x123/0x456)", "scratch.SetColorKey(0x8,0x123/0x456)",
                       "target.BltFast(8,8,scratch,[8,8,40,40],0x11)"}));
    EXPECT_EQ(renderer->scratchTexture()->rgbMode(), a->rgbMode());
}

TEST_F(CopyPathTest, KeyedStretchFailureIsReportedAndDrawsNothing)
{
    make(0);
    CDDTexture* a = plainTexture("a");
    dd.failNext("Blt", DDERR_SURFACELOST, "scratch");
    EXPECT_EQ(drawNow(a, FloatRect{8, 8, 40, 40}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kBlits),
              (Strings{"scratch.Blt([8,8,40,40],a,[0,0,16,16],0x1000000)"}));
    const std::vector<RecordedCall> reports = log.callsTo("logFormat");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].args[0], "1");
    EXPECT_EQ(reports[0].args[2],
              "with out alpha blend strecth blt source surface error(-2005532222) DDERR_SURFACELOST");
}

TEST_F(CopyPathTest, CoordinatesAreTruncatedTowardZero)
{
    make(0);
    CDDTexture* a = texture("a", 32, 32, solidPixels(32, 32, 9, 9, 9), false);
    EXPECT_EQ(
        drawNow(a, FloatRect{10.9f, -0.5f, 42.2f, 31.99f}, FloatRect{0.7f, 0.2f, 32.9f, 31.5f}, 0xFFFFFFFF, kBlits),
        (Strings{"target.BltFast(10,0,a,[0,0,32,31],0x10)"}));
}

TEST_F(CopyPathTest, BlendModeZeroCopiesTranslucentAndColouredQuadsOpaque)
{
    make(0);
    CDDTexture* a = plainTexture("a");
    for (uint32_t colour : {0x80FFFFFFu, 0x01FFFFFFu, 0xFF808080u}) {
        EXPECT_EQ(drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, colour, kDrawingOps),
                  (Strings{"a.IsLost()", "aAlpha.IsLost()", "target.BltFast(0,0,a,[0,0,16,16],0x11)"}))
            << std::hex << colour;
    }
}

TEST_F(CopyPathTest, OpaqueWhiteIsCopiedInEveryBlendMode)
{
    for (int32_t mode : {1, 2}) {
        make(mode);
        CDDTexture* a = plainTexture("a");
        EXPECT_EQ(drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kDrawingOps),
                  (Strings{"a.IsLost()", "aAlpha.IsLost()", "target.BltFast(0,0,a,[0,0,16,16],0x11)"}));
        renderer.reset();
    }
}

TEST_F(CopyPathTest, CornerAlphasAveragingToZeroDrawNothingInEveryMode)
{
    for (int32_t mode : {0, 1, 2}) {
        make(mode);
        CDDTexture* a = plainTexture("a");
        dd.clearCalls();
        renderer->setQueueing(false);
        renderer->queueQuad(FloatRect{0, 0, 16, 16}, 0, a, FloatRect{0, 0, 16, 16},
                            CornerColours{0x01FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF}, 0);
        EXPECT_EQ(dd.texts(kDrawingOps), (Strings{"a.IsLost()", "aAlpha.IsLost()"})) << "mode " << mode;
        renderer.reset();
    }
}

TEST_F(CopyPathTest, DisplayAreaTestOnlyWithoutABuffer)
{
    make(1);
    CDDTexture* a = plainTexture("a");
    EXPECT_TRUE(drawNow(a, FloatRect{64, 0, 80, 16}, FloatRect{0, 0, 16, 16}).empty())
        << "a quad right of the display costs no call at all";
    renderer.reset();

    make(0);
    a = plainTexture("a");
    EXPECT_EQ(drawNow(a, FloatRect{64, 0, 80, 16}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kDrawingOps),
              (Strings{"a.IsLost()", "aAlpha.IsLost()"}))
        << "with a buffer the quad gets as far as the clipping";
}

TEST_F(CopyPathTest, NullSurfaceOrTextureDrawsNothing)
{
    make(1);
    CDDTexture* a = plainTexture("a");
    renderer->setTargetSurface(nullptr);
    EXPECT_TRUE(drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}).empty());
    renderer->setTargetSurface(target);
    EXPECT_TRUE(drawNow(nullptr, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}).empty());
}

TEST_F(CopyPathTest, QuadsStraddlingTheEdgeAreClippedBeforeTheBlit)
{
    make(1);
    CDDTexture* a = plainTexture("a");
    CDDTexture* b = plainTexture("b", false);
    EXPECT_EQ(drawNow(a, FloatRect{56, 40, 72, 56}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kBlits),
              (Strings{"target.BltFast(56,40,a,[0,0,8,8],0x11)"}));
    EXPECT_EQ(drawNow(a, FloatRect{-4, -6, 12, 10}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kBlits),
              (Strings{"target.BltFast(0,0,a,[4,6,16,16],0x11)"}));
    // Stretched twice as wide: 8 pixels cut off are 4 texels.
    EXPECT_EQ(drawNow(b, FloatRect{-8, 0, 24, 16}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kBlits),
              (Strings{"target.Blt([0,0,24,16],b,[4,0,16,16],0x1000000)"}));
    // Through the scratch, which is display-sized too.
    EXPECT_EQ(drawNow(a, FloatRect{48, 32, 80, 64}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kBlits),
              (Strings{"scratch.Blt([48,32,64,48],a,[0,0,8,8],0x1000000)",
                       "target.BltFast(48,32,scratch,[48,32,64,48],0x11)"}));
    // A texture rectangle reaching outside the texture.
    EXPECT_EQ(drawNow(a, FloatRect{10, 10, 26, 26}, FloatRect{-4, -4, 12, 12}, 0xFFFFFFFF, kBlits),
              (Strings{"target.BltFast(14,14,a,[0,0,12,12],0x11)"}));
    for (const FakeCall& call : dd.calls)
        EXPECT_GE(call.result, 0) << call.text();
}

TEST_F(CopyPathTest, TargetSmallerThanTheDisplayIsRespected)
{
    make(1);
    CDDTexture* a = plainTexture("a");
    FakeSurface* small = dd.addSurface("small", 32, 24, kFormatXrgb32);
    renderer->setTargetSurface(small);
    EXPECT_EQ(drawNow(a, FloatRect{24, 16, 40, 32}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kBlits),
              (Strings{"small.BltFast(24,16,a,[0,0,8,8],0x11)"}));
    // A surface that does not tell its size is taken to be display-sized.
    dd.failNext("GetSurfaceDesc", DDERR_UNSUPPORTED);
    EXPECT_EQ(drawNow(a, FloatRect{24, 16, 40, 32}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kBlits),
              (Strings{"small.BltFast(24,16,a,[0,0,16,16],0x11)"}));
}

TEST_F(CopyPathTest, CoordinatesWithoutAValueAreSaturatedAndClipped)
{
    make(1);
    CDDTexture* b = plainTexture("b", false);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Not a number counts as 0, infinity as the largest coordinate.
    EXPECT_EQ(drawNow(b, FloatRect{nan, nan, inf, inf}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kBlits),
              (Strings{"target.Blt([0,0,64,48],b,[0,0,1,1],0x1000000)"}));
    EXPECT_TRUE(drawNow(b, FloatRect{nan, nan, nan, nan}, FloatRect{0, 0, 16, 16}).empty());
    EXPECT_TRUE(drawNow(b, FloatRect{-inf, 0, -inf, 16}, FloatRect{0, 0, 16, 16}).empty());
    // The visible 16 pixels of a quad 2^31 pixels wide show its last texel.
    EXPECT_EQ(drawNow(b, FloatRect{-1e20f, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kBlits),
              (Strings{"target.Blt([0,0,16,16],b,[15,0,16,16],0x1000000)"}));
    // 2^31 texel rows shrunk onto 16 pixels: the texture's 16 rows do not
    // fill one of them.
    EXPECT_TRUE(drawNow(b, FloatRect{0, 0, 16, 16}, FloatRect{nan, 0, 16, inf}, 0xFFFFFFFF, kBlits).empty());
    for (const FakeCall& call : dd.calls)
        EXPECT_GE(call.result, 0) << call.text();
}

// A texture rectangle with a huge extent is clipped to the texture, in
// proportion, when stretched: it stays inside it.
TEST_F(CopyPathTest, HugeTextureRectanglesStayInsideTheTexture)
{
    make(1);
    CDDTexture* b = plainTexture("b", false);
    drawNow(b, FloatRect{0, 0, 16, 16}, FloatRect{-1e9f, 0, 1e9f, 16}, 0xFFFFFFFF, kBlits);
    for (const FakeCall& call : dd.callsTo("Blt"))
        EXPECT_NE(call.result, DDERR_INVALIDRECT) << call.text();
}

// The tinted copy of a memory texture, per pixel mode.
struct TintCase {
    const char* name;
    FakeFormat display;
    int32_t pixelFormat;
    bool rgba;
    uint32_t colour;
    DWORD fill;
    DWORD key;
};

class TintTest : public DrawingFixture, public ::testing::WithParamInterface<TintCase> {};

TEST_P(TintTest, ThreeBlitsThroughTheScratchWithTheModesFillAndKey)
{
    const TintCase& c = GetParam();
    make(0, c.display, c.pixelFormat);
    CDDTexture* a = texture("a", 16, 16, solidPixels(16, 16, 255, 255, 255, 255, c.rgba), c.rgba, true);
    char fill[16];
    char key[16];
    std::snprintf(fill, sizeof fill, "0x%X", unsigned(c.fill));
    std::snprintf(key, sizeof key, "0x%X", unsigned(c.key));
    const std::string fx = std::string(",fill=") + fill + ",key=" + key + "/" + key;
    EXPECT_EQ(
        drawNow(a, FloatRect{4, 6, 20, 22}, FloatRect{0, 0, 16, 16}, c.colour, kBlits),
        (Strings{"scratch.Blt([4,6,20,22],null,null,0x1000400" + fx + ")",
                 "scratch.Blt([4,6,20,22],a,[0,0,16,16],0x1010000" + fx + ")",
                 "target.Blt([4,6,20,22],scratch,[4,6,20,22],0x1010000,fill=" + std::string(fill) + ",key=0x0/0x0)"}));
    for (const FakeCall& call : dd.callsTo("Blt")) {
        ASSERT_TRUE(call.effects.has_value());
        EXPECT_EQ(call.effects->dwSize, sizeof(DDBLTFX));
        EXPECT_EQ(call.result, DD_OK) << call.text();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TintTest,
    ::testing::Values(TintCase{"rgb565Red", kFormatXrgb32, 565, true, 0xFFFF0000, 0xF800, 0xFFFF},
                      TintCase{"rgb565", kFormatXrgb32, 565, true, 0xFF123456, 0x11AA, 0xFFFF},
                      TintCase{"rgb555", kFormatXrgb32, 555, true, 0xFF123456, 0x08CA, 0x7FFF},
                      TintCase{"rgb24", kFormatRgb24, 0, true, 0xFF123456, 0x123456, 0xFFFFFF},
                      TintCase{"rgb32SeparateAlpha", kFormatXrgb32, 0, true, 0xFF123456, 0x123456, 0xFFFFFF},
                      TintCase{"rgb32AlphaInColour", kFormatArgb32, 0, true, 0xFF123456, 0xFF123456, 0xFFFFFFFF},
                      TintCase{"rgb32Rgb", kFormatXrgb32, 0, false, 0xFF123456, 0xFF123456, 0xFFFFFFFF}),
    [](const ::testing::TestParamInfo<TintCase>& info) { return std::string(info.param.name); });

class TintFallbackTest : public DrawingFixture {};

TEST_F(TintFallbackTest, ModesWithoutATintAndOrdinaryTexturesAreCopiedPlainly)
{
    make(0, kFormatRgb444);
    CDDTexture* other = texture("a", 16, 16, solidPixels(16, 16, 255, 255, 255), true, true);
    EXPECT_EQ(other->rgbMode(), ZorvUISystem::DDS_RGBMODE_16_OTHER);
    EXPECT_EQ(drawNow(other, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0xFFFF0000, kBlits),
              (Strings{"target.BltFast(0,0,a,[0,0,16,16],0x11)"}));
    renderer.reset();

    make(0, kFormatPal8);
    CDDTexture* indexed = texture("a", 16, 16, solidPixels(16, 16, 255, 255, 255), true, true);
    EXPECT_EQ(indexed->rgbMode(), ZorvUISystem::DDS_RGBMODE_NONE);
    EXPECT_EQ(drawNow(indexed, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0xFFFF0000, kBlits),
              (Strings{"target.BltFast(0,0,a,[0,0,16,16],0x11)"}));
    renderer.reset();

    make(0, kFormatXrgb32, 565);
    CDDTexture* ordinary = texture("a", 16, 16, solidPixels(16, 16, 255, 255, 255), true, false);
    EXPECT_EQ(drawNow(ordinary, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0xFFFF0000, kBlits),
              (Strings{"target.BltFast(0,0,a,[0,0,16,16],0x11)"}));
}

TEST_F(TintFallbackTest, EachFailingBlitFallsBackToThePlainCopy)
{
    make(0, kFormatXrgb32, 565);
    CDDTexture* a = texture("a", 16, 16, solidPixels(16, 16, 255, 255, 255), true, true);
    const std::string plain = "target.BltFast(0,0,a,[0,0,16,16],0x11)";
    for (int failing = 1; failing <= 3; ++failing) {
        int blit = 0;
        dd.answer = [&blit, failing](const FakeCall& call) -> std::optional<HRESULT> {
            if (call.op == "Blt" && ++blit == failing)
                return DDERR_SURFACEBUSY;
            return std::nullopt;
        };
        const Strings calls = drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0xFF00FF00, kBlits);
        ASSERT_EQ(calls.size(), size_t(failing + 1)) << failing;
        EXPECT_EQ(calls.back(), plain) << failing;
    }
    dd.answer = nullptr;
    EXPECT_TRUE(log.callsTo("logFormat").empty()) << "a failed tint is not reported";
}

TEST_F(TintFallbackTest, StretchedTintStretchesInTheSecondBlitAndFallsBackThroughTheScratch)
{
    make(0, kFormatXrgb32, 565);
    CDDTexture* a = texture("a", 16, 16, solidPixels(16, 16, 255, 255, 255), true, true);
    const Strings calls = drawNow(a, FloatRect{0, 0, 32, 32}, FloatRect{0, 0, 16, 16}, 0xFF0000FF, kBlits);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_TRUE(calls[1].starts_with("scratch.Blt([0,0,32,32],a,[0,0,16,16],0x1010000,")) << calls[1];

    dd.failNext("Blt", DDERR_GENERIC, "target");
    EXPECT_EQ(drawNow(a, FloatRect{0, 0, 32, 32}, FloatRect{0, 0, 16, 16}, 0xFF0000FF, kBlits).back(),
              "target.BltFast(0,0,scratch,[0,0,32,32],0x11)");
}

TEST_F(TintFallbackTest, WithoutTheScratchTheTintFallsBackSilently)
{
    make(0, kFormatXrgb32, 565);
    CDDTexture* a = texture("a", 16, 16, solidPixels(16, 16, 255, 255, 255), true, true);
    CDDTexture* b = plainTexture("b");
    renderer->prepareForReset();
    // The memory texture gave its surfaces back; drawing reloads it.
    Strings calls = drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0xFF00FF00, kBlits);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].starts_with("target.BltFast(0,0,surface")) << calls[0];
    EXPECT_TRUE(calls[0].ends_with(",[0,0,16,16],0x11)")) << calls[0];
    // The keyed stretch needs the scratch: skipped without a report.
    EXPECT_TRUE(drawNow(b, FloatRect{0, 0, 32, 32}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kBlits).empty());
    EXPECT_TRUE(log.callsTo("logFormat").empty());
}

class LostSurfaceTest : public DrawingFixture {};

TEST_F(LostSurfaceTest, ATextureWithASourceIsRestoredReloadedAndDrawnInTheSameCall)
{
    make(1);
    CDDTexture* a = texture("a", 16, 16, solidPixels(16, 16, 255, 255, 255), true, true);
    for (const bool alphaLost : {false, true}) {
        const std::string colour = dd.nameOf(a->colourSurface());
        const std::string alpha = dd.nameOf(a->alphaSurface());
        dd.find(alphaLost ? a->alphaSurface() : a->colourSurface())->lost = true;
        const Strings calls = drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kDrawingOps);
        Strings expected = {colour + ".IsLost()"};
        if (alphaLost)
            expected.push_back(alpha + ".IsLost()");
        expected.insert(expected.end(), {colour + ".Restore()", alpha + ".Restore()"});
        ASSERT_GT(calls.size(), expected.size());
        EXPECT_EQ(Strings(calls.begin(), calls.begin() + std::ptrdiff_t(expected.size())), expected);
        EXPECT_EQ(calls.back(), "target.BltFast(0,0," + dd.nameOf(a->colourSurface()) + ",[0,0,16,16],0x11)");
    }
}

TEST_F(LostSurfaceTest, RawPixelsWithoutACopyAreClearedReportedOnceAndNotDrawn)
{
    make(1);
    CDDTexture* a = plainTexture("a");
    dd.find(a->colourSurface())->lost = true;
    EXPECT_EQ(
        drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kDrawingOps),
        (Strings{"a.IsLost()", "a.Restore()", "aAlpha.Restore()", "a.Blt(null,null,null,0x400,fill=0x0,key=0x0/0x0)",
                 "aAlpha.Blt(null,null,null,0x400,fill=0x0,key=0x0/0x0)"}));
    EXPECT_TRUE(drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kDrawingOps).empty());
    EXPECT_EQ(log.callsTo("logMessage").size(), 1u);

    // Surfaces that cannot come back are given back.
    CDDTexture* b = plainTexture("b");
    dd.find(b->colourSurface())->lost = true;
    dd.failNext("Restore", DDERR_WRONGMODE, "b");
    EXPECT_EQ(drawNow(b, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0xFFFFFFFF, kDrawingOps),
              (Strings{"b.IsLost()", "b.Restore()", "bAlpha.Restore()"}));
    EXPECT_EQ(b->colourSurface(), nullptr);
}

TEST_F(LostSurfaceTest, LostDestinationIsNeverAskedOrRestored)
{
    make(1);
    CDDTexture* a = plainTexture("a");
    target->lost = true;
    const Strings calls = drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0x80FFFFFF, kDrawingOps);
    // A lost result asks the texture and the scratch, never the destination.
    EXPECT_EQ(calls, (Strings{"a.IsLost()", "aAlpha.IsLost()", "target.Lock(null,0x1)", "a.IsLost()", "aAlpha.IsLost()",
                              "scratch.IsLost()", "scratchAlpha.IsLost()"}));
}

TEST_F(LostSurfaceTest, MissingColourSurfaceIsRecreatedOnceOrTheQuadSkipped)
{
    make(1);
    CDDTexture* reloadable = texture("m", 8, 8, solidPixels(8, 8, 1, 2, 3), true, true);
    reloadable->releaseForReset();
    ASSERT_EQ(reloadable->colourSurface(), nullptr);
    const Strings calls = drawNow(reloadable, FloatRect{0, 0, 8, 8}, FloatRect{0, 0, 8, 8}, 0xFFFFFFFF, kBlits);
    ASSERT_NE(reloadable->colourSurface(), nullptr);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], "target.BltFast(0,0," + dd.nameOf(reloadable->colourSurface()) + ",[0,0,8,8],0x11)");

    auto* blank = static_cast<CDDTexture*>(renderer->createTexture());
    EXPECT_TRUE(drawNow(blank, FloatRect{0, 0, 8, 8}, FloatRect{0, 0, 8, 8}).empty());
}

// The blend path.
struct KernelCase {
    const char* name;
    int32_t blendMode;
    CornerColours colours;
    KernelCall expected;
};

struct LayoutCase {
    const char* name;
    FakeFormat display;
    int32_t pixelFormat;
    uint32_t mode;
};

class BlendKernelChoiceTest : public DrawingFixture,
                              public ::testing::WithParamInterface<std::tuple<KernelCase, LayoutCase>> {};

TEST_P(BlendKernelChoiceTest, ChosenKernelWritesExactlyItsResult)
{
    const auto& [kc, layout] = GetParam();
    make(kc.blendMode, layout.display, layout.pixelFormat);
    std::vector<uint8_t> pixels;
    for (uint32_t i = 0; i < 16 * 16; ++i) {
        const uint8_t v = static_cast<uint8_t>(i * 37);
        // Every fifth texel transparent.
        const uint8_t a = i % 5 == 0 ? 0 : 255;
        pixels.insert(pixels.end(), {v, static_cast<uint8_t>(255 - v), static_cast<uint8_t>(v ^ 0x5A), a});
    }
    CDDTexture* a = texture("a", 16, 16, pixels);
    ASSERT_EQ(a->rgbMode(), layout.mode);
    fillPattern(target, 7);
    const SurfaceImage before = imageOf(target);
    const SurfaceImage source = imageOf(dd.find(a->colourSurface()));

    dd.clearCalls();
    renderer->setQueueing(false);
    renderer->queueQuad(FloatRect{10, 5, 26, 21}, 0, a, FloatRect{0, 0, 16, 16}, kc.colours, 0);
    EXPECT_EQ(dd.texts(kDrawingOps), (Strings{"a.IsLost()", "aAlpha.IsLost()", "target.Lock(null,0x1)",
                                              "a.Lock(null,0x1)", "target.Unlock()", "a.Unlock()"}));
    for (const FakeCall& call : dd.callsTo("Lock")) {
        ASSERT_TRUE(call.desc.has_value());
        EXPECT_EQ(call.desc->dwSize, sizeof(DDSURFACEDESC));
        EXPECT_EQ(call.desc->dwFlags, DWORD{DDSD_PITCH | DDSD_LPSURFACE});
    }
    const SurfaceImage expected =
        expectedBlend(before, source, RECT{10, 5, 26, 21}, RECT{0, 0, 16, 16}, layout.mode, kc.expected);
    EXPECT_FALSE(samePixels(expected, before)) << "the case must change pixels to tell kernels apart";
    EXPECT_TRUE(samePixels(imageOf(target), expected));
    EXPECT_TRUE(dd.guardsIntact());
}

INSTANTIATE_TEST_SUITE_P(
    KernelsAndLayouts, BlendKernelChoiceTest,
    ::testing::Combine(
        ::testing::Values(
            KernelCase{"mode2alpha100", 2, corners(0x64FFFFFF), KernelCall{BlendKernel::AlphaMmx, 100}},
            KernelCase{"mode1alpha100", 1, corners(0x64FFFFFF), KernelCall{BlendKernel::HalfMmx}},
            KernelCase{"mode2alpha254", 2, CornerColours{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFEFFFFFF},
                       KernelCall{BlendKernel::AlphaMmx, 254}},
            KernelCase{"mode1grey", 1, corners(0xFF808080), KernelCall{BlendKernel::Modulated, 255, 128, 128, 128}},
            KernelCase{"mode2greyTranslucent", 2, corners(0x40808080),
                       KernelCall{BlendKernel::Modulated, 0x40, 128, 128, 128}},
            KernelCase{"mode2averagedBlue", 2, CornerColours{0xFF000000, 0xFF000000, 0xFF0000FF, 0xFF0000FF},
                       KernelCall{BlendKernel::Modulated, 255, 0, 0, 127}}),
        ::testing::Values(LayoutCase{"rgb555", kFormatRgb555, 555, 0}, LayoutCase{"rgb565", kFormatRgb565, 565, 1},
                          LayoutCase{"rgb444", kFormatRgb444, 0, 2}, LayoutCase{"rgb24", kFormatRgb24, 0, 3},
                          LayoutCase{"xrgb32", kFormatXrgb32, 0, 4})),
    [](const ::testing::TestParamInfo<std::tuple<KernelCase, LayoutCase>>& info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

class BlendPathTest : public DrawingFixture {};

TEST_F(BlendPathTest, StretchedQuadIsStretchedIntoTheScratchAtItsDestinationAndBlendedFromThere)
{
    make(2);
    CDDTexture* a = texture("a", 8, 8, solidPixels(8, 8, 40, 80, 120));
    FakeSurface* scratch = dd.find(renderer->scratchTexture()->colourSurface());
    fillPattern(scratch, 3); // stands for what the stretch would have put there
    fillPattern(target, 11);
    const SurfaceImage before = imageOf(target);
    const SurfaceImage scratchPixels = imageOf(scratch);
    EXPECT_EQ(drawNow(a, FloatRect{20, 10, 36, 26}, FloatRect{0, 0, 8, 8}, 0x80FFFFFF, kDrawingOps),
              (Strings{"a.IsLost()", "aAlpha.IsLost()", "scratch.Blt([20,10,36,26],a,[0,0,8,8],0x1000000)",
                       "target.Lock(null,0x1)", "scratch.Lock(null,0x1)", "target.Unlock()", "scratch.Unlock()"}));
    EXPECT_EQ(renderer->scratchTexture()->rgbMode(), a->rgbMode());
    const SurfaceImage expected = expectedBlend(before, scratchPixels, RECT{20, 10, 36, 26}, RECT{20, 10, 36, 26}, 4,
                                                KernelCall{BlendKernel::AlphaMmx, 128});
    EXPECT_TRUE(samePixels(imageOf(target), expected));
}

TEST_F(BlendPathTest, StretchFailureIsReportedAndDrawsNothing)
{
    make(1);
    CDDTexture* a = texture("a", 8, 8, solidPixels(8, 8, 40, 80, 120));
    dd.failNext("Blt", DDERR_NOSTRETCHHW, "scratch");
    EXPECT_EQ(drawNow(a, FloatRect{20, 10, 36, 26}, FloatRect{0, 0, 8, 8}, 0x80FFFFFF, kDrawingOps),
              (Strings{"a.IsLost()", "aAlpha.IsLost()", "scratch.Blt([20,10,36,26],a,[0,0,8,8],0x1000000)"}));
    const std::vector<RecordedCall> reports = log.callsTo("logFormat");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].args[2], "with alpha blend strecth blt source surface error(-2005532362) DDERR_NOSTRETCHHW");
}

TEST_F(BlendPathTest, IndexedTexturesAreCopiedByDirectDrawWithoutColourOrAlpha)
{
    make(2, kFormatPal8);
    CDDTexture* keyed = texture("k", 16, 16, solidPixels(16, 16, 200, 10, 10));
    CDDTexture* plain = texture("p", 16, 16, solidPixels(16, 16, 200, 10, 10, 255, false), false);
    ASSERT_EQ(keyed->rgbMode(), ZorvUISystem::DDS_RGBMODE_NONE);
    dd.find(keyed->colourSurface())->key = DDCOLORKEY{7, 7};
    EXPECT_EQ(drawNow(keyed, FloatRect{4, 4, 20, 20}, FloatRect{0, 0, 16, 16}, 0x80FF0000, kDrawingOps),
              (Strings{"k.IsLost()", "kAlpha.IsLost()", "scratch.Blt([4,4,20,20],k,[0,0,16,16],0x1000000)",
                       "k.GetColorKey(0x8,0x7/0x7)", "scratch.SetColorKey(0x8,0x7/0x7)",
                       "target.BltFast(4,4,scratch,[4,4,20,20],0x11)"}));
    EXPECT_EQ(drawNow(plain, FloatRect{4, 4, 20, 20}, FloatRect{0, 0, 16, 16}, 0x80FF0000, kBlits),
              (Strings{"target.Blt([4,4,20,20],p,[0,0,16,16],0x1000000)"}));
    // Stretched, the scratch is the texture in use, and it carries no key.
    EXPECT_EQ(drawNow(keyed, FloatRect{0, 0, 32, 32}, FloatRect{0, 0, 16, 16}, 0x80FF0000, kBlits),
              (Strings{"scratch.Blt([0,0,32,32],k,[0,0,16,16],0x1000000)",
                       "target.Blt([0,0,32,32],scratch,[0,0,32,32],0x1000000)"}));
    EXPECT_EQ(dd.count("Lock"), 0u);
}

TEST_F(BlendPathTest, UnsupportedModeLocksAndUnlocksAndDrawsNothing)
{
    make(2);
    auto* blank = static_cast<CDDTexture*>(renderer->createTexture());
    blank->createSurfaces(16, 16);
    dd.rename(blank->colourSurface(), "u");
    dd.rename(blank->alphaSurface(), "uAlpha");
    ASSERT_EQ(blank->rgbMode(), ZorvUISystem::DDS_RGBMODE_UNSUPPORTED);
    fillPattern(dd.find(blank->colourSurface()), 5);
    const SurfaceImage before = imageOf(target);
    EXPECT_EQ(drawNow(blank, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0x80FFFFFF, kDrawingOps),
              (Strings{"u.IsLost()", "uAlpha.IsLost()", "target.Lock(null,0x1)", "u.Lock(null,0x1)", "target.Unlock()",
                       "u.Unlock()"}));
    EXPECT_TRUE(samePixels(imageOf(target), before));
}

TEST_F(BlendPathTest, FailedLocksDrawNothingAndLeaveNothingLocked)
{
    make(2);
    CDDTexture* a = plainTexture("a");
    dd.failNext("Lock", DDERR_SURFACEBUSY, "target");
    EXPECT_EQ(drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0x80FFFFFF, kDrawingOps),
              (Strings{"a.IsLost()", "aAlpha.IsLost()", "target.Lock(null,0x1)"}));
    dd.failNext("Lock", DDERR_SURFACELOST, "a");
    EXPECT_EQ(drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0x80FFFFFF, kDrawingOps),
              (Strings{"a.IsLost()", "aAlpha.IsLost()", "target.Lock(null,0x1)", "a.Lock(null,0x1)", "target.Unlock()",
                       "a.IsLost()", "aAlpha.IsLost()", "scratch.IsLost()", "scratchAlpha.IsLost()"}));
    // A lock that answers anything but 0 counts as failed.
    dd.failNext("Lock", 1, "target");
    EXPECT_EQ(drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0x80FFFFFF, kDrawingOps).back(),
              "target.Lock(null,0x1)");
    EXPECT_FALSE(target->locked);
    EXPECT_FALSE(dd.find(a->colourSurface())->locked);
    EXPECT_TRUE(log.callsTo("logFormat").empty());
}

TEST_F(BlendPathTest, WithoutTheScratchOnlyUnstretchedQuadsAreBlended)
{
    make(2);
    CDDTexture* a = plainTexture("a");
    renderer->prepareForReset();
    EXPECT_TRUE(drawNow(a, FloatRect{0, 0, 32, 32}, FloatRect{0, 0, 16, 16}, 0x80FFFFFF, kBlits).empty());
    EXPECT_EQ(dd.count("Lock"), 0u);
    drawNow(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16}, 0x80FFFFFF);
    EXPECT_EQ(dd.count("Lock"), 2u);
    EXPECT_TRUE(log.callsTo("logFormat").empty());
}

TEST_F(BlendPathTest, QuadsReachingOffTheSurfacesAreClippedForTheKernel)
{
    make(2);
    std::vector<uint8_t> pixels;
    for (uint32_t i = 0; i < 16 * 16; ++i)
        pixels.insert(pixels.end(), {uint8_t(i), uint8_t(i * 3), uint8_t(200 - i), 255});
    CDDTexture* a = texture("a", 16, 16, pixels);
    fillPattern(target, 1);
    const SurfaceImage source = imageOf(dd.find(a->colourSurface()));

    struct Case {
        FloatRect dest;
        FloatRect texels;
        RECT d;
        RECT s;
    };
    for (const Case& c : {Case{{56, 40, 72, 56}, {0, 0, 16, 16}, {56, 40, 64, 48}, {0, 0, 8, 8}},
                          Case{{-5, -3, 11, 13}, {0, 0, 16, 16}, {0, 0, 11, 13}, {5, 3, 16, 16}},
                          Case{{10, 10, 26, 26}, {-4, -2, 12, 14}, {14, 12, 26, 26}, {0, 0, 12, 14}},
                          Case{{10, 10, 26, 26}, {8, 8, 24, 24}, {10, 10, 18, 18}, {8, 8, 16, 16}}}) {
        const SurfaceImage before = imageOf(target);
        drawNow(a, c.dest, c.texels, 0x80FFFFFF);
        const SurfaceImage expected =
            expectedBlend(before, source, c.d, c.s, 4, KernelCall{BlendKernel::AlphaMmx, 128});
        EXPECT_TRUE(samePixels(imageOf(target), expected)) << c.d.left << "," << c.d.top;
        EXPECT_TRUE(dd.guardsIntact());
    }
}

TEST_F(BlendPathTest, NothingIsBlendedOntoSurfacesOfAnotherDepth)
{
    // 32-bit textures onto a 16-bit target: the kernels would take the target
    // for 32-bit and write 32-bit pixels over its 16-bit ones, at half the
    // place. Such a blend is not made.
    make(2);
    FakeSurface* narrow = dd.addSurface("narrow", 64, 48, kFormatRgb565);
    renderer->setTargetSurface(narrow);
    CDDTexture* a = texture("a", 16, 16, solidPixels(16, 16, 90, 90, 90));
    fillPattern(narrow, 9);
    const SurfaceImage before = imageOf(narrow);
    for (const FloatRect dest : {FloatRect{40, 0, 56, 16}, FloatRect{24, 30, 40, 46}}) {
        drawNow(a, dest, FloatRect{0, 0, 16, 16}, 0x80FFFFFF);
        EXPECT_TRUE(samePixels(imageOf(narrow), before));
    }
    EXPECT_TRUE(dd.guardsIntact());

    // 16-bit textures onto a 32-bit target.
    renderer.reset();
    make(2, kFormatXrgb32, 565);
    CDDTexture* b = texture("b", 16, 16, solidPixels(16, 16, 90, 90, 90));
    fillPattern(target, 4);
    const SurfaceImage wide = imageOf(target);
    drawNow(b, FloatRect{56, 40, 72, 56}, FloatRect{0, 0, 16, 16}, 0x80FFFFFF);
    EXPECT_TRUE(samePixels(imageOf(target), wide));
    EXPECT_TRUE(dd.guardsIntact());
}

} // namespace
} // namespace ZivTest
