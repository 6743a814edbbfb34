// The scratch and buffer textures and the device reset over the recording
// DirectDraw: what is made when, the walks over the registry and their order,
// sizes, logging, and the failures on the way.
#include <stdexcept>
#include <string>
#include <vector>

#include "DrawingFixture.h"

namespace ZivTest {
namespace {

using Strings = std::vector<std::string>;

// The widths of the surfaces created, in order.
std::vector<DWORD> createdWidths(const RecordingDirectDraw& dd)
{
    std::vector<DWORD> widths;
    for (const FakeCall& call : dd.callsTo("CreateSurface"))
        widths.push_back(call.desc ? call.desc->dwWidth : 0);
    return widths;
}

// The objects an operation was called on, in order.
Strings objectsOf(const RecordingDirectDraw& dd, std::string_view op)
{
    Strings objects;
    for (const FakeCall& call : dd.callsTo(op))
        objects.push_back(call.object);
    return objects;
}

class ResetTest : public DrawingFixture {
protected:
    // A reloadable texture (a memory texture) of the given size.
    CDDTexture* reloadable(const std::string& name, uint32_t size)
    {
        return texture(name, size, size, solidPixels(size, size, 10, 20, 30), true, true);
    }
};

TEST_F(ResetTest, ConstructionMakesTheScratchAndInModeZeroTheBlackBuffer)
{
    ZorvUISystem::setProcessorFeaturesOverride(&kNoFeatures);
    device.width = 64.9f;
    device.height = 48.2f;
    renderer = std::make_unique<CDDRender>(&device, 0, false);
    nameAuxiliarySurfaces();

    const std::vector<FakeCall> creations = dd.callsTo("CreateSurface");
    ASSERT_EQ(creations.size(), 4u);
    for (const FakeCall& call : creations) {
        ASSERT_TRUE(call.desc.has_value());
        EXPECT_EQ(call.desc->dwWidth, 64u);
        EXPECT_EQ(call.desc->dwHeight, 48u);
        EXPECT_TRUE(call.desc->dwFlags & DDSD_CKSRCBLT) << "both carry the black source key";
    }
    // The scratch first, then the buffer, whose colour surface is filled
    // black without waiting.
    EXPECT_EQ(renderer->textures().size(), 2u);
    EXPECT_EQ(renderer->textures().front(), static_cast<Texture*>(renderer->scratchTexture()));
    EXPECT_EQ(renderer->textures().back(), static_cast<Texture*>(renderer->bufferTexture()));
    const std::vector<FakeCall> fills = dd.callsTo("Blt");
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].text(), "buffer.Blt(null,null,null,0x400,fill=0x0,key=0x0/0x0)");
    EXPECT_EQ(fills[0].effects->dwSize, sizeof(DDBLTFX));
}

TEST_F(ResetTest, BufferFillFailureIsIgnored)
{
    dd.failNext("Blt", DDERR_SURFACEBUSY);
    EXPECT_NO_THROW(make(0));
    EXPECT_NE(renderer->bufferTexture(), nullptr);
}

TEST_F(ResetTest, BlendModesOneAndTwoNeverMakeABuffer)
{
    for (int32_t mode : {1, 2}) {
        make(mode);
        EXPECT_EQ(renderer->bufferTexture(), nullptr);
        EXPECT_NE(renderer->scratchTexture(), nullptr);
        renderer->prepareForReset();
        bool changed = true;
        renderer->postD3DReset(&changed);
        EXPECT_EQ(renderer->bufferTexture(), nullptr);
        EXPECT_NE(renderer->scratchTexture(), nullptr);
        EXPECT_EQ(dd.count("CreateSurface"), 2u) << "the scratch's two surfaces only";
        renderer.reset();
    }
}

