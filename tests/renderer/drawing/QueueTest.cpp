// The render queue over the recording DirectDraw: depth order, queueing on
// and off, the buffered and direct passes, clearing, and records of
// destroyed textures.
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "DrawingFixture.h"

namespace ZivTest {
namespace {

using Strings = std::vector<std::string>;

const FloatRect kQuad{4, 4, 20, 20};
const FloatRect kTexels{0, 0, 16, 16};

// The sources of the blits in the recorded calls, in order.
Strings blitSources(const RecordingDirectDraw& dd)
{
    Strings sources;
    for (const FakeCall& call : dd.calls)
        if (call.op == "BltFast" || call.op == "Blt")
            sources.push_back(call.object + "<-" + call.source);
    return sources;
}

class QueueTest : public DrawingFixture {};

TEST_F(QueueTest, LargestDepthFirstAndEqualDepthsInSubmissionOrder)
{
    make(1);
    CDDTexture* a = plainTexture("a");
    CDDTexture* b = plainTexture("b");
    CDDTexture* c = plainTexture("c");
    queue(a, kQuad, kTexels, 0xFFFFFFFF, 0.5f);
    queue(b, kQuad, kTexels, 0xFFFFFFFF, 1.0f);
    queue(c, kQuad, kTexels, 0xFFFFFFFF, 0.5f);
    dd.clearCalls();
    renderer->renderQueue();
    EXPECT_EQ(blitSources(dd), (Strings{"target<-b", "target<-a", "target<-c"}));
}

TEST_F(QueueTest, AuxValueDoesNotChangeTheOrder)
{
    make(1);
    CDDTexture* a = plainTexture("a");
    CDDTexture* b = plainTexture("b");
    queue(a, kQuad, kTexels, 0xFFFFFFFF, 0.25f, 99);
    queue(b, kQuad, kTexels, 0xFFFFFFFF, 0.25f, 1);
    dd.clearCalls();
    renderer->renderQueue();
    EXPECT_EQ(blitSources(dd), (Strings{"target<-a", "target<-b"}));
}

TEST_F(QueueTest, DepthsThatAreNotNumbersGoLastInSubmissionOrder)
{
    make(1);
    CDDTexture* a = plainTexture("a");
    CDDTexture* b = plainTexture("b");
    CDDTexture* c = plainTexture("c");
    CDDTexture* d = plainTexture("d");
    const float nan = std::nanf("");
    queue(a, kQuad, kTexels, 0xFFFFFFFF, nan);
    queue(b, kQuad, kTexels, 0xFFFFFFFF, 1.0f);
    queue(c, kQuad, kTexels, 0xFFFFFFFF, nan);
    queue(d, kQuad, kTexels, 0xFFFFFFFF, -INFINITY);
    dd.clearCalls();
    renderer->renderQueue();
    EXPECT_EQ(blitSources(dd), (Strings{"target<-b", "target<-d", "target<-a", "target<-c"}));
}

TEST_F(QueueTest, QueueingOffDrawsAtOnceOntoTheTargetEvenWhenBuffered)
{
    make(0);
    CDDTexture* a = plainTexture("a");
    CDDTexture* b = plainTexture("b");
    queue(a, kQuad, kTexels);
    renderer->setQueueing(false);
    dd.clearCalls();
    queue(b, kQuad, kTexels);
    EXPECT_EQ(blitSources(dd), (Strings{"target<-b"}));
    EXPECT_EQ(renderer->quadQueue().size(), 1u) << "the earlier record stays";

    // Switching back leaves the record for the next pass.
    renderer->setQueueing(true);
    dd.clearCalls();
    renderer->renderQueue();
    EXPECT_EQ(blitSources(dd), (Strings{"buffer<-a", "target<-buffer"}));
}

TEST_F(QueueTest, BufferedPassComposesEmptiesAndCopiesTheBufferWithTheBlackKey)
{
    make(0);
    CDDTexture* a = plainTexture("a");
    queue(a, kQuad, kTexels);
    dd.clearCalls();
    renderer->renderQueue();
    EXPECT_EQ(dd.texts({"Blt", "BltFast"}),
              (Strings{"buffer.BltFast(4,4,a,[0,0,16,16],0x11)", "target.BltFast(0,0,buffer,[0,0,64,48],0x11)"}));
    EXPECT_TRUE(renderer->quadQueue().empty());

    // A second pass draws nothing new but shows the buffer again.
    dd.clearCalls();
    renderer->renderQueue();
    EXPECT_EQ(dd.texts({"Blt", "BltFast"}), (Strings{"target.BltFast(0,0,buffer,[0,0,64,48],0x11)"}));
}

TEST_F(QueueTest, ClearQueueFillsTheBufferBlackWithoutWaiting)
{
    make(0);
    CDDTexture* a = plainTexture("a");
    queue(a, kQuad, kTexels);
    dd.clearCalls();
    renderer->clearQueue();
    EXPECT_TRUE(renderer->quadQueue().empty());
    const std::vector<FakeCall> fills = dd.callsTo("Blt");
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].text(), "buffer.Blt(null,null,null,0x400,fill=0x0,key=0x0/0x0)");
    ASSERT_TRUE(fills[0].effects.has_value());
    EXPECT_EQ(fills[0].effects->dwSize, sizeof(DDBLTFX));
    EXPECT_EQ(fills[0].result, DD_OK);