TEST_F(ResetTest, WalksTheRegistryFrontToBackInBothDirections)
{
    make(0);
    reloadable("a", 3);
    reloadable("b", 5);
    reloadable("c", 7);
    dd.clearCalls();

    renderer->prepareForReset();
    EXPECT_EQ(renderer->scratchTexture(), nullptr);
    EXPECT_EQ(renderer->bufferTexture(), nullptr);
    EXPECT_EQ(objectsOf(dd, "Release"), (Strings{"scratchAlpha", "scratch", "bufferAlpha", "buffer", "aAlpha", "a",
                                                 "bAlpha", "b", "cAlpha", "c"}));

    dd.clearCalls();
    bool changed = true;
    renderer->postD3DReset(&changed);
    EXPECT_FALSE(changed);
    // New scratch, new buffer (filled black), then a, b and c reload.
    EXPECT_EQ(createdWidths(dd), (std::vector<DWORD>{64, 64, 64, 64, 3, 3, 5, 5, 7, 7}));
    const std::vector<FakeCall> blts = dd.callsTo("Blt");
    ASSERT_FALSE(blts.empty());
    EXPECT_EQ(blts[0].flags, DWORD{DDBLT_COLORFILL});
    // The new scratch and buffer come last in the registry and are only
    // restored by the walk.
    nameAuxiliarySurfaces();
    EXPECT_EQ(objectsOf(dd, "Restore"), (Strings{"scratch", "scratchAlpha", "buffer", "bufferAlpha"}));
    EXPECT_EQ(renderer->textures().size(), 5u);
    EXPECT_EQ(*std::next(renderer->textures().begin(), 3), static_cast<Texture*>(renderer->scratchTexture()));
    EXPECT_FALSE(dd.anyCallAfterRelease());
}

TEST_F(ResetTest, SecondPrepareForResetDoesNothing)
{
    make(0);
    reloadable("a", 3);
    renderer->prepareForReset();
    dd.clearCalls();
    renderer->prepareForReset();
    EXPECT_TRUE(dd.calls.empty());
}

TEST_F(ResetTest, UnchangedSizeStillRebuildsAndLogsTheSize)
{
    make(0);
    reloadable("a", 3);
    renderer->prepareForReset();
    dd.clearCalls();
    log.calls.clear();
    bool changed = true;
    renderer->postD3DReset(&changed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(createdWidths(dd).size(), 6u);
    EXPECT_NE(renderer->scratchTexture(), nullptr);
    EXPECT_NE(renderer->bufferTexture(), nullptr);
    const std::vector<RecordedCall> traces = log.callsTo("logFormat");
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_EQ(traces[0].args[0], "4");
    EXPECT_EQ(traces[0].args[1], "CDD7Render::postD3DReset (width %f, height %f)");
    EXPECT_EQ(traces[0].args[2], "CDD7Render::postD3DReset (width 64.000000, height 48.000000)");
}

TEST_F(ResetTest, ChangedSizeTruncatesAndRebuildsAtTheNewSize)
{
    make(0);
    const uint32_t limit = renderer->getTextureSizeLimit();
    renderer->prepareForReset();
    device.width = 1024.7f;
    device.height = 768.2f;
    dd.clearCalls();
    log.calls.clear();
    bool changed = false;
    renderer->postD3DReset(&changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(renderer->getDisplayWidth(), 1024.0f);
    EXPECT_EQ(renderer->getDisplayHeight(), 768.0f);
    const RECT& area = renderer->displayArea();
    EXPECT_EQ(area.left, 0);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.right, 1024);
    EXPECT_EQ(area.bottom, 768);
    EXPECT_EQ(createdWidths(dd), (std::vector<DWORD>{1024, 1024, 1024, 1024}));
    EXPECT_EQ(dd.callsTo("CreateSurface")[0].desc->dwHeight, 768u);
    EXPECT_EQ(renderer->getTextureSizeLimit(), limit) << "fixed at construction";
    const std::vector<RecordedCall> traces = log.callsTo("logFormat");
    ASSERT_EQ(traces.size(), 1u);
    // The size as the host gave it, as doubles.
    EXPECT_EQ(traces[0].args[2], "CDD7Render::postD3DReset (width 1024.699951, height 768.200012)");

    // The buffer is now copied at the new size.
    nameAuxiliarySurfaces();
    dd.clearCalls();
    renderer->renderQueue();
    EXPECT_EQ(dd.texts({"BltFast"}), (Strings{"target.BltFast(0,0,buffer,[0,0,64,48],0x11)"}))
        << "clipped to the 64 x 48 target";
}

TEST_F(ResetTest, PostD3DResetWithoutPrepareOnlyRefreshesTheDirectDraw)
{
    make(0);
    reloadable("a", 3);
    RecordingDirectDraw other;
    device.directDraw = &other;
    device.width = 100.0f;
    const size_t sizeQueries = device.count("getTargetSize");
    dd.clearCalls();
    bool changed = true;
    renderer->postD3DReset(&changed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(renderer->directDraw(), &other);
    EXPECT_TRUE(dd.calls.empty());
    EXPECT_TRUE(other.calls.empty());
    EXPECT_EQ(device.count("getTargetSize"), sizeQueries);
    EXPECT_EQ(renderer->getDisplayWidth(), 64.0f);
    device.directDraw = &dd;
    renderer->postD3DReset(&changed);
}

// The same when the host has destroyed the renderer's own textures: no reset
// was prepared, so none is finished, and no texture is reloaded.
TEST_F(ResetTest, PostD3DResetWithoutPrepareAfterTheScratchWasDestroyedOnlyRefreshesTheDirectDraw)
{
    make(0);
    reloadable("a", 3);
    renderer->destroyTexture(renderer->scratchTexture());
    renderer->destroyTexture(renderer->bufferTexture());
    const size_t sizeQueries = device.count("getTargetSize");
    dd.clearCalls();
    log.calls.clear();
    bool changed = true;
    renderer->postD3DReset(&changed);
    EXPECT_FALSE(changed);
    EXPECT_TRUE(dd.calls.empty()) << dd.texts().front();
    EXPECT_EQ(device.count("getTargetSize"), sizeQueries);
    EXPECT_TRUE(log.calls.empty());
    EXPECT_EQ(renderer->scratchTexture(), nullptr);
}

TEST_F(ResetTest, MissingDirectDrawIsLoggedAndRaisedAndTheResetCanBeRetried)
{
    make(0);
    renderer->prepareForReset();
    device.directDraw = nullptr;
    log.calls.clear();
    bool changed = true;
    try {
        renderer->postD3DReset(&changed);
        FAIL() << "no exception";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "CDDRender can't get the IDirectDraw device.");
    }
    EXPECT_TRUE(changed) << "the flag is not touched before the DirectDraw object is there";
    const std::vector<RecordedCall> messages = log.callsTo("logMessage");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].args, (std::vector<std::string>{"CDDRender can't get the IDirectDraw device.", "1"}));
    EXPECT_EQ(renderer->directDraw(), nullptr);
    EXPECT_EQ(renderer->scratchTexture(), nullptr);

    device.directDraw = &dd;
    renderer->postD3DReset(&changed);
    EXPECT_FALSE(changed);
    EXPECT_NE(renderer->scratchTexture(), nullptr);
    EXPECT_NE(renderer->bufferTexture(), nullptr);
}