    // The cleared buffer is copied as before: black is transparent.
    dd.clearCalls();
    renderer->renderQueue();
    EXPECT_EQ(dd.texts({"Blt", "BltFast"}), (Strings{"target.BltFast(0,0,buffer,[0,0,64,48],0x11)"}));

    // A busy buffer is not waited for and the failure goes unnoticed.
    dd.failNext("Blt", DDERR_WASSTILLDRAWING, "buffer");
    EXPECT_NO_THROW(renderer->clearQueue());
}

TEST_F(QueueTest, BufferedPassWithoutTargetStillComposesAndEmpties)
{
    make(0);
    CDDTexture* a = plainTexture("a");
    renderer->setTargetSurface(nullptr);
    queue(a, kQuad, kTexels);
    dd.clearCalls();
    renderer->renderQueue();
    EXPECT_EQ(blitSources(dd), (Strings{"buffer<-a"}));
    EXPECT_TRUE(renderer->quadQueue().empty());
}

TEST_F(QueueTest, DirectPassDrawsEveryRecordOnEveryPassUntilCleared)
{
    make(2);
    CDDTexture* a = plainTexture("a");
    CDDTexture* b = plainTexture("b");
    queue(a, kQuad, kTexels);
    queue(b, kQuad, kTexels);
    dd.clearCalls();
    renderer->renderQueue();
    renderer->renderQueue();
    EXPECT_EQ(blitSources(dd), (Strings{"target<-a", "target<-b", "target<-a", "target<-b"}));
    EXPECT_EQ(renderer->quadQueue().size(), 2u);

    dd.clearCalls();
    renderer->clearQueue();
    renderer->renderQueue();
    EXPECT_TRUE(dd.calls.empty()) << "no buffer to clear, nothing left to draw";
}

TEST_F(QueueTest, DirectPassWithoutTargetDrawsNothingAndKeepsTheRecords)
{
    make(1);
    CDDTexture* a = plainTexture("a");
    renderer->setTargetSurface(nullptr);
    queue(a, kQuad, kTexels);
    dd.clearCalls();
    renderer->renderQueue();
    EXPECT_TRUE(dd.calls.empty());
    EXPECT_EQ(renderer->quadQueue().size(), 1u);
}

TEST_F(QueueTest, NullTextureIsQueuedAndDrawsNothing)
{
    make(1);
    queue(nullptr, kQuad, kTexels);
    EXPECT_EQ(renderer->quadQueue().size(), 1u);
    dd.clearCalls();
    renderer->renderQueue();
    EXPECT_TRUE(dd.calls.empty());
}