TEST_F(ResetTest, WithoutLoggerNothingIsWritten)
{
    make(0);
    ZorvUISystem::moduleState().logger = nullptr;
    renderer->prepareForReset();
    bool changed = true;
    renderer->postD3DReset(&changed);
    device.directDraw = nullptr;
    EXPECT_THROW(renderer->postD3DReset(&changed), std::runtime_error);
    EXPECT_TRUE(log.calls.empty());
    device.directDraw = &dd;
}

TEST_F(ResetTest, AuxiliaryTexturesAreNotRebuiltWhileTheResetIsPending)
{
    make(0);
    CDDTexture* a = plainTexture("a");
    renderer->prepareForReset();
    dd.clearCalls();
    queue(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16});
    renderer->renderQueue();
    renderer->setQueueing(false);
    queue(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16});
    renderer->clearQueue();
    EXPECT_EQ(dd.count("CreateSurface"), 0u);
    EXPECT_EQ(renderer->scratchTexture(), nullptr);
    EXPECT_EQ(renderer->bufferTexture(), nullptr);
    // Without a buffer the pass draws straight onto the target meanwhile.
    EXPECT_EQ(dd.texts({"BltFast"}),
              (Strings{"target.BltFast(0,0,a,[0,0,16,16],0x11)", "target.BltFast(0,0,a,[0,0,16,16],0x11)"}));
}

TEST_F(ResetTest, FailedReloadDuringTheResetLeavesTheLaterTexturesForTheirNextDraw)
{
    make(1);
    reloadable("a", 3);
    CDDTexture* b = reloadable("b", 5);
    CDDTexture* c = reloadable("c", 7);
    renderer->prepareForReset();
    dd.clearCalls();
    dd.answer = [](const FakeCall& call) -> std::optional<HRESULT> {
        if (call.op == "CreateSurface" && call.desc && call.desc->dwWidth == 5)
            return DDERR_INVALIDPARAMS;
        return std::nullopt;
    };
    bool changed = true;
    try {
        renderer->postD3DReset(&changed);
        FAIL() << "no exception";
    } catch (const std::exception& failure) {
        EXPECT_STREQ(failure.what(),
                     "CDDTexture::CreateSurface -- Failed to create Texture object.(DDERR_INVALIDPARAMS) ");
    }
    dd.answer = nullptr;
    EXPECT_NE(renderer->scratchTexture(), nullptr);
    EXPECT_EQ(b->colourSurface(), nullptr);
    EXPECT_EQ(c->colourSurface(), nullptr) << "not reached by this call";
    EXPECT_EQ(createdWidths(dd), (std::vector<DWORD>{64, 64, 3, 3, 5}));

    // The renderer is ready again: a second prepareForReset works normally.
    dd.clearCalls();
    drawNow(c, FloatRect{0, 0, 7, 7}, FloatRect{0, 0, 7, 7});
    EXPECT_NE(c->colourSurface(), nullptr) << "reloaded when drawn";
    EXPECT_EQ(dd.count("BltFast"), 1u);
}