TEST_F(QueueTest, RecordCopiesEveryArgumentIntoItsField)
{
    make(1);
    CDDTexture* a = plainTexture("a");
    renderer->queueQuad(FloatRect{1, 2, 3, 4}, 0.75f, a, FloatRect{5, 6, 7, 8},
                        CornerColours{0x11111111, 0x22222222, 0x33333333, 0x44444444}, 0xABCDEF01u);
    ASSERT_EQ(renderer->quadQueue().size(), 1u);
    const auto& quad = *renderer->quadQueue().begin();
    EXPECT_EQ(quad.texture, a);
    EXPECT_EQ(quad.destRect.left, 1);
    EXPECT_EQ(quad.destRect.bottom, 4);
    EXPECT_EQ(quad.z, 0.75f);
    EXPECT_EQ(quad.textureRect.left, 5);
    EXPECT_EQ(quad.textureRect.bottom, 8);
    EXPECT_EQ(quad.colours.topLeft, 0x11111111u);
    EXPECT_EQ(quad.colours.bottomRight, 0x44444444u);
    EXPECT_EQ(quad.auxValue, 0xABCDEF01u);
}

TEST_F(QueueTest, DestroyingATextureForgetsItsRecords)
{
    make(1);
    CDDTexture* a = plainTexture("a");
    CDDTexture* b = plainTexture("b");
    queue(a, kQuad, kTexels, 0xFFFFFFFF, 3.0f);
    queue(b, kQuad, kTexels, 0xFFFFFFFF, 2.0f);
    queue(a, kQuad, kTexels, 0xFFFFFFFF, 1.0f);
    renderer->destroyTexture(a);
    EXPECT_EQ(renderer->quadQueue().size(), 1u);
    dd.clearCalls();
    renderer->renderQueue();
    EXPECT_EQ(blitSources(dd), (Strings{"target<-b"}));
    EXPECT_FALSE(dd.anyCallAfterRelease());

    renderer->destroyAllTextures();
    EXPECT_TRUE(renderer->quadQueue().empty());
    renderer->renderQueue();
    EXPECT_FALSE(dd.anyCallAfterRelease());
}

TEST_F(QueueTest, DestroyAllTexturesLeavesABufferedRendererThatRebuildsAndDraws)
{
    make(0);
    renderer->destroyAllTextures();
    EXPECT_EQ(renderer->scratchTexture(), nullptr);
    EXPECT_EQ(renderer->bufferTexture(), nullptr);
    EXPECT_TRUE(renderer->textures().empty());

    CDDTexture* a = plainTexture("a");
    queue(a, kQuad, kTexels);
    dd.clearCalls();
    renderer->renderQueue();
    ASSERT_NE(renderer->scratchTexture(), nullptr);
    ASSERT_NE(renderer->bufferTexture(), nullptr);
    EXPECT_EQ(dd.count("CreateSurface"), 4u) << "scratch and buffer, two surfaces each";
    nameAuxiliarySurfaces();
    Strings blits = dd.texts({"Blt", "BltFast"});
    ASSERT_EQ(blits.size(), 3u);
    EXPECT_EQ(blits[0], "buffer.Blt(null,null,null,0x400,fill=0x0,key=0x0/0x0)");
    EXPECT_EQ(blits[1], "buffer.BltFast(4,4,a,[0,0,16,16],0x11)");
    EXPECT_EQ(blits[2], "target.BltFast(0,0,buffer,[0,0,64,48],0x11)");
    EXPECT_FALSE(dd.anyCallAfterRelease());
    // The rebuilt textures are registry entries like the first ones.
    EXPECT_EQ(renderer->textures().back(), static_cast<Texture*>(renderer->bufferTexture()));
}

TEST_F(QueueTest, HostDestroyingTheBufferTextureDoesNotLeaveADanglingReference)
{
    make(0);
    CDDTexture* a = plainTexture("a");
    renderer->destroyTexture(renderer->bufferTexture());
    EXPECT_EQ(renderer->bufferTexture(), nullptr);
    queue(a, kQuad, kTexels);
    renderer->renderQueue();
    EXPECT_NE(renderer->bufferTexture(), nullptr);
    EXPECT_FALSE(dd.anyCallAfterRelease());
}

TEST_F(QueueTest, FailedReloadSkipsItsQuadsUntilARetryOnALaterFrameSucceeds)
{
    make(0);
    CDDTexture* a = plainTexture("a");
    CDDTexture* reloaded = texture("m", 8, 8, solidPixels(8, 8, 255, 255, 255), true, true);
    CDDTexture* c = plainTexture("c");
    const auto queueAll = [&] {
        queue(a, kQuad, kTexels, 0xFFFFFFFF, 3.0f);
        queue(reloaded, FloatRect{4, 4, 12, 12}, FloatRect{0, 0, 8, 8}, 0xFFFFFFFF, 2.0f);
        queue(c, kQuad, kTexels, 0xFFFFFFFF, 1.0f);
    };
    queueAll();

    // Its reload after a reset fails: the reset says so.
    renderer->prepareForReset();
    bool changed = true;
    dd.answer = [](const FakeCall& call) -> std::optional<HRESULT> {
        if (call.op == "CreateSurface" && call.desc && call.desc->dwWidth == 8)
            return DDERR_OUTOFMEMORY;
        return std::nullopt;
    };
    EXPECT_THROW(renderer->postD3DReset(&changed), std::exception);
    ASSERT_NE(renderer->bufferTexture(), nullptr) << "the buffer is rebuilt before the textures";
    nameAuxiliarySurfaces();
    EXPECT_EQ(reloaded->colourSurface(), nullptr);

    // Frames go on without it. It is tried again after 1, 2, 4 ... 64
    // frames, not on every one, and draws again once its source works,
    // without the reset pair.
    dd.clearCalls();
    log.calls.clear();
    renderer->renderQueue();
    EXPECT_TRUE(renderer->quadQueue().empty());
    EXPECT_EQ(blitSources(dd), (Strings{"buffer<-a", "buffer<-c", "target<-buffer"}));
    for (int frame = 1; frame < 200; ++frame, renderer->renderQueue())
        queueAll();
    EXPECT_EQ(dd.callsTo("CreateSurface").size(), 8u) << "on frames 1, 3, 7, 15, 31, 63, 127 and 191";
    dd.answer = nullptr;
    for (int frame = 0; frame < 64 && reloaded->colourSurface() == nullptr; ++frame, renderer->renderQueue())
        queueAll();
    EXPECT_NE(reloaded->colourSurface(), nullptr);
    EXPECT_TRUE(log.calls.empty()) << "reported by the reset alone";

    renderer->clearQueue();
    renderer->prepareForReset();
    renderer->postD3DReset(&changed);
    nameAuxiliarySurfaces();
    ASSERT_NE(reloaded->colourSurface(), nullptr);
    dd.rename(reloaded->colourSurface(), "m");
    dd.clearCalls();
    queueAll();
    renderer->renderQueue();
    EXPECT_EQ(blitSources(dd), (Strings{"buffer<-a", "buffer<-m", "buffer<-c", "target<-buffer"}));
}

TEST_F(QueueTest, FailedReloadWhileDrawingIsLoggedOnceAndNeverRaised)
{
    make(1);
    CDDTexture* reloaded = texture("m", 8, 8, solidPixels(8, 8, 255, 255, 255), true, true);
    renderer->prepareForReset();
    renderer->setQueueing(false);
    log.calls.clear();
    dd.clearCalls();
    dd.failNext("CreateSurface", DDERR_OUTOFVIDEOMEMORY);
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_NO_THROW(queue(reloaded, kQuad, FloatRect{0, 0, 8, 8}));
    EXPECT_TRUE(renderer->quadQueue().empty());
    EXPECT_EQ(reloaded->colourSurface(), nullptr);
    const std::vector<RecordedCall> lines = log.callsTo("logMessage");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].args.at(0).find("DDERR_OUTOFVIDEOMEMORY"), std::string::npos) << lines[0].args.at(0);
    EXPECT_EQ(dd.callsTo("CreateSurface").size(), 1u) << "tried once: no frame began since";
}

} // namespace
} // namespace ZivTest