TEST_F(ResetTest, FailedRebuildKeepsTheResetPendingForTheNextCall)
{
    make(0);
    renderer->prepareForReset();
    // The buffer's colour surface cannot be made.
    dd.answer = [n = 0](const FakeCall& call) mutable -> std::optional<HRESULT> {
        if (call.op == "CreateSurface" && ++n == 3)
            return DDERR_OUTOFVIDEOMEMORY;
        return std::nullopt;
    };
    bool changed = true;
    EXPECT_THROW(renderer->postD3DReset(&changed), std::exception);
    EXPECT_EQ(renderer->scratchTexture(), nullptr);
    EXPECT_EQ(renderer->bufferTexture(), nullptr);
    EXPECT_TRUE(renderer->textures().empty()) << "no half-made texture stays behind";
    EXPECT_EQ(dd.liveSurfaces(), 0u);
    dd.answer = nullptr;

    renderer->postD3DReset(&changed);
    EXPECT_NE(renderer->scratchTexture(), nullptr);
    EXPECT_NE(renderer->bufferTexture(), nullptr);
}

// A texture drawn after a failed rebuild loads itself again; a new
// prepareForReset gives its surfaces back before the device goes.
TEST_F(ResetTest, PrepareAfterAFailedRebuildReleasesWhatWasReloadedSince)
{
    make(1);
    CDDTexture* a = reloadable("a", 3);
    renderer->prepareForReset();
    dd.answer = [](const FakeCall& call) -> std::optional<HRESULT> {
        if (call.op == "CreateSurface" && call.desc && call.desc->dwWidth == 64)
            return DDERR_OUTOFVIDEOMEMORY;
        return std::nullopt;
    };
    bool changed = true;
    EXPECT_THROW(renderer->postD3DReset(&changed), std::exception);
    EXPECT_EQ(a->colourSurface(), nullptr);
    drawNow(a, FloatRect{0, 0, 3, 3}, FloatRect{0, 0, 3, 3});
    ASSERT_NE(a->colourSurface(), nullptr) << "reloaded when drawn";

    const size_t live = dd.liveSurfaces();
    renderer->prepareForReset();
    EXPECT_EQ(a->colourSurface(), nullptr);
    EXPECT_LT(dd.liveSurfaces(), live);
    dd.answer = nullptr;
    renderer->postD3DReset(&changed);
    EXPECT_NE(renderer->scratchTexture(), nullptr);
    EXPECT_NE(a->colourSurface(), nullptr);
}

TEST_F(ResetTest, RebuildFailureWhileDrawingDrawsWithoutTheBufferAndRetriesLater)
{
    make(0);
    CDDTexture* a = plainTexture("a");
    renderer->destroyTexture(renderer->scratchTexture());
    renderer->destroyTexture(renderer->bufferTexture());
    dd.answer = [](const FakeCall& call) -> std::optional<HRESULT> {
        if (call.op == "CreateSurface")
            return DDERR_OUTOFMEMORY;
        return std::nullopt;
    };
    queue(a, FloatRect{0, 0, 16, 16}, FloatRect{0, 0, 16, 16});
    dd.clearCalls();
    EXPECT_NO_THROW(renderer->renderQueue());
    EXPECT_EQ(renderer->textures().size(), 1u);
    EXPECT_EQ(dd.texts({"BltFast"}), (Strings{"target.BltFast(0,0,a,[0,0,16,16],0x11)"}));
    EXPECT_FALSE(log.callsTo("logMessage").empty()) << "the surface creation logged its failure";

    dd.answer = nullptr;
    renderer->renderQueue();
    EXPECT_NE(renderer->scratchTexture(), nullptr);
    EXPECT_NE(renderer->bufferTexture(), nullptr);
}

TEST_F(ResetTest, DestructionReleasesEverySurfaceOnce)
{
    make(0);
    plainTexture("a");
    reloadable("b", 4);
    renderer->prepareForReset();
    bool changed = false;
    renderer->postD3DReset(&changed);
    renderer.reset();
    EXPECT_EQ(dd.liveSurfaces(), 0u);
    EXPECT_FALSE(dd.anyCallAfterRelease());
}

} // namespace
} // namespace ZivTest
